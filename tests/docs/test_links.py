#!/usr/bin/python3
"""Every relative link in README.md and docs/*.md resolves: the file it names exists (relative to
the page), and a #fragment names a heading of the page it points to. Links to other sites are not
followed. Code (fenced blocks and `spans`) is not read for links.

Usage: test_links.py [REPOSITORY]     (default: the repository this file is in)
"""
import os
import re
import sys
import tempfile
import unittest

ROOT = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", ".."))
LINK = re.compile(r"!?\[(?:[^\]\[]|\[[^\]]*\])*\]\(\s*<?([^)\s>]+)>?(?:\s+\"[^\"]*\")?\s*\)")
HTML = re.compile(r"<(?:img|a)\s[^>]*(?:src|href)=\"([^\"]+)\"", re.I)


def prose(text):
    """The page without its code: fenced blocks and inline code spans blanked."""
    text = re.sub(r"^(```|~~~).*?^\1[^\n]*$", "", text, flags=re.M | re.S)
    return re.sub(r"`[^`\n]*`", "", text)


def anchors(path):
    """The fragments a page's headings answer to, as GitHub makes them."""
    found = set()
    with open(path, encoding="utf-8") as f:
        for line in prose(f.read()).splitlines():
            m = re.match(r"#{1,6}\s+(.*?)\s*#*\s*$", line)
            if m:
                slug = re.sub(r"[^\w\- ]", "", m.group(1).lower()).replace(" ", "-")
                n, base = 1, slug
                while slug in found:
                    slug, n = "%s-%d" % (base, n), n + 1
                found.add(slug)
    return found


def broken_links(page):
    """(target, why) for each relative link of the page that does not resolve."""
    with open(page, encoding="utf-8") as f:
        text = prose(f.read())
    out = []
    for target in LINK.findall(text) + HTML.findall(text):
        if re.match(r"^[a-z][a-z0-9+.-]*:", target, re.I):  # http:, https:, mailto:
            continue
        path, _, fragment = target.partition("#")
        where = os.path.normpath(os.path.join(os.path.dirname(page), path)) if path else page
        if not os.path.exists(where):
            out.append((target, "no such file"))
        elif fragment and where.endswith(".md") and fragment not in anchors(where):
            out.append((target, "no such heading"))
    return out


def pages(root):
    docs = os.path.join(root, "docs")
    found = [os.path.join(root, "README.md")]
    if os.path.isdir(docs):
        found += sorted(os.path.join(docs, n) for n in os.listdir(docs) if n.endswith(".md"))
    return [p for p in found if os.path.exists(p)]


class Links(unittest.TestCase):
    def test_every_relative_link_of_readme_and_docs_resolves(self):
        found = pages(ROOT)
        self.assertIn(os.path.join(ROOT, "README.md"), found)
        broken = ["%s: %s (%s)" % (os.path.relpath(p, ROOT), t, why) for p in found for t, why in broken_links(p)]
        self.assertEqual(broken, [])

    def test_a_missing_file_or_heading_is_found_and_code_is_not_read(self):
        with tempfile.TemporaryDirectory() as d:
            os.mkdir(os.path.join(d, "docs"))
            with open(os.path.join(d, "docs", "b.md"), "w") as f:
                f.write("# Running a server\n## Backups\n```\n# not a heading\n```\n")
            page = os.path.join(d, "README.md")
            with open(page, "w") as f:
                f.write("[b](docs/b.md) [backups](docs/b.md#backups) [site](https://example.org/x)\n"
                        "![pic](docs/gone.png) [gone](docs/gone.md) [bad](docs/b.md#not-a-heading)\n"
                        "[heading in code](docs/b.md#not-a-heading-either) <img src=\"docs/none.png\">\n"
                        "[own](#running) `[code](docs/none.md)`\n"
                        "```\n[in a block](docs/none.md)\n```\n")
            self.assertEqual(sorted(t for t, _ in broken_links(page)),
                             ["#running", "docs/b.md#not-a-heading", "docs/b.md#not-a-heading-either",
                              "docs/gone.md", "docs/gone.png", "docs/none.png"])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=1)
