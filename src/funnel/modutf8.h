#pragma once

#include "result.h"

#include <QFile>

#include <memory>

namespace modUTF8 {

// Opens (creating if needed) for writing after the last byte; old content stays.
tandrel::Result<std::unique_ptr<QFile>> OpenForAppend(const QString& path);

// Writes the text as UTF-8 without byte-order mark, CR LF appended on request.
// An empty text writes nothing.
tandrel::Status WriteUTF8Text(QFile& file, const QString& text, bool lineBreak);

} // namespace modUTF8
