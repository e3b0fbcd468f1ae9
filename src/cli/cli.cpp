#include "cli.h"

#include "apppaths.h"
#include "articlefiles.h"
#include "buildrecord.h"
#include "funnelbuild.h"
#include "funnelfile.h"
#include "gitpublish.h"
#include "pastecheck.h"
#include "privacyreport.h"
#include "publish.h"
#include "publishhistory.h"
#include "result.h"
#include "spincommands.h"
#include "textfiles.h"
#include "tools.h"
#include "usage.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <optional>

namespace tandrel::cli {

namespace {

QString folderLines(const AppPaths& paths) {
    if (paths.portable())
        return QStringLiteral("\nFolder in use (portable, the templates lie beside the program):\n"
                              "  %1\n")
            .arg(displayPath(paths.appDir()));
    return QStringLiteral("\nFolders in use (installed):\n"
                          "  read only: %1\n"
                          "             the shipped templates, snippets, pictures, synonym file\n"
                          "  yours:     %2\n"
                          "             templates/ to edit, imgspro/ for your pictures,\n"
                          "             output/templates for the built funnel\n")
        .arg(displayPath(paths.dataDir()), displayPath(paths.appDir()));
}

struct Options {
    QString command;
    QStringList positional;
    QString appDir;
    QString synonyms;
    std::optional<quint64> seed;
    std::optional<QString> to;
    QString keyFile;
    QString passwordEnv = QStringLiteral("TANDREL_PASSWORD");
    QString s3Endpoint;
    QString s3Region;
    bool s3PathStyle = false;
    bool acceptNewHostKey = false;
    bool dryRun = false;
    bool undo = false;
    bool report = false;
    int connections = 4;
    bool keepOriginal = false;
    bool bold = false;
    double minDifference = 0;
    int count = 0;
    QString outDir;
    bool help = false;
    bool version = false;
    QString error;
};

// Options whose value is a non-empty text, and what the value must be.
struct TextOption {
    const char* name;
    QString Options::*field;
    const char* needs;
};
const TextOption kTextOptions[] = {
    {"app-dir", &Options::appDir, "a folder"},
    {"synonyms", &Options::synonyms, "a file"},
    {"key", &Options::keyFile, "a file"},
    {"password-env", &Options::passwordEnv, "a variable name"},
    {"s3-endpoint", &Options::s3Endpoint, "an address"},
    {"s3-region", &Options::s3Region, "a region"},
    {"out", &Options::outDir, "a folder"},
};
const char kSeedNeeds[] = "a whole number of 0 or more";
const char kCountNeeds[] = "a whole number from 1 to 1000";
const char kConnectionsNeeds[] = "a whole number from 1 to 16";
const char kMinDifferenceNeeds[] = "a share of words in per cent, from 0 to 100";
static_assert(kMostVariants == 1000, "the help and kCountNeeds name the most");

QString needs(const QString& name, const char* what) {
    return QStringLiteral("The option --%1 needs %2.").arg(name, QLatin1String(what));
}

// The argument as the user typed it that named an unknown option.
QString typedOption(const QStringList& arguments, const QString& name) {
    for (const QString& argument : arguments) {
        QString bare = argument.section(QLatin1Char('='), 0, 0);
        while (bare.startsWith(QLatin1Char('-')))
            bare.remove(0, 1);
        if (argument.startsWith(QLatin1Char('-')) && bare == name)
            return argument;
    }
    return QStringLiteral("--") + name;
}

Options parse(const QStringList& arguments) {
    Options options;
    QCommandLineParser parser;
    // "-seed 3" means what "--seed 3" does, not five one-letter options.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption seed(QStringLiteral("seed"), QString(), QStringLiteral("N"));
    const QCommandLineOption to(QStringLiteral("to"), QString(), QStringLiteral("URL"));
    const QCommandLineOption count(QStringLiteral("count"), QString(), QStringLiteral("N"));
    const QCommandLineOption acceptNewHostKey(QStringLiteral("accept-new-host-key"));
    const QCommandLineOption keepOriginal(QStringLiteral("keep-original"));
    const QCommandLineOption bold(QStringLiteral("bold"));
    const QCommandLineOption minDifference(QStringLiteral("min-difference"), QString(),
                                           QStringLiteral("PERCENT"));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"));
    const QCommandLineOption s3PathStyle(QStringLiteral("s3-path-style"));
    const QCommandLineOption undo(QStringLiteral("undo"));
    const QCommandLineOption report(QStringLiteral("report"));
    const QCommandLineOption connections(QStringLiteral("connections"), QString(),
                                         QStringLiteral("N"));
    parser.addOptions({help, version, seed, to, count, acceptNewHostKey, keepOriginal, bold,
                       minDifference, dryRun, s3PathStyle, undo, connections, report});
    for (const TextOption& option : kTextOptions)
        parser.addOption(
            QCommandLineOption(QLatin1String(option.name), QString(), QStringLiteral("VALUE")));

    const bool parsed = parser.parse(QStringList{QStringLiteral("tandrel-cli")} + arguments);
    // Asking for help or the version is never an error.
    options.help = parser.isSet(help);
    options.version = parser.isSet(version);
    if (options.help || options.version)
        return options;
    if (!parsed) {
        if (!parser.unknownOptionNames().isEmpty()) {
            options.error = QStringLiteral("The option %1 is unknown; see tandrel-cli --help.")
                                .arg(typedOption(arguments, parser.unknownOptionNames().first()));
            return options;
        }
        // The parser takes the next argument as a value, so only the last can lack one.
        QString name = arguments.last();
        while (name.startsWith(QLatin1Char('-')))
            name.remove(0, 1);
        const char* what = name == QLatin1String("seed")             ? kSeedNeeds
                           : name == QLatin1String("count")          ? kCountNeeds
                           : name == QLatin1String("connections")    ? kConnectionsNeeds
                           : name == QLatin1String("min-difference") ? kMinDifferenceNeeds
                           : name == QLatin1String("to")             ? "an address"
                                                                     : nullptr;
        for (const TextOption& option : kTextOptions) {
            if (name == QLatin1String(option.name))
                what = option.needs;
        }
        options.error = what ? needs(name, what) : parser.errorText();
        return options;
    }

    for (const TextOption& option : kTextOptions) {
        const QString name = QLatin1String(option.name);
        if (!parser.isSet(name))
            continue;
        options.*(option.field) = parser.value(name);
        if ((options.*(option.field)).isEmpty()) {
            options.error = needs(name, option.needs);
            return options;
        }
    }
    if (parser.isSet(seed)) {
        const QString value = parser.value(seed);
        bool ok = false;
        options.seed = value.toULongLong(&ok);
        if (!ok || value.startsWith(QLatin1Char('+'))) {
            options.error = needs(QStringLiteral("seed"), kSeedNeeds);
            return options;
        }
    }
    if (parser.isSet(to))
        options.to = parser.value(to);
    options.acceptNewHostKey = parser.isSet(acceptNewHostKey);
    options.keepOriginal = parser.isSet(keepOriginal);
    options.bold = parser.isSet(bold);
    if (parser.isSet(minDifference)) {
        bool ok = false;
        const double percent = parser.value(minDifference).toDouble(&ok);
        if (!ok || !(percent >= 0 && percent <= 100)) {
            options.error = needs(QStringLiteral("min-difference"), kMinDifferenceNeeds);
            return options;
        }
        options.minDifference = percent / 100;
    }
    options.dryRun = parser.isSet(dryRun);
    options.s3PathStyle = parser.isSet(s3PathStyle);
    options.undo = parser.isSet(undo);
    options.report = parser.isSet(report);
    if (parser.isSet(connections)) {
        bool ok = false;
        options.connections = parser.value(connections).toInt(&ok);
        if (!ok || options.connections < 1 || options.connections > 16) {
            options.error = needs(QStringLiteral("connections"), kConnectionsNeeds);
            return options;
        }
    }
    options.positional = parser.positionalArguments();
    if (!options.positional.isEmpty())
        options.command = options.positional.takeFirst();
    // For rewrite, --out names the file of the result.
    if (options.command == QLatin1String("rewrite"))
        return options;
    if (parser.isSet(count)) {
        bool ok = false;
        options.count = parser.value(count).toInt(&ok);
        if (!ok || options.count < 1 || options.count > kMostVariants) {
            options.error = needs(QStringLiteral("count"), kCountNeeds);
            return options;
        }
        if (options.outDir.isEmpty()) {
            options.error = QStringLiteral(
                "The option --count needs --out DIR, the folder the variants go into.");
            return options;
        }
    } else if (!options.outDir.isEmpty()) {
        options.count = kDefaultVariants;
    }
    return options;
}

int build(const Options& options, const AppPaths& paths, QTextStream& out, QTextStream& err) {
    if (options.positional.size() != 1) {
        err << "The build command needs exactly one saved funnel file; see tandrel-cli --help.\n";
        return 1;
    }
    auto settings = loadFunnelFile(options.positional.first());
    if (!settings) {
        err << settings.error() << '\n';
        return 1;
    }
    for (const QString& warning : addressWarnings(settings.value()))
        err << warning << '\n';
    if (const Status ready = paths.prepare(); !ready) {
        err << ready.error() << '\n';
        return 1;
    }
    const BuildOutcome outcome = buildFunnel(settings.value(), paths);
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
        << "Output folder:  " << displayPath(outcome.outputFolder) << '\n'
        << weightNote(outcome) << '\n';
    if (const QStringList samples = sampleTextsLeft(settings.value()); !samples.isEmpty())
        err << "Warning: these texts are still the samples the window starts with: "
            << samples.join(QStringLiteral(", ")) << ".\n";
    if (!options.report)
        return 0;
    const auto report = privacyReport(outcome.outputFolder, settings.value());
    if (!report) {
        err << report.error() << '\n';
        return 1;
    }
    out << "Privacy report: " << report->summary() << ".\n";
    for (const QString& line : report->lines())
        out << line << '\n';
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

std::function<bool(const HostKeyQuestion&)> hostKeyAsker(const Options& options, QTextStream& err) {
    return [&](const HostKeyQuestion& question) {
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
}

// A branch of a git repository: one commit, pushed, in place of the files one by one.
int publishToGitHost(const Options& options, const AppPaths& paths, const QString& address,
                     const BuildRecord& record, const QString& funnelPath, QTextStream& out,
                     QTextStream& err) {
    const auto target = parseGitTarget(address);
    if (!target) {
        err << target.error() << '\n';
        return 1;
    }
    GitOptions git;
    git.secret = qEnvironmentVariable(options.passwordEnv.toLocal8Bit().constData());
    git.keyFile = options.keyFile;
    git.trustNewHostKey = hostKeyAsker(options, err);
    git.cacheFolder = paths.join(QStringLiteral("git-cache"));
    git.funnelName = QFileInfo(funnelPath).fileName().section(u'.', 0, 0);
    PublishRequest request;
    request.outputFolder = paths.outputTemplatesDir();
    request.pages = record.pages;
    request.pageUrls = record.pageUrls;
    request.dryRun = options.dryRun;
    const QDateTime started = QDateTime::currentDateTimeUtc();
    QElapsedTimer took;
    took.start();
    const PublishReport report =
        options.undo ? undoGitPublish(*target, git, request) : publishToGit(*target, git, request);
    if (report.outcome != PublishReport::Outcome::Planned)
        if (Status kept =
                addToPublishHistory(paths.join(QLatin1String(kPublishHistoryName)),
                                    publishEvent(target->text(), report, started, took.elapsed()));
            !kept)
            err << kept.error() << " This publish is not in the history.\n";
    if (report.outcome == PublishReport::Outcome::Planned)
        for (const QString& line : report.plan.lines())
            out << line << '\n';
    err << report.message << '\n';
    for (const QString& note : report.notes)
        err << note << '\n';
    if (report.outcome == PublishReport::Outcome::Published)
        for (const QString& url : record.pageUrls)
            out << url << '\n';
    return report.published() || report.outcome == PublishReport::Outcome::Planned ? 0 : 1;
}

int publish(const Options& options, const AppPaths& paths, QTextStream& out, QTextStream& err) {
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
    // No build may replace the output between this check and the last file sent.
    const auto lock = lockOutput(paths, FileLock::Mode::Shared);
    if (!lock) {
        err << lock.error() << '\n';
        return 1;
    }
    const auto record = readBuildRecord(paths);
    if (!record) {
        err << record.error() << " Build it first: tandrel-cli build " << funnelPath << '\n';
        return 2;
    }
    // Page numbers the file leaves out are drawn anew on every load; the built ones count then.
    if (!funnelNamesPageNumbers(funnelPath))
        settings.value().deriveFunnelLinks(record->thankYouPageNumber, record->downloadPageNumber);
    // An undo sends what the server kept, not the build.
    if (!options.undo && !recordMatches(*record, *settings)) {
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
    if (isGitAddress(address))
        return publishToGitHost(options, paths, address, *record, funnelPath, out, err);
    auto target = parsePublishTarget(address);
    if (!target) {
        err << target.error() << '\n';
        return 1;
    }
    ConnectionOptions connection;
    connection.password = qEnvironmentVariable(options.passwordEnv.toLocal8Bit().constData());
    connection.keyFile = options.keyFile;
    connection.caFile = qEnvironmentVariable("TANDREL_CA_FILE");
    connection.s3Endpoint = options.s3Endpoint;
    connection.s3Region = options.s3Region;
    connection.s3PathStyle = options.s3PathStyle;
    // The window's settings file: what one learns about a server, the other knows.
    connection.memoryFile = paths.join(QStringLiteral("tandrel.ini"));
    connection.trustNewHostKey = hostKeyAsker(options, err);
    if (target->protocol == PublishTarget::Protocol::Ftp)
        err << "Note: plain FTP sends the password unencrypted.\n";
    RemoteFolder remote(*target, connection);
    PublishRequest request;
    request.outputFolder = paths.outputTemplatesDir();
    request.pages = record->pages;
    request.pageUrls = record->pageUrls;
    request.dryRun = options.dryRun;
    request.connections = options.connections;
    request.progress = [&](const PublishProgress& p) {
        if (p.file.isEmpty())
            return;
        err << "Sending " << (p.done + 1) << "/" << p.total << ": " << p.file << '\n';
        err.flush();
    };
    const QDateTime started = QDateTime::currentDateTimeUtc();
    QElapsedTimer took;
    took.start();
    const PublishReport report =
        options.undo ? undoLastPublish(remote, request) : publishFunnel(remote, request);
    if (report.outcome != PublishReport::Outcome::Planned)
        if (Status kept =
                addToPublishHistory(paths.join(QLatin1String(kPublishHistoryName)),
                                    publishEvent(*target, report, started, took.elapsed()));
            !kept)
            err << kept.error() << " This publish is not in the history.\n";
    if (report.outcome == PublishReport::Outcome::Planned) {
        for (const QString& line : report.plan.lines())
            out << line << '\n';
        err << report.message << '\n';
        return 0;
    }
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

int run(const QStringList& arguments, const AppPaths& defaults, QTextStream& out,
        QTextStream& err) {
    QFile in;
    in.open(stdin, QIODevice::ReadOnly);
    return run(arguments, defaults, in, out, err);
}

int run(const QStringList& arguments, const AppPaths& defaults, QIODevice& in, QTextStream& out,
        QTextStream& err) {
    const int status = [&] {
        const Options options = parse(arguments);
        if (options.help) {
            out << kUsage << folderLines(defaults);
            return 0;
        }
        if (options.version) {
            out << "tandrel-cli " << TANDREL_VERSION << '\n';
            return 0;
        }
        if (!options.error.isEmpty()) {
            err << options.error << '\n';
            return 1;
        }
        if (options.command.isEmpty()) {
            err << kUsage;
            return 1;
        }
        // --app-dir makes the program portable in that folder.
        const AppPaths paths = options.appDir.isEmpty() ? defaults : AppPaths(options.appDir);
        const QString synonyms =
            options.synonyms.isEmpty() ? paths.synonymFile() : options.synonyms;
        if (options.seed)
            seedRandomNumbers(*options.seed);
        const SpinOptions spin{
            options.positional,   synonyms,     options.count,        options.outDir,
            options.keepOriginal, options.bold, options.minDifference};
        if (options.report && options.command != QLatin1String("build")) {
            err << "The option --report works only with the build command.\n";
            return 1;
        }
        if (options.command == QLatin1String("build"))
            return build(options, paths, out, err);
        if (options.command == QLatin1String("publish"))
            return publish(options, paths, out, err);
        if (options.command == QLatin1String("rewrite"))
            return rewriteCommand(spin, in, out, err);
        if (options.command == QLatin1String("spin"))
            return spinCommand(spin, in, out, err);
        err << QStringLiteral("The command \"%1\" is unknown; see tandrel-cli --help.")
                   .arg(options.command)
            << '\n';
        return 1;
    }();
    out.flush();
    err.flush();
    return status;
}

} // namespace tandrel::cli
