#pragma once

// Real servers on 127.0.0.1 for the publish tests: OpenSSH's sshd for SFTP
// and git, pure-ftpd and vsftpd for FTP and FTPS, lighttpd for git over https,
// radosgw for S3, each with its own folder, keys and port.

#include "publish.h"
#include "testfiles.h"

#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>

#include <pwd.h>
#include <signal.h>
#include <unistd.h>

namespace tandrel::test {

inline bool run(const QString& program, const QStringList& arguments,
                const QByteArray& input = QByteArray(), QByteArray* output = nullptr) {
    QProcess p;
    p.start(program, arguments);
    p.write(input);
    p.closeWriteChannel();
    const bool ran =
        p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (output)
        *output = p.readAllStandardOutput().trimmed();
    return ran;
}

// Why a server may not have started: which of the programs they run are missing.
inline QString missingServerPrograms() {
    QStringList missing;
    for (const char* program :
         {"/usr/sbin/sshd from package openssh-server", "openssl from package openssl",
          "/usr/lib/openssh/sftp-server from package openssh-sftp-server",
          "ssh-keygen from package openssh-client", "pure-ftpd from package pure-ftpd",
          "pure-pw from package pure-ftpd", TANDREL_VSFTPD " (./run test unpacks it)",
          "lighttpd from package lighttpd",
          "/usr/lib/lighttpd/mod_openssl.so from package lighttpd-mod-openssl",
          "/usr/lib/git-core/git-http-backend from package git"}) {
        const QString name = QString::fromLatin1(program).section(u' ', 0, 0);
        if (name.startsWith(u'/') ? !QFileInfo::exists(name)
                                  : QStandardPaths::findExecutable(name).isEmpty())
            missing << QString::fromLatin1(program);
    }
    return missing.isEmpty()
               ? QStringLiteral("Every server program is installed; see their messages.")
               : "Not installed: " + missing.join(QStringLiteral(", "));
}

// Every file below a folder with its bytes; the publish record left out.
inline QMap<QString, QByteArray> filesIn(const QString& folder) {
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString name = QDir(folder).relativeFilePath(it.next());
        // What a publish keeps for itself, apart from the funnel.
        if (name != QLatin1String(kPublishRecordName) &&
            !name.startsWith(QLatin1String(kUndoFolder) + u'/'))
            files.insert(name, fileBytes(it.filePath()));
    }
    return files;
}

// A plain web server for a folder, answering from a thread of its own as the
// fetches are made on the test's: each GET of /NAME answers the file's bytes,
// or drops the connection unanswered.
struct WebThread {
    QThread thread;
    QTcpServer* server = new QTcpServer;
    explicit WebThread(const QString& folder, bool drop = false) {
        QObject::connect(server, &QTcpServer::newConnection, server, [this, folder, drop] {
            QTcpSocket* socket = server->nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [folder, socket, drop] {
                if (drop)
                    return socket->abort();
                const QString name = QString::fromUtf8(socket->readAll().split(' ').value(1));
                // A folder's address without its slash is sent on, as web servers do.
                if (!name.endsWith(u'/') && !name.section(u'/', -1).contains(u'.')) {
                    socket->write("HTTP/1.1 301 Moved Permanently\r\nLocation: " + name.toUtf8() +
                                  "/\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                    socket->disconnectFromHost();
                    return;
                }
                QFile file(folder +
                           (name.endsWith(u'/') ? name + QStringLiteral("index.html") : name));
                const bool found = !name.contains(u"..") && file.open(QIODevice::ReadOnly);
                const QByteArray body = file.readAll();
                socket->write((found ? "HTTP/1.1 200 OK" : "HTTP/1.1 404 Not Found") +
                              QByteArray("\r\nContent-Length: ") + QByteArray::number(body.size()) +
                              "\r\nConnection: close\r\n\r\n" + body);
                socket->disconnectFromHost();
            });
        });
        server->listen(QHostAddress::LocalHost, 0);
        server->moveToThread(&thread);
        QObject::connect(&thread, &QThread::finished, server, &QObject::deleteLater);
        thread.start();
    }
    QString url(const QString& name = QString()) const {
        return QStringLiteral("http://127.0.0.1:%1/%2").arg(server->serverPort()).arg(name);
    }
    ~WebThread() {
        thread.quit();
        thread.wait();
    }
};

struct Server {
    QTemporaryDir dir;
    QProcess process;
    int port = 0;
    QHostAddress address = QHostAddress(QHostAddress::LocalHost); // where it listens
    Server() {
        QDir().mkpath(root());
        cut(0, QStringLiteral("never"));
    }
    QString root() const { return dir.filePath(QStringLiteral("www")); }
    // The folder a publish to url() fills.
    virtual QString site() const { return root() + QStringLiteral("/site"); }
    // Drops the connection at the nth request of a kind from now on, as
    // tests/publish/cut says; "hide" after when takes away SFTP's one-step replace.
    void cut(int n, const QString& when, const QString& kind = QStringLiteral("change")) {
        writeFile(dir.filePath(QStringLiteral("cut")),
                  QStringLiteral("%1 %2 %3\n").arg(n).arg(kind, when).toUtf8());
        writeFile(dir.filePath(QStringLiteral("count")), "0");
    }
    // The requests of the cut kind seen since cut().
    int counted() const { return fileBytes(dir.filePath(QStringLiteral("count"))).toInt(); }
    // The whole process group: servers fork a process per connection.
    void stop() {
        if (process.state() != QProcess::NotRunning) {
            ::kill(-pid_t(process.processId()), SIGKILL);
            process.waitForFinished(5000);
        }
    }
    // On the same port, with the same settings.
    bool restart() {
        stop();
        return launch(process.program(), process.arguments());
    }
    bool launch(const QString& program, const QStringList& arguments) {
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.setChildProcessModifier([] { ::setpgid(0, 0); });
        process.start(program, arguments);
        for (int i = 0; i < 100 && process.waitForStarted(); ++i) {
            QTcpSocket socket;
            socket.connectToHost(address, quint16(port));
            if (socket.waitForConnected(100))
                return true;
            QTest::qWait(50);
        }
        return false;
    }
    void choosePort() {
        QTcpServer probe;
        probe.listen(address, 0);
        port = probe.serverPort();
    }
    virtual ~Server() { stop(); }
};

// The SFTP server runs behind tandrel-sftpcut, which can drop the connection
// at a chosen request; its home folder is dir, so "/~/www" is root().
struct SftpServer : Server {
    QString user = QString::fromLocal8Bit(getpwuid(getuid())->pw_name);
    QString site() const override { return root(); }
    QString clientKey() const { return dir.filePath(QStringLiteral("client")); }
    // What ssh would keep for this server in known_hosts, for one of its keys.
    QString knownHostsLine(const QString& key = QStringLiteral("host")) const {
        const QStringList fields =
            QString::fromUtf8(fileBytes(dir.filePath(key + ".pub"))).split(u' ');
        return QStringLiteral("[127.0.0.1]:%1 %2 %3\n")
            .arg(port)
            .arg(fields.value(0), fields.value(1));
    }
    QString url(const QString& folder = QString()) const {
        return QStringLiteral("sftp://%1@127.0.0.1:%2%3")
            .arg(user)
            .arg(port)
            .arg(folder.isEmpty() ? root() : folder);
    }
    bool start() {
        if (getuid() == 0)
            QDir().mkpath(QStringLiteral("/run/sshd")); // sshd's privilege separation
        for (const auto& [key, type] :
             {std::pair{"host", "ed25519"}, {"host-rsa", "rsa"}, {"client", "ed25519"}})
            if (!run(QStringLiteral("ssh-keygen"),
                     {"-q", "-t", type, "-N", "", "-f", dir.filePath(key)}))
                return false;
        choosePort();
        const QString config = writeFile(
            dir.filePath(QStringLiteral("sshd_config")),
            QStringLiteral("ListenAddress 127.0.0.1\nPort %1\nHostKey %2\nHostKey %2-rsa\n"
                           "AuthorizedKeysFile %3\nPasswordAuthentication no\n"
                           "KbdInteractiveAuthentication no\nUsePAM no\nStrictModes no\n"
                           "PermitRootLogin prohibit-password\nPidFile none\n"
                           "Subsystem sftp %4 %5/cut %5/count /usr/lib/openssh/sftp-server -d %5\n")
                .arg(port)
                .arg(dir.filePath(QStringLiteral("host")), clientKey() + ".pub",
                     QStringLiteral(TANDREL_SFTPCUT), dir.path())
                .toUtf8());
        return launch(QStringLiteral("/usr/sbin/sshd"), {"-D", "-e", "-f", config});
    }
};

struct FtpServer : Server {
    QString password = QStringLiteral("s3cret-Pa55");
    QStringList extraArguments;
    QString certificate() const { return dir.filePath(QStringLiteral("cert.pem")); }
    QString url(const QString& scheme) const {
        return QStringLiteral("%1://tester@127.0.0.1:%2/site").arg(scheme).arg(port);
    }
    enum class Tls { Required, Refused };
    bool start(Tls tls = Tls::Required) {
        const QString users = dir.filePath(QStringLiteral("users"));
        const QString both = dir.filePath(QStringLiteral("server.pem"));
        // pure-ftpd maps its virtual user to an unprivileged system user.
        if (::chown(QFile::encodeName(root()).constData(), 65534, 65534) != 0 && getuid() == 0)
            return false;
        // pure-pw's own hash costs seconds of CPU per login, which on a busy
        // machine outlasts the client's wait for an answer; a SHA-512 crypt
        // line is checked at once.
        QByteArray hash;
        if (!run(QStringLiteral("openssl"), {"passwd", "-6", "-stdin"}, password.toUtf8(), &hash))
            return false;
        writeFile(users, "tester:" + hash + ":65534:65534::" + QFile::encodeName(root()) +
                             "/./::::::::::::\n");
        if (!run(QStringLiteral("pure-pw"), {"mkdb", users + ".pdb", "-f", users}) ||
            !run(QStringLiteral("openssl"),
                 {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                  "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", both,
                  "-out", certificate()}))
            return false;
        // pure-ftpd takes the key and the certificate in one file.
        writeFile(both, fileBytes(both) + fileBytes(certificate()));
        choosePort();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(TANDREL_FTPCUT));
        environment.insert(QStringLiteral("TANDREL_FTPCUT"),
                           dir.filePath(QStringLiteral("cut")) + u' ' +
                               dir.filePath(QStringLiteral("count")));
        process.setProcessEnvironment(environment);
        const QStringList arguments{"-l", "puredb:" + users + ".pdb",
                                    "-S", address.toString() + u',' + QString::number(port),
                                    "-Y", tls == Tls::Required ? "2" : "0",
                                    "-2", both,
                                    "-E", "-A",
                                    "-j", "-H",
                                    "-f", "none"};
        return launch(QStringLiteral("pure-ftpd"), arguments + extraArguments);
    }
};

// vsftpd demands the control connection's TLS session on every data
// connection; anonymous, writing as daemon (a user whose home exists, which
// vsftpd changes into before its own root) into site().
struct VsftpServer : Server {
    QString extraConfig;
    QString url() const { return QStringLiteral("ftps://anonymous@127.0.0.1:%1/site").arg(port); }
    QString log() const { return dir.filePath(QStringLiteral("vsftpd.log")); }
    // Only the site folder is writable: vsftpd refuses a writable root.
    void clear() {
        QDir(site()).removeRecursively();
        QDir().mkpath(site());
        QDir().mkpath(dir.filePath(QStringLiteral("empty")));
        const passwd* daemon = getpwnam("daemon");
        if (!daemon || ::chown(QFile::encodeName(site()).constData(), daemon->pw_uid, 0) != 0)
            qWarning("the site folder could not be handed to the user daemon");
    }
    // Without a certificate, plain FTP only.
    bool start(const QString& keyAndCertificate) {
        clear();
        choosePort();
        const QString tls =
            keyAndCertificate.isEmpty()
                ? QString()
                : QStringLiteral("ssl_enable=YES\nallow_anon_ssl=YES\nforce_anon_logins_ssl=YES\n"
                                 "force_anon_data_ssl=YES\nrequire_ssl_reuse=YES\n"
                                 "rsa_cert_file=%1\nrsa_private_key_file=%1\n")
                      .arg(keyAndCertificate);
        const QString config = writeFile(
            dir.filePath(QStringLiteral("vsftpd.conf")),
            (QStringLiteral("listen=YES\nlisten_address=%6\nlisten_port=%1\n"
                            "background=NO\nanonymous_enable=YES\nlocal_enable=NO\n"
                            "no_anon_password=YES\nftp_username=daemon\nanon_root=%2\n"
                            "write_enable=YES\nanon_upload_enable=YES\nanon_umask=022\n"
                            "anon_mkdir_write_enable=YES\nanon_other_write_enable=YES\n"
                            "secure_chroot_dir=%3\nseccomp_sandbox=NO\nisolate_network=NO\n%4"
                            "xferlog_enable=YES\nlog_ftp_protocol=YES\nvsftpd_log_file=%5\n")
                 .arg(port)
                 .arg(root(), dir.filePath(QStringLiteral("empty")), tls, log(),
                      address.toString()) +
             extraConfig)
                .toUtf8());
        return launch(QStringLiteral(TANDREL_VSFTPD), {config});
    }
};

// git's own smart HTTP server behind lighttpd, with TLS and basic auth whose
// password is the access token, as git hosts take tokens; /git/NAME is the
// bare repository NAME of the folder given to start().
struct GitHttpServer : Server {
    const QString user = QStringLiteral("ann"), token = QStringLiteral("t0ken-Not-2-Print");
    QString certificate() const { return dir.filePath(QStringLiteral("cert.pem")); }
    QString url(const QString& repository) const {
        return QStringLiteral("https://%1@localhost:%2/git/%3").arg(user).arg(port).arg(repository);
    }
    // A certificate for localhost, trusted by no one until named in SSL_CERT_FILE.
    static bool makeCertificate(const QString& certificate, const QString& key) {
        return run(QStringLiteral("openssl"),
                   {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                    "-nodes", "-days", "2", "-subj", "/CN=localhost", "-addext",
                    "subjectAltName=DNS:localhost,IP:127.0.0.1", "-keyout", key, "-out",
                    certificate});
    }
    bool start(const QString& repositories) {
        const QString key = dir.filePath(QStringLiteral("key.pem"));
        if (!makeCertificate(certificate(), key))
            return false;
        const QString users = writeFile(dir.filePath(QStringLiteral("users")),
                                        (user + u':' + token + u'\n').toUtf8());
        choosePort();
        const QString config = writeFile(
            dir.filePath(QStringLiteral("lighttpd.conf")),
            QStringLiteral("server.document-root = \"%1\"\nserver.bind = \"127.0.0.1\"\n"
                           "server.port = %2\nserver.errorlog = \"%3/error.log\"\n"
                           "server.modules = (\"mod_auth\", \"mod_authn_file\", \"mod_cgi\", "
                           "\"mod_alias\", \"mod_setenv\", \"mod_openssl\")\n"
                           "ssl.engine = \"enable\"\nssl.pemfile = \"%4\"\nssl.privkey = \"%5\"\n"
                           "auth.backend = \"plain\"\nauth.backend.plain.userfile = \"%6\"\n"
                           "auth.require = (\"/git/\" => (\"method\" => \"basic\", \"realm\" => "
                           "\"git\", \"require\" => \"valid-user\"))\n"
                           "alias.url = (\"/git/\" => \"/usr/lib/git-core/git-http-backend/\")\n"
                           "$HTTP[\"url\"] =~ \"^/git/\" {\n  cgi.assign = (\"\" => \"\")\n"
                           "  setenv.add-environment = (\"GIT_PROJECT_ROOT\" => \"%7\", "
                           "\"GIT_HTTP_EXPORT_ALL\" => \"\")\n}\n")
                .arg(root())
                .arg(port)
                .arg(dir.path(), certificate(), key, users, repositories)
                .toUtf8());
        return launch(QStringLiteral("lighttpd"), {"-D", "-f", config});
    }
};

} // namespace tandrel::test

namespace tandrel::test {

// Relays HTTP to radosgw from a thread of its own and drops the connection from
// the Nth request of a kind (put, delete, list) on, as cut() says (curl itself
// sends a request again on a kept connection that closed unanswered): before it goes
// on, after the storage acted but before the client hears, once half its body
// went ("half"), falling silent there ("stall"), or with a byte of its body
// flipped on the way ("damage").
struct HttpCut : Server {
    QThread thread;
    explicit HttpCut(quint16 to) {
        auto* listener = new QTcpServer;
        listener->listen(QHostAddress::LocalHost, 0);
        port = listener->serverPort();
        QObject::connect(listener, &QTcpServer::newConnection, listener, [this, listener, to] {
            while (QTcpSocket* client = listener->nextPendingConnection())
                relay(client, to);
        });
        listener->moveToThread(&thread);
        QObject::connect(&thread, &QThread::finished, listener, &QObject::deleteLater);
        thread.start();
    }
    ~HttpCut() override {
        thread.quit();
        thread.wait();
    }
    QString endpoint() const { return QStringLiteral("http://127.0.0.1:%1").arg(port); }

private:
    // The request of kind the cut names, counted; its action when it is the Nth.
    QString counts(const QByteArray& head) {
        const QByteArray line = head.left(head.indexOf('\r'));
        static const QRegularExpression host(QStringLiteral("\r\nhost: *(\\S+)"),
                                             QRegularExpression::CaseInsensitiveOption);
        writeFile(dir.filePath(QStringLiteral("host")),
                  host.match(QString::fromLatin1(head)).captured(1).toLatin1());
        const QString kind = line.startsWith("PUT ")      ? QStringLiteral("put")
                             : line.startsWith("DELETE ") ? QStringLiteral("delete")
                             : line.contains("list-type") ? QStringLiteral("list")
                                                          : QString();
        const QStringList cut = QString::fromUtf8(fileBytes(dir.filePath("cut"))).split(u' ');
        if (kind.isEmpty() || cut.value(1) != kind)
            return {};
        const int count = counted() + 1;
        writeFile(dir.filePath(QStringLiteral("count")), QByteArray::number(count));
        const int from = cut.value(0).toInt();
        return from > 0 && count >= from ? cut.value(2).trimmed() : QString();
    }
    void relay(QTcpSocket* client, quint16 to) {
        auto* server = new QTcpSocket(client);
        server->connectToHost(QHostAddress::LocalHost, to);
        struct State {
            QByteArray buffer;
            qint64 bodyLeft = 0, half = -1; // half: body bytes until the cut
            QString act;
        };
        auto state = std::make_shared<State>();
        const auto drop = [client] {
            client->abort();
            client->deleteLater();
        };
        QObject::connect(
            client, &QTcpSocket::readyRead, client, [this, client, server, state, drop] {
                State& s = *state;
                s.buffer += client->readAll();
                while (!s.buffer.isEmpty()) {
                    if (s.act == QLatin1String("stall") && s.half == 0)
                        return s.buffer.clear(); // silent until the client gives up
                    if (s.bodyLeft == 0) {
                        const qsizetype end = s.buffer.indexOf("\r\n\r\n");
                        if (end < 0)
                            return;
                        const QByteArray head = s.buffer.left(end + 4);
                        s.buffer.remove(0, end + 4);
                        static const QRegularExpression length(
                            QStringLiteral("\r\ncontent-length: *(\\d+)"),
                            QRegularExpression::CaseInsensitiveOption);
                        s.bodyLeft =
                            length.match(QString::fromLatin1(head)).captured(1).toLongLong();
                        s.act = counts(head);
                        s.half = s.act == QLatin1String("half") || s.act == QLatin1String("stall")
                                     ? s.bodyLeft / 2
                                     : -1;
                        if (s.act == QLatin1String("before"))
                            return drop();
                        server->write(head);
                        continue;
                    }
                    QByteArray body = s.buffer.left(s.bodyLeft);
                    s.buffer.remove(0, body.size());
                    s.bodyLeft -= body.size();
                    if (s.act == QLatin1String("damage") && !body.isEmpty()) {
                        body[0] = char(body[0] ^ 1);
                        s.act.clear();
                    } else if (s.half >= 0) {
                        body.truncate(std::min<qint64>(body.size(), s.half));
                        s.half -= body.size();
                    }
                    server->write(body);
                    if (s.half == 0 && s.act == QLatin1String("half"))
                        return drop();
                }
            });
        QObject::connect(server, &QTcpSocket::readyRead, client, [client, server, state, drop] {
            if (state->act == QLatin1String("after"))
                return drop();
            client->write(server->readAll());
        });
        QObject::connect(server, &QTcpSocket::disconnected, client, [client, server] {
            client->write(server->readAll());
            client->disconnectFromHost();
        });
        QObject::connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
    }
};

// Ceph's radosgw on a one-node cluster, its bucket "site" readable by anyone;
// each test's funnel below a prefix of its own.
struct S3Server {
    QTemporaryDir dir;
    QString endpoint;
    std::unique_ptr<HttpCut> cut; // in front of it
    const QString key = QStringLiteral("TANDRELTESTKEY"), secret = QStringLiteral("t3st-s3cret");
    bool start() {
        QTcpServer mon, rgw;
        mon.listen(QHostAddress::LocalHost, 0);
        rgw.listen(QHostAddress::LocalHost, 0);
        const QStringList arguments{dir.path(),
                                    QString::number(mon.serverPort()),
                                    QString::number(rgw.serverPort()),
                                    key,
                                    secret,
                                    "site"};
        mon.close();
        rgw.close();
        QByteArray out;
        const bool started = run(QStringLiteral(TANDREL_RADOSGW), arguments, {}, &out);
        endpoint = QString::fromUtf8(out);
        cut = std::make_unique<HttpCut>(quint16(endpoint.section(u':', -1).toUInt()));
        return started;
    }
    QString url(const QString& prefix) const {
        return QStringLiteral("s3://%1@site/%2").arg(key, prefix);
    }
    enum class Via { Storage, Cut, BucketHost };
    // BucketHost: "site.localhost", which curl finds on the loopback and radosgw reads as the
    // bucket.
    ConnectionOptions options(Via via = Via::Storage) const {
        ConnectionOptions o;
        o.password = secret;
        o.s3Endpoint = via == Via::Storage ? endpoint : cut->endpoint();
        o.s3PathStyle = via != Via::BucketHost;
        if (via == Via::BucketHost)
            o.s3Endpoint.replace(QStringLiteral("127.0.0.1"), QStringLiteral("localhost"));
        return o;
    }
    // Every object below the prefix with its bytes, read back the way a publish reads;
    // with `all`, the publish's record and undo copies too.
    QMap<QString, QByteArray> files(const QString& prefix, bool all = false) const {
        QMap<QString, QByteArray> files;
        RemoteFolder remote(*parsePublishTarget(url(prefix)), options());
        QStringList folders{QString()};
        while (!folders.isEmpty()) {
            const QString folder = folders.takeFirst();
            const auto listing = remote.list(folder);
            for (auto it = listing->begin(); it != listing->end(); ++it) {
                const QString path = folder.isEmpty() ? it.key() : folder + u'/' + it.key();
                if (it->folder && (all || path != QLatin1String(kUndoFolder)))
                    folders << path;
                else if (!it->folder && (all || path != QLatin1String(kPublishRecordName)))
                    files.insert(path, remote.read(path)->value());
            }
        }
        return files;
    }
    // The objects below the prefix made exactly these.
    void restore(const QString& prefix, const QMap<QString, QByteArray>& objects) const {
        RemoteFolder remote(*parsePublishTarget(url(prefix)), options());
        const auto now = files(prefix, true);
        for (auto it = now.begin(); it != now.end(); ++it)
            if (!objects.contains(it.key()))
                QVERIFY(remote.remove(it.key()));
        for (auto it = objects.begin(); it != objects.end(); ++it)
            if (now.value(it.key()) != it.value())
                QVERIFY(remote.put(it.value(), it.key()));
    }
    ~S3Server() {
        for (const QString& name : QDir(dir.filePath("run")).entryList({"*.pid"}))
            ::kill(pid_t(fileBytes(dir.filePath("run/" + name)).trimmed().toInt()), SIGKILL);
    }
};

} // namespace tandrel::test
