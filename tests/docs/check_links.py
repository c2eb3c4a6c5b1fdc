#!/usr/bin/env python3
"""Checks the relative links of Markdown files: each names a file that exists and, after a '#',
a heading of that file (its anchor as GitHub makes it) or an element with that id or name.

    check_links.py FILE.md|FOLDER ...    (a folder: the .md files in it)

Prints one line per broken link, FILE:LINE: TARGET and why, then a count, and exits with status 1
if there is any. Links to web addresses are not followed; links inside code are not links."""
import functools
import glob
import os
import re
import sys

LINK = re.compile(r"!?\[(?:[^\]\\]|\\.)*\]\(\s*<?([^)\s>]*)>?(?:\s+\"[^\"]*\")?\s*\)")
REFERENCE = re.compile(r"^\s{0,3}\[[^\]]+\]:\s*<?(\S+?)>?(?:\s+\"[^\"]*\")?\s*$")
HEADING = re.compile(r"^\s{0,3}#{1,6}\s+(.*?)\s*#*\s*$")
FENCE = re.compile(r"^\s{0,3}(```|~~~)")
HTML_ID = re.compile(r"<[^>]*\s(?:id|name)=\"([^\"]+)\"")


def prose_lines(path):
    """(line number, line, line with its code spans blanked) of the lines outside fenced code."""
    with open(path, encoding="utf-8") as f:
        fence = None
        for number, line in enumerate(f, 1):
            opening = FENCE.match(line)
            if opening:
                if fence is None:
                    fence = opening.group(1)
                elif opening.group(1) == fence:
                    fence = None
                continue
            if fence is None:
                yield number, line, re.sub(r"`[^`]*`", lambda m: " " * len(m.group(0)), line)


def slug(heading):
    """GitHub's anchor of a heading: lower case, markup and punctuation dropped, spaces as '-'."""
    text = re.sub(r"!?\[([^\]]*)\]\([^)]*\)", r"\1", heading)  # a link keeps its text
    text = re.sub(r"<[^>]+>", "", text).lower()
    return "".join(c for c in text if c.isalnum() or c in " -_").replace(" ", "-")


@functools.lru_cache(maxsize=None)
def anchors(path):
    """Every anchor of a Markdown file; a repeated heading gets -1, -2, ... as on GitHub."""
    with open(path, encoding="utf-8") as f:
        found = set(HTML_ID.findall(f.read()))
    seen = {}
    for _, line, _ in prose_lines(path):
        heading = HEADING.match(line)
        if heading:
            base = slug(heading.group(1))
            found.add(base if base not in seen else f"{base}-{seen[base]}")
            seen[base] = seen.get(base, 0) + 1
    return found


def broken_links(path):
    for number, _, prose in prose_lines(path):
        targets = LINK.findall(prose)
        reference = REFERENCE.match(prose)
        if reference:
            targets.append(reference.group(1))
        for target in targets:
            if not target or re.match(r"^[a-z][a-z0-9+.-]*:", target, re.I):
                continue  # a web address or a mail link
            file_part, _, anchor = target.partition("#")
            linked = path
            if file_part:
                linked = os.path.normpath(os.path.join(os.path.dirname(path), file_part))
            if not os.path.exists(linked):
                yield f"{path}:{number}: {target}: no file {linked}"
            elif anchor and not linked.endswith(".md"):
                yield f"{path}:{number}: {target}: an anchor into a file that is not Markdown"
            elif anchor and anchor not in anchors(linked):
                yield f"{path}:{number}: {target}: {linked} has no heading '#{anchor}'"


def main():
    paths = []
    for argument in sys.argv[1:]:
        paths += sorted(glob.glob(os.path.join(argument, "*.md"))) if os.path.isdir(argument) \
            else [argument]
    problems = [problem for path in paths for problem in broken_links(path)]
    for problem in problems:
        print(problem)
    print(f"{len(paths)} files, {len(problems)} broken links")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
