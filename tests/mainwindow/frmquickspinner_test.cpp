#include "controls.h"
#include "frmmass.h"
#include "frmquickspinner.h"
#include "scripteddesktop.h"
#include "testfiles.h"
#include "testregistry.h"
#include "tools.h"

#include <QApplication>
#include <QCheckBox>
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
using namespace Qt::Literals::StringLiterals;

class frmQuickSpinnerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> app;
    std::unique_ptr<ScriptedDesktop> desk;
    std::unique_ptr<frmQuickSpinner> window;

    QString writeFile(const QString& name, const QByteArray& bytes) {
        return test::writeFile(app->filePath(name), bytes);
    }
    void open(const QStringList& articlePaths = {}) {
        std::array<QString, 5> paths;
        std::copy(articlePaths.begin(), articlePaths.end(), paths.begin());
        window = std::make_unique<frmQuickSpinner>(AppPaths(app->path()), paths);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    template <typename T = QWidget> T* find(const QString& name) {
        return test::controlIn<T>(window.get(), name);
    }
    QPlainTextEdit* box(const QString& name) { return find<QPlainTextEdit>(name); }
    void click(const QString& name) { QTest::mouseClick(find(name), Qt::LeftButton); }

private slots:
    void init() {
        app = std::make_unique<QTemporaryDir>();
        desk = std::make_unique<ScriptedDesktop>();
        writeFile("rwdb.txt", "{Tier: bold}\n{dog|hound}\n{Tier: careful}\n{good|nice|fine}\n"
                              "{big|large}\n");
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

    // The main window's articles. One article's result never goes into the next
    // one's file; typed text goes only after a Yes: No keeps it, the choice and the window.
    void articlesFollowTheMainWindow() {
        const QString one = writeFile("one.txt", "the good dog ");
        const QString two = writeFile("two.txt", "a big cat ");
        open({one, two});
        for (int i = 0; i < 5; ++i)
            QCOMPARE(find(u"optArticles[%1]"_s.arg(i))->isEnabled(), i < 2);
        QVERIFY(!find("vbtnConvert")->isEnabled());
        click("optArticles[0]");
        QCOMPARE(find<QLabel>("lblSelected")->text(), one);
        QVERIFY(find("vbtnConvert")->isEnabled());
        window->vbtnConvert_Click();
        QVERIFY(!box("txtRewritten")->toPlainText().isEmpty());
        click("optArticles[1]");
        QCOMPARE(box("txtArticle")->toPlainText() + box("txtRewritten")->toPlainText() +
                     box("txtPreview")->toPlainText(),
                 u"a big cat "_s);
        window->vbtnSave_Click();
        QCOMPARE(test::fileBytes(two), QByteArray("a big cat "));
        QCOMPARE(desk->last().text, u"There is no rewritten article yet; nothing was saved."_s);

        box("txtArticle")->clear();
        QVERIFY(!find("vbtnConvert")->isEnabled());
        desk->files << writeFile("three.txt", "third");
        desk->answers << false << false << false << true;
        window->optArticles_Click(0);
        click("lblChooseArticle[2]");
        QVERIFY(!window->close());
        QCOMPARE(box("txtArticle")->toPlainText(), QString());
        QVERIFY(find<QRadioButton>("optArticles[1]")->isChecked() && desk->last().defaultNo);
        click("optArticles[2]");
        QVERIFY(find<QRadioButton>("optArticles[2]")->isChecked());
        QCOMPARE(box("txtArticle")->toPlainText(), u"third"_s);
        QCOMPARE(desk->shown.size(), 6); // Done, nothing saved, three No, one Yes
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
        click("vbtnConvert");
        QCOMPARE(desk->last().text, u"1 Replacements on 3 words."_s);
        // A second Space must not reach Load, which would empty the result.
        QCOMPARE(QApplication::focusWidget(), find("txtRewritten"));
        QVERIFY(find<QLabel>("lblVariants")->text().startsWith("Careful: 2 different variants; "));
        // Bold takes its lines too, and neighbours both change; the careful figures stay beside.
        click("optBold");
        click("vbtnConvert");
        QCOMPARE(box("txtRewritten")->toPlainText(), u"the {nice|fine} {hound} "_s);
        QVERIFY2(
            find<QLabel>("lblVariants")
                ->text()
                .startsWith(
                    "Bold: 2 different variants; two variants differ in 16.7% of their words, a "
                    "variant and the original in 66.7%.\nCareful: 2 different variants"),
            qPrintable(find<QLabel>("lblVariants")->text()));
        click("optCareful");
        click("vbtnConvert");
        const QSet<QString> both{"the nice dog ", "the fine dog "};
        const QString first = box("txtPreview")->toPlainText();
        click("vbtnPreview");
        const QString second = box("txtPreview")->toPlainText();
        QVERIFY2(both.contains(first) && both.contains(second) && second != first,
                 qPrintable(first + u'|' + second));
        const QString spinText = box("txtRewritten")->toPlainText();
        QCOMPARE(spinText, u"the {nice|fine} dog "_s);
        QVERIFY(!find("lblPleaseWait")->isVisible());
        click("vbtnCopy");
        QCOMPARE(desk->clipboard, spinText);
        click("cmdCopyPreview");
        QCOMPARE(desk->clipboard, second);
        QCOMPARE(desk->last().text, u"Done! Content copied to clipboard"_s);

        // Without a synonym file: nothing replaced, and the notice says which file.
        QFile::remove(app->filePath("rwdb.txt"));
        open();
        box("txtArticle")->setPlainText("the good dog ");
        window->vbtnConvert_Click();
        QCOMPARE(desk->last().text, u"0 Replacements on 3 words."_s);
        click("vbtnPreview");
        QVERIFY(find<QLabel>("lblVariants")->text().contains("only one variant, so every Spin"));
        QVERIFY(find("lblPleaseWait")->isVisible());
        QVERIFY(find("lblPleaseWait")->toolTip().contains("rwdb.txt"));
    }

    void noticeWhileLoading() {
        open();
        auto* notice = find<QLabel>("lblPleaseWait");
        window->Timer1_Timer();
        QVERIFY(notice->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT((window->Timer1_Timer(), window->synonymsLoaded()), 10000);
        QVERIFY(!notice->isVisible() && !find<QTimer>("Timer1")->isActive());
    }

    // Saved over the article after a question that names it and defaults to No,
    // as the file came (Windows-1252, CR LF); without an article, Save As.
    void save_data() {
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("titles"); // of the messages shown
        QTest::addColumn<QByteArray>("saved");
        const QString result = u"Caf\u00e9 {good|nice}\nend"_s;
        QTest::newRow("yes overwrites")
            << result << "Warning,File Saved" << QByteArray("Caf\xe9 {good|nice}\r\nend");
        QTest::newRow("no leaves the file")
            << result << "Warning" << QByteArray("Caf\xe9 \x80\r\nx");
        QTest::newRow("a failed write says so") << result << "Warning,Error" << QByteArray();
        QTest::newRow("Windows-1252 cannot hold an arrow")
            << u"Caf\u00e9 \u2192\nend"_s << "Warning,File Saved"
            << QByteArray("Caf\xc3\xa9 \xe2\x86\x92\r\nend");
        QTest::newRow("no article chosen: Save As")
            << result << "File Saved" << QByteArray("Caf\xc3\xa9 {good|nice}\nend");
    }
    void save() {
        QFETCH(QString, result);
        QFETCH(QString, titles);
        QFETCH(QByteArray, saved);
        const QByteArray row = QTest::currentDataTag();
        const QString article = writeFile("a.txt", "Caf\xe9 \x80\r\nx");
        const QString target = row.startsWith("no article") ? app->filePath("as.txt") : article;
        open({article});
        if (target != article) { // cancelled first
            desk->files << QString() << target;
            box("txtRewritten")->setPlainText(result);
            click("vbtnSave");
            QVERIFY(desk->shown.isEmpty());
        } else {
            window->optArticles_Click(0);
            QVERIFY(box("txtArticle")->toPlainText().startsWith(u"Caf\u00e9 \u20ac"_s));
            desk->answers << (row != "no leaves the file");
        }
        if (row == "a failed write says so") { // a folder where the article was
            QFile::remove(article);
            QDir().mkpath(article);
        }
        box("txtRewritten")->setPlainText(result);
        click("vbtnSave");
        QStringList shown;
        for (const auto& message : desk->shown)
            shown << message.title;
        QCOMPARE(shown.join(u','), titles);
        if (target == article) {
            const auto& question = desk->shown.first();
            QVERIFY(question.text.contains(QDir::toNativeSeparators(article)) &&
                    question.defaultNo);
            QCOMPARE(question.text.contains(u"saved as UTF-8"_s), row.contains("arrow"));
        }
        if (!saved.isEmpty())
            QCOMPARE(test::fileBytes(target), saved);
    }

    void exportWritesDistinctVariants() {
        open();
        box("txtArticle")->setPlainText("a good and big dog, a good cat ");
        find<QLineEdit>("txtProtected")->setText("cat, Big");
        window->vbtnConvert_Click();
        QCOMPARE(box("txtRewritten")->toPlainText(),
                 u"a {nice|fine} and big dog, a {nice|fine} cat "_s);
        const QString folder = app->filePath("out");
        QVERIFY(QDir().mkpath(folder));
        desk->numbers << 3;
        desk->folders << folder;
        seedRandomNumbers(11);
        window->vbtnExport_Click();
        QCOMPARE(desk->last().text, u"3 different variants were written to \"%1\"."_s.arg(
                                        QDir::toNativeSeparators(folder)));
        const QStringList names = QDir(folder).entryList(QDir::Files);
        QCOMPARE(names, (QStringList{"article-01.txt", "article-02.txt", "article-03.txt"}));
        const QRegularExpression variant("^a (nice|fine) and big dog, a (nice|fine) cat $");
        QSet<QByteArray> variants;
        for (const QString& name : names) {
            const QByteArray text = test::fileBytes(QDir(folder).filePath(name));
            QVERIFY2(variant.match(text).hasMatch(), text);
            variants.insert(text);
        }
        QCOMPARE(variants.size(), 3);

        // Fewer variants over a bigger export: its extra files are named, or removed on Yes.
        for (const bool remove : {false, true}) {
            desk->numbers << 2;
            desk->folders << folder;
            desk->answers << true << remove; // replace 01 and 02; remove the rest
            window->vbtnExport_Click();
            QVERIFY2(desk->last().text.contains("earlier export are still there: article-03.txt") ==
                         !remove,
                     qPrintable(desk->last().text));
        }
        QCOMPARE(QDir(folder).entryList(QDir::Files),
                 (QStringList{"article-01.txt", "article-02.txt"}));

        // The protected words and the keep-original choice are there again at the next start.
        click("chkKeepOriginal");
        desk->answers << true; // the typed article may go
        QVERIFY(window->close());
        open();
        QCOMPARE(find<QLineEdit>("txtProtected")->text(), u"cat, Big"_s);
        QVERIFY(find<QCheckBox>("chkKeepOriginal")->isChecked());
    }

    // Fits 1366 x 768; a larger window grows all three boxes; nothing overlaps;
    // Tab leaves a box.
    void layoutAndKeyboard() {
        open();
        QVERIFY(window->frameGeometry().width() <= 1366 && window->frameGeometry().height() <= 728);
        const QStringList boxes{"txtArticle", "txtRewritten", "txtPreview"};
        QList<QSize> before;
        for (const QString& name : boxes)
            before << box(name)->size();
        window->resize(window->width() + 100, window->height() + 150);
        QApplication::processEvents();
        for (const QString& name : boxes) {
            const QSize grown = box(name)->size() - before.takeFirst();
            QVERIFY2(grown.width() > 50 && grown.height() > 20, qPrintable(name));
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
    // still reads a large synonym file: the close waits for it, quietly. An
    // article chosen in the spinner goes to the main window, in its place.
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
