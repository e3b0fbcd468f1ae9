#include "frmmass.h"
#include "funnelfixtures.h"
#include "scripteddesktop.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <memory>

using namespace tandrel;
using namespace tandrel::test;

// The window from the keyboard alone.
class frmMassKeyboardTest : public QObject {
    Q_OBJECT

    std::unique_ptr<FixtureApp> app;
    std::unique_ptr<ScriptedDesktop> desk;
    std::unique_ptr<frmMass> window;

    // Tab from the section's first control until focus leaves the section.
    QStringList tabWalk(int section) {
        QTest::keyClick(window.get(), Qt::Key_1 + section, Qt::AltModifier);
        QWidget* box = window->findChild<QWidget*>(QStringLiteral("frTab[%1]").arg(section));
        QStringList names;
        for (QWidget* w = QApplication::focusWidget();
             w && box->isAncestorOf(w) && names.size() < 60; w = QApplication::focusWidget()) {
            names << w->objectName();
            QTest::keyClick(w, Qt::Key_Tab);
        }
        return names;
    }

private slots:
    void init() {
        app = std::make_unique<FixtureApp>();
        desk = std::make_unique<ScriptedDesktop>();
        window = std::make_unique<frmMass>(AppPaths(app->path()));
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    void cleanup() {
        QCOMPARE(desk->unexpected, 0);
        window.reset();
        desk.reset();
        app.reset();
    }

    void sectionShortcutsAndTabOrder() {
        for (int i = 0; i < 5; ++i) {
            const QStringList walk = tabWalk(i);
            QCOMPARE(window->shownSection(), i);
            QVERIFY2(!walk.isEmpty(), qPrintable(QString::number(i)));
        }
        // Rows top to bottom, each left to right, as General Info shows them; of the two
        // background options only the chosen one takes Tab (the arrows choose).
        const QStringList general = tabWalk(GeneralInfo);
        const QStringList expected{"txtFunnelUrl",      "optBackground[0]", "lblColorPicker[0]",
                                   "cmdFileSelect[0]",  "txtFooterNew",     "lblColorPicker[1]",
                                   "lblColorPicker[3]", "cboLanguage",      "Label63"};
        QCOMPARE(general.join(" "), expected.join(" "));
    }

    void enterInALineFieldStartsNothing() {
        for (int i = 0; i < 5; ++i) {
            window->ShowSection(i);
            for (QLineEdit* field : window->findChildren<QLineEdit*>()) {
                if (!field->isVisibleTo(window.get()))
                    continue;
                field->setFocus();
                QTest::keyClick(field, Qt::Key_Return);
            }
        }
        QCOMPARE(desk->shown.size(), 0);
        QVERIFY(!QFileInfo::exists(app->output()));
    }
};

TANDREL_TEST(frmMassKeyboardTest)
#include "frmmass_keyboard_test.moc"
