#include "transport.h"

#include "curlhooks.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHash>
#include <QMimeDatabase>
#include <QScopeGuard>
#include <QUrl>
#include <QXmlStreamReader>

#include <curl/curl.h>

#include <algorithm>
#include <cstring>

namespace tandrel {

namespace {

size_t hearHeader(char* data, size_t size, size_t count, void* etag) {
    const QByteArray line = QByteArray(data, qsizetype(size * count)).trimmed();
    if (line.toLower().startsWith("etag:"))
        *static_cast<QString*>(etag) = QString::fromLatin1(line.mid(5).trimmed()).remove(u'"');
    return size * count;
}

QByteArray sha256Hex(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

// SigV4 wants every byte but the unreserved ones encoded, "/" too in a query value.
QString encoded(const QString& text, const QByteArray& keep = {}) {
    return QString::fromLatin1(QUrl::toPercentEncoding(text, keep));
}

QString firstText(const QByteArray& xml, const char* element) {
    QXmlStreamReader reader(xml);
    while (!reader.atEnd())
        if (reader.readNext() == QXmlStreamReader::StartElement &&
            reader.name() == QLatin1String(element))
            return reader.readElementText();
    return {};
}

class S3Transport final : public Transport {
public:
    S3Transport(const PublishTarget& target, const ConnectionOptions& options)
        : m_target(target), m_options(options), m_endpoint(endpointOf(options)),
          m_keyId(target.user.toUtf8()), m_secret(options.password.toUtf8()),
          m_sigv4(QStringLiteral("aws:amz:%1:s3").arg(regionOf(options)).toUtf8()) {
        initCurlOnce();
    }
    ~S3Transport() override { drop(); }

    // One page of up to a thousand keys per request, with "/" folding the
    // deeper keys into folders as a file listing would.
    Answer list(const QString& folder, RemoteListing& entries) override {
        QString prefix = keyOf(folder);
        if (!prefix.isEmpty() && !prefix.endsWith(u'/'))
            prefix += u'/';
        QString token;
        do {
            // Sorted by name: curl signs the query as given.
            QStringList query;
            if (!token.isEmpty())
                query << QStringLiteral("continuation-token=") + encoded(token);
            query << QStringLiteral("delimiter=%2F") << QStringLiteral("list-type=2")
                  << QStringLiteral("prefix=") + encoded(prefix);
            Answer answer = perform(bucketUrl() + u'?' + query.join(u'&'), [](CURL*) {});
            if (!answer.done())
                return answer;
            token.clear();
            bool truncated = false;
            bool common = false; // within a CommonPrefixes element
            QXmlStreamReader xml(m_body);
            RemoteEntry entry;
            QString name;
            while (!xml.atEnd()) {
                xml.readNext();
                if (xml.isEndElement() && xml.name() == QLatin1String("CommonPrefixes"))
                    common = false;
                if (xml.isEndElement() && xml.name() == QLatin1String("Contents")) {
                    // A plain PUT's ETag is the MD5 of the bytes; a multipart one's has a "-".
                    if (!entry.stamp.contains(u'-'))
                        entry.md5 = entry.stamp;
                    if (!name.isEmpty() && !name.contains(u'/'))
                        entries.insert(name, entry);
                    entry = {};
                    name.clear();
                }
                if (!xml.isStartElement())
                    continue;
                const auto tag = xml.name();
                if (tag == QLatin1String("CommonPrefixes"))
                    common = true;
                else if (tag == QLatin1String("Key"))
                    name = xml.readElementText().mid(prefix.size());
                else if (tag == QLatin1String("Size"))
                    entry.size = xml.readElementText().toLongLong();
                else if (tag == QLatin1String("ETag"))
                    entry.stamp = xml.readElementText().remove(u'"');
                else if (tag == QLatin1String("Prefix") && common) {
                    const QString sub = xml.readElementText().mid(prefix.size());
                    if (sub.endsWith(u'/') && sub.size() > 1)
                        entries.insert(sub.chopped(1), RemoteEntry{true, 0, {}, {}});
                } else if (tag == QLatin1String("IsTruncated"))
                    truncated = xml.readElementText() == QLatin1String("true");
                else if (tag == QLatin1String("NextContinuationToken"))
                    token = xml.readElementText();
            }
            if (xml.hasError())
                return Answer::dropped(
                    QStringLiteral("the storage's listing could not be read (%1)")
                        .arg(xml.errorString()));
            if (!truncated)
                break;
        } while (!token.isEmpty());
        return Answer();
    }

    Answer read(const QString& path, QByteArray& bytes) override {
        Answer answer = perform(objectUrl(path), [](CURL*) {});
        if (answer.done())
            bytes = std::move(m_body);
        return answer;
    }

    Answer write(const QString& path, const QByteArray& bytes, const std::function<bool()>& stop,
                 const std::function<void(qint64)>& sent) override {
        m_stop.transfer = &stop;
        m_stop.sent = &sent;
        const auto forget = qScopeGuard([this] {
            m_stop.transfer = nullptr;
            m_stop.sent = nullptr;
        });
        const QByteArray md5 = QCryptographicHash::hash(bytes, QCryptographicHash::Md5);
        QString etag;
        QList<QByteArray> headers{
            "Content-Type: " + contentTypeOf(path),
            "Cache-Control: " + cacheControlOf(path),
            // The storage refuses the object when the bytes arrive otherwise.
            "Content-MD5: " + md5.toBase64(),
        };
        // Given as the body rather than read in parts: curl 7.88 hashes only
        // a body it holds whole into the signature.
        Answer answer = perform(
            objectUrl(path),
            [&](CURL* h) {
                curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, "PUT");
                curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(bytes.size()));
                curl_easy_setopt(h, CURLOPT_POSTFIELDS, bytes.constData());
                curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &hearHeader);
                curl_easy_setopt(h, CURLOPT_HEADERDATA, &etag);
            },
            headers, sha256Hex(bytes));
        // A plain PUT's ETag is the MD5 of what the storage keeps.
        if (answer.done() && !etag.isEmpty() && etag != QString::fromLatin1(md5.toHex()))
            return Answer::dropped(
                QStringLiteral("the storage kept other bytes than were sent (ETag %1)").arg(etag));
        return answer;
    }

    // Never asked: every put() writes the final key (see writesInPlace()).
    Answer rename(const QString&, const QString&) override {
        return Answer::refused(QStringLiteral("S3 storage cannot rename"));
    }

    Answer remove(const QString& path) override {
        return perform(objectUrl(path),
                       [](CURL* h) { curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, "DELETE"); });
    }

    // The listing gives every object's ETag, which serves as its stamp.
    QHash<QString, QString> exactStamps(const QString&, const QStringList&) override { return {}; }

    bool replacesAtomically() override { return true; }
    // A PUT replaces the object whole: readers get the old bytes or the new ones.
    bool writesInPlace() override { return true; }

    Answer open() override {
        RemoteListing ignored;
        return list(QString(), ignored);
    }

    void drop() override {
        if (m_handle)
            curl_easy_cleanup(m_handle);
        m_handle = nullptr;
    }

private:
    static QUrl endpointOf(const ConnectionOptions& options) {
        const QString typed = options.s3Endpoint.trimmed();
        if (typed.isEmpty())
            return QUrl(QStringLiteral("https://s3.%1.amazonaws.com").arg(regionOf(options)));
        return QUrl(typed.contains(QLatin1String("://")) ? typed
                                                         : QStringLiteral("https://") + typed);
    }
    static QString regionOf(const ConnectionOptions& options) {
        const QString region = options.s3Region.trimmed();
        return region.isEmpty() ? QStringLiteral("us-east-1") : region;
    }

    QString keyOf(const QString& path) const { return m_target.folder.mid(1) + path; }

    QString bucketUrl() const {
        const QString port =
            m_endpoint.port() > 0 ? QStringLiteral(":%1").arg(m_endpoint.port()) : QString();
        return m_options.s3PathStyle
                   ? QStringLiteral("%1://%2%3/%4")
                         .arg(m_endpoint.scheme(), m_endpoint.host(), port, encoded(m_target.host))
                   : QStringLiteral("%1://%2.%3%4/")
                         .arg(m_endpoint.scheme(), m_target.host, m_endpoint.host(), port);
    }
    QString objectUrl(const QString& path) const {
        return bucketUrl() + (m_options.s3PathStyle ? QStringLiteral("/") : QString()) +
               encoded(keyOf(path), "/");
    }

    static QByteArray contentTypeOf(const QString& path) {
        const QString name = nameOf(path).toLower();
        if (name.endsWith(QLatin1String(".html")) || name.endsWith(QLatin1String(".htm")))
            return "text/html; charset=utf-8";
        if (name.endsWith(QLatin1String(".css")))
            return "text/css; charset=utf-8";
        if (name.endsWith(QLatin1String(".json")))
            return "application/json";
        const QMimeType type = QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension);
        const QByteArray mime =
            type.isDefault() ? QByteArray("application/octet-stream") : type.name().toLatin1();
        return mime.startsWith("text/") ? mime + "; charset=utf-8" : mime;
    }
    // Pages change under the same name, so a cache asks again after a minute;
    // pictures and stylesheets seldom do and are kept a day. What Tandrel
    // keeps for itself is never cached.
    static QByteArray cacheControlOf(const QString& path) {
        const QString name = nameOf(path).toLower();
        if (path.startsWith(QLatin1String(".tandrel")))
            return "no-store";
        if (name.endsWith(QLatin1String(".html")) || name.endsWith(QLatin1String(".htm")))
            return "public, max-age=60";
        return "public, max-age=86400";
    }

    template <typename Setup>
    Answer perform(const QString& url, Setup setup, const QList<QByteArray>& extra = {},
                   const QByteArray& payloadHash = sha256Hex({})) {
        if (!m_handle)
            m_handle = curl_easy_init();
        CURL* h = m_handle;
        curl_easy_reset(h);
        m_error[0] = 0;
        const QByteArray address = url.toLatin1();
        const long silence = long(std::max<qint64>(
            1, std::chrono::duration_cast<std::chrono::seconds>(m_options.silence).count()));
        m_body.clear();
        curl_easy_setopt(h, CURLOPT_ERRORBUFFER, m_error);
        curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(h, CURLOPT_URL, address.constData());
        curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(h, CURLOPT_USERNAME, m_keyId.constData());
        curl_easy_setopt(h, CURLOPT_PASSWORD, m_secret.constData());
        curl_easy_setopt(h, CURLOPT_AWS_SIGV4, m_sigv4.constData());
        curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, silence);
        curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, silence);
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &appendTo);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, &m_body);
        m_stop.abort = m_options.abort;
        m_stop.asked = false;
        curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &stopWhenAsked);
        curl_easy_setopt(h, CURLOPT_XFERINFODATA, &m_stop);
        if (!m_options.caFile.isEmpty()) {
            const QByteArray ca = QFile::encodeName(m_options.caFile);
            curl_easy_setopt(h, CURLOPT_CAINFO, ca.constData()); // copied by curl
        }
        // curl 7.88 hashes the payload into the signature but does not send
        // the hash, which S3 needs. Every header given here is signed, so none
        // may be empty ("Expect:"): curl would sign it but leave it out.
        QList<QByteArray> lines = extra;
        lines << "x-amz-content-sha256: " + payloadHash;
        curl_slist* headers = nullptr;
        for (const QByteArray& line : lines)
            headers = curl_slist_append(headers, line.constData());
        const auto freeHeaders = qScopeGuard([headers] { curl_slist_free_all(headers); });
        curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers);
        setup(h);
        const CURLcode code = curl_easy_perform(h);
        long status = 0;
        curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
        return answer(code, status, m_body);
    }

    Answer answer(CURLcode code, long status, const QByteArray& body) const {
        const QString endpoint = m_endpoint.toString();
        if (code == CURLE_ABORTED_BY_CALLBACK)
            return m_stop.asked ? Answer::stopped() : Answer::refused(QStringLiteral("stopped"));
        if (code == CURLE_COULDNT_RESOLVE_HOST)
            return Answer::refused(
                m_options.s3PathStyle
                    ? QStringLiteral("the endpoint %1 is unknown; check the endpoint").arg(endpoint)
                    : QStringLiteral("the endpoint %1 with the bucket's name in front is "
                                     "unknown; check the endpoint, or choose path-style "
                                     "addressing")
                          .arg(endpoint));
        if (code == CURLE_COULDNT_CONNECT)
            return Answer::dropped(
                QStringLiteral("the endpoint %1 cannot be reached; check the endpoint")
                    .arg(endpoint));
        if (code == CURLE_PEER_FAILED_VERIFICATION || code == CURLE_SSL_CACERT_BADFILE)
            return Answer::refused(
                QStringLiteral("the endpoint's certificate could not be verified (%1)")
                    .arg(QString::fromUtf8(m_error)));
        if (code != CURLE_OK && status == 0)
            return Answer::dropped(
                QStringLiteral("the connection to %1 dropped (%2)")
                    .arg(endpoint,
                         QString::fromUtf8(m_error[0] ? m_error : curl_easy_strerror(code))));
        if (status >= 200 && status < 300)
            return Answer();
        const QString error = firstText(body, "Code");
        const QString bucket = m_target.host;
        if (error == QLatin1String("NoSuchKey") || (status == 404 && body.isEmpty()))
            return Answer::missing(QStringLiteral("no such file"));
        if (error == QLatin1String("NoSuchBucket"))
            return Answer::refused(
                QStringLiteral("there is no bucket \"%1\" at %2; create it, or correct the bucket "
                               "in the address or the endpoint")
                    .arg(bucket, endpoint));
        if (error == QLatin1String("SignatureDoesNotMatch"))
            return Answer::refused(QStringLiteral("the storage refused the secret key; enter the "
                                                  "secret belonging to the access key %1")
                                       .arg(m_target.user));
        if (error == QLatin1String("InvalidAccessKeyId"))
            return Answer::refused(QStringLiteral("the storage knows no access key %1; correct "
                                                  "the access key in the address")
                                       .arg(m_target.user));
        if (error == QLatin1String("AccessDenied"))
            return Answer::refused(QStringLiteral("access denied: the access key %1 may not "
                                                  "write to the bucket \"%2\"; grant it, or use "
                                                  "a key that may")
                                       .arg(m_target.user, bucket));
        if (error == QLatin1String("AuthorizationHeaderMalformed") ||
            error == QLatin1String("PermanentRedirect") || status == 301)
            return Answer::refused(
                QStringLiteral("the bucket \"%1\" is in another region than %2; correct the "
                               "region or the endpoint")
                    .arg(bucket, regionOf(m_options)));
        // The body's hashes, taken before it went, no longer match: worth another try.
        if (error == QLatin1String("BadDigest") ||
            error == QLatin1String("XAmzContentSHA256Mismatch"))
            return Answer::dropped(
                QStringLiteral("the bytes arrived damaged (the storage answered %1)").arg(error));
        const QString said = error.isEmpty() ? QStringLiteral("HTTP %1").arg(status) : error;
        if (status >= 500 || status == 408 || status == 429)
            return Answer::dropped(QStringLiteral("the storage answered %1").arg(said));
        return Answer::refused(QStringLiteral("the storage answered %1").arg(said));
    }

    PublishTarget m_target;
    const ConnectionOptions& m_options;
    QUrl m_endpoint;
    QByteArray m_keyId;
    QByteArray m_secret;
    QByteArray m_sigv4;
    CURL* m_handle = nullptr;
    QByteArray m_body; // of the last request
    char m_error[CURL_ERROR_SIZE] = {};
    Stop m_stop;
};

} // namespace

std::unique_ptr<Transport> makeS3Transport(const PublishTarget& target,
                                           const ConnectionOptions& options) {
    return std::make_unique<S3Transport>(target, options);
}

} // namespace tandrel
