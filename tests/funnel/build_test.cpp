#include "buildrecord.h"
#include "funnelbuild.h"
#include "funnelfixtures.h"
#include "testfiles.h"
#include "textfiles.h"

#include <QDirIterator>
#include <QRandomGenerator>
#include <QTest>

#include <functional>
#include <sys/wait.h>
#include <unistd.h>

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
    // Every entry below folder, links as their targets' names, files by content.
    static QMap<QString, QByteArray> snapshot(const QString& folder) {
        QMap<QString, QByteArray> entries;
        QDirIterator it(folder,
                        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo info(it.next());
            const QString name = QDir(folder).relativeFilePath(info.filePath());
            entries.insert(name, info.isSymLink() ? "link to " + info.symLinkTarget().toUtf8()
                                 : info.isFile()  ? fileBytes(info.filePath())
                                                  : QByteArray("folder"));
        }
        return entries;
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
        }) << "Please enter the url where you'll upload this funnel."
                                                  << 0 << false;
        QTest::newRow("empty address")
            << Adjust([](FunnelSettings& s) { s.txtFunnelUrl.clear(); })
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
            << Adjust([](FunnelSettings& s) {
                   s.lblSelectedFile[CoverImage] = {QStringLiteral("/x/cover.jpg"), QString()};
               })
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
        s.lblSelectedFile[BackgroundImage] = {app.makePicture("bg.jpg"), "bg.jpg"};
        // Nothing is written outside output/, and the lock of earlier versions goes.
        const auto before = snapshot(app.path());
        writeFile(app.path(QStringLiteral("output.lock")), "");
        const BuildOutcome outcome = build(app, s);
        QVERIFY2(outcome.built(), qPrintable(outcome.message));
        auto after = snapshot(app.path());
        after.removeIf([](auto entry) { return entry.key().section(u'/', 0, 0) == "output"; });
        QCOMPARE(after, before);
        QCOMPARE(outcome.pages, (QStringList{"index.html", "thanks57.html", "download12.html"}));
        QCOMPARE(QDir(outcome.outputFolder).canonicalPath(), QDir(app.output()).canonicalPath());
        // Template files, the unused layouts and the cover page are gone; assets stay;
        // the background image is not needed with a background colour.
        QCOMPARE(QDir(app.output()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 (QStringList{".htaccess", "cover-8.jpg", "cover-8.webp", "cover-card.jpg",
                              "download12.html", "index.html", "style.css", "thanks57.html"}));
        QCOMPARE(fileBytes(app.output(QStringLiteral("sub/asset.txt"))), QByteArray("asset\n"));
        // What the pages hold is the page generator's; here only that they are the built ones.
        QVERIFY(fileBytes(app.output(QStringLiteral("thanks57.html")))
                    .contains("go:http://example.com/f/download12.html"));
    }

    // A theme's own template and stylesheet reach the funnel; one that cannot be used gives
    // way to classic, and the build says why.
    void themeIsUsedOrNamedWhyNot_data() {
        QTest::addColumn<QString>("theme");
        QTest::addColumn<QByteArray>("manifest");
        QTest::addColumn<QByteArray>("stylesheet");
        QTest::addColumn<QString>("why"); // empty: the theme is used
        const QByteArray named = R"({"name": "Mine"})";
        QTest::newRow("used") << "mine" << named << QByteArray(".x{}") << "";
        QTest::newRow("no manifest") << "mine" << QByteArray() << QByteArray(".x{}")
                                     << "its manifest \"%1/themes/mine/theme.json\" is missing";
        QTest::newRow("stylesheet too large")
            << "mine" << named << QByteArray(17 * 1024, ' ')
            << "its stylesheet \"%1/themes/mine/theme.css\" is 17 KB, more than the 16 KB";
        QTest::newRow("unknown manifest key")
            << "mine" << QByteArray(R"({"name": "Mine", "colour": "1,2,3"})") << QByteArray()
            << "its theme.json has the unknown key \"colour\"";
        QTest::newRow("outside the themes folder")
            << "../templates" << named << QByteArray() << "a theme's name is its folder's";
        QTest::newRow("not there") << "gone" << named << QByteArray() << "there is no folder";
    }

    void themeIsUsedOrNamedWhyNot() {
        QFETCH(QString, theme);
        QFETCH(QByteArray, manifest);
        QFETCH(QByteArray, stylesheet);
        QFETCH(QString, why);
        FixtureApp app;
        if (!manifest.isEmpty())
            writeFile(app.path("themes/mine/theme.json"), manifest);
        if (!stylesheet.isEmpty())
            writeFile(app.path("themes/mine/theme.css"), stylesheet);
        writeFile(app.path("themes/mine/download.html"), "MINE [BODY]");
        FunnelSettings s = completeSettings(app.makePicture(QStringLiteral("cover.jpg")));
        s.theme = theme;
        const BuildOutcome outcome = build(app, s);
        QVERIFY2(outcome.built(), qPrintable(outcome.message));
        const QString warnings = outcome.warnings.join(u'\n');
        const QByteArray download = fileBytes(app.output(outcome.pages[2]));
        if (why.isEmpty()) {
            QVERIFY2(!warnings.contains("theme"), qPrintable(warnings));
            QCOMPARE(fileBytes(app.output("funnel.css")), "\n/* Theme: mine */\n.x{}");
            QVERIFY(download.startsWith("MINE <body"));
            return;
        }
        QVERIFY2(warnings.contains(why.replace("%1", app.path())), qPrintable(warnings));
        QVERIFY(warnings.contains("The pages were built in the Classic theme."));
        QVERIFY(!QFile::exists(app.output("funnel.css")));
        QVERIFY(!download.startsWith("MINE"));
    }

    void secondBuildReplacesTheFirst() {
        FixtureApp app;
        FunnelSettings s = completeSettings(app.makePicture(QStringLiteral("cover.jpg")));
        QVERIFY(build(app, s).built());
        // What a user or an older template set may have put there.
        const QMap<QString, QByteArray> own{
            {"sub/mine.txt", "user's own"}, {"mine/keep.txt", "kept"}, {".user", "hidden"}};
        for (const auto& [name, bytes] : own.asKeyValueRange())
            writeFile(app.output(name), bytes);
        writeFile(app.output(QStringLiteral("sub/asset.txt")), "edited");
        writeFile(app.output(QStringLiteral("notes.txt")), "old");
        // A picture chosen from inside the output folder survives its own rebuild.
        writeFile(app.output(QStringLiteral("mine.png")), fileBytes(app.output("cover-8.jpg")));
        s.lblSelectedFile[CoverImage] = {app.output("mine.png"), "mine.png"};
        const QByteArray cover = fileBytes(app.output(QStringLiteral("mine.png")));
        // A dangling link named like the next page must not lead the write outside.
        QVERIFY(QFile::link(app.path(QStringLiteral("outside.html")),
                            app.output(QStringLiteral("thanks3.html"))));
        // A background no encoder can shrink: a phone's cut of it is still heavy, and named.
        QImage noise(1080, 1920, QImage::Format_ARGB32);
        QRandomGenerator(38).fillRange(reinterpret_cast<quint32*>(noise.bits()), 1080 * 1920);
        QVERIFY(noise.save(app.path(QStringLiteral("bg.png"))));
        s.optBackground = 1;
        s.lblSelectedFile[BackgroundImage] = {app.path("bg.png"), "bg.png"};
        s.deriveFunnelLinks(3, 4);
        const BuildOutcome outcome = build(app, s);
        QVERIFY2(outcome.built(), qPrintable(outcome.message));
        for (const char* gone : {"thanks57.html", "download12.html", "notes.txt"})
            QVERIFY2(!QFileInfo::exists(app.output(QLatin1String(gone))), gone);
        for (const auto& [name, bytes] : own.asKeyValueRange())
            QCOMPARE(fileBytes(app.output(name)), bytes);
        QCOMPARE(fileBytes(app.output(QStringLiteral("sub/asset.txt"))), QByteArray("asset\n"));
        QCOMPARE(fileBytes(app.output(QStringLiteral("mine.png"))), cover);
        QVERIFY(QFileInfo::exists(app.output(QStringLiteral("bg-1080.webp"))));
        QVERIFY2(outcome.warnings.size() == 1 &&
                     outcome.warnings[0].contains("bg.png\" still weighs"),
                 qPrintable(outcome.warnings.join(u'\n')));
        QVERIFY(!QFileInfo::exists(app.path(QStringLiteral("outside.html"))));
        QVERIFY(fileBytes(app.output(QStringLiteral("thanks3.html"))).contains("download4.html"));
    }

    void phoneWeightCountsTheHeaviestVersion() {
        FixtureApp app;
        FunnelSettings s = completeSettings(app.makePicture(QStringLiteral("cover.jpg")));
        const BuildOutcome plain = build(app, s);
        QVERIFY(plain.built() && plain.warnings.isEmpty());
        QImage noise(1200, 1600, QImage::Format_ARGB32);
        QRandomGenerator(41).fillRange(reinterpret_cast<quint32*>(noise.bits()), 1200 * 1600);
        QVERIFY(noise.save(app.path(QStringLiteral("heavy.png"))));
        s.splitTest.others = {{{}, {app.path("heavy.png"), "heavy.png"}, {}}};
        const BuildOutcome tested = build(app, s);
        QVERIFY2(tested.built(), qPrintable(tested.message));
        QVERIFY2(tested.warnings.size() == 1 && tested.warnings[0].contains("heavy.png\" still"),
                 qPrintable(tested.warnings.join(u'\n')));
        QVERIFY(tested.phoneBytes > plain.phoneBytes + 400 * 1024);
    }

    void failureLeavesThePreviousFunnelAsItWas_data() {
        QTest::addColumn<Break>("breakIt");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing template") << Break([](FixtureApp& app, FunnelSettings&) {
            QFile::remove(app.path(QStringLiteral("templates/download.html")));
        }) << "download.html\" could not be read: it does not exist";
        QTest::newRow("needed snippet missing") << Break([](FixtureApp& app, FunnelSettings& s) {
            QFile::remove(app.path(QStringLiteral("snippets/dld_link.txt")));
            s.txtFileDownloadUrl = QStringLiteral("http://files.example/a.zip");
        }) << "dld_link.txt\" could not be read";
        QTest::newRow("cover is not a picture") << Break([](FixtureApp& app, FunnelSettings& s) {
            writeFile(app.path(QStringLiteral("passwd")), "root:x:0:0:root:/root:/bin/bash\n");
            s.lblSelectedFile[CoverImage] = {app.path(QStringLiteral("passwd")), "passwd"};
        }) << "passwd\" is not a picture a browser can show";
        QTest::newRow("split test: its field is one of the form's")
            << Break([](FixtureApp&, FunnelSettings& s) {
                   s.txtoptinForm = QStringLiteral("<form><input name=version></form>");
                   s.splitTest.others = {{QStringLiteral("B"), {}, {}}};
               })
            << "field \"version\" is a field of the opt-in form already";
        QTest::newRow("a template file has a published picture's name")
            << Break([](FixtureApp& app, FunnelSettings&) {
                   writeFile(app.path(QStringLiteral("templates/Cover-8.webp")), "mine");
               })
            << "would be published as \"cover-8.webp\", the name of a file the funnel needs";
        QTest::newRow("template folder holds a link loop")
            << Break([](FixtureApp& app, FunnelSettings&) {
                   QVERIFY(QFile::link(app.path(QStringLiteral("templates")),
                                       app.path(QStringLiteral("templates/sub/loop"))));
               })
            << "loop\" is a link";
        QTest::newRow("output folder is a link") << Break([](FixtureApp& app, FunnelSettings&) {
            QDir().rename(app.output(), app.path(QStringLiteral("elsewhere")));
            QVERIFY(QFile::link(app.path(QStringLiteral("elsewhere")), app.output()));
        }) << "templates\" is a link";
        QTest::newRow("page cannot be written") << Break([](FixtureApp& app, FunnelSettings&) {
            QDir().mkpath(app.path(QStringLiteral("templates/thanks57.html")));
        }) << "thanks57.html\" could not be written";
        // A thousand placeholders three levels deep would ask for some 60 GB.
        QTest::newRow("placeholders typed into fields multiply the page")
            << Break([](FixtureApp&, FunnelSettings& s) {
                   s.txtFunnel_LeadLine1 = QStringLiteral("[INSTRUCTIONS]").repeated(1000);
                   s.txtFunnel_Instructions = QStringLiteral("[OPTINFORM]").repeated(1000);
                   s.txtoptinForm = QStringLiteral("[PRIVACY]").repeated(1000);
               })
            << "the text of the opt-in form is put in 1,001,001 times";
        QTest::newRow("the pages' own placeholders typed in a field")
            << Break([](FixtureApp&, FunnelSettings& s) {
                   s.txtFunnel_LeadLine1 = QStringLiteral("[SOCIAL_META]").repeated(100000);
               })
            << "the text of the page's own words is put in";
        QTest::newRow("a form kept as pasted nests deeper than it may")
            << Break([](FixtureApp&, FunnelSettings& s) {
                   s.tidyOptinForm = false;
                   s.txtoptinForm = QStringLiteral("<table><tr><td>").repeated(50000);
               })
            << "The opt-in form nests its tags more than 200 deep (from line 1 on)";
        QTest::newRow("page addresses never derived")
            << Break([](FixtureApp&, FunnelSettings& s) { s.thankYouPageFile.clear(); })
            << "http://example.com/f";
    }

    void failureLeavesThePreviousFunnelAsItWas() {
        QFETCH(Break, breakIt);
        QFETCH(QString, message);
        FixtureApp app;
        FunnelSettings s = completeSettings(app.makePicture(QStringLiteral("cover.jpg")));
        QVERIFY(build(app, s).built());
        writeFile(app.output(QStringLiteral("sub/mine.txt")), "user's own");
        breakIt(app, s);
        // What the output shows (through a link too), and what a link leads to.
        const auto before = snapshot(app.path(QStringLiteral("output")));
        const auto elsewhere = snapshot(app.path(QStringLiteral("elsewhere")));
        const BuildOutcome outcome = build(app, s);
        QCOMPARE(outcome.kind, BuildOutcome::Kind::Failed);
        QVERIFY2(outcome.message.contains(message), qPrintable(outcome.message));
        QCOMPARE(snapshot(app.path(QStringLiteral("output"))), before);
        QCOMPARE(snapshot(app.path(QStringLiteral("elsewhere"))), elsewhere);
    }

    // The process dies between the two renames that swap the output: the next build
    // settles that swap first, keeping the user's files, and leaves nothing of either.
    void killedSwapIsSettledByTheNextBuild() {
        FixtureApp app;
        FunnelSettings s = completeSettings(app.makePicture(QStringLiteral("cover.jpg")));
        QVERIFY(build(app, s).built());
        writeFile(app.output(QStringLiteral(".htpasswd")), "ann:secret");
        writeFile(app.output(QStringLiteral("img/mine.png")), "mine");
        const pid_t child = fork();
        if (child == 0) {
            buildFaults::betweenRenames = [] { _exit(7); };
            build(app, s);
            _exit(0);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WEXITSTATUS(status) == 7 && !QFileInfo::exists(app.output()));
        writeFile(app.path(QStringLiteral("output/.tandrel-build-old/templates/x")), "stale");
        const BuildOutcome outcome = build(app, s);
        QVERIFY2(outcome.built(), qPrintable(outcome.message));
        QCOMPARE(fileBytes(app.output(QStringLiteral(".htpasswd"))), "ann:secret");
        QCOMPARE(fileBytes(app.output(QStringLiteral("img/mine.png"))), "mine");
        QCOMPARE(QDir(app.path(QStringLiteral("output")))
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 (QStringList{".picture-cache", "build-record.json", "build.lock", "templates"}));
        QVERIFY(recordMatches(readBuildRecord(AppPaths(app.path())).value(), s));
    }

    void missingOutputFolderIsReported() {
        FixtureApp app;
        // A plain file where the output root should be: the folders cannot be made.
        writeFile(app.path(QStringLiteral("output")), "");
        const BuildOutcome outcome =
            build(app, completeSettings(app.makePicture(QStringLiteral("cover.jpg"))));
        QCOMPARE(outcome.kind, BuildOutcome::Kind::Failed);
        QCOMPARE(outcome.message, QStringLiteral("The following folder is not present:%1 --- "
                                                 "Please create it or reinstall the software.")
                                      .arg(QDir::toNativeSeparators(app.output())));
    }
};

TANDREL_TEST(BuildTest)
#include "build_test.moc"
