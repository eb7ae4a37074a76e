#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Two builds of tarnel-cli seal alike and open each other's sealed texts.

Usage: sealed_alike.py [--seed N] NATIVE-CLI -- COMMAND...
COMMAND starts the other build, e.g. an emulator and its tarnel-cli. Random texts
in several scripts, from empty to a few MB, each with a random password: both
must seal it to the same sealed text, each must open the other's, and an opened
text must be the text as sealing keeps it (trimmed, its line breaks as LF). A
few random byte strings go the same way with --bytes.
"""
import argparse
import os
import random
import subprocess
import sys
import tempfile
import time

# Letters of each script, as ranges of code points.
SCRIPTS = {
    "latin": [(0x61, 0x7A), (0xE0, 0xFF), (0x100, 0x17F)],
    "greek": [(0x3B1, 0x3C9)],
    "cyrillic": [(0x430, 0x44F)],
    "hebrew": [(0x5D0, 0x5EA)],
    "arabic": [(0x627, 0x64A)],
    "devanagari": [(0x915, 0x939), (0x93E, 0x94C)],
    "thai": [(0xE01, 0xE2E)],
    "han": [(0x4E00, 0x9FFF)],
    "hangul": [(0xAC00, 0xD7A3)],
    "emoji": [(0x1F300, 0x1F5FF), (0x1F600, 0x1F64F)],
}

# Sizes around the cipher's 32-byte block and the stream's buffers, up to a few MB.
SIZES = [0, 1, 31, 32, 33, 100, 4096, 65535, 65537, 300_000, 1_000_000, 3_000_000]


def random_word(rng, ranges):
    low, high = rng.choice(ranges)
    return "".join(chr(rng.randint(low, high)) for _ in range(rng.randint(1, 9)))


def random_text(rng, script, size):
    """About `size` bytes of UTF-8 words of `script`, with spaces and line breaks (LF
    and CR LF) between them and, now and then, around them."""
    ranges = SCRIPTS[script]
    # Words drawn from a vocabulary, as in a real text (and quickly, for the large ones).
    vocabulary = [random_word(rng, ranges).encode() for _ in range(400)]
    count = size // 8 + 1
    words = rng.choices(vocabulary, k=count)
    gaps = rng.choices([b" ", b"\n", b"\r\n", b", "], weights=[8, 2, 2, 1], k=count)
    text = rng.choice([b"", b" ", b"\n", b"\r\n \t"]) + b"".join(
        word + gap for word, gap in zip(words, gaps))
    while len(text) < size:
        text += text
    # Cut at a character's start: the text stays UTF-8.
    return text[:size].decode("utf-8", "ignore").encode()


def random_password(rng):
    alphabet = [chr(c) for c in range(0x21, 0x7F)] + list("äöüßéñçøåЖжЯλπ字한 ")
    return "".join(rng.choice(alphabet) for _ in range(rng.randint(1, 24)))


# Sealing trims these from both ends, of a text and of exact bytes alike.
WHITE_SPACE = b" \t\n\v\f\r"


def kept(data, extra):
    """What opening gives back: the sealed bytes trimmed; a UTF-8 text with LF line breaks."""
    trimmed = data.strip(WHITE_SPACE)
    return trimmed if "--bytes" in extra else trimmed.replace(b"\r\n", b"\n")


class Runner:
    def __init__(self, work):
        self.work = work

    def run(self, command, password, data, extra):
        password_file = os.path.join(self.work, "password")
        with open(password_file, "wb") as out:
            out.write(password.encode() + b"\n")
        result = subprocess.run(
            command + ["--password-file", password_file] + extra,
            input=data, capture_output=True, timeout=600, check=False)
        return result.returncode, result.stdout


def check_case(runner, native, other, password, data, extra, name):
    """Returns a list of what went wrong with one text."""
    problems = []
    sealed_native = runner.run(native, password, data, ["--seal"] + extra)
    sealed_other = runner.run(other, password, data, ["--seal"] + extra)
    if sealed_native != sealed_other:
        problems.append(f"{name}: sealed otherwise (exit {sealed_native[0]} and {sealed_other[0]}, "
                        f"{len(sealed_native[1])} and {len(sealed_other[1])} bytes)")
        return problems
    status, sealed = sealed_native
    if status != 0:
        # Every text here holds no zero byte, and even an empty one seals.
        problems.append(f"{name}: both refused to seal it (exit {status})")
        return problems
    expected = kept(data, extra)
    for opener, label in ((other, "the other build"), (native, "the native build")):
        opened_status, opened = runner.run(opener, password, sealed, ["--open"] + extra)
        if opened_status != 0 or opened != expected:
            problems.append(f"{name}: {label} opened it to {len(opened)} bytes, exit "
                            f"{opened_status}, not the {len(expected)} bytes sealed")
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("native")
    parser.add_argument("other", nargs="+")
    args = parser.parse_args()
    seed = args.seed if args.seed is not None else random.SystemRandom().randrange(1 << 32)
    rng = random.Random(seed)
    print(f"sealed_alike: seed {seed}")

    cases = []
    scripts = list(SCRIPTS)
    for size in SIZES:
        script = rng.choice(scripts)
        cases.append((f"{script} text of {size} bytes", random_text(rng, script, size), []))
    # Every script at least once, at a size of its own.
    for script in scripts:
        size = rng.randint(200, 20_000)
        cases.append((f"{script} text of {size} bytes", random_text(rng, script, size), []))
    for size in (0, 33, 70_000):
        # No zero byte, which tarnel-cli refuses to seal.
        data = bytes(rng.choices(range(1, 256), k=size))
        cases.append((f"{size} random bytes", data, ["--bytes"]))

    failed = 0
    start = time.monotonic()
    with tempfile.TemporaryDirectory(prefix="tarnel-alike-") as work:
        runner = Runner(work)
        for name, data, extra in cases:
            problems = check_case(runner, [args.native], args.other, random_password(rng), data,
                                  extra, name)
            for problem in problems:
                print("FAIL:", problem, file=sys.stderr)
            failed += bool(problems)
    print(f"sealed_alike: {len(cases)} texts in {time.monotonic() - start:.0f} s, seed {seed}")
    print(f"{len(cases) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
