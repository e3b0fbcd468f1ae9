#!/usr/bin/env python3
"""Measure the spinner's synonym file on sample articles with the real engine.

Usage: measure_rwdb.py [--cli PATH] [--synonyms FILE] [--bold] [--groups] [--file]
                       [--set tuning|old|new|fresh] [SAMPLE...]
Defaults: build/tandrel-cli, data/rwdb.txt, every tools/samples/*.txt.

For each sample it runs "tandrel-cli rewrite", finds every group the
rewrite made and the word it replaced, and reports
  coverage   = words of the article inside groups that offer another
               wording (a phrase counts all its words) / words of the
               article; "groups" is how many such groups there are
  protected  = phrases kept as themselves (one-term lines)
  capital    = groups at a capital letter whose alternatives lose it
  wrong      = groups listed in tools/samples/wrong-swaps.txt as offering a
               word of the wrong sense there, / groups that offer another
               wording; "grammar" the same for the list's [grammar] part
               (a swap that breaks a/an, a capital or the word form), / the
               alternatives those groups offer ("a/an" finds its own: an
               alternative whose first sound disagrees with "a"/"an" before
               it)
  differ     = share of words in which two variants of the rewrite differ
               ("tandrel-cli spin --seed N", seeds 1 and 2, 3 and 4... 19 and
               20, averaged; words compared in order, so a swap of three
               words for two counts three)
and how many groups of the file, and of the groups met, have 2, 3 or 4+
terms (the matched term included).
--bold measures the rewrite with the bold groups too ("rewrite --bold").
--set picks the samples: "tuning" the eleven read while the file was
built, "old" the held-out ones of earlier readings (heldout-*), "new" the
seven written before the bold groups were made (heldout2-*, read and
tuned on since), "fresh" the eight written before the second round of bold
tuning (heldout3-*), measured once at its end; default every sample.
--groups prints every group in its context for a hand read, --file every
line of the synonym file numbered.
"""

import argparse
import difflib
import glob
import os
import re
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, os.pardir))
sys.path.insert(0, HERE)
from make_rwdb import article_class  # noqa: E402

SEEDS = tuple((n, n + 1) for n in range(1, 21, 2))
GROUP_RE = re.compile(r"\{([^{}]*)\}")


TIER_LINES = {"{Tier: bold}": True, "{Tier: careful}": False}


def tier_lines(path, bold):
    """the lines a rewrite of the tier applies, without the tier lines"""
    in_bold = False
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\r\n")
            if line in TIER_LINES:
                in_bold = TIER_LINES[line]
            elif bold or not in_bold:
                yield line


def load_rules(path, bold):
    """reduced rule -> candidate original terms"""
    reduced = {}
    for line in tier_lines(path, bold):
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
    """[(kind, sample, original, alternative, context or "")] from the list
    of wrong swaps: kind "sense", or "grammar" after a "[grammar]" line;
    lines after "[fixed]" are history, not counted."""
    wrong = []
    if not os.path.exists(path):
        return wrong
    kind = "sense"
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if line == "[fixed]":
                break
            if line == "[grammar]":
                kind = "grammar"
            m = re.match(r"^(\S+):\s*(.+?)\s*->\s*(.+?)(?:\s*@\s*(.+))?$", line)
            if m:
                wrong.append((kind, m.group(1), m.group(2), m.group(3),
                              m.group(4) or ""))
    return wrong


def rewrite(cli, synonyms, sample, bold):
    run = subprocess.run([cli, "rewrite", "--synonyms", synonyms, sample]
                         + (["--bold"] if bold else []),
                         capture_output=True, text=True, encoding="utf-8")
    if run.returncode != 0:
        sys.exit("%s failed on %s: %s" % (cli, sample, run.stderr.strip()))
    m = re.search(r"(\d+) Replacements on (\d+) words\.", run.stderr)
    if not m:
        sys.exit("no report from %s: %s" % (cli, run.stderr.strip()))
    return run.stdout, int(m.group(1)), int(m.group(2))


def spin(cli, text, seed):
    run = subprocess.run([cli, "spin", "--seed", str(seed), "-"], input=text,
                         capture_output=True, text=True, encoding="utf-8")
    if run.returncode != 0:
        sys.exit("%s spin failed: %s" % (cli, run.stderr.strip()))
    return run.stdout


def differ(a, b):
    """share of the words of two texts that differ, in order"""
    a, b = a.split(), b.split()
    same = sum(m.size for m in difflib.SequenceMatcher(
        None, a, b, autojunk=False).get_matching_blocks())
    return 1 - 2.0 * same / (len(a) + len(b)) if a or b else 0


def article_breaks(original, start, alts):
    """alternatives whose first sound disagrees with the "a"/"an" before
    the group"""
    before = re.search(r"(\S+)\s+$", original[max(0, start - 8):start])
    art = before.group(1).lower() if before else ""
    if art not in ("a", "an"):
        return 0
    return sum(1 for alt in alts if article_class(alt) != art)


def sizes(counts):
    return "2 terms %d, 3 terms %d, 4+ terms %d" % (
        counts.get(2, 0), counts.get(3, 0),
        sum(v for k, v in counts.items() if k >= 4))


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
        # The engine keeps the replaced word's capitals; the rule lines have none.
        for cand in reduced.get(m.group(0), ()) or reduced.get(m.group(0).lower(), ()):
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


FIELDS = ("words", "varied", "protected", "capital", "wrong", "covered",
          "swaps", "grammar", "differ")


def report(name, t):
    pct = (lambda a, b: 100.0 * a / b if b else 0)
    print("%-28s words %4d  coverage %5.1f%%  groups %4d  protected %3d  "
          "capital %3d  wrong %3d (%.1f%%)  grammar %2d of %4d (%.1f%%)  "
          "differ %4.1f%%" % (
              name[:28], t["words"], pct(t["covered"], t["words"]), t["varied"],
              t["protected"], t["capital"], t["wrong"], pct(t["wrong"], t["varied"]),
              t["grammar"], t["swaps"], pct(t["grammar"], t["swaps"]),
              pct(t["differ"], t["words"])))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", default=os.path.join(ROOT, "build", "tandrel-cli"))
    ap.add_argument("--synonyms", default=os.path.join(ROOT, "data", "rwdb.txt"))
    ap.add_argument("--wrong", default=os.path.join(HERE, "samples", "wrong-swaps.txt"))
    ap.add_argument("--groups", action="store_true")
    ap.add_argument("--bold", action="store_true")
    ap.add_argument("--set", choices=("tuning", "old", "new", "fresh"))
    ap.add_argument("--file", action="store_true")
    ap.add_argument("samples", nargs="*")
    args = ap.parse_args()
    samples = args.samples or sorted(glob.glob(os.path.join(HERE, "samples", "*.txt")))
    samples = [s for s in samples if not s.endswith("wrong-swaps.txt")]
    kind = lambda s: ("fresh" if os.path.basename(s).startswith("heldout3-") else
                      "new" if os.path.basename(s).startswith("heldout2-") else
                      "old" if os.path.basename(s).startswith("heldout-") else "tuning")
    if args.set:
        samples = [s for s in samples if kind(s) == args.set]
    reduced = load_rules(args.synonyms, args.bold)
    wrong = load_wrong(args.wrong)

    if args.file:
        with open(args.synonyms, encoding="utf-8") as f:
            for n, line in enumerate(f, 1):
                print("%5d %s" % (n, line.rstrip("\n")))
        return

    totals = dict.fromkeys(FIELDS, 0)
    met = {}
    for sample in samples:
        name = os.path.basename(sample)
        with open(sample, encoding="utf-8") as f:
            original = f.read()
        spun, count, words = rewrite(args.cli, args.synonyms, sample, args.bold)
        groups = align(original, spun, reduced)
        if len(groups) != count:
            sys.exit("%s: %d groups found, the engine reports %d" % (name, len(groups), count))
        t = dict.fromkeys(FIELDS, 0)
        t["words"] = words
        for start, end, word, alts in groups:
            if [a.lower() for a in alts] == [word.lower()]:
                t["protected"] += 1
                mark = "="
            else:
                t["varied"] += 1
                t["covered"] += len(word.split())
                t["swaps"] += len(alts)
                met[len(alts) + 1] = met.get(len(alts) + 1, 0) + 1
                mark = " "
                if word[0].isupper() and not all(a[:1].isupper() for a in alts):
                    t["capital"] += 1
                    mark = "C"
                t["grammar"] += article_breaks(original, start, alts)
                left, right = context(original, start, end, 60)
                near = left + word + right
                for kind, w_name, w_word, w_alt, w_ctx in wrong:
                    if w_name == name and w_word == word.lower() and w_alt in alts \
                            and w_ctx in near:
                        t["wrong" if kind == "sense" else "grammar"] += 1
                        mark = "X" if kind == "sense" else "G"
                        break
            if args.groups:
                left, right = context(original, start, end)
                print("%s %s %38s[%s -> %s]%s" % (name[:12], mark, left, word,
                                                  "|".join(alts), right))
        t["differ"] = words * sum(differ(spin(args.cli, spun, a), spin(args.cli, spun, b))
                                  for a, b in SEEDS) / len(SEEDS)
        report(name, t)
        for k in FIELDS:
            totals[k] += t[k]
    report("all samples", totals)
    lines = list(tier_lines(args.synonyms, args.bold))
    in_file = {}
    for line in lines:
        n = line.count("|") + 1
        in_file[n] = in_file.get(n, 0) + 1
    print("synonym file (%s tier): %d lines, %d kept as themselves; groups: %s" % (
        "bold" if args.bold else "careful", len(lines), in_file.get(1, 0), sizes(in_file)))
    print("groups met: %s" % sizes(met))


if __name__ == "__main__":
    main()
