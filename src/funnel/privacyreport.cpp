#include "privacyreport.h"

#include "campaign.h"
#include "formscan.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>

#include <gumbo.h>

#include <algorithm>

namespace tandrel {

namespace {

// Where a finding came in and where the user changes it.
struct Source {
    QString what;
    QString where;
    QSet<QString> hosts;
    QString text;
};

const QString kOptinFormPlace = QStringLiteral("Lead Magnet Page, Your Opt-In Form");
const QString kProPlace = QStringLiteral("Lead Magnet Page, Retargeting / Back Control (Pro)");
const QString kSplitTestPlace = QStringLiteral("Lead Magnet Page, Split Test");

// The hosts a pasted text names in addresses ("//host" with or without a scheme).
QSet<QString> hostsNamedIn(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("//([A-Za-z0-9.-]{1,253})"));
    QSet<QString> hosts;
    for (auto it = pattern.globalMatch(text); it.hasNext();)
        hosts.insert(it.next().captured(1).toLower());
    return hosts;
}

class Sources {
public:
    explicit Sources(const FunnelSettings& s) {
        const auto add = [this](const QString& what, const QString& where, const QString& text) {
            m_sources.append({what, where, hostsNamedIn(text), text});
        };
        add(QStringLiteral("the <HEAD> code"),
            kOptinFormPlace + QStringLiteral(", \"Need to Add a Custom Code to the <HEAD> "
                                             "Section...\""),
            s.headCode);
        add(QStringLiteral("the opt-in form code"), kOptinFormPlace, s.txtoptinForm);
        add(QStringLiteral("the retargeting code"), kProPlace, s.retargetingCode);
        if (s.optAction == 1)
            add(QStringLiteral("the redirect address"),
                QStringLiteral("After Subscription Action, \"Redirect Your Subscribers to This "
                               "Url\""),
                s.txtRedirectUrl);
        if (s.backControl)
            add(QStringLiteral("the back address"), kProPlace, s.backUrl);
        const QString lead = QStringLiteral("Lead Magnet Page, Your Lead Magnet Page");
        add(QStringLiteral("the headline"), lead, s.txtFunnel_LeadLine1);
        add(QStringLiteral("the instructions"), lead, s.txtFunnel_Instructions);
        add(QStringLiteral("the privacy policy text"), lead, s.txtFunnel_Privacy);
        add(QStringLiteral("the footer text"), QStringLiteral("General Info"), s.txtFooterNew);
        QString versionHeadlines;
        for (const PageVersion& version : s.splitTest.others)
            versionHeadlines += version.headline + u' ';
        add(QStringLiteral("the split test's headlines"), kSplitTestPlace, versionHeadlines);
        add(QStringLiteral("the soft redirect messages"),
            QStringLiteral("After Subscription Action, Soft Redirect"),
            s.txtBeforeRedirectMsg1 + u' ' + s.txtBeforeRedirectMsg2);
        add(QStringLiteral("the thank-you headline"), QStringLiteral("Thank You Page"),
            s.txtThanks);
        m_own = QUrl(s.txtFunnelUrl.trimmed()).host().toLower();
    }

    const QString& ownHost() const { return m_own; }

    // The first value that names the host; the video's hosts come with the player of
    // the download page; anything else with the page's template.
    Source forHost(const QString& host) const {
        for (const Source& source : m_sources) {
            if (source.hosts.contains(host))
                return source;
        }
        static const QStringList video = {QStringLiteral("youtube.com"),
                                          QStringLiteral("youtube-nocookie.com"),
                                          QStringLiteral("ytimg.com")};
        for (const QString& domain : video) {
            if (host == domain || host.endsWith(u'.' + domain))
                return {QStringLiteral("the video"),
                        QStringLiteral("Thank You Page, YouTube Video (the poster loads with the "
                                       "page, the player only when the visitor presses play)"),
                        {},
                        {}};
        }
        return templateSource();
    }

    // The first pasted code that mentions the word, else the page itself.
    Source forWord(const QString& word) const {
        for (qsizetype i = 0; i < 3; ++i) {
            if (m_sources[i].text.contains(word, Qt::CaseInsensitive))
                return m_sources[i];
        }
        return templateSource();
    }

    static Source templateSource() {
        return {QStringLiteral("the page's own template or a feature of the funnel"),
                QStringLiteral("your copy of the template in the templates folder, or the "
                               "feature's settings"),
                {},
                {}};
    }

private:
    QList<Source> m_sources;
    QString m_own;
};

QString sentence(const QString& file, const QString& finding, const Source& source) {
    return QStringLiteral("%1: %2, from %3; change it in %4.")
        .arg(file, finding, source.what, source.where);
}

// The host an address reaches, or nothing for one on the funnel's own host (relative,
// data:, a fragment...).
QString hostOf(const QString& address) {
    const QString trimmed = address.trimmed();
    if (!trimmed.startsWith(QLatin1String("//")) &&
        !trimmed.startsWith(QLatin1String("http:"), Qt::CaseInsensitive) &&
        !trimmed.startsWith(QLatin1String("https:"), Qt::CaseInsensitive))
        return QString();
    const QUrl url(trimmed.startsWith(QLatin1String("//")) ? QStringLiteral("https:") + trimmed
                                                           : trimmed);
    return url.host().toLower();
}

// The addresses of a srcset: each candidate's address runs to a blank, its descriptors to a comma.
QStringList srcsetAddresses(const QString& srcset) {
    QStringList addresses;
    qsizetype i = 0;
    const qsizetype n = srcset.size();
    while (i < n) {
        while (i < n && (srcset[i].isSpace() || srcset[i] == u','))
            ++i;
        const qsizetype start = i;
        while (i < n && !srcset[i].isSpace())
            ++i;
        QString address = srcset.mid(start, i - start);
        if (address.endsWith(u',')) {
            while (address.endsWith(u','))
                address.chop(1);
        } else {
            int depth = 0;
            while (i < n && (depth > 0 || srcset[i] != u',')) {
                depth += srcset[i] == u'(' ? 1 : srcset[i] == u')' ? -1 : 0;
                ++i;
            }
        }
        if (!address.isEmpty())
            addresses << address;
    }
    return addresses;
}

// The url() and @import addresses of a piece of CSS.
QStringList cssAddresses(const QString& css) {
    static const QRegularExpression pattern(
        QStringLiteral(
            "url\\(\\s*(?:\"([^\"]*)\"|'([^']*)'|([^)\\s]*))|@import\\s+(?:\"([^\"]*)\"|'(["
            "^']*)')"),
        QRegularExpression::CaseInsensitiveOption);
    QStringList addresses;
    for (auto it = pattern.globalMatch(css); it.hasNext();) {
        const auto match = it.next();
        for (int group = 1; group <= 5; ++group) {
            if (match.capturedLength(group) > 0)
                addresses << match.captured(group);
        }
    }
    return addresses;
}

QString cssVerb(const QString& address) {
    const QString path = QUrl(address.trimmed()).path().toLower();
    for (const char* font : {".woff2", ".woff", ".ttf", ".otf", ".eot"}) {
        if (path.endsWith(QLatin1String(font)))
            return QStringLiteral("loads a font from");
    }
    for (const char* picture : {".jpg", ".jpeg", ".png", ".gif", ".webp", ".avif", ".svg"}) {
        if (path.endsWith(QLatin1String(picture)))
            return QStringLiteral("loads a picture from");
    }
    if (address.contains(QLatin1String("fonts.googleapis.com"), Qt::CaseInsensitive) ||
        path.endsWith(QLatin1String(".css")))
        return QStringLiteral("loads a stylesheet from");
    return QStringLiteral("loads a file from");
}

const GumboVector& childrenOf(const GumboNode* node) {
    return node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children : node->v.element.children;
}

bool isElement(const GumboNode* node) {
    return node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE;
}

QString attribute(const GumboNode* node, const char* name) {
    const GumboAttribute* a = gumbo_get_attribute(&node->v.element.attributes, name);
    return a ? QString::fromUtf8(a->value) : QString();
}

bool hasAttribute(const GumboNode* node, const char* name) {
    return gumbo_get_attribute(&node->v.element.attributes, name) != nullptr;
}

QString childText(const GumboNode* node) {
    QString text;
    const GumboVector& children = node->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        const auto* child = static_cast<const GumboNode*>(children.data[i]);
        if (child->type == GUMBO_NODE_TEXT || child->type == GUMBO_NODE_WHITESPACE ||
            child->type == GUMBO_NODE_CDATA)
            text += QString::fromUtf8(child->v.text.text);
    }
    return text;
}

QString tagName(const GumboNode* node) {
    if (node->v.element.tag != GUMBO_TAG_UNKNOWN)
        return QString::fromUtf8(gumbo_normalized_tagname(node->v.element.tag));
    GumboStringPiece piece = node->v.element.original_tag;
    gumbo_tag_from_original_text(&piece);
    return QString::fromUtf8(piece.data, qsizetype(piece.length)).toLower();
}

// Storage a script uses, with the keys it names literally.
struct StorageUse {
    QString store; // "localStorage", "sessionStorage" or "cookie"
    QStringList keys;
};

QList<StorageUse> storageIn(const QString& script) {
    static const QRegularExpression keyed(QStringLiteral(
        "\\b(localStorage|sessionStorage)\\s*(?:\\.\\s*(?:setItem|getItem|removeItem)\\s*\\(\\s*|"
        "\\[\\s*)([\"'`])([^\"'`\\\\\\n]{0,200})\\2"));
    static const QRegularExpression dotted(QStringLiteral(
        "\\b(localStorage|sessionStorage)\\s*\\.\\s*([A-Za-z_$][\\w$]{0,100})\\s*=(?!=)"));
    static const QRegularExpression cookie(QStringLiteral(
        "\\bdocument\\s*\\.\\s*cookie\\s*=(?!=)\\s*(?:([\"'`])\\s*([^=;\"'`\\\\\\n]{1,200})=)?"));
    QList<StorageUse> uses;
    const auto use = [&uses](const QString& store) -> StorageUse& {
        for (StorageUse& u : uses) {
            if (u.store == store)
                return u;
        }
        uses.append({store, {}});
        return uses.last();
    };
    const auto addKey = [&](const QString& store, const QString& key) {
        StorageUse& u = use(store);
        if (!key.isEmpty() && !u.keys.contains(key))
            u.keys << key;
    };
    for (const char* store : {"localStorage", "sessionStorage"}) {
        if (script.contains(QLatin1String(store)))
            use(QLatin1String(store));
    }
    for (auto it = keyed.globalMatch(script); it.hasNext();) {
        const auto m = it.next();
        addKey(m.captured(1), m.captured(3));
    }
    static const QSet<QString> methods = {QStringLiteral("length"),  QStringLiteral("setItem"),
                                          QStringLiteral("getItem"), QStringLiteral("removeItem"),
                                          QStringLiteral("clear"),   QStringLiteral("key")};
    for (auto it = dotted.globalMatch(script); it.hasNext();) {
        const auto m = it.next();
        if (!methods.contains(m.captured(2)))
            addKey(m.captured(1), m.captured(2));
    }
    for (auto it = cookie.globalMatch(script); it.hasNext();)
        addKey(QStringLiteral("cookie"), it.next().captured(2).trimmed());
    // Uses in the order the page makes them known: local, session, cookie.
    std::sort(uses.begin(), uses.end(), [](const StorageUse& a, const StorageUse& b) {
        const auto rank = [](const QString& s) {
            return s == QLatin1String("localStorage")     ? 0
                   : s == QLatin1String("sessionStorage") ? 1
                                                          : 2;
        };
        return rank(a.store) < rank(b.store);
    });
    return uses;
}

class PageReader {
public:
    PageReader(const QString& file, const Sources& sources, QList<PrivacyFinding>& findings)
        : m_file(file), m_sources(sources), m_findings(findings) {}

    void address(const QString& value, const QString& verb, const QString& element) {
        const QString host = hostOf(value);
        if (host.isEmpty() || host == m_sources.ownHost())
            return;
        const QString finding = QStringLiteral("%1 %2 (%3)").arg(verb, host, element);
        add({PrivacyFinding::Kind::OutsideHost, m_file, host,
             sentence(m_file, finding, m_sources.forHost(host))});
    }

    void css(const QString& text, const QString& element) {
        for (const QString& a : cssAddresses(text))
            address(a, cssVerb(a), element);
    }

    void scripts(const QString& text) { m_script += text + u'\n'; }

    void element(const GumboNode* node) {
        const QString tag = tagName(node);
        const auto attr = [node](const char* name) { return attribute(node, name); };
        const auto el = [&tag](const char* name) {
            return QStringLiteral("<%1 %2>").arg(tag, QLatin1String(name));
        };
        const QString picture = QStringLiteral("loads a picture from");
        switch (node->v.element.tag) {
        case GUMBO_TAG_SCRIPT:
            if (hasAttribute(node, "src"))
                address(attr("src"), QStringLiteral("runs a script from"), el("src"));
            else
                scripts(childText(node));
            break;
        case GUMBO_TAG_STYLE:
            css(childText(node), QStringLiteral("<style>"));
            break;
        case GUMBO_TAG_IFRAME:
        case GUMBO_TAG_FRAME:
        case GUMBO_TAG_EMBED:
            address(attr("src"), QStringLiteral("shows a frame from"), el("src"));
            break;
        case GUMBO_TAG_OBJECT:
            address(attr("data"), QStringLiteral("shows a frame from"), el("data"));
            break;
        case GUMBO_TAG_IMG:
        case GUMBO_TAG_SOURCE:
        case GUMBO_TAG_INPUT:
            if (node->v.element.tag != GUMBO_TAG_INPUT ||
                attr("type").compare(QLatin1String("image"), Qt::CaseInsensitive) == 0)
                address(attr("src"), picture, el("src"));
            for (const QString& a : srcsetAddresses(attr("srcset")))
                address(a, picture, el("srcset"));
            if (node->v.element.tag == GUMBO_TAG_INPUT)
                checkbox(node);
            break;
        case GUMBO_TAG_VIDEO:
        case GUMBO_TAG_AUDIO:
        case GUMBO_TAG_TRACK:
            address(attr("src"), QStringLiteral("loads media from"), el("src"));
            address(attr("poster"), picture, el("poster"));
            break;
        case GUMBO_TAG_IMAGE:
            address(attr("href"), picture, el("href"));
            address(attr("xlink:href"), picture, el("xlink:href"));
            break;
        case GUMBO_TAG_LINK:
            link(node);
            break;
        case GUMBO_TAG_FORM:
            form(attr("action"), el("action"));
            break;
        case GUMBO_TAG_META:
            if (attr("http-equiv")
                    .trimmed()
                    .compare(QLatin1String("refresh"), Qt::CaseInsensitive) == 0)
                refresh(attr("content"));
            break;
        default:
            break;
        }
        if (node->v.element.tag == GUMBO_TAG_BUTTON || node->v.element.tag == GUMBO_TAG_INPUT) {
            if (hasAttribute(node, "formaction"))
                form(attr("formaction"), el("formaction"));
        }
        if (hasAttribute(node, "background"))
            address(attr("background"), picture, el("background"));
        if (hasAttribute(node, "style"))
            css(attr("style"), QStringLiteral("<%1 style>").arg(tag));
        // The download page's player: its address waits in data-embed for the visitor's click.
        if (hasAttribute(node, "data-embed"))
            address(attr("data-embed"),
                    QStringLiteral("loads a video player, when the visitor presses play, from"),
                    el("data-embed"));
        const GumboVector& attributes = node->v.element.attributes;
        for (unsigned i = 0; i < attributes.length; ++i) {
            const auto* a = static_cast<const GumboAttribute*>(attributes.data[i]);
            if (qstrnicmp(a->name, "on", 2) == 0)
                scripts(QString::fromUtf8(a->value));
        }
    }

    // After the whole page: its scripts' storage, one line per kind of storage.
    void finish() {
        for (const StorageUse& use : storageIn(m_script)) {
            const bool cookie = use.store == QLatin1String("cookie");
            const QString keys =
                use.keys.isEmpty()
                    ? QStringLiteral("under a name the script works out")
                    : QStringLiteral("named \"%1\"").arg(use.keys.join(QStringLiteral("\", \"")));
            const QString what =
                cookie
                    ? QStringLiteral("sets a cookie %1 (kept in the visitor's browser)").arg(keys)
                : use.store == QLatin1String("localStorage")
                    ? QStringLiteral("keeps data in localStorage %1 (kept after the visit)")
                          .arg(keys)
                    : QStringLiteral("keeps data in sessionStorage %1 (kept for the visit)")
                          .arg(keys);
            const QString word = cookie ? QStringLiteral("document.cookie") : use.store;
            const bool splitTest =
                std::any_of(use.keys.begin(), use.keys.end(), [](const QString& k) {
                    return k.startsWith(QLatin1String("tandrel-version-"));
                });
            // Our own scripts, named so that the user finds where they come from.
            const Source source =
                use.keys == QStringList{QLatin1String(kCampaignStorageKey)}
                    ? Source{QStringLiteral("the campaign values copied into the sign-up form"),
                             kOptinFormPlace +
                                 QStringLiteral(", \"Send the campaign value ... as field\" "
                                                "(fields the form declares itself are always "
                                                "filled)"),
                             {},
                             {}}
                : splitTest ? Source{QStringLiteral("the split test (each visitor keeps the "
                                                    "version shown)"),
                                     kSplitTestPlace,
                                     {},
                                     {}}
                            : m_sources.forWord(word);
            add({PrivacyFinding::Kind::Storage, m_file, QString(),
                 sentence(m_file, QStringLiteral("its script ") + what, source)});
        }
    }

private:
    void add(const PrivacyFinding& finding) {
        if (!m_lines.contains(finding.line)) {
            m_lines.insert(finding.line);
            m_findings.append(finding);
        }
    }

    void link(const GumboNode* node) {
        const QStringList rels =
            attribute(node, "rel")
                .toLower()
                .split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        const QString href = attribute(node, "href");
        const QString element = QStringLiteral("<link rel=\"%1\">").arg(rels.join(u' '));
        if (rels.contains(QLatin1String("stylesheet")))
            address(href,
                    cssVerb(href).contains(QLatin1String("font"))
                        ? cssVerb(href)
                        : QStringLiteral("loads a stylesheet from"),
                    element);
        else if (rels.contains(QLatin1String("preconnect")) ||
                 rels.contains(QLatin1String("dns-prefetch")))
            address(href, QStringLiteral("opens a connection to"), element);
        else if (rels.contains(QLatin1String("icon")) ||
                 rels.contains(QLatin1String("apple-touch-icon")))
            address(href, QStringLiteral("loads an icon from"), element);
        else if (rels.contains(QLatin1String("preload")) ||
                 rels.contains(QLatin1String("prefetch")) ||
                 rels.contains(QLatin1String("modulepreload")) ||
                 rels.contains(QLatin1String("manifest")))
            address(href, QStringLiteral("loads a file from"), element);
        for (const QString& a : srcsetAddresses(attribute(node, "imagesrcset")))
            address(a, QStringLiteral("loads a file from"), element);
    }

    void form(const QString& action, const QString& element) {
        address(action, QStringLiteral("sends the form to"), element);
        if (!action.trimmed().startsWith(QLatin1String("http:"), Qt::CaseInsensitive))
            return;
        const QString host = hostOf(action);
        Source source = m_sources.forHost(host);
        add({PrivacyFinding::Kind::PlainHttpForm, m_file, host,
             sentence(m_file,
                      QStringLiteral("the form sends what the visitor types unencrypted to "
                                     "%1 (plain http; ask the autoresponder for its https "
                                     "address)")
                          .arg(action.trimmed()),
                      source)});
    }

    void refresh(const QString& content) {
        static const QRegularExpression target(QStringLiteral("url\\s*=\\s*['\"]?([^'\"\\s]+)"),
                                               QRegularExpression::CaseInsensitiveOption);
        const auto m = target.match(content);
        if (m.hasMatch())
            address(m.captured(1), QStringLiteral("moves the visitor on to"),
                    QStringLiteral("<meta http-equiv=\"refresh\">"));
    }

    void checkbox(const GumboNode* node) {
        if (attribute(node, "type")
                    .trimmed()
                    .compare(QLatin1String("checkbox"), Qt::CaseInsensitive) != 0 ||
            !hasAttribute(node, "checked"))
            return;
        const QString name = attribute(node, "name");
        const Source source = !name.isEmpty() ? m_sources.forWord(name)
                                              : m_sources.forWord(QStringLiteral("checked"));
        add({PrivacyFinding::Kind::PreTicked, m_file, QString(),
             sentence(
                 m_file,
                 QStringLiteral("the check box %1 comes ticked, so the visitor has not "
                                "agreed by ticking it (remove its \"checked\")")
                     .arg(name.isEmpty() ? QStringLiteral("without a name") : u'"' + name + u'"'),
                 source)});
    }

    QString m_file;
    const Sources& m_sources;
    QList<PrivacyFinding>& m_findings;
    QSet<QString> m_lines;
    QString m_script;
};

Status readPage(const QString& name, const QByteArray& bytes, const Sources& sources,
                QList<PrivacyFinding>& findings) {
    // Built pages hold one pasted form that was read safely; anything far beyond is not ours.
    const FormNesting scan = scanFormNesting(bytes);
    if (scan.deepest > kFormNestingLimit * 2 || scan.parts > kFormPartLimit * 4 ||
        scan.mostAttributes > kFormAttributeLimit || scan.copies > kFormCopyLimit)
        return Status::failure(
            QStringLiteral("The page %1 nests or repeats its tags far beyond what a built page "
                           "holds, so it cannot be read safely for the privacy report; build "
                           "the funnel again.")
                .arg(name));
    GumboOutput* output =
        gumbo_parse_with_options(&parserOptions(), bytes.constData(), size_t(bytes.size()));
    PageReader reader(name, sources, findings);
    QList<const GumboNode*> pending{output->document};
    while (!pending.isEmpty()) {
        const GumboNode* node = pending.takeLast();
        if (isElement(node))
            reader.element(node);
        else if (node->type != GUMBO_NODE_DOCUMENT)
            continue;
        const GumboVector& children = childrenOf(node);
        for (unsigned i = children.length; i > 0; --i)
            pending.append(static_cast<const GumboNode*>(children.data[i - 1]));
    }
    reader.finish();
    gumbo_destroy_output(&parserOptions(), output);
    return Status::success();
}

quint32 bigEndian(const QByteArray& b, qsizetype at, int bytes) {
    quint32 v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | quint8(b[at + i]);
    return v;
}

quint32 littleEndian32(const QByteArray& b, qsizetype at) {
    return quint32(quint8(b[at])) | quint32(quint8(b[at + 1])) << 8 |
           quint32(quint8(b[at + 2])) << 16 | quint32(quint8(b[at + 3])) << 24;
}

// The metadata blocks a picture file carries: camera, editor, place, time or comments.
QStringList metadataIn(const QByteArray& b) {
    QStringList found;
    const qsizetype n = b.size();
    if (n >= 4 && quint8(b[0]) == 0xff && quint8(b[1]) == 0xd8) {
        for (qsizetype at = 2; at + 4 <= n && quint8(b[at]) == 0xff;) {
            const int marker = quint8(b[at + 1]);
            if (marker == 0xff || (marker >= 0xd0 && marker <= 0xd8)) {
                at += marker == 0xff ? 1 : 2;
                continue;
            }
            if (marker == 0xda)
                break;
            // APP0 (JFIF) and APP14 (Adobe's colour transform) say nothing about anyone.
            if (marker == 0xfe)
                found << QStringLiteral("a JPEG comment");
            else if (marker >= 0xe1 && marker <= 0xef && marker != 0xee) {
                const QByteArray id = b.mid(at + 4, 12);
                found << (id.startsWith("Exif") ? QStringLiteral("EXIF")
                          : id.startsWith("http:")
                              ? QStringLiteral("XMP")
                              : QStringLiteral("JPEG APP%1").arg(marker - 0xe0));
            }
            at += 2 + bigEndian(b, at + 2, 2);
        }
    } else if (n >= 8 && b.startsWith("\x89PNG")) {
        for (qsizetype at = 8; at + 8 <= n;) {
            const QByteArray type = b.mid(at + 4, 4);
            if (type == "tEXt" || type == "iTXt" || type == "zTXt" || type == "eXIf" ||
                type == "tIME")
                found << QStringLiteral("PNG %1").arg(QString::fromLatin1(type));
            if (type == "IEND")
                break;
            at += 12 + qsizetype(bigEndian(b, at, 4));
        }
    } else if (n >= 12 && b.startsWith("RIFF") && b.mid(8, 4) == "WEBP") {
        for (qsizetype at = 12; at + 8 <= n;) {
            const QByteArray type = b.mid(at, 4);
            if (type == "EXIF" || type == "XMP ")
                found << QStringLiteral("WebP %1").arg(QString::fromLatin1(type).trimmed());
            const qsizetype size = littleEndian32(b, at + 4);
            at += 8 + size + (size & 1);
        }
    } else if (b.startsWith("GIF8")) {
        if (b.contains("XMP DataXMP") || b.contains("\x21\xfe"))
            found << QStringLiteral("GIF comment or XMP");
    }
    found.removeDuplicates();
    return found;
}

// index.html, the thank-you page, the download page, then any other page by name.
int pageRank(const QString& name) {
    if (name == QLatin1String("index.html"))
        return 0;
    if (name.startsWith(QLatin1String("thanks")))
        return 1;
    if (name.startsWith(QLatin1String("download")))
        return 2;
    return 3;
}

Result<QByteArray> readWhole(const QString& path, const QString& name) {
    QFile file(path);
    if (file.size() > kReportFileLimit)
        return Result<QByteArray>::failure(
            QStringLiteral("%1 is larger than %2 MB, more than a published funnel's file; it was "
                           "not read for the privacy report.")
                .arg(name, QLocale::system().toString(kReportFileLimit / (qint64(1024) * 1024))));
    if (!file.open(QIODevice::ReadOnly))
        return Result<QByteArray>::failure(
            QStringLiteral("%1 could not be read for the privacy report: %2.")
                .arg(displayPath(path), file.errorString()));
    return file.readAll();
}

} // namespace

QStringList PrivacyReport::hosts() const {
    QStringList hosts;
    for (const PrivacyFinding& f : findings) {
        if (f.kind == PrivacyFinding::Kind::OutsideHost)
            hosts << f.host;
    }
    hosts.sort();
    hosts.removeDuplicates();
    return hosts;
}

QStringList PrivacyReport::lines() const {
    QStringList lines;
    for (const PrivacyFinding& f : findings)
        lines << f.line;
    return lines;
}

QString PrivacyReport::summary() const {
    const auto count = [this](PrivacyFinding::Kind kind) {
        return std::count_if(findings.begin(), findings.end(),
                             [kind](const PrivacyFinding& f) { return f.kind == kind; });
    };
    QStringList parts;
    const auto part = [&parts](qsizetype n, const char* one, const char* many) {
        if (n > 0)
            parts << QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
    };
    const QStringList outside = hosts();
    part(outside.size(), "outside host", "outside hosts");
    if (!outside.isEmpty())
        parts.last() += QStringLiteral(" (%1)").arg(outside.join(QStringLiteral(", ")));
    part(count(PrivacyFinding::Kind::Storage), "use of browser storage", "uses of browser storage");
    part(count(PrivacyFinding::Kind::PictureMetadata), "picture with metadata",
         "pictures with metadata");
    part(count(PrivacyFinding::Kind::PreTicked), "pre-ticked check box", "pre-ticked check boxes");
    part(count(PrivacyFinding::Kind::PlainHttpForm), "form sent over plain http",
         "forms sent over plain http");
    return parts.isEmpty() ? QStringLiteral("nothing to report") : parts.join(QStringLiteral(", "));
}

Result<PrivacyReport> privacyReport(const QString& folder, const FunnelSettings& settings) {
    const QDir dir(folder);
    if (!dir.exists())
        return Result<PrivacyReport>::failure(
            QStringLiteral("The folder %1 does not exist; build the funnel first.")
                .arg(displayPath(folder)));
    const Sources sources(settings);
    PrivacyReport report;

    QStringList pages =
        dir.entryList({QStringLiteral("*.html"), QStringLiteral("*.htm")}, QDir::Files, QDir::Name);
    std::stable_sort(pages.begin(), pages.end(),
                     [](const QString& a, const QString& b) { return pageRank(a) < pageRank(b); });
    for (const QString& name : pages) {
        auto bytes = readWhole(dir.filePath(name), name);
        if (!bytes)
            return Result<PrivacyReport>::failure(bytes.error());
        if (const Status read = readPage(name, bytes.value(), sources, report.findings); !read)
            return Result<PrivacyReport>::failure(read.error());
    }
    for (const QString& name : dir.entryList({QStringLiteral("*.css")}, QDir::Files, QDir::Name)) {
        auto bytes = readWhole(dir.filePath(name), name);
        if (!bytes)
            return Result<PrivacyReport>::failure(bytes.error());
        PageReader sheet(name, sources, report.findings);
        sheet.css(QString::fromUtf8(bytes.value()), QStringLiteral("url() in the stylesheet"));
    }
    const QStringList pictures =
        dir.entryList({QStringLiteral("*.jpg"), QStringLiteral("*.jpeg"), QStringLiteral("*.png"),
                       QStringLiteral("*.webp"), QStringLiteral("*.gif")},
                      QDir::Files, QDir::Name);
    for (const QString& name : pictures) {
        auto bytes = readWhole(dir.filePath(name), name);
        if (!bytes)
            return Result<PrivacyReport>::failure(bytes.error());
        const QStringList found = metadataIn(bytes.value());
        if (found.isEmpty())
            continue;
        report.findings.append(
            {PrivacyFinding::Kind::PictureMetadata, name, QString(),
             QStringLiteral("%1: the picture still carries %2, which may name the camera, the "
                            "place or the maker; the build writes the pictures you choose anew "
                            "without it, so this one was copied as it lies in the templates "
                            "folder: remove it there or save it again without metadata.")
                 .arg(name, found.join(QStringLiteral(", ")))});
    }
    return report;
}

} // namespace tandrel
