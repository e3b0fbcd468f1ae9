// Mutated sign-up forms through the whole form path: both layouts, the window's summary
// and the paste check. Under the sanitizers any fault ends the run with a report.
//
//   tandrel-formfuzz --seed N --seconds S FOLDER...   (forms: "optinForm" of *.funnel.json)
//
// The same seed gives the same forms in the same order; each form is written to
// formfuzz-input.html before it runs, so the one a crash stopped at is there.

#include "formscan.h"
#include "optinform.h"
#include "pastecheck.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

#include <gumbo.h>

#include <cstdio>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#endif

using namespace tandrel;

namespace {

const char* const kPieces[] = {
    "<table>",
    "<tr>",
    "<td>",
    "</td>",
    "<div>",
    "</div>",
    "<p>",
    "</p>",
    "<b>",
    "</b>",
    "<b style=\"min-width:900px;color:red\">",
    "<a href=\"https://x.example/\">",
    "</a>",
    "<template>",
    "</template>",
    "<svg>",
    "</svg>",
    "<math>",
    "<foreignObject>",
    "<path/>",
    "<select>",
    "</select>",
    "<option>",
    "<frameset>",
    "<style>",
    "</style>",
    "<script>",
    "</script>",
    "<textarea>",
    "<!--",
    "-->",
    "--!>",
    "\"",
    "'",
    ">",
    "<",
    "/>",
    "<br>",
    "<iframe width=\"2147483647\" height=\"99999999999\">",
    "<iframe width=600 height=400>",
    "@media ",
    "@media screen and (max-width: 600px) {",
    "{",
    "}",
    ";",
    "min-width: 20em;",
    "<form action=\"https://list.example/s\" method=\"post\">",
    "</form>",
    "<label>",
    "</label>",
    "<label for=\"e\">",
    "<input id=\"e\" type=\"email\" name=\"email\">",
    "<input type=checkbox name=c>",
    "<fieldset>",
    "<legend>",
    "<button>",
    "<plaintext>",
    "<noscript>",
    "<li>",
    "<ul>",
    "<h1>",
    "<font color=red>",
    "&amp;",
    "\n",
    "\xc3\xa9",
};

QByteArray mutate(QByteArray form, QRandomGenerator& random) {
    const int steps = 1 + random.bounded(4);
    for (int step = 0; step < steps; ++step) {
        const qsizetype at = random.bounded(form.size() + 1);
        const qsizetype length = random.bounded(qMin<qsizetype>(form.size() - at, 64) + 1);
        switch (random.bounded(5)) {
        case 0:
            form.insert(at, kPieces[random.bounded(int(std::size(kPieces)))]);
            break;
        case 1:
            form.remove(at, length);
            break;
        case 2: // repeated, so tags nest deep and patterns recur many times
            form.insert(at, form.mid(at, length).repeated(1 + random.bounded(3000)));
            break;
        case 3:
            form.insert(at, char(random.bounded(256)));
            break;
        default:
            form.insert(at, QByteArray(kPieces[random.bounded(int(std::size(kPieces)))])
                                .repeated(1 + random.bounded(600)));
        }
    }
    return form.left(512 * 1024);
}

// How deep the parser nests the form, walked without recursion.
int parsedDepth(const QByteArray& form) {
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0;
    GumboOutput* out = gumbo_parse_with_options(&options, form.constData(), size_t(form.size()));
    int deepest = 0;
    QList<std::pair<const GumboNode*, int>> pending{{out->document, 0}};
    while (!pending.isEmpty()) {
        const auto [node, depth] = pending.takeLast();
        deepest = qMax(deepest, depth);
        if (node->type != GUMBO_NODE_DOCUMENT && node->type != GUMBO_NODE_ELEMENT &&
            node->type != GUMBO_NODE_TEMPLATE)
            continue;
        const GumboVector& children = node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children
                                                                        : node->v.element.children;
        for (unsigned i = 0; i < children.length; ++i)
            pending.append({static_cast<const GumboNode*>(children.data[i]), depth + 1});
    }
    gumbo_destroy_output(&options, out);
    return deepest;
}

QString inputFile() {
    return QDir::current().absoluteFilePath(QStringLiteral("formfuzz-input.html"));
}

void onDeath() {
    std::fprintf(stderr, "formfuzz: the form that failed is in %s\n", qPrintable(inputFile()));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const auto option = [&args](const char* name, quint32 fallback) {
        const qsizetype at = args.indexOf(QLatin1String(name));
        if (at < 0 || at + 1 >= args.size())
            return fallback;
        const quint32 value = args.at(at + 1).toUInt();
        args.remove(at, 2);
        return value;
    };
    const quint32 seed = option("--seed", 37);
    const quint32 seconds = option("--seconds", 60);
    QList<QByteArray> forms;
    for (const QString& folder : args) {
        for (const QFileInfo& file :
             QDir(folder).entryInfoList({QStringLiteral("*.funnel.json")}, QDir::Files)) {
            QFile json(file.filePath());
            if (json.open(QIODevice::ReadOnly))
                forms << QJsonDocument::fromJson(json.readAll())
                             .object()
                             .value(QLatin1String("optinForm"))
                             .toString()
                             .toUtf8();
        }
    }
    forms.removeAll(QByteArray());
    if (forms.isEmpty()) {
        std::fprintf(stderr, "formfuzz: no form in %s\n", qPrintable(args.join(u' ')));
        return 2;
    }
#if defined(__SANITIZE_ADDRESS__)
    __sanitizer_set_death_callback(onDeath);
#endif
    std::printf("formfuzz: seed %u, %lld forms, %u s\n", seed, qlonglong(forms.size()), seconds);
    std::fflush(stdout);
    QRandomGenerator random(seed);
    QElapsedTimer timer;
    timer.start();
    QByteArray form;
    int run = 0;
    for (; timer.elapsed() < qint64(seconds) * 1000; ++run) {
        // Now and then a fresh seed form; otherwise the mutations pile up.
        if (form.isEmpty() || random.bounded(4) == 0)
            form = forms.at(random.bounded(int(forms.size())));
        form = mutate(form, random);
        QFile file(inputFile());
        if (!file.open(QIODevice::WriteOnly) || file.write(form) != form.size() || !file.flush())
            return std::fprintf(stderr, "formfuzz: cannot write %s\n", qPrintable(inputFile())), 2;
        file.close();

        const QString pasted = QString::fromUtf8(form);
        FunnelSettings s;
        s.txtoptinForm = pasted;
        for (const bool tidy : {true, false}) {
            s.tidyOptinForm = tidy;
            const auto page = optinFormForPage(s);
            static_cast<void>(formLayoutSummary(pasted, tidy));
            if (page.ok() == !formRefusal(pasted.toUtf8()).isEmpty()) {
                onDeath();
                std::fprintf(stderr, "formfuzz: seed %u, form %d: refused once, built once\n", seed,
                             run);
                return 1;
            }
        }
        static_cast<void>(optinFormNotes(pasted));
        // The scan must never count less nesting than the parser makes.
        const QByteArray bytes = pasted.toUtf8();
        const FormNesting scan = scanFormNesting(bytes);
        if (scan.deepest <= kFormNestingLimit) {
            const int parsed = parsedDepth(bytes);
            if (parsed > 3 * scan.deepest + 8) {
                onDeath();
                std::fprintf(stderr, "formfuzz: seed %u, form %d: nests %d deep, scan said %d\n",
                             seed, run, parsed, scan.deepest);
                return 1;
            }
        }
    }
    QFile::remove(inputFile());
    std::printf("formfuzz: %d forms in %lld s, no fault\n", run, timer.elapsed() / 1000);
    return 0;
}
