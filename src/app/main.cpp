#include "frmmass.h"

#include <QApplication>
#include <QStyleFactory>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tandrel"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    frmMass window(tandrel::AppPaths(QCoreApplication::applicationDirPath()));
    window.show();
    window.offerRecovery();
    return app.exec();
}
