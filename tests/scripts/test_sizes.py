#!/usr/bin/env python3
"""Keeps the source readable in pieces: no file of src/ over 600 lines, no function over 80.

A function is a definition that starts at the left margin (a line with '(' that is no
declaration, comment or preprocessor line) and ends at the next '}' at the left margin, as
the tree's formatting writes them; a class body is not counted as a function."""
import os
import sys
import unittest

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
MAX_FILE_LINES = 600
MAX_FUNCTION_LINES = 80


def long_functions(lines, limit):
    """(first line, length, head) of each function longer than `limit` lines."""
    found = []
    i = 0
    while i < len(lines):
        line = lines[i]
        starts = (line and not line[0].isspace() and "(" in line
                  and not line.startswith(("//", "#", "namespace", "}", "class ", "struct "))
                  and not line.rstrip().endswith(";"))
        if starts:
            j = i
            while j < len(lines) and j < i + 6 and "{" not in lines[j] and not lines[j].rstrip().endswith(";"):
                j += 1
            if j < len(lines) and "{" in lines[j] and not lines[j].rstrip().endswith("}"):
                k = j + 1
                while k < len(lines) and not lines[k].startswith("}"):
                    k += 1
                if k - i + 1 > limit:
                    found.append((i + 1, k - i + 1, line.strip()[:80]))
                i = k
        i += 1
    return found


def sources():
    for folder, _, names in os.walk(os.path.join(ROOT, "src")):
        for name in sorted(names):
            if name.endswith((".cpp", ".h")):
                path = os.path.join(folder, name)
                with open(path, encoding="utf-8", errors="replace") as f:
                    yield os.path.relpath(path, ROOT), f.read().split("\n")


class Sizes(unittest.TestCase):
    def test_the_counter_finds_a_long_function_and_passes_short_ones(self):
        body = ["int Long(int a) {"] + ["  a += 1;"] * 80 + ["}", "", "int Short() {", "  return 1;", "}"]
        self.assertEqual([(1, 82, "int Long(int a) {")], long_functions(body, 80))
        self.assertEqual([], long_functions(body[-3:], 80))

    def test_no_source_file_is_over_the_limit(self):
        over = [f"{p}: {len(lines) - 1} lines" for p, lines in sources() if len(lines) - 1 > MAX_FILE_LINES]
        self.assertEqual([], over)

    def test_no_function_is_over_the_limit(self):
        over = [f"{p}:{at}: {n} lines: {head}" for p, lines in sources()
                for at, n, head in long_functions(lines, MAX_FUNCTION_LINES)]
        self.assertEqual([], over)


if __name__ == "__main__":
    sys.exit(unittest.main())
