#pragma once

#include "result.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>

namespace tandrel {

// How a text file was stored, so that a save can write it back the same way.
enum class TextEncoding { Utf8, Utf8WithBom, Utf16LE, Utf16BE, Windows1252 };

struct DecodedText {
    QString text;
    TextEncoding encoding = TextEncoding::Utf8;
};

// A byte-order mark decides (UTF-8, UTF-16 LE or BE) and is dropped. Without
// one, valid UTF-8 sequences are read as UTF-8 and only the bytes that are not
// as Windows-1252, so one stray byte never garbles the rest. Line ends are kept.
DecodedText decodeTextWithEncoding(const QByteArray& bytes);
QString decodeText(const QByteArray& bytes);

// The bytes of text in encoding, mark included. Windows-1252 cannot hold every
// character: lossless (when given) tells whether it did.
QByteArray encodeText(const QString& text, TextEncoding encoding, bool* lossless = nullptr);

// What one reader accepts at most; files are checked before they are opened.
inline constexpr qint64 kTextFileLimit = 64LL * 1024 * 1024;
inline constexpr qint64 kFunnelFileLimit = 4LL * 1024 * 1024;
inline constexpr qint64 kPictureFileLimit = 50LL * 1024 * 1024;

// A regular file no larger than limit: not a folder, device, pipe or missing.
// what names the file for the user ("The file", "The cover image"), noun
// what it should have been ("file", "picture").
Status checkReadableFile(const QString& path, qint64 limit,
                         const QString& what = QStringLiteral("The file"),
                         const QString& noun = QStringLiteral("file"));
// The bytes of a file that passed checkReadableFile.
Result<QByteArray> readFileBytes(const QString& path, qint64 limit,
                                 const QString& what = QStringLiteral("The file"),
                                 const QString& noun = QStringLiteral("file"));
// At most limit bytes of an open device (standard input), else a failure.
Result<QByteArray> readDeviceBytes(QIODevice& device, qint64 limit, const QString& name);

Result<DecodedText> loadTextWithEncoding(const QString& path, qint64 limit = kTextFileLimit);
Result<QString> LoadTextFile(const QString& path, qint64 limit = kTextFileLimit);
// One item per line; CR LF, LF and CR all end a line; a final line end makes no empty item.
Result<QStringList> LoadListFile(const QString& path);
// Atomic: on failure the old file stays whole.
Status SaveTextFile(const QString& path, const QString& text);

// The one safe-write helper: every byte checked, then committed in one step.
Status writeFileAtomically(const QString& path, const QByteArray& bytes);

// Why a write failed, from errno right after the failed call: a full disk is
// named as such, also when the call itself does not say so.
QString writeFailureReason(const QString& path, qint64 size, const QString& qtReason, int error);

// "12 MB" for a limit in messages.
QString describeSize(qint64 bytes);

} // namespace tandrel
