#pragma once

#include "result.h"

namespace modCopy {

// Copies the content of source (hidden files and sub-folders included) into
// destination, creating it; files and sub-folders of the same name are replaced.
tandrel::Status CopyFolder(const QString& source, const QString& destination);

} // namespace modCopy
