#include "cli.h"
#include "funnelfixtures.h"

#include <QTest>

using namespace tandrel;
using namespace tandrel::test;

// A saved funnel whose address lacks its scheme still builds, with a warning.
class CliSchemeWarningTest : public QObject {
    Q_OBJECT

private slots:
    void warnsAndBuildsAsSaved() {
        FixtureApp app;
        app.makePicture(QStringLiteral("cover.jpg"));
        const QString funnel = app.path(QStringLiteral("f.funnel.json"));
        QFile file(funnel);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("{\"funnelUrl\": \"example.com/guide\", \"optinForm\": \"<form></form>\", "
                   "\"videoId\": \"abc\", \"coverImage\": \"pictures/cover.jpg\", "
                   "\"thankYouPageNumber\": 5, \"downloadPageNumber\": 6}");
        file.close();
        QString out;
        QString err;
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        const int status =
            cli::run({QStringLiteral("build"), funnel, QStringLiteral("--app-dir"), app.path()},
                     QStringLiteral("/nowhere"), outStream, errStream);
        QCOMPARE(status, 0);
        QVERIFY2(
            err.startsWith(QStringLiteral("Warning: the funnel address \"example.com/guide\"")),
            qPrintable(err));
        QVERIFY(out.startsWith(QStringLiteral("Thank you page: example.com/guide/thanks5.html\n")));
        QVERIFY(QFileInfo::exists(app.output(QStringLiteral("thanks5.html"))));
    }
};

TANDREL_TEST(CliSchemeWarningTest)
#include "schemewarning_test.moc"
