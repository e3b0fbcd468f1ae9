#include "tools.h"

#include <QFileInfo>

namespace tandrel {

QString StrReplace(const QString& text, const QString& find, const QString& replacement, int mode) {
    if (find.isEmpty())
        return text;
    QString out = text;
    out.replace(find, replacement, mode == 0 ? Qt::CaseSensitive : Qt::CaseInsensitive);
    return out;
}

bool FileExists(const QString& path, bool folder) {
    const QFileInfo info(path);
    return info.exists() && (folder ? info.isDir() : info.isFile());
}

QString GetFileName(const QString& path) {
    const qsizetype cut =
        std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(cut + 1);
}

QStringList SplitToList(const QString& text, const QString& separator) {
    return text.split(separator, Qt::SkipEmptyParts);
}

namespace {
QRandomGenerator& generator() {
    static QRandomGenerator instance(QRandomGenerator::system()->generate());
    return instance;
}
} // namespace

QRandomGenerator& randomGenerator() {
    return generator();
}

void seedRandomNumbers(quint64 seed) {
    generator().seed(static_cast<quint32>(seed ^ (seed >> 32)));
}

int RandomNumber(int bound) {
    return bound <= 0 ? 0 : static_cast<int>(generator().bounded(bound));
}

} // namespace tandrel
