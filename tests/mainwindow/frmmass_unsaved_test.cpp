#include "funnelfile.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>

using namespace tandrel;
using namespace tandrel::test;

// Edits that must not be lost, and pasted values the window makes sense of.
class frmMassUnsavedTest : public QObject, WindowFixture {
    Q_OBJECT

private slots:
    void init() { openFixture(); }
    void cleanup() { closeFixture(); }

    void everyValueGoesThroughTheTable() {
        const FunnelSettings s = everyValueChanged();
        QVERIFY(!window->hasUnsavedChanges());
        window->setSettings(s);
        QCOMPARE(firstDifferentField(window->settings(), s), QString());
        QVERIFY(window->settings() == s);
        QVERIFY(window->hasUnsavedChanges() && window->isWindowModified());
        window->setSettings(FunnelSettings{});
        QVERIFY(!window->hasUnsavedChanges()); // back to what it started from
    }

    // A failure to keep the edits is read whole and stays until dismissed.
    void recoveryWarningStaysUntilDismissed() {
        find<QTimer>("tmrRecovery")->setInterval(0);
        type("txtFooterNew", "a");
        QTRY_VERIFY(QFileInfo::exists(window->recoveryFile()));
        QVERIFY(QFile::remove(window->recoveryFile()) && QDir().mkpath(window->recoveryFile()));
        type("txtFooterNew", "b");
        auto* status = find<QLabel>("lblStatus");
        QTRY_VERIFY(status->text().startsWith("Unsaved changes could not be kept for a crash"));
        QVERIFY(status->text().contains("recovery.funnel.json"));
        QVERIFY(status->heightForWidth(status->width()) <= status->height());
        desk->files << app->path("mine.funnel.json");
        window->cmdSaveFunnel_Click(); // its news does not push the warning away
        QVERIFY(status->text().startsWith("Unsaved changes"));
        QTest::mouseClick(find("cmdDismissStatus"), Qt::LeftButton);
        QVERIFY(status->text().isEmpty() && !shown("cmdDismissStatus"));
    }

    void unsavedQuestion_data() {
        QTest::addColumn<bool>("onClose");
        QTest::addColumn<SaveChoice>("choice");
        static const char* const names[] = {"save", "discard", "cancel"};
        for (bool onClose : {false, true})
            for (SaveChoice choice : {SaveChoice::Save, SaveChoice::Discard, SaveChoice::Cancel})
                QTest::addRow("%s, %s", onClose ? "close" : "open", names[int(choice)])
                    << onClose << choice;
    }

    void unsavedQuestion() {
        QFETCH(bool, onClose);
        QFETCH(SaveChoice, choice);
        const QString other = app->path("other.funnel.json");
        QVERIFY(saveFunnelFile(other, completeSettings()));

        // Nothing to lose: no question.
        desk->files << other;
        QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(desk->shown.size(), 0);
        QVERIFY(window->windowTitle().contains("other.funnel.json"));
        QVERIFY(!window->isWindowModified());

        find<QTimer>("tmrRecovery")->setInterval(0);
        type("txtFooterNew", "Mine");
        QVERIFY(window->isWindowModified());
        QTRY_VERIFY(QFileInfo::exists(window->recoveryFile()));
        desk->saveChoices << choice; // Save: in place, no name asked
        if (!onClose && choice != SaveChoice::Cancel)
            desk->files << other;
        const bool closed = onClose ? window->close() : false;
        if (!onClose)
            window->cmdOpenFunnel_Click();
        QCOMPARE(desk->shown.first().text, QStringLiteral("Save changes to other.funnel.json?"));
        QVERIFY(desk->files.isEmpty());
        QCOMPARE(closed, onClose && choice != SaveChoice::Cancel);
        const bool saved = choice == SaveChoice::Save;
        QCOMPARE(loadFunnelFile(other).value().txtFooterNew == "Mine", saved);
        const bool kept = choice == SaveChoice::Cancel || onClose || saved;
        QCOMPARE(edit("txtFooterNew")->text(),
                 kept ? QStringLiteral("Mine") : completeSettings().txtFooterNew);
        QCOMPARE(window->isWindowModified(),
                 choice == SaveChoice::Cancel || (onClose && choice == SaveChoice::Discard));
        // Whatever ends the question's changes ends their recovery file too.
        QCOMPARE(QFileInfo::exists(window->recoveryFile()), choice == SaveChoice::Cancel);
    }

    // A funnel with a file saves in place, with no name asked (Save As asks). Another window
    // saved the same file meanwhile: replacing it is asked first, and a No keeps the other
    // window's save. The window's own open or save is no change.
    void fileChangedOnDiskIsAskedAbout() {
        const QString path = app->path("mine.funnel.json");
        QVERIFY(saveFunnelFile(path, completeSettings()));
        desk->files << path;
        window->cmdOpenFunnel_Click();
        type("txtFooterNew", "Mine");
        QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
        QVERIFY(saveFunnelFile(path, everyValueChanged()));
        desk->answers << false << true;
        window->cmdSaveFunnel_Click();
        QCOMPARE(loadFunnelFile(path).value().txtFooterNew, everyValueChanged().txtFooterNew);
        window->cmdSaveFunnel_Click();
        window->cmdSaveFunnel_Click();
        QCOMPARE(loadFunnelFile(path).value().txtFooterNew, QStringLiteral("Mine"));
        QCOMPARE(desk->shown.size(), 2);
        QVERIFY(desk->shown[0].text.startsWith("mine.funnel.json was changed on disk"));
        QCOMPARE(desk->fileDialogFolders.size(), 1); // the open
        desk->files << app->path("copy.funnel.json");
        QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(desk->fileDialogFolders.last(), path);
        QVERIFY(window->windowTitle().contains("copy.funnel.json"));
    }

    // Windows that end without warning leave their edits for the next start, which never
    // offers the file of a window still running. The first window is a separate process.
    void recoveredAfterKill() {
        if (qEnvironmentVariableIsSet("TANDREL_RECOVERY_CHILD"))
            QSKIP("run as the child");
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TANDREL_TEST_CLASS", "frmMassUnsavedTest");
        env.insert("TANDREL_RECOVERY_CHILD", app->path());
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {"childEditsAndWaits"});
        QVERIFY(child.waitForStarted());
        const QString childFile = app->path("recovery.funnel.json");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(childFile), 20000);
        // A second window while the first runs: nothing to offer, a file of its own.
        QVERIFY(!window->offerRecovery());
        type("txtFooterNew", "Second window");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(window->recoveryFile()), 10000);
        QVERIFY(window->recoveryFile() != childFile);
        child.kill();
        QVERIFY(child.waitForFinished());
        QVERIFY(QJsonDocument::fromJson(fileBytes(childFile)).isObject());

        const auto second = std::move(window);
        desk->answers << true;
        openWindow();
        QVERIFY(window->offerRecovery());
        QCOMPARE(desk->shown.size(), 1);
        QCOMPARE(edit("txtThanks")->text(), QStringLiteral("Typed before the crash"));
        QVERIFY(window->isWindowModified());
        // A discard on closing ends the offer; the running window keeps its file.
        desk->saveChoices << SaveChoice::Discard;
        QVERIFY(window->close());
        QVERIFY(!QFileInfo::exists(childFile));
        QVERIFY(QFileInfo::exists(second->recoveryFile()));
        openWindow();
        QVERIFY(!window->offerRecovery());
    }

    // Closing asks about the spinner's edits before its own; a Cancel anywhere keeps
    // every window open.
    void closeAsksAboutTheSpinnerFirst_data() {
        QTest::addColumn<bool>("letSpinnerGo");
        QTest::addColumn<SaveChoice>("choice");
        QTest::newRow("spinner kept") << false << SaveChoice::Discard;
        QTest::newRow("window cancelled") << true << SaveChoice::Cancel;
        QTest::newRow("both let go") << true << SaveChoice::Discard;
    }
    void closeAsksAboutTheSpinnerFirst() {
        QFETCH(bool, letSpinnerGo);
        QFETCH(SaveChoice, choice);
        type("txtThanks", "Unsaved");
        window->cmdSpinner_Click();
        const QPointer<QWidget> spinner = find("frmQuickSpinner");
        controlIn<QPlainTextEdit>(spinner, "txtArticle")->setPlainText("Unsaved too");
        desk->answers << letSpinnerGo;
        desk->saveChoices << choice;
        const bool closes = letSpinnerGo && choice == SaveChoice::Discard;
        QCOMPARE(window->close(), closes);
        QCOMPARE(desk->shown.size(), letSpinnerGo ? 2 : 1);
        QVERIFY(desk->shown.first().text.contains("Discard them?"));
        QCOMPARE(spinner && spinner->isVisible(), !closes);
        if (!closes)
            desk->saveChoices.clear(); // the one left when the spinner was kept
    }

    void childEditsAndWaits() {
        const QString folder = qEnvironmentVariable("TANDREL_RECOVERY_CHILD");
        if (folder.isEmpty())
            QSKIP("only as the child of recoveredAfterKill");
        openWindow(folder);
        window->ShowSection(ThankYouPage);
        type("txtThanks", "Typed before the crash");
        QTest::qWait(120000); // the parent kills this process
    }

    // A video page address becomes its id (the addresses: PasteCheckTest); what reads as
    // no video is kept and flagged.
    void pastedVideo() {
        window->ShowSection(ThankYouPage);
        type("txtFunnel_YouTubeID", "https://www.youtube.com/watch?feature=share&v=dQw4w9WgXcQ");
        QCOMPARE(edit("txtFunnel_YouTubeID")->text(), QStringLiteral("dQw4w9WgXcQ"));
        QVERIFY(!shown("lblVideoWarning"));
        type("txtFunnel_YouTubeID", "https://vimeo.com/76979871");
        QCOMPARE(edit("txtFunnel_YouTubeID")->text(), QStringLiteral("https://vimeo.com/76979871"));
        QVERIFY(shown("lblVideoWarning"));
        QCOMPARE(desk->shown.size(), 0);
    }

    // Edited one value at a time, a bad name pointed out where typed, saved with the funnel.
    void campaignMappingSavedWithTheFunnel() {
        window->ShowSection(LeadMagnetPage);
        QTest::mouseClick(find("Label50[1]"), Qt::LeftButton);
        find<QComboBox>("cboCampaignValue")->setCurrentText("utm_campaign");
        type("txtCampaignField", "fields[campaign]");
        find<QComboBox>("cboCampaignValue")->setCurrentText("utm_source");
        type("txtCampaignField", "my source");
        QVERIFY(shown("lblNote_txtCampaignField"));
        edit("txtCampaignField")->clear();
        desk->files << app->path("mine.funnel.json");
        window->cmdSaveFunnel_Click();
        QCOMPARE(loadFunnelFile(app->path("mine.funnel.json")).value().campaignFields,
                 QJsonObject({{"utm_campaign", "fields[campaign]"}}));
    }

    void pageAddressNoticeAndUndo() {
        // While the address is missing the boxes say so.
        QCOMPARE(edit("txtCapture_Url")->text(), QString());
        QVERIFY(edit("txtCapture_Url")->placeholderText().startsWith("Missing"));
        // A new funnel's first address draws numbers without a notice.
        type("txtFunnelUrl", "https://a.example/f");
        QVERIFY(!find("lblAddressNotice")->isVisibleTo(window.get()));

        window->setSettings(completeSettings()); // as a saved funnel opens
        desk->files << app->path("f.funnel.json");
        window->cmdSaveFunnel_Click();
        const QString known = edit("txtCapture_Url")->text();
        type("txtFunnelUrl", "https://b.example/f");
        const FunnelSettings moved = window->settings();
        if (moved.thankYouPageNumber == 57 && moved.downloadPageNumber == 12)
            QSKIP("the draw gave the same numbers");
        QVERIFY(find("lblAddressNotice")->isVisibleTo(window.get()));
        QTest::mouseClick(find("cmdRestoreAddresses"), Qt::LeftButton);
        const FunnelSettings restored = window->settings();
        QCOMPARE(std::pair(restored.thankYouPageNumber, restored.downloadPageNumber),
                 std::pair(57, 12));
        QCOMPARE(edit("txtCapture_Url")->text(),
                 QStringLiteral("https://b.example/f/thanks57.html"));
        QCOMPARE(restored.downloadPageFile, QStringLiteral("download12.html"));
        QVERIFY(known != edit("txtCapture_Url")->text());
        QVERIFY(!find("lblAddressNotice")->isVisibleTo(window.get()));
    }
};

TANDREL_TEST(frmMassUnsavedTest)
#include "frmmass_unsaved_test.moc"
