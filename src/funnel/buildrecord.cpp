#include "buildrecord.h"

#include "funnelfile.h"
#include "textfiles.h"

#include <QCryptographicHash>
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

Status writeBuildRecord(const AppPaths& paths, const FunnelSettings& settings,
                        const QStringList& pages) {
    const QJsonObject record{
        {"settings", settingsFingerprint(settings)},
        {"thankYouPageNumber", settings.thankYouPageNumber},
        {"downloadPageNumber", settings.downloadPageNumber},
        {"pages", QJsonArray::fromStringList(pages)},
        {"pageUrls", QJsonArray::fromStringList({settings.txtFunnelUrl, settings.txtCapture_Url,
                                                 settings.txtDownloadUrl})},
    };
    return writeFileAtomically(buildRecordPath(paths), QJsonDocument(record).toJson());
}

Result<BuildRecord> readBuildRecord(const AppPaths& paths) {
    const QString path = buildRecordPath(paths);
    const auto nothing = Result<BuildRecord>::failure(
        QStringLiteral("Nothing to publish: the funnel has not been built in \"%1\" yet.")
            .arg(displayPath(paths.appDir())));
    if (!QFile::exists(path))
        return nothing;
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
        return nothing;
    return record;
}

bool recordMatches(const BuildRecord& record, const FunnelSettings& settings) {
    return record.settings == settingsFingerprint(settings) &&
           record.thankYouPageNumber == settings.thankYouPageNumber &&
           record.downloadPageNumber == settings.downloadPageNumber;
}

} // namespace tandrel
