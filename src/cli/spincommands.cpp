#include "spincommands.h"

#include "apppaths.h"
#include "articlefiles.h"
#include "result.h"
#include "rewrite.h"
#include "spin.h"
#include "synonymdb.h"
#include "textfiles.h"
#include "tools.h"
#include "variants.h"

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
    const VariantSpace space(text.text);
    const QString file = options.positional.value(0);
    const QString stem = variantStem(file == QLatin1String("-") ? QString() : file);
    bool fellBack = false;
    const auto written = exportVariants(space, options.count, options.outDir, stem, text.format,
                                        false, randomGenerator(), &fellBack, options.minDifference);
    if (!written) {
        err << written.error() << '\n';
        return 1;
    }
    for (const QString& path : variantFilePaths(options.outDir, stem, written.value()))
        out << displayPath(path) << '\n';
    if (written.value() < options.count && options.minDifference > 0)
        err << floorShortfall(written.value(), options.count, options.minDifference) << '\n';
    else if (written.value() < options.count)
        err << (written.value() == 1
                    ? QStringLiteral("The text has only %1 variant of the %2 asked for.")
                    : QStringLiteral("The text has only %1 different variants of the %2 asked "
                                     "for."))
                   .arg(written.value())
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
    const LoadedArticle article = decodeArticle(bytes.value());
    const SynonymDb rules =
        synonyms.value().forTier(options.bold ? SynonymTier::Bold : SynonymTier::Careful);
    const RewriteResult result =
        Reescribir(article.text, rules, options.keepOriginal,
                   options.bold ? Neighbours::Share : Neighbours::KeepApart);
    if (options.outDir.isEmpty()) {
        out << result.spinText;
    } else {
        bool fellBack = false;
        const QByteArray encoded = encodeArticle(result.spinText, article.format, &fellBack);
        if (const Status saved = writeFileAtomically(options.outDir, encoded); !saved) {
            err << saved.error() << '\n';
            return 1;
        }
        if (fellBack)
            err << "The article was stored as Windows-1252, which cannot hold every character "
                   "of the result: it was written as UTF-8.\n";
    }
    err << result.report << '\n';
    err << variantSummaryText(summarizeVariants(result.spinText, article.text, randomGenerator(),
                                                &result.replaced))
        << '\n';
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
