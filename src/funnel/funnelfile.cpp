#include "funnelfile.h"

#include "campaign.h"
#include "coverdesign.h"

#include "pagewords.h"
#include "rgbtext.h"
#include "textfiles.h"
#include "tools.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <cmath>
#include <cstdio>

#include <unistd.h>

namespace tandrel {

namespace {

using S = FunnelSettings;
using Kind = FieldKind;

ChosenFile chosenFile(const QString& path, const QString& baseDir) {
    if (path.isEmpty())
        return {};
    ChosenFile file;
    file.caption =
        QDir::isRelativePath(path) ? QDir::cleanPath(QDir(baseDir).absoluteFilePath(path)) : path;
    file.tag = GetFileName(file.caption);
    return file;
}

// Empty text when the object is a split test, else what is wrong with it.
QString readSplitTest(const QJsonObject& object, const QString& baseDir, SplitTest& test) {
    test = {};
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString key = it.key();
        if (key == QLatin1String("versions")) {
            if (!it->isArray() || it->toArray().size() > SplitTest::kMaxVersions - 1)
                return QStringLiteral("\"versions\" must be a list of at most %1 versions")
                    .arg(SplitTest::kMaxVersions - 1);
            for (const auto& one : it->toArray()) {
                const QJsonObject version = one.toObject();
                PageVersion v;
                for (auto at = version.begin(); at != version.end(); ++at) {
                    QString* text = at.key() == QLatin1String("headline")     ? &v.headline
                                    : at.key() == QLatin1String("buttonText") ? &v.buttonText
                                    : at.key() == QLatin1String("coverImage") ? &v.cover.caption
                                                                              : nullptr;
                    if (!one.isObject() || !text || !at->isString())
                        return QStringLiteral("version %1 must hold only the strings "
                                              "\"headline\", \"coverImage\" and \"buttonText\"")
                            .arg(SplitTest::name(int(test.others.size()) + 1));
                    *text = at->toString();
                }
                v.cover = chosenFile(v.cover.caption, baseDir);
                test.others.append(v);
            }
        } else if (key == QLatin1String("buttonText") || key == QLatin1String("field") ||
                   key == QLatin1String("tagField")) {
            if (!it->isString())
                return QStringLiteral("\"%1\" must be a string").arg(key);
            (key == QLatin1String("buttonText") ? test.buttonText
             : key == QLatin1String("field")    ? test.field
                                                : test.tagField) = it->toString();
        } else {
            return QStringLiteral("\"%1\" is unknown there").arg(key);
        }
    }
    if (test.field.trimmed().isEmpty())
        return QStringLiteral("\"field\" must name the hidden field");
    return {};
}

QJsonObject writeSplitTest(const SplitTest& test) {
    QJsonArray versions;
    for (const PageVersion& v : test.others)
        versions.append(QJsonObject{{QStringLiteral("headline"), v.headline},
                                    {QStringLiteral("coverImage"), v.cover.caption},
                                    {QStringLiteral("buttonText"), v.buttonText}});
    return {{QStringLiteral("buttonText"), test.buttonText},
            {QStringLiteral("versions"), versions},
            {QStringLiteral("field"), test.field},
            {QStringLiteral("tagField"), test.tagField}};
}

// Empty text when the value fits the key, else what it should have been.
QString readValue(const FunnelField& key, const QJsonValue& value, const QString& baseDir, S& s) {
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
        key.of<QString>(s) = value.toString();
        return {};
    case Kind::Path: {
        if (!value.isString())
            return QStringLiteral("a string");
        key.of<ChosenFile>(s) = chosenFile(value.toString(), baseDir);
        return {};
    }
    case Kind::Selected:
        if (!value.isBool())
            return QStringLiteral("true or false");
        key.of<int>(s) = value.toBool() ? 1 : 0;
        return {};
    case Kind::Flag:
        if (!value.isBool())
            return QStringLiteral("true or false");
        key.of<bool>(s) = value.toBool();
        return {};
    case Kind::Columns:
        if (!value.isDouble() || (value.toDouble() != 1 && value.toDouble() != 2))
            return QStringLiteral("1 or 2");
        key.of<int>(s) = value.toInt() - 1;
        return {};
    case Kind::PageNumber: {
        // Range first: converting a huge double to int is undefined.
        const double n = value.toDouble();
        if (!value.isDouble() || !(n >= 1 && n <= 100) || n != std::floor(n))
            return QStringLiteral("a whole number from 1 to 100");
        key.of<int>(s) = static_cast<int>(n);
        return {};
    }
    case Kind::Design: {
        if (!value.isObject())
            return QStringLiteral("an object");
        const auto design = coverDesignFromJson(value.toObject());
        if (!design)
            return QStringLiteral("a cover design, but its %1").arg(design.error());
        key.of<QJsonObject>(s) = value.toObject();
        return {};
    }
    case Kind::Campaign:
        if (!value.isObject() || !isCampaignMapping(value.toObject()))
            return QStringLiteral("an object that gives field names to some of %1")
                .arg(campaignParameters().join(QStringLiteral(", ")));
        key.of<QJsonObject>(s) = value.toObject();
        return {};
    case Kind::Versions: {
        if (!value.isObject())
            return QStringLiteral("an object");
        const QString wrong = readSplitTest(value.toObject(), baseDir, key.of<SplitTest>(s));
        return wrong.isEmpty() ? QString() : QStringLiteral("a split test, but its %1").arg(wrong);
    }
    }
    return {};
}

QJsonValue writeValue(const FunnelField& key, S& s) {
    switch (key.kind) {
    case Kind::Text:
    case Kind::Colour:
    case Kind::Language:
        return key.of<QString>(s);
    case Kind::Path:
        return key.of<ChosenFile>(s).caption;
    case Kind::Selected:
        return key.of<int>(s) == 1;
    case Kind::Flag:
        return key.of<bool>(s);
    case Kind::Columns:
        return key.of<int>(s) == 0 ? 1 : 2;
    case Kind::PageNumber:
        return key.of<int>(s);
    case Kind::Design:
    case Kind::Campaign:
        return key.of<QJsonObject>(s);
    case Kind::Versions:
        return writeSplitTest(key.of<SplitTest>(s));
    }
    return {};
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
            QString name = key.array().at(0).toString();
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
    for (const FunnelField& field : funnelFields()) {
        if (field.absent == Absent::Drawn)
            field.of<int>(settings) = 0;
        else if (field.absent == Absent::Off)
            field.of<bool>(settings) = false;
    }
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const FunnelField* key = findFunnelField(it.key());
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
    for (const FunnelField& key : funnelFields()) {
        // Page numbers exist only once the address has been derived.
        if (key.kind == Kind::PageNumber && key.of<int>(copy) == 0)
            continue;
        if ((key.kind == Kind::Design || key.kind == Kind::Campaign) &&
            key.of<QJsonObject>(copy).isEmpty())
            continue;
        if (key.kind == Kind::Versions && key.of<SplitTest>(copy) == SplitTest{})
            continue;
        object.insert(QLatin1String(key.key), writeValue(key, copy));
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

QString coverNameFor(const QString& funnelFile) {
    if (funnelFile.isEmpty())
        return QStringLiteral("cover.jpg");
    QString stem = QFileInfo(funnelFile).fileName();
    for (const QLatin1String end : {QLatin1String(".funnel.json"), QLatin1String(".json")}) {
        if (stem.endsWith(end, Qt::CaseInsensitive)) {
            stem.chop(end.size());
            break;
        }
    }
    // Accents go, anything else a web address would have to escape becomes one dash.
    QString slug;
    for (const QChar c : stem.normalized(QString::NormalizationForm_KD)) {
        if (c.isMark())
            continue;
        if (c.unicode() < 128 && (c.isLetterOrNumber() || c == u'-' || c == u'_' || c == u'.'))
            slug += c;
        else if (!slug.endsWith(u'-'))
            slug += u'-';
    }
    while (slug.startsWith(u'.') || slug.startsWith(u'-'))
        slug.remove(0, 1);
    if (!slug.isEmpty() && slug == stem && slug.size() <= 200)
        return stem + QStringLiteral("-cover.jpg");
    // Names that had to change could meet ("A B" and "A-B"): the original's hash keeps them apart.
    slug.truncate(80);
    while (slug.endsWith(u'-') || slug.endsWith(u'.'))
        slug.chop(1);
    const QByteArray hash =
        QCryptographicHash::hash(stem.toUtf8(), QCryptographicHash::Sha1).toHex().left(8);
    return (slug.isEmpty() ? QStringLiteral("funnel") : slug) + u'-' + QLatin1String(hash) +
           QStringLiteral("-cover.jpg");
}

QString coverFileFor(const QString& funnelFile) {
    return QDir::cleanPath(QFileInfo(funnelFile).absoluteDir().filePath(coverNameFor(funnelFile)));
}

Status saveFunnelFile(const QString& path, const FunnelSettings& settings, const QString& cover) {
    const QByteArray json = funnelToJson(settings);
    const QString target = coverFileFor(path);
    if (cover.isEmpty() ||
        QFileInfo(cover).canonicalFilePath() == QFileInfo(target).canonicalFilePath())
        return writeFileAtomically(path, json);
    const auto bytes = readFileBytes(cover, kPictureFileLimit, QStringLiteral("The cover"),
                                     QStringLiteral("picture"));
    if (!bytes)
        return Status::failure(bytes.error());
    // The cover the file had stays at hand, without needing room, until the file is in place.
    const QString previous =
        QFileInfo(target).dir().filePath(QStringLiteral(".%1.previous").arg(coverNameFor(path)));
    const QByteArray kept = QFile::encodeName(previous);
    QFile::remove(previous);
    const bool hadOne = QFileInfo::exists(target);
    if (hadOne && ::link(QFile::encodeName(target).constData(), kept.constData()) != 0 &&
        !QFile::copy(target, previous))
        return Status::failure(
            QStringLiteral("The cover \"%1\" could not be replaced: no copy of it "
                           "could be kept while saving.")
                .arg(displayPath(target)));
    if (Status written = writeFileAtomically(target, bytes.value()); !written) {
        QFile::remove(previous);
        return written;
    }
    if (Status written = writeFileAtomically(path, json); !written) {
        if (!hadOne)
            QFile::remove(target);
        else if (std::rename(kept.constData(), QFile::encodeName(target).constData()) != 0)
            return Status::failure(QStringLiteral("%1 The cover it had is now \"%2\".")
                                       .arg(written.error(), displayPath(previous)));
        return written;
    }
    QFile::remove(previous);
    return Status::success();
}

} // namespace tandrel
