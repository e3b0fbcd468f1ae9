#include "apppaths.h"
#include "modcopy.h"
#include "testregistry.h"
#include "textfiles.h"
#include "tools.h"

#include <QTemporaryDir>
#include <QTest>

using namespace tandrel;

class PlatformTest : public QObject {
    Q_OBJECT

    static void write(const QString& path, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(bytes), bytes.size());
    }

private slots:
    void strReplace_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("find");
        QTest::addColumn<QString>("replacement");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("result");
        QTest::newRow("every occurrence") << "[A] and [A]" << "[A]" << "x" << 0 << "x and x";
        QTest::newRow("exact mode respects case") << "[Footer] [FOOTER]" << "[FOOTER]" << "f" << 0 << "[Footer] f";
        QTest::newRow("mode 1 ignores case") << "[Footer] [FOOTER]" << "[FOOTER]" << "f" << 1 << "f f";
        QTest::newRow("inserted text is not rescanned") << "[A]" << "[A]" << "[A][A]" << 0 << "[A][A]";
        QTest::newRow("left to right, no overlap") << "aaa" << "aa" << "b" << 0 << "ba";
        QTest::newRow("empty replacement removes") << "x[A]y" << "[A]" << "" << 0 << "xy";
        QTest::newRow("empty find changes nothing") << "abc" << "" << "z" << 0 << "abc";
        QTest::newRow("not found") << "abc" << "[A]" << "z" << 0 << "abc";
    }

    void strReplace() {
        QFETCH(QString, text);
        QFETCH(QString, find);
        QFETCH(QString, replacement);
        QFETCH(int, mode);
        QFETCH(QString, result);
        QCOMPARE(StrReplace(text, find, replacement, mode), result);
    }

    void fileNamesAndLists() {
        QCOMPARE(GetFileName(QStringLiteral("D:\\pics\\cover.jpg")), QStringLiteral("cover.jpg"));
        QCOMPARE(GetFileName(QStringLiteral("/home/u/x.jpg/x.jpg")), QStringLiteral("x.jpg"));
        QCOMPARE(GetFileName(QStringLiteral("plain.jpg")), QStringLiteral("plain.jpg"));
        QCOMPARE(SplitToList(QStringLiteral("good||nice|"), QStringLiteral("|")), (QStringList{"good", "nice"}));
        QCOMPARE(AppPaths(QStringLiteral("/")).outputTemplatesDir(), QStringLiteral("/output/templates"));
        QCOMPARE(AppPaths(QStringLiteral("/app/")).synonymFile(), QStringLiteral("/app/rwdb.txt"));
    }

    void decodesText_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("utf-8 mark dropped, line ends kept") << QByteArray("\xEF\xBB\xBF" "a\r\nb\n") << "a\r\nb\n";
        QTest::newRow("utf-8") << QByteArray("caf\xC3\xA9 \xE2\x82\xAC") << QString::fromUtf8("café €");
        QTest::newRow("windows-1252 fallback") << QByteArray("caf\xE9 \x80 \x96") << QString::fromUtf8("café € –");
    }

    void decodesText() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(decodeText(bytes), text);
    }

    void listFileLines() {
        QTemporaryDir dir;
        write(dir.filePath("l.txt"), "{a|b}\r\n\n{c|d}\rlast\n");
        auto lines = LoadListFile(dir.filePath("l.txt"));
        QVERIFY(lines.ok());
        QCOMPARE(lines.value(), (QStringList{"{a|b}", "", "{c|d}", "last"}));
        auto missing = LoadListFile(dir.filePath("none.txt"));
        QVERIFY(!missing.ok());
        QVERIFY(missing.error().contains(QStringLiteral("none.txt")));
    }

    void atomicSaveLeavesTheOldFileWhole() {
        QTemporaryDir dir;
        const QString path = dir.filePath("article.txt");
        QVERIFY(SaveTextFile(path, QString::fromUtf8("first ´")));
        QCOMPARE(LoadTextFile(path).value(), QString::fromUtf8("first ´"));
        // A folder in the way of the temporary file's rename: the write fails, the old file stays.
        const Status failed = writeFileAtomically(dir.path(), "x");
        QVERIFY(!failed.ok());
        QVERIFY(failed.error().contains(QDir::toNativeSeparators(dir.path())));
        QVERIFY(!SaveTextFile(QString(), QStringLiteral("x")).ok());
        QCOMPARE(LoadTextFile(path).value(), QString::fromUtf8("first ´"));
    }

    void folderCopyReplacesAndKeepsHiddenFiles() {
        QTemporaryDir dir;
        write(dir.filePath("src/a.txt"), "new a");
        write(dir.filePath("src/.hidden"), "h");
        write(dir.filePath("src/sub/b.txt"), "new b");
        write(dir.filePath("dst/a.txt"), "old a");
        write(dir.filePath("dst/sub/stale.txt"), "stale");
        write(dir.filePath("dst/other.txt"), "other");
        QVERIFY(modCopy::CopyFolder(dir.filePath("src"), dir.filePath("dst")));
        QCOMPARE(LoadTextFile(dir.filePath("dst/a.txt")).value(), QStringLiteral("new a"));
        QCOMPARE(LoadTextFile(dir.filePath("dst/.hidden")).value(), QStringLiteral("h"));
        QCOMPARE(LoadTextFile(dir.filePath("dst/sub/b.txt")).value(), QStringLiteral("new b"));
        QVERIFY(!QFileInfo::exists(dir.filePath("dst/sub/stale.txt")));
        QVERIFY(QFileInfo::exists(dir.filePath("dst/other.txt")));
        QVERIFY(!modCopy::CopyFolder(dir.filePath("none"), dir.filePath("dst")).ok());
    }
};

TANDREL_TEST(PlatformTest)
#include "platform_test.moc"
