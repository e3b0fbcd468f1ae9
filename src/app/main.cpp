#include "desktop.h"
#include "frmmass.h"
#include "funnelbuild.h"

#include <QApplication>
#include <QStyleFactory>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // Names the user's data folder, which tandrel-cli shares.
    QApplication::setApplicationName(QStringLiteral("Tandrel"));
#ifdef TANDREL_APP_ID
    QApplication::setDesktopFileName(QStringLiteral(TANDREL_APP_ID));
#endif
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("tandrel")));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    const tandrel::AppPaths paths = tandrel::AppPaths::atStart();
    // The window still opens; a build then names what is missing.
    if (const tandrel::Status ready = paths.prepare(); !ready)
        tandrel::desktop().message(nullptr, ready.error(), QStringLiteral("Tandrel"),
                                   tandrel::MessageIcon::Warning);
    // A build killed mid-swap may have left the funnel in its working folder.
    if (const tandrel::Status recovered = tandrel::recoverInterruptedBuild(paths); !recovered)
        tandrel::desktop().message(nullptr, recovered.error(), QStringLiteral("Tandrel"),
                                   tandrel::MessageIcon::Warning);
    frmMass window(paths);
    window.show();
    window.offerRecovery();
    return app.exec();
}
