#include "spincommands.h"

#include "apppaths.h"
#include "articlefiles.h"
#include "result.h"
#include "rewrite.h"
#include "spin.h"
#include "synonymdb.h"
#include "textfiles.h"
#include "tools.h"

#include <QDir>

namespace tandrel::cli {

namespace {

// The bytes of the one file named, or of standard input for "-" or none.
Result<QByteArray> readInput(const QString& command, const QStringList& positional, QIODevice& in) {
    if (positional.size() > 1) {
        return Result<QByteArray>::failure(
            QStringLiteral("The %1 command takes one file, or \"-\" for standard input; see "
                           "tandrel-cli --help.")
                .arg(command));
    }
    if (!positional.isEmpty() && positional.first() != QLatin1String("-"))
        return readFileBytes(positional.first(), kTextFileLimit);
    if (!in.isOpen() && !in.open(QIODevice::ReadOnly))
        return Result<QByteArray>::failure(
            QStringLiteral("Standard input could not be read: %1.").arg(in.errorString()));
    return readDeviceBytes(in, kTextFileLimit, QStringLiteral("Standard input"));
}

int exportCommand(const SpinOptions& options, const QByteArray& bytes, QTextStream& out,
                  QTextStream& err) {
    const LoadedArticle text = decodeArticle(bytes);
    if (!QDir().mkpath(options.outDir)) {
        err << QStringLiteral("The folder \"%1\" could not be made; no variant was written.")
                   .arg(displayPath(options.outDir))
            << '\n';
        return 1;
    }
    const QStringList variants = distinctVariants(text.text, options.count, randomGenerator());
    const QString file = options.positional.value(0);
    const QString stem = variantStem(file == QLatin1String("-") ? QString() : file);
    bool fellBack = false;
    if (const Status written =
            exportVariants(variants, options.outDir, stem, text.format, false, &fellBack);
        !written) {
        err << written.error() << '\n';
        return 1;
    }
    for (const QString& path : variantFilePaths(options.outDir, stem, int(variants.size())))
        out << displayPath(path) << '\n';
    if (variants.size() < options.count)
        err << QStringLiteral("The text has only %1 different variants of the %2 asked for.")
                   .arg(variants.size())
                   .arg(options.count)
            << '\n';
    if (fellBack)
        err << "Some variants hold characters that Windows-1252 cannot and were written as "
               "UTF-8.\n";
    return 0;
}

} // namespace

int rewriteCommand(const SpinOptions& options, QIODevice& in, QTextStream& out, QTextStream& err) {
    const auto bytes = readInput(QStringLiteral("rewrite"), options.positional, in);
    if (!bytes) {
        err << bytes.error() << '\n';
        return 1;
    }
    const auto synonyms = loadSynonymDb(options.synonyms);
    if (!synonyms) {
        err << synonyms.error() << '\n';
        return 1;
    }
    const RewriteResult result = Reescribir(decodeText(bytes.value()), synonyms.value());
    out << result.spinText;
    err << result.report << '\n';
    return 0;
}

int spinCommand(const SpinOptions& options, QIODevice& in, QTextStream& out, QTextStream& err) {
    const auto bytes = readInput(QStringLiteral("spin"), options.positional, in);
    if (!bytes) {
        err << bytes.error() << '\n';
        return 1;
    }
    if (options.count > 0)
        return exportCommand(options, bytes.value(), out, err);
    out << Spin(decodeText(bytes.value()));
    return 0;
}

} // namespace tandrel::cli
