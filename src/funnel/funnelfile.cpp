#include "funnelfile.h"

#include "coverdesign.h"

#include "pagewords.h"
#include "rgbtext.h"
#include "textfiles.h"
#include "tools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <cmath>

#include <variant>

namespace tandrel {

namespace {

using S = FunnelSettings;

enum class Kind {
    Text,       // string as typed
    Colour,     // "r,g,b"
    Path,       // chosen file
    Selected,   // bool stored as option or check box value 1/0
    Flag,       // bool
    Columns,    // 1 or 2, stored as list index 0 or 1
    PageNumber, // 1 to 100
    Language,   // a code of pageLanguageCodes()
    Design,     // the cover creator's design, left out while empty
};

using Ref = std::variant<QString& (*)(S&), ChosenFile& (*)(S&), int& (*)(S&), bool& (*)(S&),
                         QJsonObject& (*)(S&)>;

struct Key {
    const char* name;
    Kind kind;
    Ref ref;
};

// clang-format off
const Key kKeys[] = {
    {"funnelUrl",           Kind::Text,     +[](S& s) -> QString& { return s.txtFunnelUrl; }},
    {"backgroundImageUsed", Kind::Selected, +[](S& s) -> int& { return s.optBackground; }},
    {"backgroundColor",     Kind::Colour,   +[](S& s) -> QString& { return s.lblColorPicker[0]; }},
    {"backgroundImage",     Kind::Path,     +[](S& s) -> ChosenFile& { return s.lblSelectedFile[BackgroundImage]; }},
    {"footerText",          Kind::Text,     +[](S& s) -> QString& { return s.txtFooterNew; }},
    {"language",            Kind::Language, +[](S& s) -> QString& { return s.language; }},
    {"footerColor",         Kind::Colour,   +[](S& s) -> QString& { return s.lblColorPicker[1]; }},
    {"borderColor",         Kind::Colour,   +[](S& s) -> QString& { return s.lblColorPicker[3]; }},
    {"headline",            Kind::Text,     +[](S& s) -> QString& { return s.txtFunnel_LeadLine1; }},
    {"headlineColor",       Kind::Colour,   +[](S& s) -> QString& { return s.lblColorPicker[2]; }},
    {"instructions",        Kind::Text,     +[](S& s) -> QString& { return s.txtFunnel_Instructions; }},
    {"instructionsColor",   Kind::Colour,   +[](S& s) -> QString& { return s.lblColorPicker[4]; }},
    {"privacy",             Kind::Text,     +[](S& s) -> QString& { return s.txtFunnel_Privacy; }},
    {"privacyColor",        Kind::Colour,   +[](S& s) -> QString& { return s.lblColorPicker[5]; }},
    {"layoutColumns",       Kind::Columns,  +[](S& s) -> int& { return s.cboCols; }},
    {"coverImage",          Kind::Path,     +[](S& s) -> ChosenFile& { return s.lblSelectedFile[CoverImage]; }},
    {"showProgressBar",     Kind::Selected, +[](S& s) -> int& { return s.chkProgressBar; }},
    {"optinForm",           Kind::Text,     +[](S& s) -> QString& { return s.txtoptinForm; }},
    {"tidyOptinForm",       Kind::Flag,     +[](S& s) -> bool& { return s.tidyOptinForm; }},
    {"headCode",            Kind::Text,     +[](S& s) -> QString& { return s.headCode; }},
    {"retargetingCode",     Kind::Text,     +[](S& s) -> QString& { return s.retargetingCode; }},
    {"backControl",         Kind::Flag,     +[](S& s) -> bool& { return s.backControl; }},
    {"backUrl",             Kind::Text,     +[](S& s) -> QString& { return s.backUrl; }},
    {"publishTo",           Kind::Text,     +[](S& s) -> QString& { return s.publishTo; }},
    {"redirectToUrl",       Kind::Selected, +[](S& s) -> int& { return s.optAction; }},
    {"redirectUrl",         Kind::Text,     +[](S& s) -> QString& { return s.txtRedirectUrl; }},
    {"softRedirect1",       Kind::Text,     +[](S& s) -> QString& { return s.txtBeforeRedirectMsg1; }},
    {"softRedirect2",       Kind::Text,     +[](S& s) -> QString& { return s.txtBeforeRedirectMsg2; }},
    {"thankYouHeadline",    Kind::Text,     +[](S& s) -> QString& { return s.txtThanks; }},
    {"videoId",             Kind::Text,     +[](S& s) -> QString& { return s.txtFunnel_YouTubeID; }},
    {"autoplay",            Kind::Selected, +[](S& s) -> int& { return s.chkAutoplay; }},
    {"downloadLinkTitle",   Kind::Text,     +[](S& s) -> QString& { return s.txtDownloadText; }},
    {"downloadLinkUrl",     Kind::Text,     +[](S& s) -> QString& { return s.txtFileDownloadUrl; }},
    {"deliveryFile",        Kind::Path,     +[](S& s) -> ChosenFile& { return s.lblSelectedFile[DeliveryFile]; }},
    {"thankYouPageNumber",  Kind::PageNumber, +[](S& s) -> int& { return s.thankYouPageNumber; }},
    {"downloadPageNumber",  Kind::PageNumber, +[](S& s) -> int& { return s.downloadPageNumber; }},
    {"coverDesign",         Kind::Design,   +[](S& s) -> QJsonObject& { return s.coverDesign; }},
};
// clang-format on

template <typename T> T& field(const Key& key, S& s) {
    return std::get<T& (*)(S&)>(key.ref)(s);
}

// Empty text when the value fits the key, else what it should have been.
QString readValue(const Key& key, const QJsonValue& value, const QString& baseDir, S& s) {
    switch (key.kind) {
    case Kind::Text:
    case Kind::Colour:
    case Kind::Language:
        if (!value.isString())
            return QStringLiteral("a string");
        if (key.kind == Kind::Colour && !parseRgb(value.toString()))
            return QStringLiteral("a colour written as \"r,g,b\" with three numbers from 0 to 255");
        if (key.kind == Kind::Language && !findPageWords(value.toString()))
            return QStringLiteral("one of the language codes %1")
                .arg(pageLanguageCodes().join(QStringLiteral(", ")));
        field<QString>(key, s) = value.toString();
        return {};
    case Kind::Path: {
        if (!value.isString())
            return QStringLiteral("a string");
        const QString path = value.toString();
        ChosenFile& file = field<ChosenFile>(key, s);
        file = {};
        if (!path.isEmpty()) {
            file.caption = QDir::isRelativePath(path)
                               ? QDir::cleanPath(QDir(baseDir).absoluteFilePath(path))
                               : path;
            file.tag = GetFileName(file.caption);
        }
        return {};
    }
    case Kind::Selected:
        if (!value.isBool())
            return QStringLiteral("true or false");
        field<int>(key, s) = value.toBool() ? 1 : 0;
        return {};
    case Kind::Flag:
        if (!value.isBool())
            return QStringLiteral("true or false");
        field<bool>(key, s) = value.toBool();
        return {};
    case Kind::Columns:
        if (!value.isDouble() || (value.toDouble() != 1 && value.toDouble() != 2))
            return QStringLiteral("1 or 2");
        field<int>(key, s) = value.toInt() - 1;
        return {};
    case Kind::PageNumber: {
        // Range first: converting a huge double to int is undefined.
        const double n = value.toDouble();
        if (!value.isDouble() || !(n >= 1 && n <= 100) || n != std::floor(n))
            return QStringLiteral("a whole number from 1 to 100");
        field<int>(key, s) = static_cast<int>(n);
        return {};
    }
    case Kind::Design: {
        if (!value.isObject())
            return QStringLiteral("an object");
        const auto design = coverDesignFromJson(value.toObject());
        if (!design)
            return QStringLiteral("a cover design, but its %1").arg(design.error());
        field<QJsonObject>(key, s) = value.toObject();
        return {};
    }
    }
    return {};
}

QJsonValue writeValue(const Key& key, S& s) {
    switch (key.kind) {
    case Kind::Text:
    case Kind::Colour:
    case Kind::Language:
        return field<QString>(key, s);
    case Kind::Path:
        return field<ChosenFile>(key, s).caption;
    case Kind::Selected:
        return field<int>(key, s) == 1;
    case Kind::Flag:
        return field<bool>(key, s);
    case Kind::Columns:
        return field<int>(key, s) == 0 ? 1 : 2;
    case Kind::PageNumber:
        return field<int>(key, s);
    case Kind::Design:
        return field<QJsonObject>(key, s);
    }
    return {};
}

const Key* findKey(const QString& name) {
    for (const Key& key : kKeys) {
        if (name == QLatin1String(key.name))
            return &key;
    }
    return nullptr;
}

// The JSON reader keeps the last of two equal keys; a saved funnel holding
// both would silently lose one value, so the raw text is scanned for them.
QString duplicateTopLevelKey(const QByteArray& json) {
    QSet<QString> seen;
    int depth = 0;
    for (qsizetype i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            --depth;
        } else if (c == '"') {
            const qsizetype begin = i;
            for (++i; i < json.size() && json[i] != '"'; ++i) {
                if (json[i] == '\\')
                    ++i;
            }
            qsizetype next = i + 1;
            while (next < json.size() && QChar::isSpace(json[next]))
                ++next;
            if (depth != 1 || next >= json.size() || json[next] != ':')
                continue;
            const QJsonDocument key =
                QJsonDocument::fromJson("[" + json.mid(begin, i - begin + 1) + "]");
            const QString name = key.array().at(0).toString();
            if (seen.contains(name))
                return name;
            seen.insert(name);
        }
    }
    return {};
}

} // namespace

Result<FunnelSettings> funnelFromJson(const QByteArray& json, const QString& baseDir) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        return Result<S>::failure(QStringLiteral("it is not valid JSON (%1 at character %2)")
                                      .arg(error.errorString())
                                      .arg(error.offset));
    if (!document.isObject())
        return Result<S>::failure(QStringLiteral("it does not hold a JSON object"));
    if (const QString twice = duplicateTopLevelKey(json); !twice.isEmpty())
        return Result<S>::failure(
            QStringLiteral("the key \"%1\" appears more than once").arg(twice));

    S settings;
    settings.thankYouPageNumber = 0;
    settings.downloadPageNumber = 0;
    // Funnels saved before the tidy form existed keep their form as they built it.
    settings.tidyOptinForm = false;
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const Key* key = findKey(it.key());
        if (!key)
            return Result<S>::failure(QStringLiteral("the key \"%1\" is unknown").arg(it.key()));
        const QString expected = readValue(*key, it.value(), baseDir, settings);
        if (!expected.isEmpty())
            return Result<S>::failure(
                QStringLiteral("the key \"%1\" must be %2").arg(it.key(), expected));
    }
    const int thankYou =
        settings.thankYouPageNumber ? settings.thankYouPageNumber : RandomNumber(100) + 1;
    const int download =
        settings.downloadPageNumber ? settings.downloadPageNumber : RandomNumber(100) + 1;
    settings.deriveFunnelLinks(thankYou, download);
    return settings;
}

QByteArray funnelToJson(const FunnelSettings& settings) {
    S copy = settings;
    QJsonObject object;
    for (const Key& key : kKeys) {
        // Page numbers exist only once the address has been derived.
        if (key.kind == Kind::PageNumber && field<int>(key, copy) == 0)
            continue;
        if (key.kind == Kind::Design && field<QJsonObject>(key, copy).isEmpty())
            continue;
        object.insert(QLatin1String(key.name), writeValue(key, copy));
    }
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

Result<FunnelSettings> loadFunnelFile(const QString& path) {
    const auto bytes = readFileBytes(path, kFunnelFileLimit, QStringLiteral("The funnel file"));
    if (!bytes)
        return Result<S>::failure(bytes.error());
    auto settings = funnelFromJson(bytes.value(), QFileInfo(path).absolutePath());
    if (!settings)
        return Result<S>::failure(QStringLiteral("The funnel file \"%1\" could not be used: %2.")
                                      .arg(displayPath(path), settings.error()));
    return settings;
}

Status saveFunnelFile(const QString& path, const FunnelSettings& settings) {
    return writeFileAtomically(path, funnelToJson(settings));
}

} // namespace tandrel
