#include "funnelfile.h"
#include "myfunnels.h"
#include "publishpanel.h"
#include "servers.h"
#include "windowfixture.h"

#include <QTableWidget>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocumentFragment>

using namespace tandrel;
using namespace tandrel::test;

// The Publish group of the main window, against the same real servers.
class frmMassPublishTest : public QObject, WindowFixture {
    Q_OBJECT

    QTemporaryDir home;
    SftpServer sftp; // and git over SSH to a bare repository in home
    FtpServer ftp;
    S3Server s3;
    QString shownResult() { return find<QLabel>("lblPublishResult")->text(); }
    QString result() { return QTextDocumentFragment::fromHtml(shownResult()).toPlainText(); }

    void build() {
        desk->answers << false; // not now: the output folder
        find<QPushButton>("cmdBuildFunnel")->click();
    }
    // Clicks the button and waits for the job it starts; only a publish offers Cancel.
    void runJob(const QString& button) {
        QSignalSpy ended(window->findChild<PublishPanel*>(), &PublishPanel::finished);
        find<QPushButton>(button)->click();
        QCOMPARE(find("cmdCancelPublish")->isVisible(), button != "cmdTestConnection");
        QVERIFY(!find("cmdPublish")->isEnabled());
        QVERIFY(ended.wait(60000));
        QVERIFY(find("cmdPublish")->isEnabled());
    }

private slots:
    void initTestCase() {
        qputenv("HOME", QFile::encodeName(home.path()));
        QVERIFY2(sftp.start() && ftp.start(), qPrintable(missingServerPrograms()));
        qputenv("TANDREL_CA_FILE", QFile::encodeName(ftp.certificate()));
        QVERIFY2(s3.start(), "radosgw did not start; see its logs above");
        qputenv("GIT_CONFIG_NOSYSTEM", "1");
        QVERIFY(run("git", {"init", "-q", "--bare", "-b", "main", home.filePath("repo.git")}));
    }
    void init() {
        for (const QString& root : {sftp.root(), ftp.site()})
            QDir(root).removeRecursively();
        QDir().mkpath(sftp.root());
        openFixture();
        window->ShowSection(BuildSection);
        window->setSettings(completeSettings(app->makePicture("cover.jpg")));
    }
    void cleanup() { closeFixture(); }

    void publishesOverSftpAfterTheUserTrustsTheServer() {
        build();
        desk->answers << true; // the unknown host key
        edit("txtPublishTo")->setText(sftp.url());
        edit("txtPublishKey")->setText(sftp.clientKey());
        runJob("cmdTestConnection");
        QVERIFY2(result().startsWith("Connected to "), qPrintable(result()));
        desk->answers << false; // the list of changes: not now
        runJob("cmdPublish");
        QVERIFY2(result().contains("nothing was sent") && filesIn(sftp.root()).isEmpty(),
                 qPrintable(result()));
        QVERIFY(desk->last().text.contains("\nadd index.html ("));
        desk->answers << true;
        desk->files << app->path() + "/live.funnel.json";
        window->cmdSaveFunnel_Click();
        runJob("cmdPublish");
        QVERIFY2(result().startsWith("Published: 3 pages and "), qPrintable(result()));
        // The list of funnels has when it went live.
        QVERIFY(FunnelList(app->path() + "/tandrel.ini").entries().value(0).published.isValid());
        // The live pages as links; the thank-you address goes to the autoresponder.
        const QString thanks = window->settings().txtCapture_Url;
        QVERIFY(shownResult().contains("<a href=\"" + thanks + "\">"));
        find<QPushButton>("cmdCopyThanks")->click();
        QCOMPARE(desk->clipboard, thanks);
        QCOMPARE(filesIn(sftp.root()), filesIn(app->output()));
        find<QPushButton>("cmdPublishHistory")->click();
        auto* history = find<QTableWidget>("tblPublishHistory");
        QCOMPARE(history->rowCount(), 2);
        QCOMPARE(history->item(0, 4)->text() + history->item(1, 4)->text(),
                 "published (Undo Last Publish goes back before this)cancelled");
        desk->answers << true; // the list of changes
        runJob("cmdUndoPublish");
        QVERIFY2(result().startsWith("Undone: 0 files put back, ") &&
                     filesIn(sftp.root()).isEmpty(),
                 qPrintable(result()));
        // Asked once, at the connection test; the key is known afterwards, as ssh keeps it.
        QCOMPARE(desk->shown.size(), 5); // the build's, the host key's, the changes thrice
        QVERIFY(desk->shown[1].text.contains(QStringLiteral("[127.0.0.1]:%1").arg(sftp.port)));
        QCOMPARE(QString::fromUtf8(fileBytes(home.filePath(".ssh/known_hosts"))),
                 sftp.knownHostsLine());
        // The key file that worked is there again after a restart.
        const FunnelSettings s = window->settings();
        openWindow();
        window->setSettings(s);
        QCOMPARE(edit("txtPublishKey")->text(), sftp.clientKey());
    }

    void ftpsRemembersThePasswordInTheKeyringOnly() {
        build();
        find<QCheckBox>("chkRememberPassword")->setChecked(true);
        edit("txtPublishTo")->setText(ftp.url("ftps"));
        edit("txtPublishPassword")->setText(ftp.password);
        desk->answers << true; // the list of changes
        runJob("cmdPublish");
        QVERIFY2(result().startsWith("Published: "), qPrintable(result()));
        QCOMPARE(desk->secrets.values(), QStringList{ftp.password});
        const QByteArray saved = funnelToJson(window->settings());
        QVERIFY(saved.contains(ftp.url("ftps").toUtf8()) && !saved.contains(ftp.password.toUtf8()));

        // The next window that opens this funnel has the password again.
        const FunnelSettings s = window->settings();
        openWindow();
        window->ShowSection(BuildSection);
        window->setSettings(s);
        QCOMPARE(edit("txtPublishPassword")->text(), ftp.password);
        QVERIFY(find<QCheckBox>("chkRememberPassword")->isChecked());
    }

    void refusesWhatWasNotBuiltFromTheseValues_data() {
        QTest::addColumn<bool>("built");
        QTest::addColumn<QString>("message");
        QTest::newRow("never built") << false << "Click \"Build Funnel\" first.";
        QTest::newRow("changed since") << true << "changed since it was last built";
    }
    void refusesWhatWasNotBuiltFromTheseValues() {
        QFETCH(bool, built);
        QFETCH(QString, message);
        if (built) {
            build();
            edit("txtThanks")->setText("Changed after the build");
        }
        edit("txtPublishTo")->setText(ftp.url("ftps"));
        find<QPushButton>("cmdPublish")->click();
        QVERIFY2(result().contains(message), qPrintable(result()));
        QVERIFY(filesIn(ftp.site()).isEmpty());
        build(); // what no longer holds goes
        QVERIFY(!find("lblPublishResult")->isVisible());
    }

    // The S3 fields only for an s3:// address; the list of changes first, then the publish.
    void publishesToS3AndGit_data() {
        QTest::addColumn<QString>("secret");
        QTest::addColumn<QString>("expected");
        QTest::newRow("s3") << s3.secret << "Published: 3 pages and ";
        QTest::newRow("s3, wrong secret") << "not-" + s3.secret << "refused the secret key";
        QTest::newRow("git over ssh") << QString() << "Published to branch main of ssh://";
    }
    void publishesToS3AndGit() {
        QFETCH(QString, secret);
        QFETCH(QString, expected);
        const bool git = secret.isEmpty();
        build();
        writeFile(home.filePath(".ssh/known_hosts"), sftp.knownHostsLine().toUtf8());
        edit("txtPublishTo")->setText(sftp.url());
        QVERIFY(!find("txtS3Endpoint")->isVisible() && !find("chkS3PathStyle")->isVisible());
        const QString repo = home.filePath("repo.git");
        edit("txtPublishTo")
            ->setText(git ? QString("ssh://%1@127.0.0.1:%2%3#main/site")
                                .arg(sftp.user)
                                .arg(sftp.port)
                                .arg(repo)
                          : s3.url("window"));
        QCOMPARE(find("txtS3Endpoint")->isVisible(), !git);
        edit("txtS3Endpoint")->setText(s3.endpoint);
        find<QCheckBox>("chkS3PathStyle")->setChecked(true);
        edit(git ? "txtPublishKey" : "txtPublishPassword")
            ->setText(git ? sftp.clientKey() : secret);
        const bool publishes = expected.startsWith("Published");
        if (publishes) {
            desk->answers << false; // the list of changes: not now
            runJob("cmdPublish");
            QVERIFY2(result().contains(git ? "nothing was committed" : "nothing was sent") &&
                         desk->last().text.contains("\nadd index.html ("),
                     qPrintable(result() + desk->last().text));
        }
        desk->answers << true;
        runJob("cmdPublish");
        QVERIFY2(result().contains(expected), qPrintable(result()));
        const QString clone = home.filePath("clone");
        QDir(clone).removeRecursively();
        if (git)
            QVERIFY(run("git", {"clone", "-q", "-b", "main", repo, clone}));
        if (publishes)
            QCOMPARE(git ? filesIn(clone + "/site") : s3.files("window"), filesIn(app->output()));
    }

    void plainFtpIsFlagged() {
        auto* note = find<QLabel>("lblPublishNote");
        edit("txtPublishTo")->setText("ftp://ann@example.com/www");
        QVERIFY(note->isVisible() && note->text().contains("unencrypted"));
        edit("txtPublishTo")->setText("ftps://ann@example.com/www");
        QVERIFY(!note->isVisible());
    }
};

TANDREL_TEST(frmMassPublishTest)
#include "frmmass_publish_test.moc"
