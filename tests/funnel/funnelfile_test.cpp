#include "funnelfile.h"
#include "funnelfixtures.h"
#include "textfiles.h"

using namespace tandrel;
using namespace tandrel::test;

class FunnelFileTest : public QObject {
    Q_OBJECT

private slots:
    void emptyObjectGivesTheDefaultsAndDrawsPageNumbers() {
        auto loaded = funnelFromJson("{}", QStringLiteral("/base"));
        QVERIFY(loaded.ok());
        FunnelSettings expected;
        // Saved before the tidy form existed: the form stays as it was built.
        expected.tidyOptinForm = false;
        expected.deriveFunnelLinks(loaded->thankYouPageNumber, loaded->downloadPageNumber);
        QVERIFY(loaded.value() == expected);
        QVERIFY(loaded->thankYouPageNumber >= 1 && loaded->downloadPageNumber >= 1);
    }

    void relativePathsFollowTheFileFolder() {
        auto loaded = funnelFromJson(
            R"({"coverImage": "pics/cover one.jpg", "backgroundImage": "",
                "splitTest": {"versions": [{"coverImage": "b.png"}]}})",
            QStringLiteral("/data/funnels"));
        QVERIFY(loaded.ok());
        QCOMPARE(loaded->lblSelectedFile[CoverImage].caption,
                 QStringLiteral("/data/funnels/pics/cover one.jpg"));
        QCOMPARE(loaded->lblSelectedFile[CoverImage].tag, QStringLiteral("cover one.jpg"));
        QCOMPARE(loaded->lblSelectedFile[BackgroundImage], ChosenFile());
        QCOMPARE(loaded->splitTest.others.value(0).cover.caption,
                 QStringLiteral("/data/funnels/b.png"));
    }

    void badValuesNameTheirKey_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("named");
        const auto row = [](const char* name, const char* json, const char* named) {
            QTest::newRow(name) << QByteArray(json) << QString(named);
        };
        row("unknown key", R"({"funelUrl": "x"})", "\"funelUrl\" is unknown");
        row("number for text", R"({"headline": 5})", "\"headline\" must be a string");
        row("string for bool", R"({"autoplay": "yes"})", "\"autoplay\" must be true or false");
        row("colour out of range", R"({"footerColor": "256,0,0"})", "\"footerColor\" must be a");
        row("colour with blanks", R"({"borderColor": "1, 2,3"})", "\"borderColor\" must be a");
        row("unknown language", R"({"language": "klingon"})",
            "\"language\" must be one of the language codes en, de");
        row("three columns", R"({"layoutColumns": 3})", "\"layoutColumns\" must be 1 or 2");
        row("page number zero", R"({"thankYouPageNumber": 0})", "\"thankYouPageNumber\" must be");
        row("page number 101", R"({"downloadPageNumber": 101})", "\"downloadPageNumber\" must");
        row("fractional page number", R"({"downloadPageNumber": 2.5})", "\"downloadPageNumber\"");
        row("campaign value no form field takes", R"({"campaignFields": {"utm_place": "p"}})",
            "\"campaignFields\" must be an object that gives field names to some of utm_source");
        row("duplicate key, once written with an escape",
            R"({"videoId": "a", "headline": "x", "video\u0049d": "b"})",
            "\"videoId\" appears more than once");
        row("four versions", R"({"splitTest": {"versions": [{}, {}, {}]}})",
            "\"splitTest\" must be a split test, but its \"versions\" must be a list of at most 2");
        row("unknown version value",
            R"({"splitTest": {"versions": [{"headline": "x"}, {"cover": "c.jpg"}]}})",
            "version C must hold only");
        row("no hidden field", R"({"splitTest": {"field": " "}})", "\"field\" must name");
        row("not JSON", "{\"headline\": ", "not valid JSON");
        row("array", "[1]", "JSON object");
    }

    void badValuesNameTheirKey() {
        QFETCH(QByteArray, json);
        QFETCH(QString, named);
        auto loaded = funnelFromJson(json, QStringLiteral("/"));
        QVERIFY(!loaded.ok());
        QVERIFY2(loaded.error().contains(named), qPrintable(loaded.error()));
    }

    // A saved file loads again, wherever it lies, with every value of the table (the fixture
    // changes each one); a broken or missing one is named. (A failed write is the
    // platform's atomic save, tested there.)
    void filesLoadAgainAndErrorsNameTheFile() {
        FunnelSettings changed = everyValueChanged();
        for (const FunnelField& field : funnelFields()) {
            FunnelSettings one;
            std::visit([&](auto get) { get(one) = get(changed); }, field.ref);
            QVERIFY2(one != FunnelSettings(), field.key);
        }
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.funnel.json"));
        QVERIFY(saveFunnelFile(path, changed));
        const auto loaded = loadFunnelFile(path);
        QVERIFY2(loaded, qPrintable(loaded.error()));
        QCOMPARE(firstDifferentField(loaded.value(), changed), QString());
        QVERIFY(loaded.value() == changed);
        QVERIFY(writeFileAtomically(path, R"({"layoutColumns": "two"})"));
        const QString error = loadFunnelFile(path).error();
        QVERIFY2(error.contains(QDir::toNativeSeparators(path)) &&
                     error.contains(QStringLiteral("layoutColumns")),
                 qPrintable(error));
        QVERIFY(loadFunnelFile(dir.filePath(QStringLiteral("none.funnel.json")))
                    .error()
                    .contains(QStringLiteral("none.funnel.json")));
    }
};

TANDREL_TEST(FunnelFileTest)
#include "funnelfile_test.moc"
