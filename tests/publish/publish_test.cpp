#include "cli.h"
#include "funnelfile.h"
#include "publishfixture.h"
#include "publishhistory.h"

#include <QRegularExpression>
#include <QSettings>

#include <fcntl.h>

using namespace tandrel;
using namespace tandrel::test;
using namespace Qt::Literals::StringLiterals;

class PublishTest : public QObject, PublishFixture {
    Q_OBJECT

    SftpServer sftp;
    FtpServer ftp;     // FTPS only
    FtpServer plain;   // no TLS at all
    VsftpServer vsftp; // FTPS demanding TLS session reuse
    S3Server s3;
    QStringList sent;     // the files in the order the last publish sent them
    QStringList pageUrls; // fetched back after the publish when set
    int attempts = 2;
    int connections = 1;

    PublishReport publish(const QString& url, ConnectionOptions options = {},
                          std::function<bool()> cancelled = {}, bool dryRun = false,
                          bool undo = false) {
        const auto target = parsePublishTarget(url);
        options.attempts = attempts;
        options.firstRetryWait = std::chrono::milliseconds(20);
        if (target->protocol == PublishTarget::Protocol::S3 && options.s3Endpoint.isEmpty()) {
            const ConnectionOptions relayed = s3.options(S3Server::Via::Cut);
            options.password = relayed.password;
            options.s3Endpoint = relayed.s3Endpoint;
            options.s3PathStyle = true;
        }
        if (target->protocol == PublishTarget::Protocol::Sftp)
            options.keyFile = sftp.clientKey();
        else if (options.password.isEmpty())
            options.password = ftp.password;
        if (options.caFile.isEmpty())
            options.caFile = ftp.certificate();
        if (!options.trustNewHostKey)
            options.trustNewHostKey = [](const HostKeyQuestion&) { return true; };
        RemoteFolder remote(*target, options);
        // Each file once, however often it reports while its bytes go.
        const auto progress = [this](const PublishProgress& p) {
            if (sent.isEmpty() || sent.last() != p.file)
                sent << p.file;
        };
        sent.clear();
        const PublishRequest request{app->output(),
                                     readBuildRecord(AppPaths(app->path()))->pages,
                                     pageUrls,
                                     progress,
                                     std::move(cancelled),
                                     {},
                                     dryRun,
                                     connections};
        const PublishReport report =
            undo ? undoLastPublish(remote, request) : publishFunnel(remote, request);
        sent.removeAll(QString()); // the check after the last file
        return report;
    }
    Server& serverOf(const QString& url) {
        if (url.startsWith("s3:"_L1))
            return *s3.cut;
        for (Server* server : std::initializer_list<Server*>{&ftp, &plain, &vsftp})
            if (url.contains(u":%1/"_s.arg(server->port)))
                return *server;
        return sftp;
    }

private slots:
    void initTestCase() {
        useHome();
        QVERIFY2(sftp.start() && ftp.start() && plain.start(FtpServer::Tls::Refused),
                 qPrintable(missingServerPrograms()));
        QVERIFY2(vsftp.start(ftp.dir.filePath(u"server.pem"_s)),
                 qPrintable(missingServerPrograms()));
        QVERIFY2(s3.start(), "radosgw did not start (packages ceph-mon, ceph-osd, radosgw, "
                             "ceph-common); see its logs above");
    }
    void init() {
        attempts = 2;
        connections = QByteArray(QTest::currentDataTag()).contains("4 connections") ? 4 : 1;
        pageUrls.clear();
        for (Server* server : std::initializer_list<Server*>{&sftp, &ftp, &plain, s3.cut.get()}) {
            server->cut(0, u"never"_s);
            QDir(server->site()).removeRecursively();
        }
        QDir().mkpath(sftp.root());
        vsftp.clear();
        newFunnel();
    }

    // The real servers below cover explicit ports, absolute folders and ftps.
    void addresses_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("curl"); // empty: refused
        QTest::newRow("folder with a blank") << "ftp://ann@example.com/my site"
                                             << "ftp://example.com:21/my%20site/";
        QTest::newRow("a password in the address") << "sftp://ann:pw@example.com/www"
                                                   << "";
        QTest::newRow("no user") << "sftp://example.com/www"
                                 << "";
        QTest::newRow("web address") << "https://ann@example.com/www"
                                     << "";
        QTest::newRow("parent folder") << "ftp://ann@example.com/www/../etc"
                                       << "";
    }
    void addresses() {
        QFETCH(QString, typed);
        QFETCH(QString, curl);
        const auto target = parsePublishTarget(typed);
        QCOMPARE(target ? target->curlUrl() : QString(), curl);
    }

    // The real servers below list the plain Unix way; these are the other ways.
    void listings() {
        const RemoteListing entries =
            parseListing("drwxr-xr-x 2 a a 4096 Dec  7 05:46 .\n"
                         "-rw-r--r-- 1 ann ann 12 Jan  3  2024 my page.html\n"
                         "lrwxrwxrwx 1 a a 9 Dec  7 05:46 latest -> index.html\n"
                         "12-07-26  05:38AM                 3197 index.html\r\n"
                         "12-07-26  05:38AM       <DIR>          sub\r\n"
                         "type=cdir;modify=20261207054600; .\r\n"
                         "Type=file;Size=5;Modify=20261207054633.250;UNIX.mode=0644;  spaced\r\n"
                         "type=dir;sizd=4096;modify=20261207054600; images\r\n");
        QStringList parsed;
        for (auto it = entries.begin(); it != entries.end(); ++it)
            parsed << u"%1 %2 %3 %4"_s.arg(it.key()).arg(it->size).arg(
                it->folder ? "folder" : "file", it->stamp);
        QCOMPARE(parsed, (QStringList{" spaced 5 file 1796622393", "images 0 folder 1796622360",
                                      "index.html 3197 file ", "latest 9 file ",
                                      "my page.html 12 file ", "sub 0 folder "}));
    }

    // vsftpd lists no exact times: they are asked for the files that need
    // them, each answer going to its own file, one that fails left unknown.
    void exactTimesWhereTheListingHasNone() {
        const QStringList names{u"a.txt"_s, u"b c.txt"_s, u"gone.txt"_s, u"d.txt"_s};
        for (int i = 0; i < names.size(); ++i) {
            QFile file(writeFile(vsftp.site() + u'/' + names[i], "x"));
            QVERIFY(file.open(QIODevice::ReadWrite) &&
                    file.setFileTime(QDateTime::fromSecsSinceEpoch(1700000000 + i * 3600, Qt::UTC),
                                     QFileDevice::FileModificationTime));
        }
        ConnectionOptions options;
        options.password = ftp.password;
        options.caFile = ftp.certificate();
        RemoteFolder remote(*parsePublishTarget(vsftp.url()), options);
        auto listing = remote.list();
        QVERIFY(listing && listing->size() == 4 && listing->value(u"a.txt"_s).stamp.isEmpty());
        QVERIFY(QFile::remove(vsftp.site() + u"/gone.txt"_s));
        remote.fillStamps(listing.value(), names);
        QStringList stamps;
        for (const QString& name : names)
            stamps << listing->value(name).stamp;
        QCOMPARE(stamps, (QStringList{"1700000000", "1700003600", "", "1700010800"}));
    }

    void sendsOnlyWhatChangedAndRemovesOnlyItsOldPages_data() {
        QTest::addColumn<QString>("url");
        QTest::newRow("sftp") << sftp.url();
        QTest::newRow("sftp, home folder") << sftp.url(u"/~/www"_s);
        QTest::newRow("ftp") << plain.url(u"ftp"_s);
        QTest::newRow("ftps") << ftp.url(u"ftps"_s);
        QTest::newRow("ftps, TLS session reuse demanded") << vsftp.url();
        QTest::newRow("sftp, 4 connections") << sftp.url();
        QTest::newRow("ftps, 4 connections") << ftp.url(u"ftps"_s);
    }
    void sendsOnlyWhatChangedAndRemovesOnlyItsOldPages() {
        QFETCH(QString, url);
        const QString server = serverOf(url).site();
        // Without a retry: a fresh connection would hide a refused session.
        attempts = url == vsftp.url() ? 1 : 2;
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
        QVERIFY(report.published() && sent.isEmpty() && report.unchanged == local.size());

        // Times moved on the server with nothing changed (its clock behind,
        // say), and an edit by hand that keeps the size: only the edit goes.
        const QDateTime later = QDateTime::currentDateTime().addSecs(3600);
        QByteArray css = fileBytes(server + u"/style.css"_s);
        css[0] = css[0] == ' ' ? '\n' : ' ';
        writeFile(server + u"/style.css"_s, css);
        for (const QString& name : local.keys()) {
            QFile file(server + u'/' + name);
            QVERIFY(file.open(QIODevice::ReadWrite) &&
                    file.setFileTime(later, QFileDevice::FileModificationTime));
        }
        report = publish(url);
        QVERIFY2(report.published() && sent == QStringList{u"style.css"_s},
                 qPrintable(report.message + sent.join(u' ')));

        // A rebuild with new page numbers, a file lost on the server, and
        // files of the user's own there.
        settings.deriveFunnelLinks(58, 13);
        settings.txtFunnel_LeadLine1 = u"A new headline"_s;
        build();
        QVERIFY(QFile::remove(server + u"/sub/asset.txt"_s));
        auto expected = filesIn(app->output());
        for (const char* mine : {"mine.html", "thanks99.html"})
            expected.insert(mine, fileBytes(writeFile(server + u'/' + mine, "mine")));
        // A dry run first: it names every change the publish then makes, and makes none.
        const auto before = filesIn(server);
        const PublishReport dry = publish(url, {}, {}, true);
        QCOMPARE(filesIn(server), before);
        QStringList planned;
        QStringList toSend;
        for (const PlannedChange& change : dry.plan.changes) {
            planned << u"%1 %2"_s.arg(int(change.kind)).arg(change.path);
            if (change.kind != PlannedChange::Kind::Remove)
                toSend << change.path;
        }
        QCOMPARE(planned, (QStringList{"0 sub/asset.txt", "0 download13.html", "0 thanks58.html",
                                       "1 index.html", "2 download12.html", "2 thanks57.html"}));
        report = publish(url);
        QCOMPARE(sent, toSend);
        QVERIFY2(report.message.startsWith("Published: 3 pages and 1 other file sent"_L1) &&
                     report.oldPagesRemoved == 2,
                 qPrintable(report.message));
        QVERIFY(sent.contains(u"sub/asset.txt"_s) && !sent.contains(u"style.css"_s));
        QCOMPARE(sent.last(), u"index.html"_s);
        QCOMPARE(filesIn(server), expected);
    }

    // A connection dropped at any point of a republish fails calmly, naming
    // the file and what is live, and the next publish completes. In the
    // sanitize build, a drop half-way through an SFTP upload once wrote into
    // a freed session. "every": at the Nth rename or removal (or file opened for
    // writing, some ahead of their turn) for N = 1, 2, ... until a publish
    // completes, before or after the server acted, with SFTP's one-step replace
    // and without it ("hide"). S3: the next publish sends only what is not there whole.
    void aDroppedConnectionAtAnyPoint_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("cut"); // "N KIND WHEN", as tests/publish/cut take it
        for (const QString& url : {sftp.url(), plain.url(u"ftp"_s), ftp.url(u"ftps"_s)})
            for (const char* cut : {"1 list before", "1 stor half", "1 stor stall", "2 stor before",
                                    "1 rename before", "1 remove before", "fetch-back", "restart"})
                QTest::addRow("%s, %s", qPrintable(url.section(u':', 0, 0)), cut)
                    << url << QString::fromLatin1(cut);
        for (const char* cut : {"every change after", "every change before hide",
                                "every change after hide", "every stor before"})
            QTest::addRow("sftp, %s", cut) << sftp.url() << QString::fromLatin1(cut);
        for (const QString& url : {sftp.url(), ftp.url(u"ftps"_s)})
            for (const char* cut : {"1 stor half", "2 stor before", "every change after"})
                QTest::addRow("%s, 4 connections, %s", qPrintable(url.section(u':', 0, 0)), cut)
                    << url << QString::fromLatin1(cut);
        for (const char* cut :
             {"1 list before", "1 put half", "1 put stall", "2 put before", "1 delete before",
              "1 put damage", "fetch-back", "4 connections, 1 put half"})
            QTest::addRow("s3, %s", cut)
                << s3.url(u"drop"_s) << QString::fromLatin1(cut).section(u',', -1).trimmed();
    }
    void aDroppedConnectionAtAnyPoint() {
        QFETCH(QString, url);
        QFETCH(QString, cut);
        const QStringList how = cut.split(u' ');
        const bool every = how[0] == "every"_L1;
        Server& server = serverOf(url);
        const QString folder = server.site();
        const bool s3row = url.startsWith("s3:"_L1);
        const auto siteFiles = [&] { return s3row ? s3.files(u"drop"_s) : filesIn(folder); };
        // What a visitor gets.
        const auto liveIndex = [&] {
            return s3row ? fetchPage(s3.endpoint + "/site/drop/index.html"_L1).value_or("")
                         : fileBytes(folder + u"/index.html"_s);
        };
        if (s3row)
            s3.restore(u"drop"_s, {});
        // Replaced by the republish: its copy kept for an undo is the first file sent.
        writeFile(app->output() + u"/big.bin"_s, QByteArray(300000, 'y'));
        PUBLISHED(publish(url));
        const QByteArray oldIndex = liveIndex();
        QTemporaryDir published;
        const auto objects = s3row ? s3.files(u"drop"_s, true) : QMap<QString, QByteArray>();
        QVERIFY(s3row || run(u"cp"_s, {u"-a"_s, folder + u"/."_s, published.path()}));
        settings.txtFunnel_LeadLine1 = u"A new headline"_s;
        settings.deriveFunnelLinks(60, 61);
        build();
        writeFile(app->output() + u"/big.bin"_s, QByteArray(300000, 'x'));
        // New to the server: sent under its own name, with no rename.
        writeFile(app->output() + u"/sub/new.bin"_s, QByteArray(100000, 'n'));
        if (cut == "restart"_L1)
            QVERIFY2(server.restart(), qPrintable(missingServerPrograms()));
        WebThread web(QFileInfo(folder).path(), cut == "fetch-back"_L1);
        ConnectionOptions options;
        if (how.value(2) == "stall"_L1)
            options.silence = std::chrono::seconds(1); // the watchdog shuts the socket
        // The funnel's address without its slash is sent on to the folder.
        const QString site = QFileInfo(folder).fileName() + u'/';
        const QStringList pages = readBuildRecord(AppPaths(app->path()))->pages;
        pageUrls = {web.url(site.chopped(1)), web.url(site + pages[1]), web.url(site + pages[2])};
        for (int n = 1;; ++n) {
            if (n > 1 && s3row) // as the first publish left it
                s3.restore(u"drop"_s, objects);
            else if (n > 1) {
                QDir(folder).removeRecursively();
                QVERIFY(run(u"cp"_s, {u"-a"_s, published.path() + u"/."_s, folder}));
            }
            server.cut(every ? n : how[0].toInt(), how.mid(2).join(u' '), how.value(1));
            // pure-ftpd just started may reset the first connection: the retry takes it.
            attempts = cut == "restart"_L1 ? 2 : 1;
            const PublishReport report = publish(url, options);
            const int seen = server.counted();
            server.cut(0, u"never"_s);
            const QByteArray live = liveIndex();
            QVERIFY2(live == oldIndex || live == fileBytes(app->output() + u"/index.html"_s),
                     qPrintable(u"cut %1: %2"_s.arg(n).arg(report.message)));
            if (every && n > 1 && seen < n)
                break; // none left to cut
            QVERIFY(how.value(2) != "damage"_L1 || report.message.contains("arrived damaged"_L1));
            if (how.size() == 1) // nothing cut on the way
                QVERIFY2(report.published() &&
                             report.notes.value(0).contains(
                                 cut == "restart"_L1 ? "The 3 pages online are the ones published"
                                                     : "could not be fetched"),
                         qPrintable(report.message + report.notes.join(u'|')));
            else
                // A cut at the removal of a stale copy costs the publish nothing.
                QVERIFY2(
                    (every && report.published()) ||
                        (!report.published() && report.message.contains(QRegularExpression(
                                                    u"^(Listing|Sending|Removing|Reading) \\S+ "
                                                    "failed: .*(live funnel|funnel is live)"_s))),
                    qPrintable(u"cut %1: %2"_s.arg(n).arg(report.message)));
            QStringList missing;
            const auto local = filesIn(app->output());
            const auto there = siteFiles();
            for (auto it = local.begin(); it != local.end(); ++it)
                if (there.value(it.key()) != it.value())
                    missing << it.key();
            attempts = 2;
            PUBLISHED(publish(url));
            sent.sort();
            QVERIFY2(!s3row || sent == missing, qPrintable(sent.join(u' ')));
            QCOMPARE(siteFiles(), local);
            if (!every)
                break;
        }
    }

    // As OpenSSH writes it: hashed names, another host first, and the server's
    // RSA key only, which must be asked for as rsa-sha2 (OpenSSH refuses SHA-1).
    // Back to the funnel before the last publish, a cancelled one too; undoing the undo redoes.
    void undoPutsTheServerBackAndRedoes_data() {
        QTest::addColumn<QString>("url");
        QTest::newRow("sftp") << sftp.url();
        QTest::newRow("ftp") << plain.url(u"ftp"_s);
        QTest::newRow("ftps") << ftp.url(u"ftps"_s);
    }
    void undoPutsTheServerBackAndRedoes() {
        QFETCH(QString, url);
        const QString server = serverOf(url).site();
        const auto undo = [&] { return publish(url, {}, {}, false, true); };
        PUBLISHED(publish(url));
        const auto first = filesIn(server);
        // New page numbers and a new headline: pages added, replaced and removed.
        settings.deriveFunnelLinks(58, 13);
        settings.txtFunnel_LeadLine1 = u"A new headline"_s;
        build();
        PUBLISHED(publish(url));
        const auto second = filesIn(server);
        PUBLISHED(undo());
        QCOMPARE(sent.last(), u"index.html"_s);
        QCOMPARE(filesIn(server), first);
        PUBLISHED(undo());
        QCOMPARE(filesIn(server), second);
        // The record after an undo holds: the next publish sends what differs.
        PUBLISHED(undo());
        PUBLISHED(publish(url));
        QCOMPARE(filesIn(server), second);
        settings.deriveFunnelLinks(59, 14); // three pages to send, cancelled before the third
        build();
        const PublishReport cancelled = publish(url, {}, [&] { return sent.size() >= 2; });
        QCOMPARE(cancelled.outcome, PublishReport::Outcome::Cancelled);
        PUBLISHED(undo());
        QCOMPARE(filesIn(server), second);
        // A state file that names a place outside the folder is refused whole.
        writeFile(server + u"/.tandrel-undo/undo.json"_s, R"({"kept": {"../escape.html": "0"}})");
        QVERIFY(undo().message.contains("is damaged"_L1));
        QVERIFY(!QFile::exists(server + u"/../escape.html"_s));
    }

    // The extra login of a server that needs TLS 1.2 is paid at the first run, not at every run.
    void aServerNeedingTls12IsRememberedAcrossRuns() {
        ConnectionOptions options;
        options.memoryFile = app->path(u"tandrel.ini"_s);
        const QString key = u"ftpsNeedsTls12/127.0.0.1:%1"_s.arg(vsftp.port);
        for (const int run : {1, 2, 3}) {
            vsftp.clear(); // every file goes: more data connections than TLS 1.3 tickets
            const qsizetype refused = fileBytes(vsftp.log()).count("\"522 ");
            PUBLISHED(publish(vsftp.url(), options));
            // The third run finds the memory a month old and asks the server again.
            QCOMPARE(fileBytes(vsftp.log()).count("\"522 ") > refused, run != 2);
            QSettings memory(options.memoryFile, QSettings::IniFormat);
            const QDateTime since = memory.value(key).toDateTime();
            QVERIFY(since.secsTo(QDateTime::currentDateTimeUtc()) < 60);
            memory.setValue(key, since.addDays(run == 2 ? -31 : 0));
        }
    }

    void theHistoryKeepsTheNewestAndSetsADamagedFileAside() {
        const QString file = app->path(QLatin1String(kPublishHistoryName));
        writeFile(file, "{not json");
        PublishEvent event;
        for (event.filesSent = 0; event.filesSent < kHistoryLength + 2; ++event.filesSent)
            QVERIFY(addToPublishHistory(file, event));
        QCOMPARE(fileBytes(file + u".damaged"_s), "{not json");
        const auto events = readPublishHistory(file);
        QCOMPARE(events->size(), kHistoryLength);
        QCOMPARE(events->first().filesSent, kHistoryLength + 1);
    }

    void knownHostsAsOpenSshWritesThem() {
        const QString file = home.filePath(u"known_hosts"_s);
        writeFile(file, ("example.org " + sftp.knownHostsLine().section(u' ', 1) +
                         sftp.knownHostsLine(u"host-rsa"_s))
                            .toUtf8());
        QVERIFY(run(u"ssh-keygen"_s, {u"-H"_s, u"-f"_s, file}));
        ConnectionOptions options;
        options.knownHostsFile = file;
        options.trustNewHostKey = [](const HostKeyQuestion&) { return false; };
        PUBLISHED(publish(sftp.url(), options));
    }

    // What is sent was read before the first file went: a build meanwhile waits.
    void aBuildDuringAPublishChangesNothingSent() {
        const auto before = filesIn(app->output());
        settings.txtFunnel_LeadLine1 = u"Built while publishing"_s;
        settings.deriveFunnelLinks(62, 63);
        const PublishReport report = publish(sftp.url(), {}, [&] {
            if (sent.size() == 1)
                build();
            return false;
        });
        PUBLISHED(report);
        QCOMPARE(filesIn(sftp.root()), before);
    }

    // A size no file can have, in the server's record, counts as unknown: the files go again.
    void anImpossibleSizeInTheRecord() {
        PUBLISHED(publish(sftp.url()));
        const QString record = sftp.root() + u'/' + QLatin1String(kPublishRecordName);
        writeFile(record,
                  QString::fromUtf8(fileBytes(record))
                      .replace(QRegularExpression(u"\"size\": \\d+"_s), u"\"size\": 1e300"_s)
                      .toUtf8());
        const auto report = publish(sftp.url());
        QVERIFY(report.published() && sent.size() == filesIn(app->output()).size());
    }

    // Cancel stops the file under way, leaves nothing half-written and the
    // live funnel as it was, and what arrived before it is not sent again.
    void cancelStopsTheFileUnderWay_data() {
        QTest::addColumn<QString>("url");
        QTest::newRow("sftp") << sftp.url();
        QTest::newRow("ftps") << ftp.url(u"ftps"_s);
    }
    void cancelStopsTheFileUnderWay() {
        QFETCH(QString, url);
        const QString folder = serverOf(url).site();
        PUBLISHED(publish(url));
        const QByteArray oldIndex = fileBytes(folder + u"/index.html"_s);
        settings.txtFunnel_LeadLine1 = u"A new headline"_s;
        build();
        writeFile(app->output() + u"/a.txt"_s, "sent before big.bin");
        writeFile(app->output() + u"/big.bin"_s, QByteArray(5 << 20, 'x'));
        // New to the server, it goes under its own name.
        const QString part = folder + u"/big.bin"_s;
        bool cancelled = false; // as a click on Cancel, for good
        const auto report =
            publish(url, {}, [&] { return cancelled = cancelled || QFileInfo(part).size() > 0; });
        QCOMPARE(report.outcome, PublishReport::Outcome::Cancelled);
        QCOMPARE(sent, (QStringList{"a.txt", "big.bin"}));
        QVERIFY(!QFile::exists(part) && !QFile::exists(folder + u"/.big.bin.tandrel-part"_s));
        QCOMPARE(fileBytes(folder + u"/index.html"_s), oldIndex);
        PUBLISHED(publish(url));
        QCOMPARE(sent.value(0), u"big.bin"_s);
        QCOMPARE(filesIn(folder), filesIn(app->output()));
    }

    // What a wrong setting or an unwilling server is told as; nothing is sent.
    void refusals_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("message");
        const QString ftps = ftp.url(u"ftps"_s);
        QTest::newRow("wrong password") << ftps << "refused the user name or password";
        QTest::newRow("unknown host key, not trusted") << sftp.url() << "is not trusted yet";
        QTest::newRow("changed host key") << sftp.url() << "it may be an impostor";
        QTest::newRow("certificate nobody vouches for")
            << ftps << "certificate could not be verified";
        QTest::newRow("ftps never falls back to plain FTP")
            << plain.url(u"ftps"_s) << "does not offer encryption";
        QTest::newRow("a folder the server will not write") << ftps << "refused access";
        QTest::newRow("a sub-folder the server will not make")
            << sftp.url(sftp.root() + u"/new"_s) << "refused to make the folder";
        QTest::newRow("a file name that is no text") << sftp.url() << "cannot be sent";
        QTest::newRow("a file name with a line break") << sftp.url() << "cannot be sent";
    }
    void refusals() {
        QFETCH(QString, url);
        QFETCH(QString, message);
        const QByteArray row = QTest::currentDataTag();
        const QString file = home.filePath(u"known_hosts"_s);
        const QString folder = serverOf(url).site();
        const QString knownHosts =
            row == "changed host key"
                ? u"[127.0.0.1]:%1 ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIO"
                  "8V8w+aYzRQu77FouGtCU3MFby6kQ/oDeMbeYvG1YT1"_s.arg(sftp.port)
            : row.startsWith("a sub-folder") ? sftp.knownHostsLine()
                                             : QString();
        writeFile(file, knownHosts.toUtf8());
        ConnectionOptions options;
        options.knownHostsFile = file;
        options.password = row == "wrong password" ? u"wrong-one"_s : QString();
        if (row.startsWith("certificate"))
            options.caFile = u"/etc/ssl/certs/ca-certificates.crt"_s;
        options.trustNewHostKey = [&](const HostKeyQuestion&) {
            return !row.startsWith("unknown");
        };
        const bool readOnly = row.startsWith("a folder");
        if (row.startsWith("a file name")) {
            const QByteArray name = row.endsWith("break") ? "two\nlines.html" : "\xff.html";
            QVERIFY(::close(::open((QFile::encodeName(app->output()) + '/' + name).constData(),
                                   O_CREAT | O_WRONLY, 0644)) == 0);
        }
        if (readOnly) {
            QDir().mkpath(folder);
            QVERIFY(::chown(QFile::encodeName(folder).constData(), 65534, 65534) == 0);
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
        }
        if (row.startsWith("a sub-folder"))
            sftp.cut(0, u"never nomkdir"_s);
        const auto report = publish(url, options);
        sftp.cut(0, u"never"_s);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(report.outcome, PublishReport::Outcome::Failed);
        QVERIFY2(report.message.contains(message) && !report.message.contains(ftp.password),
                 qPrintable(report.message));
        // A failure while sending names the file: the copies kept for an undo go before the
        // funnel's.
        const bool sendFails = readOnly || row.startsWith("a sub-folder");
        QVERIFY(sent.isEmpty());
        QCOMPARE(report.message.startsWith("Sending .tandrel-undo/undo.json failed"), sendFails);
        QVERIFY(filesIn(folder).isEmpty());
        QCOMPARE(fileBytes(file), knownHosts.toUtf8());
    }

    // S3-compatible storage: each object written in place, its ETag the stamp.
    void s3Storage_data() {
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<S3Server::Via>("via");
        QTest::newRow("1 connection") << "one" << S3Server::Via::Storage;
        QTest::newRow("4 connections") << "four" << S3Server::Via::Storage;
        QTest::newRow("virtual-hosted") << "vhost" << S3Server::Via::BucketHost;
    }
    void s3Storage() {
        QFETCH(QString, prefix);
        QFETCH(S3Server::Via, via);
        const QString url = s3.url(prefix), web = s3.endpoint + "/site/"_L1 + prefix + u'/';
        ConnectionOptions options = s3.options(via);
        QFile::remove(s3.cut->dir.filePath(u"host"_s));
        PUBLISHED(publish(url, options));
        // The bucket in the host name, as the storage was asked.
        QCOMPARE(fileBytes(s3.cut->dir.filePath(u"host"_s)).startsWith("site.localhost:"),
                 via == S3Server::Via::BucketHost);
        const auto first = filesIn(app->output());
        QCOMPARE(s3.files(prefix), first);
        // What a browser or a CDN in front is told, asked without a key.
        const QString picture = first.keys().filter(QRegularExpression(u"\\.webp$"_s)).value(0);
        for (const auto& [name, type, cache] :
             {std::tuple{u"index.html"_s, "text/html; charset=utf-8", "public, max-age=60"},
              {picture, "image/webp", "public, max-age=86400"}}) {
            QByteArray head;
            QVERIFY2(run(u"curl"_s, {"-sfI", web + name}, {}, &head), qPrintable(web + name));
            QVERIFY2(head.contains("Content-Type: "_ba + type) &&
                         head.contains("Cache-Control: "_ba + cache),
                     head.constData());
        }
        PublishReport report = publish(url, options);
        QVERIFY(report.published() && sent.isEmpty() && report.unchanged == first.size());

        settings.txtFunnel_LeadLine1 = u"A new headline"_s;
        build();
        const PublishReport dry = publish(url, options, {}, true);
        QCOMPARE(dry.plan.lines().join(u'|').section(u' ', 0, 1), "replace index.html"_L1);
        QCOMPARE(s3.files(prefix), first);
        pageUrls = {web + "index.html"_L1}; // fetched back through the bucket's web address
        report = publish(url, options);
        QVERIFY2(report.published() && sent == QStringList{u"index.html"_s} &&
                     report.notes.value(0).startsWith("The page online"_L1),
                 qPrintable(report.message + report.notes.join(u' ')));
        QCOMPARE(s3.files(prefix), filesIn(app->output()));
        PUBLISHED(publish(url, options, {}, false, true));
        QCOMPARE(s3.files(prefix), first);

        options.password = u"not-the-secret"_s;
        QVERIFY(publish(url, options).message.contains("refused the secret key"_L1));
        QVERIFY(publish(s3.url(prefix).replace("@site/"_L1, "@nosuchbucket/"_L1), s3.options())
                    .message.contains("there is no bucket \"nosuchbucket\""_L1));
    }

    void commandLine_data() {
        QTest::addColumn<QString>("extra");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("published, new host key accepted")
            << "--accept-new-host-key" << 0 << "Published: 3 pages";
        QTest::newRow("dry run") << "--accept-new-host-key --dry-run" << 0 << "Nothing was written";
        QTest::newRow("new host key refused") << "" << 1 << "--accept-new-host-key";
        QTest::newRow("nothing built") << "" << 2 << "has not been built";
        QTest::newRow("built from other settings") << "" << 2 << "other settings than";
        QTest::newRow("no address") << "" << 2 << "--to";
        QTest::newRow("key file missing")
            << "--key /nowhere/key" << 1 << "/nowhere/key does not exist";
        QTest::newRow("s3, path-style")
            << "--s3-path-style --s3-endpoint "_L1 + s3.endpoint << 0 << "Published: 3 pages";
        QTest::newRow("ftps, wrong password never shown")
            << "--password-env WRONG_PASSWORD" << 1 << "refused the user name or password";
    }
    void commandLine() {
        QFETCH(QString, extra);
        QFETCH(int, status);
        QFETCH(QString, message);
        const QByteArray row = QTest::currentDataTag();
        QFile::remove(home.filePath(u".ssh/known_hosts"_s));
        settings.publishTo = row == "no address"      ? QString()
                             : row.startsWith("ftps") ? ftp.url(u"ftps"_s)
                             : row.startsWith("s3")   ? s3.url(u"cli"_s)
                                                      : sftp.url();
        qputenv("TANDREL_PASSWORD", row.startsWith("s3") ? s3.secret.toUtf8() : QByteArray());
        if (row == "nothing built")
            QVERIFY(QFile::remove(buildRecordPath(AppPaths(app->path()))));
        if (row == "built from other settings")
            settings.txtThanks = u"Changed after the build"_s;
        const QString funnel = app->path(u"my.funnel.json"_s);
        QVERIFY(saveFunnelFile(funnel, settings));
        qputenv("WRONG_PASSWORD", "not-" + ftp.password.toUtf8());
        qputenv("TANDREL_CA_FILE", QFile::encodeName(ftp.certificate()));
        QStringList arguments{"publish", funnel, "--app-dir", app->path()};
        arguments << extra.split(u' ', Qt::SkipEmptyParts);
        if (!row.startsWith("ftps") && !row.startsWith("s3") && !extra.contains("--key"_L1))
            arguments << "--key" << sftp.clientKey();
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        QCOMPARE(cli::run(arguments, app->path(), outStream, errStream), status);
        QVERIFY2(err.contains(message) && !(out + err).contains(ftp.password), qPrintable(err));
        const auto history = readPublishHistory(app->path(QLatin1String(kPublishHistoryName)));
        if (status == 0) // a dry run is no publish
            QCOMPARE(history->value(0).outcome, row == "dry run" ? "" : "published");
        if (row == "dry run") // a line per file; no record, no file
            QVERIFY2(out.contains("add     index.html ") && filesIn(sftp.site()).isEmpty(),
                     qPrintable(out));
        // The page addresses come last, for a script to pick up.
        else if (status == 0)
            QVERIFY2(out.endsWith(QStringList{settings.txtFunnelUrl, settings.txtCapture_Url,
                                              settings.txtDownloadUrl, ""}
                                      .join(u'\n')),
                     qPrintable(out));
    }
};

TANDREL_TEST(PublishTest)
#include "publish_test.moc"
