#include "publishtarget.h"

#include <QUrl>

namespace tandrel {

namespace {

QString schemeOf(PublishTarget::Protocol protocol) {
    switch (protocol) {
    case PublishTarget::Protocol::Sftp:
        return QStringLiteral("sftp");
    case PublishTarget::Protocol::Ftps:
        return QStringLiteral("ftps");
    case PublishTarget::Protocol::S3:
        return QStringLiteral("s3");
    case PublishTarget::Protocol::Ftp:
        break;
    }
    return QStringLiteral("ftp");
}

} // namespace

QString PublishTarget::text() const {
    QUrl url;
    url.setScheme(schemeOf(protocol));
    url.setUserName(user);
    url.setHost(host);
    if (port)
        url.setPort(port);
    url.setPath(folder);
    return url.toString();
}

QString PublishTarget::curlUrl(const QString& relativePath) const {
    QUrl url;
    url.setScheme(protocol == Protocol::Sftp ? QStringLiteral("sftp") : QStringLiteral("ftp"));
    url.setHost(host);
    url.setPort(effectivePort());
    url.setPath(folder + relativePath);
    return QString::fromLatin1(url.toEncoded());
}

QString PublishTarget::serverPath(const QString& relativePath) const {
    return folder + relativePath;
}

Result<PublishTarget> parsePublishTarget(const QString& text) {
    using R = Result<PublishTarget>;
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return R::failure(QStringLiteral("Please enter the address to publish to, such as "
                                         "sftp://user@example.com/var/www/guide."));
    const QUrl url(trimmed);
    const QString scheme = url.scheme().toLower();
    PublishTarget target;
    if (scheme == QLatin1String("sftp"))
        target.protocol = PublishTarget::Protocol::Sftp;
    else if (scheme == QLatin1String("ftps"))
        target.protocol = PublishTarget::Protocol::Ftps;
    else if (scheme == QLatin1String("ftp"))
        target.protocol = PublishTarget::Protocol::Ftp;
    else if (scheme == QLatin1String("s3"))
        target.protocol = PublishTarget::Protocol::S3;
    else
        return R::failure(QStringLiteral("The address to publish to must start with sftp://, "
                                         "ftps://, ftp:// or s3://, such as "
                                         "sftp://user@example.com/var/www/guide."));
    const bool s3 = target.protocol == PublishTarget::Protocol::S3;
    if (!url.isValid() || url.host().isEmpty())
        return R::failure(
            QStringLiteral("The address to publish to names no server: %1").arg(trimmed));
    // Typed into an address, a password would end up in the saved funnel.
    if (!url.password().isEmpty())
        return R::failure(QStringLiteral("Leave the password out of the address to publish "
                                         "to; enter it in the password box instead."));
    if (url.userName().isEmpty())
        return R::failure(s3 ? QStringLiteral("The address to publish to needs the access key "
                                              "ID, such as s3://KEYID@bucket/guide.")
                             : QStringLiteral("The address to publish to needs the user name, "
                                              "such as sftp://user@example.com/var/www/guide."));
    // The endpoint and its port are options: the address names the bucket.
    if (s3 && url.port(0))
        return R::failure(QStringLiteral("An s3:// address names the bucket, not the server: "
                                         "give the endpoint (with its port) separately."));
    if (url.hasQuery() || url.hasFragment())
        return R::failure(QStringLiteral("The address to publish to cannot hold \"?\" or \"#\"."));
    target.user = url.userName();
    target.host = url.host();
    target.port = url.port(0);
    target.folder = url.path();
    if (target.folder.isEmpty())
        target.folder = QStringLiteral("/");
    if (!target.folder.endsWith(QLatin1Char('/')))
        target.folder += QLatin1Char('/');
    if (target.folder.split(QLatin1Char('/')).contains(QLatin1String("..")))
        return R::failure(QStringLiteral("The address to publish to cannot hold \"..\"."));
    return target;
}

} // namespace tandrel
