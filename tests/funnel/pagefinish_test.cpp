#include "funnelfixtures.h"
#include "htmltext.h"
#include "pagefinish.h"

#include <QTest>

#include <functional>

using namespace tandrel;
using namespace tandrel::test;

using Adjust = std::function<void(FunnelSettings&)>;
Q_DECLARE_METATYPE(Adjust)
Q_DECLARE_METATYPE(PageKind)

class PageFinishTest : public QObject {
    Q_OBJECT

    static Adjust set(QString FunnelSettings::*field, const char* text) {
        return [field, text](FunnelSettings& s) { s.*field = QString(text); };
    }

private slots:
    void plainText_data() {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("plain");
        QTest::newRow("tags, blanks and blocks")
            << "<b>Get</b>\n  <i>it</i>&nbsp;now<br>two<p>3</p>"
            << "Get it now two 3";
        QTest::newRow("script, style and comments, even unclosed, say nothing")
            << "<style>b{}</style>Hi<script>alert('<b>')</script>!A<!-- hidden -->B<!-- open"
            << "Hi!AB";
        QTest::newRow("references; what is no reference stays")
            << "&copy 2024 &amp; &#169; &#x1F680; &lt;b&gt; AT&T &unknown; 3 < 5"
            << "© 2024 & © 🚀 <b> AT&T &unknown; 3 < 5";
    }

    void plainText() {
        QFETCH(QString, html);
        QFETCH(QString, plain);
        QCOMPARE(plainTextOfHtml(html), plain);
    }

    void shortenedAtAWord_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("max");
        QTest::addColumn<QString>("shortened");
        QTest::newRow("fits") << "Short title" << 20 << "Short title";
        QTest::newRow("at the last blank, punctuation dropped")
            << "Get the guide, then build your list" << 16 << QStringLiteral("Get the guide\u2026");
        QTest::newRow("one long word is cut")
            << "Supercalifragilistic" << 10 << QStringLiteral("Supercali\u2026");
        QTest::newRow("never half an emoji")
            << QStringLiteral("abcdefgh\U0001F680xyz") << 10 << QStringLiteral("abcdefgh\u2026");
    }

    void shortenedAtAWord() {
        QFETCH(QString, text);
        QFETCH(int, max);
        QFETCH(QString, shortened);
        QCOMPARE(shortenAtWord(text, max), shortened);
        QVERIFY(shortened.size() <= max);
    }

    void finishedPage_data() {
        QTest::addColumn<PageKind>("kind");
        QTest::addColumn<QString>("page");
        QTest::addColumn<Adjust>("adjust");
        QTest::addColumn<QString>("finished");
        const Adjust none = [](FunnelSettings&) {};
        const QString block =
            QStringLiteral("a<!--[IF:PRIVACY]--><p>[PRIVACY]</p><!--[END:PRIVACY]-->b");

        QTest::newRow("a page without our placeholders is left as generated")
            << PageKind::Optin << "<p>[UNKNOWN] <!-- [IF:X] --> [SOFT1]</p>" << none
            << "<p>[UNKNOWN] <!-- [IF:X] --> [SOFT1]</p>";
        QTest::newRow("a block with text keeps it, markers go")
            << PageKind::Optin << block << none << "a<p>[PRIVACY]</p>b";
        QTest::newRow("a block whose text shows nothing goes, with its line")
            << PageKind::Optin
            << QStringLiteral("<div>\n  <!--[IF:PRIVACY]--><p>x</p><!--[END:PRIVACY]-->\n</div>")
            << set(&FunnelSettings::txtFunnel_Privacy, " <br> &nbsp;") << "<div>\n</div>";
        QTest::newRow("a picture alone is something to show")
            << PageKind::Optin << block
            << set(&FunnelSettings::txtFunnel_Privacy, "<img src=\"seal.png\" alt=\"\">")
            << "a<p>[PRIVACY]</p>b";
        QTest::newRow("title: tags stripped, escaped for text and attributes")
            << PageKind::Optin << "<title>[PAGE_TITLE]</title>[LINE1_FALLBACK]"
            << set(&FunnelSettings::txtFunnel_LeadLine1, "<b>\"Free\"</b> & 'easy'")
            << "<title>&quot;Free&quot; &amp; &#39;easy&#39;</title>";
        QTest::newRow("empty headline: the instructions give the title, the heading a fallback")
            << PageKind::Optin << "[PAGE_TITLE]|[LINE1_FALLBACK]" << Adjust([](FunnelSettings& s) {
                   s.txtFunnel_LeadLine1 = QStringLiteral("  ");
                   s.txtFunnel_Instructions = QStringLiteral("<p>Enter your email</p>");
               })
            << "Enter your email|Your free guide";
        QTest::newRow("a placeholder typed into the headline stays in the title")
            << PageKind::Optin << "[PAGE_TITLE]"
            << set(&FunnelSettings::txtFunnel_LeadLine1, "[DIR] [COVER_WIDTH]")
            << "[DIR] [COVER_WIDTH]";
        QTest::newRow("direction of most letters, not the first; none without letters")
            << PageKind::Optin << "[DIR_LINE1] [DIR_INSTRUCTIONS] [DIR_PRIVACY]"
            << Adjust([](FunnelSettings& s) {
                   s.txtFunnel_LeadLine1 = QStringLiteral(
                       "Tandrel Pro: \u05d4\u05de\u05d3\u05e8\u05d9\u05da \u05d4\u05de\u05dc\u05d0 "
                       "\u05dc\u05d1\u05e0\u05d9\u05d9\u05ea");
                   s.txtFunnel_Instructions =
                       QStringLiteral("<b dir=rtl>Get it:</b> \u05e9\u05dc\u05d5\u05dd");
                   s.txtFunnel_Privacy = QStringLiteral("<i>1-2</i> 3");
               })
            << "rtl ltr auto";
        QTest::newRow("cover size, video id for an address, own-styled form")
            << PageKind::Download << "[COVER_WIDTH]x[COVER_HEIGHT] v=[VIDEO_ID] [FORM_STYLE]"
            << Adjust([](FunnelSettings& s) {
                   s.txtFunnel_YouTubeID = QStringLiteral(" a\"b&c ");
                   s.txtoptinForm = QStringLiteral("<STYLE>#f{width:480px}</STYLE><form></form>");
               })
            << "40x100 v=a%22b%26c own";
        // The thank-you and download headlines take the user's colour on the cards it reads on.
        for (const auto& [rgb, style] :
             {std::pair{"64,0,64", " style=\"--tf-heading-light:rgb(64,0,64)\""},
              {"255,214,102", " style=\"--tf-heading-dark:rgb(255,214,102)\""},
              {"128,128,128", " style=\"--tf-heading-light:rgb(128,128,128);--tf-heading-dark:rgb("
                              "128,128,128)\""}})
            QTest::newRow(rgb) << PageKind::ThankYou << "[HEADING_STYLE]"
                               << Adjust([rgb = rgb](FunnelSettings& s) {
                                      s.lblColorPicker[HeadlineColor] = rgb;
                                  })
                               << style;
        for (const char* code : {"ja", "zh-Hans", "ko"}) // the pages' lang and direction
            QTest::newRow(code) << PageKind::Optin << "[LANG] [DIR]"
                                << set(&FunnelSettings::language, code) << QString(code) + " ltr";
    }

    void finishedPage() {
        QFETCH(PageKind, kind);
        QFETCH(QString, page);
        QFETCH(Adjust, adjust);
        QFETCH(QString, finished);
        FunnelSettings s = completeSettings();
        adjust(s);
        PageFacts facts;
        facts.coverSize = QSize(40, 100);
        facts.form = optinFormForPage(s).value();
        QCOMPARE(finishPage(kind, page, s, facts).value(), finished);
    }

    void socialPreview_data() {
        QTest::addColumn<Adjust>("adjust");
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QStringList>("absent");
        QTest::newRow("address without a scheme: no addresses that would mean nothing")
            << set(&FunnelSettings::txtFunnelUrl, "example.com/guide")
            << QStringList{"<meta property=\"og:title\""} << QStringList{"og:url", "og:image"};
        QTest::newRow("a web address: the social card, its size and alt")
            << Adjust([](FunnelSettings&) {})
            << QStringList{"og:image\" content=\"http://example.com/f/c-card.jpg\">\n<meta "
                           "property=\"og:image:width\" content=\"1200\">\n<meta "
                           "property=\"og:image:height\" content=\"630\">\n<meta "
                           "property=\"og:image:alt\"",
                           "twitter:image\" content=\"http://example.com/f/c-card.jpg\""}
            << QStringList{};
        QTest::newRow("the HEAD code's own description is not doubled")
            << set(&FunnelSettings::headCode, "<META content=\"x\" NAME='description'>")
            << QStringList{"og:description"} << QStringList{"name=\"description\""};
    }

    void socialPreview() {
        QFETCH(Adjust, adjust);
        QFETCH(QStringList, present);
        QFETCH(QStringList, absent);
        FunnelSettings s = completeSettings();
        adjust(s);
        PageFacts facts;
        facts.socialCard = QStringLiteral("c-card.jpg");
        const QString head =
            finishPage(PageKind::Optin, QStringLiteral("[SOCIAL_META]"), s, facts).value();
        for (const QString& text : present)
            QVERIFY2(head.contains(text), qPrintable(head));
        for (const QString& text : absent)
            QVERIFY2(!head.contains(text), qPrintable(head));
        QCOMPARE(finishPage(PageKind::ThankYou, QStringLiteral("[SOCIAL_META]"), s, {}).value(),
                 QString());
    }
};

TANDREL_TEST(PageFinishTest)
#include "pagefinish_test.moc"
