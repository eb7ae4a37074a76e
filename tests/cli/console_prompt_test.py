#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""tarnel-cli.exe asks for the password on the console, twice when sealing, without
echoing it, and seals exactly as with the same password from a file. A text file
changed while the prompt waits, even keeping its size and its second, is noticed:
nothing is written.

Usage: console_prompt_test.py EMULATOR... PROGRAM.exe
The console is Wine's, on a pseudo-terminal made here.
"""
import os
import pty
import re
import select
import shutil
import sys
import tempfile
import termios
import time

PASSWORD = b"quiet horse 7"


def read_until(fd, wanted, seen, timeout):
    """Reads from `fd` into `seen` until `wanted` shows up after what `seen` held."""
    start = len(seen)
    deadline = time.monotonic() + timeout
    while wanted not in seen[start:]:
        left = deadline - time.monotonic()
        if left <= 0:
            return False
        ready, _, _ = select.select([fd], [], [], left)
        if not ready:
            continue
        try:
            chunk = os.read(fd, 4096)
        except OSError:
            return False
        if not chunk:
            return False
        seen += chunk
    return True


def wait_for_raw_mode(fd, timeout):
    """Waits until Wine's console has the terminal in raw mode; typed before that,
    the terminal itself would echo the keys and turn Enter into a line feed."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if not termios.tcgetattr(fd)[3] & termios.ECHO:
            return True
        time.sleep(0.05)
    return False


def prompted_run(command, arguments, meanwhile=lambda: None):
    """Runs the program on a console and answers its prompts, after `meanwhile` has
    run at the first. Returns the exit status, what the console showed and whether
    both prompts came."""
    pid, fd = pty.fork()
    if pid == 0:
        os.execvp(command[0], command + arguments)
    seen = bytearray()
    ok = True
    for question in (b"Password:", b"Password again:"):
        if not read_until(fd, question, seen, 30):
            print("FAIL: no prompt %r; the console showed %r" % (question, bytes(seen)))
            ok = False
            break
        meanwhile()
        meanwhile = lambda: None
        wait_for_raw_mode(fd, 10)
        os.write(fd, PASSWORD + b"\r")
    read_until(fd, b"\0never", seen, 5)  # what comes until the program ends
    _, status = os.waitpid(pid, 0)
    return os.waitstatus_to_exitcode(status), seen, ok


def console_text(seen):
    """What the console showed, less its escape sequences and the breaks of long lines."""
    return re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]", b"", bytes(seen)).replace(b"\r\r\n", b"")


def read(path):
    return open(path, "rb").read() if os.path.exists(path) else b""


def main():
    command = sys.argv[1:]
    work = tempfile.mkdtemp(prefix="tarnel-console-")
    text = os.path.join(work, "text.txt")
    password_file = os.path.join(work, "password")
    with open(text, "wb") as out:
        out.write(b"Meet me at the station at noon.\r\n")
    with open(password_file, "wb") as out:
        out.write(PASSWORD + b"\n")

    expected = os.path.join(work, "expected.sealed")
    if os.spawnvp(os.P_WAIT, command[0],
                  command + ["--password-file", password_file, "-o", expected, text]) != 0:
        print("FAIL: sealing with a password file did not work")
        return 1

    prompted = os.path.join(work, "prompted.sealed")
    status, seen, ok = prompted_run(command, ["-o", prompted, text])
    failures = []
    if not ok:
        failures.append("the prompts did not come")
    if status != 0:
        failures.append("exit status %d" % status)
    if PASSWORD in seen:
        failures.append("the password was echoed: %r" % bytes(seen))
    with open(expected, "rb") as a:
        want = a.read()
    if read(prompted) != want:
        failures.append("sealed %r, with the password file %r" % (read(prompted), want))

    # A whole second and 100 ns, then half a second on: one second to a clock that
    # counts seconds.
    second = 1577836800 * 10**9
    os.utime(text, ns=(second, second + 100))
    kept = os.path.join(work, "kept.sealed")
    with open(kept, "wb") as out:
        out.write(b"old content")

    def change_text():
        with open(text, "r+b") as out:
            out.write(b"Meet me at the harbour at noon!")
        os.utime(text, ns=(second, second + 500_000_000))

    status, seen, _ = prompted_run(command, ["-o", kept, text], change_text)
    if status != 1 or (b"changed while it was read; nothing was written"
                            not in console_text(seen)):
        failures.append("a text changed in its second: exit status %d, the console showed %r"
                        % (status, bytes(seen)))
    if read(kept) != b"old content":
        failures.append("a text changed in its second was written: %r" % read(kept))
    shutil.rmtree(work, ignore_errors=True)
    for failure in failures:
        print("FAIL:", failure)
    if not failures:
        print("console prompt: 2 passed, 0 failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
