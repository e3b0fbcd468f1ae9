#include "referencerewrite.h"
#include "rewrite.h"
#include "spin.h"
#include "synonymdb.h"
#include "testfiles.h"
#include "testregistry.h"
#include "textfiles.h"
#include "tools.h"
#include "variants.h"
#include "wordcount.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <vector>

using namespace tandrel;
using namespace Qt::StringLiterals;

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

// Every variant, by taking every alternative of every group the direct way.
QSet<QString> allVariants(const QString& text) {
    const auto joined = [](const QSet<QString>& heads, const QSet<QString>& tails) {
        QSet<QString> both;
        for (const QString& head : heads)
            for (const QString& tail : tails)
                both.insert(head + tail);
        return both;
    };
    std::vector<std::vector<QSet<QString>>> open; // per open group, its alternatives so far
    QSet<QString> out{QString()};
    const auto sink = [&]() -> QSet<QString>& { return open.empty() ? out : open.back().back(); };
    for (const QChar c : text) {
        if (c == u'{') {
            open.push_back({{QString()}});
        } else if (c == u'|' && !open.empty()) {
            open.back().push_back({QString()});
        } else if (c == u'}' && !open.empty()) {
            QSet<QString> any;
            for (const QSet<QString>& alternative : open.back())
                any.unite(alternative);
            open.pop_back();
            sink() = joined(sink(), any);
        } else {
            sink() = joined(sink(), {QString(c)});
        }
    }
    while (!open.empty()) {
        std::vector<QSet<QString>> group = std::move(open.back());
        open.pop_back();
        QSet<QString> literal{QStringLiteral("{")};
        for (std::size_t k = 0; k < group.size(); ++k)
            literal = joined(joined(literal, group[k]),
                             {k + 1 < group.size() ? QStringLiteral("|") : QString()});
        sink() = joined(sink(), literal);
    }
    return out;
}

// Every draw of a text of flat groups, as Spin draws it: one text per choice
// of each group, repeats included, and the text with each group as replaced.
QStringList everyDraw(const QString& text, const QStringList& replaced, QString& original) {
    QStringList draws{QString()};
    original.clear();
    qsizetype group = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'{') {
            for (QString& draw : draws)
                draw += text[i];
            original += text[i];
            continue;
        }
        const qsizetype close = text.indexOf(u'}', i);
        QStringList next;
        for (const QString& draw : draws)
            for (const QString& alternative : text.mid(i + 1, close - i - 1).split(u'|'))
                next << draw + alternative;
        draws = next;
        original += replaced[group++];
        i = close;
    }
    return draws;
}

// Words one text has that the other lacks, over the whole texts.
qint64 unshared(const QString& a, const QString& b) {
    const QStringList x = a.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    const QStringList y = b.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    std::vector<std::vector<int>> common(std::size_t(x.size() + 1),
                                         std::vector<int>(std::size_t(y.size() + 1), 0));
    for (qsizetype i = 1; i <= x.size(); ++i)
        for (qsizetype j = 1; j <= y.size(); ++j)
            common[i][j] = x[i - 1] == y[j - 1] ? common[i - 1][j - 1] + 1
                                                : std::max(common[i - 1][j], common[i][j - 1]);
    return x.size() + y.size() - 2 * common[x.size()][y.size()];
}

qint64 wordsIn(const QString& text) {
    return text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts).size();
}

} // namespace

// The spinner's engine: the rewrite, the word count, the synonym file's lines and Spin.
class RewriteTest : public QObject {
    Q_OBJECT

private slots:
    // The engine's answers; the differential test holds its exact path and the
    // line-by-line reference to the same.
    void rewrite_data() {
        QTest::addColumn<QString>("article");
        QTest::addColumn<QStringList>("rules");
        QTest::addColumn<QString>("spinText");
        QTest::addColumn<qint64>("replacements");
        QTest::addColumn<qint64>("words");
        QTest::addColumn<bool>("keepOriginal");

        const QStringList goodNiceFine{"{good|nice|fine}"};
        const QStringList goodNice{"{good|nice}"};
        const auto row = [](const char* name, const QString& article, const QStringList& rules,
                            const QString& spinText, qint64 replacements, qint64 words,
                            bool keepOriginal = false) {
            QTest::newRow(name) << article << rules << spinText << replacements << words
                                << keepOriginal;
        };
        row("the good dog", "the good dog", goodNiceFine, "the {nice|fine} dog", 1, 3);
        row("each end character in turn", "x good y good, z good. w good: v", goodNice,
            "x {nice} y {nice}, z {nice}. w {nice}: v", 4, 9);
        row("other ends, line breaks and the ends of the text",
            "good; b good! c good\nd\ngood e good", goodNice,
            "good; b good! c good\nd\ngood e good", 0, 9);
        row("a capital and all capitals are kept", "the Good, GOOD dog", goodNiceFine,
            "the {Nice|Fine}, {NICE|FINE} dog", 2, 4);
        row("one capital letter is not all capitals", "so I said", {"{i|me}"}, "so {Me} said", 1,
            3);
        row("multi-word terms", "so Very nice, VERY NICE day", {"{very nice|fine|really good}"},
            "so {Fine|Really good}, {FINE|REALLY GOOD} day", 2, 6);
        row("a non-letter first character", "a Good b 'Tis c", {"{good|'fine}", "{'tis|it is}"},
            "a {'fine} b {it is} c", 2, 5);
        row("original wording kept, in its own case", "the Good, good day, Dog.",
            {"{good|nice}", "{dog}"}, "the {Good|Nice}, {good|nice} day, {Dog}.", 3, 5, true);
        row("neighbouring known words", "the good big dog", {"{good|nice}", "{big|large}"},
            "the {nice} big dog", 1, 4);
        row("space marker in the article", "50%%off a good day", goodNiceFine,
            "50 off a {nice|fine} day", 1, 5);
        row("article marker next to an insert", "50% good dog", goodNice, "50 %{nice} dog", 1, 3);
        row("overlapping repeat", " good good ", goodNice, " {nice} good ", 1, 2);
        row("term in two lines", "a good day", {"{good|nice}", "{good|fine}"}, "a {nice} day", 1,
            3);
        row("multi-word synonym keeps its space", "a fine day", {"{fine|very nice}"},
            "a {very nice} day", 1, 3);
        row("capital term never matches but stays in the group", "the good nice dog",
            {"{Good|nice}"}, "the good {Good} dog", 1, 4);
        row("only term of its line", "the good dog", {"{good}"}, "the {good} dog", 1, 3);
        row("unbraced and empty lines", "the good big dog.",
            {"# note", "{good|nice}", "", "good nice", "{dog|hound}"}, "the {nice} big {hound}.", 2,
            4);
    }
    void rewrite() {
        QFETCH(QString, article);
        QFETCH(QStringList, rules);
        QFETCH(QString, spinText);
        QFETCH(qint64, replacements);
        QFETCH(qint64, words);
        QFETCH(bool, keepOriginal);
        const SynonymDb db = synonymDbFromLines(rules);
        const QString report =
            QStringLiteral("%1 Replacements on %2 words.").arg(replacements).arg(words);

        const RewriteResult engine = Reescribir(article, db, keepOriginal);
        QCOMPARE(engine.spinText, spinText);
        QCOMPARE(engine.replacementCount, replacements);
        QCOMPARE(engine.wordCount, words);
        QCOMPARE(engine.report, report);
        QCOMPARE(test::referenceReescribir(article, rules, keepOriginal).spinText, spinText);
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
        QCOMPARE(result.spinText, QStringLiteral(" {nice},").repeated(40000));
        QCOMPARE(result.report, QStringLiteral("40000 Replacements on 40000 words."));
    }

    void countWords_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("words");
        const auto row = [](const char* name, const char16_t* text, qint64 words) {
            QTest::newRow(name) << QString::fromUtf16(text) << words;
        };
        row("empty", u"", 0);
        row("space in front counts one less", u" hello world", 1);
        row("space behind", u"hello world ", 2);
        row("full stop and apostrophe join, times and divide signs separate",
            u"don't stop. 5×3 6÷2", 6);
        row("ASCII punctuation and control characters separate", u"a,b;c!d?e\nf\tg", 7);
        row("128-159 and 188-255 join, 160-187 separate", u"café ½ a\u0085b a\u00a0b«c»", 6);
        // Above 255 letters and digits join (also U+0100, whose low byte is 0)
        // and everything else separates.
        row("letters and digits above 255 join", u"καλή мир 你好、世 ĀĀ ١٢ Ａ", 7);
        row("other characters above 255 separate", u"don\u2019t one\u2014two", 4);
        row("a surrogate pair is one character", u"\U00010400\U00010401 x \U0001D400", 3);
        row("lone surrogates separate",
            u"a\xD800"
            u"b\xDC00"
            u"c",
            3);
    }
    void countWords() {
        QFETCH(QString, text);
        QFETCH(qint64, words);
        QCOMPARE(count_words(text), words);
    }

    // The loader splits lines itself; they must be those LoadListFile gives,
    // whatever mix of line ends the file has.
    void linesEqualLoadListFile() {
        QTemporaryDir dir;
        QRandomGenerator random(11);
        const char pieces[] = {'\r', '\n', 'a', '{', '|', '}'};
        for (int i = 0; i < 300; ++i) {
            QByteArray bytes;
            for (int k = random.bounded(8); k > 0; --k)
                bytes += pieces[random.bounded(6)];
            const QString path = dir.filePath(QStringLiteral("rwdb%1.txt").arg(i));
            test::writeFile(path, bytes);
            const auto expected = LoadListFile(path);
            const auto db = loadSynonymDb(path);
            QVERIFY(expected.ok() && db.ok());
            QVERIFY2(db->lines() == expected.value(), bytes.toPercentEncoding().constData());
        }
    }

    // Same seed, same variant and as many draws as the direct way.
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
            QCOMPARE(Spin(text, b), referenceSpin(text, a));
            QCOMPARE(b.generate(), a.generate());
        }
    }

    // Counted without expanding, numbered without repeats: as many as there are.
    void variantSpaceEqualsEveryChoice() {
        QRandomGenerator texts(3);
        const QString alphabet = QStringLiteral("{{}|||aab ");
        for (int round = 0; round < 3000; ++round) {
            QString text;
            const int length = int(texts.bounded(16));
            for (int i = 0; i < length; ++i)
                text += alphabet[texts.bounded(int(alphabet.size()))];
            const QSet<QString> expected = allVariants(text);
            const VariantSpace space(text);
            QSet<QString> numbered;
            for (qint64 rank = 0; rank < space.count(); ++rank)
                numbered.insert(space.variant(rank));
            QVERIFY2(space.count() == expected.size() && numbered == expected, qPrintable(text));
        }
        // Nested a hundred thousand deep, or a million and more: at once.
        const int depth = 100000;
        QCOMPARE(VariantSpace(QStringLiteral("{a|x").repeated(depth) + u'b' + QString(depth, u'}'))
                     .count(),
                 depth + 1);
        QVERIFY(VariantSpace(QStringLiteral("{a|b} ").repeated(20)).moreThanAMillion());
    }

    // The figures shown after a rewrite, against every pair of draws compared whole.
    void figuresEqualEveryDraw_data() {
        QTest::addColumn<QString>("spinText");
        QTest::addColumn<QStringList>("replaced");
        QTest::newRow("one group") << u"the {nice|fine|good} dog"_s << QStringList{u"good"_s};
        QTest::newRow("phrases against words")
            << u"it is {a lot of|lots of|much} work, {really|truly} it is."_s
            << QStringList{u"much"_s, u"really"_s};
        QTest::newRow("groups joined to punctuation")
            << u"Say {hi|hello}, then {go|leave}."_s << QStringList{u"hi"_s, u"go"_s};
        QTest::newRow("first and last, and the original among the choices")
            << u"{Good|Nice} day to {you|all|you}"_s << QStringList{u"Good"_s, u"you"_s};
        QTest::newRow("a group inside a word")
            << u"re{do|make} it, {x|} y"_s << QStringList{u"do"_s, u"x"_s};
        QTest::newRow("a group of one, none differ") << u"a {same} b"_s << QStringList{u"same"_s};
        QTest::newRow("neighbours side by side")
            << u"a {nice|fine} {day|date|time}."_s << QStringList{u"good"_s, u"week"_s};
    }

    void figuresEqualEveryDraw() {
        QFETCH(QString, spinText);
        QFETCH(QStringList, replaced);
        QString original;
        const QStringList draws = everyDraw(spinText, replaced, original);
        double differ = 0, words = 0, fromOriginal = 0, withOriginal = 0;
        for (const QString& a : draws) {
            for (const QString& b : draws) {
                differ += double(unshared(a, b));
                words += double(wordsIn(a) + wordsIn(b));
            }
            fromOriginal += double(unshared(a, original));
            withOriginal += double(wordsIn(a) + wordsIn(original));
        }
        QRandomGenerator generator(1);
        const std::vector<QString> list(replaced.begin(), replaced.end());
        const VariantSummary summary = summarizeVariants(spinText, original, generator, &list);
        QVERIFY2(qAbs(summary.betweenVariants - differ / words) < 1e-9,
                 qPrintable(u"%1 against %2"_s.arg(summary.betweenVariants).arg(differ / words)));
        QVERIFY2(
            qAbs(summary.fromOriginal - fromOriginal / withOriginal) < 1e-9,
            qPrintable(
                u"%1 against %2"_s.arg(summary.fromOriginal).arg(fromOriginal / withOriginal)));
        QCOMPARE(summary.count, qint64(QSet<QString>(draws.begin(), draws.end()).size()));
    }

    // A file starts careful; a reader that knows no tiers applies every line,
    // taking the tier lines for groups that never match: the bold rewrite.
    void tiersOfTheFile_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("article");
        QTest::addColumn<QString>("careful");
        QTest::addColumn<QString>("bold");
        QTest::newRow("old form: careful throughout")
            << QStringList{u"{good|nice|fine}"_s, u"{big|large}"_s} << u"a good, big day"_s
            << u"a {nice|fine}, {large} day"_s << u"a {nice|fine}, {large} day"_s;
        QTest::newRow("bold lines only when asked")
            << QStringList{u"{good|nice}"_s, u"{Tier: bold}"_s, u"{day|date}"_s,
                           u"{Tier: careful}"_s, u"{big|large}"_s}
            << u"a good, big, day."_s << u"a {nice}, {large}, day."_s
            << u"a {nice}, {large}, {date}."_s;
        QTest::newRow("a bold line before a careful one takes its word")
            << QStringList{u"{Tier: bold}"_s, u"{good|nice|fine}"_s, u"{Tier: careful}"_s,
                           u"{good|nice}"_s}
            << u"a good day"_s << u"a {nice} day"_s << u"a {nice|fine} day"_s;
        QTest::newRow("bold swaps neighbours both")
            << QStringList{u"{good|nice}"_s, u"{day|date}"_s} << u"a good day, good day."_s
            << u"a {nice} day, {nice} day."_s << u"a {nice} {date}, {nice} {date}."_s;
    }

    void tiersOfTheFile() {
        QFETCH(QStringList, lines);
        QFETCH(QString, article);
        QFETCH(QString, careful);
        QFETCH(QString, bold);
        const SynonymDb file = synonymDbFromLines(lines);
        QCOMPARE(rewriteSpunText(article, file.forTier(SynonymTier::Careful)).spinText, careful);
        QCOMPARE(rewriteSpunText(article, file.forTier(SynonymTier::Bold), false, Neighbours::Share)
                     .spinText,
                 bold);
        QCOMPARE(test::referenceReescribir(article, lines, false, true).spinText, bold);
    }

    // Each would take minutes if text were copied once per open or nested level.
    void staysLinearOnHostileBraces_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("variant");
        const int n = 1000000;
        QTest::newRow("a million unclosed braces") << QString(n, u'{') << QString(n, u'{');
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
};

TANDREL_TEST(RewriteTest)
#include "rewrite_test.moc"
