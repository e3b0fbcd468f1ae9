#include "apppaths.h"

#include "textfiles.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QFileInfo>
#include <QJsonDocument>
#include <QStandardPaths>

#ifndef TANDREL_DATA_FROM_BIN
#define TANDREL_DATA_FROM_BIN "../share/tandrel"
#endif

namespace tandrel {

namespace {

// Shipped pictures are the largest files; templates are far smaller.
constexpr qint64 kShippedFileLimit = kPictureFileLimit;

Result<QByteArray> sha256Of(const QString& path) {
    auto bytes = readFileBytes(path, kShippedFileLimit);
    if (!bytes)
        return Result<QByteArray>::failure(bytes.error());
    return QCryptographicHash::hash(bytes.value(), QCryptographicHash::Sha256).toHex();
}

} // namespace

AppPaths AppPaths::choose(const QString& programDir, const QString& installedDataDir,
                          const QString& userDir) {
    if (QFileInfo(join(programDir, QStringLiteral("templates"))).isDir())
        return AppPaths(programDir);
    return AppPaths(installedDataDir, userDir, false);
}

AppPaths AppPaths::atStart() {
    const QString programDir = QCoreApplication::applicationDirPath();
    return choose(programDir, join(programDir, QStringLiteral(TANDREL_DATA_FROM_BIN)),
                  QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

Status refreshUserCopy(const QString& shipped, const QString& copy, const QString& prefix,
                       bool restoreDeleted, QJsonObject& record) {
    QDirIterator it(shipped, QDir::Files | QDir::NoSymLinks | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString from = it.next();
        const QString relative = QDir(shipped).relativeFilePath(from);
        const QString key = prefix + relative;
        const QString to = AppPaths::join(copy, relative);
        const auto shippedSum = sha256Of(from);
        if (!shippedSum)
            return Status::failure(shippedSum.error());
        const QString recorded = record.value(key).toString();
        if (QFileInfo::exists(to)) {
            const auto userSum = sha256Of(to);
            // What cannot be read is left to the user.
            if (!userSum || userSum.value() == shippedSum.value()) {
                if (userSum)
                    record[key] = QString::fromLatin1(shippedSum.value());
                continue;
            }
            if (recorded.isEmpty() || userSum.value() != recorded.toLatin1())
                continue;
        } else if (!recorded.isEmpty() && !restoreDeleted) {
            continue;
        }
        auto bytes = readFileBytes(from, kShippedFileLimit);
        if (!bytes)
            return Status::failure(bytes.error());
        if (!QDir().mkpath(QFileInfo(to).absolutePath()))
            return Status::failure(QStringLiteral("The folder \"%1\" could not be created.")
                                       .arg(displayPath(QFileInfo(to).absolutePath())));
        if (Status written = writeFileAtomically(to, bytes.value()); !written)
            return written;
        record[key] = QString::fromLatin1(shippedSum.value());
    }
    return Status::success();
}

Status AppPaths::prepare() const {
    if (m_portable)
        return Status::success();
    if (!QFileInfo(shippedTemplatesDir()).isDir())
        return Status::failure(
            QStringLiteral("The installed templates \"%1\" are missing; install Tandrel again.")
                .arg(displayPath(shippedTemplatesDir())));
    if (!QDir().mkpath(m_appDir))
        return Status::failure(
            QStringLiteral("The folder \"%1\" could not be created.").arg(displayPath(m_appDir)));
    QJsonObject record;
    if (QFileInfo::exists(shippedRecordFile())) {
        auto bytes = readFileBytes(shippedRecordFile(), kFunnelFileLimit);
        if (bytes)
            record = QJsonDocument::fromJson(bytes.value()).object();
    }
    const QJsonObject before = record;
    // A deleted template would break every build; a deleted picture was not wanted.
    Status copied = refreshUserCopy(shippedTemplatesDir(), templatesDir(),
                                    QStringLiteral("templates/"), true, record);
    // Themes follow the templates' rule: an edited copy wins over the shipped theme.
    if (copied && QFileInfo(shippedThemesDir()).isDir())
        copied = refreshUserCopy(shippedThemesDir(), themesDir(), QStringLiteral("themes/"), true,
                                 record);
    if (copied)
        copied = refreshUserCopy(join(m_dataDir, QStringLiteral("imgspro")), imageLibraryDir(),
                                 QStringLiteral("imgspro/"), false, record);
    // What was copied is recorded even when a later file failed.
    if (record != before) {
        if (Status saved = writeFileAtomically(
                shippedRecordFile(), QJsonDocument(record).toJson(QJsonDocument::Indented));
            !saved && copied)
            return saved;
    }
    return copied;
}

} // namespace tandrel
