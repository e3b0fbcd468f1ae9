#pragma once

#include "remotefolder.h"

#include <QStringList>

#include <functional>

namespace tandrel {

struct PublishProgress {
    int done = 0;          // files sent so far
    int total = 0;         // files to send
    QString file;          // being sent now
    qint64 bytesSent = 0;  // of all the files to send, this file's part included
    qint64 bytesTotal = 0; // of all the files to send
};

// What a publish will change on the server, found before anything is written.
struct PlannedChange {
    enum class Kind { Add, Replace, Remove };
    Kind kind = Kind::Add;
    QString path;
    qint64 size = 0; // sent, or on the server for a removal
};

struct PublishPlan {
    QList<PlannedChange> changes; // in the order they happen
    int unchanged = 0;
    qint64 bytesToSend = 0;
    // "2 files to add, 1 to replace, 1 to remove, 48 KB to send, 9 unchanged"
    QString summary() const;
    // One line per change: what, the file, its size.
    QStringList lines() const;
};

struct PublishRequest {
    QString outputFolder; // the built funnel
    QStringList pages;    // lead magnet, thank-you and download page, as the build named them
    QStringList pageUrls; // their web addresses, fetched back when http(s)
    std::function<void(const PublishProgress&)> progress;
    // Asked before each file and while one goes: a cancel ends the transfer
    // under way, and the files that arrived are recorded as sent.
    std::function<bool()> cancelled;
    // Shown the plan once the server is compared, when something changes; false
    // stops before anything is sent.
    std::function<bool(const PublishPlan&)> confirm;
    // Lists and reads only: the plan is the whole result, nothing is written.
    bool dryRun = false;
    // Connections at once for the files before the pages; the pages go one by one on the first.
    int connections = 1;
};

struct PublishReport {
    enum class Outcome { Published, Failed, Cancelled, Planned };
    Outcome outcome = Outcome::Failed;
    int pagesSent = 0;
    int otherSent = 0;
    int unchanged = 0;
    int oldPagesRemoved = 0;
    qint64 bytesSent = 0; // of the files that arrived whole
    bool undo = false;    // undoLastPublish's
    QString message;      // "Published: ..." or what failed and what the visitors see
    QStringList notes;    // the pages fetched back, or why they could not be
    PublishPlan plan;
    bool published() const { return outcome == Outcome::Published; }
};

// The record of a publish, kept on the server beside the pages.
inline constexpr char kPublishRecordName[] = ".tandrel-publish.json";

// Sends what changed (assets first, the lead magnet page last, each under a
// temporary name renamed into place), then removes the old page files an
// earlier publish of this funnel sent, then checks the server's listing
// against every local file.
PublishReport publishFunnel(RemoteFolder& remote, const PublishRequest& request);

// The folder beside the pages that keeps what the last publish replaced or removed.
inline constexpr char kUndoFolder[] = ".tandrel-undo";

// Puts the server back as it was before the last publish (also a partial or
// cancelled one), with a publish's guarantees and order; undoing an undo redoes.
// request.pages and pageUrls name the lead magnet page and the pages to fetch back.
PublishReport undoLastPublish(RemoteFolder& remote, const PublishRequest& request);

// Logs in and lists the folder; the message says what was found.
Result<QString> testConnection(RemoteFolder& remote);

} // namespace tandrel
