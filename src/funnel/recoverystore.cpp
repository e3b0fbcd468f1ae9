#include "recoverystore.h"

#include "funnelfile.h"
#include "textfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

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

} // namespace

Status RecoveryStore::write(const QString& funnelFile, const FunnelSettings& settings) {
    // Files left by crashed windows stay for the next start to offer.
    for (int slot = 1; m_path.isEmpty() && slot < 1000; ++slot) {
        const QString path = m_paths.join(recoveryName(slot));
        if (QFileInfo::exists(path))
            continue;
        if (auto lock = lockRecovery(path)) {
            m_lock = std::move(lock);
            m_path = path;
        }
    }
    if (m_path.isEmpty()) {
        // A full disk refuses the lock file too; that is the reason to give then.
        const QString reason = writeFailureReason(m_paths.join(recoveryName(1)), 0, QString(), 0);
        return Status::failure(
            reason.isEmpty()
                ? QStringLiteral("Unsaved changes could not be kept for a crash: no "
                                 "recovery file could be made and locked in %1.")
                      .arg(displayPath(m_paths.appDir()))
                : QStringLiteral("Unsaved changes could not be kept for a crash in %1: %2.")
                      .arg(displayPath(m_paths.appDir()), reason));
    }
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
        QFile::remove(m_path);
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
