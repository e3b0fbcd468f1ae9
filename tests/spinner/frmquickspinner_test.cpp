#include "controls.h"
#include "frmmass.h"
#include "frmquickspinner.h"
#include "scripteddesktop.h"
#include "testregistry.h"
#include "textfiles.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace tandrel;

class frmQuickSpinnerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> app;
    std::unique_ptr<ScriptedDesktop> desk;
    std::array<std::unique_ptr<TagLabel>, 5> mainLabels;
    std::unique_ptr<frmQuickSpinner> window;

    QString writeFile(const QString& name, const QByteArray& bytes) {
        const QString path = app->filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    void open(const QStringList& articlePaths) {
        std::array<TagLabel*, 5> labels{};
        for (int i = 0; i < 5; ++i) {
            mainLabels[i] = std::make_unique<TagLabel>();
            if (i < articlePaths.size())
                mainLabels[i]->setTag(articlePaths[i]);
            labels[i] = mainLabels[i].get();
        }
        window = std::make_unique<frmQuickSpinner>(AppPaths(app->path()), labels);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    template <typename T = QWidget> T* find(const QString& name) {
        T* widget = window->findChild<T*>(name);
        if (!widget)
            qFatal("no control %s", qPrintable(name));
        return widget;
    }
    QPlainTextEdit* box(const QString& name) { return find<QPlainTextEdit>(name); }

private slots:
    void init() {
        app = std::make_unique<QTemporaryDir>();
        desk = std::make_unique<ScriptedDesktop>();
        writeFile("rwdb.txt", "{good|nice|fine}\n{big|large}\n");
    }

    void cleanup() {
        window.reset();
        QCOMPARE(desk->unexpected, 0);
        desk.reset();
        app.reset();
    }

    void articleOptionsFollowTheMainWindow() {
        const QString first = writeFile("one.txt", "first article");
        const QString second = writeFile("two.txt", "caf\xE9 second"); // Windows-1252 bytes
        open({first, second});
        QCOMPARE(window->windowTitle(), QStringLiteral("Swiftword"));
        for (int i = 0; i < 5; ++i)
            QCOMPARE(find(QStringLiteral("optArticles[%1]").arg(i))->isEnabled(), i < 2);
        QVERIFY(!find("vbtnConvert")->isEnabled());
        QTest::mouseClick(find("optArticles[1]"), Qt::LeftButton);
        QCOMPARE(box("txtArticle")->toPlainText(), QString::fromUtf8("café second"));
        QCOMPARE(find<QLabel>("lblSelected")->text(), second);
        QVERIFY(find("vbtnConvert")->isEnabled());
    }

    void choosingAFileKeepsItInTheMainWindow() {
        open({});
        const QString chosen = writeFile("three.txt", "third");
        desk->files << chosen;
        QTest::mouseClick(find("lblChooseArticle[2]"), Qt::LeftButton);
        QCOMPARE(mainLabels[2]->tag(), chosen);
        QVERIFY(find("optArticles[2]")->isEnabled());
        QVERIFY(find<QRadioButton>("optArticles[2]")->isChecked());
        QCOMPARE(box("txtArticle")->toPlainText(), QStringLiteral("third"));
        desk->files << "";
        window->lblChooseArticle_Click(3);
        QCOMPARE(mainLabels[3]->tag(), QString());
        QVERIFY(!find("optArticles[3]")->isEnabled());
    }

    void rewriteIsEnabledByText() {
        open({});
        box("txtArticle")->setPlainText("x");
        QVERIFY(find("vbtnConvert")->isEnabled());
        box("txtArticle")->clear();
        QVERIFY(!find("vbtnConvert")->isEnabled());
        window->vbtnConvert_Click();
        QVERIFY(desk->shown.isEmpty());
    }

    void rewriteWaitsForTheSynonymsAndShowsResult() {
        open({});
        QVERIFY(!window->synonymsLoaded()); // no timer tick has run yet
        box("txtArticle")->setPlainText("the good dog ");
        QTest::mouseClick(find("vbtnConvert"), Qt::LeftButton);
        QCOMPARE(desk->last().text, QStringLiteral("1 Replacements on 3 words."));
        QCOMPARE(desk->last().title, QStringLiteral("Done"));
        QCOMPARE(window->lastSpinText(), QStringLiteral("the {nice|fine} dog "));
        const QString rewritten = box("txtRewritten")->toPlainText();
        QVERIFY2(rewritten == "the nice dog " || rewritten == "the fine dog ",
                 qPrintable(rewritten));
        QCOMPARE(box("txtPreview")->toPlainText(), rewritten);
        QVERIFY(find("vbtnConvert")->isEnabled());
        QVERIFY(!find("lblPleaseWait")->isVisible());
    }

    void noticeWhileLoading() {
        open({});
        auto* notice = find<QLabel>("lblPleaseWait");
        window->Timer1_Timer();
        QVERIFY(notice->isVisible());
        QCOMPARE(notice->text(), QStringLiteral("Please Wait (Loading Synonyms)..."));
        QTRY_VERIFY_WITH_TIMEOUT((window->Timer1_Timer(), window->synonymsLoaded()), 10000);
        QVERIFY(!notice->isVisible());
        QCOMPARE(notice->text(), QStringLiteral("Please Wait ..."));
        QVERIFY(!find<QTimer>("Timer1")->isActive());
    }

    void missingSynonymFileReplacesNothingAndSaysWhy() {
        QFile::remove(app->filePath("rwdb.txt"));
        open({});
        box("txtArticle")->setPlainText("the good dog ");
        window->vbtnConvert_Click();
        QCOMPARE(desk->last().text, QStringLiteral("0 Replacements on 3 words."));
        QVERIFY(find("lblPleaseWait")->isVisible());
        QVERIFY(find("lblPleaseWait")->toolTip().contains("rwdb.txt"));
    }

    void previewAndCopies() {
        open({});
        window->cmdCopyPreview_Click();
        window->vbtnCopy_Click();
        QCOMPARE(desk->clipboardWrites, 0); // nothing to copy yet
        box("txtPreview")->setPlainText("only a preview");
        window->cmdCopyPreview_Click();
        QCOMPARE(desk->clipboardWrites, 0); // the test is on the spin text

        box("txtRewritten")->setPlainText("a {b|b} {c}");
        QTest::mouseClick(find("vbtnPreview"), Qt::LeftButton);
        QCOMPARE(box("txtPreview")->toPlainText(), QStringLiteral("a b c"));
        QTest::mouseClick(find("vbtnCopy"), Qt::LeftButton);
        QCOMPARE(desk->clipboard, QStringLiteral("a {b|b} {c}"));
        QCOMPARE(desk->last().text, QStringLiteral("Done! Content copied to clipboard"));
        QCOMPARE(desk->last().title, QStringLiteral("Wordloom"));
        QTest::mouseClick(find("cmdCopyPreview"), Qt::LeftButton);
        QCOMPARE(desk->clipboard, QStringLiteral("a b c"));
    }

    void saveChanges_data() {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("lastTitle");
        QTest::newRow("yes overwrites") << true << "rewritten ´"
                                        << "File Saved";
        QTest::newRow("no leaves the file") << false << "original"
                                            << "Warning";
    }

    void saveChanges() {
        QFETCH(bool, yes);
        QFETCH(QString, content);
        QFETCH(QString, lastTitle);
        const QString article = writeFile("a.txt", "original");
        open({article});
        window->optArticles_Click(0);
        box("txtRewritten")->setPlainText(QStringLiteral("rewritten ´"));
        desk->answers << yes;
        QTest::mouseClick(find("vbtnSave"), Qt::LeftButton);
        QCOMPARE(desk->shown.first().title, QStringLiteral("Warning"));
        QVERIFY(desk->shown.first().question);
        QCOMPARE(desk->last().title, lastTitle);
        QCOMPARE(LoadTextFile(article).value(), content);
    }

    void saveWithoutAFileOrFailingWritesNothing() {
        open({});
        box("txtRewritten")->setPlainText("text");
        window->vbtnSave_Click();
        QCOMPARE(desk->shown.size(), 1);
        QVERIFY(!desk->last().question);
        QVERIFY(desk->last().text.contains("nothing was saved"));

        // A folder where the article was: the write fails and says so.
        const QString article = writeFile("b.txt", "kept");
        open({article});
        window->optArticles_Click(0);
        QFile::remove(article);
        QDir().mkpath(article);
        desk->answers << true;
        window->vbtnSave_Click();
        QCOMPARE(desk->last().title, QStringLiteral("Error"));
        QVERIFY(desk->last().text.contains("b.txt"));
    }

    void widerWindowWidensTheArticleAndMovesTheNotice() {
        open({});
        auto* article = find("txtArticle");
        auto* notice = find("lblPleaseWait");
        const int width = article->width();
        const int left = notice->x();
        QCOMPARE(width, window->width() - 47);
        window->resize(window->width() + 67, window->height());
        QCOMPARE(article->width(), width + 67);
        QCOMPARE(notice->x(), left + 67);
        QCOMPARE(find("txtRewritten")->width(), 778);
    }

    void mainWindowOpensTheSpinner() {
        frmMass main(AppPaths(app->path()));
        main.findChild<TagLabel*>("lblSelected[0]")->setTag(writeFile("m.txt", "from main"));
        main.cmdSpinner_Click();
        auto* spinner = main.findChild<frmQuickSpinner*>();
        QVERIFY(spinner);
        QVERIFY(spinner->isWindow());
        QVERIFY(spinner->findChild<QWidget*>("optArticles[0]")->isEnabled());
        QVERIFY(!spinner->findChild<QWidget*>("optArticles[1]")->isEnabled());
    }
};

TANDREL_TEST(frmQuickSpinnerTest)
#include "frmquickspinner_test.moc"
