#include "modcopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using tandrel::displayPath;
using tandrel::Status;

namespace modCopy {

namespace {

Status removeExisting(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return Status::success();
    const bool removed = info.isDir() && !info.isSymLink() ? QDir(path).removeRecursively()
                                                           : QFile::remove(path);
    if (!removed)
        return Status::failure(
            QStringLiteral("\"%1\" could not be replaced in the output folder.").arg(displayPath(path)));
    return Status::success();
}

} // namespace

Status CopyFolder(const QString& source, const QString& destination) {
    const QDir from(source);
    if (!from.exists())
        return Status::failure(QStringLiteral("The folder \"%1\" does not exist.").arg(displayPath(source)));
    if (!QDir().mkpath(destination))
        return Status::failure(
            QStringLiteral("The folder \"%1\" could not be created.").arg(displayPath(destination)));

    const auto entries = from.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                                QDir::NoDotAndDotDot,
                                            QDir::Name);
    for (const QFileInfo& entry : entries) {
        const QString target = QDir(destination).filePath(entry.fileName());
        if (Status s = removeExisting(target); !s)
            return s;
        if (entry.isDir()) {
            if (Status s = CopyFolder(entry.filePath(), target); !s)
                return s;
        } else if (!QFile::copy(entry.filePath(), target)) {
            return Status::failure(QStringLiteral("The file \"%1\" could not be copied to \"%2\".")
                                       .arg(displayPath(entry.filePath()), displayPath(target)));
        }
    }
    return Status::success();
}

} // namespace modCopy
