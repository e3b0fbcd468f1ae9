#include "buildrecord.h"

#include "funnelfile.h"
#include "modcopy.h"
#include "textfiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tandrel {

QString settingsFingerprint(const FunnelSettings& settings) {
    FunnelSettings s = settings;
    s.publishTo.clear();
    s.deriveFunnelLinks(0, 0);
    return QString::fromLatin1(
        QCryptographicHash::hash(funnelToJson(s), QCryptographicHash::Sha256).toHex());
}

QString buildRecordPath(const AppPaths& paths) {
    return paths.join(QStringLiteral("output/build-record.json"));
}

QString outputLockPath(const AppPaths& paths) {
    return paths.join(QStringLiteral("output/build.lock"));
}

Status refuseLinkedFolder(const QString& folder) {
    if (!modCopy::isLink(folder))
        return Status::success();
    return Status::failure(
        QStringLiteral("The output folder \"%1\" is a link; the build writes only into a real "
                       "folder. Remove the link and build again.")
            .arg(displayPath(folder)));
}

Status makeOutputRoot(const AppPaths& paths) {
    if (!QFileInfo(paths.appDir()).isDir())
        return Status::failure(QStringLiteral("The application folder \"%1\" does not exist.")
                                   .arg(displayPath(paths.appDir())));
    const QString root = paths.outputRoot();
    // Nothing, not even the lock, is written through a link.
    if (Status real = refuseLinkedFolder(root); !real)
        return real;
    if (!QFileInfo(root).isDir() && !QDir().mkdir(root))
        return Status::failure(QStringLiteral("The following folder is not present:%1 --- Please "
                                              "create it or reinstall the software.")
                                   .arg(displayPath(paths.outputTemplatesDir())));
    return Status::success();
}

Result<std::shared_ptr<FileLock>> lockOutput(const AppPaths& paths, FileLock::Mode mode) {
    using R = Result<std::shared_ptr<FileLock>>;
    if (Status made = makeOutputRoot(paths); !made)
        return R::failure(made.error());
    bool busy = false;
    auto lock = FileLock::acquire(outputLockPath(paths), mode, 5000, &busy);
    if (!lock && busy)
        return R::failure(
            QStringLiteral("The output folder \"%1\" is in use by another build or a publish; "
                           "try again when it has finished.")
                .arg(displayPath(paths.outputRoot())));
    // Earlier versions locked a file beside the output folder.
    if (lock && mode == FileLock::Mode::Exclusive)
        QFile::remove(paths.join(QStringLiteral("output.lock")));
    return lock;
}

Status writeBuildRecord(const QString& path, const FunnelSettings& settings,
                        const QStringList& pages) {
    const QJsonObject record{
        {"settings", settingsFingerprint(settings)},
        {"thankYouPageNumber", settings.thankYouPageNumber},
        {"downloadPageNumber", settings.downloadPageNumber},
        {"pages", QJsonArray::fromStringList(pages)},
        {"pageUrls", QJsonArray::fromStringList({settings.txtFunnelUrl, settings.txtCapture_Url,
                                                 settings.txtDownloadUrl})},
    };
    return writeFileAtomically(path, QJsonDocument(record).toJson());
}

Result<BuildRecord> readBuildRecord(const AppPaths& paths) {
    const QString path = buildRecordPath(paths);
    const auto nothing = [&] {
        return Result<BuildRecord>::failure(
            QStringLiteral("Nothing to publish: the funnel has not been built in \"%1\" yet.")
                .arg(displayPath(paths.appDir())));
    };
    if (!QFile::exists(path))
        return nothing();
    auto bytes = readFileBytes(path, kFunnelFileLimit);
    if (!bytes)
        return Result<BuildRecord>::failure(bytes.error());
    const QJsonObject o = QJsonDocument::fromJson(*bytes).object();
    BuildRecord record;
    record.settings = o.value("settings").toString();
    record.thankYouPageNumber = o.value("thankYouPageNumber").toInt();
    record.downloadPageNumber = o.value("downloadPageNumber").toInt();
    for (const auto& v : o.value("pages").toArray())
        record.pages << v.toString();
    for (const auto& v : o.value("pageUrls").toArray())
        record.pageUrls << v.toString();
    if (record.settings.isEmpty() || record.pages.size() != 3)
        return nothing();
    return record;
}

bool recordMatches(const BuildRecord& record, const FunnelSettings& settings) {
    return record.settings == settingsFingerprint(settings) &&
           record.thankYouPageNumber == settings.thankYouPageNumber &&
           record.downloadPageNumber == settings.downloadPageNumber;
}

} // namespace tandrel
