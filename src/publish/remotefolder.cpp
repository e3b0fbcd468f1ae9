#include "remotefolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <curl/curl.h>

#include <mutex>
#include <thread>

namespace tandrel {

namespace {

void initCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

size_t appendTo(char* data, size_t size, size_t count, void* buffer) {
    static_cast<QByteArray*>(buffer)->append(data, qsizetype(size * count));
    return size * count;
}

struct Reader {
    const QByteArray* bytes;
    qsizetype at = 0;
};

size_t readFrom(char* out, size_t size, size_t count, void* data) {
    auto* reader = static_cast<Reader*>(data);
    const qsizetype n =
        std::min<qsizetype>(qsizetype(size * count), reader->bytes->size() - reader->at);
    memcpy(out, reader->bytes->constData() + reader->at, size_t(n));
    reader->at += n;
    return size_t(n);
}

int abortWhenAsked(void* flag, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<const std::atomic<bool>*>(flag)->load() ? 1 : 0;
}

// What goes wrong when a connection drops; worth another try.
bool isConnectionFailure(CURLcode code) {
    switch (code) {
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_FTP_WEIRD_SERVER_REPLY:
    case CURLE_FTP_WEIRD_PASV_REPLY:
    case CURLE_FTP_ACCEPT_FAILED:
    case CURLE_FTP_CANT_GET_HOST:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSH:
        return true;
    default:
        return false;
    }
}

// libcurl hands a key either raw (len > 0) or as base64 text.
QByteArray keyBlob(const curl_khkey* key) {
    return key->len ? QByteArray(key->key, qsizetype(key->len))
                    : QByteArray::fromBase64(QByteArray(key->key));
}

QString sha256Fingerprint(const QByteArray& blob) {
    const QByteArray digest = QCryptographicHash::hash(blob, QCryptographicHash::Sha256);
    return QStringLiteral("SHA256:") +
           QString::fromLatin1(digest.toBase64(QByteArray::OmitTrailingEquals));
}

QString defaultKnownHosts() {
    return QDir::homePath() + QStringLiteral("/.ssh/known_hosts");
}

} // namespace

struct RemoteFolder::Curl {
    CURL* handle = nullptr;
    char error[CURL_ERROR_SIZE] = {};
    QByteArray knownHosts;
    QByteArray caFile;
    QByteArray keyFile;
    QByteArray user;
    QByteArray password;
    const ConnectionOptions* options = nullptr;
    QString hostLabel;
    enum class HostKey { Fine, Unknown, Changed } hostKey = HostKey::Fine;
    QString fingerprint;

    // libcurl would record the key without the port; ssh keeps ports apart.
    bool remember(const QByteArray& blob) {
        if (blob.size() < 4)
            return false;
        const quint32 nameLength = quint32(uchar(blob[0])) << 24 | quint32(uchar(blob[1])) << 16 |
                                   quint32(uchar(blob[2])) << 8 | quint32(uchar(blob[3]));
        if (nameLength == 0 || nameLength > quint32(blob.size() - 4))
            return false;
        QFile file(QFile::decodeName(knownHosts));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
            return false;
        const bool endsInLine = file.size() == 0 || [&] {
            QFile reader(file.fileName());
            return reader.open(QIODevice::ReadOnly) && reader.seek(reader.size() - 1) &&
                   reader.read(1) == "\n";
        }();
        const QByteArray line = (endsInLine ? QByteArray() : QByteArray("\n")) +
                                hostLabel.toUtf8() + ' ' + blob.mid(4, nameLength) + ' ' +
                                blob.toBase64() + '\n';
        return file.write(line) == line.size() && file.flush();
    }

    static int onHostKey(CURL*, const curl_khkey*, const curl_khkey* found, curl_khmatch match,
                         void* data) {
        auto* self = static_cast<Curl*>(data);
        if (match == CURLKHMATCH_OK)
            return CURLKHSTAT_FINE;
        const QByteArray blob = keyBlob(found);
        self->fingerprint = sha256Fingerprint(blob);
        if (match == CURLKHMATCH_MISMATCH) {
            self->hostKey = HostKey::Changed;
            return CURLKHSTAT_REJECT;
        }
        if (self->options->trustNewHostKey &&
            self->options->trustNewHostKey({self->hostLabel, self->fingerprint}) &&
            self->remember(blob))
            return CURLKHSTAT_FINE;
        self->hostKey = HostKey::Unknown;
        return CURLKHSTAT_REJECT;
    }
};

RemoteFolder::RemoteFolder(PublishTarget target, ConnectionOptions options)
    : m_target(std::move(target)), m_options(std::move(options)), m_curl(std::make_unique<Curl>()) {
    initCurlOnce();
    m_curl->handle = curl_easy_init();
    m_curl->options = &m_options;
    m_curl->user = m_target.user.toUtf8();
    m_curl->password = m_options.password.toUtf8();
    m_curl->keyFile = QFile::encodeName(m_options.keyFile);
    m_curl->caFile = QFile::encodeName(m_options.caFile);
    const QString knownHosts =
        m_options.knownHostsFile.isEmpty() ? defaultKnownHosts() : m_options.knownHostsFile;
    m_curl->knownHosts = QFile::encodeName(knownHosts);
    m_curl->hostLabel = m_target.effectivePort() == 22
                            ? m_target.host
                            : QStringLiteral("[%1]:%2").arg(m_target.host).arg(m_target.port);
    if (m_target.protocol == PublishTarget::Protocol::Sftp)
        QDir().mkpath(QFileInfo(knownHosts).absolutePath());
}

RemoteFolder::~RemoteFolder() {
    curl_easy_cleanup(m_curl->handle);
}

// The handle keeps the connection between operations; a dropped one is
// tried again with a growing wait.
int RemoteFolder::perform(const QString& url, const std::function<void(void*)>& setup) {
    Curl& c = *m_curl;
    auto wait = m_options.firstRetryWait;
    const QByteArray encodedUrl = url.toLatin1();
    for (int attempt = 1;; ++attempt) {
        CURL* h = c.handle;
        curl_easy_reset(h);
        c.error[0] = 0;
        c.hostKey = Curl::HostKey::Fine;
        curl_easy_setopt(h, CURLOPT_ERRORBUFFER, c.error);
        curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(h, CURLOPT_URL, encodedUrl.constData());
        curl_easy_setopt(h, CURLOPT_USERNAME, c.user.constData());
        if (!c.password.isEmpty())
            curl_easy_setopt(h, CURLOPT_PASSWORD, c.password.constData());
        curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, 20L);
        curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, 20L);
        // A server that stops answering counts as a dropped connection.
        curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, 30L);
        switch (m_target.protocol) {
        case PublishTarget::Protocol::Sftp:
            curl_easy_setopt(h, CURLOPT_SSH_KNOWNHOSTS, c.knownHosts.constData());
            curl_easy_setopt(h, CURLOPT_SSH_KEYFUNCTION, &Curl::onHostKey);
            curl_easy_setopt(h, CURLOPT_SSH_KEYDATA, &c);
            if (!c.keyFile.isEmpty()) {
                curl_easy_setopt(h, CURLOPT_SSH_AUTH_TYPES, long(CURLSSH_AUTH_PUBLICKEY));
                curl_easy_setopt(h, CURLOPT_SSH_PRIVATE_KEYFILE, c.keyFile.constData());
                // Empty: libssh2 derives the public key from the private one.
                curl_easy_setopt(h, CURLOPT_SSH_PUBLIC_KEYFILE, "");
                if (!c.password.isEmpty())
                    curl_easy_setopt(h, CURLOPT_KEYPASSWD, c.password.constData());
            } else if (!c.password.isEmpty()) {
                curl_easy_setopt(h, CURLOPT_SSH_AUTH_TYPES,
                                 long(CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_KEYBOARD));
            } else {
                curl_easy_setopt(h, CURLOPT_SSH_AUTH_TYPES,
                                 long(CURLSSH_AUTH_AGENT | CURLSSH_AUTH_PUBLICKEY));
            }
            break;
        case PublishTarget::Protocol::Ftps:
            // Encryption or nothing: never a silent fall back to plain FTP.
            curl_easy_setopt(h, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
            if (!c.caFile.isEmpty())
                curl_easy_setopt(h, CURLOPT_CAINFO, c.caFile.constData());
            break;
        case PublishTarget::Protocol::Ftp:
            curl_easy_setopt(h, CURLOPT_USE_SSL, long(CURLUSESSL_NONE));
            break;
        }
        if (m_options.abort) {
            curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
            curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &abortWhenAsked);
            curl_easy_setopt(h, CURLOPT_XFERINFODATA, m_options.abort);
        }
        setup(h);
        const CURLcode code = curl_easy_perform(h);
        m_connectionFailure = isConnectionFailure(code);
        const bool aborted = m_options.abort && m_options.abort->load();
        if (code == CURLE_OK || !m_connectionFailure || attempt >= m_options.attempts || aborted)
            return code;
        std::this_thread::sleep_for(wait);
        wait *= 2;
    }
}

QString RemoteFolder::failure(int code, const QString& what) const {
    const Curl& c = *m_curl;
    const QString detail = QString::fromUtf8(c.error).trimmed();
    const QString server = QStringLiteral("%1:%2").arg(m_target.host).arg(m_target.effectivePort());
    QString why;
    switch (CURLcode(code)) {
    case CURLE_LOGIN_DENIED:
        why = QStringLiteral("the server refused the user name or password");
        break;
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_UPLOAD_FAILED:
    case CURLE_QUOTE_ERROR:
    case CURLE_REMOTE_DISK_FULL:
    case CURLE_REMOTE_FILE_NOT_FOUND:
        why = QStringLiteral("the server answered \"%1\"").arg(detail);
        break;
    case CURLE_USE_SSL_FAILED:
        why = QStringLiteral("the server does not offer encryption (FTPS), and the password is "
                             "not sent without it");
        break;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
        if (c.hostKey == Curl::HostKey::Changed)
            why = QStringLiteral("the server's host key %1 is not the one recorded for %2 in "
                                 "%3; it may be an impostor (if the host really changed its "
                                 "key, remove the old line from that file)")
                      .arg(c.fingerprint, c.hostLabel,
                           displayPath(QString::fromLocal8Bit(c.knownHosts)));
        else if (c.hostKey == Curl::HostKey::Unknown)
            why = QStringLiteral("the server's host key %1 is not trusted yet").arg(c.fingerprint);
        else
            why = QStringLiteral("the server's certificate could not be verified (%1)").arg(detail);
        break;
    case CURLE_COULDNT_RESOLVE_HOST:
        why = QStringLiteral("the server name %1 is unknown").arg(m_target.host);
        break;
    case CURLE_COULDNT_CONNECT:
        why = QStringLiteral("no connection to %1").arg(server);
        break;
    default:
        if (m_connectionFailure)
            why = QStringLiteral("the connection to %1 dropped (%2)")
                      .arg(server, detail.isEmpty()
                                       ? QString::fromUtf8(curl_easy_strerror(CURLcode(code)))
                                       : detail);
        else
            why = detail.isEmpty() ? QString::fromUtf8(curl_easy_strerror(CURLcode(code))) : detail;
        break;
    }
    // The password goes to libcurl only as an option, but never echo it.
    if (!m_options.password.isEmpty())
        why.replace(m_options.password, QStringLiteral("****"));
    return QStringLiteral("%1 failed: %2.").arg(what, why);
}

Result<RemoteListing> RemoteFolder::list(const QString& relativeFolder) {
    QString folder = relativeFolder;
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    const bool ftp = m_target.protocol != PublishTarget::Protocol::Sftp;
    QByteArray body;
    auto listWith = [&](bool all) {
        body.clear();
        return perform(m_target.curlUrl(folder), [&](void* h) {
            curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &appendTo);
            curl_easy_setopt(h, CURLOPT_WRITEDATA, &body);
            // Hidden files (.htaccess) are listed only when asked for.
            if (ftp && all)
                curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, "LIST -a");
        });
    };
    int code = listWith(true);
    if (ftp && code != CURLE_OK && !m_connectionFailure && code != CURLE_LOGIN_DENIED &&
        code != CURLE_USE_SSL_FAILED && code != CURLE_PEER_FAILED_VERIFICATION)
        code = listWith(false);
    if (code == CURLE_REMOTE_FILE_NOT_FOUND || (ftp && code == CURLE_REMOTE_ACCESS_DENIED))
        return RemoteListing{}; // not made yet
    if (code != CURLE_OK)
        return Result<RemoteListing>::failure(
            failure(code, QStringLiteral("Listing %1").arg(m_target.text() + folder)));
    return parseListing(body);
}

Result<std::optional<QByteArray>> RemoteFolder::read(const QString& relativePath) {
    using R = Result<std::optional<QByteArray>>;
    QByteArray body;
    const int code = perform(m_target.curlUrl(relativePath), [&](void* h) {
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &appendTo);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, &body);
    });
    // An FTP server denies changing into a folder that is not there yet.
    if (code == CURLE_REMOTE_FILE_NOT_FOUND ||
        (code == CURLE_REMOTE_ACCESS_DENIED && m_target.protocol != PublishTarget::Protocol::Sftp))
        return R(std::optional<QByteArray>());
    if (code != CURLE_OK)
        return R::failure(failure(code, QStringLiteral("Reading %1").arg(relativePath)));
    return R(std::optional<QByteArray>(body));
}

namespace {

QString folderOf(const QString& relativePath) {
    const qsizetype slash = relativePath.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : relativePath.left(slash + 1);
}

QString nameOf(const QString& relativePath) {
    return relativePath.mid(relativePath.lastIndexOf(QLatin1Char('/')) + 1);
}

struct Commands {
    QList<QByteArray> lines;
    curl_slist* list = nullptr;
    ~Commands() { curl_slist_free_all(list); }
    void add(const QString& line) {
        lines << line.toUtf8();
        list = curl_slist_append(list, lines.last().constData());
    }
};

QString quoted(const QString& path) {
    QString escaped = path;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    escaped.replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

} // namespace

Status RemoteFolder::put(const QByteArray& bytes, const QString& relativePath) {
    const QString folder = folderOf(relativePath);
    const QString name = nameOf(relativePath);
    const QString part = QStringLiteral(".%1.tandrel-part").arg(name);
    const bool sftp = m_target.protocol == PublishTarget::Protocol::Sftp;
    Commands after;
    if (sftp) {
        // SFTP version 3 renames only onto a free name: the old file goes
        // first, so for a moment there is none, but never half of one.
        after.add(QStringLiteral("*rm ") + quoted(m_target.serverPath(relativePath)));
        after.add(QStringLiteral("rename %1 %2")
                      .arg(quoted(m_target.serverPath(folder + part)),
                           quoted(m_target.serverPath(relativePath))));
    } else {
        after.add(QStringLiteral("RNFR ") + part);
        after.add(QStringLiteral("RNTO ") + name);
    }
    Reader reader{&bytes};
    const int code = perform(m_target.curlUrl(folder + part), [&](void* h) {
        reader.at = 0;
        curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(h, CURLOPT_READFUNCTION, &readFrom);
        curl_easy_setopt(h, CURLOPT_READDATA, &reader);
        curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, curl_off_t(bytes.size()));
        curl_easy_setopt(h, CURLOPT_FTP_CREATE_MISSING_DIRS, long(CURLFTP_CREATE_DIR_RETRY));
        curl_easy_setopt(h, CURLOPT_POSTQUOTE, after.list);
    });
    if (code != CURLE_OK)
        return Status::failure(failure(code, QStringLiteral("Sending %1").arg(relativePath)));
    return Status::success();
}

Status RemoteFolder::remove(const QString& relativePath) {
    const QString folder = folderOf(relativePath);
    Commands commands;
    if (m_target.protocol == PublishTarget::Protocol::Sftp)
        commands.add(QStringLiteral("rm ") + quoted(m_target.serverPath(relativePath)));
    else
        commands.add(QStringLiteral("DELE ") + nameOf(relativePath));
    const int code = perform(m_target.curlUrl(folder), [&](void* h) {
        curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
        curl_easy_setopt(h, CURLOPT_QUOTE, commands.list);
    });
    if (code == CURLE_OK)
        return Status::success();
    // A retry after a dropped answer finds the file gone already.
    if (code == CURLE_QUOTE_ERROR) {
        const auto listing = list(folder);
        if (listing && !listing->contains(nameOf(relativePath)))
            return Status::success();
    }
    return Status::failure(failure(code, QStringLiteral("Removing %1").arg(relativePath)));
}

RemoteListing parseListing(const QByteArray& listing) {
    RemoteListing entries;
    static const QRegularExpression unixLine(
        QStringLiteral(R"(^([\-dlbcps])\S*\s+\d+\s+\S+\s+\S+\s+(\d+)\s+(\S+\s+\S+\s+\S+)\s(.+)$)"));
    static const QRegularExpression dosLine(
        QStringLiteral(R"(^(\d\d-\d\d-\d\d+\s+\d\d:\d\d[AP]M)\s+(<DIR>|\d+)\s+(.+)$)"));
    for (const QByteArray& raw : listing.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (const auto m = unixLine.match(line); m.hasMatch()) {
            QString name = m.captured(4);
            if (m.captured(1) == QLatin1String("l"))
                name = name.section(QStringLiteral(" -> "), 0, 0);
            if (name == QLatin1String(".") || name == QLatin1String(".."))
                continue;
            entries.insert(name, {m.captured(1) == QLatin1String("d"), m.captured(2).toLongLong(),
                                  m.captured(3)});
        } else if (const auto d = dosLine.match(line); d.hasMatch()) {
            const bool folder = d.captured(2) == QLatin1String("<DIR>");
            entries.insert(d.captured(3),
                           {folder, folder ? 0 : d.captured(2).toLongLong(), d.captured(1)});
        }
    }
    return entries;
}

std::optional<QByteArray> fetchPage(const QString& url, QString* why) {
    initCurlOnce();
    CURL* h = curl_easy_init();
    char error[CURL_ERROR_SIZE] = {};
    QByteArray body;
    const QByteArray encoded = url.toUtf8();
    curl_easy_setopt(h, CURLOPT_URL, encoded.constData());
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, 10L);
    curl_easy_setopt(h, CURLOPT_TIMEOUT, 30L);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &appendTo);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &body);
    const CURLcode code = curl_easy_perform(h);
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(h);
    if (code != CURLE_OK || status != 200) {
        if (why)
            *why = code != CURLE_OK ? QString::fromUtf8(error[0] ? error : curl_easy_strerror(code))
                                    : QStringLiteral("the server answered %1").arg(status);
        return std::nullopt;
    }
    return body;
}

} // namespace tandrel
