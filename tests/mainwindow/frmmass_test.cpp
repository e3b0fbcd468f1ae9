#include "controls.h"
#include "dialogs.h"
#include "funnelbuild.h"
#include "funnelfile.h"
#include "modcopy.h"
#include "qtdesktop.h"
#include "textfiles.h"
#include "tools.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

using namespace tandrel;
using namespace tandrel::test;

class frmMassTest : public QObject, WindowFixture {
    Q_OBJECT

    ColorSwatch* swatch(int i) {
        return find<ColorSwatch>(QStringLiteral("lblColorPicker[%1]").arg(i));
    }
    TagLabel* chosen(int i) { return find<TagLabel>(QStringLiteral("lblSelectedFile[%1]").arg(i)); }

    // What a new user types to get a buildable funnel.
    void fillRequired(const QString& cover) {
        edit("txtFunnelUrl")->setText("http://example.com/f");
        find<QPlainTextEdit>("txtoptinForm")->setPlainText("<form>F</form>");
        edit("txtFunnel_YouTubeID")->setText("vid123");
        desk->files << cover;
        window->cmdFileSelect_Click(1);
    }
    void fillRequired() { fillRequired(app->makePicture("cover.jpg")); }

    // Tab from the section's first control until focus leaves the section.
    QStringList tabWalk(int section) {
        QTest::keyClick(window.get(), Qt::Key_1 + section, Qt::AltModifier);
        QWidget* box = find(QStringLiteral("frTab[%1]").arg(section));
        QStringList names;
        for (QWidget* w = QApplication::focusWidget();
             w && box->isAncestorOf(w) && names.size() < 60; w = QApplication::focusWidget()) {
            names << w->objectName();
            QTest::keyClick(w, Qt::Key_Tab);
        }
        return names;
    }

private slots:
    void init() { openFixture(); }
    void cleanup() { closeFixture(); }

    // Each requirement of the build alone missing: the checklist marks it, the build names
    // it and shows where it goes.
    void requirementMissing_data() {
        QTest::addColumn<QString>("control"); // emptied; none: nothing missing
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("section");
        const auto row = [](const char* name, const char* control, const char* caption,
                            const char* message, int section) {
            QTest::newRow(name) << QString(control) << QString(caption) << QString(message)
                                << section;
        };
        row("nothing", "", "", "Process complete. Do you want to open the output folder?", 1);
        row("address", "txtFunnelUrl", "Where the funnel will be uploaded (General Info)",
            "Please enter the url where you'll upload this funnel.", 0);
        row("form", "txtoptinForm", "Your opt-in form code (Lead Magnet Page)",
            "Please enter your opt-in form code for this funnel.", 1);
        row("video", "txtFunnel_YouTubeID", "The video id (Thank You Page)",
            "Please enter a video to use for this funnel.", 3);
        row("background", "lblSelectedFile[0]", "A background image (General Info)",
            "Please select a background image.", 0);
        row("cover", "lblSelectedFile[1]", "A cover image (Lead Magnet Page)",
            "Please select a cover image for your lead magnet.", 1);
    }

    void requirementMissing() {
        QFETCH(QString, control);
        QFETCH(QString, caption);
        QFETCH(QString, message);
        QFETCH(int, section);
        FunnelSettings s = completeSettings(app->makePicture("cover.jpg"));
        s.optBackground = 1;
        s.lblSelectedFile[BackgroundImage] = {app->makePicture("bg.png"), "bg.png"};
        window->setSettings(s);
        if (auto* line = window->findChild<QLineEdit*>(control))
            line->setText(control == "txtFunnelUrl" ? "http://" : "");
        else if (auto* chosenFile = window->findChild<TagLabel*>(control))
            chosenFile->setTag({});
        else if (!control.isEmpty())
            find<QPlainTextEdit>(control)->clear();
        window->ShowSection(BuildSection);
        const QString list = find<QLabel>("lblChecklist")->text();
        const bool none = control.isEmpty();
        QCOMPARE(list.count("&#10007;"), none ? 0 : 1);
        QCOMPARE(list.count("&#10003;"), none ? 5 : 4);
        QVERIFY(none || list.contains("&#10007;</span>&nbsp;&nbsp;" + caption));
        const bool noAddress = control == "txtFunnelUrl";
        QCOMPARE(shown("lblWarningFinal"), noAddress);
        window->ShowSection(LeadMagnetPage);
        QCOMPARE(shown("lblWarningOptinForm"), noAddress);
        QCOMPARE(find("txtoptinForm")->isEnabled(), !noAddress);
        desk->answers << false; // built: not now, the output folder
        QTest::mouseClick(find("cmdBuildFunnel"), Qt::LeftButton);
        QCOMPARE(desk->shown.size(), 1);
        QCOMPARE(desk->last().text.section('\n', 0, 0), message);
        QCOMPARE(FileExists(app->output(), true), none);
        QCOMPARE(window->shownSection(), section);
        QCOMPARE(find<CollapsiblePanel>("qLeadMagnet[1]")->isExpanded(), control == "txtoptinForm");
    }

    void sectionShortcutsAndTabOrder() {
        QTest::mouseClick(find("lblMenu[2]"), Qt::LeftButton);
        QCOMPARE(window->shownSection(), AfterSubscription);
        QVERIFY(!tabWalk(AfterSubscription).isEmpty()); // the others: newFunnelByKeyboardAlone
        // Rows top to bottom, each left to right, as General Info shows them; of the two
        // background options only the chosen one takes Tab (the arrows choose).
        const QStringList general = tabWalk(GeneralInfo);
        const QStringList expected{"txtFunnelUrl",      "lblManual",         "optBackground[0]",
                                   "lblColorPicker[0]", "cmdFileSelect[0]",  "txtFooterNew",
                                   "lblColorPicker[1]", "lblColorPicker[3]", "cboLanguage",
                                   "Label63",           "lstThemes",         "lblHelp[0]"};
        QCOMPARE(general.join(" "), expected.join(" "));
    }

    // Fits a 1280 x 720 screen at its smallest with nothing cut off; larger, the sections and
    // the opt-in box take the room. The warning's place is kept, so no row moves when it goes.
    void resizesAndKeepsRowsStill() {
        QVERIFY(window->minimumWidth() <= 1280 && window->minimumHeight() <= 720 - 60);
        window->resize(window->minimumSize());
        for (int i : {0, 2, 3, 4}) {
            QWidget* section = find(QStringLiteral("frTab[%1]").arg(i));
            QVERIFY2(section->layout()->minimumSize().height() <= section->height(),
                     qPrintable(section->objectName()));
        }
        window->ShowSection(LeadMagnetPage);
        window->Label50_Click(1);
        const int box = find("txtoptinForm")->height();
        window->showLivePreview(false);
        window->resize(1600, 1000);
        QCOMPARE(find("frTab[1]")->width(), 1600 - 60);
        QWidget* status = find("statusLine");
        QCOMPARE(status->mapTo(window.get(), QPoint(0, status->height() - 1)).y(), 1000 - 7);
        QVERIFY(find("txtoptinForm")->height() >= box + 1000 - window->minimumHeight());
        for (const char* below : {"qLeadMagnet[0]", "optAction[0]", "cmdBuildFunnel"}) {
            window->ShowSection(below[0] == 'q' ? 1 : below[0] == 'o' ? 2 : 4);
            QApplication::processEvents();
            const int y = find(below)->mapTo(window.get(), QPoint()).y();
            edit("txtFunnelUrl")->setText("https://example.com/f");
            window->ShowSection(window->shownSection());
            QApplication::processEvents();
            QCOMPARE(find(below)->mapTo(window.get(), QPoint()).y(), y);
            edit("txtFunnelUrl")->clear();
        }
    }

    void enterInALineFieldStartsNothing() {
        for (int i = 0; i < 5; ++i) {
            window->ShowSection(i);
            for (QLineEdit* field : window->findChildren<QLineEdit*>()) {
                if (!field->isVisibleTo(window.get()))
                    continue;
                field->setFocus();
                QTest::keyClick(field, Qt::Key_Return);
            }
        }
        QCOMPARE(desk->shown.size(), 0);
        QVERIFY(!QFileInfo::exists(app->output()));
    }

    // A new user makes, previews and saves a funnel with the keyboard alone.
    void newFunnelByKeyboardAlone() {
        const auto key = [](int code, Qt::KeyboardModifiers with = {}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(code), with);
        };
        const auto tabTo = [&](int section, const QString& name) {
            if (window->shownSection() != section)
                key(Qt::Key_1 + section, Qt::AltModifier);
            for (int i = 0; i < 150 && QApplication::focusWidget()->objectName() != name; ++i)
                key(Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), name);
        };
        const auto keys = [](const QString& text) {
            QTest::keyClicks(QApplication::focusWidget(), text);
        };
        tabTo(BuildSection, "cmdPreview");
        key(Qt::Key_Space);
        QCOMPARE(desk->last().title, QStringLiteral("Missing Info"));
        tabTo(GeneralInfo, "txtFunnelUrl");
        keys("example.com/guide");
        tabTo(LeadMagnetPage, "cmdFileSelect[1]");
        desk->files << app->makePicture("cover.jpg");
        key(Qt::Key_Space);
        tabTo(LeadMagnetPage, "Label50[1]");
        key(Qt::Key_Space);
        tabTo(LeadMagnetPage, "txtoptinForm");
        keys("<form action=\"https://ar.example/s\"><input name=email></form>");
        tabTo(ThankYouPage, "txtFunnel_YouTubeID");
        keys("https://youtu.be/dQw4w9WgXcQ");
        tabTo(BuildSection, "cmdPreview");
        key(Qt::Key_Space);
        QCOMPARE(desk->openedUrls.size(), 1);
        // Signing up in the preview leads to its own thank-you page, that one to its download
        // page; the output is left alone.
        const QString page = desk->openedUrls.first().toLocalFile();
        const QByteArray thanks = window->settings().thankYouPageFile.toUtf8();
        QVERIFY(fileBytes(page).contains("<form action=\"" + thanks + "\" method=\"get\"><input"));
        QVERIFY(fileBytes(QFileInfo(page).dir().filePath(thanks))
                    .contains("go:" + window->settings().downloadPageFile.toUtf8()));
        QVERIFY(find<QLabel>("lblStatus")->text().contains("thank-you page"));
        QVERIFY(!page.startsWith(app->path()) && !QFileInfo::exists(app->output()));
        desk->files << app->path("mine.funnel.json");
        key(Qt::Key_S, Qt::ControlModifier);
        const FunnelSettings saved = loadFunnelFile(app->path("mine.funnel.json")).value();
        QCOMPARE(saved.txtFunnelUrl, QStringLiteral("https://example.com/guide"));
        QCOMPARE(saved.txtFunnel_YouTubeID, QStringLiteral("dQw4w9WgXcQ"));
        // The cover beside the funnel file is kept relative to it, and read back whole.
        QVERIFY(fileBytes(app->path("mine.funnel.json")).contains("\"pictures/cover.jpg\""));
        QCOMPARE(saved.lblSelectedFile[CoverImage].caption, app->path("pictures/cover.jpg"));
        QCOMPARE(desk->shown.size(), 1);
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
    }

    void remindersBlink() {
        QVERIFY(find<QTimer>("tmrReminder")->isActive());
        const auto tick = [this](int i) {
            window->tmrReminder_Timer();
            return !find(QStringLiteral("shreminder[%1]").arg(i))->isHidden();
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
        // The cover and the video blink until each is given.
        QVERIFY(tick(2) != tick(2) && tick(3) != tick(3));
        fillRequired();
        QVERIFY(!tick(2) && !tick(2) && !tick(3) && !tick(3));
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
        QTest::newRow("colour dialog cancelled") << 0 << -2 << false << QList<int>{};
    }

    void applyToOtherFields() {
        QFETCH(int, link);
        QFETCH(int, source);
        QFETCH(bool, yes);
        QFETCH(QList<int>, changed);
        QMap<int, QString> before;
        for (int i : {2, 4, 5})
            before[i] = swatch(i)->tag();
        // Clicked; a negative source: the same swatch, its dialog cancelled.
        desk->colors << (source < 0 ? std::optional<QColor>() : QColor(1, 2, 3));
        QTest::mouseClick(swatch(std::abs(source)), Qt::LeftButton);
        QCOMPARE(window->settings().lblColorPicker[std::abs(source)],
                 swatch(std::abs(source))->tag());
        desk->answers << yes;
        window->lblApply_Click(link);
        QCOMPARE(desk->last().text,
                 QStringLiteral("Apply this color to other fields (Lead Page Only)?"));
        for (int i : {2, 4, 5})
            QCOMPARE(swatch(i)->tag(),
                     i == source || changed.contains(i) ? QStringLiteral("1,2,3") : before[i]);
    }

    void fileChoice() {
        desk->files << "/pics/x.jpg/cover.jpg" << QString() << "/pics/x.jpg";
        window->ShowSection(1);
        QTest::mouseClick(find("cmdFileSelect[1]"), Qt::LeftButton);
        QCOMPARE(chosen(1)->text(), QStringLiteral("/pics/x.jpg/cover.jpg"));
        QCOMPARE(chosen(1)->tag(), QStringLiteral("cover.jpg"));
        QCOMPARE(desk->fileDialogFolders.last(), QDir::homePath());
        QVERIFY(desk->fileDialogFilters.last().first().startsWith("All Pictures (*.jpg"));
        window->cmdFileSelect_Click(0); // cancelled
        QCOMPARE(desk->fileDialogFolders.last(), QStringLiteral("/pics/x.jpg/"));
        QCOMPARE(chosen(0)->tag(), QString());
        QVERIFY(!window->settings().optBackground);
        window->cmdFileSelect_Click(0);
        QVERIFY(window->settings().optBackground); // a chosen background picture is used
        // The name is removed wherever it occurs in the path.
        QCOMPARE(edit("txtLastPath")->text(), QStringLiteral("/pics/"));
    }

    // Addresses typed and left, covers of a size chosen: what is kept, and the note beside them.
    void notedFields_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("note"); // how it starts; empty: none
        const auto row = [](const char* name, const char* field, const QString& typed,
                            const QString& stored, const char* note) {
            QTest::newRow(name) << QString(field) << typed << stored << QString(note);
        };
        const QString offer = "example.com/special-offer", full = "https://" + offer;
        const char* ftp = "\u201cftp://\u201d is not a web address";
        row("Back, no scheme", "txtBackUrl", offer, full, "");
        row("redirect, no scheme", "txtRedirectUrl", offer, full, "");
        row("download link, no scheme", "txtFileDownloadUrl", offer, full, "");
        row("Back, ftp", "txtBackUrl", "ftp://e.com/x", "ftp://e.com/x", ftp);
        row("funnel, ftp", "txtFunnelUrl", "ftp://e.com/g", "ftp://e.com/g", ftp);
        row("funnel, a space", "txtFunnelUrl", "e.com/free guide", "https://e.com/free guide",
            "A web address holds no");
        row("redirect, no host", "txtRedirectUrl", "https://offer", "https://offer",
            "This is not a web address");
        row("redirect, fine", "txtRedirectUrl", full, full, "");
        // Pasted behind a scheme already in the box: the pasted one stays.
        row("funnel, doubled scheme", "txtFunnelUrl", "http://" + full, full, "");
        row("Back, doubled scheme", "txtBackUrl", "https://http://e.com/x", "http://e.com/x", "");
        // A cover of the size typed, chosen with its button.
        row("cover, small", "cmdFileSelect[1]", "40x40", "c.png", "This picture is only 40 px");
        row("cover, a strip", "cmdFileSelect[1]", "400x4000", "c.png", "This picture is 10 times");
        row("cover, a banner", "cmdFileSelect[1]", "3000x600", "c.png", "This picture is 5 times");
        row("cover, fine", "cmdFileSelect[1]", "300x800", "c.png", "");
    }

    void notedFields() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QFETCH(QString, note);
        const QMap<QString, QString FunnelSettings::*> members{
            {"txtBackUrl", &FunnelSettings::backUrl},
            {"txtRedirectUrl", &FunnelSettings::txtRedirectUrl},
            {"txtFileDownloadUrl", &FunnelSettings::txtFileDownloadUrl},
            {"txtFunnelUrl", &FunnelSettings::txtFunnelUrl}};
        QString noted;
        const auto noteOf = [&noted, field](QWidget* in) {
            auto* label = in->findChild<QLabel*>("lblNote_" + field);
            noted = label->isVisibleTo(in) ? label->text() : QString();
        };
        if (field == "txtBackUrl") {
            whenDialogOpens([&](QDialog* d) {
                d->findChild<QCheckBox*>("chkBackControl")->setChecked(true);
                auto* box = d->findChild<QLineEdit*>(field);
                QTest::keyClicks(box, typed);
                QTest::keyClick(box, Qt::Key_Return); // leaves the box, then Accept
                noteOf(d);
            });
            window->cmdPro_Click();
        } else if (field == "cmdFileSelect[1]") {
            const QStringList size = typed.split('x');
            desk->files << app->makePicture(stored, "pictures", {size[0].toInt(), size[1].toInt()});
            window->ShowSection(1);
            QTest::mouseClick(find(field), Qt::LeftButton);
            noted = shown("lblCoverWarning") ? find<QLabel>("lblCoverWarning")->text() : QString();
        } else {
            window->ShowSection(field == "txtFunnelUrl" ? 0 : field == "txtRedirectUrl" ? 2 : 3);
            find<QRadioButton>("optAction[1]")->setChecked(true);
            QCOMPARE(edit(field)->text(), QString()); // no "http://" to type behind
            type(field, typed);
            noteOf(window.get());
        }
        QCOMPARE(members.contains(field) ? window->settings().*members[field] : chosen(1)->tag(),
                 stored);
        QCOMPARE(noted.left(note.size()), note);
        QCOMPARE(noted.isEmpty(), note.isEmpty());
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

    // Before a build there is nothing to report; after it, the pasted tracker is listed.
    void privacyReportListsAPastedTracker() {
        FunnelSettings s = completeSettings(app->makePicture("cover.jpg"));
        s.headCode = QStringLiteral("<script src=\"https://cdn.tracker.example/t.js\"></script>");
        window->setSettings(s);
        window->ShowSection(BuildSection);
        QTest::mouseClick(find("cmdPrivacyReport"), Qt::LeftButton);
        QVERIFY(desk->last().text.contains("build the funnel first"));
        desk->answers << false; // built: not now, the output folder
        QTest::mouseClick(find("cmdBuildFunnel"), Qt::LeftButton);
        QStringList lines;
        whenDialogOpens([&lines](QDialog* d) {
            const auto* list = d->findChild<QListWidget*>("lstPrivacyReport");
            for (int i = 0; i < list->count(); ++i)
                lines << list->item(i)->text();
            d->accept();
        });
        QTest::mouseClick(find("cmdPrivacyReport"), Qt::LeftButton);
        QVERIFY2(lines.filter("index.html: runs a script from cdn.tracker.example (<script src>), "
                              "from the <HEAD> code")
                         .size() == 1,
                 qPrintable(lines.join('\n')));
    }

    void headDialog() {
        QString opened;
        const auto play = [this, &opened](const QString& typed, const char* button) {
            whenDialogOpens([&opened, typed, button](QDialog* d) {
                auto* box = d->findChild<QPlainTextEdit*>("txtHEADCode");
                opened = box->toPlainText();
                box->setPlainText(typed);
                QTest::keyClick(box, Qt::Key_Tab); // moves on; Ctrl+Tab types a tab
                QTest::keyClick(box, Qt::Key_End, Qt::ControlModifier);
                QTest::keyClick(box, Qt::Key_Tab, Qt::ControlModifier);
                QCOMPARE(box->toPlainText(), typed + '\t');
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

    // F1 lands in the manual, at a part that exists, for the section or window in use.
    void helpKeyOpensTheManual() {
        window->showManual();
        QVERIFY(desk->last().text.contains("manual/index.html")); // none in the fixture
        QVERIFY(modCopy::CopyFolder(shippedDataDir() + "/manual", app->path("manual")));
        const auto landed = [this](const char* part) {
            const QUrl page = desk->openedUrls.last();
            QCOMPARE(page.fragment(), QString(part));
            QVERIFY(fileBytes(page.toLocalFile()).contains(QByteArray("id=\"") + part + '"'));
        };
        window->ShowSection(ThankYouPage);
        QTest::keyClick(window.get(), Qt::Key_F1);
        landed("thank-you");
        QTest::mouseClick(find("lblHelp[3]"), Qt::LeftButton);
        landed("thank-you");
        desk->urlsOpen = false; // no browser started
        QTest::keyClick(window.get(), Qt::Key_F1);
        QVERIFY(desk->last().text.contains("could not be opened in the browser"));
        desk->urlsOpen = true;
        whenDialogOpens([](QDialog* d) {
            QTest::keyClick(d, Qt::Key_F1);
            d->reject();
        });
        window->Command4_Click();
        landed("cover-creator");
    }

    // Openers hand the browser a file without its "#part": it gets a page leading on to the
    // whole address. An opener that fails is reported as such.
    void browserGetsTheManualAtItsPart() {
        QTemporaryDir bin;
        const QString log = bin.filePath("opened");
        QFile opener(writeFile(bin.filePath("xdg-open"),
                               "#!/bin/sh\necho \"$1\" > '" + log.toUtf8() + "'\nexit $FAIL\n"));
        QVERIFY(opener.setPermissions(opener.permissions() | QFile::ExeOwner));
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(bin.path()) + ':' + path);
        QUrl manual = QUrl::fromLocalFile(app->path("manual/index.html"));
        manual.setFragment("build");
        QtDesktop real;
        qputenv("FAIL", "0");
        const bool opened = real.openUrl(manual);
        qputenv("FAIL", "3");
        const bool failed = !real.openUrl(manual);
        qputenv("PATH", path);
        QVERIFY(opened && failed);
        QVERIFY(fileBytes(fileBytes(log).trimmed()).contains("url=" + manual.toEncoded() + '"'));
    }

    void freeHostingListAndCreditLink() {
        whenDialogOpens([this](QDialog* d) {
            auto* list = d->findChild<QListWidget*>("List1");
            QCOMPARE(list->selectedItems().size(), 0);
            static_cast<frmFreeWebsites*>(d)->List1_DblClick(); // nothing selected: nothing opens
            list->setCurrentRow(3);
            static_cast<frmFreeWebsites*>(d)->List1_DblClick();
            QCOMPARE(desk->openedUrls, QList<QUrl>{QUrl(frmFreeWebsites::hosts()[3].url)});
            QTest::mouseClick(d->findChild<QPushButton*>("Command1"), Qt::LeftButton);
        });
        window->Label63_Click();
        QTest::mouseClick(find("lblBy"), Qt::LeftButton);
        QCOMPARE(desk->openedUrls.last(), QUrl(frmMass::kProjectWebPage));
    }

    // The versions side by side: C waits for B, the hidden field may not be one of the form's,
    // the tag field is one the form declares, Cancel keeps the test as it was.
    void splitTestVersionsSideBySide() {
        edit("txtFunnel_LeadLine1")->setText("Page line");
        find<QPlainTextEdit>("txtoptinForm")
            ->setPlainText("<form><input type=hidden name=tags><input name=email></form>");
        const QString cover = app->makePicture("b cover.png");
        whenDialogOpens([&](QDialog* d) {
            const auto line = [d](const char* name) { return d->findChild<QLineEdit*>(name); };
            const auto box = [d](const char* name) { return d->findChild<QCheckBox*>(name); };
            const auto accept = [d] {
                QTest::mouseClick(d->findChild<QPushButton*>("Command1"), Qt::LeftButton);
            };
            QVERIFY(d->sizeHint().width() <= 1280 && d->sizeHint().height() <= 720 - 60);
            QCOMPARE(line("txtVersionHeadline[0]")->text(), "Page line");
            QVERIFY(!box("chkVersion[2]")->isEnabled() &&
                    !line("txtVersionHeadline[1]")->isEnabled());
            box("chkVersion[1]")->setChecked(true);
            box("chkVersion[2]")->setChecked(true);
            line("txtVersionHeadline[1]")->setText("B line");
            desk->files << cover;
            QTest::mouseClick(d->findChild<QPushButton*>("cmdVersionCover[1]"), Qt::LeftButton);
            line("txtVersionButton[2]")->setText("Go C");
            auto* tag = d->findChild<QComboBox*>("cboVersionTag");
            QCOMPARE(tag->count(), 3); // none, tags, email
            tag->setCurrentIndex(tag->findData("tags"));
            line("txtVersionField")->setText("email");
            accept();
            QVERIFY(d->isVisible() && desk->last().text.contains("already has a field named"));
            line("txtVersionField")->setText("variant");
            accept();
        });
        window->cmdSplitTest_Click();
        const SplitTest expected{
            {}, {{"B line", {cover, "b cover.png"}, {}}, {{}, {}, "Go C"}}, "variant", "tags"};
        QVERIFY(window->settings().splitTest == expected);
        whenDialogOpens([](QDialog* d) {
            d->findChild<QCheckBox*>("chkVersion[1]")->setChecked(false);
            QVERIFY(!d->findChild<QCheckBox*>("chkVersion[2]")->isChecked());
            QTest::mouseClick(d->findChild<QPushButton*>("Command2"), Qt::LeftButton);
        });
        window->cmdSplitTest_Click();
        QVERIFY(window->settings().splitTest == expected);
        // B's cover moves with the funnel file, as A's does.
        desk->files << app->path("split.funnel.json");
        window->cmdSaveFunnel_Click();
        QVERIFY(fileBytes(app->path("split.funnel.json")).contains("\"pictures/b cover.png\""));
    }

    void buildFromTheWindow() {
        window->cmdOpenOutput_Click();
        QVERIFY(desk->last().text.contains("does not exist yet"));
        fillRequired();
        whenDialogOpens([](QDialog* d) {
            d->findChild<QPlainTextEdit*>("txtRetargeting")->setPlainText("<img src=\"px.gif\">");
            d->findChild<QCheckBox*>("chkBackControl")->setChecked(true);
            d->findChild<QLineEdit*>("txtBackUrl")->setText("http://back.example/");
            QTest::mouseClick(d->findChild<QPushButton*>("Command1"), Qt::LeftButton);
        });
        window->cmdPro_Click();
        desk->answers << true << false;
        window->cmdBuildFunnel_Click();
        QCOMPARE(desk->last().text, "Process complete. Do you want to open the output folder?\n\n" +
                                        app->output() +
                                        "\n\nOn a phone 360 px wide the opt-in page loads 1 KB.");
        QCOMPARE(desk->openedFolders, QList<QString>{app->output() + "/"});
        QVERIFY(find<QLabel>("lblStatus")->text().startsWith("Built " + app->output()));
        const QByteArray index = fileBytes(app->output("index.html"));
        QVERIFY(index.contains("retargeting:<img src=\"px.gif\">"));
        QVERIFY(index.contains("back:<script>back('http://back.example/')</script>"));
        // The texts still holding the window's samples are named until each is changed.
        auto* samples = find<QLabel>("lblSampleTexts");
        QVERIFY(!samples->isHidden() && samples->text().contains(": Headline, Instructions,"));
        edit("txtFunnel_LeadLine1")->setText("Mine");
        QVERIFY(samples->text().contains(": Instructions, Privacy Policy, Website Footer"));
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
        window->setSettings(everyValueChanged());
        QVERIFY(samples->isHidden());
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
            QVERIFY2(QString::fromUtf8(fileBytes(out + page)).contains(footer), qPrintable(page));
        QVERIFY(QFileInfo::exists(out + QStringLiteral("bild-8.webp")));
        window.reset(); // before its folder goes
    }

    // Each funnel keeps the cover made for it beside its file, under its own name; Save As
    // takes a copy and the funnel it came from keeps its own. Reopened, each shows and builds it.
    // Funnels saved when all covers were one temp_cover.jpg open as they did; a save copies it.
    void everyFunnelKeepsItsCover() {
        for (const char* picture : {"a.jpg", "b.jpg"})
            app->makePicture(picture, "imgspro", QSize(400, 450));
        fillRequired();
        const auto makeCover = [this](int picture) {
            whenDialogOpens([picture](QDialog* d) {
                d->findChild<QListWidget*>("FileCovers")->setCurrentRow(picture);
                QVERIFY(QMetaObject::invokeMethod(d, "Command1_Click"));
            });
            window->Command4_Click();
            return fileBytes(chosen(1)->text());
        };
        const auto use = [this](const QString& path, void (frmMass::*command)()) {
            desk->files << path;
            (window.get()->*command)();
        };
        const auto save = &frmMass::cmdSaveFunnelAs_Click, open = &frmMass::cmdOpenFunnel_Click;
        const QString a = app->path(QStringLiteral("Plan für Mai.funnel.json"));
        const QString b = app->path("b.funnel.json"), c = app->path("c.funnel.json");
        const QByteArray coverA = makeCover(0);
        QVERIFY(chosen(1)->text().startsWith(app->path("recovery-cover/"))); // until saved
        use(a, save);
        const QByteArray coverB = makeCover(1);
        QVERIFY(coverA != coverB && QDir().mkpath(app->path("b-cover.jpg")));
        use(b, save); // the cover cannot be written: neither is saved
        QVERIFY(desk->last().title == "Error" && desk->last().text.contains("b-cover.jpg"));
        QVERIFY(!QFileInfo::exists(b) && window->isWindowModified());
        QVERIFY(QDir(app->path("b-cover.jpg")).removeRecursively());
        use(b, save);
        use(c, save);
        QVERIFY(!QFileInfo::exists(app->path("recovery-cover")));
        for (const auto& [file, cover] : {std::pair{a, coverA}, {b, coverB}, {c, coverB}}) {
            use(file, open);
            const QString name = coverNameFor(file);
            QCOMPARE(QUrl::toPercentEncoding(name), name.toUtf8()); // as the pages name it
            QCOMPARE(fileBytes(chosen(1)->text()), cover);
            QVERIFY(fileBytes(file).contains("\"coverImage\": \"" + name.toUtf8() + '"'));
            desk->answers << false;
            window->cmdBuildFunnel_Click();
            // Published under its own name, so the funnels never share one.
            const QByteArray stem = QFileInfo(name).completeBaseName().toLower().toUtf8();
            QVERIFY(fileBytes(app->output("index.html")).contains("cover:" + stem + '-'));
        }
        QVERIFY(QFile::remove(coverFileFor(c)));
        use(c, open);
        QVERIFY(find<QLabel>("lblStatus")->text().contains(coverFileFor(c) + "\" is missing"));

        const QString shared = app->path(kSharedCoverName), old = app->path("old.funnel.json");
        FixtureApp::writePicture(shared);
        QVERIFY(saveFunnelFile(old, completeSettings(shared)));
        use(old, open);
        QCOMPARE(chosen(1)->tag(), QString(kSharedCoverName));
        use(old, save);
        QCOMPARE(loadFunnelFile(old)->lblSelectedFile[CoverImage].caption,
                 app->path("old-cover.jpg"));
        QCOMPARE(fileBytes(app->path("old-cover.jpg")), fileBytes(shared));
    }

    void failuresAreReportedNotSuccess() {
        fillRequired();
        QFile::remove(app->path("templates/download.html"));
        const auto failed = [this](qsizetype shown, const char* named) {
            QCOMPARE(desk->shown.size(), shown);
            QVERIFY(desk->last().title == "Error" && desk->last().text.contains(named));
        };
        window->cmdBuildFunnel_Click();
        failed(1, "download.html");
        QVERIFY(find<QLabel>("lblStatus")->text().startsWith("Not built: "));
        desk->files << app->path("no/such/folder/x.funnel.json");
        window->cmdSaveFunnel_Click();
        failed(2, "x.funnel.json");
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
