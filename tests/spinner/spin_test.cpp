#include "spin.h"
#include "testregistry.h"

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

TANDREL_TEST(SpinTest)
#include "spin_test.moc"
