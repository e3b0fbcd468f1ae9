#include "apppaths.h"
#include "controls.h"
#include "coverhelpers.h"
#include "frmcovercreator.h"
#include "scripteddesktop.h"
#include "testregistry.h"

#include <QComboBox>
#include <QFile>
#include <QFontDatabase>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace tandrel;
using namespace tandrel::test;

namespace {

const QColor Black(0, 0, 0);
const QColor White(255, 255, 255);
const QColor Red(255, 0, 0);

// An application folder whose image library holds a picture of four coloured quarters and a black
// one.
struct CoverApp {
    QTemporaryDir dir;
    explicit CoverApp(bool withLibrary = true) {
        if (withLibrary) {
            writeQuarters(dir.filePath("imgspro/a_quarters.jpg"), QSize(400, 450), "JPEG");
            writePlain(dir.filePath("imgspro/b_black.jpg"), Black, QSize(400, 450), "JPEG");
        }
    }
    AppPaths paths() const { return AppPaths(dir.path()); }
    QString library(const QString& name = QString()) const {
        return name.isEmpty() ? dir.filePath("imgspro") : dir.filePath("imgspro/" + name);
    }
};

template <typename T> T* control(QWidget& window, const QString& name) {
    T* found = window.findChild<T*>(name);
    if (!found)
        qFatal("no control %s", qPrintable(name));
    return found;
}

void click(QWidget* widget, Qt::MouseButton button = Qt::LeftButton, QPoint at = QPoint()) {
    QTest::mouseClick(widget, button, Qt::NoModifier, at.isNull() ? widget->rect().center() : at);
}

void type(QWidget& window, const char* name, int index, const QString& text) {
    auto* box = control<QLineEdit>(window, indexed(name, index));
    box->clear();
    QTest::keyClicks(box, text);
}

QStringList items(QComboBox* box) {
    QStringList all;
    for (int i = 0; i < box->count(); ++i)
        all << box->itemText(i);
    return all;
}

} // namespace

class frmCoverCreatorTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ScriptedDesktop> desk;

private slots:
    void init() { desk = std::make_unique<ScriptedDesktop>(); }

    // Every dialog a test causes must be one it scripted.
    void cleanup() {
        QCOMPARE(desk->unexpected, 0);
        desk.reset();
    }

    void startsWithTheDefaults() {
        CoverApp app;
        frmCoverCreator dlg(app.paths());
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Zudu Ruvaz Evuvodi"));

        auto* list = control<QListWidget>(dlg, "FileCovers");
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(0)->text(), QStringLiteral("a_quarters.jpg"));
        QCOMPARE(list->currentRow(), 0);
        QVERIFY(control<QLabel>(dlg, "lblLibraryHint")->isHidden());
        // The first picture is painted, stretched over the canvas, with no text yet.
        const QImage& canvas = dlg.canvas().image();
        QVERIFY(near(canvas.pixelColor(100, 112), Red, 10));
        QVERIFY(near(canvas.pixelColor(300, 337), QColor(255, 255, 0), 10));
        QVERIFY(near(canvas.pixelColor(10, 40), Red, 10));

        QStringList families;
        for (const QString& family : QFontDatabase::families())
            if (!QFontDatabase::isPrivateFamily(family))
                families << family;
        QVERIFY(!families.isEmpty());
        const QString expectedFont =
            families.contains("Verdana") ? QStringLiteral("Verdana") : families.first();
        QStringList sizes;
        for (int size = 8; size <= 34; size += 2)
            sizes << QString::number(size);
        const char* x[] = {"50", "50"};
        const char* y[] = {"500", "700"};
        for (int i = 0; i < 2; ++i) {
            auto* font = control<QComboBox>(dlg, indexed("cboFontName", i));
            QCOMPARE(items(font), families);
            QCOMPARE(font->currentText(), expectedFont);
            auto* size = control<QComboBox>(dlg, indexed("cboFontSize", i));
            QCOMPARE(items(size), sizes);
            QCOMPARE(size->currentText(), QStringLiteral("16"));
            QCOMPARE(control<QLineEdit>(dlg, indexed("txtAdText", i))->text(), QString());
            QCOMPARE(control<QLineEdit>(dlg, indexed("txtAdPositionX", i))->text(),
                     QLatin1String(x[i]));
            QCOMPARE(control<QLineEdit>(dlg, indexed("txtAdPositionY", i))->text(),
                     QLatin1String(y[i]));
            auto* swatch = control<ColorSwatch>(dlg, indexed("lblColorPicker", i));
            QCOMPARE(swatch->color(), White);
            QCOMPARE(swatch->toolTip(), QStringLiteral("Click to Change"));
        }
        QCOMPARE(control<ClickLabel>(dlg, "lblMenu[0]")->text(), QStringLiteral(" Text Line #1"));
        QCOMPARE(control<ClickLabel>(dlg, "lblMenu[1]")->text(), QStringLiteral(" Text Line #2"));
        QVERIFY(control<QRadioButton>(dlg, "optTextLine[1]")->isChecked());
        QVERIFY(!control<QRadioButton>(dlg, "optTextLine[2]")->isChecked());
        QVERIFY(control<CollapsiblePanel>(dlg, "qFrame[0]")->isExpanded());
        QVERIFY(!control<CollapsiblePanel>(dlg, "qFrame[1]")->isExpanded());
        QCOMPARE(control<QPushButton>(dlg, "Command1")->text(),
                 QStringLiteral("Save Image and Use"));
        QCOMPARE(control<QPushButton>(dlg, "cmdCanel")->text(), QStringLiteral("Cancel"));
        QCOMPARE(control<QPushButton>(dlg, "Command2")->text(), QStringLiteral("Open Folder"));
        QCOMPARE(control<QWidget>(dlg, "picTest")->size(), QSize(400, 450));
        QVERIFY(desk->shown.isEmpty());
    }

    void panelsFollowTheClickedTitle_data() {
        QTest::addColumn<QStringList>(
            "clicks"); // "lblMenu[i]" is a click on a title, "qFrame[i]" the panel's own event
        QTest::addColumn<int>("open");
        QTest::newRow("title of line 2") << QStringList{"lblMenu[1]"} << 1;
        QTest::newRow("title of line 1 restores both")
            << QStringList{"lblMenu[1]", "lblMenu[0]"} << 0;
        QTest::newRow("the open title keeps its panel open")
            << QStringList{"lblMenu[0]", "lblMenu[0]"} << 0;
        QTest::newRow("panel event of line 2") << QStringList{"qFrame[1]"} << 1;
        QTest::newRow("panel event of line 1 after line 2")
            << QStringList{"lblMenu[1]", "qFrame[0]"} << 0;
    }

    void panelsFollowTheClickedTitle() {
        QFETCH(QStringList, clicks);
        QFETCH(int, open);
        CoverApp app;
        frmCoverCreator dlg(app.paths());
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        for (const QString& name : clicks) {
            if (name.startsWith(QLatin1String("lblMenu")))
                click(control<ClickLabel>(dlg, name));
            else
                QVERIFY(QMetaObject::invokeMethod(control<CollapsiblePanel>(dlg, name),
                                                  "expandCollapse"));
        }
        CollapsiblePanel* panel[] = {control<CollapsiblePanel>(dlg, "qFrame[0]"),
                                     control<CollapsiblePanel>(dlg, "qFrame[1]")};
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(panel[i]->isExpanded(), i == open);
            QCOMPARE(panel[i]->isInactive(), i != open);
            QCOMPARE(control<QLineEdit>(dlg, indexed("txtAdText", i))->isVisible(), i == open);
            QCOMPARE(control<QRadioButton>(dlg, indexed("optTextLine", i + 1))->isChecked(),
                     i == open);
        }
        // Panel 1 lies 50 twips (3 pixels) below panel 0, whichever is open.
        QCOMPARE(panel[1]->y(), panel[0]->y() + panel[0]->height() + 3);
    }

    void canvasClickPositionsTheChosenLine_data() {
        QTest::addColumn<int>("target"); // the option clicked: 1 or 2
        QTest::addColumn<bool>("line1HasText");
        QTest::addColumn<int>("button");
        QTest::newRow("line 1, redrawn") << 1 << true << int(Qt::LeftButton);
        QTest::newRow("line 2, redrawn") << 2 << true << int(Qt::LeftButton);
        QTest::newRow("any button") << 2 << true << int(Qt::RightButton);
        QTest::newRow("line 1 empty: moved, not drawn") << 1 << false << int(Qt::LeftButton);
        QTest::newRow("line 2 while line 1 is empty") << 2 << false << int(Qt::LeftButton);
    }

    void canvasClickPositionsTheChosenLine() {
        QFETCH(int, target);
        QFETCH(bool, line1HasText);
        QFETCH(int, button);
        CoverApp app;
        frmCoverCreator dlg(app.paths());
        control<QListWidget>(dlg, "FileCovers")->setCurrentRow(1); // black
        type(dlg, "txtAdText", 1, QStringLiteral("MMM"));
        if (line1HasText)
            type(dlg, "txtAdText", 0, QStringLiteral("MMM"));
        control<QRadioButton>(dlg, indexed("optTextLine", target))->click();
        const QImage before = dlg.canvas().image();

        click(control<QWidget>(dlg, "picTest"), Qt::MouseButton(button), QPoint(83, 100));

        const int moved = target - 1;
        const int other = 1 - moved;
        QCOMPARE(control<QLineEdit>(dlg, indexed("txtAdPositionX", moved))->text(),
                 QStringLiteral("1245"));
        QCOMPARE(control<QLineEdit>(dlg, indexed("txtAdPositionY", moved))->text(),
                 QStringLiteral("1500"));
        QCOMPARE(control<QLineEdit>(dlg, indexed("txtAdPositionX", other))->text(),
                 QStringLiteral("50"));
        QCOMPARE(control<QLineEdit>(dlg, indexed("txtAdPositionY", other))->text(),
                 other == 0 ? QStringLiteral("500") : QStringLiteral("700"));
        const QImage& after = dlg.canvas().image();
        if (!line1HasText) {
            QCOMPARE(after, before);
            return;
        }
        QVERIFY(after != before);
        // The moved line's text now starts just right of and below the click.
        const QRect ink = inkBox(after.copy(70, 90, 120, 60), White, 30);
        QVERIFY(!ink.isEmpty());
        QVERIFY2(
            ink.left() >= 12 && ink.left() <= 17 && ink.top() >= 10 && ink.top() <= 20,
            qPrintable(QStringLiteral("ink at %1,%2").arg(ink.left() + 70).arg(ink.top() + 90)));
    }

    void textEditsRenderOnlyWithLine1() {
        CoverApp app;
        frmCoverCreator dlg(app.paths());
        control<QListWidget>(dlg, "FileCovers")->setCurrentRow(1);
        const QImage plain = dlg.canvas().image();
        QCOMPARE(countPixels(plain, White, 30), 0);

        type(dlg, "txtAdText", 1, QStringLiteral("Second"));
        QCOMPARE(dlg.canvas().image(), plain);

        type(dlg, "txtAdText", 0, QStringLiteral("First"));
        const QImage both = dlg.canvas().image();
        // Line 1 from y 33, line 2 from y 47 (500 and 700 twips).
        QVERIFY(countPixels(both.copy(0, 28, 120, 16), White, 30) > 20);
        QVERIFY(countPixels(both.copy(0, 55, 120, 20), White, 30) > 20);

        // Another picture shows plain until the next change of a text setting.
        control<QListWidget>(dlg, "FileCovers")->setCurrentRow(0);
        QVERIFY(near(dlg.canvas().image().pixelColor(3, 40), Red, 10));
        QCOMPARE(countPixels(dlg.canvas().image(), White, 30), 0);
        QTest::keyClick(control<QLineEdit>(dlg, "txtAdText[0]"), Qt::Key_Exclam);
        QVERIFY(countPixels(dlg.canvas().image(), White, 30) > 40);

        // Emptying line 1 keeps the last drawing.
        const QImage last = dlg.canvas().image();
        control<QLineEdit>(dlg, "txtAdText[0]")->clear();
        QCOMPARE(dlg.canvas().image(), last);
    }

    void fontChoicesRender() {
        CoverApp app;
        frmCoverCreator dlg(app.paths());
        dlg.show();
        control<QListWidget>(dlg, "FileCovers")->setCurrentRow(1);
        type(dlg, "txtAdText", 0, QStringLiteral("Size"));
        QCOMPARE(dlg.canvas().font().pointSize(), 16);

        // Choosing from the list with the keyboard: 16 -> 18.
        auto* size = control<QComboBox>(dlg, "cboFontSize[0]");
        QTest::keyClick(size, Qt::Key_Down);
        QCOMPARE(size->currentText(), QStringLiteral("18"));
        QCOMPARE(dlg.canvas().font().pointSize(), 18);

        // A typed size counts on Enter, as whole points.
        size->lineEdit()->clear();
        QTest::keyClicks(size->lineEdit(), QStringLiteral("24.9"));
        QCOMPARE(dlg.canvas().font().pointSize(), 18);
        QTest::keyClick(size->lineEdit(), Qt::Key_Return);
        QCOMPARE(dlg.canvas().font().pointSize(), 24);
        QVERIFY(dlg.isVisible()); // Enter did not save and close the window
        QVERIFY(!QFileInfo::exists(app.paths().coverFile()));

        auto* font = control<QComboBox>(dlg, "cboFontName[0]");
        if (font->count() < 2)
            QSKIP("only one font on this system");
        const int next = font->currentIndex() + 1 < font->count() ? font->currentIndex() + 1
                                                                  : font->currentIndex() - 1;
        const QString expected = font->itemText(next);
        font->setFocus();
        QTest::keyClick(font, next > font->currentIndex() ? Qt::Key_Down : Qt::Key_Up);
        QCOMPARE(font->currentText(), expected);
        QCOMPARE(dlg.canvas().font().family(), expected);
    }

    void colourPicks_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QColor>("chosen"); // invalid: the dialog is cancelled
        QTest::addColumn<QString>("tag");
        QTest::newRow("pure red for line 1") << 0 << QColor(255, 0, 0) << "255,0,0";
        QTest::newRow("pure blue for line 2") << 1 << QColor(0, 0, 255) << "0,0,255";
        QTest::newRow("mixed colour") << 0 << QColor(255, 0, 128) << "255,0,128";
        QTest::newRow("cancel keeps the colour") << 0 << QColor() << "255,255,255";
    }

    void colourPicks() {
        QFETCH(int, index);
        QFETCH(QColor, chosen);
        QFETCH(QString, tag);
        desk->colors.append(chosen.isValid() ? std::optional<QColor>(chosen) : std::nullopt);
        CoverApp app;
        frmCoverCreator dlg(app.paths());
        control<QListWidget>(dlg, "FileCovers")->setCurrentRow(1);
        type(dlg, "txtAdText", 0, QStringLiteral("MMM"));
        type(dlg, "txtAdText", 1, QStringLiteral("MMM"));
        const QImage before = dlg.canvas().image();

        auto* swatch = control<ColorSwatch>(dlg, indexed("lblColorPicker", index));
        click(swatch);
        QVERIFY(desk->colors.isEmpty());
        QCOMPARE(swatch->tag(), tag);
        if (!chosen.isValid()) {
            QCOMPARE(dlg.canvas().image(), before);
            return;
        }
        QCOMPARE(swatch->color(), chosen);
        // The line is redrawn in the new colour at once.
        const QRect band = index == 0 ? QRect(0, 28, 200, 16) : QRect(0, 60, 200, 20);
        QVERIFY(countPixels(dlg.canvas().image().copy(band), chosen) > 20);
    }

    void clickHereExplainsPositioning_data() {
        QTest::addColumn<int>("index");
        QTest::newRow("line 1") << 0;
        QTest::newRow("line 2") << 1;
    }

    void clickHereExplainsPositioning() {
        QFETCH(int, index);
        CoverApp app;
        frmCoverCreator dlg(app.paths());
        dlg.show();
        if (index == 1)
            click(control<ClickLabel>(dlg, "lblMenu[1]"));
        auto* link = control<ClickLabel>(dlg, indexed("lblClickHere", index));
        QCOMPARE(link->text(), QStringLiteral("Click Here"));
        click(link);
        QCOMPARE(desk->shown.size(), 1);
        QCOMPARE(desk->last().text,
                 QStringLiteral(
                     "Please make a click on the image to set the position for this text line."));
        QCOMPARE(desk->last().title, QStringLiteral("Text Position"));
        QCOMPARE(desk->last().icon, MessageIcon::Information);
        QCOMPARE(control<QLineEdit>(dlg, indexed("txtAdPositionX", index))->text(),
                 QStringLiteral("50"));
    }

    void openFolderExplainsThenOpens_data() {
        QTest::addColumn<bool>("libraryExists");
        QTest::newRow("existing library") << true;
        QTest::newRow("missing library is created") << false;
    }

    void openFolderExplainsThenOpens() {
        QFETCH(bool, libraryExists);
        CoverApp app(libraryExists);
        frmCoverCreator dlg(app.paths());
        click(control<QPushButton>(dlg, "Command2"));
        QCOMPARE(desk->shown.size(), 1);
        QCOMPARE(desk->last().text,
                 QStringLiteral("If you want, you can add your own jpg images to "
                                "this folder. Recommended Size: 400x450"));
        QCOMPARE(desk->last().title, QStringLiteral("Info"));
        QCOMPARE(desk->last().icon, MessageIcon::Information);
        QCOMPARE(desk->openedFolders, QList<QString>{app.library()});
        QVERIFY(QFileInfo(app.library()).isDir());
    }

    void refreshRereadsTheFolder() {
        CoverApp app;
        frmCoverCreator dlg(app.paths());
        auto* list = control<QListWidget>(dlg, "FileCovers");
        list->setCurrentRow(1);
        type(dlg, "txtAdText", 0, QStringLiteral("MMM"));
        const QImage shown = dlg.canvas().image();

        writePlain(app.library("0_new.jpg"), QColor(0, 128, 0), QSize(400, 450), "JPEG");
        QVERIFY(QFile::remove(app.library("a_quarters.jpg")));
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(0)->text(), QStringLiteral("a_quarters.jpg"));

        click(control<ClickLabel>(dlg, "lblRefreshImages"));
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(0)->text(), QStringLiteral("0_new.jpg"));
        QCOMPARE(list->item(1)->text(), QStringLiteral("b_black.jpg"));
        // The chosen picture stays chosen, and the canvas (text included) is not repainted.
        QCOMPARE(list->currentItem()->text(), QStringLiteral("b_black.jpg"));
        QCOMPARE(dlg.canvas().image(), shown);
    }

    void missingLibraryShowsWhereToPutPictures() {
        CoverApp app(false);
        frmCoverCreator dlg(app.paths());
        dlg.show();
        QSignalSpy saved(&dlg, &frmCoverCreator::coverSaved);
        QCOMPARE(control<QListWidget>(dlg, "FileCovers")->count(), 0);
        auto* hint = control<QLabel>(dlg, "lblLibraryHint");
        QVERIFY(hint->isVisible());
        QVERIFY2(hint->text().contains(QDir::toNativeSeparators(app.library())),
                 qPrintable(hint->text()));
        QCOMPARE(countPixels(dlg.canvas().image(), CoverCanvas::blankColor()), 400 * 450);

        type(dlg, "txtAdText", 0, QStringLiteral("Text"));
        click(control<QPushButton>(dlg, "Command1"));
        QVERIFY(desk->shown.isEmpty());
        QCOMPARE(saved.count(), 0);
        QVERIFY(!QFileInfo::exists(app.paths().coverFile()));
        QVERIFY(dlg.isVisible());

        // Pictures put there later appear after Refresh, and the hint goes.
        writePlain(app.library("new.jpg"), QColor(0, 128, 0), QSize(400, 450), "JPEG");
        click(control<ClickLabel>(dlg, "lblRefreshImages"));
        QCOMPARE(control<QListWidget>(dlg, "FileCovers")->count(), 1);
        QVERIFY(hint->isHidden());
    }

    void saveWritesTheCoverAndHandsItOver() {
        desk->colors.append(Red);
        CoverApp app;
        frmCoverCreator dlg(app.paths());
        dlg.show();
        control<QListWidget>(dlg, "FileCovers")->setCurrentRow(1);
        type(dlg, "txtAdText", 0, QStringLiteral("BIG TITLE"));
        control<QComboBox>(dlg, "cboFontSize[0]")->setCurrentText(QStringLiteral("34"));
        click(control<ColorSwatch>(dlg, "lblColorPicker[0]"));
        control<QComboBox>(dlg, "cboFontSize[1]")->setCurrentText(QStringLiteral("34"));
        control<QLineEdit>(dlg, "txtAdPositionY[1]")->setText(QStringLiteral("3000"));
        type(dlg, "txtAdText", 1, QStringLiteral("SECOND"));
        const QImage canvas = dlg.canvas().image();

        int messagesWhenSaved = -1;
        QStringList paths;
        connect(&dlg, &frmCoverCreator::coverSaved, this, [&](const QString& path) {
            paths << path;
            messagesWhenSaved = int(desk->shown.size());
        });
        click(control<QPushButton>(dlg, "Command1"));

        QCOMPARE(paths, QStringList{app.paths().coverFile()});
        QCOMPARE(messagesWhenSaved, 0); // the main window takes the cover before "Done" shows
        QCOMPARE(desk->shown.size(), 1);
        QCOMPARE(desk->last().text, QStringLiteral("Done! Cover saved."));
        QCOMPARE(desk->last().title, QStringLiteral("Done"));
        QCOMPARE(desk->last().icon, MessageIcon::Information);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QVERIFY(!dlg.isVisible());

        QImageReader reader(app.paths().coverFile());
        QCOMPARE(reader.format(), QByteArray("jpeg"));
        const QImage saved = reader.read();
        QCOMPARE(saved.size(), QSize(400, 450));
        const QPoint red = solidPixel(canvas, Red);
        QVERIFY(red.x() >= 0);
        QVERIFY2(near(saved.pixelColor(red), Red, 60), qPrintable(saved.pixelColor(red).name()));
        const QPoint white = solidPixel(canvas, White);
        QVERIFY(white.x() >= 0);
        QVERIFY(near(saved.pixelColor(white), White, 60));
        QVERIFY(near(saved.pixelColor(390, 440), Black, 8));
    }

    void saveThatCannotWriteSaysSoAndStays() {
        CoverApp app;
        // A folder where the cover file should go: no write can succeed, even as root.
        QVERIFY(QDir().mkpath(app.paths().coverFile()));
        frmCoverCreator dlg(app.paths());
        dlg.show();
        QSignalSpy saved(&dlg, &frmCoverCreator::coverSaved);
        type(dlg, "txtAdText", 0, QStringLiteral("Title"));
        click(control<QPushButton>(dlg, "Command1"));

        QCOMPARE(saved.count(), 0);
        QCOMPARE(desk->shown.size(), 1);
        QVERIFY2(desk->last().text.contains(QDir::toNativeSeparators(app.paths().coverFile())),
                 qPrintable(desk->last().text));
        QVERIFY(desk->last().text.endsWith(QLatin1Char('.')));
        QVERIFY(desk->last().icon != MessageIcon::Information);
        QVERIFY(desk->last().title != QStringLiteral("Done"));
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.result(), 0);
    }

    void cancelSavesNothing() {
        CoverApp app;
        frmCoverCreator dlg(app.paths());
        dlg.show();
        QSignalSpy saved(&dlg, &frmCoverCreator::coverSaved);
        type(dlg, "txtAdText", 0, QStringLiteral("Title"));
        click(control<QPushButton>(dlg, "cmdCanel"));
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QVERIFY(!dlg.isVisible());
        QCOMPARE(saved.count(), 0);
        QVERIFY(desk->shown.isEmpty());
        QVERIFY(!QFileInfo::exists(app.paths().coverFile()));
    }
};

TANDREL_TEST(frmCoverCreatorTest)
#include "frmcovercreator_test.moc"
