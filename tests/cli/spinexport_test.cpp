#include "cli.h"
#include "testregistry.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace tandrel;

// tandrel-cli spin --count N --out DIR, and the options the parser now reads.
class SpinExportTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString write(const QString& name, const QByteArray& bytes) {
        QFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(name));
        return file.fileName();
    }
    int run(const QStringList& arguments, QString& out, QString& err) {
        QByteArray none;
        QBuffer in(&none);
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        return cli::run(arguments, m_dir.path(), in, outStream, errStream);
    }

private slots:
    void countVariantsIntoFiles() {
        const QString text = write("offer.txt", "{a|b|c} {d|e|f}\r\nend");
        const QString folder = m_dir.filePath("made/here");
        QString out, err;
        QCOMPARE(run({"spin", "--seed", "5", "--count", "4", "--out", folder, text}, out, err), 0);
        QCOMPARE(err, QString());
        const QStringList paths = out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(paths.size(), 4);
        QSet<QByteArray> variants;
        for (const QString& path : paths) {
            QCOMPARE(QFileInfo(path).dir().absolutePath(), QDir(folder).absolutePath());
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            QVERIFY2(QRegularExpression("^[abc] [def]\r\nend$").match(bytes).hasMatch(), bytes);
            variants.insert(bytes);
        }
        QCOMPARE(variants.size(), 4);
        QVERIFY(paths.first().endsWith(QDir::toNativeSeparators("/offer-01.txt")));

        // A second run never replaces the files of the first.
        out.clear();
        QCOMPARE(run({"spin", "--count=2", "--out", folder, text}, out, err), 1);
        QVERIFY2(err.contains("already exists; no variant was written"), qPrintable(err));
        QCOMPARE(out, QString());
    }

    void fewerVariantsThanAsked() {
        const QString text = write("small.txt", "x {a|b}");
        QString out, err;
        QCOMPARE(run({"spin", "--out", m_dir.filePath("small"), text}, out, err), 0);
        QCOMPARE(out.count(u'\n'), 2);
        QCOMPARE(err,
                 QStringLiteral("The text has only 2 different variants of the 10 asked for.\n"));
    }

    void optionMessages_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("version") << QStringList{"--version"} << 0 << "tandrel-cli "
                                 << "";
        QTest::newRow("value missing at the end") << QStringList{"spin", "--out"} << 1 << ""
                                                  << "The option --out needs a folder.";
        QTest::newRow("single-dash word") << QStringList{"spin", "-fast"} << 1 << ""
                                          << "The option -fast is unknown";
    }
    void optionMessages() {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QString printed, errors;
        QCOMPARE(run(arguments, printed, errors), status);
        QVERIFY2(out.isEmpty() ? printed.isEmpty() : printed.startsWith(out), qPrintable(printed));
        QVERIFY2(errors.contains(err), qPrintable(errors));
    }
};

TANDREL_TEST(SpinExportTest)
#include "spinexport_test.moc"
