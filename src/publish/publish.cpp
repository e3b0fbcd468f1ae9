#include "publish.h"

#include "apppaths.h"
#include "textfiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <numeric>
#include <thread>

namespace tandrel {

namespace {

struct LocalFile {
    QString path;     // relative, with "/"
    QByteArray bytes; // read once, so a build made meanwhile changes nothing sent
    QString sha256;
};

struct Recorded {
    QString sha256;
    qint64 size = -1;
    QString stamp;
};
using Record = QMap<QString, Recorded>;

QString plural(int n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

// A name that is no text, or holds a line break, could not be named to a
// server (FTP) or would be garbled on the way: refused before anything goes.
bool sendableName(const std::string& name) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(QByteArrayView(name.data(), qsizetype(name.size())));
    return !utf8.hasError() && std::none_of(text.begin(), text.end(), [](QChar c) {
        return c.category() == QChar::Other_Control;
    });
}

Result<QList<LocalFile>> localFiles(const QString& folder) {
    using R = Result<QList<LocalFile>>;
    namespace fs = std::filesystem;
    QList<LocalFile> files;
    const fs::path root(QFile::encodeName(QFileInfo(folder).absoluteFilePath()).toStdString());
    std::error_code error;
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end;
         it.increment(error)) {
        const std::string relative = it->path().lexically_relative(root).string();
        const QString path = QFile::decodeName(QByteArray::fromStdString(relative));
        if (!sendableName(relative))
            return R::failure(QStringLiteral("The file \"%1\" in the output folder has a name that "
                                             "cannot be sent (it is not text, or holds a line "
                                             "break); rename or remove it, then publish again.")
                                  .arg(path.simplified()));
        if (!it->is_regular_file() ||
            QFileInfo(path).fileName().startsWith(QLatin1String(".tandrel")))
            continue;
        auto bytes = readFileBytes(
            QFile::decodeName(QByteArray::fromStdString(it->path().string())), kPictureFileLimit);
        if (!bytes)
            return R::failure(bytes.error());
        files.append({path, *bytes,
                      QString::fromLatin1(
                          QCryptographicHash::hash(*bytes, QCryptographicHash::Sha256).toHex())});
    }
    if (error)
        return R::failure(QStringLiteral("The output folder \"%1\" could not be read: %2.")
                              .arg(displayPath(folder), QString::fromStdString(error.message())));
    std::sort(files.begin(), files.end(),
              [](const LocalFile& a, const LocalFile& b) { return a.path < b.path; });
    return files;
}

Record parseRecord(const QByteArray& json) {
    Record record;
    const QJsonObject files = QJsonDocument::fromJson(json).object().value("files").toObject();
    for (auto it = files.begin(); it != files.end(); ++it) {
        const QJsonObject o = it.value().toObject();
        record.insert(it.key(), {o.value("sha256").toString(), o.value("size").toInteger(-1),
                                 o.value("stamp").toString()});
    }
    return record;
}

QByteArray recordJson(const Record& record) {
    QJsonObject files;
    for (auto it = record.begin(); it != record.end(); ++it)
        files.insert(
            it.key(),
            QJsonObject{{"sha256", it->sha256}, {"size", double(it->size)}, {"stamp", it->stamp}});
    return QJsonDocument(QJsonObject{{"publishedBy", "Tandrel"}, {"files", files}}).toJson();
}

// Names of every folder that holds a local file, parents first.
QStringList foldersOf(const QList<LocalFile>& files) {
    QSet<QString> seen;
    for (const LocalFile& f : files) {
        QString folder = f.path.section(QLatin1Char('/'), 0, -2);
        while (!folder.isEmpty() && !seen.contains(folder)) {
            seen.insert(folder);
            folder = folder.section(QLatin1Char('/'), 0, -2);
        }
    }
    QStringList folders(seen.begin(), seen.end());
    std::sort(folders.begin(), folders.end());
    return folders;
}

// The whole remote tree below the target, as far as local folders reach.
Result<RemoteListing> listTree(RemoteFolder& remote, const QList<LocalFile>& files) {
    auto top = remote.list();
    if (!top)
        return top;
    RemoteListing all = top.value();
    for (const QString& folder : foldersOf(files)) {
        const auto entry = all.constFind(folder);
        if (entry == all.constEnd() || !entry->folder)
            continue;
        auto inner = remote.list(folder);
        if (!inner)
            return inner;
        for (auto it = inner->begin(); it != inner->end(); ++it)
            all.insert(folder + QLatin1Char('/') + it.key(), it.value());
    }
    return all;
}

bool isOldPageName(const QString& path) {
    static const QRegularExpression page(QStringLiteral("^(thanks|download)\\d+\\.html$"));
    return page.match(path).hasMatch();
}

// Leftovers of an interrupted publish go first, an old page set aside put back.
Status clearLeftovers(RemoteFolder& remote, const RemoteListing& listing) {
    QMap<QString, RemoteListing> folders;
    for (auto it = listing.begin(); it != listing.end(); ++it)
        folders[it.key().section(u'/', 0, -2)].insert(it.key().section(u'/', -1), it.value());
    for (auto it = folders.begin(); it != folders.end(); ++it)
        if (Status cleared = remote.clearLeftovers(it.value(), it.key()); !cleared)
            return cleared;
    return Status::success();
}

// The file's exact time on the server, once fillStamps() asked for what the listing lacked.
QString stampOf(const RemoteListing& listing, const QString& path) {
    return listing.value(path).stamp;
}

// Whether the server's copy is what the record says this publish sent.
bool unchanged(RemoteFolder& remote, const RemoteListing& listing, const Record& previous,
               const LocalFile& f) {
    const auto there = listing.constFind(f.path);
    const auto known = previous.constFind(f.path);
    if (there == listing.constEnd() || there->folder || there->size != f.bytes.size())
        return false;
    // Whatever the record says: a publish cut short leaves no record of the files that arrived.
    if (!there->md5.isEmpty() &&
        there->md5 == QCryptographicHash::hash(f.bytes, QCryptographicHash::Md5).toHex())
        return true;
    if (known == previous.constEnd() || known->sha256 != f.sha256 || known->size != there->size)
        return false;
    const QString stamp = stampOf(listing, f.path);
    if (!stamp.isEmpty() && stamp == known->stamp)
        return true;
    // Touched, or a server that cannot tell: only the bytes can.
    const auto online = remote.read(f.path);
    return online && online->has_value() && **online == f.bytes;
}

} // namespace

namespace {

// What the server holds before anything is sent: its listing, with the leftovers of an
// interrupted publish cleared, and the record of the last publish.
struct RemoteState {
    RemoteListing listing;
    Record previous;
};

Result<RemoteState> readRemoteState(RemoteFolder& remote, const QList<LocalFile>& files,
                                    bool clear) {
    using R = Result<RemoteState>;
    auto listing = listTree(remote, files);
    if (!listing)
        return R::failure(listing.error());
    if (Status cleared = clear ? clearLeftovers(remote, *listing) : Status::success(); !cleared)
        return R::failure(cleared.error());
    auto recordBytes = remote.read(QLatin1String(kPublishRecordName));
    if (!recordBytes)
        return R::failure(recordBytes.error());
    RemoteState state{listing.value(),
                      recordBytes->has_value() ? parseRecord(**recordBytes) : Record()};
    // Times are asked only of the files that may be unchanged.
    QStringList maybeUnchanged;
    for (const LocalFile& f : files) {
        const auto known = state.previous.constFind(f.path);
        if (known != state.previous.constEnd() && known->sha256 == f.sha256 &&
            known->size == f.bytes.size() && state.listing.value(f.path).size == known->size)
            maybeUnchanged << f.path;
    }
    remote.fillStamps(state.listing, maybeUnchanged);
    return state;
}

// Assets first and the lead magnet page last, so no visitor meets a page
// whose pictures or next page are not there yet.
QList<LocalFile> filesToSend(RemoteFolder& remote, const RemoteState& state,
                             const QList<LocalFile>& files, const QStringList& pages,
                             PublishReport& report) {
    QList<LocalFile> toSend;
    QList<LocalFile> pagesToSend;
    for (const LocalFile& f : files) {
        if (unchanged(remote, state.listing, state.previous, f)) {
            ++report.unchanged;
            continue;
        }
        (pages.contains(f.path) ? pagesToSend : toSend).append(f);
    }
    for (auto page = pages.crbegin(); page != pages.crend(); ++page) {
        for (const LocalFile& f : pagesToSend) {
            if (f.path == *page)
                toSend.append(f);
        }
    }
    return toSend;
}

// The old pages a publish removes once the new ones are live: only the ones this funnel sent.
bool removable(const RemoteState& state, const QSet<QString>& local, const QString& path) {
    return !local.contains(path) && isOldPageName(path) && state.listing.contains(path);
}

QStringList pathListOf(const QList<LocalFile>& files) {
    QStringList paths;
    for (const LocalFile& f : files)
        paths << f.path;
    return paths;
}

QSet<QString> pathsOf(const QList<LocalFile>& files) {
    QSet<QString> paths;
    for (const LocalFile& f : files)
        paths.insert(f.path);
    return paths;
}

PublishPlan planOf(const RemoteState& state, const QList<LocalFile>& files,
                   const QList<LocalFile>& toSend, int unchanged) {
    PublishPlan plan;
    plan.unchanged = unchanged;
    for (const LocalFile& f : toSend) {
        const auto there = state.listing.constFind(f.path);
        const bool replaces = there != state.listing.constEnd() && !there->folder;
        plan.changes.append({replaces ? PlannedChange::Kind::Replace : PlannedChange::Kind::Add,
                             f.path, f.bytes.size()});
        plan.bytesToSend += f.bytes.size();
    }
    const QSet<QString> local = pathsOf(files);
    for (auto it = state.previous.begin(); it != state.previous.end(); ++it)
        if (removable(state, local, it.key()))
            plan.changes.append(
                {PlannedChange::Kind::Remove, it.key(), state.listing.value(it.key()).size});
    return plan;
}

// What visitors see after a publish stopped before file `sent` of `toSend`.
QString leftAlone(RemoteFolder& remote, const QList<LocalFile>& toSend, int sent,
                  const QString& leadPage) {
    const int total = int(toSend.size());
    const bool atLeadPage = sent < total && toSend[sent].path == leadPage;
    const QString live =
        !atLeadPage ? QStringLiteral("the lead magnet page not yet replaced")
        : remote.leftByLastPut() == RemoteFolder::Left::Nothing
            ? QStringLiteral("but the lead magnet page %1 could not be put back and is "
                             "missing until you publish again")
                  .arg(leadPage)
        : remote.leftByLastPut() == RemoteFolder::Left::Unknown
            ? QStringLiteral("the lead magnet page is whole, but whether it is the old or "
                             "the new one could not be checked")
            : QStringLiteral("the lead magnet page not yet replaced");
    return QStringLiteral(" The live funnel was left as it was: %1 of %2 files sent, %3.")
        .arg(sent)
        .arg(total)
        .arg(live);
}

// Files before the first page go in any order, over several connections.
qsizetype filesBeforePages(const PublishRequest& request, const QList<LocalFile>& toSend) {
    const QString leadPage = request.pages.value(0, QStringLiteral("index.html"));
    return std::find_if(toSend.begin(), toSend.end(),
                        [&](const LocalFile& f) {
                            return f.path == leadPage || request.pages.contains(f.path) ||
                                   isOldPageName(f.path);
                        }) -
           toSend.begin();
}

// The connections beside the first, logging in on threads of their own while
// the first one still prepares, so that no file waits for a login later.
class ExtraConnections {
public:
    ExtraConnections(const RemoteFolder& remote, int count) {
        for (int c = 0; c < count; ++c) {
            m_folders.push_back(std::make_unique<RemoteFolder>(remote.target(), remote.options()));
            m_logins.emplace_back(&RemoteFolder::open, m_folders.back().get());
        }
    }
    ExtraConnections(const ExtraConnections&) = delete;
    ExtraConnections& operator=(const ExtraConnections&) = delete;
    ~ExtraConnections() { wait(); }
    // count connections, those logged in first.
    std::vector<std::unique_ptr<RemoteFolder>> take(const RemoteFolder& remote, int count) {
        wait();
        while (int(m_folders.size()) < count)
            m_folders.push_back(std::make_unique<RemoteFolder>(remote.target(), remote.options()));
        m_folders.resize(size_t(count));
        return std::move(m_folders);
    }

private:
    void wait() {
        for (std::thread& login : m_logins)
            if (login.joinable())
                login.join();
    }
    std::vector<std::unique_ptr<RemoteFolder>> m_folders;
    std::vector<std::thread> m_logins;
};

// A file no listing has and no page links to yet goes straight under its name:
// a visitor cannot meet it half sent. Hidden files (.htaccess) are read by the
// server itself, so they never do.
bool freshName(const RemoteListing* listing, const QString& path) {
    return listing && !listing->contains(path) && !path.startsWith(u'.') &&
           !path.contains(QLatin1String("/."));
}

// The files before the first page, over up to request.connections connections
// at once: the order among pictures and stylesheets matters to no visitor.
// Stops at the first failure; `stopped` then holds it (empty for a cancel).
// Each connection takes its next file before it sends one, so that the
// transport may start on it early.
QList<LocalFile> sendInParallel(RemoteFolder& remote, ExtraConnections* extra,
                                const PublishRequest& request, const QList<LocalFile>& files,
                                int total, qint64 bytesTotal, const RemoteListing* listing,
                                std::optional<QString>& stopped) {
    struct Shared {
        std::mutex lock;
        QList<int> waiting;
        QList<LocalFile> arrived;
        qint64 bytesDone = 0;
        std::vector<qint64> going;
        std::optional<QString> stopped;
        std::atomic<bool> stop{false};
    } s;
    if (files.isEmpty())
        return {};
    for (int i = 0; i < files.size(); ++i)
        s.waiting << i;
    const int connections = std::clamp(request.connections, 1, int(files.size()));
    s.going.assign(size_t(connections), 0);
    const auto cancelled = [&] { return request.cancelled && request.cancelled(); };
    const auto report = [&](const QString& path) { // under the lock
        if (request.progress)
            request.progress(
                {int(s.arrived.size()), total, path,
                 s.bytesDone + std::accumulate(s.going.begin(), s.going.end(), qint64(0)),
                 bytesTotal});
    };
    const auto work = [&](RemoteFolder& folder, int c) {
        QElapsedTimer sinceReport;
        bool sentOne = false;
        int next = -1;
        for (;;) {
            int i = 0;
            {
                std::lock_guard held(s.lock);
                if (next < 0 && !s.waiting.isEmpty())
                    next = s.waiting.takeFirst();
                if (s.stop || next < 0)
                    return;
                if (cancelled()) {
                    s.stop = true;
                    s.stopped = QString();
                    return;
                }
                i = std::exchange(next, s.waiting.isEmpty() ? -1 : s.waiting.takeFirst());
                report(files[i].path);
            }
            sinceReport.start();
            const auto going = [&](qint64 bytes) {
                std::lock_guard held(s.lock);
                s.going[size_t(c)] = bytes;
                if (sinceReport.elapsed() >= 250) {
                    report(files[i].path);
                    sinceReport.start();
                }
            };
            PutPlan plan;
            plan.fresh = freshName(listing, files[i].path);
            if (next >= 0)
                plan.next = files[next].path;
            plan.nextFresh = next >= 0 && freshName(listing, plan.next);
            const Status sent = folder.put(
                files[i].bytes, files[i].path, [&] { return s.stop.load() || cancelled(); }, going,
                plan);
            std::lock_guard held(s.lock);
            s.going[size_t(c)] = 0;
            if (sent) {
                s.arrived << files[i];
                s.bytesDone += files[i].bytes.size();
                sentOne = true;
                continue;
            }
            // A host that takes fewer logins than asked: the others carry on with its files.
            if (c > 0 && !sentOne && !s.stop && !cancelled()) {
                if (next >= 0)
                    s.waiting.prepend(next);
                s.waiting.prepend(i);
                return;
            }
            if (!s.stop)
                s.stopped = cancelled() ? QString() : sent.error();
            s.stop = true;
            return;
        }
    };
    ExtraConnections none(remote, 0);
    std::vector<std::unique_ptr<RemoteFolder>> more =
        (extra ? extra : &none)->take(remote, connections - 1);
    std::vector<std::thread> threads;
    // Each extra connection logs out as soon as its files are done, not one after another at the
    // end.
    for (int c = 1; c < connections; ++c)
        threads.emplace_back([&, c] {
            work(*more[size_t(c - 1)], c);
            more[size_t(c - 1)].reset();
        });
    work(remote, 0);
    for (std::thread& t : threads)
        t.join();
    work(remote, 0); // what a connection the host refused gave back meanwhile
    stopped = s.stopped;
    return s.arrived;
}

// The files that arrived, all of them unless the publish stopped; the report says why.
// `listing`, the server's before the publish, tells which names are fresh.
QList<LocalFile> sendFiles(RemoteFolder& remote, const PublishRequest& request,
                           const QList<LocalFile>& toSend, PublishReport& report,
                           ExtraConnections* extra = nullptr,
                           const RemoteListing* listing = nullptr) {
    const int total = int(toSend.size());
    const QString leadPage = request.pages.value(0, QStringLiteral("index.html"));
    qint64 bytesTotal = 0;
    for (const LocalFile& f : toSend)
        bytesTotal += f.bytes.size();
    const auto firstPage = toSend.begin() + filesBeforePages(request, toSend);
    std::optional<QString> stopped;
    QList<LocalFile> arrived =
        sendInParallel(remote, extra, request, QList<LocalFile>(toSend.begin(), firstPage), total,
                       bytesTotal, listing, stopped);
    const auto count = [&] {
        for (const LocalFile& f : arrived)
            (request.pages.contains(f.path) ? report.pagesSent : report.otherSent)++;
        for (const LocalFile& f : arrived)
            report.bytesSent += f.bytes.size();
    };
    if (stopped) {
        report.outcome =
            stopped->isEmpty() ? PublishReport::Outcome::Cancelled : PublishReport::Outcome::Failed;
        report.message =
            (stopped->isEmpty() ? QStringLiteral("Publishing was cancelled.") : *stopped) +
            leftAlone(remote, toSend, int(arrived.size()), leadPage);
        count();
        return arrived;
    }
    qint64 bytesBefore = 0; // of the files that arrived
    for (const LocalFile& f : arrived)
        bytesBefore += f.bytes.size();
    // While a file goes, a few reports a second are plenty.
    QElapsedTimer sinceReport;
    for (int i = int(arrived.size()); i < total; ++i) {
        const LocalFile& f = toSend[i];
        if (request.cancelled && request.cancelled()) {
            report.outcome = PublishReport::Outcome::Cancelled;
            report.message = QStringLiteral("Publishing was cancelled.") +
                             leftAlone(remote, toSend, i, leadPage);
            count();
            return arrived;
        }
        if (request.progress) {
            request.progress({i, total, f.path, bytesBefore, bytesTotal});
            sinceReport.start();
        }
        const auto going = [&](qint64 bytes) {
            if (request.progress && sinceReport.elapsed() >= 250) {
                request.progress({i, total, f.path, bytesBefore + bytes, bytesTotal});
                sinceReport.start();
            }
        };
        PutPlan plan;
        if (i + 1 < total)
            plan.next = toSend[i + 1].path;
        if (Status sent = remote.put(f.bytes, f.path, request.cancelled, going, plan); !sent) {
            const bool cancelled = request.cancelled && request.cancelled();
            report.outcome =
                cancelled ? PublishReport::Outcome::Cancelled : PublishReport::Outcome::Failed;
            report.message =
                (cancelled ? QStringLiteral("Publishing was cancelled.") : sent.error()) +
                leftAlone(remote, toSend, i, leadPage);
            count();
            return arrived;
        }
        arrived << f;
        bytesBefore += f.bytes.size();
    }
    count();
    if (request.progress)
        request.progress({total, total, QString(), bytesTotal, bytesTotal});
    return arrived;
}

// After a cancel, the files that arrived whole join the record, so that the
// next publish does not send them again; the rest of the record stays true,
// as nothing else was touched. Should this fail, they simply go again.
Status recordArrived(RemoteFolder& remote, const RemoteState& state, const QList<LocalFile>& files,
                     const QList<LocalFile>& arrived) {
    if (arrived.isEmpty())
        return Status::success();
    auto after = listTree(remote, files);
    if (!after)
        return Status::failure(after.error());
    remote.fillStamps(after.value(), pathListOf(arrived));
    Record next = state.previous;
    for (const LocalFile& f : arrived) {
        const auto there = after->constFind(f.path);
        if (there != after->constEnd() && !there->folder && there->size == f.bytes.size())
            next.insert(f.path, {f.sha256, there->size, stampOf(*after, f.path)});
        else
            next.remove(f.path);
    }
    return remote.put(recordJson(next), QLatin1String(kPublishRecordName));
}

// Only now that the new pages are live may the old ones go, and only the ones this
// funnel sent. `next` keeps the earlier files still on the server.
Status removeOldPages(RemoteFolder& remote, const RemoteState& state, const QList<LocalFile>& files,
                      Record& next, PublishReport& report) {
    const QSet<QString> local = pathsOf(files);
    for (auto it = state.previous.begin(); it != state.previous.end(); ++it) {
        if (local.contains(it.key()))
            continue;
        if (removable(state, local, it.key())) {
            if (Status removed = remote.remove(it.key()); !removed)
                return Status::failure(removed.error() +
                                       QStringLiteral(" The new funnel is live."));
            ++report.oldPagesRemoved;
        } else if (state.listing.contains(it.key())) {
            next.insert(it.key(), it.value()); // still ours, kept
        }
    }
    return Status::success();
}

// Lists the server again, records what arrived and names what did not.
Status checkAndRecord(RemoteFolder& remote, const QList<LocalFile>& files, Record next) {
    auto after = listTree(remote, files);
    if (!after)
        return Status::failure(after.error());
    remote.fillStamps(after.value(), pathListOf(files));
    QStringList wrong;
    for (const LocalFile& f : files) {
        const auto there = after->constFind(f.path);
        if (there == after->constEnd() || there->folder) {
            wrong << QStringLiteral("%1 is missing").arg(f.path);
            continue;
        }
        if (there->size != f.bytes.size()) {
            wrong << QStringLiteral("%1 has %2 bytes instead of %3")
                         .arg(f.path)
                         .arg(there->size)
                         .arg(f.bytes.size());
            continue;
        }
        next.insert(f.path, {f.sha256, there->size, stampOf(*after, f.path)});
    }
    if (Status saved = remote.put(recordJson(next), QLatin1String(kPublishRecordName)); !saved)
        return saved;
    if (!wrong.isEmpty())
        return Status::failure(
            QStringLiteral("The server's folder does not match the funnel: %1. Publish "
                           "again to send them.")
                .arg(wrong.join(QStringLiteral(", "))));
    return Status::success();
}

// The pages fetched back from their web addresses and compared with what was sent.
QStringList fetchedBackNotes(const PublishRequest& request, const QList<LocalFile>& files) {
    QStringList notes;
    int matching = 0;
    for (int i = 0; i < request.pageUrls.size() && i < request.pages.size(); ++i) {
        const QString& url = request.pageUrls[i];
        if (!url.startsWith(QLatin1String("http://")) && !url.startsWith(QLatin1String("https://")))
            continue;
        QString why;
        const auto online = fetchPage(url, &why);
        if (!online) {
            notes << QStringLiteral("%1 could not be fetched (%2); open it in a browser "
                                    "to check.")
                         .arg(url, why);
            continue;
        }
        const auto local = std::find_if(files.begin(), files.end(), [&](const LocalFile& f) {
            return f.path == request.pages[i];
        });
        if (local != files.end() && local->bytes == *online)
            ++matching;
        else
            notes << QStringLiteral("%1 differs from the page published; the host may "
                                    "rewrite pages or serve an old copy from a cache.")
                         .arg(url);
    }
    if (matching && notes.isEmpty())
        notes << QStringLiteral("The %1 online are the ones published.")
                     .arg(matching == 1 ? QStringLiteral("page")
                                        : QStringLiteral("%1 pages").arg(matching));
    return notes;
}

// What the last publish changed, kept on the server for an undo: the copies of
// the files it replaced or removed (flat, numbered, in kUndoFolder), the files
// it added, and the record before it. Only the newest publish is kept.
constexpr char kUndoManifest[] = "undo.json";

QString undoPath(const QString& name) {
    return QLatin1String(kUndoFolder) + u'/' + name;
}

struct UndoState {
    QMap<QString, QString> kept; // path: the copy's name in kUndoFolder
    QStringList added;           // absent before
    QByteArray record;           // the record before, as it was
};

Result<std::optional<UndoState>> readUndoState(RemoteFolder& remote) {
    using R = Result<std::optional<UndoState>>;
    const auto bytes = remote.read(undoPath(QLatin1String(kUndoManifest)));
    if (!bytes)
        return R::failure(bytes.error());
    if (!bytes->has_value())
        return std::optional<UndoState>();
    const QJsonObject o = QJsonDocument::fromJson(**bytes).object();
    UndoState state;
    const QJsonObject kept = o.value("kept").toObject();
    for (auto it = kept.begin(); it != kept.end(); ++it)
        state.kept.insert(it.key(), it.value().toString());
    for (const auto& path : o.value("added").toArray())
        state.added << path.toString();
    state.record = o.value("record").toString().toUtf8();
    // Whatever the file says, nothing outside the funnel's folder is written or removed.
    static const QRegularExpression ours(QStringLiteral("^[0-9]+$"));
    const auto inside = [](const QString& path) {
        return !path.isEmpty() && !path.startsWith(u'/') &&
               !path.split(u'/').contains(QStringLiteral("..")) &&
               !path.startsWith(QLatin1String(".tandrel"));
    };
    const QStringList paths = state.kept.keys() + state.added;
    if (!std::all_of(paths.begin(), paths.end(), inside) ||
        !std::all_of(state.kept.begin(), state.kept.end(),
                     [](const QString& name) { return ours.match(name).hasMatch(); }))
        return R::failure(QStringLiteral("The undo state in %1 on the server is damaged.")
                              .arg(QLatin1String(kUndoFolder)));
    return std::optional<UndoState>(state);
}

// Replaces the kept state by copies of what the planned changes replace or remove.
// The manifest goes first and comes last, so no manifest ever names a missing copy.
Status keepForUndo(RemoteFolder& remote, const PublishPlan& plan, const QByteArray& record,
                   PublishReport& report) {
    const auto listing = remote.list(QLatin1String(kUndoFolder));
    if (!listing)
        return Status::failure(listing.error());
    const QString manifest = QLatin1String(kUndoManifest);
    QStringList old;
    for (auto it = listing->begin(); it != listing->end(); ++it)
        if (!it->folder)
            old << it.key();
    if (old.removeAll(manifest))
        old.prepend(manifest);
    for (const QString& name : old)
        if (Status removed = remote.remove(undoPath(name)); !removed)
            return removed;
    QJsonObject kept;
    QJsonArray added;
    qint64 bytes = 0;
    for (const PlannedChange& change : plan.changes) {
        const auto now = change.kind == PlannedChange::Kind::Add
                             ? Result<std::optional<QByteArray>>(std::optional<QByteArray>())
                             : remote.read(change.path);
        if (!now)
            return Status::failure(now.error());
        if (!now->has_value()) {
            added.append(change.path);
            continue;
        }
        const QString name = QString::number(kept.size());
        if (Status put = remote.put(**now, undoPath(name)); !put)
            return put;
        kept.insert(change.path, name);
        bytes += (*now)->size();
    }
    const QJsonObject o{{"kept", kept}, {"added", added}, {"record", QString::fromUtf8(record)}};
    if (Status put = remote.put(QJsonDocument(o).toJson(), undoPath(manifest)); !put)
        return put;
    report.notes << QStringLiteral("Kept on the server for an undo: %1, %2 in %3.")
                        .arg(plural(int(kept.size()), "file", "files"),
                             QLocale::c().formattedDataSize(bytes, 1,
                                                            QLocale::DataSizeTraditionalFormat),
                             QLatin1String(kUndoFolder));
    return Status::success();
}

} // namespace

PublishReport publishFunnel(RemoteFolder& remote, const PublishRequest& request) {
    PublishReport report;
    const auto fail = [&](const QString& message) {
        report.outcome = PublishReport::Outcome::Failed;
        report.message = message;
        return report;
    };
    auto files = localFiles(request.outputFolder);
    if (!files)
        return fail(files.error());
    if (files->isEmpty())
        return fail(QStringLiteral("Nothing to publish: the folder \"%1\" is empty.")
                        .arg(displayPath(request.outputFolder)));
    const auto state = readRemoteState(remote, *files, !request.dryRun);
    if (!state)
        return fail(state.error() +
                    QStringLiteral(" Nothing was sent: the live funnel is as it was."));
    const QList<LocalFile> toSend = filesToSend(remote, *state, *files, request.pages, report);
    report.plan = planOf(*state, *files, toSend, report.unchanged);
    if (request.dryRun) {
        report.outcome = PublishReport::Outcome::Planned;
        report.message = QStringLiteral("Dry run: %1. Nothing was written on the server.")
                             .arg(report.plan.summary());
        return report;
    }
    if (request.confirm && !report.plan.changes.isEmpty() && !request.confirm(report.plan)) {
        report.outcome = PublishReport::Outcome::Cancelled;
        report.message = QStringLiteral("Publishing was cancelled: nothing was sent, the live "
                                        "funnel is as it was.");
        return report;
    }
    // As many as there are files before the pages to share them.
    ExtraConnections extra(
        remote, std::min(request.connections, int(filesBeforePages(request, toSend))) - 1);
    if (!report.plan.changes.isEmpty())
        if (Status kept = keepForUndo(remote, report.plan, recordJson(state->previous), report);
            !kept)
            return fail(kept.error() + QStringLiteral(" Nothing was sent: the live funnel is as "
                                                      "it was."));
    if (const QList<LocalFile> arrived =
            sendFiles(remote, request, toSend, report, &extra, &state->listing);
        arrived.size() < toSend.size()) {
        if (report.outcome != PublishReport::Outcome::Cancelled)
            return report;
        if (Status kept = recordArrived(remote, *state, *files, arrived); !kept)
            report.notes << kept.error() +
                                QStringLiteral(" The files sent go again at the next publish.");
        return report;
    }
    Record next;
    if (Status removed = removeOldPages(remote, *state, *files, next, report); !removed)
        return fail(removed.error());
    if (Status checked = checkAndRecord(remote, *files, next); !checked)
        return fail(checked.error() + QStringLiteral(" The new funnel is live."));

    report.outcome = PublishReport::Outcome::Published;
    report.message = QStringLiteral("Published: %1 and %2 sent, %3 unchanged, %4 removed")
                         .arg(plural(report.pagesSent, "page", "pages"),
                              plural(report.otherSent, "other file", "other files"))
                         .arg(report.unchanged)
                         .arg(plural(report.oldPagesRemoved, "old page", "old pages"));
    report.notes = fetchedBackNotes(request, *files) + report.notes;
    return report;
}

PublishReport undoLastPublish(RemoteFolder& remote, const PublishRequest& request) {
    PublishReport report;
    report.undo = true;
    const auto fail = [&](const QString& message) {
        report.outcome = PublishReport::Outcome::Failed;
        report.message = message;
        return report;
    };
    const QString untouched = QStringLiteral(" Nothing was changed: the live funnel is as it was.");
    const auto undo = readUndoState(remote);
    if (!undo)
        return fail(undo.error() + untouched);
    if (!undo->has_value())
        return fail(
            QStringLiteral("There is no publish to undo in %1.").arg(remote.target().text()));
    const UndoState& last = **undo;
    // The copies first: each must be there, whole, before anything changes.
    QList<LocalFile> restored;
    for (auto it = last.kept.begin(); it != last.kept.end(); ++it) {
        const auto bytes = remote.read(undoPath(it.value()));
        if (!bytes || !bytes->has_value())
            return fail(
                (bytes
                     ? QStringLiteral("The copy of %1 kept for the undo is missing.").arg(it.key())
                     : bytes.error()) +
                untouched);
        restored.append(
            {it.key(), **bytes,
             QString::fromLatin1(
                 QCryptographicHash::hash(**bytes, QCryptographicHash::Sha256).toHex())});
    }
    auto state = readRemoteState(remote, restored, !request.dryRun);
    if (!state)
        return fail(state.error() + untouched);
    // Assets, then the pages, the lead magnet page last; the files the publish added go after.
    const QString leadPage = request.pages.value(0, QStringLiteral("index.html"));
    const auto rank = [&](const LocalFile& f) {
        return f.path == leadPage ? 2 : isOldPageName(f.path) ? 1 : 0;
    };
    std::stable_sort(restored.begin(), restored.end(),
                     [&](const LocalFile& a, const LocalFile& b) { return rank(a) < rank(b); });
    for (const LocalFile& f : restored) {
        const auto there = state->listing.constFind(f.path);
        report.plan.changes.append({there != state->listing.constEnd() && !there->folder
                                        ? PlannedChange::Kind::Replace
                                        : PlannedChange::Kind::Add,
                                    f.path, f.bytes.size()});
        report.plan.bytesToSend += f.bytes.size();
    }
    QList<LocalFile> addedFolders; // so the listing reaches into their folders
    for (const QString& path : last.added)
        addedFolders.append({path, {}, {}});
    const auto listed = listTree(remote, addedFolders);
    if (!listed)
        return fail(listed.error() + untouched);
    QStringList toRemove;
    for (const QString& path : last.added)
        if (listed->contains(path) && !listed->value(path).folder) {
            toRemove << path;
            report.plan.changes.append(
                {PlannedChange::Kind::Remove, path, listed->value(path).size});
        }
    if (request.dryRun) {
        report.outcome = PublishReport::Outcome::Planned;
        report.message = QStringLiteral("Dry run of the undo: %1. Nothing was written on the "
                                        "server.")
                             .arg(report.plan.summary());
        return report;
    }
    if (request.confirm && !request.confirm(report.plan)) {
        report.outcome = PublishReport::Outcome::Cancelled;
        report.message = QStringLiteral("The undo was cancelled.") + untouched;
        return report;
    }
    // The undo is a publish too: undoing it puts this funnel back.
    if (Status kept = keepForUndo(remote, report.plan, recordJson(state->previous), report); !kept)
        return fail(kept.error() + untouched);
    if (sendFiles(remote, request, restored, report).size() < restored.size())
        return report;
    for (const QString& path : toRemove)
        if (Status removed = remote.remove(path); !removed)
            return fail(removed.error() + QStringLiteral(" The funnel as it was is live again."));
    // The record before, with the times the server now gives the files put back.
    Record before = parseRecord(last.record);
    for (const LocalFile& f : restored)
        before.remove(f.path);
    if (Status checked = checkAndRecord(remote, restored, before); !checked)
        return fail(checked.error() + QStringLiteral(" The funnel as it was is live again."));
    report.outcome = PublishReport::Outcome::Published;
    report.oldPagesRemoved = int(toRemove.size());
    report.message = QStringLiteral("Undone: %1 put back, %2 removed")
                         .arg(plural(int(restored.size()), "file", "files"),
                              plural(int(toRemove.size()), "file", "files"));
    PublishRequest back = request;
    back.pages.clear();
    back.pageUrls.clear();
    for (int i = 0; i < request.pages.size() && i < request.pageUrls.size(); ++i)
        if (std::any_of(restored.begin(), restored.end(),
                        [&](const LocalFile& f) { return f.path == request.pages[i]; })) {
            back.pages << request.pages[i];
            back.pageUrls << request.pageUrls[i];
        }
    report.notes = fetchedBackNotes(back, restored) + report.notes;
    return report;
}

QString PublishPlan::summary() const {
    int counts[3] = {0, 0, 0};
    for (const PlannedChange& change : changes)
        ++counts[int(change.kind)];
    QStringList parts;
    if (counts[0])
        parts << plural(counts[0], "file to add", "files to add");
    if (counts[1])
        parts << (parts.isEmpty() ? plural(counts[1], "file to replace", "files to replace")
                                  : QStringLiteral("%1 to replace").arg(counts[1]));
    if (counts[2])
        parts << plural(counts[2], "old page to remove", "old pages to remove");
    if (parts.isEmpty())
        parts << QStringLiteral("nothing to change");
    if (bytesToSend > 0)
        parts << QStringLiteral("%1 to send")
                     .arg(QLocale::c().formattedDataSize(bytesToSend, 1,
                                                         QLocale::DataSizeTraditionalFormat));
    if (unchanged)
        parts << QStringLiteral("%1 unchanged").arg(unchanged);
    return parts.join(QStringLiteral(", "));
}

QStringList PublishPlan::lines() const {
    static const char* const verbs[] = {"add    ", "replace", "remove "};
    QStringList out;
    for (const PlannedChange& change : changes)
        out << QStringLiteral("%1 %2 (%3)")
                   .arg(QLatin1String(verbs[int(change.kind)]), change.path,
                        QLocale::c().formattedDataSize(change.size, 1,
                                                       QLocale::DataSizeTraditionalFormat));
    return out;
}

Result<QString> testConnection(RemoteFolder& remote) {
    auto listing = remote.list();
    if (!listing)
        return Result<QString>::failure(listing.error());
    const bool published = listing->contains(QLatin1String(kPublishRecordName));
    return QStringLiteral("Connected to %1: %2.")
        .arg(remote.target().text(),
             listing->isEmpty() ? QStringLiteral("the folder is empty or will be made")
             : published        ? QStringLiteral("a funnel was published there before")
                                : plural(int(listing->size()), "entry", "entries") +
                               QStringLiteral(" in the folder"));
}

} // namespace tandrel
