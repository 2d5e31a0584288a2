#!/usr/bin/env python3
"""The two text tools of a release: scripts/docs, which keeps quoted output and
digests true, and cmake/help-for-man, which hands --help to help2man."""
import importlib.machinery
import importlib.util
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]


def load(path):
    loader = importlib.machinery.SourceFileLoader(path.name.replace("-", "_"), str(path))
    module = importlib.util.module_from_spec(importlib.util.spec_from_loader(loader.name, loader))
    loader.exec_module(module)
    return module


docs = load(ROOT / "scripts" / "docs")

NATIVE, WINDOWS = "0x1111111111111111", "0x2222222222222222"
BITS = "0xbfff413797231106"  # a value's bits, printed by the self-test
ELECTED = {
    "native": ({"MatrixWorker": NATIVE}, {NATIVE, BITS}),
    "windows": ({"MatrixWorker": WINDOWS}, {WINDOWS, BITS}),
}
FENCE = "```"

# (what, document, problems expected)
CHECKS = [
    ("a pinned native digest", f"--expect-digest MatrixWorker={NATIVE}", 0),
    ("the Windows digest on a Wine line", f"on Wine it elects `MatrixWorker={WINDOWS}`", 0),
    ("a stale digest on a Wine line", "on Wine it elects `MatrixWorker=0x0b4419ed41501bfd`", 1),
    ("the Windows digest pinned for the native runner", f"--expect-digest MatrixWorker={WINDOWS}", 1),
    ("the native digest said of Windows", f"the Windows build elects MatrixWorker={NATIVE}", 1),
    ("a bare token nobody prints", "look for 0x3333333333333333 here", 1),
    ("a native block quoting the native digest",
     f"<!-- output: quarrion-stress -->\n{FENCE}\ndigest {NATIVE}\n{FENCE}", 0),
    ("a native block quoting the Windows digest",
     f"<!-- output: quarrion-stress --seconds 10 -->\n{FENCE}\ndigest {WINDOWS}\n{FENCE}", 1),
    ("a Windows block quoting the native digest",
     f"<!-- output: quarrion-stress.exe -->\n{FENCE}\n{NATIVE}\n{FENCE}", 1),
    ("a block of both runners quoting both",
     f"<!-- output: quarrion-stress; quarrion-stress.exe -->\n{FENCE}\n{NATIVE}\n{WINDOWS}\n{FENCE}", 0),
    ("a jq block quoting a digest nobody elects",
     f"<!-- output: jq . a.json -->\n{FENCE}json\n\"0x4444444444444444\"\n{FENCE}", 1),
    ("a self-test bit pattern", f"<!-- output: quarrion-stress --self-test -->\n{FENCE}\n({BITS})\n{FENCE}", 0),
    ("an unmarked block counts as prose", f"{FENCE}\nReference: 0x5555555555555555\n{FENCE}", 1),
]


class FakePrograms:
    """Prints a fixed text for every command, as the runners would."""

    def __init__(self, printed):
        self.printed = printed
        self.commands = []

    def run(self, command, folder):
        self.commands.append(command)
        return 0, self.printed, ""


# (what, document, printed by the command, document expected afterwards)
REGENERATIONS = [
    ("the output is replaced, the prompt and ellipsis kept",
     f"x\n<!-- output: quarrion-stress | tail -1 -->\n{FENCE}\n$ quarrion-stress\n...\nold\n{FENCE}\ny",
     "new 1\nnew 2\n",
     f"x\n<!-- output: quarrion-stress | tail -1 -->\n{FENCE}\n$ quarrion-stress\n...\nnew 1\nnew 2\n{FENCE}\ny"),
    ("a block without a prompt is all output",
     f"<!-- output: jq . r.json -->\n{FENCE}json\n{{}}\n{FENCE}", "{\n  \"a\": 1\n}\n",
     f"<!-- output: jq . r.json -->\n{FENCE}json\n{{\n  \"a\": 1\n}}\n{FENCE}"),
    ("pinned digests follow the runner each line names",
     "--expect-digest MatrixWorker=0x0000000000000000 \\\nunder Wine MatrixWorker=0x0000000000000000",
     "", f"--expect-digest MatrixWorker={NATIVE} \\\nunder Wine MatrixWorker={WINDOWS}"),
    ("text without markers is left alone", f"{FENCE}\n$ ls\nold\n{FENCE}", "new\n",
     f"{FENCE}\n$ ls\nold\n{FENCE}"),
]

HELP = """usage: quarrion-stress [--seconds N] [--json FILE]
                       [--quiet]
       quarrion-stress --self-test | --help

  --seconds N        run for N seconds
  --json FILE        write a report
                     to FILE

exit status: 0 no error,
             2 bad usage
"""
# (what, line expected in what help2man reads)
HELP_LINES = [
    ("wrapped usage is one line", "Usage: quarrion-stress [--seconds N] [--json FILE] [--quiet]"),
    ("a second form is an or: line", "  or:  quarrion-stress --self-test | --help"),
    ("the options get a heading", "Options:"),
    ("an option's wrapped text stays as it was", "                     to FILE"),
    ("a wrapped paragraph is joined", "exit status: 0 no error, 2 bad usage"),
]


class DocsTest(unittest.TestCase):
    def test_check_counts_every_wrong_quote(self):
        for what, text, expected in CHECKS:
            with self.subTest(what):
                _, problems = docs.check_text("doc.md", text, ELECTED)
                self.assertEqual(len(problems), expected, problems)

    def test_regenerate_rewrites_only_what_it_owns(self):
        digests = {build: found[0] for build, found in ELECTED.items()}
        for what, text, printed, expected in REGENERATIONS:
            with self.subTest(what), tempfile.TemporaryDirectory() as folder:
                self.assertEqual(docs.regenerate_text(text, FakePrograms(printed), digests, folder),
                                 expected)

    def test_help_is_reshaped_for_help2man(self):
        with tempfile.TemporaryDirectory() as folder:
            fake = Path(folder) / "quarrion-stress"
            fake.write_text("#!/bin/sh\ncat <<'END'\n" + HELP + "END\n")
            fake.chmod(0o755)
            shaped = subprocess.run([str(ROOT / "cmake" / "help-for-man"), str(fake), "--help"],
                                    capture_output=True, text=True, check=True).stdout
        lines = shaped.split("\n")
        for what, line in HELP_LINES:
            with self.subTest(what):
                self.assertIn(line, lines, shaped)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
