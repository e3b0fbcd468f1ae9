#include "publish.h"

#include "apppaths.h"
#include "textfiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>

namespace tandrel {

namespace {

struct LocalFile {
    QString path; // relative, with "/"
    QString absolute;
    qint64 size = 0;
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

Result<QList<LocalFile>> localFiles(const QString& folder) {
    QList<LocalFile> files;
    const QDir root(QFileInfo(folder).absoluteFilePath());
    QDirIterator it(root.path(), QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString absolute = it.next();
        const QString path = root.relativeFilePath(absolute);
        if (QFileInfo(path).fileName().startsWith(QLatin1String(".tandrel")))
            continue;
        auto bytes = readFileBytes(absolute, kPictureFileLimit);
        if (!bytes)
            return Result<QList<LocalFile>>::failure(bytes.error());
        files.append({path, absolute, bytes->size(),
                      QString::fromLatin1(
                          QCryptographicHash::hash(*bytes, QCryptographicHash::Sha256).toHex())});
    }
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
    auto listing = listTree(remote, *files);
    if (!listing)
        return fail(listing.error());
    auto recordBytes = remote.read(QLatin1String(kPublishRecordName));
    if (!recordBytes)
        return fail(recordBytes.error());
    const Record previous = recordBytes->has_value() ? parseRecord(**recordBytes) : Record();

    // Assets first and the lead magnet page last, so no visitor meets a page
    // whose pictures or next page are not there yet.
    QList<LocalFile> toSend;
    QList<LocalFile> pagesToSend;
    for (const LocalFile& f : *files) {
        const auto there = listing->constFind(f.path);
        const auto known = previous.constFind(f.path);
        const bool same = there != listing->constEnd() && !there->folder && there->size == f.size &&
                          known != previous.constEnd() && known->sha256 == f.sha256 &&
                          known->size == there->size && known->stamp == there->stamp;
        if (same) {
            ++report.unchanged;
            continue;
        }
        (request.pages.contains(f.path) ? pagesToSend : toSend).append(f);
    }
    for (auto page = request.pages.crbegin(); page != request.pages.crend(); ++page) {
        for (const LocalFile& f : pagesToSend) {
            if (f.path == *page)
                toSend.append(f);
        }
    }

    const int total = int(toSend.size());
    const QString leftAlone =
        QStringLiteral(" The live funnel was left as it was: %1 of %2 files sent, the "
                       "lead magnet page not yet replaced.");
    for (int i = 0; i < total; ++i) {
        const LocalFile& f = toSend[i];
        if (request.cancelled && request.cancelled()) {
            report.outcome = PublishReport::Outcome::Cancelled;
            report.message =
                QStringLiteral("Publishing was cancelled.") + leftAlone.arg(i).arg(total);
            return report;
        }
        if (request.progress)
            request.progress({i, total, f.path});
        auto bytes = readFileBytes(f.absolute, kPictureFileLimit);
        if (!bytes)
            return fail(bytes.error() + leftAlone.arg(i).arg(total));
        if (Status sent = remote.put(*bytes, f.path); !sent)
            return fail(sent.error() + leftAlone.arg(i).arg(total));
        (request.pages.contains(f.path) ? report.pagesSent : report.otherSent)++;
    }
    if (request.progress)
        request.progress({total, total, QString()});

    // Only now that the new pages are live may the old ones go, and only the
    // ones this funnel sent.
    QSet<QString> local;
    for (const LocalFile& f : *files)
        local.insert(f.path);
    Record next;
    for (auto it = previous.begin(); it != previous.end(); ++it) {
        if (local.contains(it.key()))
            continue;
        if (isOldPageName(it.key()) && listing->contains(it.key())) {
            if (Status removed = remote.remove(it.key()); !removed)
                return fail(removed.error() + QStringLiteral(" The new funnel is live."));
            ++report.oldPagesRemoved;
        } else if (listing->contains(it.key())) {
            next.insert(it.key(), it.value()); // still ours, kept
        }
    }

    auto after = listTree(remote, *files);
    if (!after)
        return fail(after.error());
    QStringList wrong;
    for (const LocalFile& f : *files) {
        const auto there = after->constFind(f.path);
        if (there == after->constEnd() || there->folder) {
            wrong << QStringLiteral("%1 is missing").arg(f.path);
            continue;
        }
        if (there->size != f.size) {
            wrong << QStringLiteral("%1 has %2 bytes instead of %3")
                         .arg(f.path)
                         .arg(there->size)
                         .arg(f.size);
            continue;
        }
        next.insert(f.path, {f.sha256, there->size, there->stamp});
    }
    if (Status saved = remote.put(recordJson(next), QLatin1String(kPublishRecordName)); !saved)
        return fail(saved.error());
    if (!wrong.isEmpty())
        return fail(QStringLiteral("The server's folder does not match the funnel: %1. Publish "
                                   "again to send them.")
                        .arg(wrong.join(QStringLiteral(", "))));

    report.outcome = PublishReport::Outcome::Published;
    report.message = QStringLiteral("Published: %1 and %2 sent, %3 unchanged, %4 removed")
                         .arg(plural(report.pagesSent, "page", "pages"),
                              plural(report.otherSent, "other file", "other files"))
                         .arg(report.unchanged)
                         .arg(plural(report.oldPagesRemoved, "old page", "old pages"));

    int matching = 0;
    for (int i = 0; i < request.pageUrls.size() && i < request.pages.size(); ++i) {
        const QString& url = request.pageUrls[i];
        if (!url.startsWith(QLatin1String("http://")) && !url.startsWith(QLatin1String("https://")))
            continue;
        QString why;
        const auto online = fetchPage(url, &why);
        if (!online) {
            report.notes << QStringLiteral("%1 could not be fetched (%2); open it in a browser "
                                           "to check.")
                                .arg(url, why);
            continue;
        }
        const auto local = readFileBytes(AppPaths::join(request.outputFolder, request.pages[i]),
                                         kPictureFileLimit);
        if (local && *local == *online)
            ++matching;
        else
            report.notes << QStringLiteral("%1 differs from the page published; the host may "
                                           "rewrite pages or serve an old copy from a cache.")
                                .arg(url);
    }
    if (matching && report.notes.isEmpty())
        report.notes << QStringLiteral("The %1 online are the ones published.")
                            .arg(matching == 1 ? QStringLiteral("page")
                                               : QStringLiteral("%1 pages").arg(matching));
    return report;
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
