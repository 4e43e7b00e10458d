#!/usr/bin/env python3
"""The window as a screen reader sees it over AT-SPI: the tree of roles and names,
and the announcements while a unit on a pseudo-terminal answers.

usage: tst_atspi.py EXE

Starts its own Xvfb (a free display of its choosing), a private D-Bus session with
the accessibility bus, and EXE with COM1 on a pseudo-terminal; stops each by its
PID. Exits 77 (skipped) only where the display or the accessibility bus cannot start.
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import tty

SKIP = 77
INNER = "--inner"
PYTHON = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable
LAUNCHER = "/usr/libexec/at-spi-bus-launcher"


def skip(why):
    print("SKIP: " + why)
    sys.exit(SKIP)


def reachable(display, seconds=10):
    """Whether X clients can connect to the display's socket within the time."""
    import socket
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        with socket.socket(socket.AF_UNIX) as s:
            try:
                s.connect("/tmp/.X11-unix/X" + display)
                return True
            except OSError:
                time.sleep(0.05)   # between polls, not a wait for an outcome
    return False


def outer(exe, script=__file__, seconds=240):
    """Runs `script --inner exe` on a private Xvfb display, in a private D-Bus session."""
    for tool in ("Xvfb", "dbus-run-session", "xdotool"):
        if not shutil.which(tool):
            skip("%s is missing (apt-get install xvfb dbus xdotool)" % tool)
    if not os.path.exists(LAUNCHER):
        skip("%s is missing (apt-get install at-spi2-core)" % LAUNCHER)
    if subprocess.run([PYTHON, "-c", "import gi; gi.require_version('Atspi', '2.0')"],
                      capture_output=True).returncode != 0:
        skip("the Atspi bindings are missing (apt-get install python3-pyatspi)")
    # Displays far above the usual ones, so that other servers on this machine are not met;
    # -noreset, since the server would reset when the probe of its socket lets go.
    xvfb, display = None, ""
    for number in range(200 + os.getpid() % 500, 220 + os.getpid() % 500):
        read_end, write_end = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", ":%d" % number, "-displayfd", str(write_end), "-screen", "0",
                                 "1024x768x24", "-nolisten", "tcp", "-noreset"], pass_fds=(write_end,),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as announced:   # the number, once it is ready; nothing if taken
            display = announced.readline().strip()
        if display and reachable(display):
            break
        xvfb.terminate()
        xvfb.wait()
        display = ""
    try:
        if not display:
            skip("Xvfb did not start")
        env = dict(os.environ, DISPLAY=":" + display)
        env.pop("NO_AT_BRIDGE", None)
        session = subprocess.Popen(["dbus-run-session", "--", PYTHON, os.path.abspath(script), INNER, exe],
                                   env=env)
        try:
            return session.wait(timeout=seconds)
        except subprocess.TimeoutExpired:
            session.kill()
            session.wait()
            print("FAIL: the test did not finish in %d s" % seconds)
            return 1
    finally:
        xvfb.terminate()
        xvfb.wait()


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)


def stop(process):
    """Ends a process the test started, if it runs: asked first, killed after 10 s."""
    if process is None or process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(timeout=10)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def start_panel(exe, work, unit_end, messages, output):
    """EXE in the folder `work` with COM1 on the pseudo-terminal `unit_end` and no other port,
    and a configuration folder of its own whose messages file holds `messages`."""
    with open(os.path.join(work, os.path.basename(exe) + ".ini"), "wb") as f:
        f.write(b"COM1:9600,N,8,1")
    os.makedirs(os.path.join(work, "orma-qx50-voice-mem"))
    with open(os.path.join(work, "orma-qx50-voice-mem", "messages.conf"), "wb") as f:
        f.write(messages)
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb", XDG_CONFIG_HOME=work,
               QX50_COM1=os.ttyname(unit_end), QX50_COM2="/nonexistent/2", QX50_COM3="/nonexistent/3",
               QX50_COM4="/nonexistent/4")
    return subprocess.Popen([exe], cwd=work, env=env, stdout=output, stderr=subprocess.STDOUT)


def inner(exe):
    import gi
    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi, GLib

    work = tempfile.mkdtemp(prefix="tst_atspi-")
    launcher = subprocess.Popen([LAUNCHER, "--launch-immediately", "--a11y=1"], stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, start_new_session=True)   # its bus joins the group
    program = None
    master, slave = os.openpty()
    tty.setraw(slave)
    os.set_blocking(master, False)
    context = GLib.MainContext.default()

    def pump_until(condition, seconds, what):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            while context.pending():
                context.iteration(False)
            if condition():
                return
            context.iteration(False)
            time.sleep(0.01)   # between polls of the bus, not a wait for an outcome
        raise Failure("no %s within %d s" % (what, seconds))

    try:
        log = open(os.path.join(work, "program.log"), "w+")
        program = start_panel(exe, work, slave, b"[Contest]\n5 2.8 CQ contest\n", log)   # memory 5 named

        app = [None]

        def find_app():
            if program.poll() is not None:
                return True   # ended: told below
            try:
                desktop = Atspi.get_desktop(0)
                for i in range(desktop.get_child_count()):
                    a = desktop.get_child_at_index(i)
                    if a is not None and a.get_process_id() == program.pid and a.get_child_count() > 0:
                        app[0] = a
                        return True
            except GLib.Error:
                pass
            return False

        try:
            pump_until(find_app, 30, "application on the accessibility bus")
        except Failure:
            skip("the accessibility bus did not answer")
        if program.poll() is not None:
            log.seek(0)
            raise Failure("the program ended at start-up with status %d:\n%s" % (program.returncode, log.read()))

        # --- the tree -------------------------------------------------------------------
        nodes = []

        def walk(node):
            nodes.append(node)
            for i in range(node.get_child_count()):
                child = node.get_child_at_index(i)
                if child is not None:
                    walk(child)

        walk(app[0])

        def named(role, name):
            return [n for n in nodes if n.get_role_name() == role and n.get_name() == name]

        def states(node):
            return {s.value_nick for s in node.get_state_set().get_states()}

        check(named("frame", "ORMA QX50 Voice Memory"), "the window is a frame with its caption")
        buttons = sorted(n.get_name() for n in nodes if n.get_role_name() == "push button")
        expected = sorted(["MIC record", "RX record", "Play", "Transmit", "Stop", "Hide received data"]
                          + [str(d) for d in range(10)])
        check(buttons == expected, "push buttons %s, expected %s" % (buttons, expected))
        check(not named("push button", "x"), "the panel's close box is named for what it does")
        five = named("push button", "5")
        check(five and five[0].get_description() == "CQ contest, 2.8 s",
              "memory 5 is described by its name: %r" % (five and five[0].get_description()))

        bars = [n for n in nodes if n.get_role_name() == "status bar"]
        check(len(bars) == 1, "one status bar, found %d" % len(bars))
        status = bars[0]
        check(status.get_name() == "Play", "the status bar says %r" % status.get_name())
        check("Text" in status.get_interfaces(), "the status bar has a text interface")
        check(Atspi.Text.get_text(status, 0, -1) == "Play", "the status bar's text")

        caption = named("label", "Serial com RX data")
        panels = [n for n in nodes if "Text" in n.get_interfaces() and n.get_role_name() == "label"]
        check(len(panels) == 1, "one label with a text interface (the received data), found %d" % len(panels))
        panel = panels[0]
        labelled_by = [r.get_target(0) for r in panel.get_relation_set()
                       if r.get_relation_type() == Atspi.RelationType.LABELLED_BY]
        check(labelled_by and labelled_by[0].get_name() == "Serial com RX data"
              and "Text" not in labelled_by[0].get_interfaces() and caption,
              "the received data is labelled by its caption")

        for name in ("Files", "Options", "Com", "Help"):
            check(named("menu item", name), "the menu %s" % name)
        items = {n.get_name(): states(n) for n in nodes if n.get_role_name() == "menu item"}
        described = {n.get_name(): n.get_description() for n in nodes if n.get_role_name() == "menu item"}
        check("checked" in items.get("Keyboard Commands", set()), "Keyboard Commands is checked")
        check("checked" not in items.get("Show Serial Com RX data", {"checked"}), "the panel's item is unchecked")
        check(described.get("Show Serial Com RX data") == "not checked", "an unchecked item says so")
        check("checked" in items.get("Speak Received Data", set()), "received data is spoken at start")
        check("checked" in items.get("Com1", set()), "Com1 is checked")
        check("sensitive" not in items.get("Com2", {"sensitive"}), "Com2 is greyed")
        check("/nonexistent/2" in described.get("Com2", ""), "the greyed Com2 says why: %r" % described.get("Com2"))

        # --- events ---------------------------------------------------------------------
        notices = []    # (name, role of the object it speaks for)
        inserted = []   # (role of the source, text)

        def on_event(event):
            try:
                source = event.source
                if event.type.startswith("object:state-changed:showing") and event.detail1 \
                        and source.get_role_name() == "notification":
                    parent = source.get_parent()
                    notices.append((source.get_name(), parent.get_role_name() if parent else ""))
                elif event.type.startswith("object:text-changed:insert"):
                    inserted.append((source.get_role_name(), str(event.any_data)))
            except GLib.Error:
                pass

        listener = Atspi.EventListener.new(on_event)
        listener.register("object:state-changed:showing")
        listener.register("object:text-changed:insert")

        def press(name):
            for n in nodes:
                if n.get_name() == name and "Action" in n.get_interfaces() and n.get_role_name() != "label":
                    Atspi.Action.do_action(n, 0)
                    return
            raise Failure("nothing to press named %r" % name)

        def unit(text):
            os.write(master, text.encode("latin-1"))

        def expect_notice(name, speaker):
            pump_until(lambda: (name, speaker) in notices, 15, "announcement %r" % name)

        press("Transmit")
        expect_notice("Transmit", "status bar")
        pump_until(lambda: ("status bar", "Transmit") in inserted, 15, "text insertion on the status bar")
        # every command is confirmed, also when the status line stays as it is
        for button, words in (("Stop", "Stop"), ("5", "Memory 5, CQ contest"), ("4", "Memory 4"),
                              ("Transmit", "Transmit")):
            count = notices.count((words, "status bar"))
            press(button)
            pump_until(lambda: notices.count((words, "status bar")) > count, 15, "confirmation %r" % words)
        del notices[:]
        unit("TX 3\r\n")   # the panel is hidden: its text changes, nothing is announced
        pump_until(lambda: any(r == "label" and "TX 3" in t for r, t in inserted), 15, "the panel's new text")

        press("Show Serial Com RX data")
        pump_until(lambda: "showing" in states(panel), 15, "panel shown")
        expect_notice("Received data shown", "status bar")
        unit("PLAY 3\r\n")
        expect_notice("PLAY 3", "status bar")
        unit("REC ")   # part of a line, then a quiet tick, then the rest
        expect_notice("REC", "status bar")
        unit("MIC 3\r\n")
        expect_notice("MIC 3", "status bar")
        unit("STOP\r\nSLOT 5\r\n")   # two lines at once: the newest is said
        expect_notice("SLOT 5", "status bar")
        # a burst: the newest line is said in the end, and few announcements before it
        before = len(notices)
        unit("".join("SLOT %d\r\n" % i for i in range(1, 21)))
        expect_notice("SLOT 20", "status bar")
        burst = notices[before:]
        check(len(burst) <= 2, "a burst of 20 lines gave %d announcements: %s" % (len(burst), burst))
        # switched off: the lines are shown but not said
        press("Speak Received Data")
        pump_until(lambda: "checked" not in states(named("menu item", "Speak Received Data")[0]), 15,
                   "received data not spoken")
        before = len(notices)
        unit("TX 9\r\n")
        pump_until(lambda: any(r == "label" and "TX 9" in t for r, t in inserted), 15, "the panel's new text")
        press("Speak Received Data")
        pump_until(lambda: "checked" in states(named("menu item", "Speak Received Data")[0]), 15,
                   "received data spoken again")

        press("Hide received data")   # a button's action clicks it a moment later
        pump_until(lambda: "showing" not in states(panel), 15, "panel hidden")
        unit("TX 5\r\n")
        pump_until(lambda: any(r == "label" and "TX 5" in t for r, t in inserted), 15, "the panel's new text")
        press("MIC record")
        expect_notice("MIC record", "status bar")

        said = [n for n, _ in notices]
        check("TX 9" not in said, "a line said while received data was not to be spoken")
        check(said.count("MIC record") == 1, "the command and its status said once: %s" % said)
        wanted = ["Received data shown", "PLAY 3", "REC", "MIC 3", "SLOT 5"]
        check(said[:5] == wanted, "announcements %s,\n  expected to begin %s" % (said, wanted))
        check(said[-2:] == ["Received data hidden", "MIC record"], "announcements end %s" % said[-2:])
        check(all(speaker == "status bar" for _, speaker in notices), "all said under the status bar")
        panel_insertions = [t for r, t in inserted if r == "label"]
        check(all(len(t) < 40 for t in panel_insertions if not t.startswith("SLOT 1\n")),   # but the burst
              "the panel's insertions are the new characters only: %s" % panel_insertions)

        received = b""
        deadline = time.monotonic() + 5
        while not received.endswith(b"M") and time.monotonic() < deadline:
            try:
                received += os.read(master, 100)
            except BlockingIOError:
                time.sleep(0.01)
        check(received == b"PTS54TM", "the unit received %r" % received)

        # --- Options -> Speech: Off says nothing of its own, Brief drops the path ----------
        # What Off leaves unsaid is told by what comes after it: announcements keep their
        # order, so a "Transmit" still due would arrive before Brief's memory words.
        def choose_speech(level):
            press(level)
            pump_until(lambda: "checked" in states(named("menu item", level)[0]), 15, "Speech %s" % level)

        def unit_heard():
            try:
                return os.read(master, 10)
            except BlockingIOError:
                return b""

        choose_speech("Off")
        before, shown = len(notices), inserted.count(("status bar", "Transmit"))
        press("Transmit")
        pump_until(lambda: inserted.count(("status bar", "Transmit")) > shown, 15, "the transmit shown")
        pump_until(lambda: unit_heard() == b"T", 15, "the transmit sent")
        choose_speech("Brief")
        press("5")
        expect_notice("5, CQ contest", "status bar")
        check([n for n, _ in notices[before:]] == ["5, CQ contest"],
              "with Speech Off then Brief: %s" % notices[before:])
        before = len(notices)
        os.close(master)   # the adapter pulled
        pump_until(lambda: any(n.startswith("COM1 lost") for n, _ in notices[before:]), 15, "the lost port told")
        lost = [n for n, _ in notices[before:] if n.startswith("COM1")]
        check(lost == ["COM1 lost"], "Brief tells the lost port as %s" % lost)
        choose_speech("Full")

        # --- Message Names: each action said, Delete asks, a refusal beside its field ----
        # Opened from the keyboard, as an operator does: an action called over the bus
        # would run the modal dialog before it answered.
        window = subprocess.run(["xdotool", "search", "--pid", str(program.pid), "--name", "ORMA QX50"],
                                capture_output=True, text=True).stdout.split()
        check(window, "the window is found on the display")
        item = named("menu item", "Message Names\u2026")
        check(item, "the Message Names item")
        # With no window manager the focus can land a moment after windowfocus returns,
        # and a key sent before it is lost: the menu is asked for again until it shows.
        for attempt in range(5):
            subprocess.run(["xdotool", "windowfocus", "--sync", window[0]])
            subprocess.run(["xdotool", "key", "--window", window[0], "alt+o"])
            try:
                pump_until(lambda: "showing" in states(item[0]), 3, "the Options menu")
                break
            except Failure:
                if attempt == 4:
                    raise
        # Up from the top walks the menu from its end, whatever items come after this one.
        options = item[0].get_parent()
        on = [None]

        def moved_on():
            chosen = [options.get_child_at_index(i) for i in range(options.get_child_count())]
            chosen = [c for c in chosen if c is not None and {"focused", "selected"} & states(c)]
            if chosen and chosen[0].get_name() != on[0]:
                on[0] = chosen[0].get_name()
                return True
            return False

        for _ in range(options.get_child_count()):
            subprocess.run(["xdotool", "key", "Up"])
            pump_until(moved_on, 15, "the next menu item chosen")
            if on[0] == "Message Names\u2026":
                break
        subprocess.run(["xdotool", "key", "Return"])
        dialog = []

        def find_dialog():
            del nodes[:]
            walk(app[0])
            dialog[:] = named("dialog", "Message Names")
            return bool(dialog)

        pump_until(find_dialog, 15, "the Message Names dialog")
        set_name = named("text", "Set name, for New and Rename")
        check(set_name, "the set name field is named for what it is for")
        lengths = [n for n in nodes if n.get_name() == "Memory 0 length in seconds"]
        check(lengths and lengths[0].get_description() == "a length is seconds, at most 120, or not known",
              "a length says its rule: %r" % (lengths and lengths[0].get_description()))
        del notices[:]
        for name, words, speaker in (("Rag chew", "Set Rag chew made, and in use", "combo box"),
                                     ("Contest", "there is a set Contest already", "text")):
            Atspi.EditableText.set_text_contents(set_name[0], name)
            press("New")
            expect_notice(words, speaker)
        pump_until(lambda: set_name[0].get_description() == "there is a set Contest already", 15,
                   "the refusal as the field's description")
        press("Delete")

        def find_question():
            del nodes[:]
            walk(app[0])
            return any(n.get_name() == "Delete the set Rag chew? It holds no named memories." for n in nodes)

        pump_until(find_question, 15, "Delete's question naming the set")
        question = [n for n in nodes if n.get_role_name() in ("alert", "dialog") and n.get_name() == "Delete Set"]
        check(question, "Delete asks in a dialog of its own")
        del nodes[:]
        walk(question[0])
        cancel = named("push button", "Cancel")
        check(cancel, "the question offers Cancel")
        Atspi.Action.do_action(cancel[0], 0)
        expect_notice("Set Rag chew kept", "combo box")
        print("PASS: tree (%d objects) and %d announcements" % (len(nodes), len(notices)))
        print("1 passed, 0 failed")
        return 0
    except Failure as failure:
        print("FAIL: %s" % failure)
        print("0 passed, 1 failed")
        return 1
    finally:
        stop(program)
        os.killpg(launcher.pid, signal.SIGTERM)
        launcher.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == INNER:
        sys.exit(inner(sys.argv[2]))
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(outer(os.path.abspath(sys.argv[1])))
