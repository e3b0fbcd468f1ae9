#include "htmltext.h"

#include <QRegularExpression>

namespace tandrel {

namespace {

struct NamedReference {
    const char* name;
    char16_t character;
};

// The references people type by hand; the browser knows more, and those are
// left as typed here, which only makes a title or warning a little less exact.
const NamedReference kNamed[] = {
    {"amp", u'&'},         {"lt", u'<'},          {"gt", u'>'},          {"quot", u'"'},
    {"apos", u'\''},       {"nbsp", u'\u00a0'},   {"copy", u'\u00a9'},   {"reg", u'\u00ae'},
    {"trade", u'\u2122'},  {"hellip", u'\u2026'}, {"mdash", u'\u2014'},  {"ndash", u'\u2013'},
    {"laquo", u'\u00ab'},  {"raquo", u'\u00bb'},  {"lsquo", u'\u2018'},  {"rsquo", u'\u2019'},
    {"ldquo", u'\u201c'},  {"rdquo", u'\u201d'},  {"bull", u'\u2022'},   {"middot", u'\u00b7'},
    {"euro", u'\u20ac'},   {"pound", u'\u00a3'},  {"yen", u'\u00a5'},    {"cent", u'\u00a2'},
    {"sect", u'\u00a7'},   {"deg", u'\u00b0'},    {"times", u'\u00d7'},  {"divide", u'\u00f7'},
    {"acute", u'\u00b4'},  {"shy", u'\u00ad'},    {"rarr", u'\u2192'},   {"larr", u'\u2190'},
    {"darr", u'\u2193'},   {"uarr", u'\u2191'},   {"hearts", u'\u2665'}, {"auml", u'\u00e4'},
    {"ouml", u'\u00f6'},   {"uuml", u'\u00fc'},   {"Auml", u'\u00c4'},   {"Ouml", u'\u00d6'},
    {"Uuml", u'\u00dc'},   {"szlig", u'\u00df'},  {"eacute", u'\u00e9'}, {"egrave", u'\u00e8'},
    {"agrave", u'\u00e0'}, {"ccedil", u'\u00e7'}, {"ntilde", u'\u00f1'}, {"iexcl", u'\u00a1'},
    {"iquest", u'\u00bf'}, {"para", u'\u00b6'},
};

} // namespace

QString decodeCharacterReference(QStringView text, qsizetype* length) {
    *length = 0;
    if (text.size() < 3 || text[0] != u'&')
        return {};
    if (text[1] == u'#') {
        const bool hex = text.size() > 2 && (text[2] == u'x' || text[2] == u'X');
        qsizetype i = hex ? 3 : 2;
        const qsizetype digits = i;
        char32_t value = 0;
        const auto digit = [hex](QChar c) -> int {
            if (c >= u'0' && c <= u'9')
                return c.unicode() - u'0';
            const QChar lower = c.toLower();
            if (hex && lower >= u'a' && lower <= u'f')
                return lower.unicode() - u'a' + 10;
            return -1;
        };
        while (i < text.size() && i - digits < 8 && digit(text[i]) >= 0) {
            value = value * (hex ? 16 : 10) + char32_t(digit(text[i]));
            ++i;
        }
        if (i == digits)
            return {};
        if (i < text.size() && text[i] == u';')
            ++i;
        *length = i;
        if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            return QString(QChar(0xFFFD));
        return QString::fromUcs4(&value, 1);
    }
    qsizetype end = 1;
    while (end < text.size() && end < 40 && text[end].isLetterOrNumber() &&
           text[end].unicode() < 128)
        ++end;
    const QStringView name = text.mid(1, end - 1);
    for (const NamedReference& ref : kNamed) {
        if (name == QLatin1String(ref.name)) {
            // Without the ";" only the old HTML 4 names are read, and browsers read them.
            *length = end < text.size() && text[end] == u';' ? end + 1 : end;
            return QString(QChar(ref.character));
        }
    }
    return {};
}

QString plainTextOfHtml(const QString& html) {
    static const QRegularExpression dropped(
        QStringLiteral("<!--.*?(-->|$)|<(script|style|template|noscript)\\b.*?(</"
                       "\\2\\s*>|$)|<[a-zA-Z/!?][^>]*>?"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression breaks(QStringLiteral("<(br|p|div|li|h[1-6]|tr|td|th)\\b"),
                                           QRegularExpression::CaseInsensitiveOption);
    QString withBreaks = html;
    withBreaks.replace(breaks, QStringLiteral(" <\\1"));
    const QString text = withBreaks.replace(dropped, QString());
    QString decoded;
    decoded.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&') {
            qsizetype used = 0;
            const QString c = decodeCharacterReference(QStringView(text).mid(i), &used);
            if (used > 0) {
                decoded += c;
                i += used - 1;
                continue;
            }
        }
        decoded += text[i];
    }
    decoded.replace(QChar(0x00AD), QString());
    return decoded.simplified();
}

QString shortenAtWord(const QString& text, int maxChars) {
    if (text.size() <= maxChars)
        return text;
    qsizetype cut = maxChars - 1;
    // Never split a surrogate pair.
    if (cut > 0 && text[cut - 1].isHighSurrogate())
        --cut;
    const qsizetype space = text.lastIndexOf(u' ', cut);
    if (space > maxChars / 2)
        cut = space;
    QString shortened = text.left(cut);
    while (!shortened.isEmpty() && (shortened.back().isSpace() || shortened.back().isPunct()))
        shortened.chop(1);
    return shortened + QChar(0x2026);
}

QString escapeHtml(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'&':
            out += QLatin1String("&amp;");
            break;
        case u'<':
            out += QLatin1String("&lt;");
            break;
        case u'>':
            out += QLatin1String("&gt;");
            break;
        case u'"':
            out += QLatin1String("&quot;");
            break;
        case u'\'':
            out += QLatin1String("&#39;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

bool showsSomething(const QString& html) {
    static const QRegularExpression embedded(
        QStringLiteral("<(img|svg|video|picture|iframe|canvas|object|embed)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    return !plainTextOfHtml(html).isEmpty() || embedded.match(html).hasMatch();
}

QString textDirection(const QString& html) {
    qsizetype leftToRight = 0;
    qsizetype rightToLeft = 0;
    for (const QChar c : plainTextOfHtml(html)) {
        switch (c.direction()) {
        case QChar::DirL:
            ++leftToRight;
            break;
        case QChar::DirR:
        case QChar::DirAL:
            ++rightToLeft;
            break;
        default:
            break;
        }
    }
    if (leftToRight == rightToLeft)
        return QStringLiteral("auto");
    return rightToLeft > leftToRight ? QStringLiteral("rtl") : QStringLiteral("ltr");
}

} // namespace tandrel
