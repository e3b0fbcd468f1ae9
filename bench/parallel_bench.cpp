// How long publishing 200 files of 10 KB takes over a link with a 50 ms round
// trip, through the program's publish with one and with four connections and
// through `lftp mirror --parallel=4`, to SFTP (sshd) and FTPS (pure-ftpd); then
// a smaller funnel to an FTPS server that needs TLS 1.2 for its data
// connections (vsftpd), the first publish and a later one against plain FTP.
// The servers run on this machine behind a relay that holds every packet back
// 25 ms each way, as the machine has no netem. `./run bench` runs it:
//   tandrel-bench-parallel [files] [runs]

#include "publish.h"
#include "servers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <semaphore>

using namespace tandrel;
using namespace tandrel::test;
using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kDelayMs = 25; // each way

// One direction of a relayed connection: what arrived, held until its time.
class Lane : public QObject {
public:
    Lane(QTcpSocket* from, QTcpSocket* to, QObject* parent) : QObject(parent), m_to(to) {
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, &Lane::deliver);
        connect(from, &QTcpSocket::readyRead, this, [this, from] { hold(from->readAll()); });
        // The end of the stream travels as late as its last bytes.
        connect(from, &QTcpSocket::disconnected, this, [this, from] {
            if (from->isOpen())
                hold(from->readAll());
            m_closeAt = m_clock.elapsed() + kDelayMs;
            schedule();
        });
        m_clock.start();
    }

private:
    void hold(const QByteArray& bytes) {
        if (bytes.isEmpty())
            return;
        m_queue.push_back({m_clock.elapsed() + kDelayMs, bytes});
        schedule();
    }
    void schedule() {
        if (m_timer.isActive())
            return;
        const qint64 next = !m_queue.empty() ? m_queue.front().first : m_closeAt;
        if (next >= 0)
            m_timer.start(int(std::max<qint64>(0, next - m_clock.elapsed())));
    }
    void deliver() {
        while (!m_queue.empty() && m_queue.front().first <= m_clock.elapsed()) {
            m_to->write(m_queue.front().second);
            m_queue.pop_front();
        }
        if (m_queue.empty() && m_closeAt >= 0 && m_closeAt <= m_clock.elapsed()) {
            m_to->disconnectFromHost();
            m_closeAt = -1;
        }
        schedule();
    }

    QTcpSocket* m_to;
    QTimer m_timer;
    QElapsedTimer m_clock;
    std::deque<std::pair<qint64, QByteArray>> m_queue;
    qint64 m_closeAt = -1;
};

// Forwards ports to a server with the delay, on a thread of its own so that
// the publish under test never holds it up.
class Relay : public QThread {
public:
    struct Route {
        quint16 listenPort; // on 127.0.0.1; 0: any free one
        QHostAddress to;
        quint16 toPort;
    };
    // The ports listened on, in the order of routes.
    QList<quint16> start(const QList<Route>& routes) {
        m_routes = routes;
        QThread::start();
        m_ready.acquire();
        return m_ports;
    }
    ~Relay() override {
        quit();
        wait();
    }

protected:
    void run() override {
        QObject owner;
        for (const Route& route : m_routes) {
            auto* server = new QTcpServer(&owner);
            if (!server->listen(QHostAddress::LocalHost, route.listenPort))
                qFatal("the relay cannot listen on port %d", route.listenPort);
            m_ports << server->serverPort();
            QObject::connect(server, &QTcpServer::newConnection, server, [server, route] {
                while (QTcpSocket* client = server->nextPendingConnection()) {
                    // Both ends and both lanes, gone once both ends are closed.
                    auto* pipe = new QObject(server);
                    client->setParent(pipe);
                    auto* upstream = new QTcpSocket(pipe);
                    // No Nagle in the relay: the delay is the only one it adds.
                    client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
                    QObject::connect(upstream, &QTcpSocket::connected, upstream, [upstream] {
                        upstream->setSocketOption(QAbstractSocket::LowDelayOption, 1);
                    });
                    new Lane(client, upstream, pipe);
                    new Lane(upstream, client, pipe);
                    QObject::connect(upstream, &QTcpSocket::errorOccurred, client,
                                     [client](QAbstractSocket::SocketError error) {
                                         if (error != QAbstractSocket::RemoteHostClosedError)
                                             client->abort();
                                     });
                    for (QTcpSocket* end : {client, upstream})
                        QObject::connect(
                            end, &QTcpSocket::disconnected, pipe, [pipe, client, upstream] {
                                if (client->state() == QAbstractSocket::UnconnectedState &&
                                    upstream->state() == QAbstractSocket::UnconnectedState)
                                    pipe->deleteLater();
                            });
                    upstream->connectToHost(route.to, route.toPort);
                }
            });
        }
        m_ready.release();
        exec();
    }

private:
    QList<Route> m_routes;
    QList<quint16> m_ports;
    std::binary_semaphore m_ready{0};
};

// A run of free ports on both addresses, for the FTP servers' passive data connections.
quint16 freePortRun(int count) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto first = quint16(QRandomGenerator::global()->bounded(20000, 60000));
        bool free = true;
        for (int i = 0; i < count && free; ++i)
            for (const auto* address : {"127.0.0.1", "127.0.0.2"}) {
                QTcpServer probe;
                free = free &&
                       probe.listen(QHostAddress(QString::fromLatin1(address)), quint16(first + i));
            }
        if (free)
            return first;
    }
    qFatal("no run of free ports");
}

constexpr int kPassivePorts = 48;

QList<Relay::Route> passiveRoutes(quint16 first) {
    QList<Relay::Route> routes;
    for (int i = 0; i < kPassivePorts; ++i)
        routes.append({quint16(first + i), QHostAddress(u"127.0.0.2"_s), quint16(first + i)});
    return routes;
}

// A funnel folder of files of 10 KB each and one page, in a folder of the
// same shape as the build writes.
QString makeFolder(const QString& folder, int files) {
    QDir().mkpath(folder + u"/images"_s);
    QByteArray bytes(10000, Qt::Uninitialized);
    QRandomGenerator random(1);
    for (int n = 0; n < files; ++n) {
        random.fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
        writeFile(folder + u"/images/file%1.bin"_s.arg(n), bytes);
    }
    writeFile(folder + u"/index.html"_s, "<!doctype html><title>Bench</title><p>Bench</p>\n");
    return folder;
}

double seconds(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e9;
}

double publishOnce(const QString& url, ConnectionOptions options, const QString& folder,
                   int connections) {
    const auto target = parsePublishTarget(url);
    if (!target)
        qFatal("%s", qPrintable(target.error()));
    options.trustNewHostKey = [](const HostKeyQuestion&) { return true; };
    RemoteFolder remote(*target, options);
    PublishRequest request;
    request.outputFolder = folder;
    request.pages = {u"index.html"_s};
    request.connections = connections;
    QElapsedTimer timer;
    timer.start();
    const PublishReport report = publishFunnel(remote, request);
    if (!report.published())
        qFatal("%s: %s", qPrintable(url), qPrintable(report.message));
    return seconds(timer);
}

double lftpOnce(const QString& script) {
    QProcess lftp;
    lftp.setProcessChannelMode(QProcess::ForwardedChannels);
    QElapsedTimer timer;
    timer.start();
    lftp.start(u"lftp"_s, {u"-c"_s, script});
    if (!lftp.waitForFinished(600000) || lftp.exitCode() != 0)
        qFatal("lftp failed: %s", qPrintable(script));
    return seconds(timer);
}

// The best of the runs, each into an empty folder: the figure least disturbed
// by whatever else the machine did.
template <typename Run> double best(int runs, const std::function<void()>& empty, Run run) {
    double fastest = 1e9;
    for (int i = 0; i < runs; ++i) {
        empty();
        fastest = std::min(fastest, run());
    }
    return fastest;
}

void clearFolder(const QString& folder) {
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    // pure-ftpd writes as nobody.
    if (::chown(QFile::encodeName(folder).constData(), 65534, 65534) != 0 && getuid() == 0)
        qFatal("cannot hand %s over", qPrintable(folder));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 200;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    const QString parts = argc > 3 ? QString::fromLocal8Bit(argv[3]) : u"sftp,ftps,tls"_s;
    if (QStandardPaths::findExecutable(u"lftp"_s).isEmpty()) {
        std::fprintf(stderr, "lftp is not installed (package lftp; ./run bench installs it)\n");
        return 2;
    }
    QTemporaryDir work;
    qputenv("HOME", QFile::encodeName(work.path()));
    const QString folder = makeFolder(work.filePath(u"funnel"_s), files);

    SftpServer sftp;
    FtpServer ftps;
    ftps.address = QHostAddress(u"127.0.0.2"_s);
    const quint16 passive = freePortRun(kPassivePorts);
    ftps.extraArguments = {u"-P"_s, u"127.0.0.1"_s, u"-p"_s,
                           u"%1:%2"_s.arg(passive).arg(passive + kPassivePorts - 1)};
    if (!sftp.start() || !ftps.start())
        qFatal("%s", qPrintable(missingServerPrograms()));

    Relay relay;
    const QList<quint16> ports =
        relay.start(QList<Relay::Route>{{0, QHostAddress::LocalHost, quint16(sftp.port)},
                                        {0, ftps.address, quint16(ftps.port)}} +
                    passiveRoutes(passive));
    const QString sftpUrl =
        u"sftp://%1@127.0.0.1:%2%3"_s.arg(sftp.user).arg(ports[0]).arg(sftp.root());
    const QString ftpsUrl = u"ftps://tester@127.0.0.1:%1/site"_s.arg(ports[1]);

    ConnectionOptions sftpOptions;
    sftpOptions.keyFile = sftp.clientKey();
    sftpOptions.knownHostsFile = work.filePath(u"known_hosts"_s);
    ConnectionOptions ftpsOptions;
    ftpsOptions.password = ftps.password;
    ftpsOptions.caFile = ftps.certificate();

    const QString lftpSftp =
        u"set sftp:connect-program 'ssh -a -x -i %1 -o StrictHostKeyChecking=no "
        "-o UserKnownHostsFile=/dev/null -o LogLevel=ERROR'; open -u %2, sftp://127.0.0.1:%3; "
        "mirror -R --parallel=4 %4 %5"_s.arg(sftp.clientKey(), sftp.user)
            .arg(ports[0])
            .arg(folder, sftp.root());
    const QString lftpFtps =
        u"set ftp:ssl-force true; set ftp:ssl-protect-data true; set ssl:ca-file %1; "
        "open -u tester,%2 ftp://127.0.0.1:%3; mirror -R --parallel=4 %4 /site"_s
            .arg(ftps.certificate(), ftps.password)
            .arg(ports[1])
            .arg(folder);

    std::printf("%d files of 10 KB and a page, %d ms round trip, best of %d runs:\n", files,
                2 * kDelayMs, runs);
    std::printf("%-6s %14s %14s %22s\n", "", "1 connection", "4 connections",
                "lftp mirror --parallel=4");
    const auto emptySftp = [&] { clearFolder(sftp.root()); };
    const auto emptyFtps = [&] { clearFolder(ftps.site()); };
    for (const auto& [name, url, options, empty, script] :
         {std::tuple{"SFTP", sftpUrl, sftpOptions, std::function<void()>(emptySftp), lftpSftp},
          std::tuple{"FTPS", ftpsUrl, ftpsOptions, std::function<void()>(emptyFtps), lftpFtps}}) {
        if (!parts.contains(QString::fromLatin1(name).toLower()))
            continue;
        const double one = best(runs, empty, [&] { return publishOnce(url, options, folder, 1); });
        const double four = best(runs, empty, [&] { return publishOnce(url, options, folder, 4); });
        const double lftp = best(runs, empty, [&] { return lftpOnce(script); });
        std::printf("%-6s %12.2f s %12.2f s %20.2f s\n", name, one, four, lftp);
        std::fflush(stdout);
    }

    // An FTPS server that refuses TLS 1.3 sessions on its data connections,
    // against the same server without TLS.
    if (!parts.contains(u"tls"_s))
        return 0;
    const int small = 20;
    const QString smallFolder = makeFolder(work.filePath(u"small"_s), small - 1);
    const quint16 vsPassive = freePortRun(kPassivePorts);
    const auto vsftpd = [&](bool tls) {
        auto server = std::make_unique<VsftpServer>();
        server->address = QHostAddress(u"127.0.0.2"_s);
        server->extraConfig =
            u"pasv_address=127.0.0.1\npasv_min_port=%1\npasv_max_port=%2\n"_s.arg(vsPassive).arg(
                vsPassive + kPassivePorts - 1);
        if (!server->start(tls ? ftps.dir.filePath(u"server.pem"_s) : QString()))
            qFatal("%s", qPrintable(missingServerPrograms()));
        return server;
    };
    const auto tlsServer = vsftpd(true);
    const auto plainServer = vsftpd(false);
    Relay vsRelay;
    const QList<quint16> vsPorts =
        vsRelay.start(QList<Relay::Route>{{0, tlsServer->address, quint16(tlsServer->port)},
                                          {0, plainServer->address, quint16(plainServer->port)}} +
                      passiveRoutes(vsPassive));
    ConnectionOptions vsOptions;
    vsOptions.caFile = ftps.certificate();
    vsOptions.memoryFile = work.filePath(u"tandrel.ini"_s);
    const QString tlsUrl = u"ftps://anonymous@127.0.0.1:%1/site"_s.arg(vsPorts[0]);
    const QString plainUrl = u"ftp://anonymous@127.0.0.1:%1/site"_s.arg(vsPorts[1]);
    const auto forget = [&] {
        QFile::remove(vsOptions.memoryFile);
        tlsServer->clear();
    };
    const double plain = best(
        runs, [&] { plainServer->clear(); },
        [&] { return publishOnce(plainUrl, vsOptions, smallFolder, 4); });
    const double first =
        best(runs, forget, [&] { return publishOnce(tlsUrl, vsOptions, smallFolder, 4); });
    if (!QFile::exists(vsOptions.memoryFile))
        qFatal("the server needing TLS 1.2 was not remembered");
    const double later = best(
        runs, [&] { tlsServer->clear(); },
        [&] { return publishOnce(tlsUrl, vsOptions, smallFolder, 4); });
    std::printf("\n%d files to vsftpd, which needs TLS 1.2 for data, 4 connections, best of %d:\n",
                small, runs);
    std::printf("plain FTP %.2f s, FTPS first publish %.2f s (%.2fx), later %.2f s (%.2fx)\n",
                plain, first, first / plain, later, later / plain);
    return 0;
}
