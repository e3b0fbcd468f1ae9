#include "formscan.h"

#include <QByteArray>
#include <QList>
#include <QLocale>

#include <algorithm>
#include <initializer_list>

namespace tandrel {

namespace {

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

bool isNameEnd(char c) {
    return isBlank(c) || c == '/' || c == '>';
}

bool oneOf(const QByteArray& name, std::initializer_list<const char*> names) {
    return std::any_of(names.begin(), names.end(), [&name](const char* n) { return name == n; });
}

bool isVoid(const QByteArray& n) {
    return oneOf(n, {"area", "base", "basefont", "bgsound", "br", "col", "embed", "frame", "hr",
                     "image", "img", "input", "keygen", "link", "meta", "param", "source", "track",
                     "wbr"});
}

// Tags that leave svg or math for HTML wherever they appear.
bool breaksOut(const QByteArray& n) {
    return oneOf(
        n, {"b",      "big",  "blockquote", "body",  "br",   "center", "code",    "dd",   "div",
            "dl",     "dt",   "em",         "embed", "h1",   "h2",     "h3",      "h4",   "h5",
            "h6",     "head", "hr",         "i",     "img",  "li",     "listing", "menu", "meta",
            "nobr",   "ol",   "p",          "pre",   "ruby", "s",      "small",   "span", "strong",
            "strike", "sub",  "sup",        "table", "tt",   "u",      "ul",      "var"});
}

// Where svg and math hold HTML again.
bool holdsHtml(const QByteArray& n) {
    return oneOf(
        n, {"foreignobject", "desc", "title", "mi", "mo", "mn", "ms", "mtext", "annotation-xml"});
}

bool isFormatting(const QByteArray& n) {
    return oneOf(n, {"a", "b", "big", "code", "em", "font", "i", "nobr", "s", "small", "strike",
                     "strong", "tt", "u"});
}

// The parser's "special" elements: an end tag for a plain element stops at them.
bool isSpecial(const QByteArray& n) {
    return isVoid(n) || breaksOut(n) ||
           oneOf(n, {"address",  "applet",  "article",   "aside",    "button",     "caption",
                     "colgroup", "details", "dir",       "fieldset", "figcaption", "figure",
                     "footer",   "form",    "frameset",  "header",   "hgroup",     "html",
                     "iframe",   "main",    "marquee",   "nav",      "noembed",    "noframes",
                     "noscript", "object",  "plaintext", "script",   "section",    "select",
                     "style",    "summary", "tbody",     "td",       "template",   "textarea",
                     "tfoot",    "th",      "thead",     "title",    "tr",         "xmp"});
}

// Whether an end tag of the special element `n` looks for it past the open element `open`.
bool looksPast(const QByteArray& n, const QByteArray& open) {
    if (oneOf(n, {"table", "tbody", "thead", "tfoot", "tr", "td", "th"}))
        return !oneOf(open, {"html", "table", "template"});
    if ((n == "li" && oneOf(open, {"ol", "ul"})) || (n == "p" && open == "button"))
        return false;
    return !oneOf(open, {"applet", "caption", "html", "table", "td", "th", "marquee", "object",
                         "template"}) &&
           !holdsHtml(open);
}

// Whose contents the parser reads as text, not tags, in HTML.
bool isRawText(const QByteArray& n) {
    return oneOf(n,
                 {"script", "style", "title", "textarea", "xmp", "iframe", "noembed", "noframes"});
}

// How many of the open elements stay open at a start tag of `n`: it closes some when
// they are the innermost ones.
qsizetype openAfter(const QList<QByteArray>& open, const QByteArray& n) {
    qsizetype size = open.size();
    const auto popIf = [&open, &size](std::initializer_list<const char*> names) {
        if (size > 0 && oneOf(open[size - 1], names))
            --size;
    };
    if (oneOf(n, {"address", "article", "aside",   "blockquote", "center",   "details",
                  "dialog",  "dir",     "div",     "dl",         "fieldset", "figcaption",
                  "figure",  "footer",  "form",    "header",     "hgroup",   "main",
                  "menu",    "nav",     "ol",      "p",          "section",  "summary",
                  "ul",      "pre",     "listing", "li",         "dd",       "dt",
                  "h1",      "h2",      "h3",      "h4",         "h5",       "h6"}))
        popIf({"p"});
    if (n == "li")
        popIf({"li"});
    else if (n == "dd" || n == "dt")
        popIf({"dd", "dt"});
    else if (n[0] == 'h' && n.size() == 2 && n[1] >= '1' && n[1] <= '6')
        popIf({"h1", "h2", "h3", "h4", "h5", "h6"});
    else if (n == "option")
        popIf({"option"});
    else if (n == "optgroup") {
        popIf({"option"});
        popIf({"optgroup"});
    } else if (n == "td" || n == "th") {
        popIf({"td", "th"});
    } else if (n == "tr") {
        popIf({"td", "th"});
        popIf({"tr"});
    } else if (n == "tbody" || n == "thead" || n == "tfoot") {
        popIf({"td", "th"});
        popIf({"tr"});
        popIf({"tbody", "thead", "tfoot"});
    }
    return size;
}

// One pass that follows the parser closely enough never to count less than it nests:
// where it cannot tell what the parser does, it keeps the element open.
class Scan {
public:
    explicit Scan(QByteArrayView text) : m_text(text) {}

    FormNesting run() {
        const qsizetype size = m_text.size();
        qsizetype i = 0;
        while (i < size) {
            const char c = m_text[i];
            if (c == '\n')
                ++m_line;
            if (c != '<' || i + 1 >= size) {
                ++i;
                continue;
            }
            const char next = m_text[i + 1];
            if (isLetter(next)) {
                i = startTag(i + 1);
            } else if (next == '/' && i + 2 < size && isLetter(m_text[i + 2])) {
                i = endTag(i + 2);
            } else if (next == '!' && part(i + 2).startsWith("--")) {
                ++m_result.parts;
                i = comment(i + 4);
            } else if (next == '!' || next == '?' || next == '/') {
                ++m_result.parts;
                i = skipTo(i + 2, ">");
            } else {
                ++i;
            }
            if (m_stopped)
                break;
        }
        return m_result;
    }

private:
    // Up to n bytes from `at`, fewer at the end of the text.
    QByteArrayView part(qsizetype at, qsizetype n = -1) const {
        at = std::min(at, m_text.size());
        return m_text.sliced(at, n < 0 ? m_text.size() - at : std::min(n, m_text.size() - at));
    }

    // Moves past the first `end` from `from`, counting lines, or to the end of the text.
    qsizetype skipTo(qsizetype from, QByteArrayView end) {
        const qsizetype at = m_text.indexOf(end, from);
        return skipLines(from, at < 0 ? m_text.size() : at + end.size());
    }

    qsizetype skipLines(qsizetype from, qsizetype to) {
        m_line += std::count(m_text.begin() + from, m_text.begin() + to, '\n');
        return to;
    }

    qsizetype comment(qsizetype from) {
        // "<!-->" and "<!--->" end at once; "--!>" ends one as "-->" does.
        for (const char* shortEnd : {">", "->"}) {
            if (part(from).startsWith(shortEnd))
                return from + qsizetype(qstrlen(shortEnd));
        }
        for (qsizetype at = m_text.indexOf("--", from); at >= 0;
             at = m_text.indexOf("--", at + 1)) {
            const QByteArrayView rest = part(at + 2);
            if (rest.startsWith(">") || rest.startsWith("!>"))
                return skipLines(from, at + (rest.startsWith(">") ? 3 : 4));
        }
        return skipLines(from, m_text.size());
    }

    QByteArray nameAt(qsizetype& i) const {
        const qsizetype begin = i;
        while (i < m_text.size() && !isNameEnd(m_text[i]))
            ++i;
        return part(begin, i - begin).toByteArray().toLower();
    }

    // The rest of a tag after its name, read as the parser's tokenizer reads it: a quoted
    // value may hold ">". Returns where the tag ends, or -1 when the text ends first
    // (the parser then drops the tag).
    qsizetype tagBody(qsizetype i, bool* selfClosing, int* attributes) {
        *attributes = 0;
        *selfClosing = false;
        enum { BeforeName, Name, AfterName, BeforeValue } state = BeforeName;
        const qsizetype size = m_text.size();
        while (i < size) {
            const char c = m_text[i];
            if (c == '\n')
                ++m_line;
            if (c == '>') // a value may be missing too
                return i + 1;
            if (c == '/' && state != BeforeValue) {
                if (i + 1 < size && m_text[i + 1] == '>') {
                    *selfClosing = true;
                    return i + 2;
                }
                state = BeforeName;
                ++i;
                continue;
            }
            switch (state) {
            case BeforeName:
            case AfterName:
                if (c == '=' && state == AfterName) {
                    state = BeforeValue;
                } else if (!isBlank(c)) {
                    ++*attributes;
                    state = Name;
                }
                break;
            case Name:
                if (isBlank(c))
                    state = AfterName;
                else if (c == '=')
                    state = BeforeValue;
                break;
            case BeforeValue:
                if (c == '"' || c == '\'') {
                    const qsizetype close = m_text.indexOf(c, i + 1);
                    if (close < 0)
                        return -1;
                    i = skipLines(i + 1, close + 1);
                    state = BeforeName;
                    continue;
                }
                if (!isBlank(c)) {
                    while (i < size && !isBlank(m_text[i]) && m_text[i] != '>')
                        ++i;
                    state = BeforeName;
                    continue;
                }
                break;
            }
            ++i;
        }
        return -1;
    }

    // Where the end tag of a raw text element begins, or the end of the text. A script
    // holding "<!--" and "<script" reads the next "</script>" as text, as the parser does.
    qsizetype rawTextEnd(qsizetype from, const QByteArray& name) {
        const bool script = name == "script";
        enum { Data, Escaped, DoublyEscaped } state = Data;
        const auto tagNamed = [this, &name](qsizetype at) {
            const QByteArrayView after = part(at, name.size() + 1);
            return after.size() == name.size() + 1 &&
                   after.first(name.size()).toByteArray().toLower() == name &&
                   isNameEnd(after.back());
        };
        for (qsizetype i = from; i < m_text.size(); ++i) {
            const char c = m_text[i];
            if (c == '<' && i + 1 < m_text.size() && m_text[i + 1] == '/' && tagNamed(i + 2)) {
                if (state != DoublyEscaped)
                    return skipLines(from, i);
                state = Escaped;
            } else if (script && c == '<') {
                if (state == Data && part(i).startsWith("<!--")) {
                    state = Escaped;
                    i += 2; // the dashes may be those of "-->" at once
                } else if (state == Escaped && tagNamed(i + 1)) {
                    state = DoublyEscaped;
                }
            } else if (script && c == '>' && state != Data && m_text[i - 1] == '-' &&
                       m_text[i - 2] == '-') {
                state = Data;
            }
        }
        return skipLines(from, m_text.size());
    }

    bool inForeign() const {
        return !m_open.isEmpty() && m_foreign.last() && !holdsHtml(m_open.last());
    }

    void push(const QByteArray& name, bool foreign, qint64 attributeBytes = 0) {
        m_open.append(name);
        m_foreign.append(foreign);
        // The parser copies an open formatting element, attributes and all, each time
        // a tag has closed it without its own end tag and more text or tags follow.
        const qint64 weight = !foreign && isFormatting(name) ? kCopyCost + 2 * attributeBytes : 0;
        m_weight.append(weight);
        m_formattingWeight += weight;
        if (m_open.size() > m_result.deepest) {
            m_result.deepest = int(m_open.size());
            m_result.deepestLine = m_line;
        }
        // Past the limit the depth is no longer needed, and the search of each end tag
        // through what is open would grow with it.
        m_stopped = m_stopped || m_result.deepest > kFormNestingLimit;
    }

    void popTo(qsizetype size) {
        for (qsizetype k = size; k < m_weight.size(); ++k)
            m_formattingWeight -= m_weight[k];
        m_open.resize(size);
        m_foreign.resize(size);
        m_weight.resize(size);
        if (!inForeign())
            m_unsure = false;
    }

    void countTag(int attributes, qsizetype line) {
        m_result.copies += m_formattingWeight;
        m_result.parts += 1 + attributes;
        if (attributes > m_result.mostAttributes) {
            m_result.mostAttributes = attributes;
            m_result.mostAttributesLine = line;
        }
    }

    qsizetype startTag(qsizetype i) {
        const qsizetype line = m_line;
        const QByteArray name = nameAt(i);
        const qsizetype nameEnd = i;
        bool selfClosing = false;
        int attributes = 0;
        i = tagBody(i, &selfClosing, &attributes);
        // A tag the text ends in is dropped, but the parser has read it all the same.
        countTag(attributes, line);
        if (i < 0)
            return m_text.size();
        const qsizetype tagEnd = i;
        if (name == "select" || name == "frameset")
            m_modal = true; // where the parser ignores tags that would otherwise read as text
        if (inForeign() && !breaksOut(name)) {
            // Unsure whether the parser is still in svg or math: it may keep either.
            if (!selfClosing || m_unsure)
                push(name, true);
            return i;
        }
        if (name == "svg" || name == "math") {
            if (!selfClosing)
                push(name, true);
            return i;
        }
        if (isVoid(name))
            return i;
        popTo(openAfter(m_open, name));
        push(name, false, tagEnd - nameEnd);
        const bool plainHtml = !m_modal && std::none_of(m_foreign.begin(), m_foreign.end(),
                                                        [](bool foreign) { return foreign; });
        if (plainHtml && name == "plaintext") {
            m_stopped = true;
        } else if (plainHtml && isRawText(name)) {
            i = rawTextEnd(i, name); // the end tag itself is read as one
        }
        return i;
    }

    qsizetype endTag(qsizetype i) {
        const QByteArray name = nameAt(i);
        bool selfClosing = false;
        int attributes = 0;
        i = tagBody(i, &selfClosing, &attributes);
        countTag(attributes, m_line);
        if (i < 0 || m_open.isEmpty())
            return i < 0 ? m_text.size() : i;
        if (inForeign() || m_foreign.last()) {
            for (qsizetype k = m_open.size() - 1; k >= 0 && m_foreign[k]; --k) {
                if (m_open[k] == name) {
                    popTo(k);
                    return i;
                }
            }
            m_unsure = true;
            return i;
        }
        qsizetype k = m_open.size() - 1;
        while (k >= 0 && m_open[k] != name)
            --k;
        if (k < 0)
            return i;
        const qsizetype top = m_open.size() - 1;
        if (isFormatting(name)) {
            if (k == top)
                popTo(k);
            return i;
        }
        if (name == "form") {
            // The parser takes the form out alone, leaving open what it holds.
            if (k == top)
                popTo(k);
            return i;
        }
        for (qsizetype j = k + 1; j <= top; ++j) {
            if (m_foreign[j] || isFormatting(m_open[j]) ||
                (isSpecial(name) ? !looksPast(name, m_open[j]) : isSpecial(m_open[j])))
                return i;
        }
        popTo(k);
        return i;
    }

    QByteArrayView m_text;
    QList<QByteArray> m_open;
    QList<bool> m_foreign;
    QList<qint64> m_weight; // what the parser would copy of each open element
    qsizetype m_line = 1;
    qint64 m_formattingWeight = 0;
    bool m_unsure = false;
    bool m_modal = false;
    bool m_stopped = false;
    FormNesting m_result;
};

} // namespace

FormNesting scanFormNesting(QByteArrayView utf8) {
    return Scan(utf8).run();
}

QString nestingRefusal(qsizetype line) {
    const QLocale locale = QLocale::system();
    return QStringLiteral("The opt-in form nests its tags more than %1 deep (from line %2 on): "
                          "a sign-up form needs far fewer, and deeper ones cannot be read "
                          "safely. Paste the form code from your autoresponder again, or "
                          "close the tags it leaves open.")
        .arg(locale.toString(kFormNestingLimit), locale.toString(line));
}

QString formRefusal(QByteArrayView utf8) {
    const FormNesting nesting = scanFormNesting(utf8);
    const QLocale locale = QLocale::system();
    if (nesting.deepest > kFormNestingLimit)
        return nestingRefusal(nesting.deepestLine);
    if (nesting.parts > kFormPartLimit)
        return QStringLiteral("The opt-in form is made of %1 tags, attributes and comments, more "
                              "than the %2 read here; a sign-up form has a few hundred. Paste the "
                              "form code from your autoresponder again.")
            .arg(locale.toString(nesting.parts), locale.toString(kFormPartLimit));
    if (nesting.mostAttributes > kFormAttributeLimit)
        return QStringLiteral("The opt-in form has a tag with %1 attributes (line %2), more than "
                              "the %3 a form could use. Paste the form code from your "
                              "autoresponder again.")
            .arg(locale.toString(nesting.mostAttributes),
                 locale.toString(nesting.mostAttributesLine), locale.toString(kFormAttributeLimit));
    if (nesting.copies > kFormCopyLimit)
        return QStringLiteral("The opt-in form leaves formatting tags such as <b> or <a> open "
                              "around much of its code, which a browser copies again and again. "
                              "Paste the form code from your autoresponder again, or close those "
                              "tags.");
    return QString();
}

} // namespace tandrel
