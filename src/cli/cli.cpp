#include "cli.h"

#include "apppaths.h"
#include "funnelbuild.h"
#include "funnelfile.h"
#include "result.h"

namespace tandrel::cli {

namespace {

const char kUsage[] =
    "Usage:\n"
    "  tandrel-cli build FUNNEL.funnel.json [--app-dir DIR]\n"
    "  tandrel-cli --help\n"
    "\n"
    "build   Builds the funnel described by a saved funnel file into\n"
    "        DIR/output/templates, exactly as the \"Build Funnel\" button does:\n"
    "        the settings are checked, the template folder DIR/templates is\n"
    "        copied, the three pages are written and the pictures copied.\n"
    "        Prints the thank-you and download page addresses and the output\n"
    "        folder.\n"
    "\n"
    "Options:\n"
    "  --app-dir DIR   the application folder holding templates/ and snippets/\n"
    "                  (default: the folder of this program)\n"
    "  -h, --help      show this help\n"
    "\n"
    "Exit status: 0 built; 2 a required value is missing (the message says\n"
    "which); 1 any other failure. The program never reads standard input.\n";

struct Options {
    QStringList positional;
    QString appDir;
    QString error;
};

Options parse(const QStringList& arguments, const QString& defaultAppDir) {
    Options options;
    options.appDir = defaultAppDir;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--app-dir")) {
            if (i + 1 >= arguments.size()) {
                options.error = QStringLiteral("The option --app-dir needs a folder.");
                return options;
            }
            options.appDir = arguments[++i];
        } else if (argument.startsWith(QLatin1String("--app-dir="))) {
            options.appDir = argument.mid(10);
        } else if (argument.startsWith(QLatin1Char('-')) && argument != QLatin1String("-")) {
            options.error = QStringLiteral("The option %1 is unknown; see tandrel-cli --help.").arg(argument);
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

int run(const QStringList& arguments, const QString& defaultAppDir, QTextStream& out, QTextStream& err) {
    const int status = [&] {
        if (arguments.isEmpty()) {
            err << kUsage;
            return 1;
        }
        if (arguments.contains(QLatin1String("--help")) || arguments.contains(QLatin1String("-h"))) {
            out << kUsage;
            return 0;
        }
        const QString command = arguments.first();
        const Options options = parse(arguments.mid(1), defaultAppDir);
        if (!options.error.isEmpty()) {
            err << options.error << '\n';
            return 1;
        }
        if (command == QLatin1String("build"))
            return build(options, out, err);
        err << QStringLiteral("The command \"%1\" is unknown; see tandrel-cli --help.").arg(command) << '\n';
        return 1;
    }();
    out.flush();
    err.flush();
    return status;
}

} // namespace tandrel::cli
