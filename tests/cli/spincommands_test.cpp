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
        QVERIFY(writeFile(path("groups.txt"), "{a|b|c} {d|e|f} {g|h|i} {j|k|l}"));
    }

    // The result exactly on standard output and, for a rewrite, the report on
    // standard error; a failure is one sentence there naming the fault.
    void commands_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");

        const QString article = path("article.txt");
        const QString other = path("other/rwdb.txt");
        const QString missing = path("missing.txt");
        const QString report = QStringLiteral("1 Replacements on 3 words.");
        const auto row = [](const char* name, const QStringList& arguments, const char* input,
                            int status, const QString& out, const QString& err) {
            QTest::newRow(name) << arguments << QByteArray(input) << status << out << err;
        };
        row("rewrite a file", {"rewrite", article}, "", 0, "the {nice|fine} dog\n", report);
        row("rewrite, synonyms given", {"rewrite", "--synonyms", other, article}, "", 0,
            "the {fair} dog\n", report);
        row("rewrite, application folder given", {"rewrite", "--app-dir", path("other"), article},
            "", 0, "the {fair} dog\n", report);
        row("rewrite, dash reads standard input", {"rewrite", "-"}, "a good. b", 0,
            "a {nice|fine}. b", report);
        row("rewrite, no file reads standard input", {"rewrite"}, "a good, b", 0,
            "a {nice|fine}, b", report);
        row("spin a file", {"spin", article}, "", 0, "the good dog\n", "");
        row("spin, dash reads standard input", {"spin", "-"}, "{a}", 0, "a", "");
        row("spin, no file reads standard input", {"spin"}, "the {nice} dog", 0, "the nice dog",
            "");
        const QString shown = QDir::toNativeSeparators(missing);
        row("missing article", {"rewrite", missing}, "", 1, "", shown);
        row("missing file to spin", {"spin", missing}, "", 1, "", shown);
        row("missing synonyms", {"rewrite", "--synonyms", missing, article}, "", 1, "", shown);
        row("two articles", {"rewrite", article, article}, "", 1, "",
            "The rewrite command takes one file");
        row("seed not a number", {"spin", "--seed", "abc"}, "", 1, "", "--seed");
        row("negative seed", {"spin", "--seed=-1"}, "", 1, "", "--seed");
        row("synonyms missing", {"rewrite", "--synonyms"}, "", 1, "", "--synonyms");
    }
    void commands() {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, input);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const Outcome outcome = runCli(arguments, m_dir.path(), input);
        QCOMPARE(outcome.status, status);
        QCOMPARE(outcome.out, out);
        QVERIFY2(outcome.err.contains(err), qPrintable(outcome.err));
        QCOMPARE(outcome.err.count(u'\n'), qsizetype(err.isEmpty() ? 0 : 1));
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
};

TANDREL_TEST(SpinCommandsTest)
#include "spincommands_test.moc"
