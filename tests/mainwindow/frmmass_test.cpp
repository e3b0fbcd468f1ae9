#include "controls.h"
#include "dialogs.h"
#include "frmmass.h"
#include "funnelfixtures.h"
#include "scripteddesktop.h"
#include "textfiles.h"
#include "tools.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
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
        return test::controlIn<T>(window.get(), name);
    }
    QLineEdit* edit(const QString& name) { return find<QLineEdit>(name); }
    ColorSwatch* swatch(int i) {
        return find<ColorSwatch>(QStringLiteral("lblColorPicker[%1]").arg(i));
    }
    TagLabel* chosen(int i) { return find<TagLabel>(QStringLiteral("lblSelectedFile[%1]").arg(i)); }
    bool shown(const QString& name) { return find(name)->isVisibleTo(window.get()); }

    void openWindow(const QString& folder) {
        window = std::make_unique<frmMass>(AppPaths(folder));
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }

    // What a new user types to get a buildable funnel.
    void fillRequired(const QString& cover) {
        edit("txtFunnelUrl")->setText("http://example.com/f");
        find<QPlainTextEdit>("txtoptinForm")->setPlainText("<form>F</form>");
        edit("txtFunnel_YouTubeID")->setText("vid123");
        desk->files << cover;
        window->cmdFileSelect_Click(1);
    }
    void fillRequired() { fillRequired(app->makePicture("cover.jpg")); }

private slots:
    void init() {
        app = std::make_unique<FixtureApp>();
        desk = std::make_unique<ScriptedDesktop>();
        openWindow(app->path());
    }

    void cleanup() {
        QCOMPARE(desk->unexpected, 0);
        window.reset();
        desk.reset();
        app.reset();
    }

    void startUp() {
        for (int i = 1; i < 5; ++i)
            QCOMPARE(find(QStringLiteral("frTab[%1]").arg(i))->geometry(),
                     find("frTab[0]")->geometry());
        QCOMPARE(window->shownSection(), 0);
        // The build reads exactly what a default record holds.
        QVERIFY(window->settings() == FunnelSettings());
        QTemporaryDir bare;
        frmMass other(AppPaths(bare.path()));
        QVERIFY(FileExists(bare.filePath("templates"), true));
    }

    void showSection_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("expected");
        for (int i = 0; i < 5; ++i)
            QTest::addRow("menu %d", i) << i << i;
        QTest::newRow("below range changes nothing") << -1 << 3;
        QTest::newRow("above range changes nothing") << 5 << 3;
    }

    void showSection() {
        QFETCH(int, index);
        QFETCH(int, expected);
        window->ShowSection(index == expected ? (index + 1) % 5 : expected);
        if (index == expected)
            QTest::mouseClick(find(QStringLiteral("lblMenu[%1]").arg(index)), Qt::LeftButton);
        else
            window->ShowSection(index);
        QCOMPARE(window->shownSection(), expected);
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(shown(QStringLiteral("frTab[%1]").arg(i)), i == expected);
            QCOMPARE(find(QStringLiteral("qMenu[%1]").arg(i))->property("selected").toBool(),
                     i == expected);
        }
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
        window->ShowSection(1);
        edit("txtFunnelUrl")->setText(address);
        QVERIFY(shown("lblWarningOptinForm")); // typing alone does not re-evaluate
        window->ShowSection(1);
        QCOMPARE(shown("lblWarningOptinForm"), missing);
        QCOMPARE(find("txtoptinForm")->isEnabled(), !missing);
        window->ShowSection(2);
        QCOMPARE(shown("lblWarningAfterSubscription"), missing);
        window->ShowSection(4);
        QCOMPARE(shown("lblWarningFinal"), missing);
        // The build asks for the first missing value and shows where it goes.
        QTest::mouseClick(find("cmdBuildFunnel"), Qt::LeftButton);
        QCOMPARE(desk->shown.size(), 1);
        QCOMPARE(desk->last().title, QStringLiteral("Missing Info"));
        QCOMPARE(desk->last().text,
                 missing ? QStringLiteral("Please enter the url where you'll upload this funnel.")
                         : QStringLiteral("Please enter your opt-in form code for this funnel."));
        QCOMPARE(window->shownSection(), missing ? 0 : 1);
        QCOMPARE(find<CollapsiblePanel>("qLeadMagnet[1]")->isExpanded(), !missing);
        QVERIFY(!FileExists(app->output(), true));
    }

    void leadMagnetPanelsAndNotes() {
        window->ShowSection(1);
        auto* lead = find<CollapsiblePanel>("qLeadMagnet[0]");
        auto* optin = find<CollapsiblePanel>("qLeadMagnet[1]");
        QVERIFY(lead->isExpanded() && !optin->isExpanded());
        // A note under a field pushes the opt-in panel down, and goes when the field is mended.
        const int top = optin->y();
        edit("txtFunnel_LeadLine1")->setText("Save 50% <today> only");
        QVERIFY(shown("lblNote_txtFunnel_LeadLine1"));
        QVERIFY(optin->y() > top);
        QCOMPARE(optin->y(), lead->y() + lead->height() + 1);
        edit("txtFunnel_LeadLine1")->setText("Save 50% today only");
        QVERIFY(!shown("lblNote_txtFunnel_LeadLine1"));

        QTest::mouseClick(find("Label50[1]"), Qt::LeftButton);
        QVERIFY(!lead->isExpanded() && optin->isExpanded());
        QCOMPARE(optin->y(), lead->y() + lead->height() + 1);
        QVERIFY(optin->y() < top);
        window->Label50_Click(7);
        QVERIFY(optin->isExpanded());
    }

    void remindersBlink() {
        QVERIFY(find<QTimer>("tmrReminder")->isActive());
        const auto tick = [this](int i) {
            window->tmrReminder_Timer();
            return find(QStringLiteral("shreminder[%1]").arg(i))
                ->isVisibleTo(find(QStringLiteral("frTab[%1]").arg(i)));
        };
        QVERIFY(tick(0) != tick(0)); // blinks while the address is missing
        edit("txtFunnelUrl")->setText("http://example.com");
        QVERIFY(!tick(0) && !tick(0));
        window->ShowSection(1);
        window->Label50_Click(1);
        QVERIFY(tick(1) != tick(1)); // blinks while the opt-in box is empty and shown
        find<QPlainTextEdit>("txtoptinForm")->setPlainText("x");
        QVERIFY(!tick(1) && !tick(1));
        find<QPlainTextEdit>("txtoptinForm")->clear();
        window->ShowSection(0);
        QVERIFY(!tick(1) && !tick(1));
    }

    void everyAddressChangeDrawsPageAddresses() {
        QSet<QString> seen;
        for (int i = 0; i < 20; ++i) {
            edit("txtFunnelUrl")->setText(i % 2 ? "http://a.example/f" : "http://a.example/g/");
            FunnelSettings expected = window->settings();
            expected.deriveFunnelLinks(expected.thankYouPageNumber, expected.downloadPageNumber);
            QCOMPARE(edit("txtCapture_Url")->text(), expected.txtCapture_Url);
            QCOMPARE(edit("txtDownloadUrl")->text(), expected.txtDownloadUrl);
            seen << expected.txtCapture_Url;
        }
        QVERIFY(seen.size() > 2);
    }

    void colourPick_data() {
        QTest::addColumn<QColor>("picked"); // invalid: the dialog is cancelled
        QTest::addColumn<QString>("tag");   // empty: the tag from before
        QTest::newRow("mixed") << QColor(255, 0, 128) << "255,0,128";
        QTest::newRow("cancel keeps the colour") << QColor() << "";
    }

    void colourPick() {
        QFETCH(QColor, picked);
        QFETCH(QString, tag);
        const QString before = swatch(0)->tag();
        QVERIFY(before != QLatin1String("0,0,0")); // cancel must not pass for black
        desk->colors << (picked.isValid() ? std::optional<QColor>(picked) : std::nullopt);
        QTest::mouseClick(swatch(0), Qt::LeftButton);
        QCOMPARE(swatch(0)->tag(), tag.isEmpty() ? before : tag);
        QCOMPARE(window->settings().lblColorPicker[0], swatch(0)->tag());
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
        QTest::newRow("no such link") << 1 << 2 << true << QList<int>{};
    }

    void applyToOtherFields() {
        QFETCH(int, link);
        QFETCH(int, source);
        QFETCH(bool, yes);
        QFETCH(QList<int>, changed);
        QMap<int, QString> before;
        for (int i : {2, 4, 5})
            before[i] = swatch(i)->tag();
        desk->colors << QColor(1, 2, 3);
        window->lblColorPicker_Click(source);
        desk->answers << yes;
        window->lblApply_Click(link);
        QCOMPARE(desk->last().text,
                 QStringLiteral("Apply this color to other fields (Lead Page Only)?"));
        for (int i : {2, 4, 5})
            QCOMPARE(swatch(i)->tag(),
                     i == source || changed.contains(i) ? QStringLiteral("1,2,3") : before[i]);
    }

    void fileChoice() {
        desk->files << "/pics/x.jpg/cover.jpg"
                    << ""
                    << "/pics/x.jpg";
        window->ShowSection(1);
        QTest::mouseClick(find("cmdFileSelect[1]"), Qt::LeftButton);
        QCOMPARE(chosen(1)->text(), QStringLiteral("/pics/x.jpg/cover.jpg"));
        QCOMPARE(chosen(1)->tag(), QStringLiteral("cover.jpg"));
        QCOMPARE(desk->fileDialogFolders.last(), QDir::homePath());
        QVERIFY(desk->fileDialogFilters.last().first().startsWith("All Pictures (*.jpg"));
        window->cmdFileSelect_Click(0); // cancelled
        QCOMPARE(desk->fileDialogFolders.last(), QStringLiteral("/pics/x.jpg/"));
        QCOMPARE(chosen(0)->tag(), QString());
        window->cmdFileSelect_Click(0);
        // The name is removed wherever it occurs in the path.
        QCOMPARE(edit("txtLastPath")->text(), QStringLiteral("/pics/"));
    }

    void copyLinks() {
        edit("txtFunnelUrl")->setText("http://example.com/f");
        window->ShowSection(1);
        window->Label50_Click(1);
        QTest::mouseClick(find("Label40"), Qt::LeftButton);
        QCOMPARE(desk->clipboard, edit("txtCapture_Url")->text());
        window->ShowSection(2);
        QTest::mouseClick(find("Label45"), Qt::LeftButton);
        QCOMPARE(desk->clipboard, edit("txtDownloadUrl")->text());
        QCOMPARE(desk->shown.size(), 2);
        QCOMPARE(desk->last().text, QStringLiteral("Done. Url copied to clipboard."));
    }

    void headDialog() {
        QString opened;
        const auto play = [this, &opened](const QString& typed, const char* button) {
            whenDialogOpens([&opened, typed, button](QDialog* d) {
                auto* box = d->findChild<QPlainTextEdit*>("txtHEADCode");
                opened = box->toPlainText();
                box->setPlainText(typed);
                QTest::mouseClick(d->findChild<QPushButton*>(button), Qt::LeftButton);
            });
            window->lblHead_Click();
        };
        play("<old>", "Command1");
        play("<new>", "Command2"); // cancel
        QCOMPARE(window->headCode(), QStringLiteral("<old>"));
        play("", "Command1");
        QCOMPARE(opened, QStringLiteral("<old>"));
        QCOMPARE(window->headCode(), QString());
    }

    void freeHostingListAndCreditLink() {
        whenDialogOpens([this](QDialog* d) {
            auto* list = d->findChild<QListWidget*>("List1");
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

    void buildFromTheWindow() {
        window->cmdOpenOutput_Click();
        QVERIFY(desk->last().text.contains("does not exist yet"));
        fillRequired();
        edit("txtFooterNew")->setText("My Footer");
        find<QComboBox>("cboCols")->setCurrentIndex(0);
        whenDialogOpens([](QDialog* d) {
            d->findChild<QPlainTextEdit*>("txtRetargeting")->setPlainText("<img src=\"px.gif\">");
            d->findChild<QCheckBox*>("chkBackControl")->setChecked(true);
            d->findChild<QLineEdit*>("txtBackUrl")->setText("http://back.example/");
            QTest::mouseClick(d->findChild<QPushButton*>("Command1"), Qt::LeftButton);
        });
        window->cmdPro_Click();
        desk->answers << true << false;
        window->cmdBuildFunnel_Click();
        QCOMPARE(desk->last().text,
                 QStringLiteral("Process complete. Do you want to open the output folder?"));
        QCOMPARE(desk->openedFolders, QList<QString>{app->output() + "/"});
        const QByteArray index = readBytes(app->output("index.html"));
        QVERIFY(index.startsWith("<!-- one column -->"));
        QVERIFY(index.contains("footer:My Footer|255,255,255"));
        QVERIFY(index.contains("form:<form>F</form>"));
        QVERIFY(index.contains("retargeting:<img src=\"px.gif\">"));
        QVERIFY(index.contains("back:<script>back('http://back.example/')</script>"));
        window->cmdBuildFunnel_Click(); // answered No: the folder is not opened again
        QCOMPARE(desk->openedFolders.size(), 1);

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

    void buildIntoANonAsciiFolder() {
        QTemporaryDir root;
        const QString folder = root.filePath(QStringLiteral("Übung – Café ✓"));
        for (const QString sub : {"templates", "snippets"})
            QVERIFY(modCopy::CopyFolder(shippedDataDir() + '/' + sub, folder + '/' + sub));
        openWindow(folder);
        const QString cover = folder + QStringLiteral("/Bild ä.jpg");
        FixtureApp::writePicture(cover);
        fillRequired(cover);
        const QString footer = QStringLiteral("Grüße – € ✓ 😀");
        edit("txtFooterNew")->setText(footer);
        desk->answers << false;
        window->cmdBuildFunnel_Click();
        const FunnelSettings s = window->settings();
        const QString out = folder + QStringLiteral("/output/templates/");
        for (const QString& page :
             {QStringLiteral("index.html"), s.thankYouPageFile, s.downloadPageFile})
            QVERIFY2(QString::fromUtf8(readBytes(out + page)).contains(footer), qPrintable(page));
        QVERIFY(QFileInfo::exists(out + QStringLiteral("Bild ä.jpg")));
        window.reset(); // before its folder goes
    }

    void coverFromTheCreator() {
        window->ShowSection(1);
#if __has_include("frmcovercreator.h")
        whenDialogOpens([](QDialog* d) {
            QVERIFY(
                QMetaObject::invokeMethod(d, "coverSaved", Q_ARG(QString, "/c/temp_cover.jpg")));
            d->reject();
        });
        QTest::mouseClick(find("Command4"), Qt::LeftButton);
        QCOMPARE(chosen(1)->text(), QStringLiteral("/c/temp_cover.jpg"));
        QCOMPARE(chosen(1)->tag(), QStringLiteral("temp_cover.jpg"));
#else
        QTest::mouseClick(find("Command4"), Qt::LeftButton);
        QCOMPARE(desk->last().title, QStringLiteral("Info"));
#endif
    }

    void saveAndOpenByShortcut() {
        FunnelSettings before = completeSettings();
        before.txtThanks = "Thanks ´ €";
        before.language = "ar";
        window->setSettings(before);
        const QString path = app->path("saved");
        desk->files << path;
        QTest::keySequence(window.get(), QKeySequence::Save);
        QVERIFY(desk->files.isEmpty());
        QVERIFY(FileExists(path + ".funnel.json", false));

        openWindow(app->path());
        desk->files << path + ".funnel.json";
        QTest::keySequence(window.get(), QKeySequence::Open);
        QVERIFY(window->settings() == before);
        QCOMPARE(edit("txtCapture_Url")->text(), before.txtCapture_Url);
    }

    void failuresAreReportedNotSuccess() {
        fillRequired();
        QFile::remove(app->path("templates/download.html"));
        window->cmdBuildFunnel_Click();
        QCOMPARE(desk->shown.size(), 1);
        QCOMPARE(desk->last().title, QStringLiteral("Error"));
        QVERIFY(desk->last().text.contains("download.html"));

        desk->files << app->path("no/such/folder/x.funnel.json");
        window->cmdSaveFunnel_Click();
        QCOMPARE(desk->shown.size(), 2);
        QCOMPARE(desk->last().title, QStringLiteral("Error"));
        QVERIFY(desk->last().text.contains("x.funnel.json"));
        QVERIFY(!find<QLabel>("lblStatus")->text().startsWith("Saved"));

        const FunnelSettings before = window->settings();
        const QString broken = app->path("broken.funnel.json");
        QVERIFY(writeFileAtomically(broken, "{\"headline\": 3}"));
        desk->saveChoices << SaveChoice::Discard;
        desk->files << broken;
        window->cmdOpenFunnel_Click();
        QVERIFY(desk->last().text.contains("headline"));
        QVERIFY(window->settings() == before);
    }
};

TANDREL_TEST(frmMassTest)
#include "frmmass_test.moc"
