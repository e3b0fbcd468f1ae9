#pragma once

#include "result.h"

#include <QDir>
#include <QJsonObject>
#include <QString>

namespace tandrel {

// Where the programs read their data and write their files. Portable: one
// application folder holds both. Installed: the data are read from the
// install's read-only share/tandrel, everything written goes to the user's
// data folder, which holds an editable copy of the templates. Engines receive
// the paths; only the programs' main() chooses them (atStart).
class AppPaths {
public:
    explicit AppPaths(QString appDir) : m_dataDir(appDir), m_appDir(std::move(appDir)) {}
    AppPaths(QString dataDir, QString userDir, bool portable)
        : m_dataDir(std::move(dataDir)), m_appDir(std::move(userDir)), m_portable(portable) {}

    // Portable when programDir holds templates/, otherwise installed.
    static AppPaths choose(const QString& programDir, const QString& installedDataDir,
                           const QString& userDir);
    // The choice for the running program: its folder, the install's data folder
    // beside it and QStandardPaths::AppDataLocation (the application name is set first).
    static AppPaths atStart();

    bool portable() const { return m_portable; }
    // The folder everything is written into: the application folder when portable.
    const QString& appDir() const { return m_appDir; }
    const QString& dataDir() const { return m_dataDir; }

    QString templatesDir() const { return join(QStringLiteral("templates")); }
    QString shippedTemplatesDir() const { return join(m_dataDir, QStringLiteral("templates")); }
    // The themes a funnel may choose; installed, the user's copies of the shipped ones and their
    // own.
    QString themesDir() const { return join(QStringLiteral("themes")); }
    QString shippedThemesDir() const { return join(m_dataDir, QStringLiteral("themes")); }
    QString snippetsDir() const { return join(m_dataDir, QStringLiteral("snippets")); }
    QString outputRoot() const { return join(QStringLiteral("output")); }
    // Pictures made for earlier builds, by their source's hash; beside the funnel, not in it.
    QString pictureCacheDir() const { return join(QStringLiteral("output/.picture-cache")); }
    QString outputTemplatesDir() const { return join(QStringLiteral("output/templates")); }
    QString imageLibraryDir() const { return join(QStringLiteral("imgspro")); }
    QString synonymFile() const { return join(m_dataDir, QStringLiteral("rwdb.txt")); }
    // The checksums of the shipped files last copied into the user's folder.
    QString shippedRecordFile() const { return join(QStringLiteral("shipped-files.json")); }

    // Installed: makes the user's folder and brings its copies of the templates
    // and pictures up to date without touching a file the user changed.
    // Portable: nothing to do.
    Status prepare() const;

    // Doubled separators (an application folder at a drive's root) collapse.
    QString join(const QString& suffix) const { return join(m_appDir, suffix); }
    static QString join(const QString& folder, const QString& name) {
        return QDir::cleanPath(folder + QLatin1Char('/') + name);
    }

private:
    QString m_dataDir;
    QString m_appDir;
    bool m_portable = true;
};

// Copies every file under shipped into copy whose copy is missing or still as
// an earlier shipped version left it (its checksum in record, keyed by prefix
// plus the relative path); a file the user changed stays. A file the user
// deleted comes back only when restoreDeleted. record gets the checksums of
// what was copied.
Status refreshUserCopy(const QString& shipped, const QString& copy, const QString& prefix,
                       bool restoreDeleted, QJsonObject& record);

} // namespace tandrel
