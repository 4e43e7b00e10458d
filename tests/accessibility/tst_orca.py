#!/usr/bin/env python3
"""What the Orca screen reader says in the Message Names dialog, driven from the keyboard
as a blind operator drives it: a set chosen, made, refused and deleted, each heard.

usage: tst_orca.py EXE

Starts its own Xvfb, a private D-Bus session with the accessibility bus, Orca with no
speech server (what it would say is read from its speech log) and EXE; stops each by its
PID. Exits 77 (skipped) only where the display, the accessibility bus or Orca cannot start.
"""
import os
import re
import signal
import subprocess
import sys
import tempfile
import time
import tty

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tst_atspi import INNER, LAUNCHER, PYTHON, Failure, check, outer, skip, start_panel, stop  # noqa: E402

# Orca as its own launcher starts it, less two things a test must not do: look for the
# user's other Orca processes (to kill them) and keep its words where only a debugger
# sees them. Each utterance goes to a file, a line each, as it is made.
ORCA = r'''
import logging, sys
log, prefs = sys.argv[1], sys.argv[2]
from orca import orca
handler = logging.FileHandler(log, encoding="utf-8")
handler.setFormatter(logging.Formatter("%(message)s"))
logging.getLogger("speech").addHandler(handler)
manager = orca.getSettingsManager()
manager.activate(prefs, {})
sys.path.insert(0, manager.getPrefsDir())
sys.exit(orca.main())
'''
SAID = re.compile(r"^SPEECH OUTPUT: '(.*?)'", re.M)


def inner(exe):
    if subprocess.run([PYTHON, "-c", "import importlib.util, sys; sys.exit(not importlib.util.find_spec('orca'))"], capture_output=True).returncode != 0:
        skip("Orca is missing (apt-get install orca)")
    work = tempfile.mkdtemp(prefix="tst_orca-")
    home = os.path.join(work, "home")
    os.makedirs(os.path.join(home, "prefs"))
    launcher = subprocess.Popen([LAUNCHER, "--launch-immediately", "--a11y=1", "--screen-reader=1"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    speech_log = os.path.join(work, "speech.log")
    orca_env = {k: v for k, v in os.environ.items() if not k.startswith(("XDG_", "SPEECHD_"))}
    # no speech server is reached, and none is started for it
    orca_env.update(HOME=home, SPEECHD_ADDRESS="unix_socket:" + os.path.join(work, "none.sock"),
                    SPEECHD_CMD=os.path.join(work, "none"))
    orca = subprocess.Popen([PYTHON, "-c", ORCA, speech_log, os.path.join(home, "prefs")], env=orca_env,
                            stdout=open(os.path.join(work, "orca.out"), "w"), stderr=subprocess.STDOUT)
    program = None
    master, slave = os.openpty()
    tty.setraw(slave)

    def said():
        try:
            with open(speech_log, encoding="utf-8", errors="replace") as f:
                return SAID.findall(f.read())
        except FileNotFoundError:
            return []

    def hear(words, seconds=20):
        """Waits until Orca has said `words` since the last call, and returns all it said."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if orca.poll() is not None:
                raise Failure("Orca ended:\n" + open(os.path.join(work, "orca.out")).read()[-2000:])
            heard = said()[hear.seen:]
            if any(words in line for line in heard):
                hear.seen += len(heard)
                return heard
            time.sleep(0.05)   # between reads of the log, not a wait for an outcome
        raise Failure("Orca did not say %r; it said %s" % (words, said()[hear.seen:]))
    hear.seen = 0

    def keys(*names):
        """Presses each key in turn; "type:TEXT" types TEXT."""
        for name in names:
            if name.startswith("type:"):
                subprocess.run(["xdotool", "type", "--delay", "100", name[5:]], check=True)
            else:
                subprocess.run(["xdotool", "key", "--delay", "250", name], check=True)

    try:
        try:
            hear("Screen reader on", 60)
        except Failure:
            skip("Orca did not start:\n" + open(os.path.join(work, "orca.out")).read()[-2000:])
        program = start_panel(exe, work, slave, b"[Default]\n1 4.1 QRZ\n[Contest]\n5 2.8 CQ contest\n",
                              subprocess.DEVNULL)
        window = subprocess.run(["xdotool", "search", "--sync", "--pid", str(program.pid), "--name",
                                 "^ORMA QX50 Voice Memory$"], capture_output=True, text=True, timeout=30).stdout.split()
        check(window, "the window is found on the display")
        # With no window manager, the window has the keyboard when it is given it.
        subprocess.run(["xdotool", "windowfocus", "--sync", window[0]], check=True)
        hear("ORMA QX50 Voice Memory frame")
        # Options, then Message Names: the items above it are fixed, so the count is too.
        keys("alt+o", "Down", "Down", "Down", "Down", "Down", "Return")
        hear("Message Names dialog")
        steps = (
            ("a set chosen", ["Down"], "Set Contest, 2 of 2"),
            ("a set made", ["alt+m", "type:Rag chew", "alt+n"], "Set Rag chew made, and in use"),
            ("a name refused", ["alt+m", "ctrl+a", "type:Contest", "alt+n"], "there is a set Contest already"),
            ("Delete asks", ["alt+d"], "Delete the set Rag chew? It holds no named memories."),
            ("a set deleted", ["alt+d"], "Set Rag chew deleted"),
        )
        for what, pressed, words in steps:
            try:
                keys(*pressed)
                hear(words)
            except Failure as failure:
                raise Failure("%s: %s" % (what, failure))
        print("PASS: the dialog heard through Orca")
        print("1 passed, 0 failed")
        return 0
    except Failure as failure:
        print("FAIL: %s" % failure)
        print("0 passed, 1 failed")
        return 1
    finally:
        stop(program)
        stop(orca)
        os.killpg(launcher.pid, signal.SIGTERM)
        launcher.wait()
        os.close(master)
        subprocess.run(["rm", "-rf", work])


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == INNER:
        sys.exit(inner(sys.argv[2]))
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(outer(os.path.abspath(sys.argv[1]), script=__file__, seconds=150))
