#include "textfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <cerrno>

namespace tandrel {

QString displayPath(const QString& path) {
    return QDir::toNativeSeparators(path);
}

namespace {

// 0x80..0x9F differ from Latin-1; the five undefined codes map to themselves.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QChar windows1252(unsigned char b) {
    return b >= 0x80 && b < 0xA0 ? QChar(kWindows1252High[b - 0x80]) : QChar(b);
}

// Length of the well-formed UTF-8 sequence at p (RFC 3629: no overlong forms,
// no surrogates, nothing above U+10FFFF), or 0.
int utf8SequenceLength(const unsigned char* p, qsizetype left, char32_t& code) {
    const unsigned char b = p[0];
    int length;
    char32_t min;
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2, code = b & 0x1F, min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3, code = b & 0x0F, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4, code = b & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (left < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (p[i] & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

QString tooLarge(const QString& what, const QString& path, qint64 limit) {
    return QStringLiteral("%1 \"%2\" is larger than the %3 this program reads.")
        .arg(what, displayPath(path), describeSize(limit));
}

QString ioFailure(const QString& what, const QString& path, const QString& reason) {
    return QStringLiteral("%1 \"%2\" could not be read: %3.").arg(what, displayPath(path), reason);
}

} // namespace

QString writeFailureReason(const QString& path, qint64 size, const QString& qtReason, int error) {
    if (error == ENOSPC || error == EDQUOT)
        return QStringLiteral("there is no space left on the disk");
    const QStorageInfo storage(QFileInfo(path).absolutePath());
    if (storage.isValid() && storage.bytesAvailable() < size + 4096)
        return QStringLiteral("there is no space left on the disk");
    if (storage.isValid() && storage.isReadOnly())
        return QStringLiteral("the disk is read-only");
    return qtReason;
}

QString describeSize(qint64 bytes) {
    if (bytes >= 1024 * 1024)
        return QStringLiteral("%1 MB").arg(bytes / (1024 * 1024));
    return QStringLiteral("%1 KB").arg(qMax<qint64>(1, bytes / 1024));
}

DecodedText decodeTextWithEncoding(const QByteArray& bytes) {
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        const bool le = bytes.startsWith("\xFF\xFE");
        QStringDecoder decoder(le ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE,
                               QStringDecoder::Flag::Stateless);
        return {decoder.decode(QByteArrayView(bytes).sliced(2)),
                le ? TextEncoding::Utf16LE : TextEncoding::Utf16BE};
    }
    const bool mark = bytes.startsWith("\xEF\xBB\xBF");
    // The usual case, valid UTF-8 throughout, goes through Qt's fast decoder.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString whole = utf8.decode(QByteArrayView(bytes).sliced(mark ? 3 : 0));
    if (!utf8.hasError())
        return {whole, mark ? TextEncoding::Utf8WithBom : TextEncoding::Utf8};
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData()) + (mark ? 3 : 0);
    const auto* end = reinterpret_cast<const unsigned char*>(bytes.constData()) + bytes.size();
    QString out;
    out.reserve(end - p);
    bool sawUtf8 = mark;
    bool sawInvalid = false;
    while (p < end) {
        if (*p < 0x80) {
            out.append(QChar(*p++));
            continue;
        }
        char32_t code = 0;
        if (const int length = utf8SequenceLength(p, end - p, code)) {
            out.append(QChar::fromUcs4(code));
            p += length;
            sawUtf8 = true;
        } else {
            out.append(windows1252(*p++));
            sawInvalid = true;
        }
    }
    TextEncoding encoding = mark ? TextEncoding::Utf8WithBom : TextEncoding::Utf8;
    if (sawInvalid && !sawUtf8)
        encoding = TextEncoding::Windows1252;
    return {out, encoding};
}

QString decodeText(const QByteArray& bytes) {
    return decodeTextWithEncoding(bytes).text;
}

QByteArray encodeText(const QString& text, TextEncoding encoding, bool* lossless) {
    if (lossless)
        *lossless = true;
    switch (encoding) {
    case TextEncoding::Utf8:
        return text.toUtf8();
    case TextEncoding::Utf8WithBom:
        return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE: {
        const bool le = encoding == TextEncoding::Utf16LE;
        QStringEncoder encoder(le ? QStringEncoder::Utf16LE : QStringEncoder::Utf16BE);
        return QByteArray(le ? "\xFF\xFE" : "\xFE\xFF") + QByteArray(encoder.encode(text));
    }
    case TextEncoding::Windows1252: {
        QByteArray out;
        out.reserve(text.size());
        for (const QChar c : text) {
            const char16_t u = c.unicode();
            if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
                out.append(static_cast<char>(u));
                continue;
            }
            const auto* hit =
                std::find(std::begin(kWindows1252High), std::end(kWindows1252High), u);
            if (hit != std::end(kWindows1252High)) {
                out.append(static_cast<char>(0x80 + (hit - std::begin(kWindows1252High))));
            } else {
                out.append('?');
                if (lossless)
                    *lossless = false;
            }
        }
        return out;
    }
    }
    return text.toUtf8();
}

Status checkReadableFile(const QString& path, qint64 limit, const QString& what,
                         const QString& noun) {
    const QFileInfo info(path);
    const QString shown = displayPath(path);
    if (!info.exists())
        return Status::failure(QStringLiteral("%1 \"%2\" does not exist.").arg(what, shown));
    if (info.isDir())
        return Status::failure(
            QStringLiteral("%1 \"%2\" is a folder, not a %3.").arg(what, shown, noun));
    if (!info.isFile())
        return Status::failure(
            QStringLiteral("%1 \"%2\" is not an ordinary file (it is a device or a pipe).")
                .arg(what, shown));
    if (info.size() > limit)
        return Status::failure(tooLarge(what, path, limit));
    return Status::success();
}

Result<QByteArray> readFileBytes(const QString& path, qint64 limit, const QString& what,
                                 const QString& noun) {
    if (Status s = checkReadableFile(path, limit, what, noun); !s)
        return Result<QByteArray>::failure(s.error());
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Result<QByteArray>::failure(ioFailure(what, path, file.errorString()));
    // Sized by the measure, then on to the end: the file may have grown since.
    QByteArray bytes = file.read(qMin(limit, file.size()) + 1);
    while (bytes.size() <= limit && !file.atEnd()) {
        const QByteArray more = file.read(qMin<qint64>(1 << 20, limit + 1 - bytes.size()));
        if (more.isEmpty())
            break;
        bytes += more;
    }
    if (file.error() != QFileDevice::NoError)
        return Result<QByteArray>::failure(ioFailure(what, path, file.errorString()));
    if (bytes.size() > limit)
        return Result<QByteArray>::failure(tooLarge(what, path, limit));
    return bytes;
}

Result<QByteArray> readDeviceBytes(QIODevice& device, qint64 limit, const QString& name) {
    QByteArray bytes;
    for (;;) {
        const QByteArray chunk = device.read(qMin<qint64>(1 << 20, limit + 1 - bytes.size()));
        if (chunk.isEmpty()) {
            if (device.atEnd() || !device.waitForReadyRead(-1))
                break;
            continue;
        }
        bytes += chunk;
        if (bytes.size() > limit)
            return Result<QByteArray>::failure(
                QStringLiteral("%1 holds more than the %2 this program reads.")
                    .arg(name, describeSize(limit)));
    }
    return bytes;
}

Result<DecodedText> loadTextWithEncoding(const QString& path, qint64 limit) {
    auto bytes = readFileBytes(path, limit);
    if (!bytes)
        return Result<DecodedText>::failure(bytes.error());
    return decodeTextWithEncoding(bytes.value());
}

Result<QString> LoadTextFile(const QString& path, qint64 limit) {
    auto text = loadTextWithEncoding(path, limit);
    if (!text)
        return Result<QString>::failure(text.error());
    return std::move(text.value().text);
}

Result<QStringList> LoadListFile(const QString& path) {
    auto text = LoadTextFile(path);
    if (!text)
        return Result<QStringList>::failure(text.error());
    QString all = text.value();
    all.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    all.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (all.endsWith(QLatin1Char('\n')))
        all.chop(1);
    if (all.isEmpty())
        return QStringList();
    return all.split(QLatin1Char('\n'));
}

Status writeFileAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    const auto fail = [&](const QString& reason) {
        return Status::failure(QStringLiteral("The file \"%1\" could not be written: %2.")
                                   .arg(displayPath(path), reason));
    };
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        return fail(writeFailureReason(path, bytes.size(), file.errorString(), errno));
    if (file.write(bytes) != bytes.size()) {
        const int error = errno;
        const QString reason = writeFailureReason(path, bytes.size(), file.errorString(), error);
        file.cancelWriting();
        return fail(reason);
    }
    errno = 0;
    // A short text may reach the disk only here, and commit() does not report a
    // flush that ran out of space: it would put a cut-off file in place of the old one.
    if (!file.flush() || !file.commit()) {
        const QString reason = writeFailureReason(path, bytes.size(), file.errorString(), errno);
        file.cancelWriting();
        return fail(reason);
    }
    return Status::success();
}

Status SaveTextFile(const QString& path, const QString& text) {
    if (path.isEmpty())
        return Status::failure(QStringLiteral("No file was chosen to save into."));
    return writeFileAtomically(path, text.toUtf8());
}

} // namespace tandrel
