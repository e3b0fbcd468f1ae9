#include "synonymdb.h"
#include "synonymindex.h"
#include "testregistry.h"
#include "textfiles.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace tandrel;

namespace {

QStringList itemsOf(const detail::SynonymIndex& index, qsizetype line) {
    QStringList items;
    for (quint32 i = index.itemsBegin(line); i != index.itemsEnd(line); ++i)
        items << index.termText(i).toString();
    return items;
}

quint64 hashOf(QStringView text) {
    quint64 hash = detail::kHashSeed;
    for (QChar c : text)
        hash = detail::hashStep(hash, c.unicode());
    return hash;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}

} // namespace

class SynonymDbTest : public QObject {
    Q_OBJECT

private slots:
    void loadRule_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("previous");
        QTest::addColumn<QStringList>("items");

        const QStringList goodNiceFine{"good", "nice", "fine"};
        const QStringList bigLarge{"big", "large"};
        QTest::newRow("braced line gives its terms")
            << "{good|nice|fine}" << QStringList() << goodNiceFine;
        QTest::newRow("next braced line replaces them")
            << "{big|large}" << goodNiceFine << bigLarge;
        QTest::newRow("empty line keeps the previous terms") << "" << bigLarge << bigLarge;
        QTest::newRow("comment keeps the previous terms") << "big large" << bigLarge << bigLarge;
        QTest::newRow("space in front is not braced") << " {good|nice}" << bigLarge << bigLarge;
        QTest::newRow("space behind is not braced") << "{good|nice} " << bigLarge << bigLarge;
        QTest::newRow("lone brace is not braced") << "{" << bigLarge << bigLarge;
        QTest::newRow("empty part makes no term")
            << "{good||nice|}" << QStringList() << QStringList{"good", "nice"};
        QTest::newRow("empty braces empty the items") << "{}" << bigLarge << QStringList();
        QTest::newRow("inner braces are removed")
            << "{a{b|c}d}" << QStringList() << QStringList{"ab", "cd"};
        QTest::newRow("capital kept as written")
            << "{Good|nice}" << QStringList() << QStringList{"Good", "nice"};
        QTest::newRow("multi-word term")
            << "{very nice|lovely}" << QStringList() << QStringList{"very nice", "lovely"};
        QTest::newRow("term with spaces around")
            << "{ nice |x}" << QStringList() << QStringList{" nice ", "x"};
    }
    void loadRule() {
        QFETCH(QString, line);
        QFETCH(QStringList, previous);
        QFETCH(QStringList, items);
        QCOMPARE(LoadRule(line, previous), items);
    }

    void ruleWithoutTerm_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("term");
        QTest::addColumn<QString>("reduced");

        QTest::newRow("first term") << "{good|nice|fine}"
                                    << "good"
                                    << "{nice|fine}";
        QTest::newRow("middle term") << "{good|nice|fine}"
                                     << "nice"
                                     << "{good|fine}";
        QTest::newRow("last term") << "{good|nice|fine}"
                                   << "fine"
                                   << "{good|nice}";
        QTest::newRow("only term stays") << "{good}"
                                         << "good"
                                         << "{good}";
        QTest::newRow("capital stays in the others") << "{Good|nice}"
                                                     << "nice"
                                                     << "{Good}";
        QTest::newRow("capital term matched ignoring case") << "{Good|nice}"
                                                            << "GOOD"
                                                            << "{nice}";
        QTest::newRow("term that is a prefix of another") << "{go|good|gone}"
                                                          << "go"
                                                          << "{good|gone}";
        QTest::newRow("repeated term removed everywhere") << "{a|b|a|c|a}"
                                                          << "a"
                                                          << "{b|c}";
        QTest::newRow("adjacent middles, no rescan") << "{x|a|a|a|y}"
                                                     << "a"
                                                     << "{x|a|y}";
        QTest::newRow("two-term line, first") << "{big|large}"
                                              << "big"
                                              << "{large}";
        QTest::newRow("unbraced line, same steps") << "good|nice|fine"
                                                   << "nice"
                                                   << "good|fine";
        QTest::newRow("unbraced line without the term") << "some comment"
                                                        << "nice"
                                                        << "some comment";
        QTest::newRow("empty line") << ""
                                    << "nice"
                                    << "";
        QTest::newRow("inner brace stays") << "{a{b|c}"
                                           << "c"
                                           << "{a{b}";
        QTest::newRow("multi-word term") << "{very nice|lovely}"
                                         << "lovely"
                                         << "{very nice}";
    }
    void ruleWithoutTerm() {
        QFETCH(QString, line);
        QFETCH(QString, term);
        QFETCH(QString, reduced);
        QCOMPARE(RuleWithoutTerm(line, term), reduced);
    }

    void loadsEveryLineInOrder_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");

        QTest::newRow("two lines") << QByteArray("{good|nice|fine}\n{big|large}\n")
                                   << QStringList{"{good|nice|fine}", "{big|large}"};
        QTest::newRow("empty and unbraced lines kept")
            << QByteArray("{good|nice}\n\n# note\n{big|large}")
            << QStringList{"{good|nice}", "", "# note", "{big|large}"};
        QTest::newRow("CR LF") << QByteArray("{a|b}\r\n{c|d}\r\n") << QStringList{"{a|b}", "{c|d}"};
        QTest::newRow("empty file") << QByteArray() << QStringList();
        QTest::newRow("UTF-8 with byte-order mark")
            << QByteArray("\xEF\xBB\xBF{caf\xC3\xA9|bar}\n")
            << QStringList{QStringLiteral("{caf\u00e9|bar}")};
        QTest::newRow("Windows-1252")
            << QByteArray("{caf\xE9|bar}\n") << QStringList{QStringLiteral("{caf\u00e9|bar}")};
    }
    void loadsEveryLineInOrder() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        QTemporaryDir dir;
        const QString path = writeFile(dir, QStringLiteral("rwdb.txt"), bytes);
        QVERIFY(!path.isEmpty());
        const auto db = loadSynonymDb(path);
        QVERIFY2(db.ok(), qPrintable(db.error()));
        QCOMPARE(db->lines(), lines);
        QCOMPARE(db->lineCount(), lines.size());
    }

    void missingFileIsAnErrorNamingIt() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("nowhere/rwdb.txt"));
        const auto db = loadSynonymDb(path);
        QVERIFY(!db.ok());
        QVERIFY2(db.error().contains(QDir::toNativeSeparators(path)), qPrintable(db.error()));
    }

    void emptyDbHasNoLines() {
        const SynonymDb db;
        QCOMPARE(db.lineCount(), 0);
        QCOMPARE(db.index().terms().size(), std::size_t(0));
    }

    // The index's items per line are what LoadRule gives, on lines mixing
    // every odd shape a file can hold.
    void indexItemsMatchLoadRule() {
        QRandomGenerator random(7);
        const QStringList pieces{"good", "nice", "Good", "very nice", "",  "{",
                                 "}",    "|",    " ",    "x.y",       "%", "\u00e9t\u00e9"};
        QStringList lines;
        for (int i = 0; i < 2000; ++i) {
            QString line = random.bounded(4) ? QStringLiteral("{") : QString();
            const int parts = random.bounded(6);
            for (int p = 0; p < parts; ++p)
                line += pieces[random.bounded(pieces.size())];
            if (random.bounded(4))
                line += u'}';
            lines << line;
        }
        const SynonymDb db = synonymDbFromLines(lines);
        QCOMPARE(db.lines(), lines);
        for (qsizetype i = 0; i < lines.size(); ++i) {
            QCOMPARE(db.index().braced(i), isBracedRule(lines[i]));
            if (isBracedRule(lines[i]))
                QCOMPARE(itemsOf(db.index(), i), LoadRule(lines[i], {}));
        }
    }

    // Terms are kept in file order with repeats, each with its folded text
    // and that text's hash, which is what a rewrite looks them up by.
    void termsKeepFileOrderAndFolding() {
        const SynonymDb db = synonymDbFromLines(
            {"{b|a}", "note", "{a|\u03a3\u039f\u03a6\u039f\u03a3|b}", "{Good|good}"});
        const auto& index = db.index();
        QCOMPARE(index.terms().size(), std::size_t(7));
        QCOMPARE(itemsOf(index, 0), (QStringList{"b", "a"}));
        QVERIFY(index.itemsBegin(1) == index.itemsEnd(1));
        QCOMPARE(itemsOf(index, 2), (QStringList{"a", "\u03a3\u039f\u03a6\u039f\u03a3", "b"}));
        QCOMPARE(itemsOf(index, 3), (QStringList{"Good", "good"}));
        const auto folded = [&](quint32 i) {
            return QStringView(index.foldedText(i), qsizetype(index.terms()[i].length)).toString();
        };
        QCOMPARE(folded(3), QStringLiteral("\u03c3\u03bf\u03c6\u03bf\u03c3"));
        QCOMPARE(index.terms()[3].hash, hashOf(u"\u03c3\u03bf\u03c6\u03bf\u03c3"));
        QCOMPARE(folded(5), QStringLiteral("good"));
        QCOMPARE(index.terms()[5].hash, index.terms()[6].hash);
        QCOMPARE(index.terms()[0].hash, index.terms()[4].hash);
        QVERIFY(index.terms()[0].hash != index.terms()[1].hash);
    }

    // The lines are those LoadListFile gives, whatever mix of line ends the file has.
    void linesEqualLoadListFile() {
        QTemporaryDir dir;
        QRandomGenerator random(11);
        const char pieces[] = {'\r', '\n', 'a', '{', '|', '}'};
        for (int i = 0; i < 300; ++i) {
            QByteArray bytes;
            const int length = random.bounded(8);
            for (int k = 0; k < length; ++k)
                bytes += pieces[random.bounded(6)];
            const QString path = writeFile(dir, QStringLiteral("rwdb%1.txt").arg(i), bytes);
            const auto expected = LoadListFile(path);
            const auto db = loadSynonymDb(path);
            QVERIFY(expected.ok() && db.ok());
            QVERIFY2(db->lines() == expected.value(), bytes.toPercentEncoding().constData());
        }
    }

    void builderGrowsInSteps() {
        SynonymDbBuilder builder;
        builder.addLines({"{good|nice}", ""});
        QCOMPARE(builder.lineCount(), 2);
        builder.addLine(QStringLiteral("{big|large}"));
        QCOMPARE(builder.lineCount(), 3);
        const SynonymDb db = builder.finish();
        QCOMPARE(db.lines(), (QStringList{"{good|nice}", "", "{big|large}"}));
        QCOMPARE(builder.lineCount(), 0);
        const SynonymDb copy = db; // shares the loaded data
        QCOMPARE(&copy.index(), &db.index());
    }

    // Many multi-word terms make the prefix table grow several times; a scan
    // must still be told to walk on after each of their inner end characters.
    void prefixesSurviveGrowing() {
        QStringList lines;
        for (int i = 0; i < 20000; ++i)
            lines << QStringLiteral("{w%1|v%1 x.%1}").arg(i);
        const SynonymDb db = synonymDbFromLines(lines);
        const auto& index = db.index();
        QCOMPARE(index.terms().size(), std::size_t(40000));
        for (int i = 0; i < 20000; i += 997) {
            QVERIFY(index.maybePrefix(hashOf(QStringLiteral("v%1").arg(i))));
            QVERIFY(index.maybePrefix(hashOf(QStringLiteral("v%1 x").arg(i))));
        }
        QCOMPARE(index.maxTermLength(), QStringLiteral("v19999 x.19999").size());
        QVERIFY(!synonymDbFromLines({"{good|nice}"}).index().maybePrefix(hashOf(u"good")));
    }
};

TANDREL_TEST(SynonymDbTest)
#include "synonymdb_test.moc"
