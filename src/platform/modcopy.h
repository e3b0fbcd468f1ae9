#pragma once

#include "result.h"

#include <functional>

namespace modCopy {

// Merges the content of source (hidden files and sub-folders included) into
// destination, creating it: a file of source replaces the file of the same
// name, nothing else is removed. Links are never followed or written through:
// a link in source, or one in destination where the copy would write, is a
// failure that names it.
tandrel::Status CopyFolder(const QString& source, const QString& destination);

// A failure naming the first link found anywhere inside folder.
tandrel::Status refuseLinks(const QString& folder);

// Recreates source's tree as destination, which must not exist, leaving
// source untouched: files become hard links where the disk allows, else
// copies; links are recreated as links. keepTopLevel chooses which entries
// directly inside source come along (name, is a real folder).
tandrel::Status
mirrorFolder(const QString& source, const QString& destination,
             const std::function<bool(const QString& name, bool isFolder)>& keepTopLevel);

// Removes path and everything below it; links are removed, never followed.
tandrel::Status removeTree(const QString& path);

// Whether path itself is a link (dangling ones included).
bool isLink(const QString& path);

} // namespace modCopy
