#include "referencerewrite.h"
#include "rewrite.h"
#include "spin.h"
#include "testregistry.h"
#include "textfiles.h"
#include "tools.h"

#include <QRandomGenerator>
#include <QTest>

using namespace tandrel;

namespace {

// A small vocabulary, so that words repeat, terms meet in several lines and
// neighbours are often both known. It holds prefixes and suffixes of each
// other, multi-word terms, end characters and "%" inside terms, and
// characters whose lower case and case folding disagree, is longer than
// themselves or lies outside the BMP.
const QStringList kWords =
    QStringLiteral("good/nice/fine/big/large/dog/hound/very/very nice/good dog/go/gone/goo/ood/"
                   "day/glad/e.g./x.y/a:b/50%/a,b/caf\u00e9/\u03bb\u03cc\u03b3\u03bf\u03c2/"
                   "\u03bb\u03cc\u03b3\u03bf\u03c3/yes/ye\u017f/stra\u00dfe/"
                   "\u043f\u0440\u0438\u0432\u0435\u0442/\u4f60\u597d/\u212aelvin/kelvin/i\u0307x/"
                   "\U00010428x/\u0130l/\u01c6a/'tis")
        .split(u'/');

// Characters that send a text down the exact path.
const QStringList kRare{"\u0130", "\u0130x", "\U00010400", QString(QChar(0xD800)),
                        QString(QChar(0xDC01))};

const QStringList kSeparators{" ",  " ",  " ",  " ",  ", ", ". ",   ": ", "; ",
                              "! ", "\n", "  ", "%%", "%",  " %% ", "-",  " \r\n"};

QString pick(QRandomGenerator& random, const QStringList& list) {
    return list[random.bounded(int(list.size()))];
}

QString withRandomCase(QRandomGenerator& random, const QString& word) {
    const int kind = random.bounded(10);
    return kind == 0 ? word.toUpper() : kind < 3 ? word.left(1).toUpper() + word.mid(1) : word;
}

QString randomArticle(QRandomGenerator& random, bool rare) {
    QString article = random.bounded(2) ? QStringLiteral(" ") : QString();
    const int tokens = 1 + random.bounded(40);
    for (int i = 0; i < tokens; ++i) {
        const int kind = random.bounded(40);
        if (kind == 0)
            article += QStringLiteral("{good|nice}");
        else if (kind == 1)
            article += QStringLiteral("{big|{large|huge}}");
        else if (kind < 5 && rare)
            article += pick(random, kRare);
        else
            article += withRandomCase(random, pick(random, kWords));
        article += pick(random, kSeparators);
    }
    if (random.bounded(3) == 0)
        article.chop(1); // sometimes a word is last
    return article;
}

QString randomRuleLine(QRandomGenerator& random) {
    static const QStringList fixed =
        QStringLiteral("/good nice/ {good|nice}/{big|large} /{}/{go{od|ne}|day}/{good||fine|}/"
                       "{ |gap}/{%|%%|per cent}")
            .split(u'/');
    if (const int kind = random.bounded(24); kind < fixed.size())
        return fixed[kind];
    QString line = QStringLiteral("{");
    const int terms = 1 + random.bounded(4);
    for (int t = 0; t < terms; ++t) {
        if (t > 0)
            line += u'|';
        const int kind = random.bounded(12);
        if (kind == 0)
            line += withRandomCase(random, pick(random, kWords));
        else if (kind == 1)
            line += u' ' + pick(random, kWords);
        else if (kind == 2)
            line += pick(random, kWords) + u' ';
        else
            line += pick(random, kWords);
    }
    return line + u'}';
}

QStringList randomRules(QRandomGenerator& random) {
    QStringList lines;
    const int count = random.bounded(14);
    for (int i = 0; i < count; ++i)
        lines << randomRuleLine(random);
    return lines;
}

struct Tally {
    int indexed = 0, exact = 0, withReplacements = 0;
    qint64 replacements = 0;
};

// Compares engine, exact path and reference on one input; false on the first difference.
bool agree(const QString& article, const QStringList& rules, quint64 seed, Tally& tally,
           bool keepOriginal = false, bool share = false) {
    const SynonymDb db = synonymDbFromLines(rules);
    const Neighbours neighbours = share ? Neighbours::Share : Neighbours::KeepApart;
    seedRandomNumbers(seed);
    const RewriteResult engine = Reescribir(article, db, keepOriginal, neighbours);
    seedRandomNumbers(seed);
    const test::ReferenceResult reference =
        test::referenceReescribir(article, rules, keepOriginal, share);
    seedRandomNumbers(seed);
    const QString spun = Spin(article);
    const RewriteResult exact = detail::rewriteExact(spun, db, keepOriginal, neighbours);

    const bool same = engine.spinText == reference.spinText &&
                      engine.replacementCount == reference.replacementCount &&
                      engine.wordCount == reference.wordCount &&
                      engine.report == reference.report && exact.spinText == reference.spinText &&
                      exact.replacementCount == reference.replacementCount;
    if (!same) {
        qWarning().noquote() << "article:" << article << "\nrules:" << rules << "\nspun:" << spun
                             << "\nreference:" << reference.spinText << reference.replacementCount
                             << "\nengine:   " << engine.spinText << engine.replacementCount
                             << "\nexact:    " << exact.spinText << exact.replacementCount;
        return false;
    }
    ++(detail::indexedRewriteApplies(spun) ? tally.indexed : tally.exact);
    tally.withReplacements += reference.replacementCount > 0 ? 1 : 0;
    tally.replacements += reference.replacementCount;
    return true;
}

} // namespace

class DifferentialTest : public QObject {
    Q_OBJECT

private slots:
    void engineEqualsReferenceOnGeneratedInputs() {
        QRandomGenerator random(20240611);
        Tally tally;
        for (int i = 0; i < 4000; ++i) {
            const QStringList rules = randomRules(random);
            const QString article = randomArticle(random, i % 5 == 0);
            if (!agree(article, rules, quint64(i), tally, i % 3 == 0, i % 2 == 0))
                QFAIL(qPrintable(QStringLiteral("engine and reference differ on case %1").arg(i)));
        }
        // Guard against a generator that stopped producing anything to compare.
        QVERIFY2(tally.indexed > 1000 && tally.exact > 2000 && tally.withReplacements > 2000 &&
                     tally.replacements > 6000,
                 qPrintable(QString::asprintf("%d indexed, %d exact, %d with replacements, %lld",
                                              tally.indexed, tally.exact, tally.withReplacements,
                                              tally.replacements)));
    }

    // A long article of real words against the synonym file the program ships.
    void engineEqualsReferenceOnShippedSynonyms() {
        const auto lines = LoadListFile(test::shippedDataDir() + QStringLiteral("/rwdb.txt"));
        QVERIFY2(lines.ok(), qPrintable(lines.error()));

        QStringList vocabulary{"the", "a", "of", "and", "to", "in", "is", "it", "that", "was"};
        for (const QString& line : lines.value())
            vocabulary << line.mid(1, line.size() - 2).split(u'|', Qt::SkipEmptyParts);
        QRandomGenerator random(5);
        QString article;
        for (int i = 0; i < 1500; ++i) {
            article += withRandomCase(random, i % 2 ? vocabulary[random.bounded(10)]
                                                    : pick(random, vocabulary));
            article += pick(random, kSeparators);
        }
        Tally tally;
        QVERIFY(agree(article, lines.value(), 1, tally));
        QVERIFY2(tally.replacements > 200, qPrintable(QString::number(tally.replacements)));
        QVERIFY(agree(article, lines.value(), 1, tally, false, true));
    }
};

TANDREL_TEST(DifferentialTest)
#include "differential_test.moc"
