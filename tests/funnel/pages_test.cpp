#include "funnelfixtures.h"
#include "pages.h"
#include "tools.h"

#include <QTest>

#include <functional>

using namespace tandrel;
using namespace tandrel::test;

using Adjust = std::function<void(FunnelSettings&)>;
Q_DECLARE_METATYPE(Adjust)

class PagesTest : public QObject {
    Q_OBJECT

    FixtureApp app;

    QString generate(const QString& page, const FunnelSettings& s) {
        const AppPaths paths(app.path());
        auto templates = loadTemplates(paths, s);
        if (!templates)
            return templates.error();
        const Result<QString> text =
            page == QLatin1String("lead")     ? generateLeadMagnetPage(s, *templates, paths)
            : page == QLatin1String("thanks") ? generateThankYouPage(s, *templates)
                                              : generateDownloadPage(s, *templates, paths);
        return text ? text.value() : text.error();
    }

private slots:
    void pagesMatchExpectedBytes_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<Adjust>("adjust");
        QTest::addColumn<QString>("expected");

        QTest::newRow("lead page with defaults")
            << "lead" << Adjust([](FunnelSettings&) {}) << "lead_defaults";
        QTest::newRow("lead page: later steps fill placeholders typed into values")
            << "lead" << Adjust([](FunnelSettings& s) {
                   s.cboCols = 0;
                   s.optBackground = 1;
                   s.lblSelectedFile[BackgroundImage] = {QStringLiteral("/pics/bg one.jpg"),
                                                         QStringLiteral("bg one.jpg")};
                   s.headCode = QStringLiteral("<meta name=\"x\" content=\"´\">");
                   s.txtFunnel_LeadLine1 =
                       QStringLiteral("Top [FOOTER] for [COVER] ´ [SOFT1] [HEAD]");
                   s.lblColorPicker[2] = QStringLiteral("1,2,3");
                   s.lblColorPicker[3] = QStringLiteral("4,5,6");
                   s.txtFunnel_Instructions = QStringLiteral("[PRIVACY]");
                   s.txtFunnel_Privacy = QStringLiteral("P [PROGRESSBAR]");
                   s.chkProgressBar = 0;
                   s.txtoptinForm = QStringLiteral("<form>´</form>");
                   s.txtFooterNew = QStringLiteral("Foot´er");
                   s.backControl = true;
                   s.backUrl = QStringLiteral("http://back.example/´");
                   s.retargetingCode = QStringLiteral("<img src=\"t.gif\">");
                   s.lblSelectedFile[CoverImage].tag = QStringLiteral("  my cover´.jpg  ");
               })
            << "lead_tricky";
        QTest::newRow("thank-you page to the own download page keeps CR LF and the accent")
            << "thanks" << Adjust([](FunnelSettings& s) {
                   s.txtRedirectUrl = QStringLiteral("http://never.example/");
                   s.txtBeforeRedirectMsg1 = QStringLiteral("Merci´");
               })
            << "thanks_flat";
        QTest::newRow("thank-you page to a chosen address, empty messages")
            << "thanks" << Adjust([](FunnelSettings& s) {
                   s.optAction = 1;
                   s.txtRedirectUrl = QStringLiteral("http://offer.example/?f=[FOOTER]");
                   s.txtBeforeRedirectMsg1.clear();
                   s.txtBeforeRedirectMsg2.clear();
                   s.txtFooterNew = QStringLiteral("F");
               })
            << "thanks_redirect";
        QTest::newRow("download page with autoplay and link; the cover keeps its accent")
            << "download" << Adjust([](FunnelSettings& s) {
                   s.txtFunnel_YouTubeID = QStringLiteral("abc");
                   s.txtDownloadText = QStringLiteral("Get it´");
                   s.txtFileDownloadUrl = QStringLiteral("http://files.example/x.zip");
                   s.txtThanks = QStringLiteral("T [COVER]");
                   s.lblSelectedFile[CoverImage].tag = QStringLiteral(" c´.jpg ");
                   s.txtFooterNew = QStringLiteral("F");
               })
            << "download_link";
        QTest::newRow("download page without autoplay, default link address")
            << "download" << Adjust([](FunnelSettings& s) {
                   s.txtFunnel_YouTubeID = QStringLiteral("abc");
                   s.chkAutoplay = 0;
               })
            << "download_nolink";
    }

    void pagesMatchExpectedBytes() {
        QFETCH(QString, page);
        QFETCH(Adjust, adjust);
        QFETCH(QString, expected);
        FunnelSettings s = completeSettings();
        adjust(s);
        const QByteArray want = readBytes(testDataDir() + QStringLiteral("/funnel/expected/") +
                                          expected + QStringLiteral(".html"));
        QCOMPARE(generate(page, s).toUtf8(), want);
    }

    void downloadLinkCondition_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("shown");
        QTest::newRow("address and title") << "http://x.example/f.zip"
                                           << "Get" << true;
        QTest::newRow("empty address") << ""
                                       << "Get" << false;
        QTest::newRow("empty title") << "http://x.example/f.zip"
                                     << "" << false;
        QTest::newRow("default address") << "http://"
                                         << "Get" << false;
        QTest::newRow("default in capitals is an address") << "HTTP://"
                                                           << "Get" << true;
        QTest::newRow("blank before the default") << " http://"
                                                  << "Get" << true;
        QTest::newRow("blank after the default") << "http:// "
                                                 << "Get" << true;
    }

    void downloadLinkCondition() {
        QFETCH(QString, address);
        QFETCH(QString, title);
        QFETCH(bool, shown);
        FunnelSettings s = completeSettings();
        s.txtFileDownloadUrl = address;
        s.txtDownloadText = title;
        const QString page = generate(QStringLiteral("download"), s);
        QCOMPARE(page.contains(QStringLiteral("link:<a href=\"") + address + QStringLiteral("\">")),
                 shown);
        QCOMPARE(page.contains(QStringLiteral("link:\n")), !shown);
    }

    void layoutAndActionPickTemplates_data() {
        QTest::addColumn<int>("cols");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("lead");
        QTest::addColumn<QString>("thanks");
        QTest::newRow("defaults: two columns, own page") << 1 << 0 << "<!-- two columns -->"
                                                         << "<!-- flat -->";
        QTest::newRow("one column, redirect") << 0 << 1 << "<!-- one column -->"
                                              << "<!-- redirect -->";
    }

    void layoutAndActionPickTemplates() {
        QFETCH(int, cols);
        QFETCH(int, action);
        QFETCH(QString, lead);
        QFETCH(QString, thanks);
        FunnelSettings s = completeSettings();
        s.cboCols = cols;
        s.optAction = action;
        auto templates = loadTemplates(AppPaths(app.path()), s);
        QVERIFY2(templates.ok(), qPrintable(templates.error()));
        QVERIFY(templates->txtIndexTemplate.startsWith(lead));
        QVERIFY(templates->txtThanksPageTemplate.startsWith(thanks));
        QCOMPARE(templates->txtProgressBar, QStringLiteral("<div class=\"bar\">50%</div>"));
    }

    void neededSnippetMissingIsAFailureNamingIt() {
        FixtureApp bare;
        QVERIFY(QFile::remove(bare.path(QStringLiteral("snippets/back.txt"))));
        const AppPaths paths(bare.path());
        FunnelSettings s = completeSettings();
        auto templates = loadTemplates(paths, s);
        QVERIFY(templates.ok());
        QVERIFY(generateLeadMagnetPage(s, *templates, paths).ok()); // switch off: not read
        s.backControl = true;
        auto page = generateLeadMagnetPage(s, *templates, paths);
        QVERIFY(!page.ok());
        QVERIFY2(page.error().contains(QStringLiteral("back.txt")), qPrintable(page.error()));
    }

    void bodyTagFollowsTheBackground() {
        FunnelSettings s;
        QCOMPARE(pageBodyTag(s), QStringLiteral("<body style=\"background-color:rgb(64,0,64);\">"));
        s.optBackground = 1;
        QCOMPARE(pageBodyTag(s), QStringLiteral("<body style=\"background-image:url('')\">"));
        s.lblSelectedFile[BackgroundImage].tag = QStringLiteral(" a b.png");
        QCOMPARE(pageBodyTag(s),
                 QStringLiteral("<body style=\"background-image:url(' a b.png')\">"));
    }

    void funnelLinks_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("thanks");
        QTest::addColumn<QString>("download");
        QTest::newRow("no final slash") << "http://a.example/f"
                                        << "http://a.example/f/thanks7.html"
                                        << "http://a.example/f/download100.html";
        QTest::newRow("final slash") << "http://a.example/f/"
                                     << "http://a.example/f/thanks7.html"
                                     << "http://a.example/f/download100.html";
        QTest::newRow("empty address") << ""
                                       << "/thanks7.html"
                                       << "/download100.html";
    }

    void funnelLinks() {
        QFETCH(QString, address);
        QFETCH(QString, thanks);
        QFETCH(QString, download);
        FunnelSettings s;
        s.txtFunnelUrl = address;
        s.deriveFunnelLinks(7, 100);
        QCOMPARE(s.txtCapture_Url, thanks);
        QCOMPARE(s.txtDownloadUrl, download);
        QCOMPARE(s.thankYouPageFile, QStringLiteral("thanks7.html"));
        QCOMPARE(s.downloadPageFile, QStringLiteral("download100.html"));
    }

    void drawnPageNumbersCoverOneToHundred() {
        FunnelSettings s;
        seedRandomNumbers(42);
        QSet<int> seen;
        for (int i = 0; i < 5000; ++i) {
            s.drawFunnelLinks();
            QVERIFY(s.thankYouPageNumber >= 1 && s.thankYouPageNumber <= 100);
            QVERIFY(s.downloadPageNumber >= 1 && s.downloadPageNumber <= 100);
            seen << s.thankYouPageNumber;
        }
        QCOMPARE(seen.size(), 100);
    }
};

TANDREL_TEST(PagesTest)
#include "pages_test.moc"
