#include "transport.h"

#include "textfiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

#include <libssh/libssh.h>
#include <libssh/sftp.h>

#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <sys/socket.h>
#include <thread>

namespace tandrel {

namespace {

// libssh waits for ever on a server that stops answering; this shuts the
// socket when no progress was reported for the given time, or on abort.
class Watchdog {
public:
    Watchdog(std::chrono::milliseconds silence, const std::atomic<bool>* abort)
        : m_silence(silence), m_abort(abort), m_thread([this] { watch(); }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    void arm(int fd) {
        std::lock_guard lock(m_mutex);
        m_fd = fd;
        m_fired = false;
        m_last = std::chrono::steady_clock::now();
    }
    void kick() {
        std::lock_guard lock(m_mutex);
        m_last = std::chrono::steady_clock::now();
    }
    void disarm() {
        std::lock_guard lock(m_mutex);
        m_fd = -1;
    }
    bool fired() const { return m_fired; }

private:
    void watch() {
        std::unique_lock lock(m_mutex);
        while (!m_stop) {
            m_wake.wait_for(lock, std::chrono::milliseconds(200));
            const bool aborted = m_abort && m_abort->load();
            if (m_fd >= 0 && (aborted || std::chrono::steady_clock::now() - m_last > m_silence)) {
                ::shutdown(m_fd, SHUT_RDWR);
                m_fd = -1;
                m_fired = true;
            }
        }
    }
    std::chrono::milliseconds m_silence;
    const std::atomic<bool>* m_abort;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    int m_fd = -1;
    bool m_stop = false;
    std::atomic<bool> m_fired = false;
    std::chrono::steady_clock::time_point m_last;
    std::thread m_thread;
};

QString keyFingerprint(ssh_key key) {
    unsigned char* hash = nullptr;
    size_t length = 0;
    if (ssh_get_publickey_hash(key, SSH_PUBLICKEY_HASH_SHA256, &hash, &length) != SSH_OK)
        return QString();
    char* text = ssh_get_fingerprint_hash(SSH_PUBLICKEY_HASH_SHA256, hash, length);
    QString fingerprint = QString::fromLatin1(text);
    ssh_string_free_char(text);
    ssh_clean_pubkey_hash(&hash);
    return fingerprint;
}

// Appended through a copy, so a full disk never leaves half a line that would
// make every later key look changed.
Status appendKnownHost(const QString& file, QByteArray line) {
    QByteArray bytes;
    if (QFileInfo::exists(file)) {
        auto old = readFileBytes(file, kTextFileLimit, QStringLiteral("The known hosts file"));
        if (!old)
            return Status::failure(old.error());
        bytes = *old;
    }
    if (!bytes.isEmpty() && !bytes.endsWith('\n'))
        bytes += '\n';
    if (!line.endsWith('\n'))
        line += '\n';
    return writeFileAtomically(file, bytes + line);
}

class SftpTransport final : public Transport {
public:
    SftpTransport(const PublishTarget& target, const ConnectionOptions& options)
        : m_target(target), m_options(options), m_watchdog(options.silence, options.abort) {
        m_knownHosts = options.knownHostsFile.isEmpty()
                           ? QDir::homePath() + QStringLiteral("/.ssh/known_hosts")
                           : options.knownHostsFile;
        m_hostLabel = target.effectivePort() == 22
                          ? target.host
                          : QStringLiteral("[%1]:%2").arg(target.host).arg(target.effectivePort());
    }
    ~SftpTransport() override { drop(); }

    Answer list(const QString& folder, RemoteListing& entries) override {
        return run([&] {
            sftp_dir dir = sftp_opendir(m_sftp, path(folder).constData());
            if (!dir)
                return failure();
            while (sftp_attributes a = sftp_readdir(m_sftp, dir)) {
                m_watchdog.kick();
                const QString name = QString::fromUtf8(a->name);
                if (name != QLatin1String(".") && name != QLatin1String(".."))
                    entries.insert(name, {a->type == SSH_FILEXFER_TYPE_DIRECTORY,
                                          qint64(a->size),
                                          QString::number(a->mtime),
                                          {}});
                sftp_attributes_free(a);
            }
            const bool whole = sftp_dir_eof(dir);
            sftp_closedir(dir);
            return whole ? Answer() : failure();
        });
    }

    Answer read(const QString& relativePath, QByteArray& bytes) override {
        return run([&] {
            sftp_file file = sftp_open(m_sftp, path(relativePath).constData(), O_RDONLY, 0);
            if (!file)
                return failure();
            char buffer[65536];
            ssize_t n = 0;
            while ((n = sftp_read(file, buffer, sizeof buffer)) > 0) {
                m_watchdog.kick();
                bytes.append(buffer, n);
            }
            sftp_close(file);
            return n == 0 ? Answer() : failure();
        });
    }

    Answer write(const QString& relativePath, const QByteArray& bytes,
                 const std::function<bool()>& stop,
                 const std::function<void(qint64)>& sent) override {
        return run([&] { return writeNow(relativePath, bytes, stop, sent); }, true);
    }

    void expectWrite(const QString& relativePath) override {
        m_nextWrite = relativePath.isEmpty() ? QByteArray() : path(relativePath);
    }

    Answer rename(const QString& from, const QString& to) override {
        return run(
            [&] {
                if (m_posixRename)
                    return posixRename(path(from), path(to));
                return sftp_rename(m_sftp, path(from).constData(), path(to).constData()) == SSH_OK
                           ? Answer()
                           : failure();
            },
            m_posixRename);
    }

    Answer remove(const QString& relativePath) override {
        return run([&] {
            return sftp_unlink(m_sftp, path(relativePath).constData()) == SSH_OK ? Answer()
                                                                                 : failure();
        });
    }

    QHash<QString, QString> exactStamps(const QString&, const QStringList&) override {
        return {}; // the listing has them
    }

    bool replacesAtomically() override { return connect().done() && m_posixRename; }

    Answer open() override { return connect(); }

    void drop() override {
        m_watchdog.disarm();
        m_lost = false;
        if (m_sftp)
            sftp_free(m_sftp);
        if (m_ssh) {
            ssh_disconnect(m_ssh);
            ssh_free(m_ssh);
        }
        m_sftp = nullptr;
        m_ssh = nullptr;
        m_ahead.reset(); // went with the connection
    }

private:
    // keepAhead: the step reads the reply to a file opened ahead itself; libssh's
    // own calls must not meet it.
    template <typename Step> Answer run(Step step, bool keepAhead = false) {
        if (Answer connected = connect(); !connected.done())
            return connected;
        m_watchdog.arm(ssh_get_fd(m_ssh));
        Answer answer = keepAhead ? Answer() : dropAhead();
        if (answer.done())
            answer = step();
        m_watchdog.disarm();
        if (m_lost)
            drop();
        return answer;
    }

    QByteArray path(const QString& relativePath) const { return (m_root + relativePath).toUtf8(); }

    Answer connect() {
        if (m_sftp)
            return Answer();
        if (!m_options.keyFile.isEmpty() && !QFileInfo(m_options.keyFile).isFile())
            return Answer::refused(QStringLiteral("the key file %1 does not exist")
                                       .arg(displayPath(m_options.keyFile)));
        m_ssh = ssh_new();
        if (!m_ssh)
            return Answer::refused(QStringLiteral("out of memory"));
        const QByteArray host = m_target.host.toUtf8();
        const QByteArray user = m_target.user.toUtf8();
        const QByteArray knownHosts = QFile::encodeName(m_knownHosts);
        const int port = m_target.effectivePort();
        const long timeout = long(std::max<qint64>(
            1, std::chrono::duration_cast<std::chrono::seconds>(m_options.silence).count()));
        ssh_options_set(m_ssh, SSH_OPTIONS_HOST, host.constData());
        ssh_options_set(m_ssh, SSH_OPTIONS_PORT, &port);
        ssh_options_set(m_ssh, SSH_OPTIONS_USER, user.constData());
        ssh_options_set(m_ssh, SSH_OPTIONS_KNOWNHOSTS, knownHosts.constData());
        ssh_options_set(m_ssh, SSH_OPTIONS_TIMEOUT, &timeout);
        if (ssh_connect(m_ssh) != SSH_OK) {
            const QString why = QString::fromUtf8(ssh_get_error(m_ssh));
            drop();
            if (why.contains(QLatin1String("resolve")))
                return Answer::refused(
                    QStringLiteral("the server name %1 is unknown").arg(m_target.host));
            return Answer::dropped(QStringLiteral("no connection to %1:%2 (%3)")
                                       .arg(m_target.host)
                                       .arg(port)
                                       .arg(why));
        }
        Answer answer = checkHostKey();
        if (answer.done())
            answer = logIn();
        if (answer.done())
            answer = startSftp();
        if (!answer.done())
            drop();
        return answer;
    }

    Answer checkHostKey() {
        ssh_key key = nullptr;
        if (ssh_get_server_publickey(m_ssh, &key) != SSH_OK)
            return Answer::dropped(QString::fromUtf8(ssh_get_error(m_ssh)));
        const QString fingerprint = keyFingerprint(key);
        ssh_key_free(key);
        switch (ssh_session_is_known_server(m_ssh)) {
        case SSH_KNOWN_HOSTS_OK:
            return Answer();
        case SSH_KNOWN_HOSTS_CHANGED:
        case SSH_KNOWN_HOSTS_OTHER:
            return Answer::refused(
                QStringLiteral("the server's host key %1 is not the one recorded for %2 in %3; "
                               "it may be an impostor (if the host really changed its key, "
                               "remove the old line from that file)")
                    .arg(fingerprint, m_hostLabel, displayPath(m_knownHosts)));
        case SSH_KNOWN_HOSTS_NOT_FOUND:
        case SSH_KNOWN_HOSTS_UNKNOWN:
            break;
        case SSH_KNOWN_HOSTS_ERROR:
            return Answer::refused(
                QStringLiteral("the known hosts file %1 could not be read (%2)")
                    .arg(displayPath(m_knownHosts), QString::fromUtf8(ssh_get_error(m_ssh))));
        }
        if (!m_options.trustNewHostKey || !m_options.trustNewHostKey({m_hostLabel, fingerprint}))
            return Answer::refused(
                QStringLiteral("the server's host key %1 is not trusted yet").arg(fingerprint));
        char* entry = nullptr;
        if (ssh_session_export_known_hosts_entry(m_ssh, &entry) != SSH_OK)
            return Answer::refused(QString::fromUtf8(ssh_get_error(m_ssh)));
        const QByteArray line(entry);
        ssh_string_free_char(entry);
        QDir().mkpath(QFileInfo(m_knownHosts).absolutePath());
        if (Status kept = appendKnownHost(m_knownHosts, line); !kept)
            return Answer::refused(kept.error());
        return Answer();
    }

    Answer logIn() {
        const QByteArray secret = m_options.password.toUtf8();
        int rc = SSH_AUTH_DENIED;
        QString refused = QStringLiteral("the server refused the user name or password");
        if (!m_options.keyFile.isEmpty()) {
            ssh_key key = nullptr;
            if (ssh_pki_import_privkey_file(QFile::encodeName(m_options.keyFile).constData(),
                                            secret.isEmpty() ? nullptr : secret.constData(),
                                            nullptr, nullptr, &key) != SSH_OK)
                return Answer::refused(QStringLiteral("the key file %1 could not be read (not a "
                                                      "private key, or a wrong passphrase)")
                                           .arg(displayPath(m_options.keyFile)));
            rc = ssh_userauth_publickey(m_ssh, nullptr, key);
            ssh_key_free(key);
            refused = QStringLiteral("the server refused the key %1 for the user %2")
                          .arg(displayPath(m_options.keyFile), m_target.user);
        } else if (!secret.isEmpty()) {
            rc = ssh_userauth_password(m_ssh, nullptr, secret.constData());
            if (rc == SSH_AUTH_DENIED)
                rc = keyboardInteractive(secret);
        } else {
            rc = ssh_userauth_publickey_auto(m_ssh, nullptr, nullptr);
            refused = QStringLiteral("the server refused the login; enter the password or "
                                     "choose a key file");
        }
        if (rc == SSH_AUTH_SUCCESS)
            return Answer();
        if (rc == SSH_AUTH_ERROR)
            return Answer::dropped(QString::fromUtf8(ssh_get_error(m_ssh)));
        return Answer::refused(refused);
    }

    // Hosts that take passwords only through prompts.
    int keyboardInteractive(const QByteArray& secret) {
        int rc = ssh_userauth_kbdint(m_ssh, nullptr, nullptr);
        for (int round = 0; rc == SSH_AUTH_INFO && round < 4; ++round) {
            for (int i = 0; i < ssh_userauth_kbdint_getnprompts(m_ssh); ++i)
                ssh_userauth_kbdint_setanswer(m_ssh, unsigned(i), secret.constData());
            rc = ssh_userauth_kbdint(m_ssh, nullptr, nullptr);
        }
        return rc;
    }

    Answer startSftp() {
        m_sftp = sftp_new(m_ssh);
        if (!m_sftp || sftp_init(m_sftp) != SSH_OK) {
            if (m_sftp)
                sftp_free(m_sftp);
            m_sftp = nullptr;
            return Answer::refused(QStringLiteral("the server offers no SFTP (%1)")
                                       .arg(QString::fromUtf8(ssh_get_error(m_ssh))));
        }
        m_posixRename = sftp_extension_supported(m_sftp, "posix-rename@openssh.com", "1");
        m_root = m_target.folder;
        // "/~/" is the home folder, which only the server knows.
        if (m_root.startsWith(QLatin1String("/~/"))) {
            char* home = sftp_canonicalize_path(m_sftp, ".");
            if (!home)
                return failure();
            QString base = QString::fromUtf8(home);
            ssh_string_free_char(home);
            if (!base.endsWith(u'/'))
                base += u'/';
            m_root = base + m_root.mid(3);
        }
        return Answer();
    }

    // Written by hand on the SFTP channel, as libssh waits for each request's
    // answer: the chunks go out up to a window ahead, the close right behind
    // the last and the next file's open behind that, so that in a row of
    // small files each costs about one round trip.
    Answer writeNow(const QString& relativePath, const QByteArray& bytes,
                    const std::function<bool()>& stop, const std::function<void(qint64)>& sent) {
        QByteArray handle;
        Answer opened = takeOpen(path(relativePath), handle);
        if (opened.kind == Answer::Kind::Missing) {
            if (Answer made = makeFolders(relativePath.section(u'/', 0, -2)); !made.done())
                return made;
            opened = openForWriting(path(relativePath), handle);
        }
        if (!opened.done())
            return opened;
        constexpr qsizetype kChunk = 32768;
        constexpr int kWindow = 16;
        QList<std::pair<quint32, qint64>> waiting; // request id, bytes written once answered
        Answer result;
        bool closing = false;
        for (qsizetype at = 0; !closing || !waiting.isEmpty();) {
            // Send while the window has room; the close once all is out or on a stop.
            while (!closing && waiting.size() < kWindow) {
                const bool stopped = stop && stop();
                if (stopped)
                    result = Answer::stopped();
                if (stopped || at >= bytes.size() || !result.done()) {
                    const quint32 id = nextId();
                    if (!sendRequest(4, id, sftpString(handle)))
                        return failure();
                    waiting.append({id, -1});
                    closing = true;
                    if (!stopped && result.done() && !openAhead(path(relativePath)))
                        return failure();
                    break;
                }
                const qsizetype n = std::min(bytes.size() - at, kChunk);
                const quint32 id = nextId();
                if (!sendRequest(6, id,
                                 sftpString(handle) + sftpU64(quint64(at)) +
                                     sftpString(bytes.mid(at, n))))
                    return failure();
                at += n;
                waiting.append({id, at});
            }
            const auto [id, written] = waiting.takeFirst();
            Answer answered = readStatus(id);
            if (answered.kind == Answer::Kind::Dropped)
                return answered;
            m_watchdog.kick();
            if (result.done() && !answered.done())
                result = answered;
            else if (result.done() && written >= 0 && sent)
                sent(written);
        }
        return result;
    }

    // OpenSSH's rename that replaces the target in one step. libssh offers no
    // call for it, so the request goes on the SFTP channel by hand; libssh's
    // own requests are answered one at a time, so none is pending meanwhile.
    Answer posixRename(const QByteArray& from, const QByteArray& to) {
        const quint32 id = nextId();
        if (!sendRequest(200, id,
                         sftpString("posix-rename@openssh.com") + sftpString(from) +
                             sftpString(to)))
            return failure();
        // The answer to a file opened ahead comes first.
        if (m_ahead && !m_ahead->reply) {
            m_ahead->reply = readReply();
            if (!m_ahead->reply)
                return failure();
        }
        return readStatus(id, from);
    }

    static QByteArray sftpU32(quint32 n) {
        const char bytes[4] = {char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
        return QByteArray(bytes, 4);
    }
    static QByteArray sftpU64(quint64 n) { return sftpU32(quint32(n >> 32)) + sftpU32(quint32(n)); }
    static QByteArray sftpString(const QByteArray& bytes) {
        return sftpU32(quint32(bytes.size())) + bytes;
    }
    static quint32 readU32(const QByteArray& bytes, qsizetype i) {
        return quint32(uchar(bytes[i])) << 24 | quint32(uchar(bytes[i + 1])) << 16 |
               quint32(uchar(bytes[i + 2])) << 8 | quint32(uchar(bytes[i + 3]));
    }
    quint32 nextId() { return m_sftp->id_counter++; }

    bool sendRequest(quint8 type, quint32 id, const QByteArray& fields) {
        const QByteArray body = QByteArray(1, char(type)) + sftpU32(id) + fields;
        const QByteArray packet = sftpU32(quint32(body.size())) + body;
        return ssh_channel_write(m_sftp->channel, packet.constData(), uint32_t(packet.size())) ==
               int(packet.size());
    }

    // One answer: its type, id and fields; nothing when the connection failed.
    std::optional<QByteArray> readReply() {
        QByteArray reply;
        const auto readBytes = [&](qsizetype n) {
            while (reply.size() < n) {
                char buffer[4096];
                const int got =
                    ssh_channel_read(m_sftp->channel, buffer,
                                     uint32_t(std::min<qsizetype>(n - reply.size(), 4096)), 0);
                if (got <= 0)
                    return false;
                reply.append(buffer, got);
            }
            return true;
        };
        if (!readBytes(4))
            return std::nullopt;
        const quint32 length = readU32(reply, 0);
        if (length < 5 || length > 65536 || !readBytes(4 + length))
            return std::nullopt;
        return reply.mid(4);
    }

    // The status answering request id; `what` names the file in a message.
    Answer readStatus(quint32 id, const QByteArray& what = QByteArray()) {
        const auto reply = readReply();
        if (!reply)
            return failure();
        if (reply->size() < 9 || uchar(reply->at(0)) != 101 || readU32(*reply, 1) != id)
            return outOfTurn();
        return statusAnswer(int(readU32(*reply, 5)), what);
    }

    Answer outOfTurn() {
        m_lost = true; // the channel is out of step: only a fresh one can go on
        return Answer::dropped(QStringLiteral("the server answered out of turn"));
    }

    // The request id; nothing when it could not be sent.
    std::optional<quint32> sendOpen(const QByteArray& file) {
        constexpr quint32 kWrite = 0x02, kCreate = 0x08, kTruncate = 0x10, kPermissions = 0x04;
        const quint32 id = nextId();
        if (!sendRequest(3, id,
                         sftpString(file) + sftpU32(kWrite | kCreate | kTruncate) +
                             sftpU32(kPermissions) + sftpU32(0644)))
            return std::nullopt;
        return id;
    }

    Answer openForWriting(const QByteArray& file, QByteArray& handle) {
        const auto id = sendOpen(file);
        return id ? openReply(*id, file, readReply(), handle) : failure();
    }

    // The next file of the publish is opened right behind the close of this one,
    // so that the two round trips overlap.
    bool openAhead(const QByteArray& current) {
        const QByteArray next = std::exchange(m_nextWrite, QByteArray());
        if (next.isEmpty() || next == current || m_ahead)
            return true;
        const auto id = sendOpen(next);
        if (id)
            m_ahead = Ahead{next, *id, std::nullopt};
        return id.has_value();
    }

    // The file opened ahead when it is this one; else a fresh open.
    Answer takeOpen(const QByteArray& file, QByteArray& handle) {
        if (m_ahead && m_ahead->file == file) {
            Ahead ahead = *std::exchange(m_ahead, std::nullopt);
            return openReply(ahead.id, file, ahead.reply ? std::move(ahead.reply) : readReply(),
                             handle);
        }
        if (Answer dropped = dropAhead(); !dropped.done())
            return dropped;
        return openForWriting(file, handle);
    }

    // A file opened ahead that no write wants: closed and taken away again.
    Answer dropAhead() {
        if (!m_ahead)
            return Answer();
        Ahead ahead = *std::exchange(m_ahead, std::nullopt);
        QByteArray handle;
        const Answer opened = openReply(ahead.id, ahead.file,
                                        ahead.reply ? std::move(ahead.reply) : readReply(), handle);
        if (!opened.done())
            return opened.kind == Answer::Kind::Dropped ? opened : Answer();
        const quint32 closing = nextId();
        if (!sendRequest(4, closing, sftpString(handle)))
            return failure();
        const quint32 removing = nextId();
        if (!sendRequest(13, removing, sftpString(ahead.file)))
            return failure();
        for (const quint32 id : {closing, removing})
            if (Answer answer = readStatus(id); answer.kind == Answer::Kind::Dropped)
                return answer;
        return Answer();
    }

    Answer openReply(quint32 id, const QByteArray& file, const std::optional<QByteArray>& reply,
                     QByteArray& handle) {
        if (!reply)
            return failure();
        if (reply->size() < 9 || readU32(*reply, 1) != id)
            return outOfTurn();
        if (uchar(reply->at(0)) == 101)
            return statusAnswer(int(readU32(*reply, 5)), file);
        const quint32 length = readU32(*reply, 5);
        if (uchar(reply->at(0)) != 102 || length > 256 || 9 + length > quint32(reply->size()))
            return outOfTurn();
        handle = reply->mid(9, length);
        return Answer();
    }

    // What a status code says; success is SSH_FX_OK. `otherwise` words the codes not named here.
    static Answer codeAnswer(int code, const QString& otherwise) {
        switch (code) {
        case SSH_FX_OK:
            return Answer();
        case SSH_FX_NO_SUCH_FILE:
        case SSH_FX_NO_SUCH_PATH:
            return Answer::missing(
                QStringLiteral("the server answered \"no such file or folder\""));
        case SSH_FX_PERMISSION_DENIED:
        case SSH_FX_WRITE_PROTECT:
            return Answer::refused(QStringLiteral("permission denied"));
        case 14: // no space on the file system
        case 15: // quota exceeded
            return Answer::refused(QStringLiteral("the server's disk is full"));
        default:
            return Answer::refused(otherwise);
        }
    }

    static Answer statusAnswer(int code, const QByteArray& file) {
        return codeAnswer(code, QStringLiteral("the server could not write %1 (error %2)")
                                    .arg(QString::fromUtf8(file))
                                    .arg(code));
    }

    Answer makeFolders(const QString& relativeFolder) {
        QStringList missing;
        for (QString folder = m_root + relativeFolder; folder.size() > 1;
             folder = folder.section(u'/', 0, -2, QString::SectionSkipEmpty).prepend(u'/')) {
            sftp_attributes a = sftp_stat(m_sftp, folder.toUtf8().constData());
            if (a) {
                sftp_attributes_free(a);
                break;
            }
            missing.prepend(folder);
        }
        for (const QString& folder : std::as_const(missing)) {
            if (sftp_mkdir(m_sftp, folder.toUtf8().constData(), 0755) == SSH_OK)
                continue;
            Answer why = failure();
            // Another connection of the same publish may have made it meanwhile.
            if (why.kind != Answer::Kind::Dropped)
                if (sftp_attributes a = sftp_stat(m_sftp, folder.toUtf8().constData())) {
                    const bool made = a->type == SSH_FILEXFER_TYPE_DIRECTORY;
                    sftp_attributes_free(a);
                    if (made)
                        continue;
                }
            if (why.kind != Answer::Kind::Dropped)
                why =
                    Answer::refused(QStringLiteral("the server refused to make the folder %1 (%2)")
                                        .arg(folder, why.why));
            return why;
        }
        return Answer();
    }

    // Read right after the failed call. A lost connection is torn down by run()
    // only: the step may still hold a file or folder of the session, and
    // closing one of a freed session writes into freed memory.
    Answer failure() {
        const bool lost = !ssh_is_connected(m_ssh) || ssh_get_error_code(m_ssh) == SSH_FATAL ||
                          !m_sftp || ssh_channel_is_eof(m_sftp->channel) ||
                          !ssh_channel_is_open(m_sftp->channel) || m_watchdog.fired();
        const int code = m_sftp ? sftp_get_error(m_sftp) : SSH_FX_CONNECTION_LOST;
        const QString server =
            QStringLiteral("%1:%2").arg(m_target.host).arg(m_target.effectivePort());
        if (lost || code == SSH_FX_CONNECTION_LOST || code == SSH_FX_NO_CONNECTION) {
            QString why = QString::fromUtf8(ssh_get_error(m_ssh));
            if (why.isEmpty() || m_watchdog.fired())
                why = QStringLiteral("no answer for %1 s")
                          .arg(std::chrono::duration_cast<std::chrono::seconds>(m_options.silence)
                                   .count());
            m_lost = true;
            return Answer::dropped(
                QStringLiteral("the connection to %1 dropped (%2)").arg(server, why));
        }
        // A failed call with no status (SSH_FX_OK) is still a failure.
        if (code == SSH_FX_OK)
            return Answer::refused(QStringLiteral("the server answered \"%1\"")
                                       .arg(QString::fromUtf8(ssh_get_error(m_ssh))));
        return codeAnswer(code, QStringLiteral("the server answered \"%1\"")
                                    .arg(QString::fromUtf8(ssh_get_error(m_ssh))));
    }

    PublishTarget m_target;
    const ConnectionOptions& m_options;
    QString m_knownHosts;
    QString m_hostLabel;
    QString m_root; // the folder as the server names it, "/~/" resolved
    ssh_session m_ssh = nullptr;
    sftp_session m_sftp = nullptr;
    bool m_posixRename = false;
    bool m_lost = false;
    // A file opened for the next write before it was asked for, and its reply once read.
    struct Ahead {
        QByteArray file;
        quint32 id = 0;
        std::optional<QByteArray> reply;
    };
    std::optional<Ahead> m_ahead;
    QByteArray m_nextWrite; // the file the next write will be, when told
    Watchdog m_watchdog;
};

} // namespace

std::unique_ptr<Transport> makeSftpTransport(const PublishTarget& target,
                                             const ConnectionOptions& options) {
    return std::make_unique<SftpTransport>(target, options);
}

} // namespace tandrel
