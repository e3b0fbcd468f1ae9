#include "cli.h"

#include "apppaths.h"
#include "buildrecord.h"
#include "funnelbuild.h"
#include "funnelfile.h"
#include "pastecheck.h"
#include "publish.h"
#include "result.h"
#include "spincommands.h"
#include "textfiles.h"
#include "tools.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <optional>

namespace tandrel::cli {

namespace {

const char kUsage[] =
    "Usage:\n"
    "  tandrel-cli build FUNNEL.funnel.json [--app-dir DIR]\n"
    "  tandrel-cli rewrite [--synonyms FILE] [--app-dir DIR] [--seed N] [ARTICLE|-]\n"
    "  tandrel-cli spin [--seed N] [FILE|-]\n"
    "  tandrel-cli publish FUNNEL.funnel.json [--app-dir DIR] [--to URL] [--key FILE]\n"
    "                      [--password-env VAR] [--accept-new-host-key]\n"
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
    "publish Uploads the last build (DIR/output/templates) of the funnel to a\n"
    "        web host and checks that every file arrived; only what changed is\n"
    "        sent, the lead magnet page last, and old pages of earlier\n"
    "        publishes are removed afterwards. Progress goes to standard\n"
    "        error; the three page addresses are the last lines printed.\n"
    "\n"
    "Options:\n"
    "  --app-dir DIR   the application folder holding templates/ and snippets/\n"
    "                  (default: the folder of this program)\n"
    "  --synonyms FILE the synonym file (default: DIR/rwdb.txt)\n"
    "  --seed N        makes every random choice repeatable (N: 0 or more)\n"
    "  --to URL        sftp://user@host[:port]/folder, ftps://... (TLS demanded)\n"
    "                  or ftp://... (unencrypted); default: the funnel's publishTo\n"
    "  --key FILE      SFTP private key (a passphrase comes as the password)\n"
    "  --password-env VAR  the environment variable holding the password\n"
    "                  (default TANDREL_PASSWORD; unset: no password)\n"
    "  --accept-new-host-key  trust an SFTP server not yet in ~/.ssh/known_hosts\n"
    "                  and record it there (a changed key is always refused)\n"
    "  -h, --help      show this help\n"
    "\n"
    "Exit status: 0 built, or published and verified; 2 a required value is\n"
    "missing or there is nothing to publish (the message says which); 1 any\n"
    "other failure. Only rewrite and spin read standard input.\n"
    "Environment: TANDREL_CA_FILE names the certificates FTPS trusts instead of\n"
    "the system's.\n";

struct Options {
    QStringList positional;
    QString appDir;
    QString synonyms;
    std::optional<quint64> seed;
    std::optional<QString> to;
    QString keyFile;
    QString passwordEnv = QStringLiteral("TANDREL_PASSWORD");
    bool acceptNewHostKey = false;
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

// Options whose value is a non-empty text, and what the value must be.
struct TextOption {
    const char* name;
    QString Options::*field;
    const char* needs;
};
const TextOption kTextOptions[] = {
    {"--app-dir", &Options::appDir, "a folder"},
    {"--synonyms", &Options::synonyms, "a file"},
    {"--key", &Options::keyFile, "a file"},
    {"--password-env", &Options::passwordEnv, "a variable name"},
};

Options parse(const QStringList& arguments, const QString& defaultAppDir) {
    Options options;
    options.appDir = defaultAppDir;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const TextOption* text = nullptr;
        std::optional<QString> given;
        for (const TextOption& option : kTextOptions) {
            if ((given = optionValue(arguments, i, QLatin1String(option.name)))) {
                text = &option;
                break;
            }
        }
        if (text) {
            if (given->isEmpty()) {
                options.error = QStringLiteral("The option %1 needs %2.")
                                    .arg(QLatin1String(text->name), QLatin1String(text->needs));
                return options;
            }
            options.*(text->field) = *given;
        } else if (const auto value = optionValue(arguments, i, QStringLiteral("--seed"))) {
            bool ok = false;
            const quint64 seed = value->toULongLong(&ok);
            if (!ok || value->startsWith(QLatin1Char('+'))) {
                options.error =
                    QStringLiteral("The option --seed needs a whole number of 0 or more.");
                return options;
            }
            options.seed = seed;
        } else if (const auto url = optionValue(arguments, i, QStringLiteral("--to"))) {
            options.to = *url;
        } else if (argument == QLatin1String("--accept-new-host-key")) {
            options.acceptNewHostKey = true;
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
    if (lacksScheme(settings->txtFunnelUrl))
        err << "Warning: the funnel address \"" << settings->txtFunnelUrl
            << "\" has no https:// in front, so the pages link relative to themselves.\n";
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

// Whether a saved funnel fixes its page numbers (absent ones are drawn on loading).
bool funnelNamesPageNumbers(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QJsonObject o = QJsonDocument::fromJson(file.read(kFunnelFileLimit)).object();
    return o.contains(QLatin1String("thankYouPageNumber")) &&
           o.contains(QLatin1String("downloadPageNumber"));
}

int publish(const Options& options, QTextStream& out, QTextStream& err) {
    if (options.positional.size() != 1) {
        err << "The publish command needs exactly one saved funnel file; see tandrel-cli "
               "--help.\n";
        return 1;
    }
    const QString funnelPath = options.positional.first();
    auto settings = loadFunnelFile(funnelPath);
    if (!settings) {
        err << settings.error() << '\n';
        return 1;
    }
    const AppPaths paths(options.appDir);
    const auto record = readBuildRecord(paths);
    if (!record) {
        err << record.error() << " Build it first: tandrel-cli build " << funnelPath << '\n';
        return 2;
    }
    // Page numbers the file leaves out are drawn anew on every load; the built ones count then.
    if (!funnelNamesPageNumbers(funnelPath))
        settings.value().deriveFunnelLinks(record->thankYouPageNumber, record->downloadPageNumber);
    if (!recordMatches(*record, *settings)) {
        err << "The last build in " << displayPath(paths.appDir())
            << " was made from other settings than " << funnelPath
            << "; build it again first: tandrel-cli build " << funnelPath << '\n';
        return 2;
    }
    const QString address = options.to.value_or(settings->publishTo);
    if (address.trimmed().isEmpty()) {
        err << "There is no address to publish to: give --to sftp://user@host/folder or save "
               "it in the funnel as publishTo.\n";
        return 2;
    }
    auto target = parsePublishTarget(address);
    if (!target) {
        err << target.error() << '\n';
        return 1;
    }
    ConnectionOptions connection;
    connection.password = qEnvironmentVariable(options.passwordEnv.toLocal8Bit().constData());
    connection.keyFile = options.keyFile;
    connection.caFile = qEnvironmentVariable("TANDREL_CA_FILE");
    connection.trustNewHostKey = [&](const HostKeyQuestion& question) {
        if (options.acceptNewHostKey)
            err << "Trusting the new host key " << question.fingerprint << " of " << question.host
                << ".\n";
        else
            err << "The server " << question.host << " is not in the known hosts yet. If its "
                << "host key is " << question.fingerprint << " (ask your host), run again with "
                << "--accept-new-host-key.\n";
        err.flush();
        return options.acceptNewHostKey;
    };
    if (target->protocol == PublishTarget::Protocol::Ftp)
        err << "Note: plain FTP sends the password unencrypted.\n";
    RemoteFolder remote(*target, connection);
    PublishRequest request;
    request.outputFolder = paths.outputTemplatesDir();
    request.pages = record->pages;
    request.pageUrls = record->pageUrls;
    request.progress = [&](const PublishProgress& p) {
        if (p.file.isEmpty())
            return;
        err << "Sending " << (p.done + 1) << "/" << p.total << ": " << p.file << '\n';
        err.flush();
    };
    const PublishReport report = publishFunnel(remote, request);
    if (!report.published()) {
        err << report.message << '\n';
        return 1;
    }
    err << report.message << '\n';
    for (const QString& note : report.notes)
        err << note << '\n';
    for (const QString& url : record->pageUrls)
        out << url << '\n';
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
        if (command == QLatin1String("publish"))
            return publish(options, out, err);
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
