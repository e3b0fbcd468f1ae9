#pragma once

#include "remotefolder.h"

#include <functional>
#include <memory>

namespace tandrel {

// "sub/" of "sub/page.html", "" of "page.html".
inline QString folderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? QString() : path.left(slash + 1);
}

inline QString nameOf(const QString& path) {
    return path.mid(path.lastIndexOf(u'/') + 1);
}

// What the server made of one request.
struct Answer {
    enum class Kind { Done, Refused, Missing, Dropped, Stopped };
    Kind kind = Kind::Done;
    QString why; // the server's answer in words, for the message

    bool done() const { return kind == Kind::Done; }
    static Answer refused(QString why) { return {Kind::Refused, std::move(why)}; }
    static Answer missing(QString why) { return {Kind::Missing, std::move(why)}; }
    static Answer dropped(QString why) { return {Kind::Dropped, std::move(why)}; }
    static Answer stopped() { return {Kind::Stopped, QStringLiteral("cancelled")}; }
};

// One protocol's way into the target folder; paths are relative to it. The
// first call logs in; after drop() the next one opens a fresh connection.
class Transport {
public:
    virtual ~Transport() = default;
    virtual Answer list(const QString& folder, RemoteListing& entries) = 0;
    virtual Answer read(const QString& path, QByteArray& bytes) = 0;
    // Makes missing folders on the way. Ends the transfer when stop, asked
    // while the bytes go, says so; sent, when given, hears how many have gone.
    virtual Answer write(const QString& path, const QByteArray& bytes,
                         const std::function<bool()>& stop,
                         const std::function<void(qint64)>& sent) = 0;
    // The file the next write() will be (empty: not known), which a transport
    // may start on early.
    virtual void expectWrite(const QString& path) { (void)path; }
    // Onto an existing name too when replacesAtomically() says so.
    virtual Answer rename(const QString& from, const QString& to) = 0;
    virtual Answer remove(const QString& path) = 0;
    // The exact modification times of files of one folder whose listing gave
    // none, by name; a name left out is unknown.
    virtual QHash<QString, QString> exactStamps(const QString& folder,
                                                const QStringList& names) = 0;
    virtual bool replacesAtomically() = 0;
    // A write that replaces the file whole, so put() needs no temporary name.
    virtual bool writesInPlace() { return false; }
    // Logs in now, so that the first step does not wait for it.
    virtual Answer open() = 0;
    virtual void drop() = 0;
};

void initCurlOnce();

std::unique_ptr<Transport> makeSftpTransport(const PublishTarget& target,
                                             const ConnectionOptions& options);
std::unique_ptr<Transport> makeFtpTransport(const PublishTarget& target,
                                            const ConnectionOptions& options);
std::unique_ptr<Transport> makeS3Transport(const PublishTarget& target,
                                           const ConnectionOptions& options);

} // namespace tandrel
