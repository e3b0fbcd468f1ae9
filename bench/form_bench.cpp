// Times a whole funnel build with pasted forms that once made it crash or take
// square time, in both form layouts, and the window's paste check on the same code.
// Each case runs in a child process so its peak memory is its own.
//
//   tandrel-bench-form [--limit SECONDS] [CASE...]
//
// The shipped templates and snippets are copied to a temporary folder first.

#include "funnelbuild.h"
#include "modcopy.h"
#include "pastecheck.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tandrel;

namespace {

QString times(const QString& piece, qsizetype count) {
    return piece.repeated(count);
}

// A sign-up form with `fields` fields.
QString bigForm(int fields) {
    const QString field = QStringLiteral(
        "<div class=\"row\" style=\"min-width:300px\"><label for=\"f%1\">Field %1</label>"
        "<input id=\"f%1\" name=\"field_%1\" type=\"text\" placeholder=\"Your answer\"></div>\n");
    QString form = QStringLiteral("<style>.row{min-width:400px}@media screen and "
                                  "(max-width:600px){.row{display:block}}</style>\n"
                                  "<form action=\"https://list.example/s\" method=\"post\">\n"
                                  "<input type=\"email\" name=\"email\" required>\n");
    for (int i = 0; i < fields; ++i)
        form += field.arg(i);
    return form + QStringLiteral("<button>Join</button></form>");
}

struct Case {
    const char* name;
    std::function<QString()> make;
};

const qsizetype kMB = qsizetype(1024) * 1024;

const Case kCases[] = {
    {"nested-table-50k", [] { return times(QStringLiteral("<table><tr><td>"), 50000); }},
    {"template-12k", [] { return times(QStringLiteral("<template>"), 12000); }},
    {"unclosed-div-20k", [] { return times(QStringLiteral("<div>"), 20000); }},
    {"min-width-30k",
     [] { return times(QStringLiteral("<b style=\"min-width:9px\">x</b>"), 30000); }},
    {"min-width-sheet-80k",
     [] {
         return QStringLiteral("<style>") + times(QStringLiteral(".a{min-width:9px}"), 80000) +
                QStringLiteral("</style>");
     }},
    {"media-320k",
     [] {
         return QStringLiteral("<style>") + times(QStringLiteral("@media "), 320000) +
                QStringLiteral("</style>");
     }},
    // Just below the most tags and attributes read.
    {"fields-8k", [] { return bigForm(8000); }},
    {"fields-40k", [] { return bigForm(40000); }},
    // The size comes from a logo kept in the code.
    {"form-with-logo-4mb",
     [] {
         return QStringLiteral("<img alt=\"\" src=\"data:image/png;base64,") +
                times(QStringLiteral("iVBORw0KGgo"), 4 * kMB / 11) + QStringLiteral("\">") +
                bigForm(20);
     }},
    {"br-4mb", [] { return times(QStringLiteral("<br>"), kMB); }},
    {"stray-p-end-4mb", [] { return times(QStringLiteral("</p>"), kMB); }},
    {"open-b-then-p-4mb",
     [] {
         return times(QStringLiteral("<b class=x%1>"), 200).arg(1) +
                times(QStringLiteral("</p><p>x"), 4 * kMB / 8);
     }},
    {"attributes-4mb", [] { return QStringLiteral("<a ") + times(QStringLiteral("b "), 2 * kMB); }},
    {"unclosed-quote-4mb", [] { return times(QStringLiteral("<a \""), kMB); }},
    {"label-4mb",
     [] {
         return QStringLiteral("<form action=https://x.example/s><label>") +
                times(QStringLiteral(" "), 2 * kMB) + times(QStringLiteral("<input>"), 200000) +
                QStringLiteral("x</label><button>Go</button></form>");
     }},
    {"labels-and-fields-4mb",
     [] {
         return QStringLiteral("<form action=https://x.example/s>") +
                times(QStringLiteral("<label>a</label>"), 100000) +
                times(QStringLiteral("<input>"), 200000) + QStringLiteral("</form>");
     }},
    {"link-4mb", [] { return times(QStringLiteral("<link "), 700000); }},
    {"form-tags-4mb", [] { return times(QStringLiteral("<form "), 700000); }},
};

struct Figures {
    double seconds = 0;
    bool ok = true;
};

// Runs `work` in a child; its peak memory comes back through wait4.
void measure(const char* name, const char* what, qsizetype bytes, int limit,
             const std::function<QString()>& work) {
    std::fflush(stdout);
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return;
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        alarm(unsigned(limit));
        QElapsedTimer timer;
        timer.start();
        const QString outcome = work();
        const QByteArray line = QByteArray::number(double(timer.nsecsElapsed()) / 1e9, 'f', 3) +
                                ' ' + outcome.left(90).toUtf8();
        static_cast<void>(write(pipeEnds[1], line.constData(), size_t(line.size())));
        _exit(0);
    }
    close(pipeEnds[1]);
    char buffer[256] = {};
    const ssize_t got = read(pipeEnds[0], buffer, sizeof buffer - 1);
    close(pipeEnds[0]);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const double mb = double(usage.ru_maxrss) / 1024.0;
    // Processor time, which other work on a shared machine does not inflate as it does the wall.
    const double cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    if (WIFSIGNALED(status))
        std::printf("%-24s %-10s %8.2f MB  %s after %.0f MB\n", name, what, double(bytes) / kMB,
                    WTERMSIG(status) == SIGALRM ? qPrintable(QStringLiteral("over %1 s").arg(limit))
                                                : strsignal(WTERMSIG(status)),
                    mb);
    else {
        const QByteArray line(buffer, got > 0 ? qsizetype(got) : 0);
        const qsizetype space = line.indexOf(' ');
        std::printf("%-24s %-10s %8.2f MB  %8s s %7.2f s %7.0f MB  %s\n", name, what,
                    double(bytes) / kMB, line.left(space).constData(), cpu, mb,
                    line.mid(space + 1).constData());
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int limit = 120;
    if (const qsizetype at = args.indexOf(QStringLiteral("--limit"));
        at >= 0 && at + 1 < args.size()) {
        limit = args.at(at + 1).toInt();
        args.remove(at, 2);
    }
    QTemporaryDir folder;
    const AppPaths paths(folder.path());
    for (const char* part : {"templates", "snippets"}) {
        const Status copied =
            modCopy::CopyFolder(QStringLiteral(TANDREL_SHIPPED_DATA_DIR "/") + QLatin1String(part),
                                AppPaths::join(folder.path(), QLatin1String(part)));
        if (!copied) {
            std::fprintf(stderr, "%s\n", qPrintable(copied.error()));
            return 1;
        }
    }
    const QString cover = AppPaths::join(folder.path(), QStringLiteral("cover.png"));
    QImage picture(400, 450, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    picture.save(cover);

    std::printf("%-24s %-10s %11s  %10s %9s %10s\n", "form", "what", "size", "wall", "cpu", "peak");
    for (const Case& c : kCases) {
        if (!args.isEmpty() && !args.contains(QLatin1String(c.name)))
            continue;
        const QString pasted = c.make();
        const qsizetype bytes = pasted.toUtf8().size();
        for (const bool tidy : {true, false}) {
            measure(c.name, tidy ? "tidy" : "as pasted", bytes, limit, [&] {
                FunnelSettings s;
                s.txtFunnelUrl = QStringLiteral("https://example.com/f");
                s.deriveFunnelLinks(57, 12);
                s.txtFunnel_YouTubeID = QStringLiteral("vid123");
                s.lblSelectedFile[CoverImage] = {cover, QStringLiteral("cover.png")};
                s.txtoptinForm = pasted;
                s.tidyOptinForm = tidy;
                const BuildOutcome outcome = buildFunnel(s, paths);
                return outcome.built() ? QStringLiteral("built") : outcome.message;
            });
        }
        measure(c.name, "check", bytes, limit,
                [&] { return QStringLiteral("%1 notes").arg(optinFormNotes(pasted).size()); });
    }
    return 0;
}
