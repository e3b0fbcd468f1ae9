// Times the rewrite engine against the line-by-line reference on the same
// inputs: a generated 5,000-word English article with the shipped synonym
// file, and with a generated 100,000-line synonym file.
//
//   tandrel-bench-spinner [--synonyms FILE] [--runs N] [--reference-lines N] [--save-synthetic
//   FILE]
//                         [--engine-only] [--figures-only] [--hostile-mb 1,2,4]
//
// The reference walks every line with the whole article for every term, which
// takes many minutes on 100,000 lines; on that file it is timed on the first
// --reference-lines lines (default 5,000; 0: all) and scaled up linearly, and
// the output says so. On the shipped file it always runs whole.

#include "referencerewrite.h"
#include "rewrite.h"
#include "spin.h"
#include "synonymdb.h"
#include "textfiles.h"
#include "tools.h"
#include "variants.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

using namespace tandrel;

namespace {

const char* const kCommonWords[] = {
    "the",   "of",       "and",    "to",    "a",     "in",      "is",     "it",     "you",
    "that",  "he",       "was",    "for",   "on",    "are",     "with",   "as",     "I",
    "his",   "they",     "be",     "at",    "one",   "have",    "this",   "from",   "or",
    "had",   "by",       "not",    "but",   "what",  "some",    "we",     "can",    "out",
    "other", "were",     "all",    "there", "when",  "up",      "use",    "your",   "how",
    "said",  "an",       "each",   "she",   "which", "do",      "their",  "time",   "if",
    "will",  "way",      "about",  "many",  "then",  "them",    "would",  "like",   "so",
    "these", "her",      "long",   "make",  "thing", "see",     "him",    "two",    "has",
    "look",  "more",     "day",    "could", "go",    "come",    "did",    "my",     "no",
    "most",  "who",      "over",   "know",  "than",  "call",    "first",  "people", "may",
    "down",  "side",     "been",   "now",   "find",  "any",     "new",    "work",   "part",
    "take",  "get",      "place",  "made",  "live",  "where",   "after",  "back",   "little",
    "only",  "round",    "man",    "year",  "came",  "show",    "every",  "good",   "me",
    "give",  "our",      "under",  "name",  "very",  "through", "just",   "form",   "much",
    "great", "think",    "say",    "help",  "low",   "line",    "before", "turn",   "cause",
    "same",  "mean",     "differ", "move",  "right", "boy",     "old",    "too",    "does",
    "tell",  "sentence", "set",    "three", "want",  "air",     "well",   "also",   "play",
    "small", "end",      "put",    "home",  "read",  "hand",    "port",   "large",  "spell",
    "add",   "even",     "land",   "here",  "must",  "big",     "high",   "such",   "follow",
    "act",   "why",      "ask"};

QStringList termsOf(const QStringList& lines) {
    QStringList terms;
    for (const QString& line : lines) {
        if (isBracedRule(line))
            terms << LoadRule(line, {});
    }
    return terms;
}

// Sentences of common words and synonym-file words, capitalised, with commas,
// full stops and paragraphs.
QString makeArticle(const QStringList& synonymTerms, int words) {
    QRandomGenerator random(1);
    QStringList common;
    for (const char* word : kCommonWords)
        common << QString::fromLatin1(word);
    QString article;
    int sentenceLeft = 0;
    int sentences = 0;
    for (int i = 0; i < words;) {
        const bool fromSynonyms = !synonymTerms.isEmpty() && random.bounded(100) < 40;
        QString word = fromSynonyms ? synonymTerms[random.bounded(int(synonymTerms.size()))]
                                    : common[random.bounded(int(common.size()))];
        i += int(word.count(u' ')) + 1;
        if (sentenceLeft == 0) {
            sentenceLeft = 8 + random.bounded(14);
            word[0] = word[0].toUpper();
        }
        article += word;
        if (--sentenceLeft == 0 || i >= words) {
            article += u'.';
            sentenceLeft = 0;
            if (++sentences % 6 == 0 && i < words)
                article += QStringLiteral("\n\n");
            else if (i < words)
                article += u' ';
        } else {
            article += random.bounded(12) == 0 ? QStringLiteral(", ") : QStringLiteral(" ");
        }
    }
    return article;
}

QString pseudoWord(QRandomGenerator& random) {
    static const char* const syllables[] = {"ka",  "lo",  "mi",  "sen", "tar", "vu", "dre",
                                            "pol", "qui", "ran", "bel", "cor", "fi", "gha",
                                            "jun", "nex", "os",  "pra", "sul", "wen"};
    QString word;
    const int count = 2 + random.bounded(3);
    for (int i = 0; i < count; ++i)
        word += QString::fromLatin1(syllables[random.bounded(20)]);
    return word;
}

// Mostly invented words, one term in ten a word of the article's vocabulary
// (so terms stand in several lines), some multi-word terms, a few unbraced
// and empty lines.
QStringList makeSyntheticSynonyms(const QStringList& vocabulary, int lineCount) {
    QRandomGenerator random(2);
    QStringList lines;
    lines.reserve(lineCount);
    for (int i = 0; i < lineCount; ++i) {
        const int kind = random.bounded(100);
        if (kind == 0) {
            lines << QString();
            continue;
        }
        if (kind < 3) {
            lines << QStringLiteral("note ") + pseudoWord(random);
            continue;
        }
        QStringList terms;
        const int count = 2 + random.bounded(4);
        for (int t = 0; t < count; ++t) {
            const int pick = random.bounded(100);
            if (pick < 10)
                terms << vocabulary[random.bounded(int(vocabulary.size()))].toLower();
            else if (pick < 20)
                terms << pseudoWord(random) + u' ' + pseudoWord(random);
            else
                terms << pseudoWord(random);
        }
        lines << u'{' + terms.join(u'|') + u'}';
    }
    return lines;
}

double msSince(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

// Texts that once made the engine quadratic; each must stay well under a second.
// Letters whose case changes length ("İ" lowers to two units) or that lie
// outside the BMP ("𐐀") are timed against the same text with "I", at each size.
void hostileTexts(const QString& synonymPath, const QStringList& synonymTerms,
                  const std::vector<double>& sizesMb) {
    std::printf("\nHostile texts (each once):\n");
    const auto db = loadSynonymDb(synonymPath);
    const auto time = [](const auto& work) {
        QElapsedTimer timer;
        timer.start();
        work();
        return msSince(timer);
    };
    QString article;
    const double largest = *std::max_element(sizesMb.begin(), sizesMb.end());
    while (double(article.size()) < largest * 1e6)
        article += makeArticle(synonymTerms, 5000) + QStringLiteral("\n\n");
    std::printf("  %-8s %12s %24s %24s\n", "size", "with \"I\"", "\"I\" as \"İ\" (ratio)",
                "one \"𐐀\" added (ratio)");
    for (const double mb : sizesMb) {
        QString plain = article.left(qsizetype(mb * 1e6));
        plain.replace(QStringLiteral(". "), QStringLiteral(". I "));
        QString dotted = plain;
        dotted.replace(QStringLiteral(". I "), QStringLiteral(". \u0130 "));
        const QString astral = QString::fromUtf8("\xf0\x90\x90\x80 ") + plain;
        const double p = time([&] { (void)rewriteSpunText(plain, db.value()); });
        const double d = time([&] { (void)rewriteSpunText(dotted, db.value()); });
        const double a = time([&] { (void)rewriteSpunText(astral, db.value()); });
        std::printf("  %5.1f MB %9.1f ms %12.1f ms (%4.2fx) %12.1f ms (%4.2fx)\n", mb, p, d, d / p,
                    a, a / p);
    }
    QRandomGenerator random(3);
    std::printf("  %-58s %8.1f ms\n", "spin, 1 M unclosed \"{\"",
                time([&] { (void)Spin(QString(1000000, u'{'), random); }));
    QString stray;
    while (stray.size() < 10000000)
        stray += article;
    for (int i = 0; i < 10000; ++i)
        stray[qsizetype(random.bounded(int(stray.size())))] = u'{';
    std::printf("  %-58s %8.1f ms\n", "spin, 10 MB article with 10,000 stray \"{\"",
                time([&] { (void)Spin(stray, random); }));
}

// The rewrite with and without the variant figures the window and the
// command line show after it.
// withGroups false: the figures measured on drawn variants, as before. A
// tier given: its lines only, and the bold rewrite swaps neighbours too.
void figuresCost(const char* title, const QString& synonymPath, const QString& article,
                 bool withGroups, std::optional<SynonymTier> tier = std::nullopt) {
    const auto loaded = loadSynonymDb(synonymPath);
    const SynonymDb db = tier ? loaded.value().forTier(*tier) : loaded.value();
    const Neighbours neighbours =
        tier == SynonymTier::Bold ? Neighbours::Share : Neighbours::KeepApart;
    QRandomGenerator random(4);
    std::vector<double> rewrite;
    std::vector<double> figures;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer timer;
        timer.start();
        const RewriteResult result = rewriteSpunText(article, db, false, neighbours);
        rewrite.push_back(msSince(timer));
        timer.restart();
        (void)summarizeVariants(result.spinText, article, random,
                                withGroups ? &result.replaced : nullptr);
        figures.push_back(msSince(timer));
    }
    std::sort(rewrite.begin(), rewrite.end());
    std::sort(figures.begin(), figures.end());
    std::printf("\n%s (%.2f MB), figures %s, median of 5:\n  rewrite %.1f ms, figures %.1f ms: "
                "with figures %.2fx the rewrite alone\n",
                title, double(article.size()) / 1e6,
                withGroups ? "from the groups" : "from drawn variants", rewrite[2], figures[2],
                (rewrite[2] + figures[2]) / rewrite[2]);
}

// An article of this many lines, one sentence of the generated article each.
QString articleOfLines(const QString& article, int lines) {
    const QStringList sentences = article.split(QStringLiteral(". "));
    QString out;
    for (int i = 0; i < lines; ++i)
        out += sentences[i % sentences.size()] + QStringLiteral(".\n");
    return out;
}

struct EngineRun {
    double load;
    double rewrite;
    double total;
};

bool runCase(const char* title, const QString& synonymPath, const QString& article, int runs,
             qsizetype referenceLines, bool engineOnly) {
    const auto lines = LoadListFile(synonymPath);
    if (!lines) {
        std::fprintf(stderr, "%s\n", qPrintable(lines.error()));
        return false;
    }
    std::printf("\n%s: %s (%lld lines)\n", title, qPrintable(QDir::toNativeSeparators(synonymPath)),
                static_cast<long long>(lines->size()));

    // Engine: load the file and rewrite, as the window and the command line do.
    std::vector<EngineRun> timings;
    RewriteResult engine;
    for (int i = 0; i < runs; ++i) {
        seedRandomNumbers(7);
        QElapsedTimer timer;
        timer.start();
        const auto db = loadSynonymDb(synonymPath);
        const double loaded = msSince(timer);
        engine = Reescribir(article, db.value());
        const double total = msSince(timer);
        timings.push_back({loaded, total - loaded, total});
    }
    const auto median = [&](double EngineRun::*field) {
        std::vector<double> values;
        values.reserve(timings.size());
        for (const EngineRun& run : timings)
            values.push_back(run.*field);
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    const double engineTotal = median(&EngineRun::total);
    std::printf("  engine:    load %.1f ms + rewrite %.1f ms = %.1f ms (median of %d runs; first "
                "run %.1f ms)\n",
                median(&EngineRun::load), median(&EngineRun::rewrite), engineTotal, runs,
                timings.front().total);
    std::printf("             %s\n", qPrintable(engine.report));

    if (engineOnly)
        return true;

    // Reference: the same file through LoadListFile, then the walk over every line.
    const bool partial = referenceLines > 0 && referenceLines < lines->size();
    const QStringList referenceRules = partial ? lines->mid(0, referenceLines) : lines.value();
    seedRandomNumbers(7);
    QElapsedTimer timer;
    timer.start();
    const QStringList reloaded = LoadListFile(synonymPath).value().mid(0, referenceRules.size());
    const test::ReferenceResult reference = test::referenceReescribir(article, reloaded);
    double referenceMs = msSince(timer);
    if (partial) {
        std::printf(
            "  reference: %.1f ms on the first %lld lines, scaled linearly to %lld lines:\n",
            referenceMs, static_cast<long long>(referenceRules.size()),
            static_cast<long long>(lines->size()));
        referenceMs *= double(lines->size()) / double(referenceRules.size());
        std::printf("             about %.0f ms (1 run)\n", referenceMs);
        seedRandomNumbers(7);
        const RewriteResult engineOnPart = Reescribir(article, synonymDbFromLines(referenceRules));
        const bool same = engineOnPart.spinText == reference.spinText &&
                          engineOnPart.replacementCount == reference.replacementCount;
        std::printf("             same text and count as the engine on those lines: %s\n",
                    same ? "yes" : "NO");
        if (!same)
            return false;
    } else {
        const bool same = reference.spinText == engine.spinText &&
                          reference.replacementCount == engine.replacementCount &&
                          reference.report == engine.report;
        std::printf("  reference: %.1f ms (1 run); same text and count as the engine: %s\n",
                    referenceMs, same ? "yes" : "NO");
        if (!same)
            return false;
    }
    std::printf("  ratio:     reference / engine = %.0fx\n", referenceMs / engineTotal);
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QString shipped = QStringLiteral(TANDREL_SHIPPED_DATA_DIR "/rwdb.txt");
    int runs = 15;
    qsizetype referenceLines = 5000;
    QString saveSynthetic;
    std::vector<double> hostileSizes{1, 2, 4};
    QStringList args = app.arguments().mid(1);
    const bool engineOnly = args.removeAll(QStringLiteral("--engine-only")) > 0;
    const bool figuresOnly = args.removeAll(QStringLiteral("--figures-only")) > 0;
    for (qsizetype i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--synonyms"))
            shipped = args[i + 1];
        else if (args[i] == QLatin1String("--runs"))
            runs = std::max(1, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--reference-lines"))
            referenceLines = args[i + 1].toLongLong();
        else if (args[i] == QLatin1String("--save-synthetic"))
            saveSynthetic = args[i + 1];
        else if (args[i] == QLatin1String("--hostile-mb")) {
            hostileSizes.clear();
            for (const QString& size : args[i + 1].split(u','))
                hostileSizes.push_back(std::max(0.01, size.toDouble()));
        }
    }

    const auto shippedLines = LoadListFile(shipped);
    if (!shippedLines) {
        std::fprintf(stderr, "%s\n", qPrintable(shippedLines.error()));
        return 1;
    }
    const QStringList synonymTerms = termsOf(shippedLines.value());
    const QString article = makeArticle(synonymTerms, 5000);
    std::printf(
        "Article: %lld characters, generated from common words and the shipped file's terms\n",
        static_cast<long long>(article.size()));

    QTemporaryDir dir;
    const QString synthetic =
        saveSynthetic.isEmpty() ? dir.filePath(QStringLiteral("rwdb-100000.txt")) : saveSynthetic;
    QStringList vocabulary = synonymTerms;
    for (const char* word : kCommonWords)
        vocabulary << QString::fromLatin1(word);
    const Status saved =
        SaveTextFile(synthetic, makeSyntheticSynonyms(vocabulary, 100000).join(u'\n') + u'\n');
    if (!saved) {
        std::fprintf(stderr, "%s\n", qPrintable(saved.error()));
        return 1;
    }

    const QString longArticle = articleOfLines(article, 100000);
    for (const bool withGroups : {false, true}) {
        figuresCost("Shipped file, the 5,000-word article", shipped, article, withGroups);
        figuresCost("Synthetic 100,000-line file, the 5,000-word article", synthetic, article,
                    withGroups);
        figuresCost("Shipped file, an article of 100,000 lines", shipped, longArticle, withGroups);
    }
    figuresCost("Shipped file, careful tier, an article of 100,000 lines", shipped, longArticle,
                true, SynonymTier::Careful);
    figuresCost("Shipped file, bold tier, an article of 100,000 lines", shipped, longArticle, true,
                SynonymTier::Bold);
    if (figuresOnly)
        return 0;
    hostileTexts(shipped, synonymTerms, hostileSizes);
    const bool ok =
        runCase("Shipped synonym file", shipped, article, runs, 0, engineOnly) &&
        runCase("Synthetic synonym file", synthetic, article, runs, referenceLines, engineOnly);
    return ok ? 0 : 1;
}
