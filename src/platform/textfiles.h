#pragma once

#include "result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tandrel {

// UTF-8 (a leading byte-order mark dropped); bytes that are not valid UTF-8
// are read as Windows-1252 so that no character is lost. Line ends are kept.
QString decodeText(const QByteArray& bytes);

Result<QString> LoadTextFile(const QString& path);
// One item per line; CR LF, LF and CR all end a line; a final line end makes no empty item.
Result<QStringList> LoadListFile(const QString& path);
// Atomic: on failure the old file stays whole.
Status SaveTextFile(const QString& path, const QString& text);

// The one safe-write helper: every byte checked, then committed in one step.
Status writeFileAtomically(const QString& path, const QByteArray& bytes);

} // namespace tandrel
