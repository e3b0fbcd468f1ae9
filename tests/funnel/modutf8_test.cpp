#include "modutf8.h"
#include "pages.h"
#include "testregistry.h"

#include <QTemporaryDir>
#include <QTest>

class Utf8WriterTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QByteArray writeNew(const QString& name, const QString& text, bool lineBreak) {
        const QString path = dir.filePath(name);
        auto file = modUTF8::OpenForAppend(path);
        if (!file)
            return "open failed";
        if (!modUTF8::WriteUTF8Text(*file.value(), text, lineBreak))
            return "write failed";
        file.value()->close();
        QFile in(path);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : "read failed";
    }

private slots:
    void encodes_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("lineBreak");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty, no line break") << "" << false << QByteArray();
        QTest::newRow("empty with line break") << "" << true << QByteArray("\r\n");
        QTest::newRow("line ends kept as they stand") << "a\nb\r\nc" << false << QByteArray("a\nb\r\nc");
        QTest::newRow("two-byte e acute") << QString(QChar(0xE9)) << false << QByteArray("\xC3\xA9");
        QTest::newRow("three-byte euro") << QString(QChar(0x20AC)) << true << QByteArray("\xE2\x82\xAC\r\n");
        QTest::newRow("four-byte surrogate pair") << QString::fromUcs4(U"\U0001F600") << false << QByteArray("\xF0\x9F\x98\x80");
        QTest::newRow("no mark unless the text starts with one") << QString(QChar(0xFEFF)) + "x" << false << QByteArray("\xEF\xBB\xBFx");
    }

    void encodes() {
        QFETCH(QString, text);
        QFETCH(bool, lineBreak);
        QFETCH(QByteArray, bytes);
        QCOMPARE(writeNew(QString::fromLatin1(QTest::currentDataTag()), text, lineBreak), bytes);
        QVERIFY(QFileInfo::exists(dir.filePath(QString::fromLatin1(QTest::currentDataTag()))));
    }

    void appendsAfterTheLastByte() {
        const QString path = dir.filePath("append.txt");
        QFile seed(path);
        QVERIFY(seed.open(QIODevice::WriteOnly));
        seed.write("old");
        seed.close();
        auto file = modUTF8::OpenForAppend(path);
        QVERIFY(file.ok());
        QVERIFY(modUTF8::WriteUTF8Text(*file.value(), QStringLiteral("new"), true));
        file.value()->close();
        QFile in(path);
        QVERIFY(in.open(QIODevice::ReadOnly));
        QCOMPARE(in.readAll(), QByteArray("oldnew\r\n"));
    }

    void writePageReplacesTheOldPage() {
        const QString path = dir.filePath("page.html");
        QVERIFY(tandrel::writePage(path, QStringLiteral("first build, long text")));
        QVERIFY(tandrel::writePage(path, QStringLiteral("second")));
        QFile in(path);
        QVERIFY(in.open(QIODevice::ReadOnly));
        QCOMPARE(in.readAll(), QByteArray("second"));
    }

    void openFailureNamesTheFile() {
        auto file = modUTF8::OpenForAppend(dir.path()); // a folder cannot be opened as a file
        QVERIFY(!file.ok());
        QVERIFY(file.error().contains(QDir::toNativeSeparators(dir.path())));
    }
};

TANDREL_TEST(Utf8WriterTest)
#include "modutf8_test.moc"
