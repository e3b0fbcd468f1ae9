// tandrel-formfuzz SEED SECONDS FOLDER...: mutated sign-up forms ("optinForm" of *.funnel.json)
// through both layouts, the window's summary and the paste check; under the sanitizers any fault
// ends the run with a report. A seed repeats its forms; each is written to formfuzz-input.html
// before it runs, so the one a crash stopped at is there.

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

// Pieces of markup and style that broke the form path once, or that the scan must follow.
const QList<QByteArray> kPieces =
    QByteArray(
        "<table>|<tr>|<td>|</td>|<div>|</div>|<p>|</p>|<b>|</b>|<a href=\"https://x.example/\">|"
        "</a>|<b style=\"min-width:900px;color:red\">|<template>|</template>|<svg>|</svg>|"
        "<math>|<foreignObject>|<path/>|<select>|</select>|<option>|<frameset>|<style>|"
        "</style>|<script>|</script>|<textarea>|<!--|-->|--!>|\"|'|>|<|/>|<br>|<ul>|<li>|"
        "<iframe width=\"2147483647\" height=\"99999999999\">|<iframe width=600 height=40>|"
        "@media |@media screen and (max-width: 600px) {|{|}|;|min-width: 20em;|</form>|"
        "<form action=\"https://list.example/s\" method=\"post\">|<label>|</label>|"
        "<label for=\"e\">|<input id=\"e\" type=\"email\" name=\"email\">|<fieldset>|"
        "<input type=checkbox name=c>|<legend>|<button>|<plaintext>|<noscript>|<font "
        "color=red>|&amp;|\n|\xc3\xa9|</li>|</ul>|</button>|</table>|</tr>|<caption>|<h2>|</"
        "h1>|<form>|<form id=f action=\"https://list.example/s\">|<input form=f name=o>|"
        "<fieldset disabled>|<input type=image name=i>|<button name=b value=1>|<datalist>")
        .split('|');

QByteArray mutate(QByteArray form, QRandomGenerator& random) {
    const int steps = 1 + random.bounded(4);
    for (int step = 0; step < steps; ++step) {
        const qsizetype at = random.bounded(form.size() + 1);
        const qsizetype length = random.bounded(qMin<qsizetype>(form.size() - at, 64) + 1);
        switch (random.bounded(5)) {
        case 1:
            form.remove(at, length);
            break;
        case 2: // repeated, so tags nest deep and patterns recur many times
            form.insert(at, form.mid(at, length).repeated(1 + random.bounded(3000)));
            break;
        case 0:
            form.insert(at, char(random.bounded(256)));
            break;
        default: // a piece, half the time many in a row
            form.insert(at, kPieces.at(random.bounded(int(kPieces.size())))
                                .repeated(random.bounded(2) ? 1 : 1 + random.bounded(600)));
        }
    }
    return form.left(64 * 1024);
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

const QString kInput = QDir::current().absoluteFilePath(QStringLiteral("formfuzz-input.html"));

void onDeath() {
    std::fprintf(stderr, "formfuzz: the form that failed is in %s\n", qPrintable(kInput));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4)
        return std::fprintf(stderr, "usage: tandrel-formfuzz SEED SECONDS FOLDER...\n"), 2;
    const quint32 seed = args.at(1).toUInt();
    const qint64 seconds = args.at(2).toLongLong();
    QList<QByteArray> forms;
    for (const QString& folder : args.mid(3))
        for (const QFileInfo& file : QDir(folder).entryInfoList({"*.funnel.json"}, QDir::Files)) {
            QFile json(file.filePath());
            if (json.open(QIODevice::ReadOnly))
                forms << QJsonDocument::fromJson(json.readAll())["optinForm"].toString().toUtf8();
        }
    forms.removeAll(QByteArray());
    if (forms.isEmpty())
        return std::fprintf(stderr, "formfuzz: no forms in %s\n", qPrintable(args.at(3))), 2;
#if defined(__SANITIZE_ADDRESS__)
    __sanitizer_set_death_callback(onDeath);
#endif
    std::printf("formfuzz: seed %u, %lld forms, %lld s\n", seed, qlonglong(forms.size()), seconds);
    std::fflush(stdout);
    QRandomGenerator random(seed);
    QElapsedTimer timer;
    timer.start();
    QByteArray form;
    int run = 0;
    for (; timer.elapsed() < seconds * 1000; ++run) {
        // Now and then a fresh seed form; otherwise the mutations pile up.
        if (form.isEmpty() || random.bounded(4) == 0)
            form = forms.at(random.bounded(int(forms.size())));
        form = mutate(form, random);
        QFile file(kInput); // flushed, so a crash leaves it whole
        if (!file.open(QIODevice::WriteOnly) || file.write(form) != form.size() || !file.flush())
            return std::fprintf(stderr, "formfuzz: cannot write %s\n", qPrintable(kInput)), 2;

        FunnelSettings s;
        s.txtoptinForm = QString::fromUtf8(form);
        for (const bool tidy : {true, false}) {
            s.tidyOptinForm = tidy;
            static_cast<void>(optinFormForPage(s));
            static_cast<void>(formLayoutSummary(s.txtoptinForm, tidy));
        }
        static_cast<void>(optinFormNotes(s.txtoptinForm));
        // The scan must never count less nesting than the parser makes.
        const FormNesting scan = scanFormNesting(s.txtoptinForm.toUtf8());
        const int parsed = scan.deepest <= kFormNestingLimit ? parsedDepth(form) : 0;
        if (parsed > 3 * scan.deepest + 8)
            return onDeath(),
                   std::fprintf(stderr, "formfuzz: form %d nests %d deep, scan said %d\n", run,
                                parsed, scan.deepest),
                   1;
    }
    QFile::remove(kInput);
    std::printf("formfuzz: %d forms in %lld s, no fault\n", run, timer.elapsed() / 1000);
    return 0;
}
