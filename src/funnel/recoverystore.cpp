#include "recoverystore.h"

#include "funnelfile.h"
#include "textfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstring>

namespace tandrel {

namespace {

QString recoveryName(int slot) {
    return slot == 1 ? QStringLiteral("recovery.funnel.json")
                     : QStringLiteral("recovery-%1.funnel.json").arg(slot);
}

// The lock a running window holds on its recovery file; none when another holds it.
// A lock left by a process that is gone is taken over.
std::unique_ptr<QLockFile> lockRecovery(const QString& path) {
    auto lock = std::make_unique<QLockFile>(path + QStringLiteral(".lock"));
    // Never stale by age: a window may run for days.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return nullptr;
    return lock;
}

QString coverDirOf(const QString& recoveryFile) {
    return recoveryFile.chopped(qsizetype(std::strlen(".funnel.json"))) + QStringLiteral("-cover");
}

} // namespace

QString RecoveryStore::claim() {
    // Files left by crashed windows stay for the next start to offer.
    for (int slot = 1; m_path.isEmpty() && slot < 1000; ++slot) {
        const QString path = m_paths.join(recoveryName(slot));
        if (QFileInfo::exists(path))
            continue;
        if (auto lock = lockRecovery(path)) {
            m_lock = std::move(lock);
            m_path = path;
            // Covers of a window that crashed before it wrote its file belong to nobody.
            QDir(coverDirOf(path)).removeRecursively();
        }
    }
    if (!m_path.isEmpty())
        return {};
    // A full disk refuses the lock file too; that is the reason to give then.
    const QString reason = writeFailureReason(m_paths.join(recoveryName(1)), 0, QString(), 0);
    return reason.isEmpty() ? QStringLiteral("no recovery file could be made and locked in %1")
                                  .arg(displayPath(m_paths.appDir()))
                            : QStringLiteral("no recovery file could be made in %1: %2")
                                  .arg(displayPath(m_paths.appDir()), reason);
}

Status RecoveryStore::write(const QString& funnelFile, const FunnelSettings& settings) {
    if (const QString failed = claim(); !failed.isEmpty())
        return Status::failure(
            QStringLiteral("Unsaved changes could not be kept for a crash: %1.").arg(failed));
    QJsonObject record;
    record.insert(QStringLiteral("file"), funnelFile);
    record.insert(QStringLiteral("funnel"),
                  QJsonDocument::fromJson(funnelToJson(settings)).object());
    if (const Status written = writeFileAtomically(m_path, QJsonDocument(record).toJson());
        !written)
        return Status::failure(QStringLiteral("Unsaved changes could not be kept for a crash: %1")
                                   .arg(written.error()));
    return Status::success();
}

void RecoveryStore::remove() {
    if (!m_path.isEmpty())
        discard(m_path);
}

void RecoveryStore::discard(const QString& path) {
    QFile::remove(path);
    QDir(coverDirOf(path)).removeRecursively();
}

QString RecoveryStore::coverDir() const {
    return m_path.isEmpty() ? QString() : coverDirOf(m_path);
}

Result<QString> RecoveryStore::makeCoverDir() {
    if (const QString failed = claim(); !failed.isEmpty())
        return Result<QString>::failure(
            QStringLiteral("No cover can be kept for this window: %1.").arg(failed));
    if (!QDir().mkpath(coverDir()))
        return Result<QString>::failure(
            QStringLiteral("No cover can be kept for this window: the folder \"%1\" could not "
                           "be made.")
                .arg(displayPath(coverDir())));
    return coverDir();
}

QStringList RecoveryStore::leftFiles() const {
    QStringList paths;
    const QStringList names =
        QDir(m_paths.appDir())
            .entryList({QStringLiteral("recovery*.funnel.json")}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        if (const QString path = m_paths.join(name); path != m_path)
            paths << path;
    }
    return paths;
}

std::optional<LeftRecovery> RecoveryStore::open(const QString& path) const {
    auto lock = lockRecovery(path);
    if (!lock)
        return std::nullopt;
    const auto bytes = readFileBytes(path, kFunnelFileLimit, QStringLiteral("The recovery file"));
    const QJsonObject record =
        bytes ? QJsonDocument::fromJson(bytes.value()).object() : QJsonObject();
    const QString file = record.value(QStringLiteral("file")).toString();
    const QString base = file.isEmpty() ? m_paths.appDir() : QFileInfo(file).absolutePath();
    return LeftRecovery{
        path, file,
        funnelFromJson(QJsonDocument(record.value(QStringLiteral("funnel")).toObject()).toJson(),
                       base),
        std::move(lock)};
}

void RecoveryStore::adopt(LeftRecovery&& left) {
    remove();
    m_lock = std::move(left.lock);
    m_path = left.path;
}

} // namespace tandrel
