#include "controls.h"
#include "dialogs.h"
#include "frmmass.h"
#include "funnelfile.h"
#include "funnelfixtures.h"
#include "scripteddesktop.h"
#include "tools.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

using namespace tandrel;
using namespace tandrel::test;

// Runs once the next modal dialog is up: the test plays the user there.
static void whenDialogOpens(std::function<void(QDialog*)> play) {
    QTimer::singleShot(0, [play] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        play(dialog);
    });
}

class frmMassTest : public QObject {
    Q_OBJECT

    std::unique_ptr<FixtureApp> app;
    std::unique_ptr<ScriptedDesktop> desk;
    std::unique_ptr<frmMass> window;

    template <typename T = QWidget> T* find(const QString& name) {
        T* widget = window->findChild<T*>(name);
        if (!widget)
            qFatal("no control %s", qPrintable(name));
        return widget;
    }
    QLineEdit* edit(const QString& name) { return find<QLineEdit>(name); }
    ColorSwatch* swatch(int i) {
        return find<ColorSwatch>(QStringLiteral("lblColorPicker[%1]").arg(i));
    }
    TagLabel* chosen(int i) { return find<TagLabel>(QStringLiteral("lblSelectedFile[%1]").arg(i)); }
    bool shown(const QString& name) { return find(name)->isVisibleTo(window.get()); }

    // What a new user types to get a buildable funnel.
    void fillRequired() {
        edit("txtFunnelUrl")->setText("http://example.com/f");
        find<QPlainTextEdit>("txtoptinForm")->setPlainText("<form>F</form>");
        edit("txtFunnel_YouTubeID")->setText("vid123");
        desk->files << app->makePicture("cover.jpg");
        window->cmdFileSelect_Click(1);
    }

private slots:
    void init() {
        app = std::make_unique<FixtureApp>();
        desk = std::make_unique<ScriptedDesktop>();
        window = std::make_unique<frmMass>(AppPaths(app->path()));
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    void cleanup() {
        QCOMPARE(desk->unexpected, 0);
        window.reset();
        desk.reset();
        app.reset();
    }

    void startUpState() {
        QCOMPARE(window->windowTitle(), QStringLiteral("Tandrel PRO 1.0.12 "));
        QCOMPARE(find<QLabel>("lblAppName")->text(), QStringLiteral("Tandrel PRO"));
        QCOMPARE(find<QLabel>("lblBy")->text(), QString());
        QCOMPARE(window->size(), QSize(1019, 584));
        QCOMPARE(window->minimumSize(), window->maximumSize());
        QCOMPARE(window->shownSection(), 0);
        const QRect first = find("frTab[0]")->geometry();
        QCOMPARE(first.topLeft(), QPoint(30, 114));
        for (int i = 1; i < 5; ++i) {
            QCOMPARE(find(QStringLiteral("frTab[%1]").arg(i))->geometry(), first);
            QVERIFY(!shown(QStringLiteral("frTab[%1]").arg(i)));
        }
        auto* cols = find<QComboBox>("cboCols");
        QCOMPARE(cols->count(), 2);
        QCOMPARE(cols->itemText(0), QStringLiteral("1 Column"));
        QCOMPARE(cols->currentText(), QStringLiteral("2 Columns"));
        QCOMPARE(find<QPushButton>("cmdFileSelect[1]")->text(),
                 QStringLiteral("Select Cover From File"));
        QVERIFY(!shown("cmdFileSelect[2]"));
        QCOMPARE(find<QLabel>("lblMenu[2]")->text(), QStringLiteral(" After Subscription Action"));
        QCOMPARE(find<QGroupBox>("frTab[2]")->title(),
                 QStringLiteral("   After Subscription Action  "));
        QVERIFY(FileExists(app->path("templates"), true));
        // A fresh window holds the defaults: the build reads exactly what a default record holds.
        FunnelSettings expected;
        FunnelSettings actual = window->settings();
        QVERIFY(actual == expected);
    }

    void missingTemplatesFolderIsCreated() {
        QTemporaryDir bare;
        frmMass other(AppPaths(bare.path()));
        QVERIFY(FileExists(bare.filePath("templates"), true));
    }

    void showSection_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("expected");
        for (int i = 0; i < 5; ++i)
            QTest::addRow("section %d", i) << i << i;
        QTest::newRow("below range changes nothing") << -1 << 3;
        QTest::newRow("above range changes nothing") << 5 << 3;
    }

    void showSection() {
        QFETCH(int, index);
        QFETCH(int, expected);
        window->ShowSection(3);
        window->ShowSection(index);
        QCOMPARE(window->shownSection(), expected);
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(shown(QStringLiteral("frTab[%1]").arg(i)), i == expected);
            QCOMPARE(find(QStringLiteral("qMenu[%1]").arg(i))->property("selected").toBool(),
                     i == expected);
        }
    }

    void menuClicksSwitchSections() {
        QTest::mouseClick(find("lblMenu[4]"), Qt::LeftButton);
        QCOMPARE(window->shownSection(), 4);
        QTest::mouseClick(find("imgMenu[2]"), Qt::LeftButton);
        QCOMPARE(window->shownSection(), 2);
    }

    void warningsFollowTheAddressWhenShown_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("missing");
        QTest::newRow("default") << "http://" << true;
        QTest::newRow("empty") << "" << true;
        QTest::newRow("blank before the default") << " http://" << false;
        QTest::newRow("capitals") << "HTTP://" << false;
        QTest::newRow("an address") << "http://example.com" << false;
    }

    void warningsFollowTheAddressWhenShown() {
        QFETCH(QString, address);
        QFETCH(bool, missing);
        edit("txtFunnelUrl")->setText(address);
        window->ShowSection(1);
        QCOMPARE(shown("lblWarningOptinForm"), missing);
        QCOMPARE(find("txtoptinForm")->isEnabled(), !missing);
        window->ShowSection(2);
        QCOMPARE(shown("lblWarningAfterSubscription"), missing);
        window->ShowSection(4);
        QCOMPARE(shown("lblWarningFinal"), missing);
    }

    void warningIsReevaluatedOnlyWhenTheSectionIsShown() {
        window->ShowSection(1);
        QVERIFY(shown("lblWarningOptinForm"));
        QVERIFY(!find("txtoptinForm")->isEnabled());
        edit("txtFunnelUrl")->setText("http://example.com");
        QVERIFY(shown("lblWarningOptinForm"));
        window->ShowSection(1);
        QVERIFY(!shown("lblWarningOptinForm"));
        QVERIFY(find("txtoptinForm")->isEnabled());
    }

    void leadMagnetPanels() {
        window->ShowSection(1);
        auto* lead = find<CollapsiblePanel>("qLeadMagnet[0]");
        auto* optin = find<CollapsiblePanel>("qLeadMagnet[1]");
        QVERIFY(lead->isExpanded());
        QVERIFY(!optin->isExpanded());
        QTest::mouseClick(find("Label50[1]"), Qt::LeftButton);
        QVERIFY(!lead->isExpanded());
        QVERIFY(optin->isExpanded());
        QCOMPARE(optin->y(), lead->y() + lead->height() + 1);
        const int openTop = optin->y();
        window->Label50_Click(0);
        QVERIFY(lead->isExpanded());
        QVERIFY(optin->y() > openTop);
        window->Label50_Click(7);
        QVERIFY(lead->isExpanded());
    }

    void remindersBlink() {
        auto* address = find("shreminder[0]");
        auto* optin = find("shreminder[1]");
        window->tmrReminder_Timer();
        QVERIFY(address->isVisibleTo(find("frTab[0]")));
        window->tmrReminder_Timer();
        QVERIFY(!address->isVisibleTo(find("frTab[0]")));
        window->tmrReminder_Timer();
        edit("txtFunnelUrl")->setText("http://example.com");
        window->tmrReminder_Timer();
        QVERIFY(!address->isVisibleTo(find("frTab[0]")));

        QVERIFY(!optin->isVisibleTo(find("frTab[1]"))); // its section is not shown
        window->ShowSection(1);
        window->Label50_Click(1);
        window->tmrReminder_Timer();
        QVERIFY(optin->isVisibleTo(find("frTab[1]")));
        find<QPlainTextEdit>("txtoptinForm")->setPlainText("x");
        window->tmrReminder_Timer();
        QVERIFY(!optin->isVisibleTo(find("frTab[1]")));
        find<QPlainTextEdit>("txtoptinForm")->clear();
        window->tmrReminder_Timer();
        window->ShowSection(0);
        window->tmrReminder_Timer();
        QVERIFY(!optin->isVisibleTo(find("frTab[1]")));
        QCOMPARE(find<QTimer>("tmrReminder")->interval(), 800);
        QVERIFY(find<QTimer>("tmrReminder")->isActive());
    }

    void addressChangeDerivesPageAddresses_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("base");
        QTest::newRow("without final slash") << "http://a.example/f"
                                             << "http://a.example/f/";
        QTest::newRow("with final slash") << "http://a.example/f/"
                                          << "http://a.example/f/";
        QTest::newRow("one keystroke") << "h"
                                       << "h/";
    }

    void addressChangeDerivesPageAddresses() {
        QFETCH(QString, address);
        QFETCH(QString, base);
        edit("txtFunnelUrl")->setText(address);
        const FunnelSettings s = window->settings();
        QCOMPARE(edit("txtCapture_Url")->text(),
                 base + QStringLiteral("thanks%1.html").arg(s.thankYouPageNumber));
        QCOMPARE(edit("txtDownloadUrl")->text(),
                 base + QStringLiteral("download%1.html").arg(s.downloadPageNumber));
        QCOMPARE(s.thankYouPageFile, QStringLiteral("thanks%1.html").arg(s.thankYouPageNumber));
        QVERIFY(s.thankYouPageNumber >= 1 && s.thankYouPageNumber <= 100);
        QVERIFY(s.downloadPageNumber >= 1 && s.downloadPageNumber <= 100);
    }

    void everyAddressChangeDrawsAgain() {
        QSet<QString> seen;
        for (int i = 0; i < 20; ++i) {
            edit("txtFunnelUrl")
                ->setText(QStringLiteral("http://a.example/") + (i % 2 ? "x" : "y"));
            seen << edit("txtCapture_Url")->text();
        }
        QVERIFY(seen.size() > 2);
    }

    void colourPick_data() {
        QTest::addColumn<QColor>("picked");
        QTest::addColumn<QString>("tag");
        QTest::newRow("red") << QColor(255, 0, 0) << "255,0,0";
        QTest::newRow("blue") << QColor(0, 0, 255) << "0,0,255";
        QTest::newRow("white") << QColor(255, 255, 255) << "255,255,255";
        QTest::newRow("mixed") << QColor(255, 0, 128) << "255,0,128";
    }

    void colourPick() {
        QFETCH(QColor, picked);
        QFETCH(QString, tag);
        desk->colors << picked;
        QTest::mouseClick(swatch(3), Qt::LeftButton);
        QCOMPARE(swatch(3)->tag(), tag);
        QCOMPARE(swatch(3)->color(), picked);
        QCOMPARE(window->settings().lblColorPicker[3], tag);
    }

    void cancelledColourKeepsTheSwatch() {
        desk->colors << std::nullopt;
        window->lblColorPicker_Click(0);
        QCOMPARE(swatch(0)->tag(), QStringLiteral("64,0,64"));
    }

    void applyToOtherFields_data() {
        QTest::addColumn<int>("link");
        QTest::addColumn<int>("source");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QList<int>>("changed");
        QTest::newRow("headline, yes") << 0 << 2 << true << QList<int>{4, 5};
        QTest::newRow("instructions, yes") << 2 << 4 << true << QList<int>{2, 5};
        QTest::newRow("privacy, yes") << 3 << 5 << true << QList<int>{2, 4};
        QTest::newRow("headline, no") << 0 << 2 << false << QList<int>{};
    }

    void applyToOtherFields() {
        QFETCH(int, link);
        QFETCH(int, source);
        QFETCH(bool, yes);
        QFETCH(QList<int>, changed);
        desk->colors << QColor(1, 2, 3);
        window->lblColorPicker_Click(source);
        desk->answers << yes;
        window->lblApply_Click(link);
        QCOMPARE(desk->last().text,
                 QStringLiteral("Apply this color to other fields (Lead Page Only)?"));
        QCOMPARE(desk->last().title, QStringLiteral("Confirm"));
        QCOMPARE(desk->last().icon, MessageIcon::None);
        for (int i : {2, 4, 5}) {
            const QString expected = (i == source || changed.contains(i))
                                         ? QStringLiteral("1,2,3")
                                         : window->settings().lblColorPicker[i];
            QCOMPARE(swatch(i)->tag(), expected);
        }
        if (!yes)
            QCOMPARE(swatch(4)->tag(), QStringLiteral("0,0,0"));
    }

    void fileChoice() {
        desk->files << "/pics/x.jpg/cover.jpg";
        window->ShowSection(1);
        QTest::mouseClick(find("cmdFileSelect[1]"), Qt::LeftButton);
        QCOMPARE(chosen(1)->text(), QStringLiteral("/pics/x.jpg/cover.jpg"));
        QCOMPARE(chosen(1)->tag(), QStringLiteral("cover.jpg"));
        QCOMPARE(edit("txtLastPath")->text(), QStringLiteral("/pics/x.jpg/"));
        QCOMPARE(desk->fileDialogFolders.last(), QDir::homePath());
        QVERIFY(desk->fileDialogFilters.last().first().startsWith("Image Files (*.jpg"));
        QCOMPARE(desk->fileDialogFilters.last().size(), 3);

        desk->files << "";
        window->cmdFileSelect_Click(0);
        QCOMPARE(desk->fileDialogFolders.last(), QStringLiteral("/pics/x.jpg/"));
        QCOMPARE(chosen(0)->text(), QStringLiteral("No Selected Image"));
        QCOMPARE(chosen(0)->tag(), QString());

        desk->files << "/pics/x.jpg";
        window->cmdFileSelect_Click(0);
        // The name is removed wherever it occurs in the path.
        QCOMPARE(edit("txtLastPath")->text(), QStringLiteral("/pics/"));
    }

    void copyLinks_data() {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("box");
        QTest::newRow("thank-you page") << "Label40"
                                        << "txtCapture_Url";
        QTest::newRow("download page") << "Label45"
                                       << "txtDownloadUrl";
    }

    void copyLinks() {
        QFETCH(QString, link);
        QFETCH(QString, box);
        edit("txtFunnelUrl")->setText("http://example.com/f");
        window->ShowSection(link == "Label40" ? 1 : 2);
        window->Label50_Click(1);
        QTest::mouseClick(find(link), Qt::LeftButton);
        QCOMPARE(desk->clipboard, edit(box)->text());
        QVERIFY(desk->clipboard.startsWith("http://example.com/f/"));
        QCOMPARE(desk->last().text, QStringLiteral("Done. Url copied to clipboard."));
        QCOMPARE(desk->last().title, QStringLiteral("Done"));
    }

    void headDialog_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<QString>("expected");
        QTest::newRow("accept") << "<meta name=\"a\">" << true << "<meta name=\"a\">";
        QTest::newRow("cancel keeps the old code") << "<meta name=\"b\">" << false << "<old>";
        QTest::newRow("empty accept clears") << "" << true << "";
    }

    void headDialog() {
        QFETCH(QString, typed);
        QFETCH(bool, accept);
        QFETCH(QString, expected);
        whenDialogOpens([](QDialog* d) {
            d->findChild<QPlainTextEdit*>("txtHEADCode")->setPlainText("<old>");
            QTest::mouseClick(d->findChild<QPushButton*>("Command1"), Qt::LeftButton);
        });
        window->lblHead_Click();
        QCOMPARE(window->headCode(), QStringLiteral("<old>"));
        whenDialogOpens([typed, accept](QDialog* d) {
            auto* box = d->findChild<QPlainTextEdit*>("txtHEADCode");
            QCOMPARE(box->toPlainText(), QStringLiteral("<old>"));
            box->setPlainText(typed);
            QTest::mouseClick(d->findChild<QPushButton*>(accept ? "Command1" : "Command2"),
                              Qt::LeftButton);
        });
        window->lblHead_Click();
        QCOMPARE(window->headCode(), expected);
    }

    void freeHostingList() {
        whenDialogOpens([this](QDialog* d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Free Hosting"));
            auto* list = d->findChild<QListWidget*>("List1");
            QCOMPARE(list->count(), 5);
            QCOMPARE(list->selectedItems().size(), 0);
            static_cast<frmFreeWebsites*>(d)->List1_DblClick(); // nothing selected: nothing opens
            list->setCurrentRow(3);
            static_cast<frmFreeWebsites*>(d)->List1_DblClick();
            QCOMPARE(desk->openedUrls, QList<QUrl>{QUrl(list->item(3)->text())});
            QTest::mouseClick(d->findChild<QPushButton*>("Command1"), Qt::LeftButton);
        });
        window->Label63_Click();
        QTest::mouseClick(find("lblBy"), Qt::LeftButton);
        QCOMPARE(desk->openedUrls.last(), QUrl(frmMass::kProjectWebPage));
    }

    void buildReportsMissingInfo_data() {
        QTest::addColumn<int>("filled");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("section");
        QTest::newRow("address") << 0 << "Please enter the url where you'll upload this funnel."
                                 << 0;
        QTest::newRow("opt-in form")
            << 1 << "Please enter your opt-in form code for this funnel." << 1;
        QTest::newRow("video") << 2 << "Please enter a video to use for this funnel." << 3;
        QTest::newRow("cover") << 3 << "Please select a cover image for your lead magnet." << 1;
    }

    void buildReportsMissingInfo() {
        QFETCH(int, filled);
        QFETCH(QString, message);
        QFETCH(int, section);
        if (filled > 0)
            edit("txtFunnelUrl")->setText("http://example.com/f");
        if (filled > 1)
            find<QPlainTextEdit>("txtoptinForm")->setPlainText("<form></form>");
        if (filled > 2)
            edit("txtFunnel_YouTubeID")->setText("abc");
        window->ShowSection(4);
        QTest::mouseClick(find("cmdBuildFunnel"), Qt::LeftButton);
        QCOMPARE(desk->shown.size(), 1);
        QCOMPARE(desk->last().text, message);
        QCOMPARE(desk->last().title, QStringLiteral("Missing Info"));
        QCOMPARE(desk->last().icon, MessageIcon::Information);
        QCOMPARE(window->shownSection(), section);
        QCOMPARE(find<CollapsiblePanel>("qLeadMagnet[1]")->isExpanded(), filled == 1);
        QVERIFY(!FileExists(app->output(), true));
    }

    void checklistShowsWhatTheBuildNeeds() {
        edit("txtFunnelUrl")->setText("http://example.com/f");
        window->ShowSection(4);
        const QString before = find<QLabel>("lblChecklist")->text();
        QCOMPARE(before.count("&#10003;"), 1);
        QCOMPARE(before.count("&#10007;"), 3);
        QVERIFY(before.contains(edit("txtCapture_Url")->text()));
        fillRequired();
        find<QRadioButton>("optBackground[1]")->setChecked(true);
        window->ShowSection(4);
        const QString after = find<QLabel>("lblChecklist")->text();
        QCOMPARE(after.count("&#10003;"), 4);
        QCOMPARE(after.count("&#10007;"), 1);
        QVERIFY(after.contains("background image"));
    }

    void backgroundImageIsAskedForWhenUsed() {
        fillRequired();
        find<QRadioButton>("optBackground[1]")->setChecked(true);
        window->cmdBuildFunnel_Click();
        QCOMPARE(desk->last().text, QStringLiteral("Please select a background image."));
        QCOMPARE(window->shownSection(), 0);
    }

    void buildFromTheWindow() {
        fillRequired();
        edit("txtFooterNew")->setText("My Footer");
        find<QComboBox>("cboCols")->setCurrentIndex(0);
        desk->answers << true;
        window->cmdBuildFunnel_Click();
        QCOMPARE(desk->last().text,
                 QStringLiteral("Process complete. Do you want to open the output folder?"));
        QCOMPARE(desk->last().title, QStringLiteral("Done"));
        QCOMPARE(desk->last().icon, MessageIcon::Information);
        QVERIFY(desk->last().question);
        QCOMPARE(desk->openedFolders.size(), 1);
        QCOMPARE(QDir(desk->openedFolders.first()).canonicalPath(),
                 QDir(app->output()).canonicalPath());

        const FunnelSettings s = window->settings();
        const QByteArray index = readBytes(app->output("index.html"));
        QVERIFY(index.startsWith("<!-- one column -->"));
        QVERIFY(index.contains("footer:My Footer|255,255,255"));
        QVERIFY(index.contains("form:<form>F</form>"));
        QVERIFY(readBytes(app->output(s.thankYouPageFile))
                    .contains(("go:" + edit("txtDownloadUrl")->text()).toUtf8()));
        QVERIFY(readBytes(app->output(s.downloadPageFile)).contains("embed/vid123?autoplay=1"));
        QCOMPARE(readBytes(app->output("cover.jpg")), readBytes(app->path("pictures/cover.jpg")));

        desk->answers << false;
        window->cmdBuildFunnel_Click();
        QCOMPARE(desk->openedFolders.size(), 1);
    }

    void failedBuildSaysErrorNotComplete() {
        fillRequired();
        QFile::remove(app->path("templates/download.html"));
        window->cmdBuildFunnel_Click();
        QCOMPARE(desk->shown.size(), 1);
        QCOMPARE(desk->last().title, QStringLiteral("Error"));
        QVERIFY(desk->last().text.contains("download.html"));
        QVERIFY(!desk->last().question);
    }

    void openOutputFolder() {
        window->cmdOpenOutput_Click();
        QVERIFY(desk->openedFolders.isEmpty());
        QVERIFY(desk->last().text.contains("does not exist yet"));
        QDir().mkpath(app->output());
        window->cmdOpenOutput_Click();
        QCOMPARE(desk->openedFolders, QList<QString>{app->output() + "/"});
    }

    void proDialogValuesReachThePage() {
        fillRequired();
        whenDialogOpens([](QDialog* d) {
            d->findChild<QPlainTextEdit*>("txtRetargeting")->setPlainText("<img src=\"px.gif\">");
            d->findChild<QCheckBox*>("chkBackControl")->setChecked(true);
            d->findChild<QLineEdit*>("txtBackUrl")->setText("http://back.example/");
            QTest::mouseClick(d->findChild<QPushButton*>("Command1"), Qt::LeftButton);
        });
        window->cmdPro_Click();
        desk->answers << false;
        window->cmdBuildFunnel_Click();
        const QByteArray index = readBytes(app->output("index.html"));
        QVERIFY(index.contains("retargeting:<img src=\"px.gif\">"));
        QVERIFY(index.contains("back:<script>back('http://back.example/')</script>"));

        // Back control without an address is refused; cancel keeps the values.
        whenDialogOpens([this](QDialog* d) {
            d->findChild<QLineEdit*>("txtBackUrl")->clear();
            QTest::mouseClick(d->findChild<QPushButton*>("Command1"), Qt::LeftButton);
            QVERIFY(d->isVisible());
            QVERIFY(desk->last().text.contains("address"));
            QTest::mouseClick(d->findChild<QPushButton*>("Command2"), Qt::LeftButton);
        });
        window->cmdPro_Click();
        QCOMPARE(window->settings().backUrl, QStringLiteral("http://back.example/"));
    }

    void coverButtonOpensTheCreator() {
        window->ShowSection(1);
#if __has_include("frmcovercreator.h")
        whenDialogOpens([](QDialog* d) {
            QCOMPARE(d->objectName(), QStringLiteral("frmCoverCreator"));
            d->reject();
        });
        QTest::mouseClick(find("Command4"), Qt::LeftButton);
        QCOMPARE(chosen(1)->tag(), QString());

        // A saved cover becomes the funnel's cover, and the build copies it.
        QDir().mkpath(app->path("imgspro"));
        QVERIFY(QFile::copy(shippedDataDir() + "/imgspro/sunset_hills.jpg",
                            app->path("imgspro/sunset_hills.jpg")));
        whenDialogOpens([](QDialog* d) {
            d->findChild<QLineEdit*>("txtAdText[0]")->setText("My Guide");
            QVERIFY(QMetaObject::invokeMethod(d, "Command1_Click"));
        });
        window->Command4_Click();
        QCOMPARE(chosen(1)->text(), app->path("temp_cover.jpg"));
        QCOMPARE(chosen(1)->tag(), QStringLiteral("temp_cover.jpg"));
        QCOMPARE(desk->last().text, QStringLiteral("Done! Cover saved."));
        edit("txtFunnelUrl")->setText("http://example.com/f");
        find<QPlainTextEdit>("txtoptinForm")->setPlainText("<form>F</form>");
        edit("txtFunnel_YouTubeID")->setText("vid123");
        desk->answers << false;
        window->cmdBuildFunnel_Click();
        QVERIFY(
            readBytes(app->output("index.html")).contains("cover:temp_cover.jpg temp_cover.jpg"));
        QVERIFY(QImage(app->output("temp_cover.jpg")).size() == QSize(400, 450));
#else
        QTest::mouseClick(find("Command4"), Qt::LeftButton);
        QCOMPARE(desk->shown.size(), 1);
        QCOMPARE(desk->last().title, QStringLiteral("Info"));
#endif
    }

    void saveAndOpenRoundTrip() {
        fillRequired();
        edit("txtThanks")->setText("Thanks ´ €");
        find<QCheckBox>("chkAutoplay")->setChecked(false);
        find<QComboBox>("cboLanguage")
            ->setCurrentIndex(find<QComboBox>("cboLanguage")->findData("ar"));
        desk->colors << QColor(9, 8, 7);
        window->lblColorPicker_Click(5);
        const FunnelSettings before = window->settings();
        const QString path = app->path("saved");
        desk->files << path;
        window->cmdSaveFunnel_Click();
        QVERIFY(FileExists(path + ".funnel.json", false));

        ScriptedDesktop* keep = desk.get();
        frmMass other(AppPaths(app->path()));
        setDesktop(keep);
        QVERIFY(!(other.settings() == before));
        desk->files << path + ".funnel.json";
        other.cmdOpenFunnel_Click();
        QVERIFY(other.settings() == before);
        QCOMPARE(other.findChild<QLineEdit*>("txtCapture_Url")->text(), before.txtCapture_Url);
    }

    // Notes appear beside the field as it is typed into, and go when it is mended; the lower panel
    // moves out of the way.
    void pasteNotesBesideTheFields() {
        window->ShowSection(1);
        auto* lead = find<CollapsiblePanel>("qLeadMagnet[0]");
        auto* optin = find<CollapsiblePanel>("qLeadMagnet[1]");
        QVERIFY(!shown("lblNote_txtFunnel_LeadLine1"));
        const int optinTop = optin->y();
        edit("txtFunnel_LeadLine1")->setText("Save 50% <today> only");
        QVERIFY(shown("lblNote_txtFunnel_LeadLine1"));
        QVERIFY(find<QLabel>("lblNote_txtFunnel_LeadLine1")->text().contains("<today>"));
        QVERIFY(optin->y() > optinTop);
        QCOMPARE(optin->y(), lead->y() + lead->height() + 1);
        edit("txtFunnel_LeadLine1")->setText("Save 50% today only");
        QVERIFY(!shown("lblNote_txtFunnel_LeadLine1"));

        window->Label50_Click(1);
        auto* form = find<QPlainTextEdit>("txtoptinForm");
        form->setPlainText("<form action=\"http://list.example/add\"><input "
                           "name=\"email\"><button>Go</button></form>");
        QVERIFY(shown("lblNote_txtoptinForm"));
        QCOMPARE(find<QLabel>("lblNote_txtoptinForm")->text().count(u'\n'),
                 2); // GET, not https, no label
        form->setPlainText("<form method=\"post\" action=\"https://list.example/add\"><label>Email "
                           "<input type=\"email\"></label></form>");
        QVERIFY(!shown("lblNote_txtoptinForm"));
        QCOMPARE(desk->unexpected, 0);
    }

    void brokenFileChangesNothing() {
        fillRequired();
        const FunnelSettings before = window->settings();
        QFile broken(app->path("broken.funnel.json"));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("{\"headline\": 3, \"funnelUrl\": \"http://other.example\"}");
        broken.close();
        desk->files << broken.fileName();
        window->cmdOpenFunnel_Click();
        QCOMPARE(desk->last().title, QStringLiteral("Error"));
        QVERIFY(desk->last().text.contains("headline"));
        QVERIFY(window->settings() == before);
    }

    void failedSaveIsReported() {
        desk->files << app->path("no/such/folder/x.funnel.json");
        window->cmdSaveFunnel_Click();
        QCOMPARE(desk->last().title, QStringLiteral("Error"));
        QVERIFY(desk->last().text.contains("x.funnel.json"));
    }
};

TANDREL_TEST(frmMassTest)
#include "frmmass_test.moc"
