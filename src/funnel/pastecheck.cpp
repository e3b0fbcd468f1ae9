#include "pastecheck.h"

#include "formscan.h"
#include "htmltext.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>
#include <QUrlQuery>

#include <algorithm>

namespace tandrel {

namespace {

const QRegularExpression::PatternOption kNoCase = QRegularExpression::CaseInsensitiveOption;

struct Tag {
    QString name; // lower case
    bool closing = false;
    qsizetype begin = 0;
    qsizetype end = 0;
    QHash<QString, QString> attributes; // names in lower case
};

// Script and style bodies and comments hold no tags of the form; blanked so positions stay.
QString withoutOpaqueParts(const QString& code) {
    static const QRegularExpression opaque(
        QStringLiteral("<!--.*?(-->|$)|<(script|style)\\b.*?(</\\2\\s*>|$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    QString text = code;
    auto it = opaque.globalMatch(code);
    while (it.hasNext()) {
        const auto match = it.next();
        for (qsizetype i = match.capturedStart(); i < match.capturedEnd(); ++i)
            text[i] = u' ';
    }
    return text;
}

QList<Tag> tagsOf(const QString& code) {
    // An unclosed quote or tag runs to the end, as in the browser; a pattern that had to
    // fail there would be tried again from every later "<", in square time.
    static const QRegularExpression tagPattern(QStringLiteral(
        "<(/?)([a-zA-Z][a-zA-Z0-9-]*)((?:[^>\"']|\"[^\"]*(?:\"|$)|'[^']*(?:'|$))*)(>|$)"));
    static const QRegularExpression attributePattern(
        QStringLiteral("([^\\s\"'>/=]+)(?:\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s\"'=<>`]+)))?"));
    QList<Tag> tags;
    auto it = tagPattern.globalMatch(withoutOpaqueParts(code));
    while (it.hasNext()) {
        const auto match = it.next();
        if (match.capturedLength(4) == 0)
            break; // the browser drops a tag the text ends in
        Tag tag;
        tag.closing = !match.captured(1).isEmpty();
        tag.name = match.captured(2).toLower();
        tag.begin = match.capturedStart();
        tag.end = match.capturedEnd();
        auto attributes = attributePattern.globalMatch(match.captured(3));
        while (attributes.hasNext()) {
            const auto a = attributes.next();
            const QString value = !a.captured(2).isNull()   ? a.captured(2)
                                  : !a.captured(3).isNull() ? a.captured(3)
                                                            : a.captured(4);
            tag.attributes.insert(a.captured(1).toLower(),
                                  plainTextOfHtml(value.isNull() ? QString() : value));
        }
        tags.append(tag);
    }
    return tags;
}

QString attribute(const Tag& tag, const char* name) {
    return tag.attributes.value(QLatin1String(name)).trimmed();
}

const QSet<QString>& formattingTags() {
    static const QSet<QString> tags = {
        "b",     "strong", "i",      "em",  "u",      "s",          "br",  "span", "a",
        "small", "big",    "sup",    "sub", "mark",   "p",          "div", "ul",   "ol",
        "li",    "font",   "strike", "del", "ins",    "img",        "h1",  "h2",   "h3",
        "h4",    "h5",     "h6",     "hr",  "center", "blockquote", "q"};
    return tags;
}

QString quoted(const QString& text) {
    return QStringLiteral("\u201c%1\u201d").arg(text);
}

} // namespace

QString htmlReadingNote(const QString& text) {
    static const QRegularExpression tagStart(
        QStringLiteral("<(/?)([a-zA-Z][a-zA-Z0-9-]*)[^>]*>?|<!--|<[!?]"));
    static const QRegularExpression reference(
        QStringLiteral("&(#[0-9]+|#[xX][0-9a-fA-F]+|[a-zA-Z][a-zA-Z0-9]*);?"));
    const auto tag = tagStart.match(text);
    // The first "&" the browser reads as a character; "AT&T" is not one.
    QRegularExpressionMatch ref;
    qsizetype used = 0;
    QString character;
    for (auto it = reference.globalMatch(text); it.hasNext() && used == 0;) {
        ref = it.next();
        character = decodeCharacterReference(QStringView(text).mid(ref.capturedStart()), &used);
    }
    const bool tagFirst =
        tag.hasMatch() && (used == 0 || tag.capturedStart() < ref.capturedStart());
    if (tagFirst) {
        const QString shown = tag.captured(0).size() > 30 ? tag.captured(0).left(29) + QChar(0x2026)
                                                          : tag.captured(0);
        if (formattingTags().contains(tag.captured(2).toLower()))
            return QStringLiteral("%1 is read as HTML: it formats the text on the page and is not "
                                  "shown itself.")
                .arg(quoted(shown));
        return QStringLiteral("%1 is read as HTML and will not appear on the page; type &lt; to "
                              "show a \u201c<\u201d.")
            .arg(quoted(shown));
    }
    if (used > 0)
        return QStringLiteral("%1 becomes %2 on the page; type &amp; to show a \u201c&\u201d.")
            .arg(quoted(text.mid(ref.capturedStart(), used)), quoted(character));
    return {};
}

QStringList optinFormNotes(const QString& code) {
    if (code.trimmed().isEmpty())
        return {};
    if (QString refusal = formRefusal(code.toUtf8()); !refusal.isEmpty())
        return {refusal};
    const QList<Tag> tags = tagsOf(code);
    QStringList notes;
    QList<const Tag*> forms;
    for (const Tag& tag : tags) {
        if (tag.name == QLatin1String("form") && !tag.closing)
            forms.append(&tag);
    }
    if (forms.isEmpty())
        return {QStringLiteral(
            "No <form> found: the visitor's address would go nowhere. Paste the whole code your "
            "autoresponder gives you.")};

    for (const Tag* form : forms) {
        const QString method = attribute(*form, "method").toLower();
        if (method.isEmpty() || method == QLatin1String("get"))
            notes << QStringLiteral(
                "The form is sent by GET: the visitor's e-mail address ends up in the address bar "
                "and in server logs.");
        const QString action = attribute(*form, "action");
        const QUrl url(action);
        if (action.isEmpty())
            notes << QStringLiteral(
                "The form has no action address: it would send the visitor back to the same page.");
        else if (url.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) == 0)
            notes << QStringLiteral("The form sends to %1, not https: browsers warn the visitor "
                                    "that the form is not "
                                    "secure.")
                         .arg(quoted(action));
        else if (url.isRelative() && !action.startsWith(QLatin1String("//")))
            notes << QStringLiteral("The form sends to %1, an address on your own site: your "
                                    "autoresponder's form "
                                    "needs its full https:// address.")
                         .arg(quoted(action));
    }

    // Labels by "for", and the stretches of the code that lie inside a <label>.
    QSet<QString> labelled;
    QList<std::pair<qsizetype, qsizetype>> insideLabels;
    qsizetype openLabel = -1;
    for (const Tag& tag : tags) {
        if (tag.name != QLatin1String("label"))
            continue;
        if (!tag.closing) {
            if (const QString target = attribute(tag, "for"); !target.isEmpty())
                labelled.insert(target);
            openLabel = tag.end;
        } else if (openLabel >= 0) {
            insideLabels.append({openLabel, tag.begin});
            openLabel = -1;
        }
    }
    static const QSet<QString> unlabelledTypes = {"hidden", "submit", "button", "image", "reset"};
    static const QRegularExpression mailName(QStringLiteral("e-?mail"), kNoCase);
    bool emailField = false;
    QStringList nameless;
    for (const Tag& tag : tags) {
        if (tag.closing ||
            (tag.name != QLatin1String("input") && tag.name != QLatin1String("select") &&
             tag.name != QLatin1String("textarea")))
            continue;
        const QString type =
            tag.name == QLatin1String("input") ? attribute(tag, "type").toLower() : tag.name;
        if (type == QLatin1String("email") || mailName.match(attribute(tag, "name")).hasMatch() ||
            mailName.match(attribute(tag, "id")).hasMatch())
            emailField = true;
        // Honeypots are kept out of reach on purpose.
        if (unlabelledTypes.contains(type) || attribute(tag, "tabindex") == QLatin1String("-1"))
            continue;
        // The stretches come in order and do not overlap: the last one starting before
        // the tag is the only one that may hold it.
        const auto after =
            std::upper_bound(insideLabels.begin(), insideLabels.end(), tag.begin,
                             [](qsizetype at, const auto& range) { return at < range.first; });
        const bool wrapped = after != insideLabels.begin() && tag.end <= std::prev(after)->second;
        if (wrapped || labelled.contains(attribute(tag, "id")) ||
            !attribute(tag, "aria-label").isEmpty() ||
            !attribute(tag, "aria-labelledby").isEmpty() || !attribute(tag, "title").isEmpty())
            continue;
        const QString name = attribute(tag, "name");
        nameless << (name.isEmpty() ? type : name);
    }
    if (!emailField)
        notes << QStringLiteral("No e-mail field found: a visitor could not subscribe.");
    if (!nameless.isEmpty())
        notes
            << QStringLiteral(
                   "%1 no label (%2): screen readers announce it without a name, and a hint inside "
                   "the field vanishes as the visitor types.")
                   .arg(nameless.size() == 1
                            ? QStringLiteral("1 field has")
                            : QStringLiteral("%1 fields have").arg(nameless.size()),
                        nameless.join(QStringLiteral(", ")));
    return notes;
}

} // namespace tandrel

namespace tandrel {

namespace {

bool looksLikeVideoId(const QString& text) {
    static const QRegularExpression id(QStringLiteral("^[A-Za-z0-9_-]{6,20}$"));
    return id.match(text).hasMatch();
}

// Seconds of a start time as the video site writes it: "90", "90s", "1m30s", "1h2m3s".
int startSeconds(const QString& text) {
    static const QRegularExpression parts(
        QStringLiteral("^(?:(\\d+)h)?(?:(\\d+)m)?(?:(\\d+)s?)?$"));
    const auto m = parts.match(text);
    if (!m.hasMatch())
        return 0;
    return m.captured(1).toInt() * 3600 + m.captured(2).toInt() * 60 + m.captured(3).toInt();
}

} // namespace

std::optional<QString> videoIdFromPaste(const QString& text) {
    QString value = text.trimmed();
    // A pasted embed code: its player address holds the id.
    for (const Tag& tag : tagsOf(value)) {
        if (tag.name == QLatin1String("iframe") && !tag.closing) {
            value = attribute(tag, "src");
            if (value.startsWith(QLatin1String("//")))
                value.prepend(QStringLiteral("https:"));
            break;
        }
    }
    static const QRegularExpression withStart(
        QStringLiteral("^([A-Za-z0-9_-]{6,20})\\?start=\\d+$"));
    if (looksLikeVideoId(value) || withStart.match(value).hasMatch())
        return value;
    QString address = value;
    if (!address.contains(QLatin1String("://")))
        address.prepend(QStringLiteral("https://"));
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    const QString host = url.host().toLower();
    const QStringList path = url.path().split(QLatin1Char('/'), Qt::SkipEmptyParts);
    std::optional<QString> found;
    if (host == QLatin1String("youtu.be")) {
        if (!path.isEmpty())
            found = path.first();
    } else if (host == QLatin1String("youtube.com") ||
               host.endsWith(QLatin1String(".youtube.com")) ||
               host == QLatin1String("youtube-nocookie.com") ||
               host.endsWith(QLatin1String(".youtube-nocookie.com"))) {
        if (path.size() == 1 && path.first() == QLatin1String("watch"))
            found = QUrlQuery(url).queryItemValue(QStringLiteral("v"));
        else if (path.size() >= 2 &&
                 (path.first() == QLatin1String("embed") ||
                  path.first() == QLatin1String("shorts") || path.first() == QLatin1String("v") ||
                  path.first() == QLatin1String("live")))
            found = path.at(1);
    }
    if (!found || !looksLikeVideoId(*found))
        return std::nullopt;
    const QUrlQuery query(url);
    const int start = startSeconds(query.hasQueryItem(QStringLiteral("start"))
                                       ? query.queryItemValue(QStringLiteral("start"))
                                       : query.queryItemValue(QStringLiteral("t")));
    return start > 0 ? QStringLiteral("%1?start=%2").arg(*found).arg(start) : *found;
}

bool lacksScheme(const QString& address) {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    const QString value = address.trimmed();
    return !value.isEmpty() && !scheme.match(value).hasMatch();
}

QString videoIdOf(const QString& box) {
    return box.trimmed().section(QLatin1Char('?'), 0, 0);
}

QString videoStartOf(const QString& box) {
    const QString value = box.trimmed();
    const qsizetype mark = value.indexOf(QLatin1Char('?'));
    return mark < 0 ? QString() : value.mid(mark);
}

QString withScheme(const QString& address) {
    return lacksScheme(address) ? QStringLiteral("https://") + address.trimmed() : address;
}

QString coverSizeNote(QSize size) {
    if (size.isEmpty())
        return QString();
    if (size.height() >= 3 * size.width())
        return QStringLiteral("This picture is %1 times as tall as it is wide: the page shows "
                              "only its top part, cut square.")
            .arg(size.height() / size.width());
    if (size.width() >= 3 * size.height())
        return QStringLiteral("This picture is %1 times as wide as it is tall: on phones it "
                              "spans the whole card and still looks small.")
            .arg(size.width() / size.height());
    if (size.width() < 300)
        return QStringLiteral("This picture is only %1 px wide: the page shows it at most twice "
                              "that size, small beside the form. Pictures 300 px wide or more "
                              "look best.")
            .arg(size.width());
    return QString();
}

QStringList sampleTextsLeft(const FunnelSettings& s) {
    static const FunnelSettings samples;
    const std::pair<const char*, QString FunnelSettings::*> texts[] = {
        {"Headline", &FunnelSettings::txtFunnel_LeadLine1},
        {"Instructions", &FunnelSettings::txtFunnel_Instructions},
        {"Privacy Policy", &FunnelSettings::txtFunnel_Privacy},
        {"Website Footer Text", &FunnelSettings::txtFooterNew},
        {"Soft Redirect (first message)", &FunnelSettings::txtBeforeRedirectMsg1},
        {"Soft Redirect (second message)", &FunnelSettings::txtBeforeRedirectMsg2},
        {"Thank You Headline", &FunnelSettings::txtThanks},
        {"Link Title", &FunnelSettings::txtDownloadText},
    };
    QStringList left;
    for (const auto& [name, member] : texts) {
        if ((s.*member).trimmed() == (samples.*member).trimmed())
            left << QLatin1String(name);
    }
    return left;
}

QString webAddressNote(const QString& address) {
    const QString value = address.trimmed();
    if (value.isEmpty() || value == QLatin1String("http://") || value == QLatin1String("https://"))
        return {};
    static const QRegularExpression blank(QStringLiteral("\\s"));
    if (value.contains(blank))
        return QStringLiteral("A web address holds no spaces: the link would end at the first "
                              "one. Remove them, or write %20 for each.");
    const QUrl url(withScheme(value), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return QStringLiteral("%1 is not a web address: a browser follows only addresses that "
                              "start with https:// or http://.")
            .arg(quoted(value.left(value.indexOf(QLatin1String("://")) + 3)));
    if (!url.isValid() || url.host().isEmpty() || !url.host().contains(QLatin1Char('.')))
        return QStringLiteral("This is not a web address a browser can open: it needs a host "
                              "name such as example.com after the //.");
    return {};
}

QStringList addressWarnings(const FunnelSettings& s) {
    struct Field {
        const char* name;
        const QString& value;
        bool used;
    };
    const Field fields[] = {
        {"the funnel address", s.txtFunnelUrl, true},
        {"the Back address", s.backUrl, s.backControl},
        {"the redirect address", s.txtRedirectUrl, s.optAction != 0},
        {"the download link", s.txtFileDownloadUrl, !s.txtDownloadText.isEmpty()},
    };
    QStringList warnings;
    for (const Field& field : fields) {
        if (!field.used)
            continue;
        const QString name = QLatin1String(field.name);
        if (lacksScheme(field.value))
            warnings << QStringLiteral("Warning: %1 \"%2\" has no https:// in front, so the "
                                       "pages link relative to themselves.")
                            .arg(name, field.value);
        else if (const QString note = webAddressNote(field.value); !note.isEmpty())
            warnings << QStringLiteral("Warning: %1 \"%2\": %3").arg(name, field.value, note);
    }
    return warnings;
}

} // namespace tandrel
