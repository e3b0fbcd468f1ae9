#!/usr/bin/env python3
"""Break the engine's rules one at a time and see which tests catch each.

Usage: break_rules.py [--build DIR] [N ...]
Defaults: build/ of this checkout, every fault below.

Each fault is a one-place change to src/ that a careless edit could make. The
script applies it, rebuilds, runs the test binaries that could notice, prints
the failing tests (or NOT CAUGHT) and puts the file back, also when stopped.
It exits 1 if any fault went uncaught. Run it after cutting or merging tests.
"""
import argparse
import os
import pathlib
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent

# The test binaries that could notice a fault in each engine.
FUNNEL = ["funnel", "cli", "mainwindow"]
SPINNER = ["spinner", "cli"]

# (what breaks, file, text as it is, text broken, test binaries to run)
FAULTS = [
 ("lead page replace order", "src/funnel/pages.cpp",
  '    {"[HEAD]", "the HEAD code", [](I in) { return in.s.headCode; }},\n    {"[LINE1]", "the Headline", [](I in) { return in.s.txtFunnel_LeadLine1; }},\n',
  '    {"[LINE1]", "the Headline", [](I in) { return in.s.txtFunnel_LeadLine1; }},\n    {"[HEAD]", "the HEAD code", [](I in) { return in.s.headCode; }},\n', FUNNEL),
 ("accent step after the cover", "src/funnel/pages.cpp",
  '    {kAcute, "the acute accents", acute},\n    {"[COVER]", "the cover image name", coverName},\n};',
  '    {"[COVER]", "the cover image name", coverName},\n    {kAcute, "the acute accents", acute},\n};', FUNNEL),
 ("page step left out", "src/funnel/pages.cpp",
  '    {"[PRIVACY]", "the Privacy Policy", [](I in) { return in.s.txtFunnel_Privacy; }},\n', "", FUNNEL),
 ("control left out of the binding table", "src/mainwindow/fields.cpp",
  '    line("footerText", txtFooterNew);\n', "", ["mainwindow"]),
 ("download-link condition", "src/funnel/pages.cpp",
  '!s.txtFileDownloadUrl.isEmpty() && !s.txtDownloadText.isEmpty() &&',
  '!s.txtFileDownloadUrl.isEmpty() &&', FUNNEL),
 ('"http://" check', "src/funnel/funnelsettings.cpp",
  'return txtFunnelUrl.isEmpty() || txtFunnelUrl == QLatin1String("http://");',
  'return txtFunnelUrl.isEmpty();', FUNNEL),
 ("reduced rule", "src/spinner/synonymdb.cpp",
  "    reduced = StrReplace(reduced, u'|' + t + u'|', QStringLiteral(\"|\"), 1);\n", "", SPINNER),
 ("boundary characters", "src/spinner/synonymindex.h",
  "{u' ', u',', u'.', u':'}", "{u' ', u',', u'.', u';'}", SPINNER),
 ("count_words table", "src/spinner/wordcount.cpp",
  "    word['\\''] = true;\n", "", SPINNER),
 ("space marker", "src/spinner/rewrite.cpp",
  'return StrReplace(u\' \' + rule + kEnds[end], QStringLiteral(" "), QStringLiteral("%%"), 1);',
  "return u' ' + rule + kEnds[end];", SPINNER),
 ("colour dialog cancel", "src/mainwindow/frmcovercreator.cpp",
  "    if (!chosen)\n        return;\n    modColorPicker::SplitColor(*chosen);",
  "    modColorPicker::SplitColor(chosen.value_or(0));", ["mainwindow"]),
 ("failed save reported as success", "src/platform/textfiles.cpp",
  "        file.cancelWriting();\n        return fail(reason);\n    }\n    return Status::success();",
  "        file.cancelWriting();\n        return Status::success();\n    }\n    return Status::success();", ["platform", "funnel", "cover", "spinner", "mainwindow"]),
]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=str(ROOT / "build"))
    parser.add_argument("faults", nargs="*", type=int)
    args = parser.parse_args()
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    missed = 0
    for n in args.faults or range(1, len(FAULTS) + 1):
        name, rel, old, new, suites = FAULTS[n - 1]
        path = ROOT / rel
        text = path.read_text()
        if text.count(old) != 1:
            sys.exit(f"{n}. {name}: {rel} no longer holds the text this fault changes")
        path.write_text(text.replace(old, new))
        try:
            built = subprocess.run(["cmake", "--build", args.build], capture_output=True, text=True)
            if built.returncode:
                print(f"{n}. {name}: the broken code did not build\n{built.stdout[-2000:]}")
                missed += 1
                continue
            caught = set()
            for suite in suites:
                run = subprocess.run([f"{args.build}/tests/test_{suite}"], capture_output=True,
                                     text=True, env=env, timeout=900)
                failed = [l[len("FAIL!  : "):].split("(")[0].strip()
                          for l in run.stdout.splitlines() if l.startswith("FAIL!  : ")]
                caught.update(failed)
                if run.returncode and not failed:
                    caught.add(f"test_{suite} exited with {run.returncode}")
            print(f"{n}. {name}: " + (", ".join(sorted(caught)) if caught else "NOT CAUGHT"),
                  flush=True)
            missed += not caught
        finally:
            path.write_text(text)
    subprocess.run(["cmake", "--build", args.build], capture_output=True)
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main())
