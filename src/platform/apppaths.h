#pragma once

#include <QDir>
#include <QString>

namespace tandrel {

// Every data path is the application folder plus a fixed suffix. Engines
// receive the folder; only the programs' main() looks it up.
class AppPaths {
public:
    explicit AppPaths(QString appDir) : m_appDir(std::move(appDir)) {}

    const QString& appDir() const { return m_appDir; }
    QString templatesDir() const { return join(QStringLiteral("templates")); }
    QString snippetsDir() const { return join(QStringLiteral("snippets")); }
    QString outputRoot() const { return join(QStringLiteral("output")); }
    QString outputTemplatesDir() const { return join(QStringLiteral("output/templates")); }
    QString imageLibraryDir() const { return join(QStringLiteral("imgspro")); }
    QString synonymFile() const { return join(QStringLiteral("rwdb.txt")); }
    QString coverFile() const { return join(QStringLiteral("temp_cover.jpg")); }

    // Doubled separators (an application folder at a drive's root) collapse.
    QString join(const QString& suffix) const {
        return QDir::cleanPath(m_appDir + QLatin1Char('/') + suffix);
    }
    static QString join(const QString& folder, const QString& name) {
        return QDir::cleanPath(folder + QLatin1Char('/') + name);
    }

private:
    QString m_appDir;
};

} // namespace tandrel
