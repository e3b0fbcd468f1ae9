#include "frmmass.h"
#include "funnelfile.h"
#include "funnelfixtures.h"
#include "scripteddesktop.h"

#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include <memory>

using namespace tandrel;
using namespace tandrel::test;

// Edits that must not be lost, and pasted values the window makes sense of.
class frmMassUnsavedTest : public QObject {
    Q_OBJECT

    std::unique_ptr<FixtureApp> app;
    std::unique_ptr<ScriptedDesktop> desk;
    std::unique_ptr<frmMass> window;

    template <typename T = QWidget> T* find(const QString& name) {
        return test::controlIn<T>(window.get(), name);
    }
    QLineEdit* edit(const QString& name) { return find<QLineEdit>(name); }
    void openWindow() {
        window = std::make_unique<frmMass>(AppPaths(app->path()));
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    // Typed, then left with Tab as a user does.
    void type(QLineEdit* field, const QString& text) {
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Tab);
    }

private slots:
    void init() {
        app = std::make_unique<FixtureApp>();
        desk = std::make_unique<ScriptedDesktop>();
        openWindow();
    }
    void cleanup() {
        QCOMPARE(desk->unexpected, 0);
        window.reset();
        desk.reset();
        app.reset();
    }

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

        type(edit("txtFooterNew"), "Mine");
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

    // A separate process, killed without warning, leaves its edit for the next start.
    void recoveredAfterKill() {
        if (qEnvironmentVariableIsSet("TANDREL_RECOVERY_CHILD"))
            QSKIP("run as the child");
        window.reset();
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TANDREL_TEST_CLASS", "frmMassUnsavedTest");
        env.insert("TANDREL_RECOVERY_CHILD", app->path());
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {"childEditsAndWaits"});
        QVERIFY(child.waitForStarted());
        const QString recovery = frmMass(AppPaths(app->path())).recoveryFile();
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(recovery), 20000);
        child.kill();
        QVERIFY(child.waitForFinished());
        QVERIFY(QJsonDocument::fromJson(readBytes(recovery)).isObject());

        desk->answers << true;
        openWindow();
        QVERIFY(window->offerRecovery());
        QCOMPARE(edit("txtThanks")->text(), QStringLiteral("Typed before the crash"));
        QVERIFY(window->isWindowModified());
        // A discard on closing ends the offer.
        desk->saveChoices << SaveChoice::Discard;
        QVERIFY(window->close());
        QVERIFY(!QFileInfo::exists(recovery));
        openWindow();
        QVERIFY(!window->offerRecovery());
    }

    void childEditsAndWaits() {
        const QString folder = qEnvironmentVariable("TANDREL_RECOVERY_CHILD");
        if (folder.isEmpty())
            QSKIP("only as the child of recoveredAfterKill");
        window = std::make_unique<frmMass>(AppPaths(folder));
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        window->ShowSection(ThankYouPage);
        type(edit("txtThanks"), "Typed before the crash");
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
        QTest::newRow("short link") << video << "https://youtu.be/dQw4w9WgXcQ?si=abc"
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
        QTest::newRow("address without scheme") << url << "example.com/guide"
                                                << "https://example.com/guide" << false;
        QTest::newRow("address with scheme") << url << "http://example.com/guide"
                                             << "http://example.com/guide" << false;
    }

    void pastedValues() {
        QFETCH(QString, field);
        QFETCH(QString, pasted);
        QFETCH(QString, becomes);
        QFETCH(bool, warned);
        window->ShowSection(field == "txtFunnelUrl" ? GeneralInfo : ThankYouPage);
        type(edit(field), pasted);
        QCOMPARE(edit(field)->text(), becomes);
        QCOMPARE(find("lblVideoWarning")->isVisibleTo(window.get()), warned);
        QCOMPARE(desk->shown.size(), 0);
        if (field == "txtFunnelUrl")
            QVERIFY(edit("txtCapture_Url")->text().startsWith(becomes + "/thanks"));
    }

    void previewLeavesTheOutputAlone() {
        QTest::mouseClick(find("cmdPreview"), Qt::LeftButton);
        QCOMPARE(desk->last().title, QStringLiteral("Missing Info"));
        QVERIFY(desk->openedUrls.isEmpty());
        window->setSettings(completeSettings(app->makePicture("cover.jpg")));
        QTest::mouseClick(find("cmdPreview"), Qt::LeftButton);
        QCOMPARE(desk->openedUrls.size(), 1);
        const QString page = desk->openedUrls.first().toLocalFile();
        QVERIFY(readBytes(page).contains("form:<form>F</form>"));
        QVERIFY(QFileInfo::exists(QFileInfo(page).dir().filePath("thanks57.html")));
        QVERIFY(!page.startsWith(app->path()));
        QVERIFY(!QFileInfo::exists(app->output()));
    }

    void pageAddressNoticeAndUndo() {
        // While the address is missing the boxes say so.
        QCOMPARE(edit("txtCapture_Url")->text(), QString());
        QVERIFY(edit("txtCapture_Url")->placeholderText().startsWith("Missing"));
        // A new funnel's first address draws numbers without a notice.
        type(edit("txtFunnelUrl"), "https://a.example/f");
        QVERIFY(!find("lblAddressNotice")->isVisibleTo(window.get()));

        window->setSettings(completeSettings()); // as a saved funnel opens
        const QString path = app->path("f.funnel.json");
        desk->files << path;
        window->cmdSaveFunnel_Click();
        const QString known = edit("txtCapture_Url")->text();
        type(edit("txtFunnelUrl"), "https://b.example/f");
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
