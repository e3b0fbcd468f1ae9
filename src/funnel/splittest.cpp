#include "splittest.h"

#include "htmltext.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>

namespace tandrel {

namespace {

QString forClasses(const QList<int>& versions) {
    QString classes = QStringLiteral("tf-vs");
    for (int v : versions)
        classes += QStringLiteral(" tf-for-") + SplitTest::name(v);
    return classes;
}

// A string for a script inside the page, which must never close its <script>.
QString scriptString(const QString& text) {
    const QByteArray json = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2)).replace(u'<', QLatin1String("\\u003c"));
}

} // namespace

bool hasOwnHeadline(const PageVersion& version) {
    return showsSomething(version.headline);
}

bool hasOwnCover(const PageVersion& version) {
    return !version.cover.caption.isEmpty();
}

QString versionAClasses(const SplitTest& test, bool (*hasOwn)(const PageVersion&)) {
    if (test.count() < 2)
        return QString();
    QList<int> shownIn{0};
    for (int v = 1; v < test.count(); ++v) {
        if (!hasOwn(test.others[v - 1]))
            shownIn << v;
    }
    return forClasses(shownIn);
}

QString versionedHeadline(const FunnelSettings& s) {
    const SplitTest& test = s.splitTest;
    if (test.count() < 2)
        return s.txtFunnel_LeadLine1;
    QString html = QStringLiteral("<span class=\"%1\">%2</span>")
                       .arg(versionAClasses(test, hasOwnHeadline), s.txtFunnel_LeadLine1);
    for (int v = 1; v < test.count(); ++v) {
        if (hasOwnHeadline(test.others[v - 1]))
            html += QStringLiteral("<span class=\"%1\">%2</span>")
                        .arg(forClasses({v}), test.others[v - 1].headline);
    }
    return html;
}

QString versionStorageKey(const FunnelSettings& s) {
    QString folder = QUrl(s.txtFunnelUrl).path(QUrl::FullyEncoded);
    while (folder.endsWith(u'/'))
        folder.chop(1);
    return QStringLiteral("tandrel-version-") + (folder.isEmpty() ? QStringLiteral("/") : folder);
}

QString splitTestHead(const FunnelSettings& s) {
    const int count = s.splitTest.count();
    if (count < 2)
        return QString();
    // Every version hides what is not its own; no attribute (no script) means A.
    QStringList hide;
    QString noneChosen = QStringLiteral("html");
    for (int v = 1; v < count; ++v)
        noneChosen += QStringLiteral(":not([data-tf-v=%1])").arg(SplitTest::name(v));
    hide << noneChosen + QStringLiteral(" .tf-vs:not(.tf-for-A)");
    for (int v = 1; v < count; ++v)
        hide << QStringLiteral("html[data-tf-v=%1] .tf-vs:not(.tf-for-%1)").arg(SplitTest::name(v));
    // "#version-B" shows that version without keeping it, to look at each one. The key is
    // written out where it is used, so the privacy report can name it.
    const QString script = QStringLiteral(
        "(function(n){var a=\"ABC\".slice(0,n),v=\"A\",h=/^#version-[A-C]$/i.test(location."
        "hash)&&location.hash.slice(-1).toUpperCase(),s;try{if(h&&a.indexOf(h)>=0)v=h;"
        "else{s=localStorage.getItem(%2);if(s&&s.length==1&&a.indexOf(s)>=0)v=s;else{v=a.charAt("
        "Math.floor(Math.random()*n));localStorage.setItem(%2,v)}}}catch(e){v=\"A\"}"
        "document.documentElement.setAttribute(\"data-tf-v\",v)})(%1);");
    return QStringLiteral("\n<style>\n%1{display:none!important}\n</style>\n<script>%2</script>")
        .arg(hide.join(QStringLiteral(",\n")),
             script.arg(count).arg(scriptString(versionStorageKey(s))));
}

} // namespace tandrel
