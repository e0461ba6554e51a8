#!/usr/bin/python3
"""Checks question files (CSV: INPUT,A,B,C,D,E) for the testing program.

Usage: check_questions.py FILE.csv [FILE.csv ...]
Each file must be UTF-8 without BOM with LF line ends, parse as CSV, have the
header INPUT,A,B,C,D,E, and every row must hold a question of at most 200
characters and five distinct non-empty answers of at most 100 characters, all
encodable in Windows-1251. Questions must not repeat across the given files.
Exits with status 1 and lists the problems when any check fails.
"""
import csv
import io
import sys

HEADER = ["INPUT", "A", "B", "C", "D", "E"]
MAX_QUESTION = 200
MAX_ANSWER = 100


def check_file(path, seen, problems):
    raw = open(path, "rb").read()
    if raw.startswith(b"\xef\xbb\xbf"):
        problems.append(f"{path}: starts with a BOM")
    if b"\r" in raw:
        problems.append(f"{path}: contains CR characters (need LF line ends)")
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError as e:
        problems.append(f"{path}: not valid UTF-8: {e}")
        return 0
    try:
        text.encode("cp1251")
    except UnicodeEncodeError as e:
        problems.append(f"{path}: not encodable in cp1251: {e}")
    rows = list(csv.reader(io.StringIO(text, newline=""), strict=True))
    if not rows or rows[0] != HEADER:
        problems.append(f"{path}: header must be {','.join(HEADER)}")
        return 0
    count = 0
    for line, row in enumerate(rows[1:], start=2):
        where = f"{path}: row {line}"
        if len(row) != 6:
            problems.append(f"{where}: {len(row)} fields instead of 6")
            continue
        count += 1
        question, answers = row[0], row[1:]
        if not question.strip():
            problems.append(f"{where}: empty question")
        if len(question) > MAX_QUESTION:
            problems.append(f"{where}: question longer than {MAX_QUESTION}")
        for answer in answers:
            if not answer.strip():
                problems.append(f"{where}: empty answer")
            if len(answer) > MAX_ANSWER:
                problems.append(f"{where}: answer longer than {MAX_ANSWER}: {answer}")
        if len({a.strip().casefold() for a in answers}) != 5:
            problems.append(f"{where}: answers not pairwise different")
        key = question.strip().casefold()
        if key in seen:
            problems.append(f"{where}: question repeats {seen[key]}")
        seen[key] = where
    return count


def main(paths):
    if not paths:
        print(__doc__.strip())
        return 2
    problems, seen = [], {}
    for path in paths:
        print(f"{path}: {check_file(path, seen, problems)} questions")
    for p in problems:
        print(p)
    print("OK" if not problems else f"{len(problems)} problem(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
