#include "transport.h"

#include "curlhooks.h"

#include <QDateTime>
#include <QFile>
#include <QScopeGuard>
#include <QSet>
#include <QSettings>
#include <QUrl>

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace tandrel {

namespace {

size_t discard(char*, size_t size, size_t count, void*) {
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

// Pairs each MDTM sent with the server's answer, as seconds since 1970 (UTC).
struct MdtmAnswers {
    QString asked;
    QHash<QString, QString> stamps;
    static int hear(CURL*, curl_infotype type, char* data, size_t size, void* self) {
        auto* answers = static_cast<MdtmAnswers*>(self);
        const QByteArray line = QByteArray(data, qsizetype(size)).trimmed();
        if (type == CURLINFO_HEADER_OUT) {
            answers->asked = line.startsWith("MDTM ") ? QString::fromUtf8(line.mid(5)) : QString();
        } else if (type == CURLINFO_HEADER_IN && !answers->asked.isEmpty()) {
            const QDateTime time = QDateTime::fromString(QString::fromLatin1(line.mid(4, 14)),
                                                         QStringLiteral("yyyyMMddHHmmss"));
            if (line.startsWith("213 ") && time.isValid()) {
                QDateTime utc = time;
                utc.setTimeSpec(Qt::UTC);
                answers->stamps.insert(answers->asked, QString::number(utc.toSecsSinceEpoch()));
            }
            answers->asked.clear();
        }
        return 0;
    }
};

struct Commands {
    QList<QByteArray> lines;
    curl_slist* list = nullptr;
    ~Commands() { curl_slist_free_all(list); }
    void add(const QString& line) {
        lines << line.toUtf8();
        list = curl_slist_append(list, lines.last().constData());
    }
};

// FTPS servers known to need TLS 1.2 for their data connections, so that
// only the first publish to one pays the extra login: in the settings file
// the options name (asked again after 30 days, in case the server changed),
// else for this run of the program.
constexpr qint64 kTls12Days = 30;
std::mutex tls12Lock;
QSet<QString> tls12Servers;

QString tls12Key(const PublishTarget& target) {
    return QStringLiteral("ftpsNeedsTls12/%1:%2").arg(target.host).arg(target.effectivePort());
}

bool knownToNeedTls12(const PublishTarget& target, const QString& file) {
    const std::lock_guard lock(tls12Lock);
    if (file.isEmpty())
        return tls12Servers.contains(tls12Key(target));
    const QDateTime since =
        QSettings(file, QSettings::IniFormat).value(tls12Key(target)).toDateTime();
    return since.isValid() && since.daysTo(QDateTime::currentDateTimeUtc()) < kTls12Days;
}

void setNeedsTls12(const PublishTarget& target, const QString& file, bool needs) {
    const std::lock_guard lock(tls12Lock);
    const QString key = tls12Key(target);
    if (file.isEmpty()) {
        if (needs)
            tls12Servers.insert(key);
        else
            tls12Servers.remove(key);
        return;
    }
    QSettings settings(file, QSettings::IniFormat);
    if (needs)
        settings.setValue(key, QDateTime::currentDateTimeUtc());
    else
        settings.remove(key);
}

class FtpTransport final : public Transport {
public:
    FtpTransport(const PublishTarget& target, const ConnectionOptions& options)
        : m_target(target), m_options(options), m_user(target.user.toUtf8()),
          m_password(options.password.toUtf8()), m_caFile(QFile::encodeName(options.caFile)),
          m_tls12(target.protocol == PublishTarget::Protocol::Ftps &&
                  knownToNeedTls12(target, options.memoryFile)) {
        initCurlOnce();
    }
    ~FtpTransport() override { drop(); }

    Answer list(const QString& folder, RemoteListing& entries) override {
        QString url = folder;
        if (!url.isEmpty() && !url.endsWith(u'/'))
            url += u'/';
        QByteArray body;
        const auto listWith = [&](const char* command) {
            body.clear();
            return perform(url, [&](CURL* h) {
                curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &appendTo);
                curl_easy_setopt(h, CURLOPT_WRITEDATA, &body);
                if (command)
                    curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, command);
            });
        };
        // MLSD lists hidden files and exact times, which spares an MDTM per
        // file; a server without it lists hidden files (.htaccess) only when asked.
        Answer answer;
        if (!m_noMlsd) {
            answer = listWith("MLSD");
            long status = 0;
            curl_easy_getinfo(m_handle, CURLINFO_RESPONSE_CODE, &status);
            m_noMlsd = !answer.done() && status >= 500 && status <= 504;
        }
        if (m_noMlsd) {
            answer = listWith("LIST -a");
            if (answer.kind == Answer::Kind::Refused && !m_loginFailed)
                answer = listWith(nullptr);
        }
        // An FTP server denies changing into a folder that is not there yet.
        if (answer.kind == Answer::Kind::Missing || (m_denied && !m_loginFailed))
            return Answer::missing(answer.why);
        if (answer.done())
            entries = parseListing(body);
        return answer;
    }

    Answer read(const QString& path, QByteArray& bytes) override {
        Answer answer = perform(path, [&](CURL* h) {
            curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &appendTo);
            curl_easy_setopt(h, CURLOPT_WRITEDATA, &bytes);
        });
        return m_denied && !m_loginFailed ? Answer::missing(answer.why) : answer;
    }

    Answer write(const QString& path, const QByteArray& bytes, const std::function<bool()>& stop,
                 const std::function<void(qint64)>& sent) override {
        Reader reader{&bytes};
        m_stop.transfer = &stop;
        m_stop.sent = &sent;
        const auto forget = qScopeGuard([this] {
            m_stop.transfer = nullptr;
            m_stop.sent = nullptr;
        });
        return perform(path, [&](CURL* h) {
            reader.at = 0;
            curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
            curl_easy_setopt(h, CURLOPT_READFUNCTION, &readFrom);
            curl_easy_setopt(h, CURLOPT_READDATA, &reader);
            curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, curl_off_t(bytes.size()));
            curl_easy_setopt(h, CURLOPT_FTP_CREATE_MISSING_DIRS, long(CURLFTP_CREATE_DIR_RETRY));
        });
    }

    // RNTO replaces an existing file in one step on the servers in use.
    Answer rename(const QString& from, const QString& to) override {
        Commands commands;
        commands.add(QStringLiteral("RNFR ") + nameOf(from));
        commands.add(QStringLiteral("RNTO ") + nameOf(to));
        return command(folderOf(to), commands);
    }

    Answer remove(const QString& path) override {
        Commands commands;
        commands.add(QStringLiteral("DELE ") + nameOf(path));
        return command(folderOf(path), commands);
    }

    // MDTM, which nearly every server answers to the second: one command per
    // file on the kept connection, where a lone MDTM transfer would also ask
    // TYPE, SIZE and REST. A file it fails for stays unknown.
    QHash<QString, QString> exactStamps(const QString& folder, const QStringList& names) override {
        Commands commands;
        for (const QString& name : names)
            commands.add(QStringLiteral("*MDTM ") + name);
        MdtmAnswers answers;
        const Answer answer = perform(folder, [&](CURL* h) {
            curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
            curl_easy_setopt(h, CURLOPT_POSTQUOTE, commands.list);
            // The answers come one per command, in order, to the debug function only.
            curl_easy_setopt(h, CURLOPT_VERBOSE, 1L);
            curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION, &MdtmAnswers::hear);
            curl_easy_setopt(h, CURLOPT_DEBUGDATA, &answers);
        });
        return answer.done() ? answers.stamps : QHash<QString, QString>();
    }

    bool replacesAtomically() override { return true; }

    // The login and the change into the folder, which may not be there yet.
    Answer open() override {
        return perform(QString(), [](CURL* h) { curl_easy_setopt(h, CURLOPT_NOBODY, 1L); });
    }

    void drop() override {
        if (m_handle)
            curl_easy_cleanup(m_handle);
        m_handle = nullptr;
        // The kept connections live in the multi handle's cache.
        if (m_multi)
            curl_multi_cleanup(m_multi);
        m_multi = nullptr;
    }

private:
    Answer command(const QString& folder, const Commands& commands) {
        return perform(folder, [&](CURL* h) {
            curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
            // After the change into the folder: commands before it would run
            // in the login folder on a fresh connection.
            curl_easy_setopt(h, CURLOPT_POSTQUOTE, commands.list);
        });
    }

    // One transfer on the kept connection.
    template <typename Setup> Answer perform(const QString& path, Setup setup) {
        for (;;) {
            const CURLcode code = once(path, setup);
            long status = 0;
            curl_easy_getinfo(m_handle, CURLINFO_RESPONSE_CODE, &status);
            // Servers that demand the control connection's TLS session on every
            // data connection (vsftpd, ProFTPD) refuse the second one under TLS
            // 1.3, whose sessions serve once; a TLS 1.2 session serves them all.
            // Nothing was sent, so the same step goes again at once.
            if (status == 522 && m_target.protocol == PublishTarget::Protocol::Ftps && !m_tls12) {
                m_tls12 = true;
                setNeedsTls12(m_target, m_options.memoryFile, true);
                drop();
                continue;
            }
            // A server remembered for TLS 1.2 that now refuses it: ask it afresh, once.
            if (code == CURLE_SSL_CONNECT_ERROR && m_tls12 && !m_reprobed) {
                m_tls12 = false;
                m_reprobed = true;
                setNeedsTls12(m_target, m_options.memoryFile, false);
                drop();
                continue;
            }
            m_denied = code == CURLE_REMOTE_ACCESS_DENIED;
            m_loginFailed = code == CURLE_LOGIN_DENIED;
            return answer(code, status);
        }
    }

    template <typename Setup> CURLcode once(const QString& path, Setup& setup) {
        if (!m_handle)
            m_handle = curl_easy_init();
        CURL* h = m_handle;
        curl_easy_reset(h);
        m_error[0] = 0;
        const QByteArray url = m_target.curlUrl(path).toLatin1();
        const long silence = long(std::max<qint64>(
            1, std::chrono::duration_cast<std::chrono::seconds>(m_options.silence).count()));
        curl_easy_setopt(h, CURLOPT_ERRORBUFFER, m_error);
        curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(h, CURLOPT_URL, url.constData());
        curl_easy_setopt(h, CURLOPT_USERNAME, m_user.constData());
        if (!m_password.isEmpty())
            curl_easy_setopt(h, CURLOPT_PASSWORD, m_password.constData());
        curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, silence);
        curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, silence);
        curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, silence);
        if (m_target.protocol == PublishTarget::Protocol::Ftps) {
            // Encryption or nothing: never a silent fall back to plain FTP.
            curl_easy_setopt(h, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
            if (m_tls12)
                curl_easy_setopt(h, CURLOPT_SSLVERSION,
                                 long(CURL_SSLVERSION_TLSv1_2) | long(CURL_SSLVERSION_MAX_TLSv1_2));
            if (!m_caFile.isEmpty())
                curl_easy_setopt(h, CURLOPT_CAINFO, m_caFile.constData());
        } else {
            curl_easy_setopt(h, CURLOPT_USE_SSL, long(CURLUSESSL_NONE));
        }
        m_stop.abort = m_options.abort;
        m_stop.asked = false;
        curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &stopWhenAsked);
        curl_easy_setopt(h, CURLOPT_XFERINFODATA, &m_stop);
        // libcurl writes what it is given to stdout unless told otherwise, as
        // the headers it makes up for MDTM: nothing unasked goes there.
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &discard);
        setup(h);
        return run(h);
    }

    // curl_easy_perform waits a whole second whenever a transfer has no socket
    // to wait on, as between the passive-mode answer and the data connection's
    // socket: a second for every file sent. Driving the transfer here, such a
    // moment waits a few milliseconds instead.
    CURLcode run(CURL* h) {
        if (!m_multi)
            m_multi = curl_multi_init();
        if (curl_multi_add_handle(m_multi, h) != CURLM_OK)
            return CURLE_OUT_OF_MEMORY;
        CURLcode code = CURLE_OK;
        for (int running = 1; running;) {
            if (curl_multi_perform(m_multi, &running) != CURLM_OK) {
                code = CURLE_OUT_OF_MEMORY;
                break;
            }
            if (!running)
                break;
            fd_set read, write, error;
            FD_ZERO(&read);
            FD_ZERO(&write);
            FD_ZERO(&error);
            int highest = -1;
            long wait = 1000;
            curl_multi_fdset(m_multi, &read, &write, &error, &highest);
            curl_multi_timeout(m_multi, &wait);
            if (wait < 0 || wait > 1000)
                wait = 1000;
            if (highest < 0)
                wait = std::min(wait, 5L);
            // While a TLS data connection is made, libcurl asks to wait on it alone,
            // and an answer on the control connection (a refused MLSD, SIZE of a
            // missing file) waits out the second. A short wait catches it.
            if (m_target.protocol == PublishTarget::Protocol::Ftps)
                wait = std::min(wait, 10L);
            curl_multi_poll(m_multi, nullptr, 0, int(wait), nullptr);
        }
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(m_multi, &left)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == h)
                code = message->data.result;
        }
        curl_multi_remove_handle(m_multi, h);
        return code;
    }

    Answer answer(CURLcode code, long status) const {
        const QString detail = QString::fromUtf8(m_error).trimmed();
        const QString said =
            detail.isEmpty() ? QString::fromUtf8(curl_easy_strerror(code)) : detail;
        const QString server =
            QStringLiteral("%1:%2").arg(m_target.host).arg(m_target.effectivePort());
        switch (code) {
        case CURLE_OK:
            return Answer();
        case CURLE_LOGIN_DENIED:
            return Answer::refused(QStringLiteral("the server refused the user name or password"));
        case CURLE_REMOTE_FILE_NOT_FOUND:
            return Answer::missing(QStringLiteral("the server answered \"%1\"").arg(said));
        case CURLE_UPLOAD_FAILED:
            return Answer::refused(
                QStringLiteral("the server refused to write the file (no permission, or a name "
                               "it does not take; it answered %1)")
                    .arg(status));
        case CURLE_REMOTE_ACCESS_DENIED:
            return Answer::refused(
                QStringLiteral("the server refused access (no permission; it answered \"%1\")")
                    .arg(said));
        case CURLE_REMOTE_DISK_FULL:
            return Answer::refused(QStringLiteral("the server's disk is full"));
        case CURLE_USE_SSL_FAILED:
            return Answer::refused(
                QStringLiteral("the server does not offer encryption (FTPS), and the password is "
                               "not sent without it"));
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_CERTPROBLEM:
            return Answer::refused(
                QStringLiteral("the server's certificate could not be verified (%1)").arg(said));
        case CURLE_COULDNT_RESOLVE_HOST:
            return Answer::refused(
                QStringLiteral("the server name %1 is unknown").arg(m_target.host));
        case CURLE_COULDNT_CONNECT:
            return Answer::dropped(QStringLiteral("no connection to %1").arg(server));
        case CURLE_ABORTED_BY_CALLBACK:
            return m_stop.asked ? Answer::stopped() : Answer::refused(QStringLiteral("stopped"));
        case CURLE_QUOTE_ERROR:
            // Also what a connection that dropped under a command looks like;
            // a fresh connection tells.
            return Answer::dropped(QStringLiteral("the server answered \"%1\"").arg(said));
        default:
            return Answer::dropped(
                QStringLiteral("the connection to %1 dropped (%2)").arg(server, said));
        }
    }

    PublishTarget m_target;
    const ConnectionOptions& m_options;
    QByteArray m_user;
    QByteArray m_password;
    QByteArray m_caFile;
    bool m_tls12 = false;
    bool m_reprobed = false;
    bool m_noMlsd = false;
    CURL* m_handle = nullptr;
    CURLM* m_multi = nullptr;
    char m_error[CURL_ERROR_SIZE] = {};
    Stop m_stop;
    bool m_denied = false;
    bool m_loginFailed = false;
};

} // namespace

void initCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::unique_ptr<Transport> makeFtpTransport(const PublishTarget& target,
                                            const ConnectionOptions& options) {
    return std::make_unique<FtpTransport>(target, options);
}

// Redirects are followed only within the page's own host: a trailing slash
// added, http sent on to https.
std::optional<QByteArray> fetchPage(const QString& url, QString* why) {
    initCurlOnce();
    QString address = url;
    const QString host = QUrl(url).host();
    for (int hop = 0; hop < 5; ++hop) {
        CURL* h = curl_easy_init();
        char error[CURL_ERROR_SIZE] = {};
        QByteArray body;
        const QByteArray encoded = address.toUtf8();
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
        char* next = nullptr;
        curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
        curl_easy_getinfo(h, CURLINFO_REDIRECT_URL, &next);
        const QString target = next ? QString::fromUtf8(next) : QString();
        curl_easy_cleanup(h);
        if (code == CURLE_OK && status == 200)
            return body;
        if (code == CURLE_OK && status / 100 == 3 && !target.isEmpty() &&
            QUrl(target).host() == host) {
            address = target;
            continue;
        }
        if (why)
            *why = code != CURLE_OK ? QString::fromUtf8(error[0] ? error : curl_easy_strerror(code))
                   : status / 100 == 3 && !target.isEmpty()
                       ? QStringLiteral("the server sends it on to %1").arg(target)
                       : QStringLiteral("the server answered %1").arg(status);
        return std::nullopt;
    }
    if (why)
        *why = QStringLiteral("the server redirects it again and again");
    return std::nullopt;
}

} // namespace tandrel
