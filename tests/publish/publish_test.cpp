#include "buildrecord.h"
#include "cli.h"
#include "funnelbuild.h"
#include "funnelfile.h"
#include "funnelfixtures.h"
#include "publish.h"
#include "servers.h"
#include "testfiles.h"

#include <QDirIterator>
#include <QTest>
#include <QThread>

using namespace tandrel;
using namespace tandrel::test;

namespace {

// Every file below a folder with its bytes; the publish record left out.
QMap<QString, QByteArray> filesIn(const QString& folder) {
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString name = QDir(folder).relativeFilePath(path);
        QFile f(path);
        if (name != QLatin1String(kPublishRecordName) && f.open(QIODevice::ReadOnly))
            files.insert(name, f.readAll());
    }
    return files;
}

} // namespace

class PublishTest : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    std::unique_ptr<FixtureApp> app;
    FunnelSettings settings;
    SftpServer sftp;
    FtpServer ftp;
    QStringList sent; // the files in the order the last publish sent them

    void build() {
        const BuildOutcome built = buildFunnel(settings, AppPaths(app->path()));
        QVERIFY2(built.built(), qPrintable(built.message));
    }

    QStringList pageUrls; // fetched back after the publish when set

    PublishReport publish(const QString& url, ConnectionOptions options = {},
                          std::function<bool()> cancelled = {}) {
        const auto target = parsePublishTarget(url);
        if (!target)
            qFatal("bad test address %s", qPrintable(url));
        options.attempts = 2;
        options.firstRetryWait = std::chrono::milliseconds(20);
        if (target->protocol == PublishTarget::Protocol::Sftp && options.keyFile.isEmpty())
            options.keyFile = sftp.clientKey();
        if (target->protocol != PublishTarget::Protocol::Sftp && options.password.isEmpty())
            options.password = ftp.password;
        if (options.caFile.isEmpty())
            options.caFile = ftp.certificate();
        if (!options.trustNewHostKey)
            options.trustNewHostKey = [](const HostKeyQuestion&) { return true; };
        RemoteFolder remote(*target, options);
        const auto record = readBuildRecord(AppPaths(app->path()));
        PublishRequest request;
        request.outputFolder = app->output();
        request.pages = record->pages;
        request.pageUrls = pageUrls;
        sent.clear();
        request.progress = [this](const PublishProgress& p) {
            if (!p.file.isEmpty())
                sent << p.file;
        };
        request.cancelled = std::move(cancelled);
        return publishFunnel(remote, request);
    }

    QString serverFolder(const QString& url) const {
        return url.startsWith(QLatin1String("sftp")) ? sftp.root()
                                                     : ftp.root() + QStringLiteral("/site");
    }

private slots:
    void initTestCase() {
        // The known hosts go to a home of the test's own.
        qputenv("HOME", QFile::encodeName(home.path()));
        QVERIFY(sftp.start());
        QVERIFY(ftp.start());
    }

    void init() {
        app = std::make_unique<FixtureApp>();
        settings = completeSettings(app->makePicture(QStringLiteral("cover.jpg")));
        QDir(sftp.root()).removeRecursively();
        QDir(ftp.root() + QStringLiteral("/site")).removeRecursively();
        QDir().mkpath(sftp.root());
        build();
    }

    void addresses_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("curl"); // empty: refused
        const auto row = [](const char* name, const char* typed, const char* curl) {
            QTest::newRow(name) << QString(typed) << QString(curl);
        };
        row("sftp, absolute folder", "sftp://ann@example.com/var/www/guide",
            "sftp://example.com:22/var/www/guide/");
        row("sftp, home folder, port", "sftp://ann@example.com:2222/~/www/",
            "sftp://example.com:2222/~/www/");
        row("ftps takes explicit TLS on the FTP port", "ftps://ann@example.com/public_html",
            "ftp://example.com:21/public_html/");
        row("folder with a blank", "ftp://ann@example.com/my site",
            "ftp://example.com:21/my%20site/");
        row("a password in the address", "sftp://ann:pw@example.com/www", "");
        row("no user", "sftp://example.com/www", "");
        row("web address", "https://ann@example.com/www", "");
        row("parent folder", "ftp://ann@example.com/www/../etc", "");
    }
    void addresses() {
        QFETCH(QString, typed);
        QFETCH(QString, curl);
        const auto target = parsePublishTarget(typed);
        QCOMPARE(target.ok(), !curl.isEmpty());
        if (target) {
            QCOMPARE(target->curlUrl(), curl);
            QVERIFY(!target->text().contains(QLatin1String("pw")));
        }
    }

    void listings_data() {
        QTest::addColumn<QByteArray>("listing");
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("folder");
        const auto row = [](const char* name, const char* listing, const char* entry, qint64 size,
                            bool folder) {
            QTest::newRow(name) << QByteArray(listing) << QString(entry) << size << folder;
        };
        row("unix", "-rw-r--r--    1 65534   nogroup    3008 Dec  7 05:46 download6.html\r\n",
            "download6.html", 3008, false);
        row("unix, blank in name, old year", "-rw-r--r-- 1 ann ann 12 Jan  3  2024 my page.html\n",
            "my page.html", 12, false);
        row("unix folder", "drwxr-xr-x 2 ann ann 4096 Dec  7 05:46 sub\n", "sub", 4096, true);
        row("link", "lrwxrwxrwx 1 a a 9 Dec  7 05:46 latest -> index.html\n", "latest", 9, false);
        row("dos", "12-07-26  05:38AM                 3197 index.html\r\n", "index.html", 3197,
            false);
        row("dos folder", "12-07-26  05:38AM       <DIR>          sub\r\n", "sub", 0, true);
    }
    void listings() {
        QFETCH(QByteArray, listing);
        QFETCH(QString, name);
        QFETCH(qint64, size);
        QFETCH(bool, folder);
        const RemoteListing entries =
            parseListing("drwxr-xr-x 2 a a 4096 Dec  7 05:46 .\n" + listing);
        QCOMPARE(entries.keys(), QStringList{name});
        QCOMPARE(entries[name].size, size);
        QCOMPARE(entries[name].folder, folder);
    }

    void sendsOnlyWhatChangedAndRemovesOnlyItsOldPages_data() {
        QTest::addColumn<QString>("url");
        QTest::newRow("sftp") << sftp.url();
        QTest::newRow("ftps") << ftp.url(QStringLiteral("ftps"));
    }
    void sendsOnlyWhatChangedAndRemovesOnlyItsOldPages() {
        QFETCH(QString, url);
        const QString server = serverFolder(url);
        PublishReport report = publish(url);
        QVERIFY2(report.published(), qPrintable(report.message));
        const auto local = filesIn(app->output());
        QCOMPARE(filesIn(server), local);
        QCOMPARE(report.pagesSent, 3);
        QCOMPARE(report.otherSent, local.size() - 3);
        // Assets first, then the pages each earlier one leads to.
        QCOMPARE(sent.mid(sent.size() - 3),
                 (QStringList{"download12.html", "thanks57.html", "index.html"}));

        report = publish(url);
        QVERIFY2(report.published(), qPrintable(report.message));
        QCOMPARE(sent, QStringList());
        QCOMPARE(report.unchanged, local.size());

        // A rebuild with new page numbers, a file lost on the server, and
        // files of the user's own there.
        settings.deriveFunnelLinks(58, 13);
        settings.txtFunnel_LeadLine1 = QStringLiteral("A new headline");
        build();
        QVERIFY(QFile::remove(server + QStringLiteral("/sub/asset.txt")));
        writeFile(server + QStringLiteral("/mine.html"), "mine");
        writeFile(server + QStringLiteral("/thanks99.html"), "not from this funnel");
        report = publish(url);
        QVERIFY2(report.published(), qPrintable(report.message));
        QCOMPARE(report.oldPagesRemoved, 2);
        QVERIFY(sent.contains(QStringLiteral("sub/asset.txt")));
        QVERIFY(!sent.contains(QStringLiteral("style.css")));
        QCOMPARE(sent.last(), QStringLiteral("index.html"));
        auto expected = filesIn(app->output());
        expected.insert(QStringLiteral("mine.html"), "mine");
        expected.insert(QStringLiteral("thanks99.html"), "not from this funnel");
        QCOMPARE(filesIn(server), expected);
        QVERIFY2(
            report.message.startsWith(QLatin1String("Published: 3 pages and 1 other file sent")),
            qPrintable(report.message));
    }

    void aServerGoneHalfWayLeavesTheLivePageAndARerunCompletes() {
        const QString url = ftp.url(QStringLiteral("ftps"));
        QVERIFY(publish(url).published());
        const QByteArray liveIndex = filesIn(serverFolder(url)).value(QStringLiteral("index.html"));
        settings.txtFunnel_LeadLine1 = QStringLiteral("A new headline");
        settings.deriveFunnelLinks(60, 61);
        build();

        ConnectionOptions options;
        const auto report = publish(url, options, [&] {
            if (sent.size() == 2)
                ftp.stop();
            return false;
        });
        QCOMPARE(report.outcome, PublishReport::Outcome::Failed);
        QVERIFY2(report.message.contains(sent.last()), qPrintable(report.message));
        QVERIFY2(report.message.contains(QLatin1String("left as it was")),
                 qPrintable(report.message));
        QCOMPARE(filesIn(serverFolder(url)).value(QStringLiteral("index.html")), liveIndex);
        QVERIFY(!report.message.contains(ftp.password));

        const int oldPort = ftp.port;
        QVERIFY(ftp.start());
        const QString again =
            QString(url).replace(QString::number(oldPort), QString::number(ftp.port));
        const auto rerun = publish(again);
        QVERIFY2(rerun.published(), qPrintable(rerun.message));
        QCOMPARE(filesIn(serverFolder(url)), filesIn(app->output()));
    }

    void thePagesAreFetchedBackWhenTheyCanBe() {
        // The fetch runs on this thread, so the web server answers from another one.
        QThread thread;
        auto* web = new WebServer(sftp.root());
        web->moveToThread(&thread);
        thread.start();
        const QStringList pages = readBuildRecord(AppPaths(app->path()))->pages;
        pageUrls = {web->url(), web->url(pages[1]), web->url(pages[2])};
        auto report = publish(sftp.url());
        QVERIFY2(report.published(), qPrintable(report.message));
        QCOMPARE(report.notes, QStringList{"The 3 pages online are the ones published."});

        // An address nobody answers is a note, not a failure.
        pageUrls[2] = QStringLiteral("http://127.0.0.1:1/") + pages[2];
        report = publish(sftp.url());
        pageUrls.clear();
        QMetaObject::invokeMethod(
            web, [web] { delete web; }, Qt::BlockingQueuedConnection);
        thread.quit();
        thread.wait();
        QVERIFY2(report.published(), qPrintable(report.message));
        QCOMPARE(report.notes.size(), 1);
        QVERIFY2(report.notes[0].contains(QLatin1String("could not be fetched")),
                 qPrintable(report.notes.join(u'|')));
    }

    void cancelStopsBeforeTheLeadPage() {
        const auto report = publish(sftp.url(), {}, [&] { return sent.size() == 2; });
        QCOMPARE(report.outcome, PublishReport::Outcome::Cancelled);
        QCOMPARE(sent.size(), 2);
        QVERIFY(!QFile::exists(sftp.root() + QStringLiteral("/index.html")));
    }

    void refusals_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("knownHosts"); // what known_hosts holds first
        QTest::addColumn<bool>("trustNewKey");
        QTest::addColumn<QString>("caFile");
        QTest::addColumn<QString>("message");
        const QString ftps = ftp.url(QStringLiteral("ftps"));
        QTest::newRow("wrong password") << ftps << "wrong-one"
                                        << "" << true << ""
                                        << "refused the user name or password";
        QTest::newRow("unknown host key, not trusted") << sftp.url() << ""
                                                       << "" << false << ""
                                                       << "is not trusted yet";
        QTest::newRow("changed host key")
            << sftp.url() << ""
            << QStringLiteral(
                   "[127.0.0.1]:%1 ssh-ed25519 "
                   "AAAAC3NzaC1lZDI1NTE5AAAAIO8V8w+aYzRQu77FouGtCU3MFby6kQ/oDeMbeYvG1YT1")
                   .arg(sftp.port)
            << true << ""
            << "it may be an impostor";
        QTest::newRow("certificate nobody vouches for")
            << ftps << ""
            << "" << true << "/etc/ssl/certs/ca-certificates.crt"
            << "certificate could not be verified";
    }
    void refusals() {
        QFETCH(QString, url);
        QFETCH(QString, password);
        QFETCH(QString, knownHosts);
        QFETCH(bool, trustNewKey);
        QFETCH(QString, caFile);
        QFETCH(QString, message);
        const QString file = home.filePath(QStringLiteral("known_hosts"));
        QFile::remove(file);
        if (!knownHosts.isEmpty())
            writeFile(file, knownHosts.toUtf8() + '\n');
        ConnectionOptions options;
        options.knownHostsFile = file;
        options.password = password;
        options.caFile = caFile;
        options.trustNewHostKey = [&](const HostKeyQuestion&) { return trustNewKey; };
        const auto report = publish(url, options);
        QCOMPARE(report.outcome, PublishReport::Outcome::Failed);
        QVERIFY2(report.message.contains(message), qPrintable(report.message));
        QVERIFY(!report.message.contains(ftp.password));
        QVERIFY(filesIn(serverFolder(url)).isEmpty());
        QCOMPARE(readAll(file), knownHosts);
    }

    void aNewHostKeyTrustedOnceIsKnownAfterwards() {
        const QString file = home.filePath(QStringLiteral("known_hosts"));
        QFile::remove(file);
        ConnectionOptions options;
        options.knownHostsFile = file;
        int asked = 0;
        options.trustNewHostKey = [&](const HostKeyQuestion& q) {
            ++asked;
            return q.host == QStringLiteral("[127.0.0.1]:%1").arg(sftp.port);
        };
        QVERIFY(publish(sftp.url(), options).published());
        QCOMPARE(readAll(file), sftp.knownHostsLine());
        QVERIFY(publish(sftp.url(), options).published());
        QCOMPARE(asked, 1);
    }

    void aFolderTheServerWillNotWriteIsReported() {
        const QString folder = ftp.root() + QStringLiteral("/site");
        QDir().mkpath(folder);
        QVERIFY(::chown(QFile::encodeName(folder).constData(), 65534, 65534) == 0);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther |
                                          QFile::ExeOther);
        const auto report = publish(ftp.url(QStringLiteral("ftps")));
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(report.outcome, PublishReport::Outcome::Failed);
        QVERIFY2(report.message.startsWith(QStringLiteral("Sending ") + sent.value(0)),
                 qPrintable(report.message));
    }

    void ftpsNeverFallsBackToPlainFtp() {
        FtpServer plain;
        QVERIFY(plain.start(FtpServer::Tls::Refused));
        ConnectionOptions options;
        options.password = plain.password;
        auto report = publish(plain.url(QStringLiteral("ftps")), options);
        QCOMPARE(report.outcome, PublishReport::Outcome::Failed);
        QVERIFY2(report.message.contains(QLatin1String("does not offer encryption")),
                 qPrintable(report.message));
        // Plain FTP, asked for by name, works.
        report = publish(plain.url(QStringLiteral("ftp")), options);
        QVERIFY2(report.published(), qPrintable(report.message));
    }

    void commandLine_data() {
        QTest::addColumn<QString>("setUp"); // what differs from a built, saved funnel
        QTest::addColumn<QStringList>("extra");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("published, new host key accepted")
            << "" << QStringList{"--accept-new-host-key"} << 0 << "Published: 3 pages";
        QTest::newRow("new host key refused")
            << "" << QStringList() << 1 << "--accept-new-host-key";
        QTest::newRow("nothing built") << "unbuilt" << QStringList() << 2 << "has not been built";
        QTest::newRow("built from other settings")
            << "changed" << QStringList() << 2 << "other settings than";
        QTest::newRow("no address") << "no address" << QStringList() << 2 << "--to";
        QTest::newRow("wrong password, never shown")
            << "ftps" << QStringList{"--password-env", "WRONG_PASSWORD"} << 1
            << "refused the user name or password";
    }
    void commandLine() {
        QFETCH(QString, setUp);
        QFETCH(QStringList, extra);
        QFETCH(int, status);
        QFETCH(QString, message);
        QFile::remove(home.filePath(QStringLiteral(".ssh/known_hosts")));
        settings.publishTo = setUp == QLatin1String("no address") ? QString()
                             : setUp == QLatin1String("ftps")     ? ftp.url(QStringLiteral("ftps"))
                                                                  : sftp.url();
        if (setUp == QLatin1String("unbuilt"))
            QVERIFY(QFile::remove(buildRecordPath(AppPaths(app->path()))));
        if (setUp == QLatin1String("changed"))
            settings.txtThanks = QStringLiteral("Changed after the build");
        const QString funnel = app->path(QStringLiteral("my.funnel.json"));
        QVERIFY(saveFunnelFile(funnel, settings));
        qputenv("WRONG_PASSWORD", "not-" + ftp.password.toUtf8());
        qputenv("TANDREL_CA_FILE", QFile::encodeName(ftp.certificate()));
        QStringList arguments{"publish", funnel, "--app-dir", app->path()};
        if (setUp != QLatin1String("ftps"))
            arguments << "--key" << sftp.clientKey();
        QString out;
        QString err;
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        QCOMPARE(cli::run(arguments + extra, app->path(), outStream, errStream), status);
        QVERIFY2(err.contains(message), qPrintable(err));
        QVERIFY(!(out + err).contains(ftp.password));
        if (status == 0) {
            // The page addresses come last, for a script to pick up.
            QCOMPARE(out.trimmed().split(u'\n').mid(out.trimmed().count(u'\n') - 2),
                     (QStringList{settings.txtFunnelUrl, settings.txtCapture_Url,
                                  settings.txtDownloadUrl}));
            QCOMPARE(filesIn(sftp.root()), filesIn(app->output()));
        }
    }
};

TANDREL_TEST(PublishTest)
#include "publish_test.moc"
