#include "referencerewrite.h"
#include "rewrite.h"
#include "testregistry.h"
#include "textfiles.h"
#include "tools.h"

#include <QTest>

using namespace tandrel;

class RewriteTest : public QObject {
    Q_OBJECT

private slots:
    // Each row is checked on the engine, on its exact path and on the
    // line-by-line reference, so the expectations pin all three.
    void rewrite_data() {
        QTest::addColumn<QString>("article");
        QTest::addColumn<QStringList>("rules");
        QTest::addColumn<QString>("spinText");
        QTest::addColumn<qint64>("replacements");
        QTest::addColumn<qint64>("words");

        const QStringList goodNiceFine{"{good|nice|fine}"};
        const QStringList goodNice{"{good|nice}"};
        QTest::newRow("the good dog")
            << "the good dog" << goodNiceFine << "the {nice|fine} dog" << 1LL << 3LL;
        QTest::newRow("each end character in turn")
            << "x good y good, z good. w good: v" << goodNice
            << "x {nice} y {nice}, z {nice}. w {nice}: v" << 4LL << 9LL;
        QTest::newRow("other ends, line breaks and the ends of the text")
            << "good; b good! c good\nd\ngood e good" << goodNice
            << "good; b good! c good\nd\ngood e good" << 0LL << 9LL;
        QTest::newRow("capitals in the text are lost")
            << "the Good, GOOD dog" << goodNiceFine << "the {nice|fine}, {nice|fine} dog" << 2LL
            << 4LL;
        QTest::newRow("neighbouring known words")
            << "the good big dog" << QStringList{"{good|nice}", "{big|large}"}
            << "the {nice} big dog" << 1LL << 4LL;
        QTest::newRow("space marker in the article")
            << "50%%off a good day" << goodNiceFine << "50 off a {nice|fine} day" << 1LL << 5LL;
        QTest::newRow("article marker next to an insert")
            << "50% good dog" << goodNice << "50 %{nice} dog" << 1LL << 3LL;
        QTest::newRow("overlapping repeat")
            << " good good " << goodNice << " {nice} good " << 1LL << 2LL;
        QTest::newRow("term in two lines")
            << "a good day" << QStringList{"{good|nice}", "{good|fine}"} << "a {nice} day" << 1LL
            << 3LL;
        QTest::newRow("multi-word synonym keeps its space")
            << "a fine day" << QStringList{"{fine|very nice}"} << "a {very nice} day" << 1LL << 3LL;
        QTest::newRow("capital term never matches but stays in the group")
            << "the good nice dog" << QStringList{"{Good|nice}"} << "the good {Good} dog" << 1LL
            << 4LL;
        QTest::newRow("only term of its line")
            << "the good dog" << QStringList{"{good}"} << "the {good} dog" << 1LL << 3LL;
        QTest::newRow("unbraced and empty lines")
            << "the good big dog."
            << QStringList{"# note", "{good|nice}", "", "good nice", "{dog|hound}"}
            << "the {nice} big {hound}." << 2LL << 4LL;
    }
    void rewrite() {
        QFETCH(QString, article);
        QFETCH(QStringList, rules);
        QFETCH(QString, spinText);
        QFETCH(qint64, replacements);
        QFETCH(qint64, words);
        const SynonymDb db = synonymDbFromLines(rules);
        const QString report =
            QStringLiteral("%1 Replacements on %2 words.").arg(replacements).arg(words);

        const RewriteResult engine = Reescribir(article, db);
        QCOMPARE(engine.spinText, spinText);
        QCOMPARE(engine.replacementCount, replacements);
        QCOMPARE(engine.wordCount, words);
        QCOMPARE(engine.report, report);

        const RewriteResult exact = detail::rewriteExact(article, db);
        QCOMPARE(exact.spinText, spinText);
        QCOMPARE(exact.replacementCount, replacements);

        const test::ReferenceResult reference = test::referenceReescribir(article, rules);
        QCOMPARE(reference.spinText, spinText);
        QCOMPARE(reference.replacementCount, replacements);
        QCOMPARE(reference.report, report);
    }

    // An "İ" (its lower case is two units long) takes the exact path; on a
    // 1 MB article naming every term of the shipped file, a path that rescans
    // the text for each term would take minutes.
    void exactPathStaysLinear() {
        const auto lines = LoadListFile(test::shippedDataDir() + QStringLiteral("/rwdb.txt"));
        QVERIFY(lines.ok());
        QStringList terms;
        for (const QString& line : lines.value())
            terms += SplitToList(QString(line).remove(u'{').remove(u'}'), QStringLiteral("|"));
        QRandomGenerator random(4);
        QString article;
        while (article.size() < 1000000)
            article += terms[random.bounded(int(terms.size()))] +
                       QLatin1String(random.bounded(9) ? " " : ". ");
        const SynonymDb db = synonymDbFromLines(lines.value());
        const QString turkish = QString::fromUtf8("İ\n");
        QVERIFY(!detail::indexedRewriteApplies(turkish + article));
        const RewriteResult exact = detail::rewriteExact(turkish + article, db);
        const RewriteResult indexed = detail::rewriteIndexed(article, db);
        QVERIFY2(indexed.replacementCount > 10000, qPrintable(indexed.report));
        QCOMPARE(exact.replacementCount, indexed.replacementCount);
        QVERIFY(exact.spinText == turkish + indexed.spinText);
    }

    // The indexed rewrite relies on these: only the space folds to a space,
    // only the four end characters, "%" and "{" fold to themselves, and the
    // characters it admits lower to one unit folding like the original.
    void foldingAssumptionsHold() {
        const QString special = QStringLiteral(" ,.:%{");
        QString admitted;
        for (char32_t u = 0; u < 0x10000; ++u) {
            if (QChar::isSurrogate(u))
                continue;
            const QChar c{char16_t(u)};
            const QChar folded = c.toCaseFolded();
            if (special.contains(folded) && folded != c)
                QFAIL(qPrintable(
                    QStringLiteral("U+%1 folds to a special character").arg(uint(u), 4, 16)));
            if (detail::indexedRewriteApplies(QString(c)))
                admitted += c;
        }
        // Lowering is per character for everything admitted, so positions line up.
        const QString lowered = admitted.toLower();
        QCOMPARE(lowered.size(), admitted.size());
        for (qsizetype i = 0; i < admitted.size(); ++i)
            QCOMPARE(lowered[i].toCaseFolded(), admitted[i].toCaseFolded());
    }

    // A signed 16-bit counter would wrap here.
    void countsPastSixteenBits() {
        const SynonymDb db = synonymDbFromLines({"{good|nice}"});
        const QString article = QStringLiteral(" good,").repeated(40000);
        const RewriteResult result = Reescribir(article, db);
        QCOMPARE(result.replacementCount, qint64(40000));
        QCOMPARE(result.spinText, QStringLiteral(" {nice},").repeated(40000));
        QCOMPARE(result.report, QStringLiteral("40000 Replacements on 40000 words."));
    }
};

TANDREL_TEST(RewriteTest)
#include "rewrite_test.moc"
