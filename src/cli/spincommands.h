#pragma once

#include <QIODevice>
#include <QStringList>
#include <QTextStream>

namespace tandrel::cli {

// What the rewrite and spin commands take from the command line.
struct SpinOptions {
    QStringList positional; // the article: one file, "-" or nothing for standard input
    QString synonyms;       // the synonym file
    int count = 0;          // spin: this many different variants into outDir; 0 prints one
    QString outDir;         // rewrite: the file of the result; empty: standard output
    bool keepOriginal = false;
    bool bold = false;        // rewrite: the bold groups too
    double minDifference = 0; // spin --count: share of words any two variants differ in
};

// Prints the article in spin syntax on out (no line end added), or writes it
// to outDir in the article's encoding and line ends, then the report line and
// how different its variants are on err.
int rewriteCommand(const SpinOptions& options, QIODevice& in, QTextStream& out, QTextStream& err);
// Prints one variant of a text in spin syntax, or writes count different
// variants into files of outDir (never replacing one) and prints their paths.
int spinCommand(const SpinOptions& options, QIODevice& in, QTextStream& out, QTextStream& err);

} // namespace tandrel::cli
