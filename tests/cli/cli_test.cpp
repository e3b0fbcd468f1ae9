#include "cli.h"
#include "funnelfixtures.h"

#include <QProcess>
#include <QTest>

using namespace tandrel;
using namespace tandrel::test;

class CliTest : public QObject {
    Q_OBJECT

    struct Run {
        int status;
        QString out;
        QString err;
    };

    static Run run(const QStringList& arguments, const QString& appDir) {
        QString out;
        QString err;
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        const int status = cli::run(arguments, appDir, outStream, errStream);
        return {status, out, err};
    }

    static QString writeFunnel(const FixtureApp& app, const QByteArray& json) {
        const QString path = app.path(QStringLiteral("my.funnel.json"));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(json) != json.size())
            qFatal("cannot write funnel file");
        return path;
    }

    static QByteArray complete(const QString& cover = QStringLiteral("pictures/cover.jpg")) {
        return "{\"funnelUrl\": \"http://example.com/f\", \"optinForm\": \"<form></form>\", "
               "\"videoId\": \"abc\", \"coverImage\": \"" +
               cover.toUtf8() +
               "\", "
               "\"thankYouPageNumber\": 5, \"downloadPageNumber\": 6}";
    }

private slots:
    void buildPrintsAddressesAndFolder() {
        FixtureApp app;
        app.makePicture(QStringLiteral("cover.jpg"));
        const Run r = run({QStringLiteral("build"), writeFunnel(app, complete()),
                           QStringLiteral("--app-dir"), app.path()},
                          QStringLiteral("/nowhere"));
        QCOMPARE(r.err, QString());
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QStringLiteral("Thank you page: http://example.com/f/thanks5.html\n"
                                       "Download page:  http://example.com/f/download6.html\n"
                                       "Output folder:  %1\n")
                            .arg(QDir::toNativeSeparators(app.output())));
        QVERIFY(QFileInfo::exists(app.output(QStringLiteral("thanks5.html"))));
        QVERIFY(QFileInfo::exists(app.output(QStringLiteral("cover.jpg"))));
    }

    void exitStatuses_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QStringList>("extraArguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error");
        QTest::newRow("missing info")
            << QByteArray("{\"funnelUrl\": \"http://\"}") << QStringList() << 2
            << "Please enter the url where you'll upload this funnel.\n";
        QTest::newRow("cover missing") << complete(QString()) << QStringList() << 2
                                       << "Please select a cover image for your lead magnet.\n";
        QTest::newRow("broken file")
            << QByteArray("{\"layoutColumns\": 7}") << QStringList() << 1 << "layoutColumns";
        QTest::newRow("cover gone")
            << complete(QStringLiteral("pictures/gone.jpg")) << QStringList() << 1 << "gone.jpg";
        QTest::newRow("unknown option") << complete() << QStringList{"--fast"} << 1 << "--fast";
        QTest::newRow("app dir without templates")
            << complete() << QStringList{"--app-dir", "/nonexistent"} << 1 << "progressbar.htm";
    }

    void exitStatuses() {
        QFETCH(QByteArray, json);
        QFETCH(QStringList, extraArguments);
        QFETCH(int, status);
        QFETCH(QString, error);
        FixtureApp app;
        app.makePicture(QStringLiteral("cover.jpg"));
        const Run r =
            run(QStringList{QStringLiteral("build"), writeFunnel(app, json)} + extraArguments,
                app.path());
        QCOMPARE(r.status, status);
        QVERIFY2(r.err.contains(error), qPrintable(r.err));
        QCOMPARE(r.out, QString());
    }

    void usage() {
        const Run help = run({QStringLiteral("--help")}, QString());
        QCOMPARE(help.status, 0);
        QVERIFY(help.out.contains(
            QStringLiteral("tandrel-cli build FUNNEL.funnel.json [--app-dir DIR]")));
        QCOMPARE(run({}, QString()).status, 1);
        QCOMPARE(run({QStringLiteral("build")}, QString()).status, 1);
        QCOMPARE(run({QStringLiteral("publish")}, QString()).status, 1);
        const Run device = run({QStringLiteral("build"), QStringLiteral("/dev/zero")}, QString());
        QCOMPARE(device.status, 1);
        QVERIFY2(device.err.contains(QStringLiteral("is not an ordinary file")),
                 qPrintable(device.err));
    }

    // The real program with its standard input closed, as a script or CI runs it.
    void programNeverWaitsForInput() {
        FixtureApp app;
        app.makePicture(QStringLiteral("cover.jpg"));
        QProcess process;
        process.setProgram(QStringLiteral(TANDREL_BINARY_DIR "/tandrel-cli"));
        process.setArguments({QStringLiteral("build"), writeFunnel(app, complete()),
                              QStringLiteral("--app-dir"), app.path()});
        process.start();
        process.closeWriteChannel();
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(process.readAllStandardOutput().contains("thanks5.html"));
    }
};

TANDREL_TEST(CliTest)
#include "cli_test.moc"
