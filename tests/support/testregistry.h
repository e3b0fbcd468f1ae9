#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

// Lets one test executable per source folder hold several QTest classes.
namespace tandrel::test {

using Factory = std::function<std::unique_ptr<QObject>()>;
std::vector<Factory>& registry();

template <typename T> struct Registrar {
    Registrar() {
        registry().push_back([] { return std::make_unique<T>(); });
    }
};

// The source tree's tests/data and data folders, for fixtures.
QString testDataDir();
QString shippedDataDir();

// A window's control by objectName; a missing one stops the run, naming it.
template <typename T> T* controlIn(const QObject* root, const QString& name) {
    T* found = root->findChild<T*>(name);
    if (!found)
        qFatal("no control %s", qPrintable(name));
    return found;
}

} // namespace tandrel::test

#define TANDREL_TEST(Class) static const tandrel::test::Registrar<Class> registrar_##Class;
