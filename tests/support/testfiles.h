#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtGlobal>

namespace tandrel::test {

// Writes a fixture file, making its folder; a fixture that cannot be written stops the run.
inline QString writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// A file's bytes, or a marker naming it that no expected content equals.
inline QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll()
                                       : QByteArray("<missing file ") + path.toUtf8() + '>';
}

} // namespace tandrel::test
