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

    QString generate(const QString& page, const FunnelSettings& s,
                     const QString& progressBar = QString()) {
        const AppPaths paths(app.path());
        auto loaded = loadTemplates(paths, s);
        if (!loaded)
            return loaded.error();
        PageTemplates templates = loaded.value();
        if (!progressBar.isEmpty())
            templates.txtProgressBar = progressBar;
        const Result<QString> text =
            page == QLatin1String("lead")
                ? generateLeadMagnetPage(s, templates, paths, optinFormForPage(s).value())
            : page == QLatin1String("thanks") ? generateThankYouPage(s, templates)
                                              : generateDownloadPage(s, templates, paths);
        return text ? text.value() : text.error();
    }

private slots:
    void pagesMatchExpectedBytes_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<Adjust>("adjust");
        QTest::addColumn<QString>("expected");
        QTest::newRow("lead page with defaults")
            << "lead" << Adjust([](FunnelSettings&) {}) << "lead_defaults";
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
        QCOMPARE(generate(page, s).toUtf8(),
                 fileBytes(testDataDir() + "/funnel/expected/" + expected + ".html"));
    }

    // Each value carries the next step's placeholder, so the body tag collects every value
    // only when each step runs after the one before it; the cover's accent shows where the
    // escaping step runs. The other layout and action pick the other templates.
    void stepsRunInTheirOrder_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<Adjust>("adjust");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("firstLine");
        QTest::newRow("lead") << "lead" << Adjust([](FunnelSettings& s) {
            s.cboCols = 0;
            s.lblSelectedFile[BackgroundImage].tag = QStringLiteral(" b[HEAD]");
            s.headCode = QStringLiteral("h[LINE1]");
            s.txtFunnel_LeadLine1 = QStringLiteral("l[INSTRUCTIONS]");
            s.txtFunnel_Instructions = QStringLiteral("i[OPTINFORM]");
            s.txtoptinForm = QStringLiteral("o[PRIVACY]");
            s.txtFunnel_Privacy = QStringLiteral("p[PROGRESSBAR]");
            s.txtFooterNew = QStringLiteral("f[FOOTER_COLOR]");
            s.lblColorPicker = {"",        "1[LINE1_COLOR]",   "2[INSTRUCTIONS_COLOR]",
                                "3[BACK]", "4[PRIVACY_COLOR]", "5[BORDER_COLOR]"};
            s.backControl = true;
            s.backUrl = QStringLiteral("k[RETARGETING]");
            s.retargetingCode = QStringLiteral("r[COVER]");
        }) << "' bhliopgf12453<script>back('krc&acute;')</script>'"
                              << "<!-- one column -->";
        QTest::newRow("thank-you") << "thanks" << Adjust([](FunnelSettings& s) {
            s.lblSelectedFile[BackgroundImage].tag = QStringLiteral(" b[SOFT1]");
            s.txtBeforeRedirectMsg1 = QStringLiteral("s[SOFT2]");
            s.txtBeforeRedirectMsg2 = QStringLiteral("t[REDIRECTURL]");
            s.optAction = 1;
            s.txtRedirectUrl = QStringLiteral("r[FOOTER]");
            s.txtFooterNew = QStringLiteral("f´");
        }) << "' bstrf´'"
                                   << "<!-- redirect -->";
        QTest::newRow("download") << "download" << Adjust([](FunnelSettings& s) {
            s.lblSelectedFile[BackgroundImage].tag = QStringLiteral(" b[THANKS]");
            s.txtThanks = QStringLiteral("t[DOWNLOAD_TITLE]");
            s.txtDownloadText = QStringLiteral("d[TUBE_ID][DOWNLOAD_LOCATION]");
            s.txtFunnel_YouTubeID = QStringLiteral("v[DOWNLOAD_LINK]");
            s.txtFileDownloadUrl = QStringLiteral("u[FOOTER]");
            s.txtFooterNew = QStringLiteral("f´[COVER]");
        }) << "' btdv<a href=\"uf&acute;c´\">d[TUBE_ID]uf&acute;c´</a>?autoplay=1uf&acute;c´'"
                                  << "<!-- download -->";
    }

    void stepsRunInTheirOrder() {
        QFETCH(QString, page);
        QFETCH(Adjust, adjust);
        QFETCH(QString, body);
        QFETCH(QString, firstLine);
        FunnelSettings s = completeSettings(QString());
        s.optBackground = 1;
        s.lblSelectedFile[CoverImage].tag = QStringLiteral(" c´ ");
        adjust(s);
        const QString text = generate(page, s, QStringLiteral("g[FOOTER]"));
        const QString tag = QStringLiteral("<body style=\"background-image:url(%1)\">").arg(body);
        QVERIFY2(text.startsWith(firstLine + QStringLiteral("\n") + tag), qPrintable(text));
    }

    void downloadLinkCondition_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("shown");
        const auto row = [](const char* name, const char* address, const char* title, bool shown) {
            QTest::newRow(name) << QString(address) << QString(title) << shown;
        };
        row("address and title", "http://x.example/f.zip", "Get", true);
        row("empty address", "", "Get", false);
        row("empty title", "http://x.example/f.zip", "", false);
        row("default address", "http://", "Get", false);
        row("default in capitals is an address", "HTTP://", "Get", true);
        row("blank before the default", " http://", "Get", true);
        row("blank after the default", "http:// ", "Get", true);
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

    // Switched off, the back control and the progress bar insert nothing and read nothing.
    void switchesOffInsertNothing() {
        FixtureApp bare;
        QVERIFY(QFile::remove(bare.path(QStringLiteral("snippets/back.txt"))));
        const AppPaths paths(bare.path());
        FunnelSettings s = completeSettings();
        s.chkProgressBar = 0;
        const PageTemplates templates = loadTemplates(paths, s).value();
        const PageForm form = optinFormForPage(s).value();
        const QString page = generateLeadMagnetPage(s, templates, paths, form).value();
        QVERIFY2(page.contains("bar:\n") && page.contains("back:\n"), qPrintable(page));
        s.backControl = true;
        const auto failed = generateLeadMagnetPage(s, templates, paths, form);
        QVERIFY(!failed.ok() && failed.error().contains(QStringLiteral("back.txt")));
    }

    void funnelLinks_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("base");
        QTest::newRow("no final slash") << QString("http://a.example/f") << "http://a.example/f/";
        QTest::newRow("final slash") << QString("http://a.example/f/") << "http://a.example/f/";
        QTest::newRow("empty address") << QString() << "/";
    }

    void funnelLinks() {
        QFETCH(QString, address);
        QFETCH(QString, base);
        FunnelSettings s;
        s.txtFunnelUrl = address;
        s.deriveFunnelLinks(7, 100);
        QCOMPARE(s.txtCapture_Url, base + QStringLiteral("thanks7.html"));
        QCOMPARE(s.txtDownloadUrl, base + QStringLiteral("download100.html"));
        QCOMPARE(s.thankYouPageFile, QStringLiteral("thanks7.html"));
        QCOMPARE(s.downloadPageFile, QStringLiteral("download100.html"));
    }

    void drawnPageNumbersCoverOneToHundred() {
        FunnelSettings s;
        seedRandomNumbers(42);
        QSet<int> seen;
        for (int i = 0; i < 5000; ++i) {
            s.drawFunnelLinks();
            seen << s.thankYouPageNumber << s.downloadPageNumber;
        }
        QCOMPARE(seen.size(), 100);
        QVERIFY(seen.contains(1) && seen.contains(100));
    }
};

TANDREL_TEST(PagesTest)
#include "pages_test.moc"
