#include "themes.h"

#include "pagefinish.h"
#include "textfiles.h"
#include "tools.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>

namespace tandrel {

namespace {

QString sizeWords(qint64 bytes) {
    return QStringLiteral("%1 KB").arg((bytes + 1023) / 1024);
}

Result<QByteArray> readPart(const QString& path, qint64 limit, const QString& what) {
    const QFileInfo info(path);
    if (!info.isFile())
        return Result<QByteArray>::failure(
            QStringLiteral("its %1 \"%2\" is missing").arg(what, displayPath(path)));
    if (info.size() > limit)
        return Result<QByteArray>::failure(
            QStringLiteral("its %1 \"%2\" is %3, more than the %4 a theme may have")
                .arg(what, displayPath(path), sizeWords(info.size()), sizeWords(limit)));
    auto bytes = readFileBytes(path, limit, QStringLiteral("The %1").arg(what));
    if (!bytes)
        return Result<QByteArray>::failure(
            QStringLiteral("its %1 \"%2\" could not be read").arg(what, displayPath(path)));
    return bytes;
}

// The manifest's values; any other key is a mistake worth naming.
QString readManifest(const QByteArray& bytes, Theme& theme) {
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parse);
    if (!doc.isObject())
        return QStringLiteral("its theme.json is not a JSON object (%1)").arg(parse.errorString());
    const QJsonObject o = doc.object();
    for (auto it = o.begin(); it != o.end(); ++it) {
        const QString key = it.key();
        const bool colour = key == QLatin1String("lightCard") || key == QLatin1String("darkCard");
        if (key != QLatin1String("name") && key != QLatin1String("card") && !colour)
            return QStringLiteral("its theme.json has the unknown key \"%1\"").arg(key);
        if (!it->isString())
            return QStringLiteral("\"%1\" in its theme.json must be a string").arg(key);
        const QString value = it->toString();
        if (key == QLatin1String("name")) {
            if (value.trimmed().isEmpty() || value.size() > 40)
                return QStringLiteral("\"name\" in its theme.json must be 1 to 40 characters");
            theme.displayName = value.trimmed();
            continue;
        }
        if (key == QLatin1String("card")) {
            if (value != QLatin1String("light") && value != QLatin1String("dark"))
                return QStringLiteral("\"card\" in its theme.json must be \"light\" or \"dark\"");
            theme.card = value;
            continue;
        }
        const auto rgb = parseRgb(value);
        if (!rgb)
            return QStringLiteral("\"%1\" in its theme.json must be a colour written \"r,g,b\"")
                .arg(key);
        (key == QLatin1String("lightCard") ? theme.lightCard : theme.darkCard) = *rgb;
    }
    if (!o.contains(QLatin1String("name")))
        return QStringLiteral("its theme.json has no \"name\"");
    return QString();
}

} // namespace

bool isThemeName(const QString& name) {
    static const QRegularExpression pattern(QStringLiteral("^[a-z0-9][a-z0-9_-]{0,39}$"));
    return pattern.match(name).hasMatch();
}

Result<Theme> loadTheme(const AppPaths& paths, const QString& name) {
    const auto refuse = [&name](const QString& why) {
        return Result<Theme>::failure(
            QStringLiteral("The theme \"%1\" cannot be used: %2.").arg(name, why));
    };
    if (!isThemeName(name))
        return refuse(QStringLiteral("a theme's name is its folder's, in small letters, digits, "
                                     "\"-\" and \"_\""));
    const QString folder = AppPaths::join(paths.themesDir(), name);
    Theme theme;
    if (name == QLatin1String(kClassicTheme) && !QFileInfo(folder).isDir())
        return theme;
    if (!QFileInfo(folder).isDir())
        return refuse(QStringLiteral("there is no folder \"%1\"").arg(displayPath(folder)));
    theme.name = name;
    theme.folder = folder;
    const auto manifest = readPart(AppPaths::join(folder, QLatin1String(kThemeManifest)),
                                   kThemeManifestLimit, QStringLiteral("manifest"));
    if (!manifest)
        return refuse(manifest.error());
    if (const QString bad = readManifest(manifest.value(), theme); !bad.isEmpty())
        return refuse(bad);
    const auto css = readPart(AppPaths::join(folder, QLatin1String(kThemeStylesheet)),
                              kThemeStylesheetLimit, QStringLiteral("stylesheet"));
    if (!css)
        return refuse(css.error());
    theme.stylesheet = QString::fromUtf8(css.value());
    return theme;
}

QList<ThemeEntry> listThemes(const AppPaths& paths) {
    QList<ThemeEntry> themes;
    const QStringList folders =
        QDir(paths.themesDir()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : folders) {
        const auto theme = loadTheme(paths, name);
        themes.append(theme ? ThemeEntry{name, theme->displayName, {}}
                            : ThemeEntry{name, name, theme.error()});
    }
    if (!folders.contains(QLatin1String(kClassicTheme)))
        themes.append({QString::fromLatin1(kClassicTheme), QStringLiteral("Classic"), {}});
    std::stable_sort(themes.begin(), themes.end(), [](const ThemeEntry& a, const ThemeEntry& b) {
        const bool aClassic = a.name == QLatin1String(kClassicTheme);
        const bool bClassic = b.name == QLatin1String(kClassicTheme);
        if (aClassic != bClassic)
            return aClassic;
        return QString::localeAwareCompare(a.displayName, b.displayName) < 0;
    });
    return themes;
}

void fitColoursToCard(const Theme& theme, std::array<QString, PrivacyColor + 1>& colours) {
    if (theme.card.isEmpty())
        return;
    const bool dark = theme.card == QLatin1String("dark");
    const Rgb card = dark ? theme.darkCard : theme.lightCard;
    const QString own = dark ? QStringLiteral("243,238,247") : QStringLiteral("31,26,36");
    // The headline is large text; the others are body text.
    const std::pair<int, double> texts[] = {
        {HeadlineColor, 3.0}, {InstructionsColor, 4.5}, {PrivacyColor, 4.5}};
    for (const auto& [index, needed] : texts) {
        const auto colour = parseRgb(colours[index]);
        if (!colour || contrastRatio(*colour, card) < needed)
            colours[index] = own;
    }
}

QString themedTemplate(const AppPaths& paths, const Theme& theme, const QString& file) {
    if (!theme.folder.isEmpty()) {
        QString own = AppPaths::join(theme.folder, file);
        if (QFileInfo(own).isFile())
            return own;
    }
    return AppPaths::join(paths.templatesDir(), file);
}

} // namespace tandrel
