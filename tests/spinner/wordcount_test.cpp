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
};

TANDREL_TEST(CountWordsTest)
#include "wordcount_test.moc"
