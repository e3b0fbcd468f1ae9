#include "cli.h"
#include "spincommands.h"
#include "testregistry.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace tandrel;

namespace {

struct Outcome {
    int status = -1;
    QString out;
    QString err;
    QString lastErrLine() const { return err.trimmed().split(u'\n').last(); }
};

Outcome runCli(const QStringList& arguments, const QString& appDir,
               const QByteArray& input = QByteArray()) {
    QByteArray bytes = input;
    QBuffer in(&bytes);
    Outcome outcome;
    QTextStream out(&outcome.out);
    QTextStream err(&outcome.err);
    outcome.status = cli::run(arguments, appDir, in, out, err);
    return outcome;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class SpinCommandsTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        QVERIFY(writeFile(path("rwdb.txt"), "{good|nice|fine}\n{big|large}\n"));
        QVERIFY(QDir(m_dir.path()).mkdir("other"));
        QVERIFY(writeFile(path("other/rwdb.txt"), "{good|fair}\n"));
        QVERIFY(writeFile(path("article.txt"), "the good dog\n"));
        QVERIFY(writeFile(path("crlf.txt"), "a good\r\nthe big dog.\r\n"));
        QVERIFY(writeFile(path("cp1252.txt"), "caf\xE9 good day"));
        QVERIFY(writeFile(path("groups.txt"), "{a|b|c} {d|e|f} {g|h|i} {j|k|l}"));
    }

    // The spin text exactly on standard output, the report last on standard error.
    void rewrite_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("report");

        const QString article = path("article.txt");
        QTest::newRow("file, default synonyms")
            << QStringList{"rewrite", article} << QByteArray() << "the {nice|fine} dog\n"
            << "1 Replacements on 3 words.";
        QTest::newRow("synonyms given")
            << QStringList{"rewrite", "--synonyms", path("other/rwdb.txt"), article} << QByteArray()
            << "the {fair} dog\n"
            << "1 Replacements on 3 words.";
        QTest::newRow("synonyms= form")
            << QStringList{"rewrite", "--synonyms=" + path("other/rwdb.txt"), article}
            << QByteArray() << "the {fair} dog\n"
            << "1 Replacements on 3 words.";
        QTest::newRow("application folder given")
            << QStringList{"rewrite", "--app-dir", path("other"), article} << QByteArray()
            << "the {fair} dog\n"
            << "1 Replacements on 3 words.";
        QTest::newRow("dash reads standard input")
            << QStringList{"rewrite", "-"} << QByteArray("a good, big dog")
            << "a {nice|fine}, {large} dog"
            << "2 Replacements on 4 words.";
        QTest::newRow("no file reads standard input")
            << QStringList{"rewrite"} << QByteArray("a good. b") << "a {nice|fine}. b"
            << "1 Replacements on 3 words.";
        QTest::newRow("line ends kept as they are")
            << QStringList{"rewrite", path("crlf.txt")} << QByteArray()
            << "a good\r\nthe {large} dog.\r\n"
            << "1 Replacements on 5 words.";
        QTest::newRow("Windows-1252 article")
            << QStringList{"rewrite", path("cp1252.txt")} << QByteArray()
            << QStringLiteral("caf\u00e9 {nice|fine} day") << "1 Replacements on 3 words.";
        QTest::newRow("empty standard input") << QStringList{"rewrite", "-"} << QByteArray()
                                              << QString() << "0 Replacements on 0 words.";
    }
    void rewrite() {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, input);
        QFETCH(QString, out);
        QFETCH(QString, report);
        const Outcome outcome = runCli(arguments, m_dir.path(), input);
        QCOMPARE(outcome.status, 0);
        QCOMPARE(outcome.out, out);
        QCOMPARE(outcome.lastErrLine(), report);
    }

    void spin_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("out");

        QTest::newRow("one alternative")
            << QStringList{"spin"} << QByteArray("the {nice} dog\n") << "the nice dog\n";
        QTest::newRow("unbalanced kept")
            << QStringList{"spin", "-"} << QByteArray("a } b { c|d") << "a } b { c|d";
        QTest::newRow("from a file")
            << QStringList{"spin", path("article.txt")} << QByteArray() << "the good dog\n";
    }
    void spin() {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, input);
        QFETCH(QString, out);
        const Outcome outcome = runCli(arguments, m_dir.path(), input);
        QCOMPARE(outcome.status, 0);
        QCOMPARE(outcome.out, out);
        QCOMPARE(outcome.err, QString());
    }

    void seedMakesRunsRepeatable_data() {
        QTest::addColumn<QString>("command");
        QTest::newRow("spin") << "spin";
        QTest::newRow("rewrite") << "rewrite";
    }
    void seedMakesRunsRepeatable() {
        QFETCH(QString, command);
        const QString file = path("groups.txt");
        const Outcome first = runCli({command, "--seed", "12345", file}, m_dir.path());
        const Outcome again = runCli({command, "--seed=12345", file}, m_dir.path());
        QCOMPARE(first.status, 0);
        QCOMPARE(again.out, first.out);
        QSet<QString> variants;
        for (int seed = 0; seed < 10; ++seed)
            variants.insert(
                runCli({command, "--seed", QString::number(seed), file}, m_dir.path()).out);
        QVERIFY(variants.size() > 5);
    }

    // One sentence on standard error that names the fault, nothing on standard output.
    void errors_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("named");

        const QString missing = path("missing.txt");
        QTest::newRow("missing article")
            << QStringList{"rewrite", missing} << QDir::toNativeSeparators(missing);
        QTest::newRow("missing synonyms")
            << QStringList{"rewrite", "--synonyms", path("none.txt"), path("article.txt")}
            << QDir::toNativeSeparators(path("none.txt"));
        QTest::newRow("no rwdb.txt in the application folder")
            << QStringList{"rewrite", "--app-dir", path("empty"), path("article.txt")}
            << QDir::toNativeSeparators(path("empty/rwdb.txt"));
        QTest::newRow("missing file to spin")
            << QStringList{"spin", missing} << QDir::toNativeSeparators(missing);
        QTest::newRow("a device to spin")
            << QStringList{"spin", "/dev/zero"} << "\"/dev/zero\" is not an ordinary file";
        QTest::newRow("a device as synonyms")
            << QStringList{"rewrite", "--synonyms", "/dev/zero", path("article.txt")}
            << "\"/dev/zero\" is not an ordinary file";
        QTest::newRow("two articles")
            << QStringList{"rewrite", path("article.txt"), path("article.txt")}
            << "The rewrite command takes one file";
        QTest::newRow("seed not a number") << QStringList{"spin", "--seed", "abc"} << "--seed";
        QTest::newRow("negative seed") << QStringList{"spin", "--seed=-1"} << "--seed";
        QTest::newRow("seed missing") << QStringList{"spin", "--seed"} << "--seed";
        QTest::newRow("synonyms missing") << QStringList{"rewrite", "--synonyms"} << "--synonyms";
        QTest::newRow("unknown option") << QStringList{"rewrite", "--fast"} << "--fast";
    }
    void errors() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, named);
        const Outcome outcome = runCli(arguments, m_dir.path(), "a good day");
        QCOMPARE(outcome.status, 1);
        QCOMPARE(outcome.out, QString());
        QVERIFY2(outcome.err.contains(named), qPrintable(outcome.err));
        QCOMPARE(outcome.err.count(u'\n'), qsizetype(1));
    }

    void helpNamesTheCommands() {
        const Outcome outcome = runCli({"--help"}, m_dir.path());
        QCOMPARE(outcome.status, 0);
        QVERIFY(outcome.out.contains(
            "tandrel-cli rewrite [--synonyms FILE] [--app-dir DIR] [--seed N] [ARTICLE|-]"));
        QVERIFY(outcome.out.contains("tandrel-cli spin [--seed N] [FILE|-]"));
    }
};

TANDREL_TEST(SpinCommandsTest)
#include "spincommands_test.moc"
