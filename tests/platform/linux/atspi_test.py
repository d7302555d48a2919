#!/usr/bin/env python3
"""The program as a screen reader meets it: started on a private X server with a private session
bus and accessibility bus, its accessible tree is read over AT-SPI and it is driven with the
keyboard alone. Where Orca is installed it runs too, and its speech log tells what a user hears.
Usage: atspi_test.py PATH-TO-ORNAVEL"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time

TIMEOUT = 20.0
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL: " + what, file=sys.stderr)


def bmp(path, width, height):
    """A plain 24-bit BMP of one colour."""
    row = (width * 3 + 3) & ~3
    pixels = (b"\x40\x80\xc0" * width + b"\0" * (row - width * 3)) * height
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


def start_line(argv, env):
    """Starts a server that prints one line once it is ready; returns it and that line."""
    process = subprocess.Popen(argv, env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                               text=True)
    line = process.stdout.readline().strip()
    if not line:
        sys.exit("%s did not start" % argv[0])
    return process, line


def as_unprivileged_user(program):
    """Started by the superuser, the test runs as a user of its own, made for this run and
    removed after it: the program runs as its users run it."""
    user = "ornavel-a11y-%d" % os.getpid()
    subprocess.run(["useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin",
                    user], check=True)
    try:
        return subprocess.run(["runuser", "-u", user, "--", sys.executable,
                               os.path.abspath(__file__), program]).returncode
    finally:
        # What the buses started for the run (gvfsd, dconf-service) may outlive them: every
        # process of this run's own user goes, then the user.
        subprocess.run(["pkill", "-KILL", "-u", user], check=False)
        deadline = time.monotonic() + TIMEOUT
        while subprocess.run(["pgrep", "-u", user], stdout=subprocess.DEVNULL).returncode == 0:
            if time.monotonic() > deadline:
                print("processes of %s are left" % user, file=sys.stderr)
                break
            time.sleep(0.1)
        subprocess.run(["userdel", user], check=False)


def skip(reason):
    """77 tells ctest the test could not run here; under CI a test that cannot run fails."""
    print(("failed: " if os.environ.get("CI") else "skipped: ") + reason)
    return 1 if os.environ.get("CI") else 77


def main():
    program = os.path.abspath(sys.argv[1])
    if os.geteuid() == 0:
        return as_unprivileged_user(program)
    for tool in ("Xvfb", "dbus-daemon", "xdotool"):
        if shutil.which(tool) is None:
            return skip("%s is not installed" % tool)
    launcher = "/usr/libexec/at-spi-bus-launcher"
    if not os.path.exists(launcher):
        return skip("at-spi2-core is not installed")
    home = tempfile.mkdtemp(prefix="ornavel-atspi-")
    servers = []
    try:
        return run(program, home, launcher, servers)
    finally:
        for server in reversed(servers):
            server.terminate()
            try:
                server.wait(10)
            except subprocess.TimeoutExpired:
                server.kill()
                server.wait()
        shutil.rmtree(home, ignore_errors=True)


def run(program, home, launcher, servers):
    pictures = os.path.join(home, "Картинки")
    os.makedirs(pictures)
    bmp(os.path.join(pictures, "лес.bmp"), 3, 2)
    bmp(os.path.join(pictures, "море.bmp"), 5, 4)
    config = os.path.join(home, "config")
    data = os.path.join(home, "data")
    os.makedirs(os.path.join(config, "ornavel"))
    with open(os.path.join(config, "ornavel", "options.ini"), "w", encoding="utf-8") as f:
        f.write("[Main]\nPath=%s\n" % pictures)

    env = {key: value for key, value in os.environ.items()
           if not key.startswith(("XDG_", "DBUS_", "AT_SPI", "QT_", "DISPLAY", "WAYLAND"))}
    env.update(HOME=home, XDG_CONFIG_HOME=config, XDG_DATA_HOME=data,
               XDG_RUNTIME_DIR=home)
    xvfb, number = start_line(["Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24",
                               "-nolisten", "tcp"], env)
    servers.append(xvfb)
    env["DISPLAY"] = ":" + number
    bus, address = start_line(["dbus-daemon", "--session", "--nofork", "--print-address=1"], env)
    servers.append(bus)
    env["DBUS_SESSION_BUS_ADDRESS"] = address
    servers.append(subprocess.Popen([launcher, "--launch-immediately"], env=env,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    os.environ.update(env)
    # Imported only now: pyatspi finds the accessibility bus through the session bus.
    import pyatspi
    from gi.repository import GLib

    heard = []

    def listen(event):
        try:
            heard.append((event.type, event.source.getRoleName(), event.source.name or "",
                          event.source.description or "", event.detail1))
        except Exception:  # an object already gone
            pass

    pyatspi.Registry.registerEventListener(
        listen, "object:state-changed:focused", "object:property-change:accessible-description",
        "window:activate")

    def wait(condition, what, timeout=TIMEOUT):
        """Dispatches the events that come until `condition` holds, for `timeout` seconds at
        most."""
        context = GLib.MainContext.default()
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            result = condition()
            if result:
                return result
            GLib.timeout_add(50, lambda: False)
            context.iteration(True)
        check(False, "waited %.0f s for %s" % (timeout, what))
        return None

    def application():
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name == "ornavel":
                return app
        return None

    def windows(role):
        app = application()
        return [w for w in (app or []) if w is not None and w.getRoleName() == role
                and w.getState().contains(pyatspi.STATE_SHOWING)]

    def tree(node):
        found = []
        for child in node:
            if child is None:
                continue
            found.append(child)
            found.extend(tree(child))
        return found

    def named(window, role, name):
        return [n for n in tree(window) if n.getRoleName() == role and n.name == name]

    def focused(role, name):
        return any(e[0] == "object:state-changed:focused" and e[4] == 1 and e[1] == role
                   and e[2] == name for e in heard)

    orca_said = []

    def spoken(text):
        """True once Orca has said `text` (or something holding it)."""
        return any(text in said for said in orca_said)

    def key(*names):
        subprocess.run(["xdotool", "key", "--delay", "50"] + list(names), env=env, check=True)

    # Orca first, as a user starts it before the programs it reads; it is ready once it speaks.
    # Its debug log, where it writes what it says, goes to a terminal, so that each line comes as
    # it is written.
    orca = shutil.which("orca")
    if orca:
        master, terminal = os.openpty()
        servers.append(subprocess.Popen([orca, "-u", os.path.join(home, "orca"),
                                         "--debug-file", "/dev/stderr"], env=env,
                                        stdout=subprocess.DEVNULL, stderr=terminal))
        os.close(terminal)
        pending = [b""]

        def read_orca(fd, _condition):
            try:
                chunk = os.read(fd, 65536)
            except OSError:  # Orca has gone
                return False
            lines = (pending[0] + chunk).split(b"\n")
            pending[0] = lines.pop()
            for line in lines:
                text = line.decode("utf-8", "replace")
                if "SPEECH OUTPUT:" in text:
                    orca_said.append(text.split("SPEECH OUTPUT:", 1)[1].strip())
            return bool(chunk)

        GLib.io_add_watch(master, GLib.PRIORITY_DEFAULT, GLib.IO_IN | GLib.IO_HUP, read_orca)
        # Orca takes long to start on a busy machine.
        wait(lambda: orca_said, "Orca to start speaking", 6 * TIMEOUT)
    else:
        print("Orca is not installed: what it would say is not checked")

    qt = dict(env, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
    ornavel = subprocess.Popen([program], env=qt)
    servers.append(ornavel)

    main_window = wait(lambda: (windows("frame") or [None])[0], "the main window on the bus")
    if main_window is None:
        return 1
    check(main_window.name == "Ornavel", "the main window is the frame «Ornavel»")
    for node in tree(main_window):
        print("tree: %s «%s» «%s»" % (node.getRoleName(), node.name, node.description))
    for role, name in (("list", "Список"), ("push button", "Установить"),
                       ("push button", "Выбрать папку"), ("image", "Предпросмотр"),
                       ("label", "Предпросмотр"), ("label", "Список"), ("label", "Папка")):
        check(len(named(main_window, role, name)) == 1, "main window: %s «%s»" % (role, name))
    inner = [n for n in tree(main_window) if n.getRoleName() in ("frame", "window", "dialog")]
    check(not inner, "no window inside the main window, found %s"
          % [(n.getRoleName(), n.name) for n in inner])
    status = named(main_window, "label", "Папка")
    check(bool(status) and status[0].description == pictures, "the status line tells the folder")

    # The list has the focus; each arrow key speaks the entry it moves to, and then the size.
    wait(lambda: focused("list", "Список") or any(e[0] == "window:activate" for e in heard),
         "the main window to be active")
    if orca:
        wait(lambda: spoken("Список"), "Orca to speak the list", 6 * TIMEOUT)
    # Orca says only the last of keys pressed in a burst, as a user hears it; each key waits for
    # what it makes Orca say.
    def hear(said):
        if orca:
            wait(lambda: spoken(said), "Orca to say «%s»" % said, 3 * TIMEOUT)

    key("Down")
    wait(lambda: focused("list item", "лес.bmp"), "the first entry to be spoken")
    hear("лес.bmp")
    wait(lambda: any(e[0].endswith("accessible-description") and e[1] == "list item"
                     and e[2] == "лес.bmp" and e[3] == "3 x 2" for e in heard),
         "the first picture's size to be told with its entry")
    hear("3 x 2")
    key("Down")
    wait(lambda: focused("list item", "море.bmp"), "the second entry to be spoken")
    hear("море.bmp")
    wait(lambda: any(e[0].endswith("accessible-description") and e[2] == "море.bmp"
                     and e[3] == "5 x 4" for e in heard), "the second picture's size")
    hear("5 x 4")

    # Return on the list installs the picture.
    wallpaper = os.path.join(data, "ornavel", "wallpaper.bmp")
    key("Return")
    wait(lambda: os.path.exists(wallpaper), "Return on the list to write the wallpaper")

    # Tab reaches the folder button and «Установить», and the focus is told.
    key("Tab")
    wait(lambda: focused("push button", "Выбрать папку"), "Tab to speak the folder button")
    hear("Выбрать папку push button")
    key("Tab")
    wait(lambda: focused("push button", "Установить"), "Tab to speak «Установить»")
    hear("Установить push button")

    # F10, Right and Down open «?»'s list; Return opens the About window.
    key("F10", "Right", "Down", "Return")
    about = wait(lambda: (windows("dialog") or [None])[0], "F10 to open the About window")
    if about is not None:
        check(about.name == "О программе", "the About window is the dialog «О программе»")
        links = [n for n in tree(about) if n.getRoleName() == "link"]
        check(len(links) == 3, "the About window has three links, found %d" % len(links))
        for link in links:
            action = link.queryAction()
            check(action.nActions > 0, "the link «%s» can be pressed" % link.name)
        check(len(named(about, "push button", "Закрыть")) == 1, "About: «Закрыть»")
        key("Tab")
        wait(lambda: any(e[0] == "object:state-changed:focused" and e[1] == "link"
                         and e[4] == 1 for e in heard), "Tab to reach the first link")
        key("Escape")
        wait(lambda: not windows("dialog"), "Escape to close the About window")

    ornavel.terminate()
    ornavel.wait(10)
    # What a screen reader was told, and what Orca said, for the log.
    for event in heard:
        print("heard: %s %s «%s» «%s» %s" % event)
    for said in orca_said:
        print("orca said: " + said)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
