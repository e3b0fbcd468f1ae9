#include "buildrecord.h"
#include "cli.h"
#include "funnelfixtures.h"

#include <QBuffer>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

#include <signal.h>
#include <sys/resource.h>

using namespace tandrel;
using namespace tandrel::test;

// The commands themselves: what they print, write and return. The layers
// below (decoding, the build's checks, the rewrite) have their own tests.
class CliTest : public QObject {
    Q_OBJECT

    FixtureApp app;

    struct Outcome {
        int status = -1;
        QString out;
        QString err;
    };
    Outcome run(const QStringList& arguments, const QByteArray& input = QByteArray(),
                const QString& defaultAppDir = QString()) {
        QByteArray bytes = input;
        QBuffer in(&bytes);
        Outcome outcome;
        QTextStream out(&outcome.out);
        QTextStream err(&outcome.err);
        outcome.status =
            cli::run(arguments, defaultAppDir.isEmpty() ? app.path() : defaultAppDir, in, out, err);
        return outcome;
    }
    QString write(const QString& name, const QByteArray& bytes) {
        return writeFile(app.path(name), bytes);
    }
    static QByteArray funnel(const QByteArray& url = "http://example.com/f",
                             const QByteArray& cover = "pictures/cover.jpg") {
        return "{\"funnelUrl\": \"" + url +
               "\", \"optinForm\": \"<form></form>\", \"videoId\": \"abc\", \"coverImage\": \"" +
               cover + "\", \"thankYouPageNumber\": 5, \"downloadPageNumber\": 6}";
    }

private slots:
    void initTestCase() {
        app.makePicture(QStringLiteral("cover.jpg"));
        write("rwdb.txt", "{good|nice|fine}\n{big|large}\n");
        write("other/rwdb.txt", "{good|fair}\n");
        write("article.txt", "the good dog\n");
        write("groups.txt", "{a|b|c} {d|e|f} {g|h|i} {j|k|l}");
    }

    // FUNNEL stands for a funnel file holding json, OUTPUT for the output folder.
    // The result exactly on standard output ("*" ends a prefix); a failure is one
    // line on standard error naming the fault (no arguments: the usage).
    void commands_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("json"); // or standard input
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const auto row = [](const char* name, const QStringList& arguments, const QByteArray& json,
                            int status, const QString& out, const QString& err) {
            QTest::newRow(name) << arguments << json << status << out << err;
        };
        const QString built =
            QStringLiteral("Thank you page: %1/thanks5.html\n"
                           "Download page:  %1/download6.html\n"
                           "Output folder:  OUTPUT\n"
                           "On a phone 360 px wide the opt-in page loads 1 KB.\n");
        row("build, sample texts left", {"build", "FUNNEL"}, funnel(), 0,
            built.arg("http://example.com/f"),
            "these texts are still the samples the window starts with: Headline, Instructions, "
            "Privacy Policy, Website Footer Text, Soft Redirect (first message), Soft Redirect "
            "(second message), Thank You Headline, Link Title.\n");
        row("build, address without a scheme, warns", {"build", "FUNNEL"}, funnel("example.com/g"),
            0, built.arg("example.com/g"), "Warning: the funnel address \"example.com/g\"");
        row("build, missing info", {"build", "FUNNEL"}, "{\"funnelUrl\": \"http://\"}", 2, "",
            "Please enter the url where you'll upload this funnel.\n");
        row("build, broken file", {"build", "FUNNEL"}, "{\"layoutColumns\": 7}", 1, "",
            "layoutColumns");
        row("build fails", {"build", "FUNNEL"}, funnel("http://e.com", "pictures/gone.jpg"), 1, "",
            "gone.jpg");
        row("build, unknown option", {"build", "FUNNEL", "--fast"}, funnel(), 1, "", "--fast");
        row("build, no file", {"build"}, "", 1, "", "needs exactly one saved funnel file");
        row("build, application folder missing", {"build", "FUNNEL", "--app-dir", "/nowhere/app"},
            funnel(), 1, "", "The application folder \"/nowhere/app\" does not exist.");
        row("unknown command", {"deploy"}, "", 1, "", "\"deploy\" is unknown");
        row("version", {"--version"}, "", 0, "tandrel-cli *", "");
        row("no arguments, the usage", {}, "", 1, "", "Usage:");

        const QString report = QStringLiteral("1 Replacements on 3 words.");
        row("rewrite a file", {"rewrite", "article.txt"}, "", 0, "the {nice|fine} dog\n", report);
        row("rewrite, synonyms given", {"rewrite", "--synonyms", "other/rwdb.txt", "article.txt"},
            "", 0, "the {fair} dog\n", report);
        row("rewrite, application folder given", {"rewrite", "--app-dir", "other", "article.txt"},
            "", 0, "the {fair} dog\n", report);
        row("rewrite reads standard input", {"rewrite"}, "a good, b", 0, "a {nice|fine}, b",
            report);
        row("rewrite keeping the original", {"rewrite", "--keep-original", "article.txt"}, "", 0,
            "the {good|nice|fine} dog\n", report + "\n3 different variants; two variants differ");
        row("spin, dash reads standard input", {"spin", "-"}, "the {nice} dog", 0, "the nice dog",
            "");
        row("missing article", {"rewrite", "missing.txt"}, "", 1, "", "missing.txt");
        row("missing synonyms", {"rewrite", "--synonyms", "missing.txt", "article.txt"}, "", 1, "",
            "missing.txt");
        row("two articles", {"rewrite", "article.txt", "article.txt"}, "", 1, "",
            "The rewrite command takes one file");
        row("seed not a number", {"spin", "--seed", "abc"}, "", 1, "", "--seed");
        row("negative seed", {"spin", "--seed=-1"}, "", 1, "", "--seed");
        row("value missing at the end", {"spin", "--out"}, "", 1, "",
            "The option --out needs a folder.");
        row("single-dash word", {"spin", "-fast"}, "", 1, "", "The option -fast is unknown");
    }

    void commands() {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, json);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const bool funnelFile = arguments.contains(QStringLiteral("FUNNEL"));
        if (funnelFile)
            arguments.replaceInStrings(QStringLiteral("FUNNEL"), write("my.funnel.json", json));
        else
            for (QString& argument : arguments)
                if (QFileInfo::exists(app.path(argument)) || argument.startsWith("missing"))
                    argument = app.path(argument);
        // A build that succeeds finds its templates through --app-dir alone.
        const bool builds = funnelFile && status == 0;
        if (builds)
            arguments << QStringLiteral("--app-dir") << app.path();
        out.replace(QStringLiteral("OUTPUT"), QDir::toNativeSeparators(app.output()));
        const Outcome outcome = run(arguments, funnelFile ? QByteArray() : json,
                                    builds ? QStringLiteral("/nowhere") : QString());
        QCOMPARE(outcome.status, status);
        if (out.endsWith(u'*'))
            QVERIFY2(outcome.out.startsWith(out.chopped(1)), qPrintable(outcome.out));
        else
            QCOMPARE(outcome.out, out);
        QVERIFY2(err.isEmpty() ? outcome.err.isEmpty() : outcome.err.contains(err),
                 qPrintable(outcome.err));
        if (status != 0 && !arguments.isEmpty())
            QVERIFY2(outcome.err.count(u'\n') <= 1, qPrintable(outcome.err));
        if (builds)
            QVERIFY(QFileInfo::exists(app.output(QStringLiteral("thanks5.html"))));
    }

    // The README shows every command and no command or option the help lacks;
    // the manual page is made from the help's own text.
    void readmeFollowsTheHelp() {
        const QString help = run({"--help"}).out;
        QString readme = QString::fromUtf8(fileBytes(shippedDataDir() + "/../README.md"));
        readme.replace("\\\n", " ");
        QSet<QString> commands[2];
        static const QRegularExpression command("^  tandrel-cli ([a-z]+)",
                                                QRegularExpression::MultilineOption);
        for (auto it = command.globalMatch(help); it.hasNext();)
            commands[0].insert(it.next().captured(1));
        static const QRegularExpression call("tandrel-cli ([^`#\\n]+)");
        for (auto it = call.globalMatch(readme); it.hasNext();) {
            const QStringList words = it.next().captured(1).split(u' ', Qt::SkipEmptyParts);
            if (words.first().contains(QRegularExpression("^[a-z]+$")))
                commands[1].insert(words.first());
            for (const QString& word : words.filter(QRegularExpression("^--[a-z]")))
                QVERIFY2(help.contains(QRegularExpression(
                             QRegularExpression::escape(word.section(u'=', 0, 0)) + "(?![\\w-])")),
                         qPrintable(word));
        }
        QCOMPARE(commands[1], commands[0]);
    }

    // One seeding for every command.
    void seedMakesRunsRepeatable() {
        const QString file = app.path("groups.txt");
        const Outcome first = run({"spin", "--seed", "12345", file});
        QCOMPARE(first.status, 0);
        QCOMPARE(run({"spin", "--seed=12345", file}).out, first.out);
        QSet<QString> variants;
        for (int seed = 0; seed < 10; ++seed)
            variants.insert(run({"spin", "--seed", QString::number(seed), file}).out);
        QVERIFY(variants.size() > 5);
    }

    void spinCountWritesDistinctVariantsOnce() {
        const QString text = write("offer.txt", "{a|b|c} {d|e|f}\r\nend");
        const QString folder = app.path("made/here");
        Outcome outcome = run({"spin", "--seed", "5", "--count", "4", "--out", folder, text});
        QCOMPARE(outcome.status, 0);
        QCOMPARE(outcome.err, QString());
        const QStringList paths = outcome.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(paths.size(), 4);
        QSet<QByteArray> variants;
        for (const QString& path : paths) {
            QCOMPARE(QFileInfo(path).dir().absolutePath(), QDir(folder).absolutePath());
            const QByteArray bytes = fileBytes(path);
            QVERIFY2(QRegularExpression("^[abc] [def]\r\nend$").match(bytes).hasMatch(), bytes);
            variants.insert(bytes);
        }
        QCOMPARE(variants.size(), 4);
        QVERIFY(paths.first().endsWith(QDir::toNativeSeparators("/offer-01.txt")));

        // A second run never replaces the files of the first.
        outcome = run({"spin", "--count=2", "--out", folder, text});
        QCOMPARE(outcome.status, 1);
        QVERIFY2(outcome.err.contains("already exists; no variant was written"),
                 qPrintable(outcome.err));
        QCOMPARE(outcome.out, QString());

        for (const auto& [few, made] : {std::pair{"x {a|b}", 2}, {"x {a|a}", 1}}) {
            outcome = run({"spin", "--out", app.path(few), write("few.txt", few)});
            QVERIFY(outcome.status == 0 && outcome.out.count(u'\n') == made);
            QCOMPARE(outcome.err, QStringLiteral("The text has only %1 of the 10 asked for.\n")
                                      .arg(made == 1 ? "1 variant" : "2 different variants"));
        }
    }

    // Of nine variants at most three differ from each other in both groups (half
    // their words): the rest are not written, and the shortfall is said.
    void spinCountKeepsTheFloor() {
        const QString text = write("floor.txt", "{a|b|c} {d|e|f}\r\nend");
        const Outcome outcome = run({"spin", "--seed", "3", "--count", "10", "--min-difference",
                                     "50", "--out", app.path("floor"), text});
        QCOMPARE(outcome.status, 0);
        QCOMPARE(outcome.err, QStringLiteral("Wrote 3 of 10 variants: the others were within 50% "
                                             "of one already written.\n"));
        QSet<QByteArray> firsts, seconds;
        for (const QString& path : outcome.out.split(u'\n', Qt::SkipEmptyParts)) {
            firsts.insert(fileBytes(path).left(1));
            seconds.insert(fileBytes(path).mid(2, 1));
        }
        QVERIFY(firsts.size() == 3 && seconds.size() == 3);
    }

    // Standard output is always UTF-8; a file keeps the article's own bytes.
    void rewriteOutKeepsEncodingAndLineEnds() {
        const QString result = app.path("spun.txt");
        const Outcome outcome =
            run({"rewrite", "--out", result, write("latin.txt", "caf\xe9 good dog\r\nend")});
        QCOMPARE(outcome.status, 0);
        QCOMPARE(outcome.out, QString());
        QCOMPARE(fileBytes(result), QByteArray("caf\xe9 {nice|fine} dog\r\nend"));
    }

    // A real export killed half-way leaves nothing a user would see or that
    // stops the next export: its files have no name yet or, allowed few open
    // files, are hidden parts that the next export removes. Variants go to disk
    // one at a time: 100 of a 2 MB text in far less memory than they take together.
    void killedExportLeavesNothing_data() {
        QTest::addColumn<int>("openFiles"); // the limit; 0 leaves it
        QTest::newRow("files without a name") << 0;
        QTest::newRow("hidden part files") << 64;
    }
    void killedExportLeavesNothing() {
        QFETCH(int, openFiles);
#ifdef __SANITIZE_ADDRESS__ // ten times slower, and no memory limit below
        const int repeats = 5500;
#else
        const int repeats = 55000; // 2 MB
#endif
        const QString file = write(
            "large.txt", QByteArray("the {good|nice|fine} dog {big|large} ").repeated(repeats));
        const QDir dir(app.path(QTest::currentDataTag()));
        QVERIFY(dir.mkpath(dir.path()));
        const auto spin = [&](QProcess& process, const char* count) {
            process.setChildProcessModifier([openFiles] {
                const rlimit files{rlim_t(openFiles), rlim_t(openFiles)};
                if (openFiles > 0)
                    setrlimit(RLIMIT_NOFILE, &files);
#ifndef __SANITIZE_ADDRESS__ // it reserves more address space than any limit leaves
                const rlimit memory{400ull << 20, 400ull << 20};
                setrlimit(RLIMIT_AS, &memory);
#endif
            });
            process.start(QStringLiteral(TANDREL_BINARY_DIR "/tandrel-cli"),
                          {"spin", "--count", count, "--out", dir.path(), file});
        };
        QProcess killed;
        // Other names than the next export's, whose own files cannot hide what is left.
        spin(killed, "1000");
        QVERIFY(killed.waitForStarted());
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(killed.processId()));
        const auto written = [&] { // and not named yet
            qsizetype files = dir.entryList({".*.part"}, QDir::Files | QDir::Hidden).size();
            for (const QString& fd : fds.entryList(QDir::Files | QDir::System))
                files += QFileInfo(fds.filePath(fd))
                             .symLinkTarget()
                             .startsWith(dir.canonicalPath() + "/#");
            return files;
        };
        QTRY_VERIFY_WITH_TIMEOUT(written() >= 5, 120000);
        ::kill(pid_t(killed.processId()), SIGKILL);
        QVERIFY(killed.waitForFinished());
        QCOMPARE(dir.entryList(openFiles ? QDir::Files : QDir::Files | QDir::Hidden),
                 QStringList());

        QProcess process;
        spin(process, "100");
        QVERIFY(process.waitForFinished(300000));
        QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
        QCOMPARE(dir.entryList(QDir::Files | QDir::Hidden).size(), 100);
    }

    // Two real programs building into one folder at once take turns, so the record
    // describes the pages beside it; a build that cannot get its turn says so.
    // Their standard input stays open: a program that waited for it would hang.
    void buildsInTwoProcessesTakeTurns() {
        QProcess builds[3];
        const auto start = [&](int i, const QByteArray& url) {
            builds[i].start(QStringLiteral(TANDREL_BINARY_DIR "/tandrel-cli"),
                            {"build", write(url.mid(7, 1) + ".funnel.json", funnel(url)),
                             "--app-dir", app.path()});
        };
        start(0, "http://a.example/f");
        start(1, "http://b.example/f");
        QVERIFY(builds[0].waitForFinished(30000) && builds[1].waitForFinished(30000));
        QCOMPARE(builds[0].exitCode() + builds[1].exitCode(), 0);
        const AppPaths paths(app.path());
        const QString download = readBuildRecord(paths).value().pageUrls.at(2);
        QVERIFY(fileBytes(app.output("thanks5.html")).contains(download.toUtf8()));

        const auto publishing = lockOutput(paths, FileLock::Mode::Shared);
        start(2, "http://c.example/f");
        QVERIFY(builds[2].waitForFinished(30000) && builds[2].exitCode() == 1);
        QVERIFY(builds[2].readAllStandardError().contains("is in use by another build"));
        QCOMPARE(readBuildRecord(paths).value().pageUrls.at(2), download);
    }
};

TANDREL_TEST(CliTest)
#include "cli_test.moc"
