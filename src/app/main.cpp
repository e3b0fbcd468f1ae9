#include "desktop.h"
#include "frmmass.h"
#include "funnelbuild.h"
#include "livepreview.h"

#include <QApplication>
#include <QDateTime>
#include <QStyleFactory>
#include <QTimer>

#include <cstdio>

namespace {

// TANDREL_STARTUP_TIMING=1: the wall clock (ms) when the window is up and when the
// live preview first shows a page, for a measuring script that noted when it started us.
void reportStartup(frmMass& window) {
    const auto stamp = [](const char* what) {
        std::printf("tandrel-startup %s %lld\n", what, QDateTime::currentMSecsSinceEpoch());
        std::fflush(stdout);
    };
    QTimer::singleShot(0, &window, [stamp] { stamp("window"); });
    QObject::connect(
        window.findChild<LivePreview*>(), &LivePreview::pageShown, &window,
        [stamp] { stamp("preview"); }, Qt::SingleShotConnection);
}

} // namespace

int main(int argc, char* argv[]) {
    // The live preview's web engine draws with the window's graphics context.
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
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
    if (qEnvironmentVariableIsSet("TANDREL_STARTUP_TIMING"))
        reportStartup(window);
    window.offerRecovery();
    return app.exec();
}
