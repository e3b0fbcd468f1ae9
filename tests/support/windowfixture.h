#pragma once

#include "frmmass.h"
#include "funnelfixtures.h"
#include "scripteddesktop.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace tandrel::test {

// The main window over a fresh copy of the fixture folder, its dialogs answered by
// the scripted desktop. A window test calls openFixture() in init() and
// closeFixture() in cleanup(), which fails on any dialog nobody scripted.
struct WindowFixture {
    std::unique_ptr<FixtureApp> app;
    std::unique_ptr<ScriptedDesktop> desk;
    std::unique_ptr<frmMass> window;

    void openFixture() {
        app = std::make_unique<FixtureApp>();
        desk = std::make_unique<ScriptedDesktop>();
        openWindow();
    }
    void openWindow(const QString& folder = QString()) {
        window = std::make_unique<frmMass>(AppPaths(folder.isEmpty() ? app->path() : folder));
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    void closeFixture() {
        const int unexpected = desk->unexpected;
        window.reset();
        desk.reset();
        app.reset();
        QCOMPARE(unexpected, 0);
    }

    template <typename T = QWidget> T* find(const QString& name) const {
        return controlIn<T>(window.get(), name);
    }
    QLineEdit* edit(const QString& name) const { return find<QLineEdit>(name); }
    bool shown(const QString& name) const { return find(name)->isVisibleTo(window.get()); }
    // Typed, then left with Tab as a user does.
    void type(const QString& name, const QString& text) const {
        QLineEdit* field = edit(name);
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Tab);
    }
};

// Runs once the next modal dialog is up: the test plays the user there.
inline void whenDialogOpens(std::function<void(QDialog*)> play) {
    QTimer::singleShot(0, [play] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        play(dialog);
    });
}

} // namespace tandrel::test
