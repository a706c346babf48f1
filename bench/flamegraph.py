#!/usr/bin/env python3
"""Folds the stacks of `perf script` output and draws them as a flame graph (SVG).

    flamegraph.py PERF_SCRIPT_TEXT --svg OUT.svg [--folded OUT.folded] [--title T] [--top N]

Prints the functions with the most samples of their own (self) and with the most samples in
which they appear anywhere on the stack (inclusive), and the self samples per shared object.
Function names lose their argument lists and template arguments, so that one function is one
box however it was instantiated.
"""

import argparse
import collections
import html
import re
import sys
import zlib

FRAME = re.compile(r"^\s*[0-9a-f]+\s+(.*?)\s+\((.*)\)\s*$")


def short_name(symbol):
    """The function's name without offsets, argument lists and template arguments."""
    symbol = re.sub(r"\+0x[0-9a-f]+$", "", symbol)
    out, depth = [], 0
    for c in symbol:
        if c in "(<":
            depth += 1
        elif c in ")>":
            depth = max(0, depth - 1)
        elif depth == 0:
            out.append(c)
    name = "".join(out).strip() or symbol
    # A return type before the name ("void kestrin::f") adds nothing.
    if " " in name and not name.startswith("operator"):
        name = name.rsplit(" ", 1)[-1] or name
    return name


def read_stacks(path):
    """Yields (frames root first, shared objects root first) for every sample."""
    frames, objects = [], []
    with open(path, errors="replace") as f:
        for line in f:
            if not line.strip():
                if frames:
                    yield frames[::-1], objects[::-1]
                frames, objects = [], []
                continue
            m = FRAME.match(line)
            if not m:
                continue  # the sample's header line
            symbol, dso = m.group(1), m.group(2)
            if symbol == "[unknown]":
                symbol = "[" + dso.rsplit("/", 1)[-1] + "]"
            frames.append(short_name(symbol))
            objects.append(dso.rsplit("/", 1)[-1])
    if frames:
        yield frames[::-1], objects[::-1]


def color(name):
    h = zlib.crc32(name.encode())
    if name.startswith("kestrin::shop"):
        base = (80, 160, 220)
    elif name.startswith("kestrin"):
        base = (230, 120, 40)
    elif name.startswith("sqlite3") or name.startswith("PQ") or name.startswith("pq"):
        base = (200, 190, 50)
    else:
        base = (220, 80, 60)
    r, g, b = (min(255, max(0, c + (h >> s) % 50 - 25)) for c, s in zip(base, (0, 8, 16)))
    return f"rgb({r},{g},{b})"


def draw(folded, total, title, out):
    tree = {}
    for stack, count in folded.items():
        node = tree
        for name in stack:
            entry = node.setdefault(name, [0, {}])
            entry[0] += count
            node = entry[1]
    width, row = 1200.0, 16
    depth = max((len(s) for s in folded), default=0)
    height = (depth + 3) * row
    parts = [
        f'<svg xmlns="http://www.w3.org/2000/svg" width="{int(width)}" height="{height}" '
        f'font-family="monospace" font-size="11">',
        f'<text x="{width / 2}" y="14" text-anchor="middle" font-size="14">'
        f"{html.escape(title)} ({total} samples)</text>",
    ]

    def walk(node, x, level):
        for name, (count, children) in sorted(node.items()):
            w = count / total * width
            if w >= 0.2:
                y = height - (level + 1) * row
                label = html.escape(name)
                pct = 100.0 * count / total
                parts.append(
                    f'<g><title>{label} ({count} samples, {pct:.2f}%)</title>'
                    f'<rect x="{x:.2f}" y="{y}" width="{w:.2f}" height="{row - 1}" '
                    f'fill="{color(name)}" rx="2"/>'
                )
                chars = int(w / 7)
                if chars >= 3:
                    text = name if len(name) <= chars else name[: chars - 2] + ".."
                    parts.append(
                        f'<text x="{x + 3:.2f}" y="{y + row - 4}">{html.escape(text)}</text>'
                    )
                parts.append("</g>")
                walk(children, x, level + 1)
            x += w

    walk(tree, 0.0, 0)
    parts.append("</svg>")
    with open(out, "w") as f:
        f.write("\n".join(parts) + "\n")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("script")
    ap.add_argument("--svg", required=True)
    ap.add_argument("--folded")
    ap.add_argument("--title", default="flame graph")
    ap.add_argument("--top", type=int, default=25)
    args = ap.parse_args()

    folded = collections.Counter()
    own = collections.Counter()
    inclusive = collections.Counter()
    by_object = collections.Counter()
    total = 0
    for frames, objects in read_stacks(args.script):
        total += 1
        folded[tuple(frames)] += 1
        own[frames[-1]] += 1
        by_object[objects[-1]] += 1
        for name in set(frames):
            inclusive[name] += 1
    if not total:
        sys.exit("flamegraph.py: no samples in " + args.script)
    if args.folded:
        with open(args.folded, "w") as f:
            for stack, count in folded.most_common():
                f.write(";".join(stack) + f" {count}\n")
    draw(folded, total, args.title, args.svg)

    def table(heading, counter):
        print(heading)
        for name, count in counter.most_common(args.top):
            print(f"  {100.0 * count / total:6.2f}%  {name}")

    print(f"{total} samples")
    table("self, by shared object:", by_object)
    table("self, by function:", own)
    table("inclusive, by function:", inclusive)


if __name__ == "__main__":
    main()
