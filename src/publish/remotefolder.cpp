#include "remotefolder.h"

#include "transport.h"

#include <QDateTime>
#include <QRegularExpression>
#include <thread>

namespace tandrel {

namespace {

const QString kPart = QStringLiteral(".tandrel-part");
const QString kOld = QStringLiteral(".tandrel-old");

} // namespace

RemoteFolder::RemoteFolder(PublishTarget target, ConnectionOptions options)
    : m_target(std::move(target)), m_options(std::move(options)),
      m_transport(m_target.protocol == PublishTarget::Protocol::Sftp
                      ? makeSftpTransport(m_target, m_options)
                  : m_target.protocol == PublishTarget::Protocol::S3
                      ? makeS3Transport(m_target, m_options)
                      : makeFtpTransport(m_target, m_options)) {}

RemoteFolder::~RemoteFolder() = default;

Answer RemoteFolder::attempt(const std::function<Answer()>& act, const std::function<bool()>& done,
                             int attempts) {
    auto wait = m_options.firstRetryWait;
    const int most = std::max(attempts, m_options.attempts);
    for (int i = 1;; ++i) {
        if (i > 1 && done && done())
            return Answer();
        Answer answer = act();
        const bool aborted = m_options.abort && m_options.abort->load();
        if (answer.kind != Answer::Kind::Dropped || i >= most || aborted)
            return answer;
        m_transport->drop();
        std::this_thread::sleep_for(wait);
        wait *= 2;
    }
}

Status RemoteFolder::failure(const QString& what, const Answer& answer) const {
    QString why = answer.why;
    // The password goes to the libraries only as an option, but never echo it.
    if (!m_options.password.isEmpty())
        why.replace(m_options.password, QStringLiteral("****"));
    return Status::failure(QStringLiteral("%1 failed: %2.").arg(what, why));
}

Result<RemoteListing> RemoteFolder::list(const QString& relativeFolder) {
    RemoteListing entries;
    const Answer answer = attempt([&] {
        entries.clear();
        return m_transport->list(relativeFolder, entries);
    });
    if (answer.kind == Answer::Kind::Missing)
        return RemoteListing{}; // not made yet
    if (!answer.done())
        return Result<RemoteListing>::failure(
            failure(QStringLiteral("Listing %1").arg(m_target.text() + relativeFolder), answer)
                .error());
    return entries;
}

Result<std::optional<QByteArray>> RemoteFolder::read(const QString& relativePath) {
    using R = Result<std::optional<QByteArray>>;
    QByteArray bytes;
    const Answer answer = attempt([&] {
        bytes.clear();
        return m_transport->read(relativePath, bytes);
    });
    if (answer.kind == Answer::Kind::Missing)
        return R(std::optional<QByteArray>());
    if (!answer.done())
        return R::failure(failure(QStringLiteral("Reading %1").arg(relativePath), answer).error());
    return R(std::optional<QByteArray>(bytes));
}

void RemoteFolder::open() {
    m_transport->open();
}

void RemoteFolder::fillStamps(RemoteListing& listing, const QStringList& relativePaths) {
    QMap<QString, QStringList> byFolder;
    for (const QString& path : relativePaths) {
        const auto entry = listing.constFind(path);
        if (entry != listing.constEnd() && !entry->folder && entry->stamp.isEmpty())
            byFolder[folderOf(path)] << nameOf(path);
    }
    for (auto it = byFolder.begin(); it != byFolder.end(); ++it) {
        const QHash<QString, QString> stamps = m_transport->exactStamps(it.key(), it.value());
        for (auto stamp = stamps.begin(); stamp != stamps.end(); ++stamp)
            listing[it.key() + stamp.key()].stamp = stamp.value();
    }
}

std::optional<bool> RemoteFolder::has(const QString& relativePath, qint64 size) {
    RemoteListing entries;
    if (!m_transport->list(folderOf(relativePath), entries).done())
        return std::nullopt;
    const auto entry = entries.constFind(nameOf(relativePath));
    return entry != entries.constEnd() && !entry->folder && (size < 0 || entry->size == size);
}

Status RemoteFolder::put(const QByteArray& bytes, const QString& relativePath,
                         const std::function<bool()>& stop, const std::function<void(qint64)>& sent,
                         const PutPlan& plan) {
    m_left = Left::OldFile;
    const QString what = QStringLiteral("Sending %1").arg(relativePath);
    const auto partOf = [](const QString& path) {
        return folderOf(path) + u'.' + nameOf(path) + kPart;
    };
    const bool inPlace = plan.fresh || m_transport->writesInPlace();
    const QString part = inPlace ? relativePath : partOf(relativePath);
    m_transport->expectWrite(plan.next.isEmpty() || plan.nextFresh ? plan.next : partOf(plan.next));
    Answer answer = attempt([&] {
        return stop && stop() ? Answer::stopped() : m_transport->write(part, bytes, stop, sent);
    });
    if (answer.done() && !inPlace)
        answer = replace(part, relativePath, bytes.size());
    if (answer.done())
        return Status::success();
    // Best effort: a leftover is also cleared by the next publish. A part
    // whose old file could not be put back is all the name has left; a
    // failed in-place write left the old file alone.
    if (answer.kind != Answer::Kind::Dropped && m_left != Left::Nothing &&
        !m_transport->writesInPlace())
        m_transport->remove(part);
    return failure(what, answer);
}

Answer RemoteFolder::replace(const QString& part, const QString& path, qint64 size) {
    const auto inPlace = [&] { return has(part) == false && has(path, size) == true; };
    if (m_transport->replacesAtomically()) {
        Answer answer = attempt([&] { return m_transport->rename(part, path); }, inPlace);
        if (answer.kind == Answer::Kind::Dropped)
            m_left = Left::Unknown; // the old file or the new one, both whole
        return answer;
    }
    // Servers that rename only onto a free name: the old file is set aside and
    // put back on any failure, so the name is free only for that instant.
    const auto there = has(path);
    if (there == false)
        return attempt([&] { return m_transport->rename(part, path); }, inPlace);
    const QString aside = folderOf(path) + u'.' + nameOf(path) + kOld;
    // At least one fresh connection to put the old file back.
    const auto putBack = [&] {
        const Answer back = attempt([&] { return m_transport->rename(aside, path); },
                                    [&] { return has(path) == true; }, 2);
        // Missing: the old file was never set aside.
        m_left = back.done() || back.kind == Answer::Kind::Missing ? Left::OldFile : Left::Nothing;
    };
    m_transport->remove(aside);
    Answer answer = attempt([&] { return m_transport->rename(path, aside); },
                            [&] { return has(path) == false && has(aside) == true; });
    if (!answer.done()) {
        // A drop may come after the server set the old file aside.
        if (answer.kind == Answer::Kind::Dropped)
            putBack();
        return answer;
    }
    answer = attempt([&] { return m_transport->rename(part, path); }, inPlace);
    if (!answer.done()) {
        putBack();
        return answer;
    }
    m_transport->remove(aside);
    return answer;
}

Status RemoteFolder::remove(const QString& relativePath) {
    const Answer answer = attempt([&] { return m_transport->remove(relativePath); },
                                  [&] { return has(relativePath) == false; });
    if (answer.done() || answer.kind == Answer::Kind::Missing)
        return Status::success();
    return failure(QStringLiteral("Removing %1").arg(relativePath), answer);
}

bool RemoteFolder::isLeftover(const QString& name) {
    return name.startsWith(u'.') && (name.endsWith(kPart) || name.endsWith(kOld));
}

Status RemoteFolder::clearLeftovers(const RemoteListing& folder, const QString& relativeFolder) {
    const QString prefix = relativeFolder.isEmpty() ? QString() : relativeFolder + u'/';
    for (auto it = folder.begin(); it != folder.end(); ++it) {
        if (it->folder || !isLeftover(it.key()))
            continue;
        const QString original =
            it.key().mid(1, it.key().size() - 1 - (it.key().endsWith(kPart) ? kPart : kOld).size());
        // An old page set aside by a publish that was killed goes back first.
        if (it.key().endsWith(kOld) && !folder.contains(original)) {
            const Answer back =
                attempt([&] { return m_transport->rename(prefix + it.key(), prefix + original); },
                        [&] { return has(prefix + original) == true; });
            if (!back.done())
                return failure(QStringLiteral("Putting back %1").arg(prefix + original), back);
            continue;
        }
        if (Status removed = remove(prefix + it.key()); !removed)
            return removed;
    }
    return Status::success();
}

RemoteListing parseListing(const QByteArray& listing) {
    RemoteListing entries;
    // The listed times are to the minute at best, or only a date: no stamps.
    static const QRegularExpression unixLine(
        QStringLiteral(R"(^([\-dlbcps])\S*\s+\d+\s+\S+\s+\S+\s+(\d+)\s+\S+\s+\S+\s+\S+\s(.+)$)"));
    static const QRegularExpression dosLine(
        QStringLiteral(R"(^\d\d-\d\d-\d\d+\s+\d\d:\d\d[AP]M\s+(<DIR>|\d+)\s+(.+)$)"));
    // MLSD: facts, a blank, the name (which may itself begin or end with blanks).
    static const QRegularExpression factsLine(QStringLiteral(R"(^((?:[A-Za-z.]+=[^;]*;)+) (.+)$)"));
    for (const QByteArray& raw : listing.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (const auto f = factsLine.match(QString::fromUtf8(raw).remove(u'\r')); f.hasMatch()) {
            QHash<QString, QString> facts;
            for (const QString& fact : f.captured(1).split(u';', Qt::SkipEmptyParts))
                facts.insert(fact.section(u'=', 0, 0).toLower(), fact.section(u'=', 1));
            const QString type = facts.value(QStringLiteral("type")).toLower();
            if (type == QLatin1String("cdir") || type == QLatin1String("pdir"))
                continue;
            // The time is UTC to the second, as MDTM answers it.
            QDateTime modified = QDateTime::fromString(
                facts.value(QStringLiteral("modify")).left(14), QStringLiteral("yyyyMMddHHmmss"));
            modified.setTimeSpec(Qt::UTC);
            const bool folder = type == QLatin1String("dir");
            entries.insert(
                f.captured(2),
                {folder,
                 folder ? 0 : facts.value(QStringLiteral("size")).toLongLong(),
                 modified.isValid() ? QString::number(modified.toSecsSinceEpoch()) : QString(),
                 {}});
        } else if (const auto m = unixLine.match(line); m.hasMatch()) {
            QString name = m.captured(3);
            if (m.captured(1) == QLatin1String("l"))
                name = name.section(QStringLiteral(" -> "), 0, 0);
            if (name == QLatin1String(".") || name == QLatin1String(".."))
                continue;
            entries.insert(
                name, {m.captured(1) == QLatin1String("d"), m.captured(2).toLongLong(), {}, {}});
        } else if (const auto d = dosLine.match(line); d.hasMatch()) {
            const bool folder = d.captured(1) == QLatin1String("<DIR>");
            entries.insert(d.captured(2),
                           {folder, folder ? 0 : d.captured(1).toLongLong(), {}, {}});
        }
    }
    return entries;
}

} // namespace tandrel
