#include "cli.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    // Names the user's data folder, which the window shares.
    QCoreApplication::setApplicationName(QStringLiteral("Tandrel"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    return tandrel::cli::run(app.arguments().mid(1), tandrel::AppPaths::atStart(), out, err);
}
