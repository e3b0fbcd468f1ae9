#include "cli.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return tandrel::cli::run(app.arguments().mid(1), QCoreApplication::applicationDirPath(), out,
                             err);
}
