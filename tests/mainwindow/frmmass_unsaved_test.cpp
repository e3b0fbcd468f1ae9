#include "funnelfile.h"
#include "windowfixture.h"

#include <QJsonDocument>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>

using namespace tandrel;
using namespace tandrel::test;

// Edits that must not be lost, and pasted values the window makes sense of.
class frmMassUnsavedTest : public QObject, WindowFixture {
    Q_OBJECT

private slots:
    void init() { openFixture(); }
    void cleanup() { closeFixture(); }

    void everyValueGoesThroughTheTable() {
        FunnelSettings s = completeSettings();
        s.optBackground = 1;
        s.lblColorPicker = {"1,1,1", "2,2,2", "3,3,3", "4,4,4", "5,5,5", "6,6,6"};
        s.lblSelectedFile[BackgroundImage] = {"/p/b.png", "b.png"};
        s.lblSelectedFile[DeliveryFile] = {"/p/d.zip", "d.zip"};
        s.language = "de";
        s.cboCols = 0;
        s.chkProgressBar = 0;
        s.chkAutoplay = 0;
        s.optAction = 1;
        for (QString* text : {&s.txtFooterNew, &s.txtFunnel_LeadLine1, &s.txtFunnel_Instructions,
                              &s.txtFunnel_Privacy, &s.txtRedirectUrl, &s.txtBeforeRedirectMsg1,
                              &s.txtBeforeRedirectMsg2, &s.txtThanks, &s.txtDownloadText,
                              &s.txtFileDownloadUrl, &s.headCode, &s.retargetingCode, &s.backUrl})
            *text = QStringLiteral("x ") + QString::number(quintptr(text) % 97);
        s.backControl = true;
        s.publishTo = "sftp://ann@host/f";
        QVERIFY(!window->hasUnsavedChanges());
        window->setSettings(s);
        QVERIFY(window->settings() == s);
        QVERIFY(window->hasUnsavedChanges() && window->isWindowModified());
        window->setSettings(FunnelSettings{});
        QVERIFY(!window->hasUnsavedChanges()); // back to what it started from
    }

    void unsavedQuestion_data() {
        QTest::addColumn<bool>("onClose");
        QTest::addColumn<SaveChoice>("choice");
        for (bool onClose : {false, true}) {
            const char* action = onClose ? "close" : "open";
            QTest::addRow("%s, save", action) << onClose << SaveChoice::Save;
            QTest::addRow("%s, discard", action) << onClose << SaveChoice::Discard;
            QTest::addRow("%s, cancel", action) << onClose << SaveChoice::Cancel;
        }
    }

    void unsavedQuestion() {
        QFETCH(bool, onClose);
        QFETCH(SaveChoice, choice);
        const QString other = app->path("other.funnel.json");
        QVERIFY(saveFunnelFile(other, completeSettings()));
        const QString saved = app->path("mine.funnel.json");

        // Nothing to lose: no question.
        desk->files << other;
        window->cmdOpenFunnel_Click();
        QCOMPARE(desk->shown.size(), 0);
        QVERIFY(window->windowTitle().contains("other.funnel.json"));
        QVERIFY(!window->isWindowModified());

        type("txtFooterNew", "Mine");
        QVERIFY(window->isWindowModified());
        desk->saveChoices << choice;
        if (choice == SaveChoice::Save)
            desk->files << saved;
        if (!onClose && choice != SaveChoice::Cancel)
            desk->files << other;
        const bool closed = onClose ? window->close() : false;
        if (!onClose)
            window->cmdOpenFunnel_Click();
        QCOMPARE(desk->shown.first().text, QStringLiteral("Save changes to other.funnel.json?"));
        QVERIFY(desk->files.isEmpty());
        QCOMPARE(closed, onClose && choice != SaveChoice::Cancel);
        QCOMPARE(QFileInfo::exists(saved), choice == SaveChoice::Save);
        if (choice == SaveChoice::Save)
            QCOMPARE(loadFunnelFile(saved).value().txtFooterNew, QStringLiteral("Mine"));
        const bool kept = choice == SaveChoice::Cancel || onClose;
        QCOMPARE(edit("txtFooterNew")->text(),
                 kept ? QStringLiteral("Mine") : completeSettings().txtFooterNew);
        QCOMPARE(window->isWindowModified(),
                 choice == SaveChoice::Cancel || (onClose && choice == SaveChoice::Discard));
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

    void pastedValues_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("becomes");
        QTest::addColumn<bool>("warned");
        const QString video = "txtFunnel_YouTubeID";
        QTest::newRow("bare id") << video << "dQw4w9WgXcQ"
                                 << "dQw4w9WgXcQ" << false;
        QTest::newRow("watch page with parameters")
            << video << "https://www.youtube.com/watch?feature=share&v=dQw4w9WgXcQ&t=42s"
            << "dQw4w9WgXcQ" << false;
        QTest::newRow("embed, no scheme") << video << "www.youtube-nocookie.com/embed/dQw4w9WgXcQ"
                                          << "dQw4w9WgXcQ" << false;
        QTest::newRow("shorts") << video << "https://m.youtube.com/shorts/abcDEF12345"
                                << "abcDEF12345" << false;
        QTest::newRow("another site") << video << "https://vimeo.com/76979871"
                                      << "https://vimeo.com/76979871" << true;
        QTest::newRow("watch page without id") << video << "https://www.youtube.com/watch?list=x"
                                               << "https://www.youtube.com/watch?list=x" << true;
        QTest::newRow("words") << video << "my video"
                               << "my video" << true;
        const QString url = "txtFunnelUrl";
        QTest::newRow("address with scheme") << url << "http://example.com/guide"
                                             << "http://example.com/guide" << false;
    }

    void pastedValues() {
        QFETCH(QString, field);
        QFETCH(QString, pasted);
        QFETCH(QString, becomes);
        QFETCH(bool, warned);
        window->ShowSection(field == "txtFunnelUrl" ? GeneralInfo : ThankYouPage);
        type(field, pasted);
        QCOMPARE(edit(field)->text(), becomes);
        QCOMPARE(find("lblVideoWarning")->isVisibleTo(window.get()), warned);
        QCOMPARE(desk->shown.size(), 0);
        if (field == "txtFunnelUrl")
            QVERIFY(edit("txtCapture_Url")->text().startsWith(becomes + "/thanks"));
    }

    void pageAddressNoticeAndUndo() {
        // While the address is missing the boxes say so.
        QCOMPARE(edit("txtCapture_Url")->text(), QString());
        QVERIFY(edit("txtCapture_Url")->placeholderText().startsWith("Missing"));
        // A new funnel's first address draws numbers without a notice.
        type("txtFunnelUrl", "https://a.example/f");
        QVERIFY(!find("lblAddressNotice")->isVisibleTo(window.get()));

        window->setSettings(completeSettings()); // as a saved funnel opens
        const QString path = app->path("f.funnel.json");
        desk->files << path;
        window->cmdSaveFunnel_Click();
        const QString known = edit("txtCapture_Url")->text();
        type("txtFunnelUrl", "https://b.example/f");
        const FunnelSettings moved = window->settings();
        if (moved.thankYouPageNumber == 57 && moved.downloadPageNumber == 12)
            QSKIP("the draw gave the same numbers");
        QVERIFY(find("lblAddressNotice")->isVisibleTo(window.get()));
        QTest::mouseClick(find("cmdRestoreAddresses"), Qt::LeftButton);
        const FunnelSettings restored = window->settings();
        QCOMPARE(restored.thankYouPageNumber, 57);
        QCOMPARE(restored.downloadPageNumber, 12);
        QCOMPARE(edit("txtCapture_Url")->text(),
                 QStringLiteral("https://b.example/f/thanks57.html"));
        QCOMPARE(restored.downloadPageFile, QStringLiteral("download12.html"));
        QVERIFY(known != edit("txtCapture_Url")->text());
        QVERIFY(!find("lblAddressNotice")->isVisibleTo(window.get()));
    }
};

TANDREL_TEST(frmMassUnsavedTest)
#include "frmmass_unsaved_test.moc"
