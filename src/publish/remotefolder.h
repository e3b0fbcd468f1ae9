#pragma once

#include "publishtarget.h"
#include "result.h"

#include <QByteArray>
#include <QMap>
#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace tandrel {

struct RemoteEntry {
    bool folder = false;
    qint64 size = 0;
    QString stamp; // exact modification time (seconds since 1970); empty when not listed exactly
    QString md5;   // the content's MD5 in hex where the listing tells it (S3's ETag)
};
using RemoteListing = QMap<QString, RemoteEntry>;

// A server's SSH key the user has not trusted yet.
struct HostKeyQuestion {
    QString host;        // "example.com" or "[example.com]:2222"
    QString fingerprint; // "SHA256:..." as ssh prints it
};

struct ConnectionOptions {
    QString password;       // FTP password, SFTP password or key passphrase, S3 secret key
    QString keyFile;        // SFTP private key
    QString knownHostsFile; // SFTP; empty: ~/.ssh/known_hosts
    QString caFile;         // FTPS: certificates trusted besides the system's
    QString memoryFile;     // FTPS: the settings file that remembers servers needing TLS 1.2
    // S3: "https://host[:port]" (empty: AWS in s3Region), the region signed
    // for (empty: us-east-1), and the bucket in the path rather than the host name.
    QString s3Endpoint;
    QString s3Region;
    bool s3PathStyle = false;
    // Asked about an unknown SFTP host key; true trusts it and adds it to the
    // known hosts. Unset refuses.
    std::function<bool(const HostKeyQuestion&)> trustNewHostKey;
    // Set from another thread, stops the transfer under way and every retry.
    const std::atomic<bool>* abort = nullptr;
    int attempts = 4; // per step, each after a dropped connection on a fresh one
    std::chrono::milliseconds firstRetryWait{500};
    std::chrono::milliseconds silence{20000}; // a server quiet this long has dropped
};

class Transport;
struct Answer;

// How RemoteFolder::put() may go about a file. With `fresh` the name is on no
// listing and nothing links to it yet, so the file goes straight under it and
// spares the rename. `next`, the file the following put() sends, lets the
// transport start on it early.
struct PutPlan {
    bool fresh = false;
    QString next;
    bool nextFresh = false;
};

// One folder on a server. Every step is retried on a fresh connection when
// the connection drops; every failure is one sentence naming the file and
// the server's answer, never a password.
class RemoteFolder {
public:
    RemoteFolder(PublishTarget target, ConnectionOptions options);
    ~RemoteFolder();
    RemoteFolder(const RemoteFolder&) = delete;
    RemoteFolder& operator=(const RemoteFolder&) = delete;

    const PublishTarget& target() const { return m_target; }
    const ConnectionOptions& options() const { return m_options; }

    // The entries of a folder below the target ("" the target itself); an
    // absent folder lists as empty.
    Result<RemoteListing> list(const QString& relativeFolder = QString());
    // Logs in ahead of the first step; a failed login is tried again by that step.
    void open();
    // Nothing when the file is absent.
    Result<std::optional<QByteArray>> read(const QString& relativePath);
    // Fills in the exact modification times the listing lacks for these files,
    // where the server can tell them.
    void fillStamps(RemoteListing& listing, const QStringList& relativePaths);
    // Written under a temporary name, then put in place so that a reader gets
    // the old file or the new one, never a part and, where the server can
    // replace in one step, never none. stop, asked while the bytes go, ends
    // the transfer and leaves the old file; sent hears the bytes of this try gone so far.
    Status put(const QByteArray& bytes, const QString& relativePath,
               const std::function<bool()>& stop = {}, const std::function<void(qint64)>& sent = {},
               const PutPlan& plan = {});
    Status remove(const QString& relativePath);

    // What a failed put() left under the file's name.
    enum class Left { OldFile, Unknown, Nothing };
    Left leftByLastPut() const { return m_left; }

    // A ".NAME.tandrel-part" or ".NAME.tandrel-old" file of an interrupted put.
    static bool isLeftover(const QString& name);
    // Puts back an old file set aside by an interrupted put, removes leftovers.
    Status clearLeftovers(const RemoteListing& folder, const QString& relativeFolder);

private:
    // Tries act again on a fresh connection while the connection drops;
    // before each retry, done() may tell that the dropped try did its work.
    Answer attempt(const std::function<Answer()>& act, const std::function<bool()>& done = {},
                   int attempts = 0);
    Status failure(const QString& what, const Answer& answer) const;
    Answer replace(const QString& part, const QString& relativePath, qint64 size);
    // Whether the file is there (with that size, unless -1); nothing when unknown.
    std::optional<bool> has(const QString& relativePath, qint64 size = -1);

    PublishTarget m_target;
    ConnectionOptions m_options;
    std::unique_ptr<Transport> m_transport;
    Left m_left = Left::OldFile;
};

// Parses an FTP or SFTP directory listing (MLSD, Unix "ls -l" or DOS style).
RemoteListing parseListing(const QByteArray& listing);

// Fetches an http(s) address; nothing when it cannot be reached.
std::optional<QByteArray> fetchPage(const QString& url, QString* why = nullptr);

} // namespace tandrel
