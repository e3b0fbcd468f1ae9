#include "funnelbuild.h"
#include "funnelfixtures.h"

#include <QTest>

#include <functional>

using namespace tandrel;
using namespace tandrel::test;

using Adjust = std::function<void(FunnelSettings&)>;
using Break = std::function<void(FixtureApp&, FunnelSettings&)>;
Q_DECLARE_METATYPE(Adjust)
Q_DECLARE_METATYPE(Break)

class BuildTest : public QObject {
    Q_OBJECT

    static BuildOutcome build(const FixtureApp& app, const FunnelSettings& s) {
        return buildFunnel(s, AppPaths(app.path()));
    }

private slots:
    void checksRunInOrderAndTouchNothing_data() {
        QTest::addColumn<Adjust>("adjust");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("section");
        QTest::addColumn<bool>("optInPanel");

        const auto noCover = [](FunnelSettings& s) { s.lblSelectedFile[CoverImage] = {}; };
        QTest::newRow("default address, no form") << Adjust([](FunnelSettings& s) {
            s.txtFunnelUrl = QStringLiteral("http://");
            s.txtoptinForm.clear();
        }) << "Please enter the url where you'll upload this funnel." << 0 << false;
        QTest::newRow("empty address") << Adjust([](FunnelSettings& s) { s.txtFunnelUrl.clear(); })
                                       << "Please enter the url where you'll upload this funnel." << 0 << false;
        QTest::newRow("address with a blank before the default passes, form missing")
            << Adjust([](FunnelSettings& s) {
                   s.txtFunnelUrl = QStringLiteral(" http://");
                   s.txtoptinForm.clear();
                   s.txtFunnel_YouTubeID.clear();
               })
            << "Please enter your opt-in form code for this funnel." << 1 << true;
        QTest::newRow("capital default passes, video missing before cover")
            << Adjust([noCover](FunnelSettings& s) {
                   s.txtFunnelUrl = QStringLiteral("HTTP://");
                   s.txtFunnel_YouTubeID.clear();
                   noCover(s);
               })
            << "Please enter a video to use for this funnel." << 3 << false;
        QTest::newRow("background image used but missing, before cover")
            << Adjust([noCover](FunnelSettings& s) {
                   s.optBackground = 1;
                   noCover(s);
               })
            << "Please select a background image." << 0 << false;
        QTest::newRow("cover missing; a caption without tag does not count")
            << Adjust([](FunnelSettings& s) { s.lblSelectedFile[CoverImage] = {QStringLiteral("/x/cover.jpg"), QString()}; })
            << "Please select a cover image for your lead magnet." << 1 << false;
    }

    void checksRunInOrderAndTouchNothing() {
        QFETCH(Adjust, adjust);
        QFETCH(QString, message);
        QFETCH(int, section);
        QFETCH(bool, optInPanel);
        FixtureApp app;
        FunnelSettings s = completeSettings(app.makePicture(QStringLiteral("cover.jpg")));
        adjust(s);
        const BuildOutcome outcome = build(app, s);
        QCOMPARE(outcome.kind, BuildOutcome::Kind::MissingInfo);
        QCOMPARE(outcome.message, message);
        QCOMPARE(outcome.section, section);
        QCOMPARE(outcome.openOptInPanel, optInPanel);
        QVERIFY(!QFileInfo::exists(app.path(QStringLiteral("output"))));
    }

    void buildWritesTheFunnel() {
        FixtureApp app;
        FunnelSettings s = completeSettings(app.makePicture(QStringLiteral("cover.jpg")));
        s.lblSelectedFile[BackgroundImage] = {app.makePicture(QStringLiteral("bg.jpg")), QStringLiteral("bg.jpg")};
        const BuildOutcome outcome = build(app, s);
        QVERIFY2(outcome.built(), qPrintable(outcome.message));
        QCOMPARE(outcome.pages, (QStringList{"index.html", "thanks57.html", "download12.html"}));
        QCOMPARE(QDir(outcome.outputFolder).canonicalPath(), QDir(app.output()).canonicalPath());

        QDir output(app.output());
        const QStringList files = output.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
        // Template files, the unused layouts and the cover page are gone; assets stay;
        // the background image is not needed with a background colour.
        QCOMPARE(files, (QStringList{".htaccess", "cover.jpg", "download12.html", "index.html", "style.css", "thanks57.html"}));
        QCOMPARE(readBytes(app.output(QStringLiteral("sub/asset.txt"))), QByteArray("asset\n"));
        QCOMPARE(readBytes(app.output(QStringLiteral("cover.jpg"))), QByteArray("picture:cover.jpg"));
        QVERIFY(readBytes(app.output(QStringLiteral("index.html"))).startsWith("<!-- two columns -->\n<body"));
        QVERIFY(readBytes(app.output(QStringLiteral("thanks57.html"))).contains("go:http://example.com/f/download12.html"));
        QVERIFY(readBytes(app.output(QStringLiteral("download12.html"))).contains("embed/vid123?autoplay=1"));
    }

    void backgroundImageIsCopiedOnlyWhenUsed() {
        FixtureApp app;
        FunnelSettings s = completeSettings(app.makePicture(QStringLiteral("cover.jpg")));
        s.optBackground = 1;
        s.lblSelectedFile[BackgroundImage] = {app.makePicture(QStringLiteral("bg.jpg")), QStringLiteral("bg.jpg")};
        QVERIFY(build(app, s).built());
        QCOMPARE(readBytes(app.output(QStringLiteral("bg.jpg"))), QByteArray("picture:bg.jpg"));
        QVERIFY(readBytes(app.output(QStringLiteral("index.html"))).contains("background-image:url('bg.jpg')"));
    }

    void secondBuildReplacesTheFirst() {
        FixtureApp app;
        FunnelSettings s = completeSettings(app.makePicture(QStringLiteral("cover.jpg")));
        QVERIFY(build(app, s).built());
        // Leftovers a user or an older template set may have put there.
        QVERIFY(QFile(app.output(QStringLiteral("sub/stale.txt"))).open(QIODevice::WriteOnly));
        QVERIFY(QFile(app.output(QStringLiteral("notes.txt"))).open(QIODevice::WriteOnly));

        s.txtFunnelUrl = QStringLiteral("http://example.com/g");
        s.deriveFunnelLinks(3, 4);
        s.txtFooterNew = QStringLiteral("second");
        QVERIFY(build(app, s).built());
        QVERIFY(!QFileInfo::exists(app.output(QStringLiteral("thanks57.html"))));
        QVERIFY(!QFileInfo::exists(app.output(QStringLiteral("download12.html"))));
        QVERIFY(!QFileInfo::exists(app.output(QStringLiteral("notes.txt"))));
        QVERIFY(!QFileInfo::exists(app.output(QStringLiteral("sub/stale.txt"))));
        QVERIFY(QFileInfo::exists(app.output(QStringLiteral("sub/asset.txt"))));
        const QByteArray index = readBytes(app.output(QStringLiteral("index.html")));
        QVERIFY(index.contains("footer:second|"));
        QVERIFY(!index.contains("YourWebsite.com"));
        QVERIFY(readBytes(app.output(QStringLiteral("thanks3.html"))).contains("download4.html"));
    }

    void failuresStopWithAMessageNamingTheCulprit_data() {
        QTest::addColumn<Break>("breakIt");
        QTest::addColumn<QString>("named");
        QTest::addColumn<bool>("outputUntouched");

        QTest::newRow("missing template") << Break([](FixtureApp& app, FunnelSettings&) {
            QFile::remove(app.path(QStringLiteral("templates/download.html")));
        }) << "download.html" << true;
        QTest::newRow("missing template of the chosen layout") << Break([](FixtureApp& app, FunnelSettings& s) {
            QFile::remove(app.path(QStringLiteral("templates/index-1colimage.html")));
            s.cboCols = 0;
        }) << "index-1colimage.html" << true;
        QTest::newRow("needed snippet missing") << Break([](FixtureApp& app, FunnelSettings& s) {
            QFile::remove(app.path(QStringLiteral("snippets/dld_link.txt")));
            s.txtFileDownloadUrl = QStringLiteral("http://files.example/a.zip");
        }) << "dld_link.txt" << false;
        QTest::newRow("cover no longer exists") << Break([](FixtureApp& app, FunnelSettings&) {
            QFile::remove(app.path(QStringLiteral("pictures/cover.jpg")));
        }) << "cover.jpg" << false;
        QTest::newRow("page cannot be written") << Break([](FixtureApp& app, FunnelSettings&) {
            QDir().mkpath(app.path(QStringLiteral("templates/thanks57.html")));
        }) << "thanks57.html" << false;
        QTest::newRow("page addresses never derived") << Break([](FixtureApp&, FunnelSettings& s) {
            s.thankYouPageFile.clear();
        }) << "http://example.com/f" << true;
    }

    void failuresStopWithAMessageNamingTheCulprit() {
        QFETCH(Break, breakIt);
        QFETCH(QString, named);
        QFETCH(bool, outputUntouched);
        FixtureApp app;
        FunnelSettings s = completeSettings(app.makePicture(QStringLiteral("cover.jpg")));
        // A previous build's page must survive a failure found before the output is touched.
        QDir().mkpath(app.output());
        QFile previous(app.output(QStringLiteral("previous.html")));
        QVERIFY(previous.open(QIODevice::WriteOnly));
        previous.close();
        breakIt(app, s);

        const BuildOutcome outcome = build(app, s);
        QCOMPARE(outcome.kind, BuildOutcome::Kind::Failed);
        QVERIFY2(outcome.message.contains(named), qPrintable(outcome.message));
        QVERIFY(outcome.pages.isEmpty());
        QCOMPARE(QFileInfo::exists(app.output(QStringLiteral("previous.html"))), outputUntouched);
    }

    void missingOutputFolderIsReported() {
        FixtureApp app;
        // A plain file where the output root should be: the folders cannot be made.
        QFile blocker(app.path(QStringLiteral("output")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const BuildOutcome outcome = build(app, completeSettings(app.makePicture(QStringLiteral("cover.jpg"))));
        QCOMPARE(outcome.kind, BuildOutcome::Kind::Failed);
        QCOMPARE(outcome.message, QStringLiteral("The following folder is not present:%1 --- Please create it or reinstall the software.")
                                      .arg(QDir::toNativeSeparators(app.output())));
    }

    void applicationFolderWithTrailingSeparator() {
        FixtureApp app;
        const FunnelSettings s = completeSettings(app.makePicture(QStringLiteral("cover.jpg")));
        const BuildOutcome outcome = buildFunnel(s, AppPaths(app.path() + QStringLiteral("/")));
        QVERIFY2(outcome.built(), qPrintable(outcome.message));
        QVERIFY(!outcome.outputFolder.contains(QStringLiteral("//")));
        QVERIFY(QFileInfo::exists(app.output(QStringLiteral("index.html"))));
    }
};

TANDREL_TEST(BuildTest)
#include "build_test.moc"
