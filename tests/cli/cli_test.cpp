#include "cli.h"
#include "funnelfixtures.h"

#include <QProcess>
#include <QTest>

using namespace tandrel;
using namespace tandrel::test;

// The build command only: the layers below have their own tests.
class CliTest : public QObject {
    Q_OBJECT

    FixtureApp app;

    QString writeFunnel(const QByteArray& json) {
        const QString path = app.path(QStringLiteral("my.funnel.json"));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(json) != json.size())
            qFatal("cannot write funnel file");
        return path;
    }

    static QByteArray complete(const QByteArray& cover = "pictures/cover.jpg") {
        return "{\"funnelUrl\": \"http://example.com/f\", \"optinForm\": \"<form></form>\", "
               "\"videoId\": \"abc\", \"coverImage\": \"" +
               cover + "\", \"thankYouPageNumber\": 5, \"downloadPageNumber\": 6}";
    }

private slots:
    void initTestCase() { app.makePicture(QStringLiteral("cover.jpg")); }

    void buildPrintsAddressesAndFolder() {
        QString out;
        QString err;
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        const int status = cli::run({QStringLiteral("build"), writeFunnel(complete()),
                                     QStringLiteral("--app-dir"), app.path()},
                                    QStringLiteral("/nowhere"), outStream, errStream);
        QCOMPARE(err, QString());
        QCOMPARE(status, 0);
        QCOMPARE(out, QStringLiteral("Thank you page: http://example.com/f/thanks5.html\n"
                                     "Download page:  http://example.com/f/download6.html\n"
                                     "Output folder:  %1\n")
                          .arg(QDir::toNativeSeparators(app.output())));
        QVERIFY(QFileInfo::exists(app.output(QStringLiteral("thanks5.html"))));
    }

    // FUNNEL stands for a funnel file holding json.
    void exitStatuses_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error");
        QTest::newRow("missing info")
            << QStringList{"build", "FUNNEL"} << QByteArray("{\"funnelUrl\": \"http://\"}") << 2
            << "Please enter the url where you'll upload this funnel.\n";
        QTest::newRow("broken file")
            << QStringList{"build", "FUNNEL"} << QByteArray("{\"layoutColumns\": 7}") << 1
            << "layoutColumns";
        QTest::newRow("build fails")
            << QStringList{"build", "FUNNEL"} << complete("pictures/gone.jpg") << 1 << "gone.jpg";
        QTest::newRow("unknown option")
            << QStringList{"build", "FUNNEL", "--fast"} << complete() << 1 << "--fast";
        QTest::newRow("no file") << QStringList{"build"} << QByteArray() << 1
                                 << "needs exactly one saved funnel file";
        QTest::newRow("unknown command")
            << QStringList{"deploy"} << QByteArray() << 1 << "\"deploy\" is unknown";
        QTest::newRow("nothing") << QStringList{} << QByteArray() << 1 << "Usage:";
    }

    void exitStatuses() {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, json);
        QFETCH(int, status);
        QFETCH(QString, error);
        arguments.replaceInStrings(QStringLiteral("FUNNEL"), writeFunnel(json));
        QString out;
        QString err;
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        QCOMPARE(cli::run(arguments, app.path(), outStream, errStream), status);
        QVERIFY2(err.contains(error), qPrintable(err));
        QCOMPARE(out, QString());
    }

    // The real program, with its standard input closed as a script or CI runs it.
    void programNeverWaitsForInput() {
        QProcess process;
        process.start(QStringLiteral(TANDREL_BINARY_DIR "/tandrel-cli"),
                      {QStringLiteral("build"), writeFunnel(complete()),
                       QStringLiteral("--app-dir"), app.path()});
        process.closeWriteChannel();
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(process.readAllStandardOutput().contains("thanks5.html"));
    }
};

TANDREL_TEST(CliTest)
#include "cli_test.moc"
