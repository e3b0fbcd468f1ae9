#include "imagelibrary.h"

#include "apppaths.h"

#include <QDir>
#include <QFileInfo>

namespace tandrel {

bool ImageLibrary::exists() const {
    return QFileInfo(m_folder).isDir();
}

QStringList ImageLibrary::pictures() const {
    if (!exists())
        return {};
    // Name filters ignore letter case unless told otherwise.
    return QDir(m_folder).entryList(
        {QStringLiteral("*.jpg"), QStringLiteral("*.jpeg"), QStringLiteral("*.png")}, QDir::Files,
        QDir::Name | QDir::IgnoreCase);
}

QString ImageLibrary::pathOf(const QString& name) const {
    return AppPaths::join(m_folder, name);
}

} // namespace tandrel
