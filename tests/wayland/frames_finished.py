#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Reads a Wayland client's protocol log (WAYLAND_DEBUG=client) and reports every
surface destroyed while a frame it asked for was still unanswered.

Qt 6.4's Wayland client answers a frame on a thread of its own, without the lock that
destroying the window takes: a window that goes while its frame is pending may abort
the program or write into freed memory. tarnel's windows wait for their last frame
before they go, and this check holds them to it at every window that closes.

Usage: frames_finished.py LOG
"""
import re
import sys

FRAME = re.compile(r"-> wl_surface@(\d+)\.frame\(new id wl_callback@(\d+)\)")
DONE = re.compile(r"^\[\s*[\d.]+\]\s+(?:\{[^}]*\}\s+)?wl_callback@(\d+)\.done\(")
DESTROY = re.compile(r"-> wl_surface@(\d+)\.destroy\(\)")


def main(path):
    pending = {}  # callback id -> surface id, for frames not yet answered
    destroyed = 0
    early = []
    with open(path, errors="replace") as log:
        for number, line in enumerate(log, 1):
            if m := FRAME.search(line):
                pending[m.group(2)] = m.group(1)
            elif m := DONE.search(line):
                pending.pop(m.group(1), None)
            elif m := DESTROY.search(line):
                destroyed += 1
                surface = m.group(1)
                waiting = [c for c, s in pending.items() if s == surface]
                if waiting:
                    early.append(f"line {number}: wl_surface@{surface} destroyed with its frame "
                                 f"wl_callback@{waiting[-1]} unanswered")
                for callback in waiting:
                    del pending[callback]
    if destroyed == 0:
        print("frames_finished: no surface was destroyed; is this a Wayland client's log?")
        return 1
    for message in early[:20]:
        print(message)
    print(f"frames_finished: {destroyed} surfaces destroyed, {len(early)} with a frame unanswered")
    return 1 if early else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
