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
// Atomic: a failed save leaves the old file whole.
Status saveFunnelFile(const QString& path, const FunnelSettings& settings);

} // namespace tandrel
