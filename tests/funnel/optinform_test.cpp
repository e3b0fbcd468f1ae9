#include "optinform.h"
#include "testfiles.h"
#include "testregistry.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <gumbo.h>

#include <functional>

using namespace tandrel;
using namespace tandrel::test;

namespace {

QString pastedInFixture(const char* name) {
    const QString file =
        testDataDir() + QStringLiteral("/../web/fixtures/%1.funnel.json").arg(name);
    return QJsonDocument::fromJson(fileBytes(file)).object().value("optinForm").toString();
}

// What a form sends, read independently of the rebuild: address, method, and every
// named control with the fixed value of hidden ones, sorted.
QStringList sent(const QString& html) {
    const QByteArray bytes = html.toUtf8();
    GumboOutput* out = gumbo_parse(bytes.constData());
    QStringList facts;
    std::function<void(const GumboNode*)> walk = [&](const GumboNode* node) {
        if (node->type != GUMBO_NODE_ELEMENT)
            return;
        const GumboElement& e = node->v.element;
        const auto value = [&e](const char* name) {
            const GumboAttribute* a = gumbo_get_attribute(&e.attributes, name);
            return a ? QString::fromUtf8(a->value) : QString();
        };
        if (e.tag == GUMBO_TAG_FORM)
            facts << "action " + value("action") << "method " + value("method").toLower();
        const bool control = e.tag == GUMBO_TAG_INPUT || e.tag == GUMBO_TAG_SELECT ||
                             e.tag == GUMBO_TAG_TEXTAREA || e.tag == GUMBO_TAG_BUTTON;
        if (control && !value("name").isEmpty())
            facts << value("name") +
                         (value("type") == QLatin1String("hidden") || !value("tabindex").isEmpty()
                              ? '=' + value("value")
                              : QString());
        for (unsigned i = 0; i < e.children.length; ++i)
            walk(static_cast<const GumboNode*>(e.children.data[i]));
    };
    walk(out->root);
    gumbo_destroy_output(&kGumboDefaultOptions, out);
    facts.sort();
    return facts;
}

} // namespace

class OptinFormTest : public QObject {
    Q_OBJECT

private slots:
    // Empty reason: the form must be rebuilt; otherwise a word the reason must hold.
    void tidyRebuild_data() {
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("summary");
        const auto row = [](const char* name, const QString& pasted, const char* reason,
                            const QString& summary = QString()) {
            QTest::newRow(name) << pasted << QString(reason) << summary;
        };
        row("grid, min-width, GDPR boxes, select, honeypot", pastedInFixture("grid-form"), "",
            "First name, Email address*, Country (list), The newsletter* (check box), Offers "
            "(check box), Events near me (check box), 2 hidden values, a trap field for robots, "
            "button \u201cSend\u201d");
        row("inline row", pastedInFixture("inline-form"), "",
            "\u05e9\u05dd, \u05d0\u05d9\u05de\u05d9\u05d9\u05dc*, 2 hidden values, a trap "
            "field for robots, button \u201c\u05e9\u05dc\u05d7\u05d5 \u05dc\u05d9\u201d");
        row("consent box and honeypot", pastedInFixture("consent-form"), "");
        row("table with labels", pastedInFixture("table-form"), "");
        row("countries, radio, text after a box, image-less GET",
            "<form action='https://x.example/s' method=GET enctype='multipart/form-data'>"
            "<input name=email type=email placeholder='Your email'>"
            "<select name=c><optgroup label=Europe><option value=FR selected>France</option>"
            "</optgroup><option>Peru</option></select>"
            "<input type=radio name=f value=w checked> Weekly <input type=radio name=f value=m> "
            "Monthly<br><input type=checkbox name=ok value=1>I agree to the <a "
            "href='/p'>terms</a><textarea name=note>hi</textarea><input type=submit></form>",
            "",
            "Your email, C (list), Weekly (choice), Monthly (choice), I agree to the terms "
            "(check box), Note, button \u201cSubmit\u201d");
        row("iframe", "<iframe src='https://x.example/f' width=600 height=400></iframe>", "frame");
        row("script form", pastedInFixture("script-form"), "script");
        row("drawn by a script", "<div id=f></div><script src='https://x.example/f.js'></script>",
            "drawn");
        row("no form", "<input type=email name=e><button>Go</button>", "no <form>");
        row("two forms",
            "<form action=/a><input name=a type=email><button>A</button></form><form "
            "action=/b><input name=b></form>",
            "2 forms");
        row("sent by its script",
            "<form onsubmit='return send()' action='https://x.example/s'><input name=e "
            "type=email><button>Go</button></form>",
            "script");
    }

    void tidyRebuild() {
        QFETCH(QString, pasted);
        QFETCH(QString, reason);
        QFETCH(QString, summary);
        const TidyForm tidy = tidyOptinForm(pasted);
        if (!reason.isEmpty()) {
            QVERIFY2(tidy.html.isEmpty(), qPrintable(tidy.html));
            QVERIFY2(tidy.reason.contains(reason), qPrintable(tidy.reason));
            return;
        }
        QVERIFY2(!tidy.html.isEmpty(), qPrintable(tidy.reason));
        QCOMPARE(sent(tidy.html), sent(pasted));
        QVERIFY2(!tidy.html.contains(QLatin1String("style")), qPrintable(tidy.html));
        if (!summary.isEmpty())
            QCOMPARE(tidy.fields.join(QStringLiteral(", ")), summary);
    }
};

TANDREL_TEST(OptinFormTest)
#include "optinform_test.moc"
