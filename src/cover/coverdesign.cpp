#include "coverdesign.h"

#include "rgbtext.h"

#include <QDir>
#include <QFontDatabase>
#include <QJsonArray>

namespace tandrel {

namespace {

const char* const AlignNames[] = {"left", "center", "right"};
const char* const EffectNames[] = {"none", "shadow", "outline"};

template <typename E, size_t N>
std::optional<E> fromName(const char* const (&names)[N], const QString& name) {
    for (size_t i = 0; i < N; ++i) {
        if (name == QLatin1String(names[i]))
            return static_cast<E>(i);
    }
    return std::nullopt;
}

template <size_t N> QString choices(const char* const (&names)[N]) {
    QStringList quoted;
    for (const char* name : names)
        quoted << QStringLiteral("\"%1\"").arg(QLatin1String(name));
    return quoted.join(QStringLiteral(", "));
}

std::optional<QColor> colourFrom(const QString& text) {
    const auto rgb = parseRgb(text);
    if (!rgb)
        return std::nullopt;
    return QColor(rgb->r, rgb->g, rgb->b);
}

QString colourText(QColor c) {
    return QStringLiteral("%1,%2,%3").arg(c.red()).arg(c.green()).arg(c.blue());
}

// Empty when the line was read, else the error.
QString readLine(const QJsonObject& json, const QString& where, CoverLine& line) {
    for (auto it = json.begin(); it != json.end(); ++it) {
        const QString key = it.key();
        const QJsonValue value = it.value();
        const QString name = where + QLatin1Char('.') + key;
        QString* text = key == QLatin1String("text")   ? &line.text
                        : key == QLatin1String("font") ? &line.fontName
                        : key == QLatin1String("size") ? &line.fontSize
                        : key == QLatin1String("x")    ? &line.x
                        : key == QLatin1String("y")    ? &line.y
                                                       : nullptr;
        bool* flag = key == QLatin1String("bold")          ? &line.bold
                     : key == QLatin1String("shrinkToFit") ? &line.shrinkToFit
                                                           : nullptr;
        if (text) {
            if (!value.isString())
                return QStringLiteral("%1 must be a string").arg(name);
            *text = value.toString();
        } else if (flag) {
            if (!value.isBool())
                return QStringLiteral("%1 must be true or false").arg(name);
            *flag = value.toBool();
        } else if (key == QLatin1String("color")) {
            const auto colour = colourFrom(value.toString());
            if (!value.isString() || !colour)
                return QStringLiteral("%1 must be a colour written as \"r,g,b\"").arg(name);
            line.color = *colour;
        } else if (key == QLatin1String("align")) {
            const auto align = fromName<CoverAlign>(AlignNames, value.toString());
            if (!value.isString() || !align)
                return QStringLiteral("%1 must be one of %2").arg(name, choices(AlignNames));
            line.align = *align;
        } else if (key == QLatin1String("effect")) {
            const auto effect = fromName<CoverEffect>(EffectNames, value.toString());
            if (!value.isString() || !effect)
                return QStringLiteral("%1 must be one of %2").arg(name, choices(EffectNames));
            line.effect = *effect;
        } else {
            return QStringLiteral("%1 is unknown").arg(name);
        }
    }
    return {};
}

} // namespace

void loadCoverFonts(const QString& folder) {
    static QStringList loaded;
    const QDir dir(folder);
    for (const QString& name :
         dir.entryList({QStringLiteral("*.ttf"), QStringLiteral("*.otf")}, QDir::Files)) {
        const QString path = dir.filePath(name);
        if (loaded.contains(path))
            continue;
        loaded << path;
        QFontDatabase::addApplicationFont(path);
    }
}

QString defaultCoverFont() {
    return QStringLiteral("DejaVu Sans");
}

CoverLine defaultCoverLine(int index) {
    CoverLine line;
    line.fontName = defaultCoverFont();
    line.fontSize = index == 0 ? QStringLiteral("30") : QStringLiteral("18");
    line.color = Qt::white;
    line.x = twipsText(pixelsToTwips(CoverWidth / 2.0));
    line.y = index == 0 ? QStringLiteral("1200") : QStringLiteral("4500");
    line.bold = index == 0;
    line.align = CoverAlign::Center;
    line.effect = CoverEffect::Shadow;
    return line;
}

CoverDesign defaultCoverDesign() {
    return CoverDesign{QString(), {defaultCoverLine(0), defaultCoverLine(1)}};
}

Result<CoverDesign> coverDesignFromJson(const QJsonObject& json) {
    CoverDesign design = defaultCoverDesign();
    for (auto it = json.begin(); it != json.end(); ++it) {
        if (it.key() == QLatin1String("picture")) {
            if (!it.value().isString())
                return Result<CoverDesign>::failure(QStringLiteral("picture must be a string"));
            design.picture = it.value().toString();
        } else if (it.key() == QLatin1String("lines")) {
            const QJsonArray lines = it.value().toArray();
            if (!it.value().isArray() || lines.size() > 2)
                return Result<CoverDesign>::failure(
                    QStringLiteral("lines must be a list of at most two lines"));
            for (int i = 0; i < lines.size(); ++i) {
                const QString where = QStringLiteral("lines[%1]").arg(i);
                if (!lines[i].isObject())
                    return Result<CoverDesign>::failure(
                        QStringLiteral("%1 must be an object").arg(where));
                const QString error = readLine(lines[i].toObject(), where, design.lines[i]);
                if (!error.isEmpty())
                    return Result<CoverDesign>::failure(error);
            }
        } else {
            return Result<CoverDesign>::failure(QStringLiteral("%1 is unknown").arg(it.key()));
        }
    }
    return design;
}

QJsonObject coverDesignToJson(const CoverDesign& design) {
    QJsonArray lines;
    for (const CoverLine& line : design.lines) {
        lines.append(QJsonObject{
            {QStringLiteral("text"), line.text},
            {QStringLiteral("font"), line.fontName},
            {QStringLiteral("size"), line.fontSize},
            {QStringLiteral("color"), colourText(line.color)},
            {QStringLiteral("x"), line.x},
            {QStringLiteral("y"), line.y},
            {QStringLiteral("bold"), line.bold},
            {QStringLiteral("align"), QLatin1String(AlignNames[int(line.align)])},
            {QStringLiteral("effect"), QLatin1String(EffectNames[int(line.effect)])},
            {QStringLiteral("shrinkToFit"), line.shrinkToFit},
        });
    }
    return QJsonObject{{QStringLiteral("picture"), design.picture},
                       {QStringLiteral("lines"), lines}};
}

} // namespace tandrel
