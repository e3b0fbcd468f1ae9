#pragma once

// What each publish test starts from: a home folder of its own and a fresh
// application folder with a complete funnel built in it.

#include "buildrecord.h"
#include "funnelbuild.h"
#include "funnelfixtures.h"
#include "servers.h"

// Once: QVERIFY2 evaluates its message on success too.
#define PUBLISHED(report)                                                                          \
    do {                                                                                           \
        const PublishReport once = (report);                                                       \
        QVERIFY2(once.published(), qPrintable(once.message));                                      \
    } while (false)

namespace tandrel::test {

struct PublishFixture {
    QTemporaryDir home;
    std::unique_ptr<FixtureApp> app;
    FunnelSettings settings;

    // For the known hosts and git's settings.
    void useHome() { qputenv("HOME", QFile::encodeName(home.path())); }
    void build() {
        const BuildOutcome built = buildFunnel(settings, AppPaths(app->path()));
        QVERIFY2(built.built(), qPrintable(built.message));
    }
    void newFunnel() {
        app = std::make_unique<FixtureApp>();
        settings = completeSettings(app->makePicture(QStringLiteral("cover.jpg")));
        build();
    }
};

} // namespace tandrel::test
