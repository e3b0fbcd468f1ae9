#include "apppaths.h"
#include "controls.h"
#include "coverhelpers.h"
#include "frmcovercreator.h"
#include "scripteddesktop.h"
#include "testregistry.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace tandrel;
using namespace tandrel::test;

namespace {

const QColor White(255, 255, 255);
const QColor Red(255, 0, 0);

void click(QWidget* widget, Qt::MouseButton button = Qt::LeftButton, QPoint at = QPoint()) {
    QTest::mouseClick(widget, button, Qt::NoModifier, at.isNull() ? widget->rect().center() : at);
}

} // namespace

class frmCoverCreatorTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ScriptedDesktop> desk;
    QTemporaryDir tmp;
    QString appDir;
    std::unique_ptr<frmCoverCreator> dlg;

    // The application folder's library holds a picture of four coloured quarters and a black one.
    frmCoverCreator& open(bool withLibrary = true, const QString& folder = QString()) {
        appDir = tmp.filePath(folder.isEmpty() ? QStringLiteral("app") : folder);
        if (withLibrary) {
            writePicture(library("a_quarters.jpg"), QSize(400, 450), "JPEG");
            writePicture(library("b_black.jpg"), QSize(400, 450), "JPEG", Qt::black);
        }
        QDir().mkpath(appDir);
        dlg = std::make_unique<frmCoverCreator>(AppPaths(appDir));
        dlg->show();
        return *dlg;
    }
    QString library(const QString& name = QString()) const {
        return QDir::cleanPath(appDir + "/imgspro/" + name);
    }
    QString coverFile() const { return AppPaths(appDir).coverFile(); }
    template <typename T = QWidget> T* control(const QString& name) {
        return test::controlIn<T>(dlg.get(), name);
    }
    QLineEdit* edit(const char* name, int index) {
        return control<QLineEdit>(indexed(name, index));
    }
    void type(int line, const QString& text) {
        edit("txtAdText", line)->clear();
        QTest::keyClicks(edit("txtAdText", line), text);
    }
    void pick(int row) { control<QListWidget>("FileCovers")->setCurrentRow(row); }
    const QImage& canvas() const { return dlg->canvas().image(); }

private slots:
    void init() {
        desk = std::make_unique<ScriptedDesktop>();
        QVERIFY(tmp.isValid());
    }

    // Every dialog a test causes must be one it scripted.
    void cleanup() {
        dlg.reset();
        QDir(tmp.path()).removeRecursively();
        QCOMPARE(desk->unexpected, 0);
        desk.reset();
    }

    void panelsFollowTheClickedTitle_data() {
        // "lblMenu[i]" is a click on a title, "qFrame[i]" the panel's own event
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<int>("open");
        QTest::newRow("at start") << QStringList{} << 0;
        QTest::newRow("title of line 2") << QStringList{"lblMenu[1]"} << 1;
        QTest::newRow("title of line 1 restores both")
            << QStringList{"lblMenu[1]", "lblMenu[0]"} << 0;
        QTest::newRow("panel event of line 2") << QStringList{"qFrame[1]"} << 1;
        QTest::newRow("panel event of line 1 after line 2")
            << QStringList{"lblMenu[1]", "qFrame[0]"} << 0;
    }

    void panelsFollowTheClickedTitle() {
        QFETCH(QStringList, clicks);
        QFETCH(int, open);
        QVERIFY(QTest::qWaitForWindowExposed(&this->open()));
        for (const QString& name : clicks) {
            if (name.startsWith(QLatin1String("lblMenu")))
                click(control(name));
            else
                QVERIFY(QMetaObject::invokeMethod(control(name), "expandCollapse"));
        }
        CollapsiblePanel* panel[] = {control<CollapsiblePanel>("qFrame[0]"),
                                     control<CollapsiblePanel>("qFrame[1]")};
        for (int i = 0; i < 2; ++i) {
            const bool on = i == open;
            QVERIFY(panel[i]->isExpanded() == on && panel[i]->isInactive() == !on);
            QVERIFY(edit("txtAdText", i)->isVisible() == on &&
                    control<QRadioButton>(indexed("optTextLine", i + 1))->isChecked() == on);
        }
        // Panel 1 lies 50 twips (3 pixels) below panel 0, whichever is open.
        QCOMPARE(panel[1]->y(), panel[0]->y() + panel[0]->height() + 3);
    }

    void canvasClickPositionsTheChosenLine_data() {
        QTest::addColumn<int>("target"); // the option clicked: 1 or 2
        QTest::addColumn<bool>("line1HasText");
        QTest::addColumn<int>("button");
        QTest::newRow("line 1, redrawn") << 1 << true << int(Qt::LeftButton);
        QTest::newRow("line 2 with any button, redrawn") << 2 << true << int(Qt::RightButton);
        QTest::newRow("line 1 empty: moved, not drawn") << 1 << false << int(Qt::MiddleButton);
    }

    void canvasClickPositionsTheChosenLine() {
        QFETCH(int, target);
        QFETCH(bool, line1HasText);
        QFETCH(int, button);
        open();
        type(1, QStringLiteral("MMM"));
        if (line1HasText)
            type(0, QStringLiteral("MMM"));
        control<QRadioButton>(indexed("optTextLine", target))->click();
        const int other = 2 - target;
        const auto at = [&](int i) {
            return edit("txtAdPositionX", i)->text() + ' ' + edit("txtAdPositionY", i)->text();
        };
        const QString otherAt = at(other);
        const QImage before = canvas();
        click(control("picTest"), Qt::MouseButton(button), QPoint(83, 100));
        QCOMPARE(at(target - 1), QStringLiteral("1245 1500"));
        QCOMPARE(at(other), otherAt);
        QCOMPARE(canvas() != before, line1HasText);
    }

    void textIsRedrawnOnAnotherPicture() {
        open();
        // The first picture is chosen and painted at start, with no text.
        QVERIFY(near(canvas().pixelColor(100, 112), Red, 10));
        pick(1);
        type(0, QStringLiteral("First"));
        QVERIFY(countPixels(canvas(), White, 30) > 40);
        // Another picture shows the text at once.
        pick(0);
        QVERIFY(countPixels(canvas(), White, 30) > 40);
        QVERIFY(near(canvas().pixelColor(100, 400), QColor(0, 0, 255), 10));
    }

    void fontChoicesRender() {
        open();
        type(0, QStringLiteral("Size"));
        auto* size = control<QComboBox>("cboFontSize[0]");
        QTest::keyClick(size, Qt::Key_Down);
        QCOMPARE(dlg->canvas().font().pointSize(), size->currentText().toInt());
        // A typed size counts on Enter, as whole points, and Enter does not save and close.
        size->lineEdit()->clear();
        QTest::keyClicks(size->lineEdit(), QStringLiteral("24.9"));
        QTest::keyClick(size->lineEdit(), Qt::Key_Return);
        QCOMPARE(dlg->canvas().font().pointSize(), 24);
        QVERIFY(dlg->isVisible() && !QFileInfo::exists(coverFile()));

        auto* font = control<QComboBox>("cboFontName[0]");
        if (font->count() < 2)
            QSKIP("only one font on this system");
        const bool down = font->currentIndex() + 1 < font->count();
        const QString expected = font->itemText(font->currentIndex() + (down ? 1 : -1));
        font->setFocus();
        QTest::keyClick(font, down ? Qt::Key_Down : Qt::Key_Up);
        QCOMPARE(dlg->canvas().font().family(), expected);
    }

    void colourPicks_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QColor>("chosen"); // invalid: the dialog is cancelled
        QTest::addColumn<QString>("tag");
        QTest::newRow("pure red for line 1") << 0 << QColor(255, 0, 0) << "255,0,0";
        QTest::newRow("mixed colour for line 2") << 1 << QColor(255, 0, 128) << "255,0,128";
        QTest::newRow("cancel keeps the colour") << 0 << QColor() << "255,255,255";
    }

    void colourPicks() {
        QFETCH(int, index);
        QFETCH(QColor, chosen);
        QFETCH(QString, tag);
        desk->colors.append(chosen.isValid() ? std::optional<QColor>(chosen) : std::nullopt);
        open();
        pick(1);
        type(0, QStringLiteral("MMM"));
        type(1, QStringLiteral("MMM"));
        const QImage before = canvas();
        auto* swatch = control<ColorSwatch>(indexed("lblColorPicker", index));
        click(swatch);
        QVERIFY(desk->colors.isEmpty());
        QCOMPARE(swatch->tag(), tag);
        QCOMPARE(swatch->color(), chosen.isValid() ? chosen : White);
        // The line is redrawn in the new colour at once.
        if (chosen.isValid())
            QVERIFY(countPixels(canvas(), chosen) > 20);
        else
            QCOMPARE(canvas(), before);
    }

    void linksExplain() {
        open(false);
        click(control("lblClickHere[0]"));
        QCOMPARE(desk->last().title, QStringLiteral("Text Position"));
        // Open Folder explains, then opens the library, made first when it is missing.
        click(control("Command2"));
        QCOMPARE(desk->shown.size(), 2);
        QCOMPARE(desk->last().title, QStringLiteral("Info"));
        QCOMPARE(desk->openedFolders, QList<QString>{library()});
        QVERIFY(QFileInfo(library()).isDir());
    }

    void refreshRereadsTheFolder() {
        open(false);
        QSignalSpy saved(dlg.get(), &frmCoverCreator::coverSaved);
        auto* hint = control<QLabel>("lblLibraryHint");
        QVERIFY2(hint->isVisible() && hint->text().contains(QDir::toNativeSeparators(library())),
                 qPrintable(hint->text()));
        // No picture chosen: "Save Image and Use" does nothing.
        type(0, QStringLiteral("MMM"));
        click(control("Command1"));
        QVERIFY(desk->shown.isEmpty() && saved.isEmpty() && dlg->isVisible());
        QVERIFY(!QFileInfo::exists(coverFile()));

        auto* list = control<QListWidget>("FileCovers");
        for (const char* name : {"b.jpg", "c.jpg"})
            writePicture(library(name), QSize(400, 450), "JPEG", Qt::black);
        click(control("lblRefreshImages"));
        QCOMPARE(list->count(), 2);
        QVERIFY(hint->isHidden());
        pick(1);
        type(0, QStringLiteral("MMM"));
        const QImage shown = canvas();
        writePicture(library("a.jpg"), QSize(400, 450), "JPEG", Qt::darkGreen);
        QVERIFY(QFile::remove(library("b.jpg")));
        click(control("lblRefreshImages"));
        QCOMPARE(list->item(0)->text() + list->item(1)->text(), QStringLiteral("a.jpgc.jpg"));
        // The chosen picture stays chosen, and the canvas (text included) is not repainted.
        QCOMPARE(list->currentItem()->text(), QStringLiteral("c.jpg"));
        QCOMPARE(canvas(), shown);
    }

    void saveWritesTheCoverAndHandsItOver_data() {
        QTest::addColumn<QString>("appFolder");
        QTest::newRow("plain folder") << QStringLiteral("app");
        QTest::newRow("non-ASCII folder") << QStringLiteral("Übung – Café ✓");
    }

    void saveWritesTheCoverAndHandsItOver() {
        QFETCH(QString, appFolder);
        open(true, appFolder);
        pick(1);
        type(0, QStringLiteral("BIG TITLE"));
        // The main window takes the cover before "Done" shows.
        QStringList handedOver;
        connect(dlg.get(), &frmCoverCreator::coverSaved, this, [&](const QString& path) {
            handedOver << path << QString::number(desk->shown.size());
        });
        click(control("Command1"));

        const QString cover = tmp.filePath(appFolder + "/temp_cover.jpg");
        QCOMPARE(handedOver, (QStringList{cover, "0"}));
        QCOMPARE(desk->shown.size(), 1);
        QCOMPARE(desk->last().title, QStringLiteral("Done"));
        QVERIFY(dlg->result() == QDialog::Accepted && !dlg->isVisible());
        const QImage saved(cover);
        QCOMPARE(saved.size(), QSize(400, 450));
        // The canvas as shown: white text on the black picture.
        QVERIFY(countPixels(saved, White, 40) > 20 &&
                near(saved.pixelColor(390, 440), Qt::black, 8));
    }

    void failedSaveSaysSoThenCancelLeaves() {
        open();
        // A folder where the cover file should go: no write can succeed, even as root.
        QVERIFY(QDir().mkpath(coverFile()));
        QSignalSpy saved(dlg.get(), &frmCoverCreator::coverSaved);
        type(0, QStringLiteral("Title"));
        click(control("Command1"));
        QCOMPARE(desk->shown.size(), 1);
        QVERIFY2(desk->last().text.contains(QDir::toNativeSeparators(coverFile())),
                 qPrintable(desk->last().text));
        QVERIFY(desk->last().icon != MessageIcon::Information);
        QVERIFY(dlg->isVisible() && saved.isEmpty());
        // Cancel asks before the unsaved design goes, then closes without saving.
        desk->answers << true;
        click(control("cmdCanel"));
        QCOMPARE(dlg->result(), int(QDialog::Rejected));
        QVERIFY(!dlg->isVisible() && saved.isEmpty());
        QCOMPARE(desk->shown.size(), 2);
    }
};

TANDREL_TEST(frmCoverCreatorTest)
#include "frmcovercreator_test.moc"
