#include "testregistry.h"

#include <QTest>
#ifdef TANDREL_TEST_WIDGETS
#include <QApplication>
using Application = QApplication;
#else
#include <QGuiApplication>
using Application = QGuiApplication;
#endif

namespace tandrel::test {

std::vector<Factory>& registry() {
    static std::vector<Factory> factories;
    return factories;
}

QString testDataDir() {
    return QStringLiteral(TANDREL_TEST_DATA_DIR);
}
QString shippedDataDir() {
    return QStringLiteral(TANDREL_SHIPPED_DATA_DIR);
}

} // namespace tandrel::test

// Arguments after the program name go to every class (e.g. -v2, or a test function name).
int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
#ifdef TANDREL_TEST_WIDGETS
    // The main window's live preview runs a web engine.
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
#endif
    Application app(argc, argv);
    const QByteArray only = qgetenv("TANDREL_TEST_CLASS");
    int failures = 0;
    for (const auto& factory : tandrel::test::registry()) {
        auto object = factory();
        if (!only.isEmpty() && only != object->metaObject()->className())
            continue;
        failures += QTest::qExec(object.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
