#pragma once

#include <QStringList>
#include <QTextStream>

namespace tandrel::cli {

// Runs one command line (without the program name) in-process: what the
// program prints goes to out and err, the exit status is returned.
// defaultAppDir is used unless --app-dir is given.
int run(const QStringList& arguments, const QString& defaultAppDir, QTextStream& out, QTextStream& err);

} // namespace tandrel::cli
