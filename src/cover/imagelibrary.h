#pragma once

#include <QString>
#include <QStringList>

namespace tandrel {

// The "imgspro" folder of pictures the cover creator offers as backgrounds.
class ImageLibrary {
public:
    explicit ImageLibrary(QString folder) : m_folder(std::move(folder)) {}

    const QString& folder() const { return m_folder; }
    bool exists() const;
    // The .jpg, .jpeg and .png file names (any letter case), sorted by name; empty when the
    // folder is missing.
    QStringList pictures() const;
    QString pathOf(const QString& name) const;

private:
    QString m_folder;
};

} // namespace tandrel
