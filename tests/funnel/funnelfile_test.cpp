#include "funnelfile.h"
#include "testregistry.h"
#include "textfiles.h"

#include <QTemporaryDir>
#include <QTest>

using namespace tandrel;

class FunnelFileTest : public QObject {
    Q_OBJECT

    static FunnelSettings everythingChanged() {
        FunnelSettings s;
        s.txtFunnelUrl = QStringLiteral("https://example.com/funnel/");
        s.optBackground = 1;
        s.lblColorPicker = {"1,2,3", "4,5,6", "7,8,9", "10,11,12", "13,14,15", "255,0,128"};
        s.lblSelectedFile[BackgroundImage] = {QStringLiteral("/pics/bg.png"),
                                              QStringLiteral("bg.png")};
        s.lblSelectedFile[CoverImage] = {QStringLiteral("/pics/my cover.jpg"),
                                         QStringLiteral("my cover.jpg")};
        s.lblSelectedFile[DeliveryFile] = {QStringLiteral("/files/guide.pdf"),
                                           QStringLiteral("guide.pdf")};
        s.txtFooterNew = QStringLiteral("Föoter ´ €");
        s.language = QStringLiteral("ar");
        s.txtFunnel_LeadLine1 = QStringLiteral("Head\nline");
        s.txtFunnel_Instructions = QStringLiteral("Do it");
        s.txtFunnel_Privacy = QStringLiteral("  private  ");
        s.cboCols = 0;
        s.chkProgressBar = 0;
        s.txtoptinForm = QStringLiteral("<form action=\"x\"></form>");
        s.headCode = QStringLiteral("<meta>");
        s.retargetingCode = QStringLiteral("<script></script>");
        s.backControl = true;
        s.backUrl = QStringLiteral("http://back.example/");
        s.optAction = 1;
        s.txtRedirectUrl = QStringLiteral("http://offer.example/");
        s.txtBeforeRedirectMsg1 = QStringLiteral("one");
        s.txtBeforeRedirectMsg2 = QStringLiteral("");
        s.txtThanks = QStringLiteral("thanks");
        s.txtFunnel_YouTubeID = QStringLiteral("dQw4w9WgXcQ");
        s.chkAutoplay = 0;
        s.txtDownloadText = QStringLiteral("Get");
        s.txtFileDownloadUrl = QStringLiteral("http://files.example/a.zip");
        s.deriveFunnelLinks(1, 100);
        return s;
    }

private slots:
    void roundTripKeepsEveryField() {
        const FunnelSettings original = everythingChanged();
        auto loaded = funnelFromJson(funnelToJson(original), QStringLiteral("/elsewhere"));
        QVERIFY2(loaded.ok(), qPrintable(loaded.error()));
        QVERIFY(loaded.value() == original);
        QCOMPARE(loaded->txtDownloadUrl,
                 QStringLiteral("https://example.com/funnel/download100.html"));
    }

    void emptyObjectGivesTheDefaultsAndDrawsPageNumbers() {
        auto loaded = funnelFromJson("{}", QStringLiteral("/base"));
        QVERIFY(loaded.ok());
        FunnelSettings expected;
        expected.deriveFunnelLinks(loaded->thankYouPageNumber, loaded->downloadPageNumber);
        QVERIFY(loaded.value() == expected);
        QVERIFY(loaded->thankYouPageNumber >= 1 && loaded->downloadPageNumber >= 1);
    }

    void relativePathsFollowTheFileFolder() {
        auto loaded =
            funnelFromJson(R"({"coverImage": "pics/cover one.jpg", "backgroundImage": ""})",
                           QStringLiteral("/data/funnels"));
        QVERIFY(loaded.ok());
        QCOMPARE(loaded->lblSelectedFile[CoverImage].caption,
                 QStringLiteral("/data/funnels/pics/cover one.jpg"));
        QCOMPARE(loaded->lblSelectedFile[CoverImage].tag, QStringLiteral("cover one.jpg"));
        QCOMPARE(loaded->lblSelectedFile[BackgroundImage], ChosenFile());
    }

    void badValuesNameTheirKey_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("named");
        QTest::newRow("unknown key")
            << QByteArray(R"({"funelUrl": "x"})") << "\"funelUrl\" is unknown";
        QTest::newRow("number for text")
            << QByteArray(R"({"headline": 5})") << "\"headline\" must be a string";
        QTest::newRow("string for bool")
            << QByteArray(R"({"autoplay": "yes"})") << "\"autoplay\" must be true or false";
        QTest::newRow("colour out of range")
            << QByteArray(R"({"footerColor": "256,0,0"})") << "\"footerColor\" must be a colour";
        QTest::newRow("colour with blanks")
            << QByteArray(R"({"borderColor": "1, 2,3"})") << "\"borderColor\" must be a colour";
        QTest::newRow("colour name")
            << QByteArray(R"({"headlineColor": "red"})") << "\"headlineColor\" must be a colour";
        QTest::newRow("unknown language")
            << QByteArray(R"({"language": "klingon"})")
            << "\"language\" must be one of the language codes en, de";
        QTest::newRow("three columns")
            << QByteArray(R"({"layoutColumns": 3})") << "\"layoutColumns\" must be 1 or 2";
        QTest::newRow("page number zero") << QByteArray(R"({"thankYouPageNumber": 0})")
                                          << "\"thankYouPageNumber\" must be a whole number";
        QTest::newRow("page number 101") << QByteArray(R"({"downloadPageNumber": 101})")
                                         << "\"downloadPageNumber\" must be a whole number";
        QTest::newRow("fractional page number") << QByteArray(R"({"downloadPageNumber": 2.5})")
                                                << "\"downloadPageNumber\" must be a whole number";
        QTest::newRow("duplicate key, once written with an escape")
            << QByteArray(R"({"videoId": "a", "headline": "x", "video\u0049d": "b"})")
            << "\"videoId\" appears more than once";
        QTest::newRow("not JSON") << QByteArray("{\"headline\": ") << "not valid JSON";
        QTest::newRow("array") << QByteArray("[1]") << "JSON object";
    }

    void badValuesNameTheirKey() {
        QFETCH(QByteArray, json);
        QFETCH(QString, named);
        auto loaded = funnelFromJson(json, QStringLiteral("/"));
        QVERIFY(!loaded.ok());
        QVERIFY2(loaded.error().contains(named), qPrintable(loaded.error()));
    }

    void fileErrorsNameTheFile() {
        QTemporaryDir dir;
        const QString broken = dir.filePath(QStringLiteral("broken.funnel.json"));
        QVERIFY(writeFileAtomically(broken, R"({"layoutColumns": "two"})"));
        const QString error = loadFunnelFile(broken).error();
        QVERIFY2(error.contains(QDir::toNativeSeparators(broken)) &&
                     error.contains(QStringLiteral("layoutColumns")),
                 qPrintable(error));
        QVERIFY(loadFunnelFile(dir.filePath(QStringLiteral("none.funnel.json")))
                    .error()
                    .contains(QStringLiteral("none.funnel.json")));
    }

    void savedFileLoadsAgainAndFailureIsReported() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.funnel.json"));
        QVERIFY(saveFunnelFile(path, everythingChanged()));
        auto loaded = loadFunnelFile(path);
        QVERIFY(loaded.ok() && loaded.value() == everythingChanged());
        const Status failed = saveFunnelFile(
            dir.filePath(QStringLiteral("no/such/folder/a.funnel.json")), FunnelSettings());
        QVERIFY(!failed.ok() && failed.error().contains(QStringLiteral("a.funnel.json")));
    }
};

TANDREL_TEST(FunnelFileTest)
#include "funnelfile_test.moc"
