#include "apppaths.h"
#include "modcopy.h"
#include "testfiles.h"
#include "testregistry.h"
#include "textfiles.h"
#include "tools.h"

#include <QBuffer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <sys/resource.h>

using namespace tandrel;
Q_DECLARE_METATYPE(tandrel::TextEncoding)

class PlatformTest : public QObject {
    Q_OBJECT

    static void write(const QString& path, const QByteArray& bytes) {
        test::writeFile(path, bytes);
    }

private slots:
    void strReplace_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("find");
        QTest::addColumn<QString>("replacement");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("result");
        const auto row = [](const char* name, const char* text, const char* find,
                            const char* replacement, int mode, const char* result) {
            QTest::newRow(name) << QString(text) << QString(find) << QString(replacement) << mode
                                << QString(result);
        };
        row("every occurrence", "[A] and [A]", "[A]", "x", 0, "x and x");
        row("exact mode respects case", "[Footer] [FOOTER]", "[FOOTER]", "f", 0, "[Footer] f");
        row("mode 1 ignores case", "[Footer] [FOOTER]", "[FOOTER]", "f", 1, "f f");
        row("inserted text is not rescanned", "[A]", "[A]", "[A][A]", 0, "[A][A]");
        row("left to right, no overlap", "aaa", "aa", "b", 0, "ba");
        row("empty find changes nothing", "abc", "", "z", 0, "abc");
    }

    void strReplace() {
        QFETCH(QString, text);
        QFETCH(QString, find);
        QFETCH(QString, replacement);
        QFETCH(int, mode);
        QFETCH(QString, result);
        QCOMPARE(StrReplace(text, find, replacement, mode), result);
    }

    // Old funnel files hold Windows paths; synonym lines may hold empty terms.
    void fileNamesAndLists() {
        QCOMPARE(GetFileName(QStringLiteral("D:\\pics\\cover.jpg")), QStringLiteral("cover.jpg"));
        QCOMPARE(GetFileName(QStringLiteral("/home/u/x.jpg/x.jpg")), QStringLiteral("x.jpg"));
        QCOMPARE(SplitToList(QStringLiteral("good||nice|"), QStringLiteral("|")),
                 (QStringList{"good", "nice"}));
    }

    void decodesText_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<TextEncoding>("encoding");
        QTest::addColumn<bool>("writtenBackAsRead");
        QTest::newRow("utf-8 mark dropped, line ends kept") << QByteArray("\xEF\xBB\xBF"
                                                                          "a\r\nb\n")
                                                            << "a\r\nb\n"
                                                            << TextEncoding::Utf8WithBom << true;
        QTest::newRow("utf-8") << QByteArray("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80")
                               << QString::fromUtf8("café € 😀") << TextEncoding::Utf8 << true;
        QTest::newRow("windows-1252")
            << QByteArray("caf\xE9 \x80 \x96") << QString::fromUtf8("café € –")
            << TextEncoding::Windows1252 << true;
        // One stray byte must not garble the accents around it.
        QTest::newRow("utf-8 with one stray byte")
            << QByteArray("caf\xC3\xA9 \x93quoted\x94 na\xC3\xAFve")
            << QString::fromUtf8("café “quoted” naïve") << TextEncoding::Utf8 << false;
        QTest::newRow("overlong and surrogate forms are not utf-8")
            << QByteArray("\xC0\xAF \xED\xA0\x80") << QString::fromUtf8("À¯ í\u00A0€")
            << TextEncoding::Windows1252 << false;
        QTest::newRow("truncated sequence at the end")
            << QByteArray("ok \xE2\x82") << QString::fromUtf8("ok â‚") << TextEncoding::Windows1252
            << false;
        QTest::newRow("utf-16 le with mark")
            << QByteArray("\xFF\xFE"
                          "C\0a\0\xE9\0",
                          8)
            << QString::fromUtf8("Caé") << TextEncoding::Utf16LE << true;
        QTest::newRow("utf-16 be with mark")
            << QByteArray("\xFE\xFF\0C\0a\x20\xAC", 8) << QString::fromUtf8("Ca€")
            << TextEncoding::Utf16BE << true;
    }

    void decodesText() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(TextEncoding, encoding);
        QFETCH(bool, writtenBackAsRead);
        const DecodedText decoded = decodeTextWithEncoding(bytes);
        QCOMPARE(decoded.text, text);
        QCOMPARE(decoded.encoding, encoding);
        // A save of an untouched text writes the file back byte for byte.
        if (writtenBackAsRead)
            QCOMPARE(encodeText(decoded.text, decoded.encoding), bytes);
    }

    void windows1252SaysWhenItCannotHoldTheText() {
        bool lossless = false;
        QCOMPARE(encodeText(QString::fromUtf8("€ é"), TextEncoding::Windows1252, &lossless),
                 QByteArray("\x80 \xE9"));
        QVERIFY(lossless);
        QCOMPARE(encodeText(QString::fromUtf8("Ω"), TextEncoding::Windows1252, &lossless),
                 QByteArray("?"));
        QVERIFY(!lossless);
    }

    // Files that are not ordinary files are refused before they are opened: a
    // pipe would block for ever, a device would never end.
    void readersRefuseWhatIsNotAnOrdinaryFile_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("message");
        QTest::newRow("device") << "/dev/zero"
                                << "is not an ordinary file";
        QTest::newRow("folder") << "/"
                                << "is a folder, not a file";
        QTest::newRow("missing") << "/no/such/file.txt"
                                 << "does not exist";
        QTest::newRow("pipe") << "fifo"
                              << "is not an ordinary file";
        QTest::newRow("too large") << "huge.txt"
                                   << "is larger than the 64 MB";
    }

    void readersRefuseWhatIsNotAnOrdinaryFile() {
        QFETCH(QString, path);
        QFETCH(QString, message);
        QTemporaryDir dir;
        if (path == QLatin1String("fifo")) {
            path = dir.filePath(path);
            QCOMPARE(QProcess::execute(QStringLiteral("mkfifo"), {path}), 0);
        } else if (path == QLatin1String("huge.txt")) {
            path = dir.filePath(path);
            QFile huge(path);
            QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(kTextFileLimit + 1));
        }
        const auto text = LoadTextFile(path);
        QVERIFY(!text.ok());
        QVERIFY2(text.error().contains(message), qPrintable(text.error()));
    }

    void standardInputIsReadUpToItsLimit() {
        QByteArray bytes(11, 'x');
        QBuffer input(&bytes);
        QVERIFY(input.open(QIODevice::ReadOnly));
        const auto tooMuch = readDeviceBytes(input, 10, QStringLiteral("Standard input"));
        QCOMPARE(tooMuch.error(),
                 QStringLiteral("Standard input holds more than the 1 KB this program reads."));
        input.seek(1);
        QCOMPARE(readDeviceBytes(input, 10, QStringLiteral("Standard input")).value(),
                 QByteArray(10, 'x'));
    }

    void listFileLines() {
        QTemporaryDir dir;
        write(dir.filePath("l.txt"), "{a|b}\r\n\n{c|d}\rlast\n");
        QCOMPARE(LoadListFile(dir.filePath("l.txt")).value(),
                 (QStringList{"{a|b}", "", "{c|d}", "last"}));
    }

    void atomicSaveLeavesTheOldFileWhole() {
        QTemporaryDir dir;
        const QString path = dir.filePath("article.txt");
        QVERIFY(SaveTextFile(path, QString::fromUtf8("first ´")));
        QCOMPARE(LoadTextFile(path).value(), QString::fromUtf8("first ´"));
        // A folder where the file should be cannot even be opened for the save.
        const Status failed = writeFileAtomically(dir.path(), "x");
        QVERIFY(!failed.ok());
        QVERIFY(failed.error().contains(QDir::toNativeSeparators(dir.path())));
        QVERIFY(!SaveTextFile(QString(), QStringLiteral("x")).ok());
        // A small text reaches the disk only at the final flush: a disk that fills up
        // there (here a file size limit) fails the save, and the old file stays whole.
        rlimit limit{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &limit) == 0);
        const rlimit before = limit;
        limit.rlim_cur = 4;
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        QVERIFY(setrlimit(RLIMIT_FSIZE, &limit) == 0);
        const Status full = SaveTextFile(path, QStringLiteral("a longer second text"));
        setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, handler);
        QVERIFY(!full.ok());
        QVERIFY2(full.error().contains(QDir::toNativeSeparators(path)), qPrintable(full.error()));
        QCOMPARE(LoadTextFile(path).value(), QString::fromUtf8("first ´"));
    }

    void folderCopyMergesAndKeepsHiddenFiles() {
        QTemporaryDir dir;
        write(dir.filePath("src/a.txt"), "new a");
        write(dir.filePath("src/.hidden"), "h");
        write(dir.filePath("src/sub/b.txt"), "new b");
        write(dir.filePath("dst/a.txt"), "old a");
        write(dir.filePath("dst/sub/mine.txt"), "mine");
        QVERIFY(modCopy::CopyFolder(dir.filePath("src"), dir.filePath("dst")));
        QCOMPARE(LoadTextFile(dir.filePath("dst/a.txt")).value(), QStringLiteral("new a"));
        QCOMPARE(LoadTextFile(dir.filePath("dst/.hidden")).value(), QStringLiteral("h"));
        QCOMPARE(LoadTextFile(dir.filePath("dst/sub/b.txt")).value(), QStringLiteral("new b"));
        QCOMPARE(LoadTextFile(dir.filePath("dst/sub/mine.txt")).value(), QStringLiteral("mine"));
        QVERIFY(!modCopy::CopyFolder(dir.filePath("none"), dir.filePath("dst")).ok());
    }

    // What a mirror shares with its source must never be written through.
    void mirrorLeavesTheSourceAlone() {
        QTemporaryDir dir;
        write(dir.filePath("src/keep/a.txt"), "a");
        write(dir.filePath("src/drop.txt"), "d");
        QVERIFY(QFile::link(dir.filePath("nowhere"), dir.filePath("src/keep/dangling")));
        QVERIFY(modCopy::mirrorFolder(dir.filePath("src"), dir.filePath("dst"),
                                      [](const QString&, bool isFolder) { return isFolder; }));
        QVERIFY(!QFileInfo::exists(dir.filePath("dst/drop.txt")));
        QVERIFY(QFileInfo(dir.filePath("dst/keep/dangling")).isSymLink());
        write(dir.filePath("new/a.txt"), "new");
        QVERIFY(modCopy::CopyFolder(dir.filePath("new"), dir.filePath("dst/keep")));
        QCOMPARE(LoadTextFile(dir.filePath("dst/keep/a.txt")).value(), QStringLiteral("new"));
        QCOMPARE(LoadTextFile(dir.filePath("src/keep/a.txt")).value(), QStringLiteral("a"));
    }
};

TANDREL_TEST(PlatformTest)
#include "platform_test.moc"
