#include "modutf8.h"

using tandrel::displayPath;
using tandrel::Result;
using tandrel::Status;

namespace modUTF8 {

Result<std::unique_ptr<QFile>> OpenForAppend(const QString& path) {
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append)) {
        return Result<std::unique_ptr<QFile>>::failure(
            QStringLiteral("The file \"%1\" could not be opened for writing: %2.")
                .arg(displayPath(path), file->errorString()));
    }
    return Result<std::unique_ptr<QFile>>(std::move(file));
}

Status WriteUTF8Text(QFile& file, const QString& text, bool lineBreak) {
    const QByteArray bytes = (lineBreak ? text + QStringLiteral("\r\n") : text).toUtf8();
    if (bytes.isEmpty())
        return Status::success();
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        return Status::failure(QStringLiteral("The file \"%1\" could not be written: %2.")
                                   .arg(displayPath(file.fileName()), file.errorString()));
    }
    return Status::success();
}

} // namespace modUTF8
