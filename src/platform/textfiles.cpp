#include "textfiles.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace tandrel {

QString displayPath(const QString& path) { return QDir::toNativeSeparators(path); }

namespace {

QString decodeWindows1252(const QByteArray& bytes) {
    // 0x80..0x9F differ from Latin-1; the five undefined codes map to themselves.
    static const char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out.append(b >= 0x80 && b < 0xA0 ? QChar(high[b - 0x80]) : QChar(b));
    }
    return out;
}

Result<QByteArray> readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return Result<QByteArray>::failure(
            QStringLiteral("The file \"%1\" could not be read: %2.")
                .arg(displayPath(path), file.errorString()));
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return Result<QByteArray>::failure(
            QStringLiteral("The file \"%1\" could not be read: %2.")
                .arg(displayPath(path), file.errorString()));
    }
    return bytes;
}

} // namespace

QString decodeText(const QByteArray& bytes) {
    QByteArray body = bytes;
    if (body.startsWith("\xEF\xBB\xBF"))
        body.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(body);
    if (!utf8.hasError())
        return text;
    return decodeWindows1252(body);
}

Result<QString> LoadTextFile(const QString& path) {
    auto bytes = readAll(path);
    if (!bytes)
        return Result<QString>::failure(bytes.error());
    return decodeText(bytes.value());
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
        return Status::failure(
            QStringLiteral("The file \"%1\" could not be written: %2.").arg(displayPath(path), reason));
    };
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(reason);
    }
    if (!file.commit())
        return fail(file.errorString());
    return Status::success();
}

Status SaveTextFile(const QString& path, const QString& text) {
    if (path.isEmpty())
        return Status::failure(QStringLiteral("No file was chosen to save into."));
    return writeFileAtomically(path, text.toUtf8());
}

} // namespace tandrel
