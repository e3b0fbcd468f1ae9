#include "apppaths.h"
#include "controls.h"
#include "coverhelpers.h"
#include "frmcovercreator.h"
#include "scripteddesktop.h"
#include "testfiles.h"
#include "testregistry.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
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

void mouse(QWidget* widget, QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
    QMouseEvent event(type, at, widget->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

} // namespace

class frmCoverCreatorTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ScriptedDesktop> desk;
    std::unique_ptr<QTemporaryDir> tmp;
    QString appDir;
    std::unique_ptr<frmCoverCreator> dlg;

    // The library holds a picture of four coloured quarters and a black one.
    frmCoverCreator& open(bool withLibrary = true, const QString& folder = QStringLiteral("app"),
                          const QJsonObject& design = {}) {
        appDir = tmp->filePath(folder);
        if (withLibrary && !QFileInfo::exists(library("b_black.jpg"))) {
            writePicture(library("a_quarters.jpg"), QSize(400, 450), "JPEG");
            writePicture(library("b_black.jpg"), QSize(400, 450), "JPEG", Qt::black);
        }
        QDir().mkpath(appDir);
        dlg = std::make_unique<frmCoverCreator>(AppPaths(appDir), coverFile(), design);
        dlg->show();
        return *dlg;
    }
    QString library(const QString& name = QString()) const {
        return QDir::cleanPath(appDir + "/imgspro/" + name);
    }
    QString coverFile() const { return appDir + QStringLiteral("/covers/my-cover.jpg"); }
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
        tmp = std::make_unique<QTemporaryDir>();
    }

    // Every dialog a test causes must be one it scripted.
    void cleanup() {
        dlg.reset();
        tmp.reset();
        const int unexpected = desk->unexpected;
        desk.reset();
        QCOMPARE(unexpected, 0);
    }

    void panelsFollowTheClickedTitle_data() {
        // "lblMenu[i]" is a click on a title, "qFrame[i]" the panel's own event
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<int>("open");
        QTest::newRow("title of line 2") << QStringList{"lblMenu[1]"} << 1;
        QTest::newRow("title of line 1 restores both")
            << QStringList{"lblMenu[1]", "lblMenu[0]"} << 0;
        QTest::newRow("panel event of line 2") << QStringList{"qFrame[1]"} << 1;
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
        for (int i = 0; i < 2; ++i) {
            const bool on = i == open;
            auto* panel = control<CollapsiblePanel>(indexed("qFrame", i));
            QVERIFY(panel->isExpanded() == on && panel->isInactive() == !on);
            QVERIFY(edit("txtAdText", i)->isVisible() == on &&
                    control<QRadioButton>(indexed("optTextLine", i + 1))->isChecked() == on);
        }
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
        QCOMPARE(at(target - 1), QStringLiteral("83 100")); // pixels of the cover
        QCOMPARE(at(other), otherAt);
        QCOMPARE(canvas() != before, line1HasText);
    }

    void dragMovesTheLineUnderThePointer() {
        open();
        pick(1);
        type(0, QStringLiteral("First"));
        type(1, QStringLiteral("Second"));
        auto* box = control("picTest");
        const CoverCanvas::Placed before = dlg->canvas().placed(1);
        const QString line1 = edit("txtAdPositionX", 0)->text() + edit("txtAdPositionY", 0)->text();
        const QPointF from = before.box.center();
        mouse(box, QEvent::MouseButtonPress, from, Qt::LeftButton);
        for (int step = 1; step <= 4; ++step)
            mouse(box, QEvent::MouseMove, from + QPointF(-10, -20) * step, Qt::LeftButton);
        mouse(box, QEvent::MouseButtonRelease, from + QPointF(-40, -80), Qt::NoButton);
        const QPointF moved = dlg->canvas().placed(1).anchor;
        QCOMPARE(moved, before.anchor + QPointF(-40, -80));
        QCOMPARE(edit("txtAdPositionX", 1)->text(), twipsText(std::round(moved.x() * 15) / 15));
        QCOMPARE(edit("txtAdPositionX", 0)->text() + edit("txtAdPositionY", 0)->text(), line1);
        // The dragged line becomes the one a click places.
        QVERIFY(control<QRadioButton>("optTextLine[2]")->isChecked());
    }

    // One entry per family, no symbol fonts; a choice or a typed size redraws at once.
    void fontChoicesRender() {
        open();
        auto* font = control<QComboBox>("cboFontName[0]");
        QStringList seen;
        for (int i = 0; i < font->count(); ++i) {
            const QString family = font->itemText(i);
            QVERIFY2(!family.contains('[') && !seen.contains(family), qPrintable(family));
            QVERIFY(!QFontDatabase::writingSystems(family).contains(QFontDatabase::Symbol));
            QCOMPARE(font->itemData(i, Qt::FontRole).value<QFont>().family(), family);
            seen << family;
        }
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

    // Open Folder explains, then opens the library, made first when it is missing;
    // a folder that will not open is a warning naming it.
    void linksExplain() {
        open(false);
        click(control("lblClickHere[0]"));
        QCOMPARE(desk->last().title, QStringLiteral("Text Position"));
        click(control("Command2"));
        QCOMPARE(desk->shown.size(), 2);
        QCOMPARE(desk->last().title, QStringLiteral("Info"));
        QCOMPARE(desk->openedFolders, QList<QString>{library()});
        QVERIFY(QFileInfo(library()).isDir());
        desk->foldersOpen = false;
        click(control("Command2"));
        QCOMPARE(desk->shown.size(), 4);
        QVERIFY(desk->last().text.contains(QDir::toNativeSeparators(library())) &&
                desk->last().icon == MessageIcon::Warning);
    }

    // A missing or empty library is explained; a picture that cannot be read is named in
    // one sentence and the others are listed.
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
        writeFile(library("0_broken.JPEG"), "no picture");
        writePicture(library("b.jpg"), QSize(400, 450), "JPEG", Qt::black);
        writePicture(library("c_wide.PNG"), QSize(900, 100), "PNG", Qt::red);
        click(control("lblRefreshImages"));
        QCOMPARE(list->count(), 3);
        QVERIFY(!list->item(2)->icon().isNull() && hint->isHidden());
        pick(0);
        QVERIFY2(hint->isVisible() && hint->text().contains("0_broken.JPEG") &&
                     hint->text().count(". ") == 0,
                 qPrintable(hint->text()));
        pick(2);
        QVERIFY(hint->isHidden());
        type(0, QStringLiteral("MMM"));
        const QImage shown = canvas();
        writePicture(library("a.jpg"), QSize(400, 450), "JPEG", Qt::darkGreen);
        QVERIFY(QFile::remove(library("b.jpg")));
        click(control("lblRefreshImages"));
        QCOMPARE(list->item(1)->text() + list->item(2)->text(), QStringLiteral("a.jpgc_wide.PNG"));
        // The chosen picture stays chosen, and the canvas (text included) is not repainted.
        QCOMPARE(list->currentItem()->text(), QStringLiteral("c_wide.PNG"));
        QCOMPARE(canvas(), shown);
    }

    // Typed before or after a picture change, the text is on the saved cover.
    void saveWritesTheCoverAndHandsItOver_data() {
        QTest::addColumn<QString>("appFolder");
        QTest::addColumn<int>("line");
        QTest::addColumn<bool>("typeFirst");
        QTest::newRow("non-ASCII folder") << QStringLiteral("Übung – Café ✓") << 0 << false;
        QTest::newRow("typed, then another picture") << "app" << 0 << true;
        QTest::newRow("line 2 alone, then another picture") << "app" << 1 << true;
    }

    void saveWritesTheCoverAndHandsItOver() {
        QFETCH(QString, appFolder);
        QFETCH(int, line);
        QFETCH(bool, typeFirst);
        open(true, appFolder);
        // The first picture is chosen and painted at start.
        QVERIFY(near(canvas().pixelColor(100, 112), Red, 10));
        if (typeFirst)
            type(line, QStringLiteral("BIG TITLE"));
        pick(1);
        if (!typeFirst)
            type(line, QStringLiteral("BIG TITLE"));
        // The main window takes the cover before "Done" shows.
        QStringList handedOver;
        connect(dlg.get(), &frmCoverCreator::coverSaved, this, [&](const QString& path) {
            handedOver << path << QString::number(desk->shown.size());
        });
        click(control("Command1"));

        const QString cover = coverFile();
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

    void failedSaveSaysSo() {
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
    }

    void designIsSavedAndReopened() {
        open();
        pick(1);
        edit("txtAdPositionY", 0)->setText("133");
        edit("txtAdText", 0)->setText("Plan");
        control<QComboBox>("cboAlign[0]")->setCurrentIndex(2);
        control<QComboBox>("cboEffect[0]")->setCurrentIndex(2);
        control<QCheckBox>("chkShrink[1]")->setChecked(true);
        QVERIFY(QMetaObject::invokeMethod(dlg.get(), "Command1_Click"));
        const CoverDesign made = dlg->design();
        const QImage shown = canvas();
        open(true, QStringLiteral("app"), dlg->designJson());
        QCOMPARE(dlg->designJson(), coverDesignToJson(made));
        QCOMPARE(control<QListWidget>("FileCovers")->currentRow(), 1);
        QCOMPARE(canvas(), shown);
        const int before = desk->shown.size();
        dlg->reject(); // nothing changed: no question
        QCOMPARE(desk->shown.size(), before);
    }

    void closingWithChangesAsks_data() {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("yes");
        QTest::newRow("Cancel, Yes closes") << "Cancel" << true;
        QTest::newRow("Escape, No stays") << "Escape" << false;
        QTest::newRow("close box, Yes closes") << "close box" << true;
        QTest::newRow("close box, No stays") << "close box" << false;
    }

    void closingWithChangesAsks() {
        QFETCH(QString, way);
        QFETCH(bool, yes);
        QVERIFY(QTest::qWaitForWindowExposed(&open()));
        QSignalSpy saved(dlg.get(), &frmCoverCreator::coverSaved);
        type(0, QStringLiteral("x"));
        desk->answers << yes;
        if (way == QLatin1String("Cancel"))
            QTest::mouseClick(control("cmdCanel"), Qt::LeftButton);
        else if (way == QLatin1String("Escape"))
            QTest::keyClick(edit("txtAdText", 0), Qt::Key_Escape);
        else
            dlg->close();
        QCOMPARE(desk->shown.size(), 1);
        QVERIFY(desk->last().question && desk->last().title == QStringLiteral("Confirm"));
        QVERIFY(desk->last().defaultNo); // Escape then Enter keeps the design
        QCOMPARE(dlg->isVisible(), !yes);
        QVERIFY(saved.isEmpty() && !QFileInfo::exists(coverFile()));
        if (yes)
            QCOMPARE(dlg->result(), int(QDialog::Rejected));
    }
};

TANDREL_TEST(frmCoverCreatorTest)
#include "frmcovercreator_test.moc"
