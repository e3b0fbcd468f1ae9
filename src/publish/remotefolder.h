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
    QString stamp; // the listing's date and time, as the server wrote them
};
using RemoteListing = QMap<QString, RemoteEntry>;

// A server's SSH key the user has not trusted yet.
struct HostKeyQuestion {
    QString host;        // "example.com" or "[example.com]:2222"
    QString fingerprint; // "SHA256:..." as ssh prints it
};

struct ConnectionOptions {
    QString password;       // FTP password, SFTP password or key passphrase
    QString keyFile;        // SFTP private key
    QString knownHostsFile; // SFTP; empty: ~/.ssh/known_hosts
    QString caFile;         // FTPS: certificates trusted besides the system's
    // Asked about an unknown SFTP host key; true trusts it and adds it to the
    // known hosts. Unset refuses.
    std::function<bool(const HostKeyQuestion&)> trustNewHostKey;
    // Set from another thread, stops the transfer under way and every retry.
    const std::atomic<bool>* abort = nullptr;
    int attempts = 4; // per operation, for dropped connections
    std::chrono::milliseconds firstRetryWait{500};
};

// One folder on a server, reached over one reused connection. Every failure
// is one sentence naming the file and the server's answer, never a password.
class RemoteFolder {
public:
    RemoteFolder(PublishTarget target, ConnectionOptions options);
    ~RemoteFolder();
    RemoteFolder(const RemoteFolder&) = delete;
    RemoteFolder& operator=(const RemoteFolder&) = delete;

    const PublishTarget& target() const { return m_target; }

    // The entries of a folder below the target ("" the target itself); an
    // absent folder lists as empty.
    Result<RemoteListing> list(const QString& relativeFolder = QString());
    // Nothing when the file is absent.
    Result<std::optional<QByteArray>> read(const QString& relativePath);
    // Written under a temporary name, then renamed over relativePath, so a
    // reader gets the old file or the new one, never a part.
    Status put(const QByteArray& bytes, const QString& relativePath);
    Status remove(const QString& relativePath);

    // Set when the last failure was a dropped connection that retries did not mend.
    bool lastFailureWasConnection() const { return m_connectionFailure; }

    struct Curl;

private:
    // One libcurl transfer (setup gets the CURL handle); returns its CURLcode.
    int perform(const QString& url, const std::function<void(void*)>& setup);
    // "Sending index.html failed: the server answered ..." for code.
    QString failure(int code, const QString& what) const;

    PublishTarget m_target;
    ConnectionOptions m_options;
    std::unique_ptr<Curl> m_curl;
    bool m_connectionFailure = false;
};

// Parses an FTP or SFTP directory listing (Unix "ls -l" or DOS style).
RemoteListing parseListing(const QByteArray& listing);

// Fetches an http(s) address; nothing when it cannot be reached.
std::optional<QByteArray> fetchPage(const QString& url, QString* why = nullptr);

} // namespace tandrel
