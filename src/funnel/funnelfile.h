#pragma once

#include "funnelsettings.h"
#include "result.h"

#include <QByteArray>

namespace tandrel {

// Saved funnels (*.funnel.json). Every key is optional and takes the window's
// default; an unknown key or a value of the wrong type is an error naming the key.
// Relative picture paths are taken relative to baseDir. Absent page numbers are drawn.
Result<FunnelSettings> funnelFromJson(const QByteArray& json, const QString& baseDir);
QByteArray funnelToJson(const FunnelSettings& settings);

Result<FunnelSettings> loadFunnelFile(const QString& path);
// Atomic: a failed save leaves the old file whole. With a cover, that picture is copied
// beside the funnel as coverFileFor(path) too: both are saved, or neither changes.
Status saveFunnelFile(const QString& path, const FunnelSettings& settings,
                      const QString& cover = QString());

// The name of the cover the cover creator made for the funnel saved as funnelFile: named
// after it, and safe in a web address as it is, since the pages name the picture so.
// "cover.jpg" for a funnel not saved yet.
QString coverNameFor(const QString& funnelFile);
// Where that cover lies: beside the funnel file.
QString coverFileFor(const QString& funnelFile);
// Covers made before each funnel kept its own all had this name, in the application folder.
inline constexpr char kSharedCoverName[] = "temp_cover.jpg";

} // namespace tandrel
