#!/usr/bin/env python3
"""Measure the spinner's synonym file on sample articles with the real engine.

Usage: measure_rwdb.py [--cli PATH] [--synonyms FILE] [--groups] [--file]
                       [SAMPLE...]
Defaults: build/tandrel-cli, data/rwdb.txt, every tools/samples/*.txt.

For each sample it runs "tandrel-cli rewrite", finds every group the
rewrite made and the word it replaced, and reports
  coverage   = words of the article inside groups that offer another
               wording (a phrase counts all its words) / words of the
               article; "groups" is how many such groups there are
  protected  = phrases kept as themselves (one-term lines)
  capital    = groups at a capital letter (the engine writes them lower-case)
  wrong      = groups listed in tools/samples/wrong-swaps.txt as offering a
               word of the wrong sense there, / groups that offer another
               wording.
--groups prints every group in its context for a hand read, --file every
line of the synonym file numbered.
"""

import argparse
import glob
import os
import re
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, os.pardir))
GROUP_RE = re.compile(r"\{([^{}]*)\}")


def load_rules(path):
    """reduced rule -> candidate original terms"""
    reduced = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\r\n")
            if not (line.startswith("{") and line.endswith("}")):
                continue
            terms = [t for t in line[1:-1].replace("{", "").replace("}", "")
                     .split("|") if t]
            if len(terms) == 1:
                reduced.setdefault(line, []).append(terms[0])
                continue
            for t in terms:
                rest = "{" + "|".join(x for x in terms if x != t) + "}"
                reduced.setdefault(rest, []).append(t)
    return reduced


def load_wrong(path):
    """[(sample, original, alternative, context or "")] from the list of
    wrong swaps; lines after "[fixed]" are history, not counted."""
    wrong = []
    if not os.path.exists(path):
        return wrong
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if line == "[fixed]":
                break
            m = re.match(r"^(\S+):\s*(.+?)\s*->\s*(.+?)(?:\s*@\s*(.+))?$", line)
            if m:
                wrong.append((m.group(1), m.group(2), m.group(3),
                              m.group(4) or ""))
    return wrong


def rewrite(cli, synonyms, sample):
    run = subprocess.run([cli, "rewrite", "--synonyms", synonyms, sample],
                         capture_output=True, text=True, encoding="utf-8")
    if run.returncode != 0:
        sys.exit("%s failed on %s: %s" % (cli, sample, run.stderr.strip()))
    m = re.search(r"(\d+) Replacements on (\d+) words\.", run.stderr)
    if not m:
        sys.exit("no report from %s: %s" % (cli, run.stderr.strip()))
    return run.stdout, int(m.group(1)), int(m.group(2))


def align(original, spun, reduced):
    """[(start, end, original text, alternatives)] for each group of the
    spin text, found by walking the original alongside it."""
    groups = []
    at_o = at_s = 0
    for m in GROUP_RE.finditer(spun):
        literal = spun[at_s:m.start()]
        if original[at_o:at_o + len(literal)] != literal:
            sys.exit("spin text does not follow the article near %r" % literal)
        at_o += len(literal)
        alts = m.group(1).split("|")
        word = None
        for cand in reduced.get(m.group(0), ()):
            if original[at_o:at_o + len(cand)].lower() == cand:
                word = original[at_o:at_o + len(cand)]
                break
        if word is None:
            sys.exit("no rule line explains %s near %r" % (m.group(0),
                                                           original[at_o:at_o + 30]))
        groups.append((at_o, at_o + len(word), word, alts))
        at_o += len(word)
        at_s = m.end()
    if original[at_o:] != spun[at_s:]:
        sys.exit("spin text ends unlike the article")
    return groups


def context(text, start, end, width=38):
    left = text[max(0, start - width):start].replace("\n", " ")
    right = text[end:end + width].replace("\n", " ")
    return left, right


def report(name, words, varied, protected, capital, bad, covered):
    print("%-30s words %4d  coverage %5.1f%%  groups %4d  protected %3d  "
          "capital %3d  wrong %3d (%.1f%%)" % (
              name[:30], words, 100.0 * covered / words if words else 0, varied,
              protected, capital, bad, 100.0 * bad / varied if varied else 0))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", default=os.path.join(ROOT, "build", "tandrel-cli"))
    ap.add_argument("--synonyms", default=os.path.join(ROOT, "data", "rwdb.txt"))
    ap.add_argument("--wrong", default=os.path.join(HERE, "samples", "wrong-swaps.txt"))
    ap.add_argument("--groups", action="store_true")
    ap.add_argument("--file", action="store_true")
    ap.add_argument("samples", nargs="*")
    args = ap.parse_args()
    samples = args.samples or sorted(glob.glob(os.path.join(HERE, "samples", "*.txt")))
    samples = [s for s in samples if not s.endswith("wrong-swaps.txt")]
    reduced = load_rules(args.synonyms)
    wrong = load_wrong(args.wrong)

    if args.file:
        with open(args.synonyms, encoding="utf-8") as f:
            for n, line in enumerate(f, 1):
                print("%5d %s" % (n, line.rstrip("\n")))
        return

    totals = [0, 0, 0, 0, 0, 0]  # words, varied, protected, capital, wrong, covered
    for sample in samples:
        name = os.path.basename(sample)
        with open(sample, encoding="utf-8") as f:
            original = f.read()
        spun, count, words = rewrite(args.cli, args.synonyms, sample)
        groups = align(original, spun, reduced)
        if len(groups) != count:
            sys.exit("%s: %d groups found, the engine reports %d" % (name, len(groups), count))
        varied = protected = capital = bad = covered = 0
        for start, end, word, alts in groups:
            if alts == [word.lower()]:
                protected += 1
                mark = "="
            else:
                varied += 1
                covered += len(word.split())
                mark = " "
                if word[0].isupper():
                    capital += 1
                    mark = "C"
                left, right = context(original, start, end, 60)
                near = left + word + right
                for w_name, w_word, w_alt, w_ctx in wrong:
                    if w_name == name and w_word == word.lower() and w_alt in alts \
                            and w_ctx in near:
                        bad += 1
                        mark = "X"
                        break
            if args.groups:
                left, right = context(original, start, end)
                print("%s %s %38s[%s -> %s]%s" % (name[:12], mark, left, word,
                                                  "|".join(alts), right))
        report(name, words, varied, protected, capital, bad, covered)
        for i, v in enumerate((words, varied, protected, capital, bad, covered)):
            totals[i] += v
    report("all samples", *totals)
    lines = sum(1 for _ in open(args.synonyms, encoding="utf-8"))
    print("synonym file: %d lines, %d bytes" % (lines, os.path.getsize(args.synonyms)))


if __name__ == "__main__":
    main()
