#include "controls.h"
#include "frmmass.h"
#include "frmquickspinner.h"
#include "scripteddesktop.h"
#include "testfiles.h"
#include "testregistry.h"
#include "textfiles.h"
#include "tools.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace tandrel;

class frmQuickSpinnerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> app;
    std::unique_ptr<ScriptedDesktop> desk;
    std::unique_ptr<frmQuickSpinner> window;
    QStringList chosen; // "index path" as the window reported them

    QString writeFile(const QString& name, const QByteArray& bytes) {
        return test::writeFile(app->filePath(name), bytes);
    }

    void open(const QStringList& articlePaths = {}) {
        std::array<QString, 5> paths;
        for (int i = 0; i < 5; ++i)
            paths[i] = articlePaths.value(i);
        window = std::make_unique<frmQuickSpinner>(AppPaths(app->path()), paths);
        connect(window.get(), &frmQuickSpinner::articleChosen, this,
                [this](int i, const QString& path) {
                    chosen << QStringLiteral("%1 %2").arg(i).arg(path);
                });
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    template <typename T = QWidget> T* find(const QString& name) {
        return test::controlIn<T>(window.get(), name);
    }
    QPlainTextEdit* box(const QString& name) { return find<QPlainTextEdit>(name); }

private slots:
    void init() {
        app = std::make_unique<QTemporaryDir>();
        desk = std::make_unique<ScriptedDesktop>();
        chosen.clear();
        writeFile("rwdb.txt", "{good|nice|fine}\n{big|large}\n");
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

    void articlesFollowTheMainWindow() {
        const QString second = writeFile("two.txt", "second article");
        open({writeFile("one.txt", "first"), second});
        for (int i = 0; i < 5; ++i)
            QCOMPARE(find(QStringLiteral("optArticles[%1]").arg(i))->isEnabled(), i < 2);
        QVERIFY(!find("vbtnConvert")->isEnabled());
        QTest::mouseClick(find("optArticles[1]"), Qt::LeftButton);
        QCOMPARE(box("txtArticle")->toPlainText(), QStringLiteral("second article"));
        QCOMPARE(find<QLabel>("lblSelected")->text(), second);
        QVERIFY(find("vbtnConvert")->isEnabled());
        box("txtArticle")->clear();
        QVERIFY(!find("vbtnConvert")->isEnabled());

        // A file chosen here is reported, for the main window to keep for the run.
        const QString third = writeFile("three.txt", "third");
        desk->files << third;
        desk->answers << true; // the emptied article may go
        QTest::mouseClick(find("lblChooseArticle[2]"), Qt::LeftButton);
        QCOMPARE(chosen, QStringList{"2 " + third});
        QVERIFY(find<QRadioButton>("optArticles[2]")->isChecked());
        QCOMPARE(box("txtArticle")->toPlainText(), QStringLiteral("third"));
    }

    // The result keeps the spin text; every Spin draws a new variant from it. Copy takes
    // the spin text, Copy Preview the variant, and neither acts before there is a result.
    void rewriteWaitsForTheSynonymsPreviewsAndCopies() {
        open();
        QVERIFY(!window->synonymsLoaded()); // no timer tick has run yet
        box("txtPreview")->setPlainText("only a preview");
        window->cmdCopyPreview_Click();
        window->vbtnCopy_Click();
        QCOMPARE(desk->clipboardWrites, 0);
        box("txtArticle")->setPlainText("the good dog ");
        seedRandomNumbers(7);
        QTest::mouseClick(find("vbtnConvert"), Qt::LeftButton);
        QCOMPARE(desk->last().text, QStringLiteral("1 Replacements on 3 words."));
        const QString spinText = QStringLiteral("the {nice|fine} dog ");
        QCOMPARE(box("txtRewritten")->toPlainText(), spinText);
        const QSet<QString> both{"the nice dog ", "the fine dog "};
        const QString first = box("txtPreview")->toPlainText();
        QVERIFY2(both.contains(first), qPrintable(first));
        QTest::mouseClick(find("vbtnPreview"), Qt::LeftButton);
        const QString second = box("txtPreview")->toPlainText();
        QVERIFY2(both.contains(second) && second != first, qPrintable(second));
        QCOMPARE(box("txtRewritten")->toPlainText(), spinText);
        QVERIFY(!find("lblPleaseWait")->isVisible());
        QTest::mouseClick(find("vbtnCopy"), Qt::LeftButton);
        QCOMPARE(desk->clipboard, spinText);
        QTest::mouseClick(find("cmdCopyPreview"), Qt::LeftButton);
        QCOMPARE(desk->clipboard, second);
        QCOMPARE(desk->last().text, QStringLiteral("Done! Content copied to clipboard"));
    }

    void noticeWhileLoadingAndWithoutSynonyms() {
        open();
        auto* notice = find<QLabel>("lblPleaseWait");
        window->Timer1_Timer();
        QVERIFY(notice->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT((window->Timer1_Timer(), window->synonymsLoaded()), 10000);
        QVERIFY(!notice->isVisible());
        QVERIFY(!find<QTimer>("Timer1")->isActive());

        QFile::remove(app->filePath("rwdb.txt"));
        open();
        box("txtArticle")->setPlainText("the good dog ");
        window->vbtnConvert_Click();
        QCOMPARE(desk->last().text, QStringLiteral("0 Replacements on 3 words."));
        QVERIFY(find("lblPleaseWait")->isVisible());
        QVERIFY(find("lblPleaseWait")->toolTip().contains("rwdb.txt"));
    }

    void saveChanges_data() {
        QTest::addColumn<bool>("chosen");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("fails");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QString>("content");
        QTest::newRow("yes overwrites")
            << true << true << false << QStringList{"Warning", "File Saved"} << "rewritten";
        QTest::newRow("no leaves the file")
            << true << false << false << QStringList{"Warning"} << "original";
        QTest::newRow("a failed write says so")
            << true << true << true << QStringList{"Warning", "Error"} << QString();
        QTest::newRow("no article chosen: Save As, cancelled")
            << false << false << false << QStringList{} << "original";
    }
    void saveChanges() {
        QFETCH(bool, chosen);
        QFETCH(bool, yes);
        QFETCH(bool, fails);
        QFETCH(QStringList, titles);
        QFETCH(QString, content);
        const QString article = writeFile("a.txt", "original");
        open({article});
        if (chosen) {
            window->optArticles_Click(0);
            desk->answers << yes;
        } else {
            desk->files << QString();
        }
        if (fails) { // a folder where the article was
            QFile::remove(article);
            QDir().mkpath(article);
        }
        box("txtRewritten")->setPlainText("rewritten");
        QTest::mouseClick(find("vbtnSave"), Qt::LeftButton);
        QStringList shown;
        for (const auto& message : desk->shown)
            shown << message.title;
        QCOMPARE(shown, titles);
        if (chosen) { // the question names the file and defaults to No
            QVERIFY(desk->shown.first().text.contains(QDir::toNativeSeparators(article)));
            QVERIFY(desk->shown.first().defaultNo);
        }
        if (!fails)
            QCOMPARE(LoadTextFile(article).value(), content);
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
        QCOMPARE(test::fileBytes(two), QByteArray("a big cat "));
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

    // Saved back as the file came, line ends too (the encodings themselves are the
    // platform's); Windows-1252 that cannot hold the text says so.
    void savesInTheArticlesEncoding_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QByteArray>("saved");
        QTest::addColumn<bool>("utf8Note");
        const QString result = QStringLiteral("Caf\u00e9 {good|nice}\nend");
        QTest::newRow("Windows-1252, CR LF") << QByteArray("Caf\xe9 \x80\r\nx") << result
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
        QCOMPARE(test::fileBytes(path), saved);
        QCOMPARE(desk->shown.first().text.contains(QStringLiteral("saved as UTF-8")), utf8Note);
        QCOMPARE(desk->last().title, QStringLiteral("File Saved"));
    }

    void exportWritesDistinctVariants() {
        open();
        box("txtArticle")->setPlainText("a good and big dog, a good cat ");
        find<QLineEdit>("txtProtected")->setText("cat, Big");
        window->vbtnConvert_Click();
        QCOMPARE(box("txtRewritten")->toPlainText(),
                 QStringLiteral("a {nice|fine} and big dog, a {nice|fine} cat "));
        const QString folder = app->filePath("out");
        QVERIFY(QDir().mkpath(folder));
        desk->numbers << 3;
        desk->folders << folder;
        seedRandomNumbers(11);
        window->vbtnExport_Click();
        QCOMPARE(desk->last().text, QStringLiteral("3 different variants were written to \"%1\".")
                                        .arg(QDir::toNativeSeparators(folder)));
        const QRegularExpression variant("^a (nice|fine) and big dog, a (nice|fine) cat $");
        QSet<QByteArray> variants;
        for (const char* name : {"article-01.txt", "article-02.txt", "article-03.txt"}) {
            const QByteArray text = test::fileBytes(QDir(folder).filePath(QLatin1String(name)));
            QVERIFY2(variant.match(text).hasMatch(), text);
            variants.insert(text);
        }
        QCOMPARE(variants.size(), 3);
        QVERIFY(!QFileInfo::exists(QDir(folder).filePath("article-04.txt")));

        // The protected words are there again at the next start.
        desk->answers << true; // the typed article may go
        QVERIFY(window->close());
        open();
        QCOMPARE(find<QLineEdit>("txtProtected")->text(), QStringLiteral("cat, Big"));
    }

    // Fits 1366 x 768; a larger window grows all three boxes; nothing overlaps;
    // Tab leaves a box.
    void layoutAndKeyboard() {
        open();
        QVERIFY(window->frameGeometry().width() <= 1366 && window->frameGeometry().height() <= 728);
        QList<QSize> before;
        for (const char* name : {"txtArticle", "txtRewritten", "txtPreview"})
            before << box(name)->size();
        window->resize(window->width() + 100, window->height() + 150);
        QApplication::processEvents();
        for (const char* name : {"txtArticle", "txtRewritten", "txtPreview"}) {
            const QSize was = before.takeFirst();
            QVERIFY2(box(name)->width() > was.width() + 50 &&
                         box(name)->height() > was.height() + 20,
                     name);
        }
        window->resize(window->minimumSizeHint());
        QApplication::processEvents();
        QList<QWidget*> shown;
        for (QWidget* w : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (w->isVisible())
                shown << w;
        for (int i = 0; i < shown.size(); ++i)
            for (int j = i + 1; j < shown.size(); ++j)
                QVERIFY2(!shown[i]->geometry().intersects(shown[j]->geometry()),
                         qPrintable(shown[i]->objectName() + " " + shown[j]->objectName()));
        box("txtRewritten")->setFocus();
        QTest::keyClick(box("txtRewritten"), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), find("vbtnPreview"));
    }

    // The main window's spinner is deleted on close, here while its thread
    // still reads a large synonym file: the close waits for it, quietly.
    void closingFromTheMainWindowWhileTheSynonymsLoad() {
        QByteArray line = "{" + QByteArray(60, 'a') + "|" + QByteArray(60, 'b') + "}\n";
        writeFile("rwdb.txt", line.repeated(200000));
        frmMass main(AppPaths(app->path()));
        main.findChild<TagLabel*>("lblSelected[0]")->setTag(writeFile("m.txt", "from main"));
        main.cmdSpinner_Click();
        QPointer<frmQuickSpinner> spinner = main.findChild<frmQuickSpinner*>();
        QVERIFY(spinner && spinner->isWindow());
        QVERIFY(!spinner->findChild<QWidget*>("optArticles[1]")->isEnabled());
        const QString chosenHere = writeFile("c.txt", "chosen here");
        desk->files << chosenHere;
        QTest::mouseClick(spinner->findChild<QWidget*>("lblChooseArticle[1]"), Qt::LeftButton);
        QCOMPARE(main.findChild<TagLabel*>("lblSelected[1]")->tag(), chosenHere);
        spinner->Timer1_Timer(); // starts the reading thread
        QTest::mouseClick(spinner->findChild<QPushButton*>("Command1"), Qt::LeftButton);
        QVERIFY(!spinner->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(spinner.isNull());
        QVERIFY(desk->shown.isEmpty());
    }
};

TANDREL_TEST(frmQuickSpinnerTest)
#include "frmquickspinner_test.moc"
