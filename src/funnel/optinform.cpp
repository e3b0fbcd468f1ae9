#include "optinform.h"

#include "campaign.h"
#include "formscan.h"
#include "htmltext.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>

#include <gumbo.h>

#include <algorithm>
#include <cmath>
#include <functional>

namespace tandrel {

// The parser keeps a copy of its stack of open tags with every parse error, which
// nobody reads here and which grows with the square of the nesting.
const GumboOptions& parserOptions() {
    static const GumboOptions options = [] {
        GumboOptions o = kGumboDefaultOptions;
        o.max_errors = 0;
        return o;
    }();
    return options;
}

namespace {

int depthOf(const GumboNode* node) {
    int depth = 0;
    for (; node->parent; node = node->parent)
        ++depth;
    return depth;
}

// The element deepest in the tree, found without recursion.
const GumboNode* deepestNode(const GumboNode* document) {
    const GumboNode* deepest = document;
    QList<std::pair<const GumboNode*, int>> pending{{document, 0}};
    int most = 0;
    while (!pending.isEmpty()) {
        const auto [node, depth] = pending.takeLast();
        if (depth > most) {
            most = depth;
            deepest = node;
        }
        const GumboVector& children = node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children
                                                                        : node->v.element.children;
        for (unsigned i = 0; i < children.length; ++i) {
            const auto* child = static_cast<const GumboNode*>(children.data[i]);
            if (child->type == GUMBO_NODE_ELEMENT || child->type == GUMBO_NODE_TEMPLATE)
                pending.append({child, depth + 1});
        }
    }
    return deepest;
}

// One parse of the pasted code; offsets of the source positions are into bytes. A form
// the parser cannot read safely is never given to it (refusal() says why).
class Parsed {
public:
    explicit Parsed(const QString& html) : m_bytes(html.toUtf8()), m_refusal(formRefusal(m_bytes)) {
        if (!m_refusal.isEmpty())
            return;
        m_output =
            gumbo_parse_with_options(&parserOptions(), m_bytes.constData(), size_t(m_bytes.size()));
        // The scan keeps the parser's nesting within a few times its own count; should
        // the parser nest deeper still, the walks here that recurse never see that tree.
        if (const GumboNode* deepest = deepestNode(m_output->document);
            depthOf(deepest) > 4 * kFormNestingLimit)
            m_refusal = nestingRefusal(qsizetype(deepest->v.element.start_pos.line));
    }
    ~Parsed() {
        if (m_output)
            gumbo_destroy_output(&parserOptions(), m_output);
    }
    Parsed(const Parsed&) = delete;
    Parsed& operator=(const Parsed&) = delete;

    const QString& refusal() const { return m_refusal; }
    const GumboNode* root() const { return m_output->document; }
    const QByteArray& bytes() const { return m_bytes; }
    // Where a piece of the source starts, or -1 for text the parser made up.
    qsizetype offsetOf(const GumboStringPiece& piece) const {
        const char* begin = m_bytes.constData();
        if (piece.data == nullptr || piece.data < begin || piece.data > begin + m_bytes.size())
            return -1;
        return piece.data - begin;
    }

private:
    QByteArray m_bytes;
    QString m_refusal;
    GumboOutput* m_output = nullptr;
};

bool isElement(const GumboNode* node) {
    return node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE;
}

const GumboVector& childrenOf(const GumboNode* node) {
    return node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children : node->v.element.children;
}

// In document order, without recursion.
void forEachElement(const GumboNode* top, const std::function<void(const GumboNode*)>& visit) {
    QList<const GumboNode*> pending{top};
    while (!pending.isEmpty()) {
        const GumboNode* node = pending.takeLast();
        if (node->type != GUMBO_NODE_DOCUMENT && !isElement(node))
            continue;
        if (isElement(node))
            visit(node);
        const GumboVector& children = childrenOf(node);
        for (unsigned i = children.length; i > 0; --i)
            pending.append(static_cast<const GumboNode*>(children.data[i - 1]));
    }
}

QList<const GumboNode*> elementsWithTag(const GumboNode* root, GumboTag tag) {
    QList<const GumboNode*> found;
    forEachElement(root, [&](const GumboNode* node) {
        if (node->v.element.tag == tag)
            found.append(node);
    });
    return found;
}

bool hasAttribute(const GumboNode* node, const char* name) {
    return gumbo_get_attribute(&node->v.element.attributes, name) != nullptr;
}

QString attribute(const GumboNode* node, const char* name) {
    const GumboAttribute* a = gumbo_get_attribute(&node->v.element.attributes, name);
    return a ? QString::fromUtf8(a->value) : QString();
}

GumboTag tagOf(const GumboNode* node) {
    return node->v.element.tag;
}

// The text a visitor reads in an element, controls and scripts left out.
QString readText(const GumboNode* node) {
    if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE ||
        node->type == GUMBO_NODE_CDATA)
        return QString::fromUtf8(node->v.text.text);
    if (!isElement(node))
        return QString();
    switch (tagOf(node)) {
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_SELECT:
    case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_TEMPLATE:
        return QString();
    default:
        break;
    }
    QString text;
    const GumboVector& children = node->v.element.children;
    for (unsigned i = 0; i < children.length; ++i)
        text += readText(static_cast<const GumboNode*>(children.data[i]));
    return text;
}

QString plain(const GumboNode* node) {
    return readText(node).simplified();
}

// A link that opens a page, not one that runs a script of its own.
bool isSafeLink(const GumboNode* node) {
    QString href = attribute(node, "href");
    href.removeIf([](QChar c) { return c.unicode() <= 0x20; });
    for (const char* scheme : {"javascript:", "vbscript:", "data:"}) {
        if (href.startsWith(QLatin1String(scheme), Qt::CaseInsensitive))
            return false;
    }
    return true;
}

// A label's content as our markup: its text, links and emphasis, nothing else.
QString labelMarkup(const GumboNode* node) {
    if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE)
        return escapeHtml(QString::fromUtf8(node->v.text.text));
    if (!isElement(node))
        return QString();
    QString inner;
    const GumboVector& children = node->v.element.children;
    for (unsigned i = 0; i < children.length; ++i)
        inner += labelMarkup(static_cast<const GumboNode*>(children.data[i]));
    switch (tagOf(node)) {
    case GUMBO_TAG_INPUT:
    case GUMBO_TAG_SELECT:
    case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_BUTTON:
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
        return QString();
    case GUMBO_TAG_BR:
        return QStringLiteral("<br>");
    case GUMBO_TAG_A: {
        QString tag = QStringLiteral("<a");
        for (const char* name : {"href", "target", "rel"}) {
            if (hasAttribute(node, name) && (qstrcmp(name, "href") != 0 || isSafeLink(node)))
                tag += QStringLiteral(" %1=\"%2\"")
                           .arg(QLatin1String(name), escapeHtml(attribute(node, name)));
        }
        return tag + u'>' + inner + QStringLiteral("</a>");
    }
    case GUMBO_TAG_STRONG:
    case GUMBO_TAG_B:
    case GUMBO_TAG_EM:
    case GUMBO_TAG_I:
    case GUMBO_TAG_SMALL: {
        const QString name = QString::fromUtf8(gumbo_normalized_tagname(tagOf(node)));
        return QStringLiteral("<%1>%2</%1>").arg(name, inner);
    }
    default:
        return inner;
    }
}

// Without blanks and line breaks at either end.
QString trimmedMarkup(const QString& markup) {
    static const QLatin1String br("<br>");
    qsizetype begin = 0;
    qsizetype end = markup.size();
    while (begin < end) {
        if (markup[begin].isSpace())
            ++begin;
        else if (QStringView(markup).mid(begin, end - begin).startsWith(br))
            begin += br.size();
        else
            break;
    }
    while (end > begin) {
        if (markup[end - 1].isSpace())
            --end;
        else if (QStringView(markup).mid(begin, end - begin).endsWith(br))
            end -= br.size();
        else
            break;
    }
    return markup.mid(begin, end - begin);
}

QString lower(const QString& text) {
    return text.toLower().remove(u' ');
}

// As browsers compare keywords: only A to Z fold, nothing is trimmed.
QString asciiLower(QString text) {
    for (QChar& c : text) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + 32);
    }
    return text;
}

// Whether an element keeps what it holds from people's eyes.
bool hidesContent(const GumboNode* node) {
    const QString style = lower(attribute(node, "style"));
    return hasAttribute(node, "hidden") ||
           attribute(node, "aria-hidden").trimmed() == QLatin1String("true") ||
           style.contains(QLatin1String("display:none")) ||
           style.contains(QLatin1String("visibility:hidden")) ||
           style.contains(QLatin1String("left:-")) || style.contains(QLatin1String("top:-"));
}

QString tagWithAttributes(const QString& name, const GumboNode* node,
                          const std::function<bool(const QString&)>& keep,
                          const QString& ours = QString()) {
    QString tag = u'<' + name + ours;
    const GumboVector& attributes = node->v.element.attributes;
    for (unsigned i = 0; i < attributes.length; ++i) {
        const auto* a = static_cast<const GumboAttribute*>(attributes.data[i]);
        const QString attributeName = QString::fromUtf8(a->name);
        if (!keep(attributeName))
            continue;
        tag += u' ' + attributeName + QStringLiteral("=\"") +
               escapeHtml(QString::fromUtf8(a->value)) + u'"';
    }
    return tag + u'>';
}

// What a visible field keeps of its own: everything that decides what it sends or accepts.
bool isFieldAttribute(const QString& name) {
    static const QStringList kept = {
        QStringLiteral("name"),        QStringLiteral("type"),
        QStringLiteral("value"),       QStringLiteral("required"),
        QStringLiteral("placeholder"), QStringLiteral("autocomplete"),
        QStringLiteral("pattern"),     QStringLiteral("minlength"),
        QStringLiteral("maxlength"),   QStringLiteral("min"),
        QStringLiteral("max"),         QStringLiteral("step"),
        QStringLiteral("inputmode"),   QStringLiteral("multiple"),
        QStringLiteral("checked"),     QStringLiteral("disabled"),
        QStringLiteral("readonly"),    QStringLiteral("title"),
        QStringLiteral("size"),        QStringLiteral("autocapitalize"),
        QStringLiteral("spellcheck"),  QStringLiteral("rows"),
        QStringLiteral("selected"),    QStringLiteral("label"),
        QStringLiteral("dirname"),     QStringLiteral("dir"),
        QStringLiteral("cols"),        QStringLiteral("wrap"),
        QStringLiteral("accept"),
    };
    return kept.contains(name);
}

// What a button keeps: what it sends and where.
bool isButtonAttribute(const QString& name) {
    static const QStringList kept = {
        QStringLiteral("name"),       QStringLiteral("value"),
        QStringLiteral("disabled"),   QStringLiteral("formaction"),
        QStringLiteral("formmethod"), QStringLiteral("formenctype"),
        QStringLiteral("formtarget"), QStringLiteral("formnovalidate"),
        QStringLiteral("title"),      QStringLiteral("src"),
        QStringLiteral("alt"),        QStringLiteral("width"),
        QStringLiteral("height"),     QStringLiteral("dirname"),
    };
    return kept.contains(name);
}

// Hidden values and honeypots go out exactly as they came, bar their looks, scripts and a
// form="..." that would point at nothing in our page.
bool isSentAttribute(const QString& name) {
    return name != QLatin1String("style") && name != QLatin1String("class") &&
           name != QLatin1String("id") && name != QLatin1String("form") &&
           !name.startsWith(QLatin1String("on"), Qt::CaseInsensitive);
}

QString prettyName(const QString& name) {
    QString text = name;
    // "tags[]" is one of a list called "tags"; "fields[first_name]" is called by what is in its
    // last brackets.
    if (text.endsWith(QLatin1String("[]")))
        text.chop(2);
    if (text.endsWith(u']')) {
        const qsizetype open = text.lastIndexOf(u'[', -2);
        const QStringView inner = QStringView(text).mid(open + 1, text.size() - open - 2);
        if (open >= 0 && !inner.isEmpty() && !inner.contains(u']'))
            text = inner.toString();
    }
    text.replace(u'_', u' ').replace(u'-', u' ');
    text = text.simplified();
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

bool isHtml(const GumboNode* node) {
    return node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML;
}

bool isControl(const GumboNode* node) {
    switch (tagOf(node)) {
    case GUMBO_TAG_INPUT:
    case GUMBO_TAG_SELECT:
    case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_BUTTON:
        return isHtml(node);
    default:
        return false;
    }
}

// Elements inside a line of text: a paragraph goes on across them.
bool isInline(const GumboNode* node) {
    switch (tagOf(node)) {
    case GUMBO_TAG_A:
    case GUMBO_TAG_ABBR:
    case GUMBO_TAG_B:
    case GUMBO_TAG_BDI:
    case GUMBO_TAG_BDO:
    case GUMBO_TAG_BR:
    case GUMBO_TAG_CITE:
    case GUMBO_TAG_CODE:
    case GUMBO_TAG_EM:
    case GUMBO_TAG_FONT:
    case GUMBO_TAG_I:
    case GUMBO_TAG_KBD:
    case GUMBO_TAG_LABEL:
    case GUMBO_TAG_MARK:
    case GUMBO_TAG_Q:
    case GUMBO_TAG_S:
    case GUMBO_TAG_SAMP:
    case GUMBO_TAG_SMALL:
    case GUMBO_TAG_SPAN:
    case GUMBO_TAG_STRONG:
    case GUMBO_TAG_SUB:
    case GUMBO_TAG_SUP:
    case GUMBO_TAG_TIME:
    case GUMBO_TAG_U:
    case GUMBO_TAG_VAR:
        return isHtml(node);
    default:
        return false;
    }
}

// Text that is read elsewhere (a button's, a legend's) or never (a script's, a picture's).
bool isQuiet(const GumboNode* node) {
    switch (tagOf(node)) {
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_SELECT:
    case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_BUTTON:
    case GUMBO_TAG_OPTION:
    case GUMBO_TAG_LEGEND:
    case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_TITLE:
    case GUMBO_TAG_OBJECT:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_DATALIST:
        return true;
    default:
        return !isHtml(node);
    }
}

// What a browser sends from a form, rebuilt: the controls it owns in their order (form="..."
// owners outside it included), each button the visitor may press, and the text among them.
class Rebuild {
public:
    Rebuild(const Parsed& parsed, const GumboNode* form) : m_root(parsed.root()), m_form(form) {
        for (const GumboNode* up = form->parent; up; up = up->parent)
            m_formAncestors.insert(up);
        // Elements in tree order, template contents left out as browsers leave them out.
        QList<const GumboNode*> order;
        QList<const GumboNode*> pending{m_root};
        while (!pending.isEmpty()) {
            const GumboNode* node = pending.takeLast();
            if (node != m_root) {
                order.append(node);
                if (tagOf(node) == GUMBO_TAG_TEMPLATE)
                    continue;
            }
            const GumboVector& children = childrenOf(node);
            for (unsigned i = children.length; i > 0; --i) {
                const auto* child = static_cast<const GumboNode*>(children.data[i - 1]);
                if (isElement(child))
                    pending.append(child);
            }
        }
        for (const GumboNode* node : std::as_const(order)) {
            if (const QString id = attribute(node, "id"); !id.isEmpty() && !m_byId.contains(id))
                m_byId.insert(id, node);
            if (tagOf(node) == GUMBO_TAG_LABEL && hasAttribute(node, "for"))
                m_labelsFor.insert(attribute(node, "for"), node);
            if (hidesContent(node))
                m_hides.insert(node);
        }
        // Children before parents: whether an element is plain text and whether it holds controls.
        for (qsizetype i = order.size(); i > 0; --i) {
            const GumboNode* node = order[i - 1];
            bool plain = isInline(node) && !m_hides.contains(node);
            bool holds = isControl(node);
            const GumboVector& children = node->v.element.children;
            for (unsigned c = 0; c < children.length; ++c) {
                const auto* child = static_cast<const GumboNode*>(children.data[c]);
                if (!isElement(child))
                    continue;
                plain = plain && m_plain.contains(child);
                holds = holds || m_holds.contains(child);
                if (tagOf(node) == GUMBO_TAG_FIELDSET && tagOf(child) == GUMBO_TAG_LEGEND &&
                    !m_firstLegends.contains(node))
                    m_firstLegends.insert(node, child);
            }
            if (plain)
                m_plain.insert(node);
            if (holds)
                m_holds.insert(node);
        }
    }

    // Empty when the form cannot be rebuilt faithfully; m_reason says why.
    QString run() {
        walk();
        if (!m_reason.isEmpty())
            return QString();
        if (m_buttonTexts.isEmpty()) {
            m_reason = QStringLiteral("it has no button that sends it without its script");
            return QString();
        }
        if (m_visibleFields == 0) {
            m_reason = QStringLiteral("it has no field to fill in");
            return QString();
        }
        closeGroup();
        QString form = tagWithAttributes(QStringLiteral("form"), m_form, [](const QString& name) {
            static const QStringList sending = {
                QStringLiteral("action"),  QStringLiteral("method"),
                QStringLiteral("enctype"), QStringLiteral("accept-charset"),
                QStringLiteral("target"),  QStringLiteral("novalidate"),
                QStringLiteral("name"),    QStringLiteral("autocomplete")};
            return sending.contains(name);
        });
        form.insert(5, QStringLiteral(" class=\"tf-tidy\""));
        m_body.insert(m_buttonsAt, m_lastButtons);
        form += u'\n' + m_body + QStringLiteral("</form>");
        if (m_hiddenCount > 0)
            m_summary << (m_hiddenCount == 1
                              ? QStringLiteral("1 hidden value")
                              : QStringLiteral("%1 hidden values").arg(m_hiddenCount));
        if (m_trapCount > 0)
            m_summary << QStringLiteral("a trap field for robots");
        if (m_paragraphs > 0)
            m_summary
                << (m_paragraphs == 1
                        ? QStringLiteral("1 paragraph of the form's text")
                        : QStringLiteral("%1 paragraphs of the form's text").arg(m_paragraphs));
        m_summary << (m_buttonTexts.size() == 1 ? QStringLiteral("button ")
                                                : QStringLiteral("buttons ")) +
                         m_buttonTexts.join(QStringLiteral(", "));
        return form;
    }

    QString reason() const { return m_reason; }
    QStringList summary() const { return m_summary; }

private:
    // What surrounds a node, as far as sending and showing go.
    struct Context {
        const GumboNode* label = nullptr;    // the label it stands in
        const GumboNode* fieldset = nullptr; // the form's fieldset it stands in
        QString dir;                         // "ltr" or "rtl" from the nearest dir="..."
        bool inForm = false;
        bool hidden = false;        // kept from people's eyes
        bool disabled = false;      // by a disabled fieldset, outside its first legend
        bool outerDisabled = false; // what the nearest fieldset's own legend is
        bool barred = false;        // in a datalist, never sent
        bool quiet = false;         // its text is not ours to show
    };
    struct Step {
        const GumboNode* node;
        Context context;
        bool leaving;
    };

    Context inside(const GumboNode* node, Context c) const {
        if (node == m_form)
            c.inForm = true;
        switch (tagOf(node)) {
        case GUMBO_TAG_LABEL:
            c.label = node;
            c.quiet = c.quiet || isFieldLabel(node);
            break;
        case GUMBO_TAG_FIELDSET:
            c.outerDisabled = c.disabled;
            c.disabled = c.disabled || hasAttribute(node, "disabled");
            if (c.inForm)
                c.fieldset = node;
            break;
        case GUMBO_TAG_LEGEND:
            if (node->parent && m_firstLegends.value(node->parent) == node)
                c.disabled = c.outerDisabled;
            break;
        case GUMBO_TAG_DATALIST:
            c.barred = true;
            break;
        default:
            break;
        }
        c.quiet = c.quiet || isQuiet(node);
        const QString dir = asciiLower(attribute(node, "dir"));
        if (dir == QLatin1String("ltr") || dir == QLatin1String("rtl"))
            c.dir = dir;
        else if (!dir.isEmpty())
            c.dir.clear();
        c.hidden = c.hidden || (m_hides.contains(node) && !m_formAncestors.contains(node));
        return c;
    }

    // A label a field reads as its own, so its text is not repeated beside it.
    bool isFieldLabel(const GumboNode* label) const {
        if (m_holds.contains(label))
            return true;
        const GumboNode* target = m_byId.value(attribute(label, "for"));
        return target && isControl(target) &&
               !(tagOf(target) == GUMBO_TAG_INPUT &&
                 asciiLower(attribute(target, "type")) == QLatin1String("hidden"));
    }

    // In tree order, as the browser lists a form's controls; without recursion.
    void walk() {
        const GumboElement& form = m_form->v.element;
        const QByteArrayView endTag(form.original_end_tag.data, form.original_end_tag.length);
        // A browser gives the form the fields after it until its own end tag comes, even
        // once another tag has closed it; the tree shows only the fields inside. Gumbo
        // records no end for a form its own end tag closed, and the closing tag otherwise.
        const bool closedByItsTag = (endTag.isEmpty() && form.end_pos.offset == 0) ||
                                    endTag.first(qMin<qsizetype>(endTag.size(), 6))
                                            .compare("</form", Qt::CaseInsensitive) == 0;
        QList<Step> pending{{m_root, Context{}, false}};
        while (!pending.isEmpty() && m_reason.isEmpty()) {
            const Step step = pending.takeLast();
            const GumboNode* node = step.node;
            if (step.leaving) {
                if (!isInline(node) || node == m_form)
                    flushText();
                continue;
            }
            if (m_consumed.contains(node))
                continue;
            if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE ||
                node->type == GUMBO_NODE_CDATA) {
                if (shows(step.context))
                    addText(escapeHtml(QString::fromUtf8(node->v.text.text)), step.context);
                continue;
            }
            if (node->type != GUMBO_NODE_DOCUMENT &&
                (!isElement(node) || tagOf(node) == GUMBO_TAG_TEMPLATE))
                continue;
            const Context c = node == m_root ? step.context : inside(node, step.context);
            if (node != m_root && isControl(node)) {
                const bool owned = hasAttribute(node, "form")
                                       ? m_byId.value(attribute(node, "form")) == m_form
                                       : c.inForm;
                if (!owned && !hasAttribute(node, "form") && !closedByItsTag &&
                    node->v.element.start_pos.offset > form.start_pos.offset) {
                    m_reason = QStringLiteral("its <form> is closed by another tag, so a browser "
                                              "sends fields after it too");
                    return;
                }
                if (owned && !c.barred) {
                    flushText();
                    control(node, c);
                }
                // Only a button may hold further fields; its text is its label.
                if (tagOf(node) != GUMBO_TAG_BUTTON)
                    continue;
            } else if (node != m_root && shows(c) && m_plain.contains(node)) {
                addText(labelMarkup(node), c);
                continue;
            } else if (node != m_root && !isInline(node)) {
                flushText();
            }
            if (node != m_root)
                pending.append({node, c, true});
            const GumboVector& children = childrenOf(node);
            for (unsigned i = children.length; i > 0; --i)
                pending.append({static_cast<const GumboNode*>(children.data[i - 1]), c, false});
        }
    }

    static bool shows(const Context& c) { return c.inForm && !c.quiet && !c.hidden; }

    void addText(const QString& markup, const Context& c) {
        if (m_text.isEmpty())
            m_textGroup = c.fieldset;
        m_text += markup;
    }

    // The words a visitor reads before signing up stay, one paragraph per block of them.
    void flushText() {
        if (m_text.isEmpty())
            return;
        const QString markup = trimmedMarkup(m_text);
        m_text.clear();
        if (plainTextOfHtml(markup).trimmed().isEmpty())
            return;
        enterGroup(m_textGroup);
        m_body += QStringLiteral("<p class=\"tf-tidy__text\">%1</p>\n").arg(markup);
        ++m_paragraphs;
    }

    // What our markup adds to a control so it is as disabled and as directed as before.
    static QString kept(const GumboNode* node, const Context& c) {
        QString extra;
        if (c.disabled && !hasAttribute(node, "disabled"))
            extra += QStringLiteral(" disabled");
        if (!c.dir.isEmpty() && !hasAttribute(node, "dir"))
            extra += QStringLiteral(" dir=\"%1\"").arg(c.dir);
        return extra;
    }

    void control(const GumboNode* node, const Context& c) {
        const QString type = asciiLower(attribute(node, "type"));
        if (tagOf(node) == GUMBO_TAG_BUTTON) {
            if (type != QLatin1String("button") && type != QLatin1String("reset"))
                button(node, c, plain(node));
            return;
        }
        // A list or a text box is a visible field; an input is what its type says.
        const bool input = tagOf(node) == GUMBO_TAG_INPUT;
        if (input && type == QLatin1String("hidden")) {
            enterGroup(c.fieldset);
            m_body +=
                tagWithAttributes(QStringLiteral("input"), node, isSentAttribute, kept(node, c)) +
                u'\n';
            ++m_hiddenCount;
        } else if (input && (type == QLatin1String("submit") || type == QLatin1String("image"))) {
            // Without a value the visitor's browser sends its own label, as it would have.
            button(node, c,
                   hasAttribute(node, "value") ? attribute(node, "value") : attribute(node, "alt"));
        } else if (input && (type == QLatin1String("button") || type == QLatin1String("reset"))) {
            // Never sent; without a script it does nothing for the sign-up.
        } else if (input && (type == QLatin1String("checkbox") || type == QLatin1String("radio"))) {
            choice(node, c);
        } else if (input &&
                   (c.hidden || attribute(node, "tabindex").trimmed() == QLatin1String("-1"))) {
            // Honeypots: fields kept from people's eyes (and tab key) so only robots fill them in.
            enterGroup(c.fieldset);
            m_body +=
                QStringLiteral("<div class=\"tf-tidy__trap\" aria-hidden=\"true\">") +
                tagWithAttributes(QStringLiteral("input"), node, isSentAttribute, kept(node, c)) +
                QStringLiteral("</div>\n");
            ++m_trapCount;
        } else {
            visibleField(node, c);
        }
    }

    // Every button the visitor may press, as only the one pressed sends its name. A named one
    // stays where it was, as its value goes out in that place; the others go where the last
    // of them stood, or under the last field after it, above any text that follows.
    void button(const GumboNode* node, const Context& c, const QString& text) {
        const QString shown =
            text.simplified().isEmpty() ? QStringLiteral("Submit") : text.simplified();
        m_buttonTexts << QStringLiteral("\u201c%1\u201d").arg(shown);
        const QString extra = kept(node, c);
        QString tag;
        if (tagOf(node) == GUMBO_TAG_BUTTON) {
            tag = tagWithAttributes(QStringLiteral("button"), node, isButtonAttribute,
                                    QStringLiteral(" type=\"submit\" class=\"tf-tidy__send\"") +
                                        extra) +
                  escapeHtml(shown) + QStringLiteral("</button>\n");
        } else if (asciiLower(attribute(node, "type")) == QLatin1String("image")) {
            tag = tagWithAttributes(QStringLiteral("input"), node, isButtonAttribute,
                                    QStringLiteral(" type=\"image\"") + extra) +
                  u'\n';
        } else {
            tag = tagWithAttributes(QStringLiteral("input"), node, isButtonAttribute,
                                    QStringLiteral(" type=\"submit\" class=\"tf-tidy__send\"") +
                                        extra) +
                  u'\n';
        }
        if (attribute(node, "name").isEmpty()) {
            m_lastButtons += tag;
            m_buttonsAt = m_body.size();
        } else {
            enterGroup(c.fieldset);
            m_body += tag;
        }
    }

    // A label names one field, as in the browser; so each is read once.
    QString labelText(const GumboNode* label) {
        if (!label || m_usedLabels.contains(label))
            return QString();
        m_usedLabels.insert(label);
        return trimmedMarkup(labelMarkup(label));
    }

    // The label a visitor sees for a field: its own label, a wrapping one, or what it says.
    QString labelOf(const GumboNode* node, const Context& c, bool* fromName) {
        *fromName = false;
        const QString id = attribute(node, "id");
        if (!id.isEmpty() && m_labelsFor.contains(id)) {
            QString markup = labelText(m_labelsFor.value(id));
            if (!markup.isEmpty())
                return markup;
        }
        if (QString markup = labelText(c.label); !markup.isEmpty())
            return markup;
        for (const char* name : {"aria-label", "placeholder", "title"}) {
            const QString text = attribute(node, name).simplified();
            if (!text.isEmpty())
                return escapeHtml(text);
        }
        *fromName = true;
        const QString type = attribute(node, "type").trimmed().toLower();
        if (type == QLatin1String("email"))
            return QStringLiteral("Email");
        return escapeHtml(prettyName(attribute(node, "name")));
    }

    void noteField(const QString& label, const GumboNode* node, const char* kind = nullptr) {
        // Our own mark for required fields stands in for the form's.
        QString text = shortenAtWord(plainTextOfHtml(label), 32);
        while (text.endsWith(u'*') || text.endsWith(u' '))
            text.chop(1);
        if (hasAttribute(node, "required"))
            text += u'*';
        if (kind)
            text += QStringLiteral(" (%1)").arg(QLatin1String(kind));
        m_summary << text;
    }

    // Fields under one legend of the pasted form stay under it.
    void enterGroup(const GumboNode* fieldset) {
        if (fieldset == m_group)
            return;
        closeGroup();
        m_group = fieldset;
        if (!fieldset)
            return;
        // A group met again after another one keeps its legend the first time only.
        QString legend;
        if (const GumboNode* first = m_firstLegends.value(fieldset);
            first && !m_groupsMet.contains(fieldset))
            legend = trimmedMarkup(labelMarkup(first));
        m_groupsMet.insert(fieldset);
        m_body += QStringLiteral("<fieldset class=\"tf-tidy__group\">");
        if (!legend.isEmpty())
            m_body += QStringLiteral("<legend>%1</legend>").arg(legend);
        m_body += u'\n';
    }

    void closeGroup() {
        const bool buttonsHere = m_buttonsAt == m_body.size();
        if (m_group)
            m_body += QStringLiteral("</fieldset>\n");
        m_group = nullptr;
        if (buttonsHere)
            m_buttonsAt = m_body.size();
    }

    void fieldShown() {
        if (!m_lastButtons.isEmpty())
            m_buttonsAt = m_body.size();
    }

    void choice(const GumboNode* node, const Context& c) {
        enterGroup(c.fieldset);
        ++m_visibleFields;
        bool fromName = false;
        QString label = labelOf(node, c, &fromName);
        if (fromName) {
            // Check boxes often carry their text right after them, outside any label.
            const GumboNode* parent = node->parent;
            const GumboVector& siblings = parent->v.element.children;
            QString after;
            for (unsigned i = unsigned(node->index_within_parent) + 1; i < siblings.length; ++i) {
                const auto* sibling = static_cast<const GumboNode*>(siblings.data[i]);
                if (isElement(sibling) &&
                    (tagOf(sibling) == GUMBO_TAG_BR || tagOf(sibling) == GUMBO_TAG_LABEL ||
                     !m_plain.contains(sibling)))
                    break;
                after += labelMarkup(sibling);
                m_consumed.insert(sibling);
            }
            if (!trimmedMarkup(after).isEmpty())
                label = trimmedMarkup(after);
        }
        m_body +=
            QStringLiteral("<label class=\"tf-tidy__check\">") +
            tagWithAttributes(QStringLiteral("input"), node, isFieldAttribute, kept(node, c)) +
            QStringLiteral(" <span>%1</span></label>\n").arg(label);
        fieldShown();
        noteField(label, node,
                  attribute(node, "type").trimmed().toLower() == QLatin1String("radio")
                      ? "choice"
                      : "check box");
    }

    void visibleField(const GumboNode* node, const Context& c) {
        enterGroup(c.fieldset);
        ++m_visibleFields;
        const QString id = QStringLiteral("tf-field-%1").arg(m_visibleFields);
        bool fromName = false;
        const QString label = labelOf(node, c, &fromName);
        const QString ours = QStringLiteral(" id=\"%1\"").arg(id) + kept(node, c);
        QString field;
        const char* kind = nullptr;
        if (tagOf(node) == GUMBO_TAG_SELECT) {
            field = tagWithAttributes(QStringLiteral("select"), node, isFieldAttribute, ours) +
                    u'\n' + options(node) + QStringLiteral("</select>");
            kind = "list";
        } else if (tagOf(node) == GUMBO_TAG_TEXTAREA) {
            // The parser drops one line break right after the tag: ours, not the text's.
            field = tagWithAttributes(QStringLiteral("textarea"), node, isFieldAttribute, ours) +
                    u'\n' + escapeHtml(readTextarea(node)) + QStringLiteral("</textarea>");
        } else {
            field = tagWithAttributes(QStringLiteral("input"), node, isFieldAttribute, ours);
        }
        m_body +=
            QStringLiteral("<div class=\"tf-tidy__field\"><label for=\"%1\">%2</label>%3</div>\n")
                .arg(id, label, field);
        fieldShown();
        noteField(label, node, kind);
    }

    static QString readTextarea(const GumboNode* node) {
        QString text;
        const GumboVector& children = node->v.element.children;
        for (unsigned i = 0; i < children.length; ++i) {
            const auto* child = static_cast<const GumboNode*>(children.data[i]);
            if (!isElement(child))
                text += QString::fromUtf8(child->v.text.text);
        }
        return text;
    }

    // An option without a value sends its text as the browser collapses it, no-break spaces
    // kept: so the text is written as it came.
    static QString options(const GumboNode* node) {
        QString out;
        const GumboVector& children = node->v.element.children;
        for (unsigned i = 0; i < children.length; ++i) {
            const auto* child = static_cast<const GumboNode*>(children.data[i]);
            if (!isElement(child))
                continue;
            if (tagOf(child) == GUMBO_TAG_OPTGROUP)
                out += tagWithAttributes(QStringLiteral("optgroup"), child, isFieldAttribute) +
                       u'\n' + options(child) + QStringLiteral("</optgroup>\n");
            else if (tagOf(child) == GUMBO_TAG_OPTION)
                out += tagWithAttributes(QStringLiteral("option"), child, isFieldAttribute) +
                       escapeHtml(readText(child)) + QStringLiteral("</option>\n");
        }
        return out;
    }

    const GumboNode* m_root;
    const GumboNode* m_form;
    QSet<const GumboNode*> m_formAncestors;
    QHash<QString, const GumboNode*> m_byId;
    QMultiHash<QString, const GumboNode*> m_labelsFor;
    QSet<const GumboNode*> m_hides;
    QSet<const GumboNode*> m_plain; // inline elements of text only, shown
    QSet<const GumboNode*> m_holds; // elements holding a control
    QHash<const GumboNode*, const GumboNode*> m_firstLegends;
    QSet<const GumboNode*> m_consumed; // read as a check box's label
    QSet<const GumboNode*> m_usedLabels;
    QSet<const GumboNode*> m_groupsMet;
    const GumboNode* m_group = nullptr;
    const GumboNode* m_textGroup = nullptr;
    QString m_text;
    QString m_body;
    QString m_lastButtons;
    qsizetype m_buttonsAt = 0;
    QStringList m_buttonTexts;
    QString m_reason;
    QStringList m_summary;
    int m_visibleFields = 0;
    int m_hiddenCount = 0;
    int m_trapCount = 0;
    int m_paragraphs = 0;
};

// Forms that cannot work without their own script, or that are not ours to rebuild.
QString whyNotRebuilt(const Parsed& parsed, const QList<const GumboNode*>& forms) {
    const GumboNode* root = parsed.root();
    if (!elementsWithTag(root, GUMBO_TAG_IFRAME).isEmpty())
        return QStringLiteral("it is a frame embedded from the service's site");
    const bool scripted = !elementsWithTag(root, GUMBO_TAG_SCRIPT).isEmpty();
    if (forms.isEmpty())
        return scripted ? QStringLiteral("its form is drawn by a script")
                        : QStringLiteral("it holds no <form>");
    if (forms.size() > 1)
        return QStringLiteral("it holds %1 forms").arg(forms.size());
    // A script may fill in hidden values or check the fields; without it the form
    // would send something else.
    if (scripted)
        return QStringLiteral("it comes with a script the form may need");
    const GumboNode* form = forms.first();
    const QString action = attribute(form, "action").trimmed();
    if (action.isEmpty() || action.startsWith(u'#') ||
        action.startsWith(QLatin1String("javascript:"), Qt::CaseInsensitive))
        return QStringLiteral("it has no address to send to; its script sends it");
    if (hasAttribute(form, "onsubmit"))
        return QStringLiteral("it needs its own script to send");
    bool captcha = false;
    forEachElement(form, [&captcha](const GumboNode* node) {
        const QString classes = attribute(node, "class");
        captcha = captcha || hasAttribute(node, "data-sitekey") ||
                  classes.contains(QLatin1String("captcha"), Qt::CaseInsensitive);
    });
    if (captcha)
        return QStringLiteral("it needs its own script for a captcha");
    return QString();
}

// ---- Pasted forms kept as they are ----

struct Edit {
    qsizetype from;
    qsizetype to;
    QByteArray text;
};

bool isCssKeyword(const QByteArray& value) {
    const QByteArray v = value.trimmed().toLower();
    return v == "0" || v == "0px" || v.isEmpty() ||
           (v[0] >= 'a' && v[0] <= 'z' && !v.contains('('));
}

// "screen and (max-width: 600px)" becomes "(max-width: 600px)"; null when the query
// asks for more than widths, which a container cannot answer.
QByteArray widthQuery(const QByteArray& prelude) {
    QByteArray query = prelude.simplified().toLower();
    if (query.contains(',') || query.contains("device"))
        return QByteArray();
    for (const char* lead : {"only screen and ", "screen and ", "all and "}) {
        if (query.startsWith(lead))
            query = query.mid(qsizetype(qstrlen(lead)));
    }
    static const QRegularExpression widths(
        QStringLiteral("^\\(\\s*(min-|max-)?width\\s*[:<>=][^()]*\\)(\\s+and\\s+\\(\\s*(min-|max-)?"
                       "width\\s*[:<>=][^()]*\\))*$"));
    return widths.match(QString::fromLatin1(query)).hasMatch() ? query : QByteArray();
}

// Rewrites declarations and at-rules of a style sheet (or of a style attribute).
QByteArray guardCss(const QByteArray& css, bool sheet) {
    QByteArray out;
    qsizetype i = 0;
    bool declarationStart = !sheet;
    while (i < css.size()) {
        const char c = css[i];
        if (c == '/' && i + 1 < css.size() && css[i + 1] == '*') {
            const qsizetype end = css.indexOf("*/", i + 2);
            const qsizetype stop = end < 0 ? css.size() : end + 2;
            out += css.mid(i, stop - i);
            i = stop;
            continue;
        }
        if (c == '"' || c == '\'') {
            qsizetype j = i + 1;
            while (j < css.size() && css[j] != c)
                j += css[j] == '\\' ? 2 : 1;
            out += css.mid(i, j + 1 - i);
            i = j + 1;
            continue;
        }
        if (sheet && c == '@' && css.mid(i + 1, 5).toLower() == "media") {
            // The query ends at its block; without one it ends at the next rule, and the
            // search never passes it, so every character is looked at a bounded number of times.
            qsizetype brace = i + 6;
            while (brace < css.size() && !QByteArrayView("{;}@").contains(css[brace]))
                ++brace;
            if (brace < css.size() && css[brace] == '{') {
                const QByteArray query = widthQuery(css.mid(i + 6, brace - i - 6));
                if (!query.isEmpty()) {
                    out += "@container tf-form " + query + ' ';
                    i = brace;
                    continue;
                }
            }
        }
        if (c == '{' || c == ';' || c == '}') {
            out += c;
            ++i;
            declarationStart = c != '}' || !sheet;
            continue;
        }
        if (declarationStart && !QChar::isSpace(uchar(c))) {
            declarationStart = false;
            static const QByteArray property = "min-width";
            if (css.mid(i, property.size()).toLower() == property) {
                qsizetype j = i + property.size();
                while (j < css.size() && QChar::isSpace(uchar(css[j])))
                    ++j;
                if (j < css.size() && css[j] == ':') {
                    qsizetype end = j + 1;
                    while (end < css.size() && css[end] != ';' && css[end] != '}')
                        ++end;
                    QByteArray value = css.mid(j + 1, end - j - 1);
                    QByteArray important;
                    if (const qsizetype bang = value.indexOf('!'); bang >= 0) {
                        important = value.mid(bang);
                        value.truncate(bang);
                    }
                    if (!isCssKeyword(value)) {
                        out += "min-width: min(" + value.trimmed() + ", 100%)";
                        if (!important.isEmpty())
                            out += ' ' + important.trimmed();
                        i = end;
                        continue;
                    }
                }
            }
        }
        out += c;
        ++i;
    }
    return out;
}

// No frame is made that large: a size beyond it says nothing the panel could follow.
constexpr double kLargestFrame = 20000;

int pixels(const QString& length) {
    static const QRegularExpression px(QStringLiteral("^\\s*(\\d+(?:\\.\\d+)?)\\s*(px)?\\s*$"));
    const auto m = px.match(length);
    const double value = m.hasMatch() ? m.captured(1).toDouble() : 0;
    return value <= kLargestFrame ? int(std::lround(value)) : 0;
}

struct Guarded {
    QString html;
    QString css;
};

// An iframe keeps its own height, and grows where the panel is narrower than the
// width it was made for, as its text then wraps onto more lines.
QString frameRules(int number, int width, int height) {
    const QString selector = QStringLiteral(".tf-form iframe[data-tf-frame=\"%1\"]").arg(number);
    QString css = QStringLiteral("%1{width:min(100%,%2px);height:%3px}\n")
                      .arg(selector)
                      .arg(width)
                      .arg(height);
    for (int tenth = 9; tenth >= 4; --tenth) {
        css += QStringLiteral("@container tf-form (max-width:%1px){%2{height:%3px}}\n")
                   .arg(width * tenth / 10)
                   .arg(selector)
                   .arg(int(std::ceil(height * 10.0 / (tenth - 1))));
    }
    return css;
}

// The edits made in one pass over the text. The parser may give one stretch of the source
// to several elements (a <b> it reopens is a copy with the same attributes): each stretch
// is edited once.
QByteArray applied(const QByteArray& bytes, QList<Edit>& edits) {
    std::sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) {
        return a.from != b.from ? a.from < b.from : a.to < b.to;
    });
    QByteArray out;
    out.reserve(bytes.size());
    qsizetype at = 0;
    const Edit* last = nullptr;
    for (const Edit& edit : edits) {
        if (edit.from < at || (last && last->from == edit.from && last->to == edit.to))
            continue;
        out.append(QByteArrayView(bytes).sliced(at, edit.from - at));
        out.append(edit.text);
        at = edit.to;
        last = &edit;
    }
    out.append(QByteArrayView(bytes).sliced(at));
    return out;
}

// campaignFields go right after each form's start tag.
Guarded guardPastedForm(const Parsed& parsed, const QString& campaignFields) {
    QList<Edit> edits;
    QString css;
    int frames = 0;
    QSet<qsizetype> styled; // attribute values already read, by where they start
    forEachElement(parsed.root(), [&](const GumboNode* node) {
        const GumboElement& element = node->v.element;
        if (element.tag == GUMBO_TAG_STYLE) {
            for (unsigned i = 0; i < element.children.length; ++i) {
                const auto* text = static_cast<const GumboNode*>(element.children.data[i]);
                if (isElement(text))
                    continue;
                const qsizetype at = parsed.offsetOf(text->v.text.original_text);
                if (at < 0)
                    continue;
                const QByteArray original(text->v.text.original_text.data,
                                          qsizetype(text->v.text.original_text.length));
                edits.append({at, at + original.size(), guardCss(original, true)});
            }
        }
        if (const GumboAttribute* style = gumbo_get_attribute(&element.attributes, "style")) {
            qsizetype at = parsed.offsetOf(style->original_value);
            QByteArray raw(style->original_value.data, qsizetype(style->original_value.length));
            if (at >= 0 && !raw.isEmpty() && !styled.contains(at)) {
                styled.insert(at);
                if (raw.front() == '"' || raw.front() == '\'') {
                    raw = raw.mid(1, raw.size() - 2);
                    ++at;
                }
                edits.append({at, at + raw.size(), guardCss(raw, false)});
            }
        }
        if (element.tag == GUMBO_TAG_FORM && !campaignFields.isEmpty()) {
            if (const qsizetype at = parsed.offsetOf(element.original_tag); at >= 0) {
                const qsizetype end = at + qsizetype(element.original_tag.length);
                edits.append({end, end, '\n' + campaignFields.toUtf8()});
            }
        }
        if (element.tag == GUMBO_TAG_IFRAME) {
            const qsizetype at = parsed.offsetOf(element.original_tag);
            if (at < 0)
                return;
            ++frames;
            edits.append(
                {at + 7, at + 7, QStringLiteral(" data-tf-frame=\"%1\"").arg(frames).toUtf8()});
            const int width = pixels(attribute(node, "width"));
            const int height = pixels(attribute(node, "height"));
            if (width > 0 && height > 0)
                css += frameRules(frames, width, height);
            else if (height > 0)
                css += QStringLiteral(".tf-form iframe[data-tf-frame=\"%1\"]{height:%2px}\n")
                           .arg(frames)
                           .arg(height);
        }
    });
    return {QString::fromUtf8(applied(parsed.bytes(), edits)), css};
}

// Whether the pasted code brings style sheets of its own.
bool hasOwnStyles(const Parsed& parsed) {
    bool own = false;
    forEachElement(parsed.root(), [&own](const GumboNode* node) {
        own = own || tagOf(node) == GUMBO_TAG_STYLE ||
              (tagOf(node) == GUMBO_TAG_LINK &&
               attribute(node, "rel").contains(QLatin1String("stylesheet"), Qt::CaseInsensitive));
    });
    return own;
}

TidyForm tidyFrom(const Parsed& parsed) {
    TidyForm tidy;
    tidy.refusal = parsed.refusal();
    if (!tidy.refusal.isEmpty())
        return tidy;
    const QList<const GumboNode*> forms = elementsWithTag(parsed.root(), GUMBO_TAG_FORM);
    tidy.reason = whyNotRebuilt(parsed, forms);
    if (!tidy.reason.isEmpty())
        return tidy;
    Rebuild rebuild(parsed, forms.first());
    tidy.html = rebuild.run();
    tidy.reason = rebuild.reason();
    if (!tidy.html.isEmpty())
        tidy.fields = rebuild.summary();
    return tidy;
}

// The names of the hidden fields the pasted code declares.
QStringList hiddenFieldNames(const Parsed& parsed) {
    QStringList names;
    forEachElement(parsed.root(), [&names](const GumboNode* node) {
        if (tagOf(node) == GUMBO_TAG_INPUT &&
            asciiLower(attribute(node, "type")) == QLatin1String("hidden") &&
            hasAttribute(node, "name"))
            names << attribute(node, "name");
    });
    return names;
}

} // namespace

TidyForm tidyOptinForm(const QString& pasted) {
    return tidyFrom(Parsed(pasted));
}

QString formLayoutSummary(const QString& pasted, bool tidy) {
    if (pasted.trimmed().isEmpty())
        return QString();
    if (!tidy) {
        // The build reads the form either way.
        return formRefusal(pasted.toUtf8());
    }
    const TidyForm form = tidyOptinForm(pasted);
    if (!form.refusal.isEmpty())
        return form.refusal;
    if (form.html.isEmpty())
        return QStringLiteral("Kept exactly as pasted: %1.").arg(form.reason);
    return QStringLiteral("Tidy layout with %1.").arg(form.fields.join(QStringLiteral(", ")));
}

Result<PageForm> optinFormForPage(const FunnelSettings& s) {
    const Parsed parsed(s.txtoptinForm);
    if (!parsed.refusal().isEmpty())
        return Result<PageForm>::failure(parsed.refusal());
    const auto campaign = campaignMarkup(s.campaignFields, hiddenFieldNames(parsed),
                                         !elementsWithTag(parsed.root(), GUMBO_TAG_FORM).isEmpty());
    if (!campaign)
        return Result<PageForm>::failure(campaign.error());
    const QString script =
        campaign.value().script.isEmpty() ? QString() : u'\n' + campaign.value().script;
    if (s.tidyOptinForm) {
        TidyForm tidy = tidyFrom(parsed);
        if (!tidy.html.isEmpty()) {
            // The rebuilt start tag escapes its values, so its first '>' closes it.
            if (!campaign.value().fields.isEmpty())
                tidy.html.insert(tidy.html.indexOf(u'>') + 1, u'\n' + campaign.value().fields);
            return PageForm{tidy.html + script, QStringLiteral("tidy"), QString()};
        }
    }
    Guarded guarded = guardPastedForm(parsed, campaign.value().fields);
    return PageForm{guarded.html + script,
                    hasOwnStyles(parsed) ? QStringLiteral("own") : QStringLiteral("plain"),
                    guarded.css};
}

QStringList formFieldNames(const QString& pasted) {
    const Parsed parsed(pasted);
    QStringList names;
    if (!parsed.refusal().isEmpty())
        return names;
    forEachElement(parsed.root(), [&](const GumboNode* node) {
        const GumboTag tag = node->v.element.tag;
        const QString name = attribute(node, "name");
        if ((tag == GUMBO_TAG_INPUT || tag == GUMBO_TAG_SELECT || tag == GUMBO_TAG_TEXTAREA) &&
            !name.isEmpty() && !names.contains(name))
            names << name;
    });
    return names;
}

QString withVersionField(const QString& formHtml, const SplitTest& test) {
    if (test.count() < 2)
        return formHtml;
    const Parsed parsed(formHtml);
    if (!parsed.refusal().isEmpty())
        return formHtml;
    const QList<const GumboNode*> forms = elementsWithTag(parsed.root(), GUMBO_TAG_FORM);
    const qsizetype at = forms.isEmpty() ? -1 : parsed.offsetOf(forms[0]->v.element.original_tag);
    if (at < 0)
        return formHtml;
    // Right after the form's own start tag, so it is inside the form whatever follows.
    QByteArray html = parsed.bytes();
    const QString field =
        QStringLiteral("<input type=\"hidden\" name=\"%1\" value=\"A\" data-tf-version>")
            .arg(escapeHtml(test.field.trimmed()));
    html.insert(at + qsizetype(forms[0]->v.element.original_tag.length), field.toUtf8());
    QJsonObject texts;
    for (int v = 0; v < test.count(); ++v) {
        const QString own = v == 0 ? test.buttonText : test.others[v - 1].buttonText;
        texts.insert(SplitTest::name(v), own.trimmed().isEmpty() ? test.buttonText : own);
    }
    const auto json = [](const QJsonValue& value) {
        return QJsonDocument(QJsonArray{value})
            .toJson(QJsonDocument::Compact)
            .replace("<", "\\u003c");
    };
    // The head's script chose the version before the page was drawn; without it, A stays.
    // The field and the buttons are set as the parser reaches them, before the form is shown.
    // Each value comes in a list of one: the page may not hold a bracketed placeholder.
    html += "\n<script>(function(texts,tag){var v=document.documentElement.getAttribute(\"data-tf-"
            "v\")||\"A\",f=document.querySelector(\"input[data-tf-version]\"),t=texts.shift()[v],g;"
            "if(!f||!f.form)return;f.value=v;g=(tag=tag.shift())&&f.form.elements.namedItem(tag);"
            "if(g&&typeof g.value==\"string\")g.value=g.value?g.value+\",\"+v:v;if(t)f.form."
            "querySelectorAll(\"button:not([type=button]):not([type=reset]),input[type=submit]\")."
            "forEach(function(b){if(b.tagName==\"INPUT\")b.value=t;else b.textContent=t})})(" +
            json(texts) + "," + json(test.tagField.trimmed()) + ");</script>";
    return QString::fromUtf8(html);
}

} // namespace tandrel
