#!/usr/bin/env python3
"""The C++ blocks of the embedding guide, for the tests that check them.

Every ```cpp block of the page follows a mark, `<!-- embed-test: NAME -->`:
- NAME `quoted`: the block quotes the example host; a line `...` stands for
  left-out lines. Each run of lines must appear, in order, in that source.
- any other NAME: the block is compiled into the host of tests/docs and
  written to OUTDIR/NAME.inc for it to include.

Usage: embedding_blocks.py extract PAGE OUTDIR
       embedding_blocks.py quotes PAGE SOURCE
"""
import os
import re
import sys

MARK = re.compile(r"^<!--\s*embed-test:\s*([A-Za-z0-9_-]+)\s*-->\s*$")


def read_blocks(page):
    """(line, name, lines) for each ```cpp block; exits on a block without a mark."""
    with open(page, encoding="utf-8") as f:
        text = f.read().split("\n")
    blocks, problems = [], []
    i = 0
    while i < len(text):
        line = text[i]
        if line.startswith("```"):
            is_cpp = line.strip() == "```cpp"
            start = i
            i += 1
            body = []
            while i < len(text) and not text[i].startswith("```"):
                body.append(text[i])
                i += 1
            if i == len(text):
                problems.append(f"{page}:{start + 1}: unclosed code block")
            if is_cpp:
                mark = MARK.match(text[start - 1]) if start > 0 else None
                if not mark:
                    problems.append(f"{page}:{start + 1}: C++ block without an embed-test mark")
                else:
                    blocks.append((start + 1, mark.group(1), body))
        i += 1
    if problems:
        print("\n".join(problems))
        sys.exit(1)
    return blocks


def extract(page, outdir):
    os.makedirs(outdir, exist_ok=True)
    seen = set()
    for line, name, body in read_blocks(page):
        if name == "quoted":
            continue
        if name in seen:
            print(f"{page}:{line}: a second block named {name}")
            sys.exit(1)
        seen.add(name)
        content = f"// From {os.path.basename(page)}, line {line}.\n" + "\n".join(body) + "\n"
        with open(os.path.join(outdir, name + ".inc"), "w", encoding="utf-8") as f:
            f.write(content)


def check_quotes(page, source):
    with open(source, encoding="utf-8") as f:
        code = [line.strip() for line in f.read().split("\n")]
    quoted = [(line, body) for line, name, body in read_blocks(page) if name == "quoted"]
    if not quoted:
        print(f"{page}: no quoted blocks")
        return 1
    failures = 0
    for line, body in quoted:
        pieces, piece = [], []
        for offset, text in enumerate(body):
            if text.strip() == "...":
                pieces.append(piece)
                piece = []
            else:
                piece.append((line + 1 + offset, text.strip()))
        pieces.append(piece)
        position = 0
        for piece in pieces:
            if not piece:
                continue
            wanted = [text for _, text in piece]
            found = next((at for at in range(position, len(code) - len(wanted) + 1)
                          if code[at:at + len(wanted)] == wanted), None)
            if found is None:
                print(f"{page}:{piece[0][0]}: lines {piece[0][0]}-{piece[-1][0]} are not in "
                      f"{os.path.basename(source)} as quoted (or not in this order)")
                failures += 1
                break
            position = found + len(wanted)
    print(f"{len(quoted)} quoted blocks, {failures} not matching {source}")
    return 1 if failures else 0


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in ("extract", "quotes"):
        print(__doc__.strip().split("\n\n")[-1], file=sys.stderr)
        return 2
    if sys.argv[1] == "extract":
        extract(sys.argv[2], sys.argv[3])
        return 0
    return check_quotes(sys.argv[2], sys.argv[3])


if __name__ == "__main__":
    sys.exit(main())
