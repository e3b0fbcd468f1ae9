#include "buildrecord.h"
#include "cli.h"
#include "funnelbuild.h"
#include "funnelfile.h"
#include "funnelfixtures.h"
#include "publish.h"
#include "servers.h"
#include "testfiles.h"

#include <QTest>
#include <QThread>

using namespace tandrel;
using namespace tandrel::test;

#define PUBLISHED(report) QVERIFY2((report).published(), qPrintable((report).message))

class PublishTest : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    std::unique_ptr<FixtureApp> app;
    FunnelSettings settings;
    SftpServer sftp;
    FtpServer ftp;        // FTPS only
    FtpServer plain;      // no TLS at all
    QStringList sent;     // the files in the order the last publish sent them
    QStringList pageUrls; // fetched back after the publish when set

    void build() {
        const BuildOutcome built = buildFunnel(settings, AppPaths(app->path()));
        QVERIFY2(built.built(), qPrintable(built.message));
    }

    PublishReport publish(const QString& url, ConnectionOptions options = {},
                          std::function<bool()> cancelled = {}) {
        const auto target = parsePublishTarget(url);
        if (!target)
            qFatal("bad test address %s", qPrintable(url));
        options.attempts = 2;
        options.firstRetryWait = std::chrono::milliseconds(20);
        if (target->protocol == PublishTarget::Protocol::Sftp)
            options.keyFile = sftp.clientKey();
        else if (options.password.isEmpty())
            options.password = ftp.password;
        if (options.caFile.isEmpty())
            options.caFile = ftp.certificate();
        if (!options.trustNewHostKey)
            options.trustNewHostKey = [](const HostKeyQuestion&) { return true; };
        RemoteFolder remote(*target, options);
        PublishRequest request{app->output(), readBuildRecord(AppPaths(app->path()))->pages,
                               pageUrls,
                               [this](const PublishProgress& p) {
                                   if (!p.file.isEmpty())
                                       sent << p.file;
                               },
                               std::move(cancelled)};
        sent.clear();
        return publishFunnel(remote, request);
    }

    QString serverFolder(const QString& url) const {
        return url.startsWith(QLatin1String("sftp"))                  ? sftp.root()
               : url.contains(QStringLiteral(":%1/").arg(plain.port)) ? plain.site()
                                                                      : ftp.site();
    }

private slots:
    void initTestCase() {
        // The known hosts go to a home of the test's own.
        qputenv("HOME", QFile::encodeName(home.path()));
        QVERIFY(sftp.start());
        QVERIFY(ftp.start());
        QVERIFY(plain.start("0"));
    }

    void init() {
        app = std::make_unique<FixtureApp>();
        settings = completeSettings(app->makePicture(QStringLiteral("cover.jpg")));
        for (const QString& folder : {sftp.root(), ftp.site(), plain.site()})
            QDir(folder).removeRecursively();
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
        QTest::addColumn<QString>("entry"); // name, size and kind as parsed
        const auto row = [](const char* name, const char* listing, const char* entry) {
            QTest::newRow(name) << QByteArray(listing) << QString(entry);
        };
        row("unix", "-rw-r--r--    1 65534   nogroup    3008 Dec  7 05:46 download6.html\r\n",
            "download6.html 3008 file");
        row("unix, blank in name, old year", "-rw-r--r-- 1 ann ann 12 Jan  3  2024 my page.html\n",
            "my page.html 12 file");
        row("unix folder", "drwxr-xr-x 2 ann ann 4096 Dec  7 05:46 sub\n", "sub 4096 folder");
        row("link", "lrwxrwxrwx 1 a a 9 Dec  7 05:46 latest -> index.html\n", "latest 9 file");
        row("dos", "12-07-26  05:38AM                 3197 index.html\r\n", "index.html 3197 file");
        row("dos folder", "12-07-26  05:38AM       <DIR>          sub\r\n", "sub 0 folder");
    }
    void listings() {
        QFETCH(QByteArray, listing);
        QFETCH(QString, entry);
        QStringList parsed;
        const RemoteListing entries =
            parseListing("drwxr-xr-x 2 a a 4096 Dec  7 05:46 .\n" + listing);
        for (auto it = entries.begin(); it != entries.end(); ++it)
            parsed << QStringLiteral("%1 %2 %3")
                          .arg(it.key())
                          .arg(it->size)
                          .arg(it->folder ? "folder" : "file");
        QCOMPARE(parsed, QStringList{entry});
    }

    void sendsOnlyWhatChangedAndRemovesOnlyItsOldPages_data() {
        QTest::addColumn<QString>("url");
        QTest::newRow("sftp") << sftp.url();
        QTest::newRow("ftp") << plain.url(QStringLiteral("ftp"));
        QTest::newRow("ftps") << ftp.url(QStringLiteral("ftps"));
    }
    void sendsOnlyWhatChangedAndRemovesOnlyItsOldPages() {
        QFETCH(QString, url);
        const QString server = serverFolder(url);
        PublishReport report = publish(url);
        PUBLISHED(report);
        const auto local = filesIn(app->output());
        QCOMPARE(filesIn(server), local);
        QCOMPARE(QList<int>({report.pagesSent, report.otherSent}),
                 QList<int>({3, int(local.size()) - 3}));
        // Assets first, then the pages each earlier one leads to.
        QCOMPARE(sent.mid(sent.size() - 3),
                 (QStringList{"download12.html", "thanks57.html", "index.html"}));

        report = publish(url);
        PUBLISHED(report);
        QCOMPARE(sent, QStringList());
        QCOMPARE(report.unchanged, local.size());

        // A rebuild with new page numbers, a file lost on the server, and
        // files of the user's own there.
        settings.deriveFunnelLinks(58, 13);
        settings.txtFunnel_LeadLine1 = QStringLiteral("A new headline");
        build();
        QVERIFY(QFile::remove(server + QStringLiteral("/sub/asset.txt")));
        auto expected = filesIn(app->output());
        for (const char* mine : {"mine.html", "thanks99.html"})
            expected.insert(mine, fileBytes(writeFile(server + u'/' + mine, "mine")));
        report = publish(url);
        PUBLISHED(report);
        QCOMPARE(report.oldPagesRemoved, 2);
        QVERIFY(sent.contains(QStringLiteral("sub/asset.txt")));
        QVERIFY(!sent.contains(QStringLiteral("style.css")));
        QCOMPARE(sent.last(), QStringLiteral("index.html"));
        QCOMPARE(filesIn(server), expected);
        QVERIFY2(
            report.message.startsWith(QLatin1String("Published: 3 pages and 1 other file sent")),
            qPrintable(report.message));
    }

    void aServerGoneHalfWayLeavesTheLivePageAndARerunCompletes() {
        const QString url = ftp.url(QStringLiteral("ftps"));
        QVERIFY(publish(url).published());
        const QByteArray liveIndex = filesIn(ftp.site()).value(QStringLiteral("index.html"));
        settings.txtFunnel_LeadLine1 = QStringLiteral("A new headline");
        settings.deriveFunnelLinks(60, 61);
        build();
        const auto report = publish(url, {}, [&] {
            if (sent.size() == 2)
                ftp.stop();
            return false;
        });
        QCOMPARE(report.outcome, PublishReport::Outcome::Failed);
        QVERIFY2(report.message.contains(sent.last()) &&
                     report.message.contains(QLatin1String("left as it was")) &&
                     !report.message.contains(ftp.password),
                 qPrintable(report.message));
        QCOMPARE(filesIn(ftp.site()).value(QStringLiteral("index.html")), liveIndex);
        QVERIFY(ftp.start());
        PUBLISHED(publish(url));
        QCOMPARE(filesIn(ftp.site()), filesIn(app->output()));
    }

    void thePagesAreFetchedBackWhenTheyCanBe() {
        // The fetch runs on this thread, so the web server answers from another one.
        QThread thread;
        auto* web = new WebServer(sftp.root());
        web->moveToThread(&thread);
        connect(&thread, &QThread::finished, web, &QObject::deleteLater);
        thread.start();
        const QStringList pages = readBuildRecord(AppPaths(app->path()))->pages;
        pageUrls = {web->url(), web->url(pages[1]), web->url(pages[2])};
        auto report = publish(sftp.url());
        PUBLISHED(report);
        QCOMPARE(report.notes, QStringList{"The 3 pages online are the ones published."});

        // An address nobody answers is a note, not a failure.
        pageUrls[2] = QStringLiteral("http://127.0.0.1:1/") + pages[2];
        report = publish(sftp.url());
        pageUrls.clear();
        thread.quit();
        thread.wait();
        PUBLISHED(report);
        QCOMPARE(report.notes.size(), 1);
        QVERIFY2(report.notes[0].contains(QLatin1String("could not be fetched")),
                 qPrintable(report.notes[0]));
    }

    void cancelStopsBeforeTheLeadPage() {
        const auto report = publish(sftp.url(), {}, [&] { return sent.size() == 2; });
        QCOMPARE(report.outcome, PublishReport::Outcome::Cancelled);
        QCOMPARE(sent.size(), 2);
        QVERIFY(!QFile::exists(sftp.root() + QStringLiteral("/index.html")));
    }

    // What a wrong setting or an unwilling server is told as; nothing is sent.
    void refusals_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("message");
        const QString ftps = ftp.url(QStringLiteral("ftps"));
        QTest::newRow("wrong password") << ftps << "refused the user name or password";
        QTest::newRow("unknown host key, not trusted") << sftp.url() << "is not trusted yet";
        QTest::newRow("changed host key") << sftp.url() << "it may be an impostor";
        QTest::newRow("certificate nobody vouches for")
            << ftps << "certificate could not be verified";
        QTest::newRow("ftps never falls back to plain FTP")
            << plain.url(QStringLiteral("ftps")) << "does not offer encryption";
        QTest::newRow("a folder the server will not write")
            << ftps << "failed: the server answered";
    }
    void refusals() {
        QFETCH(QString, url);
        QFETCH(QString, message);
        const QByteArray row = QTest::currentDataTag();
        const QString file = home.filePath(QStringLiteral("known_hosts"));
        const QString knownHosts =
            row != "changed host key"
                ? QString()
                : QStringLiteral("[127.0.0.1]:%1 ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIO8V8w+aYzRQu"
                                 "77FouGtCU3MFby6kQ/oDeMbeYvG1YT1")
                      .arg(sftp.port);
        writeFile(file, knownHosts.toUtf8());
        ConnectionOptions options;
        options.knownHostsFile = file;
        options.password = row == "wrong password" ? QStringLiteral("wrong-one") : QString();
        if (row == "certificate nobody vouches for")
            options.caFile = QStringLiteral("/etc/ssl/certs/ca-certificates.crt");
        options.trustNewHostKey = [&](const HostKeyQuestion&) {
            return row != "unknown host key, not trusted";
        };
        const QString folder = serverFolder(url);
        const bool readOnly = row == "a folder the server will not write";
        if (readOnly) {
            QDir().mkpath(folder);
            QVERIFY(::chown(QFile::encodeName(folder).constData(), 65534, 65534) == 0);
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
        }
        const auto report = publish(url, options);
        if (readOnly)
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(report.outcome, PublishReport::Outcome::Failed);
        QVERIFY2(report.message.contains(message) && !report.message.contains(ftp.password),
                 qPrintable(report.message));
        // A failure while sending names the file.
        QCOMPARE(sent.size(), readOnly ? 1 : 0);
        QVERIFY2(sent.isEmpty() || report.message.startsWith("Sending " + sent[0]),
                 qPrintable(report.message));
        QVERIFY(filesIn(folder).isEmpty());
        QCOMPARE(readAll(file), knownHosts);
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
        QVERIFY2(err.contains(message) && !(out + err).contains(ftp.password), qPrintable(err));
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
