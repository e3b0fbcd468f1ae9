#pragma once

#include "result.h"

#include <QString>

namespace tandrel {

// Where a funnel is published: "sftp://user@host[:port]/path", "ftps://..."
// (explicit TLS on the FTP port) or "ftp://...". Never holds a password.
// "s3://KEYID@bucket/prefix" names S3-compatible storage: user is the access
// key ID, host the bucket, folder the key prefix (the endpoint is an option).
struct PublishTarget {
    enum class Protocol { Sftp, Ftps, Ftp, S3 };
    Protocol protocol = Protocol::Sftp;
    QString user;
    QString host;
    int port = 0;   // 0: the protocol's own (22 or 21)
    QString folder; // as typed, decoded, always ending in "/"

    int effectivePort() const { return port ? port : (protocol == Protocol::Sftp ? 22 : 21); }
    // The address as the user writes it, and as libcurl takes it (ftps becomes
    // ftp with TLS demanded separately, the folder percent-encoded).
    QString text() const;
    QString curlUrl(const QString& relativePath = QString()) const;
    // The folder's path on the server for SFTP commands.
    QString serverPath(const QString& relativePath = QString()) const;
};

Result<PublishTarget> parsePublishTarget(const QString& text);

} // namespace tandrel
