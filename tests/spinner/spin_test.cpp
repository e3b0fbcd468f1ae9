#include "spin.h"
#include "testregistry.h"
#include "tools.h"

#include <QMap>
#include <QSet>
#include <QTest>

#include <vector>

using namespace tandrel;

namespace {

// The direct way: a stack of open groups, each alternative copied up a level
// when its group closes. Equal by definition, quadratic on deep or open nesting.
QString referenceSpin(const QString& text, QRandomGenerator& generator) {
    struct Group {
        QStringList done;
        QString current;
    };
    std::vector<Group> open;
    QString out;
    const auto sink = [&]() -> QString& { return open.empty() ? out : open.back().current; };
    for (const QChar c : text) {
        if (c == u'{') {
            open.emplace_back();
        } else if (c == u'|' && !open.empty()) {
            open.back().done.append(std::exchange(open.back().current, QString()));
        } else if (c == u'}' && !open.empty()) {
            Group group = std::move(open.back());
            open.pop_back();
            group.done.append(std::move(group.current));
            sink() += group.done[qsizetype(generator.bounded(quint32(group.done.size())))];
        } else {
            sink() += c;
        }
    }
    while (!open.empty()) {
        Group group = std::move(open.back());
        open.pop_back();
        group.done.append(std::move(group.current));
        sink() += u'{' + group.done.join(u'|');
    }
    return out;
}

} // namespace

class SpinTest : public QObject {
    Q_OBJECT

private slots:
    // Texts with a single possible variant.
    void onlyVariant_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("variant");

        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("no groups") << "the good dog"
                                   << "the good dog";
        QTest::newRow("one alternative") << "the {nice} dog"
                                         << "the nice dog";
        QTest::newRow("whole text one group") << "{good}"
                                              << "good";
        QTest::newRow("empty group") << "a{}b"
                                     << "ab";
        QTest::newRow("nested single alternatives") << "{a{b}c}"
                                                    << "abc";
        QTest::newRow("doubly nested") << "{{x}}"
                                       << "x";
        QTest::newRow("closing brace alone") << "a } b"
                                             << "a } b";
        QTest::newRow("opening brace alone") << "a { b"
                                             << "a { b";
        QTest::newRow("bar outside a group") << "x|y"
                                             << "x|y";
        QTest::newRow("unclosed group keeps its bars") << "{a|b"
                                                       << "{a|b";
        QTest::newRow("inner group of an unclosed one") << "{x {y}"
                                                        << "{x y";
        QTest::newRow("braces the wrong way round") << "}{x}{"
                                                    << "}x{";
        QTest::newRow("spaces and line breaks kept") << "a\n{b}\t c  \r\n"
                                                     << "a\nb\t c  \r\n";
        QTest::newRow("space marker untouched") << "a%%{b}"
                                                << "a%%b";
        QTest::newRow("non-ASCII") << "{\u03bb\u03cc\u03b3\u03bf\u03c2} \U0001F600"
                                   << "\u03bb\u03cc\u03b3\u03bf\u03c2 \U0001F600";
    }
    void onlyVariant() {
        QFETCH(QString, text);
        QFETCH(QString, variant);
        QRandomGenerator generator(1);
        QCOMPARE(Spin(text, generator), variant);
    }

    // Every variant that can come out, and nothing else.
    void variants_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("variants");

        QTest::newRow("two alternatives")
            << "the {nice|fine} dog" << QStringList{"the nice dog", "the fine dog"};
        QTest::newRow("group inside an alternative") << "{a|{b|c}}" << QStringList{"a", "b", "c"};
        QTest::newRow("group first in an alternative")
            << "{{a|b}|c}d" << QStringList{"ad", "bd", "cd"};
        QTest::newRow("group inside an unclosed brace")
            << "{a {b|c}" << QStringList{"{a b", "{a c"};
        QTest::newRow("bar between groups")
            << "{a|b}|{c|d}" << QStringList{"a|c", "a|d", "b|c", "b|d"};
        QTest::newRow("empty alternative") << "{a||b}" << QStringList{"a", "", "b"};
        QTest::newRow("multi-word alternatives")
            << "{very nice|fine}." << QStringList{"very nice.", "fine."};
    }
    void variants() {
        QFETCH(QString, text);
        QFETCH(QStringList, variants);
        QRandomGenerator generator(2);
        QSet<QString> seen;
        for (int i = 0; i < 400; ++i)
            seen.insert(Spin(text, generator));
        QCOMPARE(seen, QSet<QString>(variants.begin(), variants.end()));
    }

    // Loose bounds: about six standard deviations around the expected share.
    void equalChance_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("outcomes");
        QTest::addColumn<QList<double>>("shares");

        QTest::newRow("four alternatives") << "{a|b|c|d}" << QStringList{"a", "b", "c", "d"}
                                           << QList<double>{0.25, 0.25, 0.25, 0.25};
        QTest::newRow("nested resolved inside out")
            << "{a|{b|c}}" << QStringList{"a", "b", "c"} << QList<double>{0.5, 0.25, 0.25};
    }
    void equalChance() {
        QFETCH(QString, text);
        QFETCH(QStringList, outcomes);
        QFETCH(QList<double>, shares);
        QRandomGenerator generator(3);
        const int draws = 40000;
        QMap<QString, int> counts;
        for (int i = 0; i < draws; ++i)
            ++counts[Spin(text, generator)];
        QCOMPARE(counts.keys(), QStringList(outcomes.begin(), outcomes.end()));
        for (qsizetype i = 0; i < outcomes.size(); ++i) {
            const double expected = draws * shares[i];
            QVERIFY2(
                std::abs(counts[outcomes[i]] - expected) < 6 * std::sqrt(expected),
                qPrintable(
                    QStringLiteral("%1 came %2 times").arg(outcomes[i]).arg(counts[outcomes[i]])));
        }
    }

    // Same seed, same variant as the direct way, on texts made of the characters that matter.
    void equalsTheDirectWay() {
        QRandomGenerator texts(7);
        const QString alphabet = QStringLiteral("{{}||ab ");
        for (int round = 0; round < 3000; ++round) {
            QString text;
            const int length = int(texts.bounded(40));
            for (int i = 0; i < length; ++i)
                text += alphabet[texts.bounded(int(alphabet.size()))];
            QRandomGenerator a{quint32(round)};
            QRandomGenerator b{quint32(round)};
            const QString expected = referenceSpin(text, a);
            QCOMPARE(Spin(text, b), expected);
            QCOMPARE(b.generate(), a.generate()); // as many draws, in the same order
        }
    }

    // Each would take minutes if text were copied once per open or nested level.
    void staysLinearOnHostileBraces_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("variant");
        const int n = 1000000;
        QTest::newRow("a million unclosed braces") << QString(n, u'{') << QString(n, u'{');
        QTest::newRow("a million nested groups")
            << QString(n, u'{') + QString(n, u'}') << QString();
        QString deep;
        for (int i = 0; i < n / 2; ++i)
            deep += QStringLiteral("{a");
        QTest::newRow("half a million groups nested in text")
            << deep + QString(n / 2, u'}') << QString(n / 2, u'a');
    }
    void staysLinearOnHostileBraces() {
        QFETCH(QString, text);
        QFETCH(QString, variant);
        QRandomGenerator generator(5);
        QCOMPARE(Spin(text, generator), variant);
    }

    void seedMakesItRepeatable() {
        const QString text = QStringLiteral("{a|b|c} {d|e|f} {g|h|i} {j|k|l} {m|n|o} {p|q|r}");
        seedRandomNumbers(99);
        const QString first = Spin(text);
        seedRandomNumbers(99);
        QCOMPARE(Spin(text), first);
        QSet<QString> seen;
        for (quint64 seed = 0; seed < 20; ++seed) {
            seedRandomNumbers(seed);
            seen.insert(Spin(text));
        }
        QVERIFY(seen.size() > 10); // different seeds give different variants
    }
};

TANDREL_TEST(SpinTest)
#include "spin_test.moc"
