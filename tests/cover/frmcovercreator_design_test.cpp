#include "apppaths.h"
#include "controls.h"
#include "coverhelpers.h"
#include "frmcovercreator.h"
#include "scripteddesktop.h"
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
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace tandrel;
using namespace tandrel::test;

namespace {

const QColor White(255, 255, 255);

void mouse(QWidget* widget, QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
    QMouseEvent event(type, at, widget->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

} // namespace

class frmCoverCreatorDesignTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ScriptedDesktop> desk;
    std::unique_ptr<QTemporaryDir> tmp;
    std::unique_ptr<frmCoverCreator> dlg;

    QString library(const QString& name) const { return tmp->filePath("imgspro/" + name); }
    frmCoverCreator& open(const QJsonObject& design = {}) {
        dlg = std::make_unique<frmCoverCreator>(AppPaths(tmp->path()), design);
        dlg->show();
        return *dlg;
    }
    template <typename T = QWidget> T* control(const QString& name) {
        return test::controlIn<T>(dlg.get(), name);
    }
    void type(int line, const QString& text) {
        QTest::keyClicks(control<QLineEdit>(indexed("txtAdText", line)), text);
    }
    void pick(int row) { control<QListWidget>("FileCovers")->setCurrentRow(row); }

private slots:
    void init() {
        desk = std::make_unique<ScriptedDesktop>();
        tmp = std::make_unique<QTemporaryDir>();
        writePicture(library("a_white.png"), QSize(400, 450), "PNG", White);
        writePicture(library("b_black.jpg"), QSize(400, 450), "JPEG", Qt::black);
    }

    void cleanup() {
        dlg.reset();
        tmp.reset();
        QCOMPARE(desk->unexpected, 0);
        desk.reset();
    }

    void savedCoverHoldsTheTextAfterAPictureChange_data() {
        QTest::addColumn<int>("line");
        QTest::newRow("line 1") << 0;
        QTest::newRow("line 2 alone") << 1;
    }

    void savedCoverHoldsTheTextAfterAPictureChange() {
        QFETCH(int, line);
        open();
        type(line, QStringLiteral("Big Title"));
        pick(1);
        // The layout may still move after the picture change; press the button by its slot.
        QVERIFY(QMetaObject::invokeMethod(dlg.get(), "Command1_Click"));
        QCOMPARE(desk->shown.size(), 1);
        QCOMPARE(desk->last().title, QStringLiteral("Done"));
        const QImage saved(AppPaths(tmp->path()).coverFile());
        QVERIFY(countPixels(saved, White, 40) > 100);
    }

    void largePictureIsDecodedOnceWhileTyping() {
        writePicture(library("0_big.jpg"), QSize(3000, 4000), "JPEG");
        open();
        type(0, QStringLiteral("Ten keys!!"));
        control<QComboBox>("cboEffect[0]")->setCurrentIndex(2);
        QCOMPARE(dlg->canvas().decodeCount(), 1);
    }

    void designIsSavedAndReopened() {
        open();
        pick(1);
        control<QLineEdit>("txtAdPositionY[0]")->setText("2000");
        control<QLineEdit>("txtAdText[0]")->setText("Plan");
        control<QComboBox>("cboAlign[0]")->setCurrentIndex(2);
        control<QComboBox>("cboEffect[0]")->setCurrentIndex(2);
        control<QCheckBox>("chkShrink[1]")->setChecked(true);
        QVERIFY(QMetaObject::invokeMethod(dlg.get(), "Command1_Click"));
        const CoverDesign made = dlg->design();
        const QImage shown = dlg->canvas().image();
        const QJsonObject kept = dlg->designJson();
        open(kept);
        QCOMPARE(dlg->designJson(), coverDesignToJson(made));
        QCOMPARE(control<QListWidget>("FileCovers")->currentRow(), 1);
        QCOMPARE(dlg->canvas().image(), shown);
        const int before = desk->shown.size();
        dlg->reject(); // nothing changed: no question
        QCOMPARE(desk->shown.size(), before);
    }

    void closingWithChangesAsks_data() {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("yes");
        for (const char* way : {"Cancel", "Escape", "close box"}) {
            QTest::addRow("%s, Yes closes", way) << way << true;
            QTest::addRow("%s, No stays", way) << way << false;
        }
    }

    void closingWithChangesAsks() {
        QFETCH(QString, way);
        QFETCH(bool, yes);
        QVERIFY(QTest::qWaitForWindowExposed(&open()));
        type(0, QStringLiteral("x"));
        desk->answers << yes;
        if (way == QLatin1String("Cancel"))
            QTest::mouseClick(control("cmdCanel"), Qt::LeftButton);
        else if (way == QLatin1String("Escape"))
            QTest::keyClick(control<QLineEdit>("txtAdText[0]"), Qt::Key_Escape);
        else
            dlg->close();
        QCOMPARE(desk->shown.size(), 1);
        QVERIFY(desk->last().question && desk->last().title == QStringLiteral("Confirm"));
        QCOMPARE(dlg->isVisible(), !yes);
    }

    void dragMovesTheLineUnderThePointer() {
        open();
        pick(1);
        type(0, QStringLiteral("First"));
        type(1, QStringLiteral("Second"));
        auto* box = control("picTest");
        const CoverCanvas::Placed before = dlg->canvas().placed(1);
        const QString line1 = control<QLineEdit>("txtAdPositionX[0]")->text() +
                              control<QLineEdit>("txtAdPositionY[0]")->text();
        const QPointF from = before.box.center();
        mouse(box, QEvent::MouseButtonPress, from, Qt::LeftButton);
        for (int step = 1; step <= 4; ++step)
            mouse(box, QEvent::MouseMove, from + QPointF(-10, -20) * step, Qt::LeftButton);
        mouse(box, QEvent::MouseButtonRelease, from + QPointF(-40, -80), Qt::NoButton);
        const QPointF moved = dlg->canvas().placed(1).anchor;
        QCOMPARE(moved, before.anchor + QPointF(-40, -80));
        QCOMPARE(control<QLineEdit>("txtAdPositionX[1]")->text(),
                 twipsText(std::round(moved.x() * 15)));
        QCOMPARE(control<QLineEdit>("txtAdPositionX[0]")->text() +
                     control<QLineEdit>("txtAdPositionY[0]")->text(),
                 line1);
        // The dragged line becomes the one a click places.
        QVERIFY(control<QRadioButton>("optTextLine[2]")->isChecked());
    }

    void fontListHasOneEntryPerFamily() {
        open();
        auto* fonts = control<QComboBox>("cboFontName[0]");
        QCOMPARE(fonts->currentText(), defaultCoverFont());
        QStringList seen;
        for (int i = 0; i < fonts->count(); ++i) {
            const QString family = fonts->itemText(i);
            QVERIFY2(!family.contains('[') && !seen.contains(family), qPrintable(family));
            QVERIFY(!QFontDatabase::writingSystems(family).contains(QFontDatabase::Symbol));
            QCOMPARE(fonts->itemData(i, Qt::FontRole).value<QFont>().family(), family);
            seen << family;
        }
    }

    void failuresAreReportedInOneSentence() {
        QFile broken(library("0_broken.JPEG"));
        QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write("no picture") > 0);
        broken.close();
        writePicture(library("c_wide.PNG"), QSize(900, 100), "PNG", Qt::red);
        open();
        auto* list = control<QListWidget>("FileCovers");
        QCOMPARE(list->count(), 4);
        QVERIFY(!list->item(3)->icon().isNull());
        auto* note = control<QLabel>("lblLibraryHint");
        QVERIFY2(note->isVisible() && note->text().contains("0_broken.JPEG") &&
                     note->text().count(". ") == 0,
                 qPrintable(note->text()));
        pick(1);
        QVERIFY(note->isHidden());

        desk->foldersOpen = false;
        QTest::mouseClick(control("Command2"), Qt::LeftButton);
        QCOMPARE(desk->shown.size(), 2);
        QVERIFY2(desk->last().text.contains(QDir::toNativeSeparators(tmp->filePath("imgspro"))) &&
                     desk->last().icon == MessageIcon::Warning,
                 qPrintable(desk->last().text));
    }
};

TANDREL_TEST(frmCoverCreatorDesignTest)
#include "frmcovercreator_design_test.moc"
