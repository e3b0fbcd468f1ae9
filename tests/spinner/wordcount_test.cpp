#include "testregistry.h"
#include "wordcount.h"

#include <QTest>

using namespace tandrel;

class CountWordsTest : public QObject {
    Q_OBJECT

private slots:
    void countWords_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("words");

        QTest::newRow("empty") << QString() << qint64(0);
        QTest::newRow("only spaces") << QStringLiteral("   ") << qint64(0);
        QTest::newRow("one word") << QStringLiteral("hello") << qint64(1);
        QTest::newRow("two words") << QStringLiteral("hello world") << qint64(2);
        QTest::newRow("space in front counts one less")
            << QStringLiteral(" hello world") << qint64(1);
        QTest::newRow("space behind") << QStringLiteral("hello world ") << qint64(2);
        QTest::newRow("spaces around") << QStringLiteral(" hello world ") << qint64(2);
        QTest::newRow("full stop is a word character")
            << QStringLiteral("hello world.") << qint64(2);
        QTest::newRow("apostrophe is a word character") << QStringLiteral("don't go") << qint64(2);
        QTest::newRow("multiplication sign separates") << QStringLiteral("5\u00d73") << qint64(2);
        QTest::newRow("division sign separates") << QStringLiteral("6\u00f72") << qint64(2);
        QTest::newRow("punctuation separates") << QStringLiteral("a,b;c!d?e") << qint64(5);
        QTest::newRow("line breaks separate") << QStringLiteral("a\nb\r\nc\td") << qint64(4);
        QTest::newRow("the good dog") << QStringLiteral("the good dog") << qint64(3);
        QTest::newRow("Latin-1 letters")
            << QStringLiteral("caf\u00e9 na\u00efve \u00fcber") << qint64(3);
        QTest::newRow("one half is a word character") << QStringLiteral("\u00bd cup") << qint64(2);
        QTest::newRow("guillemets 171 and 187 separate")
            << QStringLiteral("\u00abhi\u00bb there") << qint64(1);
        QTest::newRow("160 to 187 separate") << QStringLiteral("a\u00a0b\u00a9c") << qint64(3);
        QTest::newRow("128 to 159 join words") << QStringLiteral("a\u0085b") << qint64(1);
        // Above 255: letters and digits join words, everything else separates.
        QTest::newRow("Greek") << QStringLiteral(
                                      "\u03ba\u03b1\u03bb\u03ae \u03bc\u03ad\u03c1\u03b1")
                               << qint64(2);
        QTest::newRow("Cyrillic") << QStringLiteral(
                                         "\u043f\u0440\u0438\u0432\u0435\u0442 \u043c\u0438\u0440")
                                  << qint64(2);
        QTest::newRow("Chinese with ideographic comma")
            << QStringLiteral("\u4f60\u597d\u3001\u4e16\u754c") << qint64(2);
        QTest::newRow("Latin Extended-A, low byte 0")
            << QStringLiteral("\u0100\u0100 b") << qint64(2);
        QTest::newRow("Arabic-Indic digits") << QStringLiteral("\u0661\u0662 x") << qint64(2);
        QTest::newRow("curly apostrophe separates") << QStringLiteral("don\u2019t") << qint64(2);
        QTest::newRow("em dash separates") << QStringLiteral("one\u2014two") << qint64(2);
        QTest::newRow("fullwidth letters") << QStringLiteral("\uff21\uff22 c") << qint64(2);
        // A surrogate pair is one character: a letter outside the BMP is one word character.
        QTest::newRow("Deseret letters") << QStringLiteral("\U00010400\U00010401 a") << qint64(2);
        QTest::newRow("mathematical bold letters")
            << QStringLiteral("x \U0001D400\U0001D401") << qint64(2);
        QTest::newRow("emoji separates") << QStringLiteral("hi\U0001F600there") << qint64(2);
        QTest::newRow("emoji at the start") << QStringLiteral("\U0001F600 hi") << qint64(0);
        QTest::newRow("emoji at the end") << QStringLiteral("hi \U0001F600") << qint64(1);
        QTest::newRow("letter pair at both ends")
            << QStringLiteral("\U00010400 \U00010401") << qint64(2);
        QTest::newRow("lone high surrogate separates") << QString::fromUtf16(u"a\xD800"
                                                                             "b")
                                                       << qint64(2);
        QTest::newRow("lone low surrogate separates") << QString::fromUtf16(u"a\xDC00"
                                                                            "b")
                                                      << qint64(2);
    }
    void countWords() {
        QFETCH(QString, text);
        QFETCH(qint64, words);
        QCOMPARE(count_words(text), words);
    }
};

TANDREL_TEST(CountWordsTest)
#include "wordcount_test.moc"
