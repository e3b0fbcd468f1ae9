#include "spincommands.h"

#include "result.h"
#include "rewrite.h"
#include "spin.h"
#include "synonymdb.h"
#include "textfiles.h"

namespace tandrel::cli {

namespace {

Result<QString> readArticle(const QString& command, const QStringList& positional, QIODevice& in) {
    if (positional.size() > 1) {
        return Result<QString>::failure(
            QStringLiteral("The %1 command takes one file, or \"-\" for standard input; see "
                           "tandrel-cli --help.")
                .arg(command));
    }
    if (!positional.isEmpty() && positional.first() != QLatin1String("-"))
        return LoadTextFile(positional.first());
    if (!in.isOpen() && !in.open(QIODevice::ReadOnly))
        return Result<QString>::failure(
            QStringLiteral("Standard input could not be read: %1.").arg(in.errorString()));
    auto bytes = readDeviceBytes(in, kTextFileLimit, QStringLiteral("Standard input"));
    if (!bytes)
        return Result<QString>::failure(bytes.error());
    return decodeText(bytes.value());
}

} // namespace

int rewriteCommand(const SpinOptions& options, QIODevice& in, QTextStream& out, QTextStream& err) {
    const auto article = readArticle(QStringLiteral("rewrite"), options.positional, in);
    if (!article) {
        err << article.error() << '\n';
        return 1;
    }
    const auto synonyms = loadSynonymDb(options.synonyms);
    if (!synonyms) {
        err << synonyms.error() << '\n';
        return 1;
    }
    const RewriteResult result = Reescribir(article.value(), synonyms.value());
    out << result.spinText;
    err << result.report << '\n';
    return 0;
}

int spinCommand(const SpinOptions& options, QIODevice& in, QTextStream& out, QTextStream& err) {
    const auto text = readArticle(QStringLiteral("spin"), options.positional, in);
    if (!text) {
        err << text.error() << '\n';
        return 1;
    }
    out << Spin(text.value());
    return 0;
}

} // namespace tandrel::cli
