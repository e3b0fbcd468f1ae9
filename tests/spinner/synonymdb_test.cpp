#include "synonymdb.h"
#include "synonymindex.h"
#include "testregistry.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace tandrel;

namespace {

QStringList itemsOf(const detail::SynonymIndex& index, qsizetype line) {
    QStringList items;
    for (const quint32* id = index.itemsBegin(line); id != index.itemsEnd(line); ++id)
        items << index.termText(*id).toString();
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
        QTest::newRow("braced line gives its terms") << "{good|nice|fine}" << QStringList() << goodNiceFine;
        QTest::newRow("next braced line replaces them") << "{big|large}" << goodNiceFine << bigLarge;
        QTest::newRow("empty line keeps the previous terms") << "" << bigLarge << bigLarge;
        QTest::newRow("comment keeps the previous terms") << "big large" << bigLarge << bigLarge;
        QTest::newRow("space in front is not braced") << " {good|nice}" << bigLarge << bigLarge;
        QTest::newRow("space behind is not braced") << "{good|nice} " << bigLarge << bigLarge;
        QTest::newRow("lone brace is not braced") << "{" << bigLarge << bigLarge;
        QTest::newRow("empty part makes no term") << "{good||nice|}" << QStringList() << QStringList{"good", "nice"};
        QTest::newRow("empty braces empty the items") << "{}" << bigLarge << QStringList();
        QTest::newRow("inner braces are removed") << "{a{b|c}d}" << QStringList() << QStringList{"ab", "cd"};
        QTest::newRow("capital kept as written") << "{Good|nice}" << QStringList() << QStringList{"Good", "nice"};
        QTest::newRow("multi-word term") << "{very nice|lovely}" << QStringList() << QStringList{"very nice", "lovely"};
        QTest::newRow("term with spaces around") << "{ nice |x}" << QStringList() << QStringList{" nice ", "x"};
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

        QTest::newRow("first term") << "{good|nice|fine}" << "good" << "{nice|fine}";
        QTest::newRow("middle term") << "{good|nice|fine}" << "nice" << "{good|fine}";
        QTest::newRow("last term") << "{good|nice|fine}" << "fine" << "{good|nice}";
        QTest::newRow("only term stays") << "{good}" << "good" << "{good}";
        QTest::newRow("capital stays in the others") << "{Good|nice}" << "nice" << "{Good}";
        QTest::newRow("capital term matched ignoring case") << "{Good|nice}" << "GOOD" << "{nice}";
        QTest::newRow("term that is a prefix of another") << "{go|good|gone}" << "go" << "{good|gone}";
        QTest::newRow("repeated term removed everywhere") << "{a|b|a|c|a}" << "a" << "{b|c}";
        QTest::newRow("adjacent middles, no rescan") << "{x|a|a|a|y}" << "a" << "{x|a|y}";
        QTest::newRow("two-term line, first") << "{big|large}" << "big" << "{large}";
        QTest::newRow("unbraced line, same steps") << "good|nice|fine" << "nice" << "good|fine";
        QTest::newRow("unbraced line without the term") << "some comment" << "nice" << "some comment";
        QTest::newRow("empty line") << "" << "nice" << "";
        QTest::newRow("inner brace stays") << "{a{b|c}" << "c" << "{a{b}";
        QTest::newRow("multi-word term") << "{very nice|lovely}" << "lovely" << "{very nice}";
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
            << QByteArray("{good|nice}\n\n# note\n{big|large}") << QStringList{"{good|nice}", "", "# note", "{big|large}"};
        QTest::newRow("CR LF") << QByteArray("{a|b}\r\n{c|d}\r\n") << QStringList{"{a|b}", "{c|d}"};
        QTest::newRow("empty file") << QByteArray() << QStringList();
        QTest::newRow("UTF-8 with byte-order mark") << QByteArray("\xEF\xBB\xBF{caf\xC3\xA9|bar}\n")
                                                    << QStringList{QStringLiteral("{caf\u00e9|bar}")};
        QTest::newRow("Windows-1252") << QByteArray("{caf\xE9|bar}\n") << QStringList{QStringLiteral("{caf\u00e9|bar}")};
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
        const QStringList pieces{"good", "nice", "Good", "very nice", "", "{", "}", "|", " ", "x.y", "%", "\u00e9t\u00e9"};
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

    // Term ids follow the order of first appearance, which is the order in
    // which a rewrite first tries them; repeats share one id.
    void termIdsFollowFirstAppearance() {
        const SynonymDb db = synonymDbFromLines({"{b|a}", "note", "{a|c|b}", "{C|c}"});
        const auto& index = db.index();
        QCOMPARE(index.terms().size(), std::size_t(4));
        QCOMPARE(index.termText(0), u"b");
        QCOMPARE(index.termText(1), u"a");
        QCOMPARE(index.termText(2), u"c");
        QCOMPARE(index.termText(3), u"C");
        QCOMPARE(index.terms()[2].line, 2u);
        QCOMPARE(index.terms()[3].group, index.terms()[2].group); // same folded text
        QCOMPARE(*index.itemsBegin(2), 1u);
        QVERIFY(index.itemsBegin(1) == index.itemsEnd(1));
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

    // Many distinct terms force the hash tables to grow several times.
    void findsEveryTermAfterGrowing() {
        QStringList lines;
        for (int i = 0; i < 20000; ++i)
            lines << QStringLiteral("{w%1|v%1 x.%1}").arg(i);
        const SynonymDb db = synonymDbFromLines(lines);
        const auto& index = db.index();
        QCOMPARE(index.terms().size(), std::size_t(40000));
        for (quint32 id = 0; id < index.terms().size(); ++id) {
            const QStringView text = index.termText(id);
            QCOMPARE(index.findGroup(hashOf(text), text.utf16(), text.size()), index.terms()[id].group);
        }
        QCOMPARE(index.findGroup(detail::kHashSeed, nullptr, 0), detail::SynonymIndex::kNone);
        // "v7 x.7" must be walked past its space and its full stop.
        QVERIFY(index.maybePrefix(hashOf(u"v7")));
        QVERIFY(index.maybePrefix(hashOf(u"v7 x")));
        QCOMPARE(index.maxTermLength(), QStringLiteral("v19999 x.19999").size());
    }
};

TANDREL_TEST(SynonymDbTest)
#include "synonymdb_test.moc"
