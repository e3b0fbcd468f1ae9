#pragma once

#include "apppaths.h"
#include "funnelsettings.h"
#include "result.h"
#include "rgbtext.h"

#include <QList>
#include <QString>

#include <array>

namespace tandrel {

// The design every funnel had before themes: the templates and funnel.css alone.
inline constexpr const char* kClassicTheme = "classic";
inline constexpr const char* kThemeStylesheet = "theme.css";
inline constexpr const char* kThemeManifest = "theme.json";
// More than this cannot stay within the pages' weight.
inline constexpr qint64 kThemeStylesheetLimit = 16LL * 1024;
inline constexpr qint64 kThemeManifestLimit = 4LL * 1024;

// One design of the three pages: a folder of the themes folder holding theme.css, theme.json
// (its display name and card colours) and any page templates it draws its own way.
struct Theme {
    QString name = QString::fromLatin1(kClassicTheme); // the folder's name, saved with funnels
    QString displayName = QStringLiteral("Classic");
    QString folder;     // empty: the built-in classic
    QString stylesheet; // added after funnel.css
    // The cards the user's text colours are checked against for contrast.
    Rgb lightCard{255, 255, 255};
    Rgb darkCard{30, 27, 36};
    // "dark" or "light": the opt-in card is always that one, and a text colour of the user's
    // that would not read on it gives way to the card's own. Empty: the colours choose.
    QString card;
};

// The settings as a theme with a card of its own shows them.
void fitColoursToCard(const Theme& theme, std::array<QString, PrivacyColor + 1>& colours);

// A theme's folder as the gallery lists it; error says why it cannot be used.
struct ThemeEntry {
    QString name;
    QString displayName;
    QString error;
};

// A theme's folder name: small letters, digits, "-" and "_", nothing that leads elsewhere.
bool isThemeName(const QString& name);

// Every folder of the themes folder, classic first, then by display name.
QList<ThemeEntry> listThemes(const AppPaths& paths);

// The theme of that name, read whole and checked. Classic is built in when its folder is gone.
Result<Theme> loadTheme(const AppPaths& paths, const QString& name);

// The template file to read: the theme's own when it has one.
QString themedTemplate(const AppPaths& paths, const Theme& theme, const QString& file);

} // namespace tandrel
