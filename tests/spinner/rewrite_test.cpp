#include "referencerewrite.h"
#include "rewrite.h"
#include "testregistry.h"
#include "textfiles.h"
#include "tools.h"

#include <QSet>
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
        QTest::newRow("the good dog")
            << "the good dog" << goodNiceFine << "the {nice|fine} dog" << 1LL << 3LL;
        QTest::newRow("term at the very start")
            << "good dog" << goodNiceFine << "good dog" << 0LL << 2LL;
        QTest::newRow("term at the very end") << "a good" << goodNiceFine << "a good" << 0LL << 2LL;
        QTest::newRow("followed by comma")
            << "a good, b" << goodNiceFine << "a {nice|fine}, b" << 1LL << 3LL;
        QTest::newRow("followed by full stop")
            << "a good. b" << goodNiceFine << "a {nice|fine}. b" << 1LL << 3LL;
        QTest::newRow("followed by colon")
            << "a good: b" << goodNiceFine << "a {nice|fine}: b" << 1LL << 3LL;
        QTest::newRow("followed by semicolon")
            << "a good; b" << goodNiceFine << "a good; b" << 0LL << 3LL;
        QTest::newRow("followed by exclamation")
            << "a good! b" << goodNiceFine << "a good! b" << 0LL << 3LL;
        QTest::newRow("followed by line break")
            << "a good\nb" << goodNiceFine << "a good\nb" << 0LL << 3LL;
        QTest::newRow("preceded by line break")
            << "a\ngood b" << goodNiceFine << "a\ngood b" << 0LL << 3LL;
        QTest::newRow("capital in the text is lost")
            << "the Good dog" << goodNiceFine << "the {nice|fine} dog" << 1LL << 3LL;
        QTest::newRow("all capitals")
            << "the GOOD, dog" << goodNiceFine << "the {nice|fine}, dog" << 1LL << 3LL;
        QTest::newRow("neighbouring known words")
            << "the good big dog" << QStringList{"{good|nice}", "{big|large}"}
            << "the {nice} big dog" << 1LL << 4LL;
        QTest::newRow("neighbour replaced first by line order")
            << "the good big dog" << QStringList{"{big|large}", "{good|nice}"}
            << "the good {large} dog" << 1LL << 4LL;
        QTest::newRow("space marker in the article")
            << "50%%off a good day" << goodNiceFine << "50 off a {nice|fine} day" << 1LL << 5LL;
        QTest::newRow("article marker next to an insert")
            << "50% good dog" << QStringList{"{good|nice}"} << "50 %{nice} dog" << 1LL << 3LL;
        QTest::newRow("overlapping repeat")
            << " good good " << QStringList{"{good|nice}"} << " {nice} good " << 1LL << 2LL;
        QTest::newRow("repeats apart") << " good x good y good." << QStringList{"{good|nice}"}
                                       << " {nice} x {nice} y {nice}." << 3LL << 4LL;
        QTest::newRow("term in two lines")
            << "a good day" << QStringList{"{good|nice}", "{good|fine}"} << "a {nice} day" << 1LL
            << 3LL;
        QTest::newRow("multi-word synonym keeps its space")
            << "a fine day" << QStringList{"{fine|very nice}"} << "a {very nice} day" << 1LL << 3LL;
        QTest::newRow("multi-word term")
            << "it is very nice today" << QStringList{"{very nice|lovely}"}
            << "it is {lovely} today" << 1LL << 5LL;
        QTest::newRow("capital term never matches")
            << "the good dog" << QStringList{"{Good|nice}"} << "the good dog" << 0LL << 3LL;
        QTest::newRow("capital stays in the group")
            << "the nice dog" << QStringList{"{Good|nice}"} << "the {Good} dog" << 1LL << 3LL;
        QTest::newRow("only term of its line")
            << "the good dog" << QStringList{"{good}"} << "the {good} dog" << 1LL << 3LL;
        QTest::newRow("unbraced and empty lines")
            << "the good big dog."
            << QStringList{"# note", "{good|nice}", "", "good nice", "{dog|hound}"}
            << "the {nice} big {hound}." << 2LL << 4LL;
        QTest::newRow("each end character in turn")
            << "x good y good, z good. w good: v" << QStringList{"{good|nice}"}
            << "x {nice} y {nice}, z {nice}. w {nice}: v" << 4LL << 9LL;
        QTest::newRow("prefix term does not split a word")
            << "a goodness good" << QStringList{"{good|nice}"} << "a goodness good" << 0LL << 3LL;
        QTest::newRow("empty article") << QString() << goodNiceFine << QString() << 0LL << 0LL;
        QTest::newRow("no rule lines")
            << "a good day" << QStringList() << "a good day" << 0LL << 3LL;
        QTest::newRow("empty term from double bar is ignored")
            << "a  good" << QStringList{"{good||nice}"} << "a  good" << 0LL << 2LL;
        // Found in the lower-cased text, replaced ignoring case: a long s
        // matches "s" only in the replacement.
        QTest::newRow("long s is replaced but not found")
            << "a ye\u017f yes b" << QStringList{"{yes|ok}"} << "a {ok} yes b" << 1LL << 4LL;
        QTest::newRow("long s alone is not found")
            << "a ye\u017f b" << QStringList{"{yes|ok}"} << "a ye\u017f b" << 0LL << 3LL;
        QTest::newRow("Greek final sigma")
            << "\u03bf \u03bb\u03cc\u03b3\u03bf\u03c3 \u03bb\u03cc\u03b3\u03bf\u03c2 \u03b1"
            << QStringList{"{\u03bb\u03cc\u03b3\u03bf\u03c2|\u03bc\u03cd\u03b8\u03bf\u03c2}"}
            << "\u03bf {\u03bc\u03cd\u03b8\u03bf\u03c2} \u03bb\u03cc\u03b3\u03bf\u03c2 \u03b1"
            << 1LL << 4LL;
        QTest::newRow("dotted capital I takes the exact path")
            << "the good \u0130stanbul dog" << QStringList{"{good|nice}"}
            << "the {nice} \u0130stanbul dog" << 1LL << 4LL;
        QTest::newRow("lowered dotted I is found but not replaced")
            << "in \u0130 x i\u0307 y" << QStringList{"{i\u0307|j}"} << "in \u0130 x {j} y" << 1LL
            << 5LL;
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

    void indexedPathAdmits_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("admitted");

        QTest::newRow("ASCII") << "the good dog, 50%%" << true;
        QTest::newRow("Latin-1") << "caf\u00e9 \u00c9T\u00c9 \u00df \u00b5" << true;
        QTest::newRow("Greek with both sigmas")
            << "\u039f\u0394\u039f\u03a3 \u03bf\u03b4\u03bf\u03c2" << true;
        QTest::newRow("long s and Kelvin sign") << "\u017f \u212a" << true;
        QTest::newRow("Cherokee") << "\u13a0\uab70" << true;
        QTest::newRow("Chinese and emoji") << "\u4f60\u597d \U0001F600" << true;
        QTest::newRow("dotted capital I") << "\u0130" << false;
        QTest::newRow("Deseret capital") << "\U00010400" << false;
        QTest::newRow("lone high surrogate") << QString::fromUtf16(u"a\xD800 b") << false;
        QTest::newRow("lone low surrogate") << QString::fromUtf16(u"a\xDC00") << false;
        QTest::newRow("high surrogate at the end") << QString::fromUtf16(u"a\xD83D") << false;
    }
    void indexedPathAdmits() {
        QFETCH(QString, text);
        QFETCH(bool, admitted);
        QCOMPARE(detail::indexedRewriteApplies(text), admitted);
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

    void replaceText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("find");
        QTest::addColumn<QString>("replacement");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("result");
        QTest::addColumn<qint64>("count");

        QTest::newRow("spaces become markers") << "a good b"
                                               << " good "
                                               << " {x y} " << 1 << "a%%{x%%y}%%b" << 1LL;
        QTest::newRow("ignores case in mode 1") << "a GOOD b"
                                                << " good "
                                                << " x " << 1 << "a%%x%%b" << 1LL;
        QTest::newRow("exact in mode 0") << "a GOOD b"
                                         << " good "
                                         << " x " << 0 << "a GOOD b" << 0LL;
        QTest::newRow("overlap skipped") << " good good good "
                                         << " good "
                                         << "_" << 1 << "_good_" << 2LL;
        QTest::newRow("not found") << "abc"
                                   << "x"
                                   << "y" << 1 << "abc" << 0LL;
        QTest::newRow("inserted text not searched again") << "aa"
                                                          << "a"
                                                          << "aa" << 0 << "aaaa" << 2LL;
        QTest::newRow("empty find changes nothing") << "abc"
                                                    << ""
                                                    << "y" << 1 << "abc" << 0LL;
        QTest::newRow("long s matches s ignoring case") << "ye\u017f yes"
                                                        << "yes"
                                                        << "!" << 1 << "! !" << 2LL;
    }
    void replaceText() {
        QFETCH(QString, text);
        QFETCH(QString, find);
        QFETCH(QString, replacement);
        QFETCH(int, mode);
        QFETCH(QString, result);
        QFETCH(qint64, count);
        qint64 replacements = 5;
        QCOMPARE(ReplaceText(text, find, replacement, mode, replacements), result);
        QCOMPARE(replacements, 5 + count);
    }

    // Groups already in the article are spun before anything is replaced.
    void spinsTheArticleFirst() {
        const SynonymDb db = synonymDbFromLines({"{good|nice}", "{big|large}"});
        QSet<QString> seen;
        for (quint64 seed = 0; seed < 40; ++seed) {
            seedRandomNumbers(seed);
            const RewriteResult result = Reescribir(QStringLiteral("a {good|big} dog"), db);
            QCOMPARE(result.wordCount, qint64(3));
            QCOMPARE(result.replacementCount, qint64(1));
            seen.insert(result.spinText);
        }
        QCOMPARE(seen, (QSet<QString>{"a {nice} dog", "a {large} dog"}));
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
