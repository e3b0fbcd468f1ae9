#include "frmquickspinner.h"
#include "scripteddesktop.h"
#include "testregistry.h"
#include "tools.h"

#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace tandrel;

// What the spinner window writes: which file, in which encoding, how many variants.
class frmQuickSpinnerFilesTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> app;
    std::unique_ptr<ScriptedDesktop> desk;
    std::unique_ptr<frmQuickSpinner> window;

    QString writeFile(const QString& name, const QByteArray& bytes) {
        const QString path = app->filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    static QByteArray bytesOf(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
    }
    void open(const std::array<QString, 5>& articles = {}) {
        window = std::make_unique<frmQuickSpinner>(AppPaths(app->path()), articles);
    }
    QPlainTextEdit* box(const char* name) {
        return window->findChild<QPlainTextEdit*>(QLatin1String(name));
    }

private slots:
    void init() {
        app = std::make_unique<QTemporaryDir>();
        desk = std::make_unique<ScriptedDesktop>();
        writeFile("rwdb.txt", "{good|nice|fine}\n{big|large|huge}\n");
    }
    void cleanup() {
        window.reset();
        // Read before the reset: a failed compare returns, and a stale desktop
        // would leave the next test with real dialogs.
        const int unexpected = desk->unexpected;
        desk.reset();
        app.reset();
        QCOMPARE(unexpected, 0);
    }

    // The result of one article is never written into the next one's file.
    void switchingArticlesThenSavingWritesNothing() {
        const QString one = writeFile("one.txt", "the good dog ");
        const QString two = writeFile("two.txt", "a big cat ");
        open({one, two});
        window->optArticles_Click(0);
        window->vbtnConvert_Click();
        QVERIFY(!box("txtRewritten")->toPlainText().isEmpty());
        window->optArticles_Click(1);
        QCOMPARE(box("txtRewritten")->toPlainText(), QString());
        QCOMPARE(box("txtPreview")->toPlainText(), QString());
        window->vbtnSave_Click();
        QCOMPARE(bytesOf(two), QByteArray("a big cat "));
        QCOMPARE(desk->last().text,
                 QStringLiteral("There is no rewritten article yet; nothing was saved."));

        // A typed edit is not thrown away unasked; No keeps it and the choice.
        box("txtArticle")->setPlainText("a big cat, edited ");
        desk->answers << false;
        window->optArticles_Click(0);
        QCOMPARE(box("txtArticle")->toPlainText(), QStringLiteral("a big cat, edited "));
        QVERIFY(desk->last().defaultNo);
        desk->answers << false;
        QVERIFY(!window->close());
    }

    // Saved back as the file came; Windows-1252 that cannot hold the text says so.
    void savesInTheArticlesEncoding_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QByteArray>("saved");
        QTest::addColumn<bool>("utf8Note");
        const QString result = QStringLiteral("Caf\u00e9 {good|nice}\nend");
        QTest::newRow("UTF-8") << QByteArray("Caf\xc3\xa9\nx") << result
                               << QByteArray("Caf\xc3\xa9 {good|nice}\nend") << false;
        QTest::newRow("UTF-8 with mark, CR LF") << QByteArray("\xef\xbb\xbf"
                                                              "Caf\xc3\xa9\r\nx")
                                                << result
                                                << QByteArray("\xef\xbb\xbf"
                                                              "Caf\xc3\xa9 {good|nice}\r\nend")
                                                << false;
        QTest::newRow("UTF-16 LE with mark")
            << QByteArray("\xff\xfe"
                          "C\0a\0f\0\xe9\0\r\0\n\0",
                          14)
            << result
            << QByteArray("\xff\xfe"
                          "C\0a\0f\0\xe9\0 \0{\0g\0o\0o\0d\0|\0n\0i\0c\0e\0}\0\r\0\n\0e\0n\0d\0",
                          44)
            << false;
        QTest::newRow("UTF-16 BE with mark")
            << QByteArray("\xfe\xff\0C\0a\0f\0\xe9\0\n", 12) << result
            << QByteArray(
                   "\xfe\xff\0C\0a\0f\0\xe9\0 \0{\0g\0o\0o\0d\0|\0n\0i\0c\0e\0}\0\n\0e\0n\0d", 42)
            << false;
        QTest::newRow("Windows-1252") << QByteArray("Caf\xe9 \x80\r\nx") << result
                                      << QByteArray("Caf\xe9 {good|nice}\r\nend") << false;
        QTest::newRow("Windows-1252 cannot hold an arrow")
            << QByteArray("Caf\xe9\r\nx") << QStringLiteral("Caf\u00e9 \u2192\nend")
            << QByteArray("Caf\xc3\xa9 \xe2\x86\x92\r\nend") << true;
    }
    void savesInTheArticlesEncoding() {
        QFETCH(QByteArray, stored);
        QFETCH(QString, result);
        QFETCH(QByteArray, saved);
        QFETCH(bool, utf8Note);
        const QString path = writeFile("article.txt", stored);
        open({path});
        window->optArticles_Click(0);
        QVERIFY2(box("txtArticle")->toPlainText().startsWith(QStringLiteral("Caf\u00e9")),
                 qPrintable(box("txtArticle")->toPlainText()));
        box("txtRewritten")->setPlainText(result);
        desk->answers << true;
        window->vbtnSave_Click();
        QCOMPARE(bytesOf(path), saved);
        QCOMPARE(desk->shown.first().text.contains(QStringLiteral("saved as UTF-8")), utf8Note);
        QCOMPARE(desk->last().title, QStringLiteral("File Saved"));
    }

    void exportWritesDistinctVariants() {
        open();
        box("txtArticle")->setPlainText("a good and big dog, a good cat ");
        window->findChild<QLineEdit*>("txtProtected")->setText("cat, Big");
        window->vbtnConvert_Click();
        const QString spin = box("txtRewritten")->toPlainText();
        QCOMPARE(spin, QStringLiteral("a {nice|fine} and big dog, a {nice|fine} cat "));
        const QString folder = app->filePath("out");
        QVERIFY(QDir().mkpath(folder));
        desk->numbers << 3;
        desk->folders << folder;
        seedRandomNumbers(11);
        window->vbtnExport_Click();
        QCOMPARE(desk->last().text, QStringLiteral("3 different variants were written to \"%1\".")
                                        .arg(QDir::toNativeSeparators(folder)));
        QSet<QByteArray> variants;
        for (const char* name : {"article-01.txt", "article-02.txt", "article-03.txt"}) {
            const QByteArray text = bytesOf(QDir(folder).filePath(QLatin1String(name)));
            QVERIFY2(QRegularExpression("^a (nice|fine) and big dog, a (nice|fine) cat $")
                         .match(QString::fromUtf8(text))
                         .hasMatch(),
                     text);
            variants.insert(text);
        }
        QCOMPARE(variants.size(), 3);
        QVERIFY(!QFileInfo::exists(QDir(folder).filePath("article-04.txt")));

        // The protected words are there again at the next start.
        desk->answers << true; // the typed article may go
        QVERIFY(window->close());
        open();
        QCOMPARE(window->findChild<QLineEdit*>("txtProtected")->text(), QStringLiteral("cat, Big"));
    }
};

TANDREL_TEST(frmQuickSpinnerFilesTest)
#include "frmquickspinner_files_test.moc"
