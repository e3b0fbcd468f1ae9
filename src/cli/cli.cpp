#include "cli.h"

#include "apppaths.h"
#include "funnelbuild.h"
#include "funnelfile.h"
#include "result.h"
#include "spincommands.h"
#include "tools.h"

#include <QFile>

#include <cstdio>
#include <optional>

namespace tandrel::cli {

namespace {

const char kUsage[] =
    "Usage:\n"
    "  tandrel-cli build FUNNEL.funnel.json [--app-dir DIR]\n"
    "  tandrel-cli rewrite [--synonyms FILE] [--app-dir DIR] [--seed N] [ARTICLE|-]\n"
    "  tandrel-cli spin [--seed N] [FILE|-]\n"
    "  tandrel-cli --help\n"
    "\n"
    "build   Builds the funnel described by a saved funnel file into\n"
    "        DIR/output/templates, exactly as the \"Build Funnel\" button does:\n"
    "        the settings are checked, the template folder DIR/templates is\n"
    "        copied, the three pages are written and the pictures copied.\n"
    "        Prints the thank-you and download page addresses and the output\n"
    "        folder.\n"
    "rewrite Rewrites an article into spin syntax, exactly as the spinner's\n"
    "        \"Rewrite\" button does: groups already in it are spun, then every\n"
    "        word that a line of the synonym file knows becomes a group of its\n"
    "        synonyms. Prints the result (no line end added) and the report\n"
    "        \"N Replacements on W words.\" as the last line on standard error.\n"
    "spin    Prints one variant of a text in spin syntax: each {a|b|...} group\n"
    "        becomes one of its alternatives.\n"
    "        ARTICLE or FILE \"-\", or none, reads standard input.\n"
    "\n"
    "Options:\n"
    "  --app-dir DIR   the application folder holding templates/ and snippets/\n"
    "                  (default: the folder of this program)\n"
    "  --synonyms FILE the synonym file (default: DIR/rwdb.txt)\n"
    "  --seed N        makes every random choice repeatable (N: 0 or more)\n"
    "  -h, --help      show this help\n"
    "\n"
    "Exit status: 0 built; 2 a required value is missing (the message says\n"
    "which); 1 any other failure. Only rewrite and spin read standard input.\n";

struct Options {
    QStringList positional;
    QString appDir;
    QString synonyms;
    std::optional<quint64> seed;
    QString error;
};

// The value of "--name VALUE" or "--name=VALUE" at arguments[i] (i moves past
// a separate value); nothing when the argument is not this option. A missing
// value comes back as an empty text.
std::optional<QString> optionValue(const QStringList& arguments, qsizetype& i,
                                   const QString& name) {
    const QString& argument = arguments[i];
    if (argument == name)
        return i + 1 < arguments.size() ? arguments[++i] : QString();
    if (argument.startsWith(name + QLatin1Char('=')))
        return argument.mid(name.size() + 1);
    return std::nullopt;
}

Options parse(const QStringList& arguments, const QString& defaultAppDir) {
    Options options;
    options.appDir = defaultAppDir;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (const auto dir = optionValue(arguments, i, QStringLiteral("--app-dir"))) {
            if (dir->isEmpty()) {
                options.error = QStringLiteral("The option --app-dir needs a folder.");
                return options;
            }
            options.appDir = *dir;
        } else if (const auto file = optionValue(arguments, i, QStringLiteral("--synonyms"))) {
            if (file->isEmpty()) {
                options.error = QStringLiteral("The option --synonyms needs a file.");
                return options;
            }
            options.synonyms = *file;
        } else if (const auto value = optionValue(arguments, i, QStringLiteral("--seed"))) {
            bool ok = false;
            const quint64 seed = value->toULongLong(&ok);
            if (!ok || value->startsWith(QLatin1Char('+'))) {
                options.error =
                    QStringLiteral("The option --seed needs a whole number of 0 or more.");
                return options;
            }
            options.seed = seed;
        } else if (argument.startsWith(QLatin1Char('-')) && argument != QLatin1String("-")) {
            options.error =
                QStringLiteral("The option %1 is unknown; see tandrel-cli --help.").arg(argument);
            return options;
        } else {
            options.positional << argument;
        }
    }
    return options;
}

int build(const Options& options, QTextStream& out, QTextStream& err) {
    if (options.positional.size() != 1) {
        err << "The build command needs exactly one saved funnel file; see tandrel-cli --help.\n";
        return 1;
    }
    auto settings = loadFunnelFile(options.positional.first());
    if (!settings) {
        err << settings.error() << '\n';
        return 1;
    }
    const BuildOutcome outcome = buildFunnel(settings.value(), AppPaths(options.appDir));
    switch (outcome.kind) {
    case BuildOutcome::Kind::MissingInfo:
        err << outcome.message << '\n';
        return 2;
    case BuildOutcome::Kind::Failed:
        err << outcome.message << '\n';
        return 1;
    case BuildOutcome::Kind::Built:
        break;
    }
    out << "Thank you page: " << settings->txtCapture_Url << '\n'
        << "Download page:  " << settings->txtDownloadUrl << '\n'
        << "Output folder:  " << displayPath(outcome.outputFolder) << '\n';
    return 0;
}

} // namespace

int run(const QStringList& arguments, const QString& defaultAppDir, QTextStream& out,
        QTextStream& err) {
    QFile in;
    in.open(stdin, QIODevice::ReadOnly);
    return run(arguments, defaultAppDir, in, out, err);
}

int run(const QStringList& arguments, const QString& defaultAppDir, QIODevice& in, QTextStream& out,
        QTextStream& err) {
    const int status = [&] {
        if (arguments.isEmpty()) {
            err << kUsage;
            return 1;
        }
        if (arguments.contains(QLatin1String("--help")) ||
            arguments.contains(QLatin1String("-h"))) {
            out << kUsage;
            return 0;
        }
        const QString command = arguments.first();
        const Options options = parse(arguments.mid(1), defaultAppDir);
        if (!options.error.isEmpty()) {
            err << options.error << '\n';
            return 1;
        }
        if (options.seed)
            seedRandomNumbers(*options.seed);
        if (command == QLatin1String("build"))
            return build(options, out, err);
        if (command == QLatin1String("rewrite"))
            return rewriteCommand({options.positional, options.appDir, options.synonyms}, in, out,
                                  err);
        if (command == QLatin1String("spin"))
            return spinCommand({options.positional, options.appDir, options.synonyms}, in, out,
                               err);
        err << QStringLiteral("The command \"%1\" is unknown; see tandrel-cli --help.").arg(command)
            << '\n';
        return 1;
    }();
    out.flush();
    err.flush();
    return status;
}

} // namespace tandrel::cli
