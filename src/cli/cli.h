#pragma once

#include "apppaths.h"

#include <QIODevice>
#include <QStringList>
#include <QTextStream>

namespace tandrel::cli {

// Runs one command line (without the program name) in-process: what the
// program prints goes to out and err, the exit status is returned.
// defaults are the folders used unless --app-dir is given.
int run(const QStringList& arguments, const AppPaths& defaults, QTextStream& out, QTextStream& err);
// The same with standard input read from in, so tests can hand a command its article.
int run(const QStringList& arguments, const AppPaths& defaults, QIODevice& in, QTextStream& out,
        QTextStream& err);
// Portable in defaultAppDir unless --app-dir is given.
inline int run(const QStringList& arguments, const QString& defaultAppDir, QTextStream& out,
               QTextStream& err) {
    return run(arguments, AppPaths(defaultAppDir), out, err);
}
inline int run(const QStringList& arguments, const QString& defaultAppDir, QIODevice& in,
               QTextStream& out, QTextStream& err) {
    return run(arguments, AppPaths(defaultAppDir), in, out, err);
}

} // namespace tandrel::cli
