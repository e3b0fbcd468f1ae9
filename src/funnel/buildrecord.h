#pragma once

#include "apppaths.h"
#include "filelock.h"
#include "funnelsettings.h"
#include "result.h"

#include <QStringList>

namespace tandrel {

// What the last build made, written beside its output so that publishing
// can tell whether the output still belongs to the settings at hand.
struct BuildRecord {
    QString settings; // settingsFingerprint() of the settings built
    int thankYouPageNumber = 0;
    int downloadPageNumber = 0;
    QStringList pages;    // lead magnet, thank-you and download page file names
    QStringList pageUrls; // their web addresses
};

// Changes with every value the pages depend on; the publish address and the
// page numbers (recorded apart) do not count.
QString settingsFingerprint(const FunnelSettings& settings);

QString buildRecordPath(const AppPaths& paths);
Status writeBuildRecord(const QString& path, const FunnelSettings& settings,
                        const QStringList& pages);

// In output/, which it makes: a build holds it exclusively, a publish shared
// from reading the record until the last file is sent. Waits a few seconds
// for the other to end, then fails naming the folder.
QString outputLockPath(const AppPaths& paths);
// A failure naming the folder when it is a link, which the build never writes through.
Status refuseLinkedFolder(const QString& folder);
Result<std::shared_ptr<FileLock>> lockOutput(const AppPaths& paths, FileLock::Mode mode);
// A failure when there is no readable record: nothing was built yet.
Result<BuildRecord> readBuildRecord(const AppPaths& paths);

// Whether the record is of these settings, page numbers included.
bool recordMatches(const BuildRecord& record, const FunnelSettings& settings);

} // namespace tandrel
