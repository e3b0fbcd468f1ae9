#include "optinform.h"
#include "testfiles.h"
#include "testregistry.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace tandrel;
using namespace tandrel::test;

namespace {

QString pastedInFixture(const char* name) {
    const QString file =
        testDataDir() + QStringLiteral("/../web/fixtures/%1.funnel.json").arg(name);
    return QJsonDocument::fromJson(fileBytes(file)).object().value("optinForm").toString();
}

} // namespace

class OptinFormTest : public QObject {
    Q_OBJECT

private slots:
    // Empty reason: the form must be rebuilt; otherwise a word the reason must hold. What the
    // rebuilt form sends, the browser checks compare with the pasted one.
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
            "(check box), Events near me (check box), 2 hidden values, a trap field for robots, 1 "
            "paragraph of the form's text, button \u201cSend\u201d");
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
        // Refused before the parser sees them: they crashed it, or cost seconds and gigabytes.
        const QString form = pastedInFixture("consent-form");
        const char* deep = "more than 200 deep";
        row("50,000 nested table cells", QString("<table><tr><td>").repeated(50000) + form, deep);
        row("12,000 templates", QString("<template>").repeated(12000) + form, deep);
        row("20,000 divs left open", QString("<div>").repeated(20000) + form, deep);
        row("a <b> left open round 30,000 paragraphs",
            "<p><b title='" + QString(1000, 'x') + "'>x</p>" + QString("<p>x</p>").repeated(30000),
            "formatting tags");
        row("100,001 line breaks", form + QString("<br>").repeated(100001),
            "tags, attributes and comments");
    }

    void tidyRebuild() {
        QFETCH(QString, pasted);
        QFETCH(QString, reason);
        QFETCH(QString, summary);
        const TidyForm tidy = tidyOptinForm(pasted);
        const QString why = tidy.reason + tidy.refusal;
        QVERIFY2(reason.isEmpty() ? !tidy.html.isEmpty()
                                  : tidy.html.isEmpty() && why.contains(reason),
                 qPrintable(tidy.html + why));
        if (!reason.isEmpty())
            return;
        QVERIFY2(!tidy.html.contains(QLatin1String("style")), qPrintable(tidy.html));
        if (!summary.isEmpty())
            QCOMPARE(tidy.fields.join(QStringLiteral(", ")), summary);
    }

    // What the page shows of a form kept as pasted (html, then css), or the build's refusal.
    void keptAsPasted_data() {
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("notShown");
        QTest::newRow("a <b> the parser reopens is edited once")
            << "<p><b style=\"min-width:900px;color:red\">Join</p><p>now</p>"
            << "style=\"min-width: min(900px, 100%);color:red\""
            << "red%)";
        QTest::newRow("frame sizes past any screen set no rules")
            << "<iframe width=\"2147483647\" height=\"700000000\"></iframe><iframe width=600 "
               "height=99999999999></iframe>"
            << "</iframe>"
            << "px";
        QTest::newRow("a media rule without a block leaves the next one whole")
            << "<style>@media print; @media screen and (max-width:600px){a{b:c}}</style>"
            << "@container tf-form (max-width:600px) {a{b:c}}"
            << "@media screen";
        QTest::newRow("closed tags do not add up")
            << QString("<div><p><b>x</b></div><ul><li>a<li>b</ul>").repeated(300) << "<li>b"
            << "deep";
        QTest::newRow("tags nested too deep") << QString("<div>").repeated(201) << "more than 200"
                                              << "<div>";
    }

    void keptAsPasted() {
        QFETCH(QString, pasted);
        QFETCH(QString, shown);
        QFETCH(QString, notShown);
        FunnelSettings s;
        s.txtoptinForm = pasted;
        s.tidyOptinForm = false;
        const auto form = optinFormForPage(s);
        const QString page = form ? form->html + form->css : form.error();
        QVERIFY2(page.contains(shown) && !page.contains(notShown), qPrintable(page));
    }

    // A mapped campaign value gets a hidden field, except where the form declares that field
    // itself; a name that would end the tag fails the build. The browser checks send them.
    void campaignFields() {
        FunnelSettings s;
        s.txtoptinForm =
            QStringLiteral("<form action=\"https://e.example/s\"><input type=\"hidden\" "
                           "name=\"ref\"><input type=\"email\" name=\"email\"><button>"
                           "Go</button></form>");
        s.campaignFields = {{"utm_source", "src"}, {"utm_medium", "ref"}};
        QCOMPARE(optinFormForPage(s)->html.count("data-tf-campaign=\"utm_"), 1);
        s.campaignFields = {{"utm_source", "a\"><b>"}};
        QCOMPARE(optinFormForPage(s).error(),
                 QStringLiteral("The field name \"a\"><b>\" given to send utm_source cannot be "
                                "used: it holds \", which no form field name needs."));
    }
};

TANDREL_TEST(OptinFormTest)
#include "optinform_test.moc"
