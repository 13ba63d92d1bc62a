#!/usr/bin/env python3
"""The launcher as a person uses it: the real program in a real X server
(Xvfb) under a small window manager (openbox), driven with real mouse and
keyboard events at the controls' design positions, on a throw-away Wine-layout
prefix with a catalogue INI file, data-set drives, key files and a stand-in
`wine` that records what it is asked to start. Checks the files it leaves,
then starts it again and checks from a screenshot that the list, its red rows,
the caption and the window's place came back.

With --command-line it runs only the command line: "--activate NAME" on a
saved list (the key file copied, "MultiScreen" written, the program started,
and the failures' boxes and status), and the desktop shortcut the popup menu
makes, started as a desktop starts it (gio launch).

With --placement N it runs only the placement round trip, N times, under
the window manager --wm names: open, move and resize by the window manager,
close, check NormPos, reopen, and check the client area came back, each
within 1 px. It prints how many reopens were misplaced.

Usage: e2e_launcher.py --launcher PATH [--wm NAME] [--placement N | --command-line] [--keep]

Exit status 0 when every check holds, 1 with one line per failed check.
Python standard library only.
"""

import argparse
import ctypes
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import types

# Design values of the main window (client area and the controls on it).
CLIENT_W, CLIENT_H = 338, 310
GRID = (8, 8, 161, 257)          # sg1 on Panel1, which fills the client area
SB_INIT = (176, 240, 153, 25)    # "Проинициализировать"
ROWS = 8

# X keycodes of the A and F keys of a PC keyboard, whatever the layout.
KEYCODE_A, KEYCODE_F = 38, 41

INFO_TITLE = "Информация"
ERROR_TITLE = "Ошибка"
ABOUT_TITLE = "О прграмме"
# Qt's own dialogs, in Russian from the translation built into the program.
OPEN_TITLE = "Открыть"
FONT_TITLE = "Выбор шрифта"
# The key file chosen through the popup menu's open dialog for row 0.
CHOSEN_KEY = "E:\\SPARE\\TVDORVKY.INI"
APP_TITLE = "Запуск Дорва"
NOT_FOUND = "не найден файл TVDORVKY.INI"
SEVERAL = "найдено несколько файлов TVDORVKY.INI"

# Key files with distinct bytes: code page 1251 text, a lone LF, no final
# line end, so that any conversion on the way shows.
KEY_EUROPE = b"[Key]\r\nName=\xc5\xe2\xf0\xee\xef\xe0\r\nSerial=1001\nTail"
KEY_ASIA = b"[Key]\r\nName=\xc0\xe7\xe8\xff\r\nSerial=2002\r\n\x00\xff"
KEY_OLD = b"old key file, to be replaced\r\n"
CATALOGUE_INI = (
    "; catalogue settings\r\n"
    "[Condition]\r\n"
    "MultiScreen=0\r\n"
    "Other = kept\r\n"
    "\r\n"
    "[CDROM]\r\n"
    "Drive_Max=4\r\n"
    "Drive1=E:\\\r\n"
    "Drive2=F:\r\n"
    "Drive3=G:\\\r\n"
    "Drive4=H:\r\n"
).encode("cp1251")


# The window managers the placement round trip runs under, each as it is
# started on a bare X server.
WINDOW_MANAGERS = {
    "openbox": ["openbox", "--sm-disable"],
    # xfwm4 reads its settings through xfconf, which needs a session bus.
    "xfwm4": ["dbus-run-session", "--", "xfwm4", "--compositor=off", "--sm-client-disable"],
    "metacity": ["metacity", "--sm-disable", "--no-composite"],
    "icewm": ["icewm"],
    "fluxbox": ["fluxbox"],
}


class Failure(Exception):
    """A step that the rest of the run cannot do without."""


failures = []


def expect(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL: " + message, flush=True)
    return condition


def require(condition, message):
    if not condition:
        raise Failure(message)


def wait_for(predicate, what, timeout=15.0, interval=0.05):
    """Polls predicate until it returns something true; that value is returned."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f"timed out after {timeout:.0f} s waiting for {what}")
        time.sleep(interval)


def cp1251_lines(lines):
    return b"".join(line.encode("cp1251") + b"\r\n" for line in lines)


def read_bytes(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return None


# ---------------------------------------------------------------- processes

_libc = ctypes.CDLL(None, use_errno=True)


def _die_with_us():
    # A child outlives a killed driver only as long as it takes to notice.
    _libc.prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG


class Processes:
    """Everything this run started, stopped in reverse order on every exit."""

    def __init__(self):
        self.started = []

    def start(self, argv, **kwargs):
        p = subprocess.Popen(argv, preexec_fn=_die_with_us, **kwargs)
        self.started.append(p)
        return p

    def stop(self, p, grace=3.0):
        if p.poll() is None:
            p.terminate()
            try:
                p.wait(grace)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()

    def stop_all(self):
        for p in reversed(self.started):
            self.stop(p)


def on_signal(signum, _frame):
    raise SystemExit(128 + signum)


# ---------------------------------------------------------------- the world

class World:
    """The temporary root: prefix, drives, config home, working directory."""

    def __init__(self, root):
        self.root = root
        self.prefix = os.path.join(root, "prefix")
        self.drive_c = os.path.join(self.prefix, "drive_c")
        self.windows = os.path.join(self.drive_c, "windows")
        self.config = os.path.join(root, "config")
        self.home = os.path.join(root, "home")
        self.work = os.path.join(root, "work")
        self.runtime = os.path.join(root, "runtime")
        self.wine_log = os.path.join(root, "wine.log")
        self.wine = os.path.join(root, "bin", "wine")
        self.disks = {}

        for d in (os.path.join(self.windows, "system32"), os.path.join(self.drive_c, "TARVEN"),
                  os.path.join(self.prefix, "dosdevices"), self.config, self.home, self.work,
                  self.runtime, os.path.dirname(self.wine)):
            os.makedirs(d, exist_ok=True)
        os.chmod(self.runtime, 0o700)
        os.symlink("../drive_c", os.path.join(self.prefix, "dosdevices", "c:"))

        # E: one data set; F: one data set in a Cyrillic folder; G: none;
        # H: two (the second in lower case, found all the same).
        self.write(self.disk_file("e", "EUROPE", "TVDORVKY.INI"), KEY_EUROPE)
        os.makedirs(self.disk_file("e", "EUROPE", "DATA"))
        self.write(self.disk_file("f", "АЗИЯ", "TVDORVKY.INI"), KEY_ASIA)
        os.makedirs(self.disk_file("g", "EMPTY"))
        self.write(self.disk_file("h", "ONE", "TVDORVKY.INI"), b"one")
        self.write(self.disk_file("h", "TWO", "tvdorvky.ini"), b"two")

        self.write(os.path.join(self.windows, "tvdorvw.ini"), CATALOGUE_INI)
        self.write(os.path.join(self.windows, "TVDORVKY.INI"), KEY_OLD)
        for exe in ("dorvwin.exe", "tdm010.exe", "tdp010.exe", "e_dorv.exe"):
            self.write(os.path.join(self.drive_c, "TARVEN", exe), b"MZ stand-in")
        # State an earlier run left; "Проинициализировать" must remove it.
        self.write(os.path.join(self.work, "column1.txt"), b"STALE\r\n")
        self.write(os.path.join(self.work, "column2.txt"), b"STALE\r\n")
        self.write(os.path.join(self.work, "selected.txt"), b",5\r\n")

        with open(self.wine, "w") as f:
            f.write("#!/bin/sh\n"
                    "# Stand-in for wine: records the argument count and each argument.\n"
                    "{ printf '%s\\n' \"$#\"; for a; do printf '%s\\n' \"$a\"; done; } "
                    f">> '{self.wine_log}'\n")
        os.chmod(self.wine, 0o755)

    def disk_file(self, letter, *parts):
        if letter not in self.disks:
            target = os.path.join(self.root, "disks", letter)
            os.makedirs(target)
            os.symlink(target, os.path.join(self.prefix, "dosdevices", letter + ":"))
            self.disks[letter] = target
        return os.path.join(self.disks[letter], *parts)

    @staticmethod
    def write(path, data):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)

    def env(self, display):
        env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "DISPLAY": display,
            "HOME": self.home,
            "XDG_CONFIG_HOME": self.config,
            "XDG_CACHE_HOME": os.path.join(self.home, ".cache"),
            "XDG_DATA_HOME": os.path.join(self.home, ".local", "share"),
            "XDG_RUNTIME_DIR": self.runtime,
            "WINEPREFIX": self.prefix,
            "WINE": self.wine,
            "LANG": "C.UTF-8",
            "LC_ALL": "C.UTF-8",
            "QT_QPA_PLATFORM": "xcb",
        }
        for name in ("ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"):
            if name in os.environ:
                env[name] = os.environ[name]
        return env

    def wine_calls(self):
        data = read_bytes(self.wine_log)
        if data is None:
            return []
        lines = data.decode("utf-8", "replace").split("\n")
        calls, i = [], 0
        while i < len(lines) and lines[i] != "":
            n = int(lines[i])
            calls.append(lines[i + 1:i + 1 + n])
            i += 1 + n
        return calls


# ------------------------------------------------------------------ X tools

class X:
    def __init__(self, env):
        self.env = env

    def run(self, *argv, check=True, timeout=20):
        r = subprocess.run(argv, env=self.env, capture_output=True, text=True, timeout=timeout)
        if check and r.returncode != 0:
            raise Failure(f"{' '.join(argv)} failed ({r.returncode}): {r.stderr.strip()}")
        return r.stdout

    def visible_windows(self, pid):
        r = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)],
                           env=self.env, capture_output=True, text=True, timeout=20)
        return [int(w) for w in r.stdout.split()]

    def name(self, wid):
        r = subprocess.run(["xdotool", "getwindowname", str(wid)], env=self.env,
                           capture_output=True, timeout=20)
        return r.stdout.decode("utf-8", "replace").rstrip("\n") if r.returncode == 0 else None

    def geometry(self, wid):
        """Client area on the screen: x, y, width, height (None if gone)."""
        r = subprocess.run(["xwininfo", "-id", str(wid)], env=self.env, capture_output=True,
                           text=True, timeout=20)
        if r.returncode != 0:
            return None
        values = {}
        for key, label in (("x", "Absolute upper-left X"), ("y", "Absolute upper-left Y"),
                           ("w", "Width"), ("h", "Height"), ("state", "Map State")):
            m = re.search(re.escape(label) + r":\s*(\S+)", r.stdout)
            values[key] = m.group(1) if m else None
        if values["state"] != "IsViewable":
            return None
        return tuple(int(values[k]) for k in ("x", "y", "w", "h"))

    def frame_extents(self, wid):
        """The frame the window manager put round the window: left, right, top, bottom."""
        out = self.run("xprop", "-id", str(wid), "_NET_FRAME_EXTENTS", check=False)
        m = re.search(r"=\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+)", out)
        return tuple(int(v) for v in m.groups()) if m else None

    def window_named(self, pid, title):
        for w in self.visible_windows(pid):
            if caption_is(self.name(w), title):
                return w
        return None

    def click(self, wid, x, y, repeat=1):
        self.run("xdotool", "mousemove", "--window", str(wid), str(x), str(y))
        self.run("xdotool", "click", "--repeat", str(repeat), "--delay", "90", "1")

    def activate(self, wid):
        self.run("xdotool", "windowactivate", "--sync", str(wid), check=False)

    def key(self, *keys):
        self.run("xdotool", "key", "--delay", "40", *keys)

    def set_layout(self, layout):
        """Makes layout the keyboard's; a running program reads the new keymap
        when the server tells it."""
        self.run("setxkbmap", "-layout", layout)
        time.sleep(0.5)

    def screenshot(self, path):
        """The root window as rows of (r, g, b) bytes; returns (width, bytes)."""
        self.run("import", "-silent", "-window", "root", "-depth", "8", "ppm:" + path, timeout=30)
        with open(path, "rb") as f:
            data = f.read()
        m = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", data)
        require(m, "the screenshot is not a PPM image")
        width = int(m.group(1))
        return width, data[m.end():]


# ------------------------------------------------------------- the launcher

class Launcher:
    """One run of the program and where its controls are on the screen."""

    def __init__(self, procs, x, world, path, run):
        self.x, self.world = x, world
        log = open(os.path.join(world.root, f"launcher-{run}.log"), "wb")
        self.proc = procs.start([path], cwd=world.work, env=x.env, stdout=log,
                                stderr=subprocess.STDOUT)
        log.close()
        self.wid = wait_for(self._main_window, "the launcher's window to be mapped", timeout=60)
        self.settle()

    def settle(self):
        """Waits until the window keeps its place and size for half a second:
        the window manager reports its frame only after the window is mapped,
        and a restored placement may be corrected once it has."""
        seen = []

        def steady():
            seen.append(self.geometry())
            return len(seen) >= 5 and len(set(seen[-5:])) == 1
        wait_for(steady, "the window to keep its place and size", timeout=15, interval=0.1)

    def _main_window(self):
        require(self.proc.poll() is None,
                f"the launcher ended at start with status {self.proc.returncode}")
        for w in self.x.visible_windows(self.proc.pid):
            g = self.x.geometry(w)
            # The main window is the one with room for the whole panel.
            if g and g[2] >= CLIENT_W * 0.9 and g[3] >= CLIENT_H * 0.9:
                return w
        return None

    def geometry(self):
        g = self.x.geometry(self.wid)
        require(g, "the launcher's window is gone")
        return g

    def design_point(self, dx, dy):
        """A design position, scaled to the client area as it is now."""
        _, _, w, h = self.geometry()
        return round(dx * w / CLIENT_W), round(dy * h / CLIENT_H)

    def cell_rect(self, col, row):
        """Client-area rectangle inside cell (col, row) of sg1, grid lines and
        the grid's frame left out. Column widths and row heights follow the
        window's resize rule from the grid's size."""
        _, _, w, h = self.geometry()
        gx, gy = round(GRID[0] * w / CLIENT_W), round(GRID[1] * h / CLIENT_H)
        gw, gh = round(GRID[2] * w / CLIENT_W), round(GRID[3] * h / CLIENT_H)
        col0 = max(int(gw * 0.25 - 3) + 1, 40)
        col1 = gw - col0 - 6
        row_h = int(gh / ROWS - round(10 / ROWS) - 1)
        frame, line = 2, 1
        left = gx + frame + (0 if col == 0 else col0 + line)
        width = col0 if col == 0 else col1
        top = gy + frame + row * (row_h + line)
        return left, top, width, row_h

    def click_cell(self, col, row, repeat=1):
        left, top, width, height = self.cell_rect(col, row)
        self.x.click(self.wid, left + min(width // 2, 14), top + height // 2, repeat)

    def press_init(self):
        x, y = self.design_point(SB_INIT[0] + SB_INIT[2] / 2, SB_INIT[1] + SB_INIT[3] / 2)
        self.x.click(self.wid, x, y)

    def caption(self):
        return self.x.name(self.wid)

    def dialog(self, title, timeout=15.0):
        def find():
            require(self.proc.poll() is None, f"the launcher ended while waiting for \"{title}\"")
            if title != ERROR_TITLE:
                error = self.x.window_named(self.proc.pid, ERROR_TITLE)
                require(error is None, f"an error box \"{ERROR_TITLE}\" appeared instead of \"{title}\"")
            return self.x.window_named(self.proc.pid, title)
        return wait_for(find, f"the box \"{title}\"", timeout)

    def answer(self, box, key):
        # A box that opens while its window is still being mapped can get the
        # window manager's focus before Wine gives it the keyboard, and then
        # loses the key: as a person would, the box is clicked (on its text,
        # which does nothing else) and the key pressed again.
        for attempt in range(3):
            self.x.activate(box)
            if attempt > 0:
                size = self.x.geometry(box)
                if size:
                    self.x.click(box, size[2] // 2, 12)
            self.x.key(key)
            try:
                wait_for(lambda: box not in self.x.visible_windows(self.proc.pid), "the box to close",
                         timeout=5 if attempt < 2 else 15)
                return
            except Failure:
                if attempt == 2:
                    raise

    def close(self):
        for attempt in (1, 2):
            self.x.activate(self.wid)
            self.x.key("alt+F4")
            try:
                self.proc.wait(10 * attempt)
                return self.proc.returncode
            except subprocess.TimeoutExpired:
                # Now and then the window manager loses a synthetic Alt+F4
                # although the window has the focus (seen under openbox in a
                # busy run); a second press closes it. A launcher that ignores
                # both does not close.
                print("note: the launcher was still there 10 s after Alt+F4; pressed it again", flush=True)
        shown = [self.x.name(w) for w in self.x.visible_windows(self.proc.pid)]
        raise Failure(f"the launcher did not end after two presses of Alt+F4; its windows: {shown}")


def caption_is(caption, name):
    # With a display name set, Qt puts it after a window's own title on X.
    return caption == name or caption == f"{name} \u2014 {APP_TITLE}"


# ------------------------------------------------------------ stored state

def parse_reg(text):
    """Sections of a registry export: {lower-case key: {lower-case name: value}}."""
    sections, current = {}, None
    for line in text.splitlines():
        line = line.strip()
        if line.startswith("[") and line.endswith("]"):
            current = sections.setdefault(line[1:-1].lower(), {})
        elif current is not None and line.startswith('"'):
            m = re.match(r'"((?:[^"\\]|\\.)*)"=(.*)$', line)
            if not m:
                continue
            name, raw = m.group(1), m.group(2)
            if raw.startswith('"') and raw.endswith('"'):
                raw = re.sub(r"\\(.)", r"\1", raw[1:-1])
            current[name.replace("\\\\", "\\").lower()] = raw
    return sections


def numbers(text):
    if text is None:
        return None
    parts = text.split(",")
    if len(parts) != 4 or not all(re.fullmatch(r"-?\d+", p) for p in parts):
        return None
    return [int(p) for p in parts]


def check_stored_state(world, moved_to, outer_size):
    work = world.work
    expect(read_bytes(os.path.join(work, "column1.txt")) ==
           cp1251_lines(["EUROPE", "АЗИЯ", "G:", "H:"] + [""] * 4),
           "column1.txt does not hold the data-set names, one CR LF line per grid row, in code page 1251: "
           f"{read_bytes(os.path.join(work, 'column1.txt'))!r}")
    expect(read_bytes(os.path.join(work, "column2.txt")) ==
           cp1251_lines([CHOSEN_KEY, "F:\\АЗИЯ\\TVDORVKY.INI", NOT_FOUND, SEVERAL] + [""] * 4),
           "column2.txt does not hold the key-file paths and status texts: "
           f"{read_bytes(os.path.join(work, 'column2.txt'))!r}")
    expect(read_bytes(os.path.join(work, "selected.txt")) == b",3\r\n,0\r\n",
           "selected.txt should hold the marks ,3 and ,0 (row 2 unmarked, row 0 marked): "
           f"{read_bytes(os.path.join(work, 'selected.txt'))!r}")

    reg_path = os.path.join(world.config, "dorv-launcher", "registry.reg")
    data = read_bytes(reg_path)
    if not expect(data is not None, f"no key store at {reg_path}"):
        return
    reg = parse_reg(data.decode("utf-8", "replace"))
    main = reg.get("hkey_current_user\\executedorv", {})
    form = reg.get("hkey_current_user\\executedorv\\mainform", {})
    expect(main.get("dorvdirectory") == "C:\\TARVEN",
           f"DorvDirectory is {main.get('dorvdirectory')!r}, not C:\\TARVEN")
    expect(main.get("dorvdisk") == "EUROPE", f"DorvDisk is {main.get('dorvdisk')!r}, not EUROPE")
    expect("validwindowsdirectory" not in main,
           "ValidWindowsDirectory was written although C:\\windows and its system32 agree")
    expect(re.fullmatch(r"\d+", form.get("flags", "")) is not None,
           f"MainForm\\Flags is {form.get('flags')!r}, not a decimal number")
    expect(form.get("showcmd") == "1", f"MainForm\\ShowCmd is {form.get('showcmd')!r}, not 1 (normal)")
    expect(numbers(form.get("minmaxpos")) is not None,
           f"MainForm\\MinMaxPos is {form.get('minmaxpos')!r}, not four numbers")
    norm = numbers(form.get("normpos"))
    if expect(norm is not None, f"MainForm\\NormPos is {form.get('normpos')!r}, not four numbers"):
        left, top, right, bottom = norm
        # The normal rectangle is the outer one where the window was moved to.
        expect((left, top) == moved_to and (right - left, bottom - top) == outer_size,
               f"MainForm\\NormPos is {norm}, the window's frame was at {moved_to} size {outer_size}")
    expect(form.get("activecontrol", "").lower() == "sg1",
           f"MainForm\\ActiveControl is {form.get('activecontrol')!r}, not sg1 (the grid had the focus)")


# -------------------------------------------------------------- the screen

def cell_pixels(shot, origin, rect):
    width, data = shot
    ox, oy = origin
    left, top, w, h = rect
    pixels = []
    for y in range(oy + top + 2, oy + top + h - 2):
        row = (y * width + ox + left + 2) * 3
        for x in range(w - 4):
            i = row + x * 3
            pixels.append((data[i], data[i + 1], data[i + 2]))
    return pixels


def ink(pixels):
    """Pixels that differ from the cell's own background (its commonest colour)."""
    counts = {}
    for p in pixels:
        counts[p] = counts.get(p, 0) + 1
    background = max(counts, key=counts.get)
    return [p for p in pixels if sum(abs(a - b) for a, b in zip(p, background)) > 90]


def red(pixels):
    return sum(1 for r, g, b in pixels if r >= 150 and g <= 100 and b <= 100)


def check_screen(x, launcher, shot_path):
    gx, gy, _, _ = launcher.geometry()
    # The pointer out of the way, so no tooltip covers the list.
    x.run("xdotool", "mousemove", "0", "0")

    def filled_rows():
        shot = x.screenshot(shot_path)
        counts = [len(ink(cell_pixels(shot, (gx, gy), launcher.cell_rect(c, r))))
                  for r in range(ROWS) for c in (0, 1)]
        return (shot, counts) if all(counts[2 * r] > 15 for r in range(4)) else None

    try:
        shot, _ = wait_for(filled_rows, "the restored list to be drawn", timeout=10, interval=0.3)
    except (Failure, subprocess.TimeoutExpired) as e:
        failures.append(str(e))
        print("FAIL: " + str(e), flush=True)
        shot = x.screenshot(shot_path)
    for r in range(ROWS):
        for c in (0, 1):
            pixels = cell_pixels(shot, (gx, gy), launcher.cell_rect(c, r))
            drawn, reds = len(ink(pixels)), red(pixels)
            if r < 4:
                expect(drawn > 15, f"cell ({c}, {r}) is blank after the restart ({drawn} text pixels)")
            else:
                expect(drawn == 0, f"cell ({c}, {r}) should be empty after the restart ({drawn} text pixels)")
            if r in (0, 3):
                expect(reds > 10, f"marked row {r}, column {c} is not drawn in red ({reds} red pixels)")
            else:
                expect(reds == 0, f"unmarked row {r}, column {c} has {reds} red pixels")


# ------------------------------------------------------------------- main

def report(found, what):
    """The exit status of a run: 0 when no check failed."""
    if found:
        print(f"{len(found)} check(s) failed", flush=True)
        return 1
    print(f"all {what} checks passed", flush=True)
    return 0


def start_display(procs, root, options=()):
    read_end, write_end = os.pipe()
    xvfb_log = open(os.path.join(root, "xvfb.log"), "wb")
    procs.start(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                 "-nolisten", "tcp", "-noreset", *options], pass_fds=(write_end,),
                stdout=xvfb_log, stderr=subprocess.STDOUT)
    os.close(write_end)
    xvfb_log.close()
    number = b""
    deadline = time.monotonic() + 30
    while not number.endswith(b"\n"):
        left = deadline - time.monotonic()
        require(left > 0, "Xvfb did not report its display number within 30 s")
        ready, _, _ = select.select([read_end], [], [], left)
        if ready:
            chunk = os.read(read_end, 64)
            require(chunk, "Xvfb ended before reporting its display number")
            number += chunk
    os.close(read_end)
    return ":" + number.decode().strip()


def start_window_manager(procs, x, wm, cwd):
    procs.start(WINDOW_MANAGERS[wm], env=x.env, cwd=cwd,
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_for(lambda: "window id" in x.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK", check=False),
             f"{wm} to manage the screen", timeout=30, interval=0.1)


# A data-set name that a shell, a desktop entry and a file name each read in
# their own way: blanks, quotes, a field code's "%", a backslash, a colon.
SHORTCUT_NAME = 'Юг "West" 50%s a\\b:c'
SHORTCUT_FILE = 'Юг _West_ 50%s a_b_c — Дорв.desktop'


def run_command_line(procs, root, launcher_path, wm):
    """"--activate NAME" on a saved list, and a shortcut from the popup menu."""
    world = World(root)
    display = start_display(procs, root)
    x = X(world.env(display))
    start_window_manager(procs, x, wm, world.work)
    print(f"display {display}, root {root}", flush=True)
    # The list a window's close left: row 2 (no key file) and row 3 marked.
    # Row 4's key file has gone since.
    names = [SHORTCUT_NAME, "АЗИЯ", "G:", "H:", "ГДЕ"]
    world.write(os.path.join(world.work, "column1.txt"), cp1251_lines(names + [""] * 3))
    world.write(os.path.join(world.work, "column2.txt"), cp1251_lines(
        ["E:\\EUROPE\\TVDORVKY.INI", "F:\\АЗИЯ\\TVDORVKY.INI", NOT_FOUND, SEVERAL, "E:\\GONE\\TVDORVKY.INI"]
        + [""] * 3))
    world.write(os.path.join(world.work, "selected.txt"), b",2\r\n,3\r\n")
    key_file = os.path.join(world.windows, "TVDORVKY.INI")
    ini = os.path.join(world.windows, "tvdorvw.ini")
    reg_path = os.path.join(world.config, "dorv-launcher", "registry.reg")

    def run(*args, box=False):
        p = procs.start([launcher_path, *args], cwd=world.work, env=x.env,
                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        if box:
            # The box the window would show, answered as a person does.
            shown = wait_for(lambda: p.poll() is None and x.window_named(p.pid, ERROR_TITLE),
                             f"the error box of {args}", timeout=30)
            Launcher.answer(types.SimpleNamespace(x=x, proc=p), shown, "Return")
        out, err = p.communicate(timeout=30)
        return p.returncode, out.decode("utf-8", "replace"), err.decode("utf-8", "replace")

    # Letter case aside, as the catalogue's file system compares names; a
    # program other than the default.
    code, _, err = run("--activate", "азия", "--start", "tdm010.exe")
    expect(code == 0 and err == "", f"--activate азия ended with {code}, saying {err!r}")
    expect(read_bytes(key_file) == KEY_ASIA, "--activate азия did not copy F:\\АЗИЯ\\TVDORVKY.INI")
    expect(read_bytes(ini) == CATALOGUE_INI.replace(b"MultiScreen=0", b"MultiScreen=1"),
           f"--activate did not write MultiScreen=1 alone: {read_bytes(ini)!r}")
    expect(world.wine_calls() == [["C:\\TARVEN\\tdm010.exe"]], f"wine was asked {world.wine_calls()}")
    disk = parse_reg((read_bytes(reg_path) or b"").decode("utf-8", "replace")).get(
        "hkey_current_user\\executedorv", {}).get("dorvdisk")
    expect(disk == "АЗИЯ", f"DorvDisk is {disk!r} after --activate, not АЗИЯ (the row's own spelling)")

    # Failures: the box, status 1, the reason on standard error, nothing copied.
    for args, says in ((("--activate", "NOWHERE"), ("«NOWHERE»", "нет в списке")),
                       (("--activate", "h:"), ("«H:»", "красным")),
                       (("--activate", "где"), ("«ГДЕ»", "не найден", "E:\\GONE\\TVDORVKY.INI")),
                       (("--activate", "АЗИЯ", "--start", "absent.exe"), ("Нет файла : ABSENT.EXE",))):
        code, _, err = run(*args, box=True)
        expect(code == 1 and all(s in err for s in says), f"{args} ended with {code}, saying {err!r}")
    expect(len(world.wine_calls()) == 1, f"a failed --activate started a program: {world.wine_calls()}")
    code, _, err = run("--activate")
    expect(code == 2 and "--activate" in err, f"--activate without a name ended with {code}, saying {err!r}")

    # The popup menu's third item on row 0, then the shortcut started as the
    # desktop starts it.
    app = Launcher(procs, x, world, launcher_path, 1)
    left, top, width, height = app.cell_rect(0, 0)
    x.run("xdotool", "mousemove", "--window", str(app.wid), str(left + 10), str(top + height // 2))
    x.run("xdotool", "click", "3")
    time.sleep(0.5)
    x.key("Down", "Down", "Down", "Return")
    app.answer(app.dialog(INFO_TITLE), "Return")
    expect(app.close() == 0, "the window did not close cleanly")
    shortcut = os.path.join(world.home, "Desktop", SHORTCUT_FILE)
    data = read_bytes(shortcut)
    if not expect(data is not None, f"no shortcut {shortcut}: {os.listdir(os.path.dirname(shortcut))}"):
        return
    expect(os.stat(shortcut).st_mode & 0o777 == 0o755, f"the shortcut's mode is {os.stat(shortcut).st_mode:o}")
    exec_line = ('Exec=' + launcher_path + ' --activate "Юг \\\\"West\\\\" 50%%s a\\\\\\\\b:c"')
    expect(data.decode() == "[Desktop Entry]\nType=Application\nVersion=1.4\n"
           f"Name={SHORTCUT_NAME.replace(chr(92), chr(92) * 2)} — Дорв\n{exec_line}\nPath={world.work}\n"
           "Icon=dorv-launcher\nTerminal=false\nStartupNotify=false\n", f"the shortcut reads {data!r}")
    checked = subprocess.run(["desktop-file-validate", shortcut], capture_output=True, text=True, timeout=30)
    expect(checked.returncode == 0 and not checked.stdout.strip(),
           f"desktop-file-validate finds fault with the shortcut: {checked.stdout}{checked.stderr}")
    world.write(key_file, KEY_OLD)
    x.run("dbus-run-session", "--", "gio", "launch", shortcut)
    wait_for(lambda: len(world.wine_calls()) == 2, "the shortcut to start the catalogue", timeout=30)
    expect(world.wine_calls()[-1] == ["C:\\TARVEN\\dorvwin.exe"], f"the shortcut started {world.wine_calls()[-1]}")
    expect(read_bytes(key_file) == KEY_EUROPE, f"the shortcut did not activate {SHORTCUT_NAME}")


# How the placement round trip sets its scale: QT_SCALE_FACTOR, or
# QT_SCREEN_SCALE_FACTORS (a factor for the screen).
SCALE_VARIABLE = "QT_SCALE_FACTOR"


def near(a, b):
    return all(abs(p - q) <= 1 for p, q in zip(a, b))


def placement_round_trip(procs, display, root, launcher_path, run, keep, scale):
    """One window opened, moved and resized by the window manager, closed and
    reopened in a fresh world; returns a list of what was misplaced. With a
    scale the program runs at that Qt scale factor: X reports physical
    pixels, the stored values are Qt's device-independent ones."""
    world = World(os.path.join(root, f"run{run}"))
    env = world.env(display)
    if scale != 1:
        env[SCALE_VARIABLE] = str(scale)
    x = X(env)
    problems = []
    app = Launcher(procs, x, world, launcher_path, 1)
    first = app.geometry()
    if first[2:] != (CLIENT_W * scale, CLIENT_H * scale):
        problems.append(f"opened with a client of {first[2:]}, not {scale} x the design size")
    # A different place and size each run, inside the smallest work area.
    target = (90 + 13 * (run % 9), 70 + 11 * (run % 7))
    size = (380 + 7 * (run % 11), 340 + 5 * (run % 9))
    before = app.geometry()
    x.run("xdotool", "windowsize", str(app.wid), str(size[0]), str(size[1]), check=False)
    x.run("xdotool", "windowmove", str(app.wid), str(target[0]), str(target[1]), check=False)
    wait_for(lambda: app.geometry() != before, "the window manager to move and resize the window")
    app.settle()
    closed = app.geometry()
    extents = x.frame_extents(app.wid)
    require(extents, "the window manager did not set _NET_FRAME_EXTENTS")
    fl, fr, ft, fb = extents
    code = app.close()
    require(code == 0, f"the launcher ended with status {code}")
    reg = parse_reg((read_bytes(os.path.join(world.config, "dorv-launcher", "registry.reg")) or b"")
                    .decode("utf-8", "replace"))
    norm = numbers(reg.get("hkey_current_user\\executedorv\\mainform", {}).get("normpos"))
    frame = (closed[0] - fl, closed[1] - ft, closed[0] + closed[2] + fr, closed[1] + closed[3] + fb)
    frame = tuple(v / scale for v in frame)
    if norm is None or not near(norm, frame):
        problems.append(f"NormPos {norm}, the frame was {list(frame)}")

    app = Launcher(procs, x, world, launcher_path, 2)
    again = app.geometry()
    if not near(again, closed):
        problems.append(f"reopened at {again} (x, y, width, height), closed at {closed}")
    code = app.close()
    require(code == 0, f"the second run ended with status {code}")
    if not problems and not keep:
        shutil.rmtree(world.root, ignore_errors=True)
    return problems


def run_placement(procs, root, launcher_path, wm, runs, keep, scale):
    display = start_display(procs, root)
    session = World(os.path.join(root, "session"))
    start_window_manager(procs, X(session.env(display)), wm, session.work)
    print(f"display {display} under {wm}, root {root}", flush=True)
    misplaced = 0
    for run in range(runs):
        problems = placement_round_trip(procs, display, root, launcher_path, run, keep, scale)
        if problems:
            misplaced += 1
            for p in problems:
                expect(False, f"{wm} run {run + 1}: {p}")
    print(f"{wm}: {misplaced} misplaced of {runs} reopens", flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--launcher", required=True)
    parser.add_argument("--wm", choices=sorted(WINDOW_MANAGERS), default="openbox")
    parser.add_argument("--placement", type=int, metavar="N", default=0,
                        help="only the placement round trip, N times")
    parser.add_argument("--command-line", action="store_true", help="only the command line and the shortcut")
    parser.add_argument("--scale", type=int, default=1, help="Qt scale factor of the placement round trip")
    parser.add_argument("--scale-variable", choices=("QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS"),
                        default="QT_SCALE_FACTOR")
    parser.add_argument("--keep", action="store_true", help="keep the temporary root")
    args = parser.parse_args()
    launcher_path = os.path.abspath(args.launcher)
    global SCALE_VARIABLE
    SCALE_VARIABLE = args.scale_variable

    shortcut_tools = ("gio", "dbus-run-session", "desktop-file-validate") if args.command_line else ()
    for tool in ("Xvfb", *(a for a in WINDOW_MANAGERS[args.wm] if not a.startswith("-")), "xdotool", "xwininfo", "xprop", "import",
                 "setxkbmap", *shortcut_tools):
        require(shutil.which(tool), f"{tool} is not installed (scripts/install-deps installs it)")

    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGHUP, on_signal)
    root = tempfile.mkdtemp(prefix="dorv-e2e-")
    procs = Processes()
    x = None
    try:
        if args.placement:
            run_placement(procs, root, launcher_path, args.wm, args.placement, args.keep, args.scale)
        elif args.command_line:
            run_command_line(procs, root, launcher_path, args.wm)
        else:
            world = World(root)
            display = start_display(procs, root)
            x = X(world.env(display))
            start_window_manager(procs, x, args.wm, world.work)
            print(f"display {display}, root {root}", flush=True)

            # ---- first run
            app = Launcher(procs, x, world, launcher_path, 1)
            caption = app.caption()
            expect(caption in ("", APP_TITLE), f"the first start's caption is {caption!r}, not empty")

            app.press_init()
            box = app.dialog(INFO_TITLE, timeout=30)
            for name in ("column1.txt", "column2.txt", "selected.txt"):
                expect(not os.path.exists(os.path.join(world.work, name)),
                       f"\"Проинициализировать\" left the old {name} in place")
            app.answer(box, "Return")
            print("initialised", flush=True)

            key_file = os.path.join(world.windows, "TVDORVKY.INI")
            app.click_cell(0, 1)
            wait_for(lambda: read_bytes(key_file) == KEY_ASIA,
                     "a click on АЗИЯ to copy F:\\АЗИЯ\\TVDORVKY.INI into C:\\windows")
            wait_for(lambda: caption_is(app.caption(), "АЗИЯ"), "the caption АЗИЯ")
            expect(world.wine_calls() == [], "a single click started a program")

            app.click_cell(0, 0, repeat=2)
            calls = wait_for(world.wine_calls, "a double-click on EUROPE to start a program")
            expect(calls == [["C:\\TARVEN\\dorvwin.exe"]],
                   f"the stand-in wine was asked {calls}, not once with C:\\TARVEN\\dorvwin.exe alone")
            expect(read_bytes(key_file) == KEY_EUROPE, "the double-click did not activate EUROPE's key file")
            expect(read_bytes(os.path.join(world.windows, "tvdorvw.ini")) ==
                   CATALOGUE_INI.replace(b"MultiScreen=0", b"MultiScreen=1"),
                   "tvdorvw.ini should differ from before only in MultiScreen=1: "
                   f"{read_bytes(os.path.join(world.windows, 'tvdorvw.ini'))!r}")
            wait_for(lambda: caption_is(app.caption(), "EUROPE"), "the caption EUROPE")
            print("activated and started", flush=True)

            app.click_cell(1, 2, repeat=2)   # unmark G:
            app.click_cell(1, 0, repeat=2)   # mark EUROPE

            # The shortcuts by their keys' places on the keyboard, with a
            # Russian layout active: beside a Latin one, and alone.
            for layout in ("ru,us", "ru"):
                x.set_layout(layout)
                for keycode, title in ((KEYCODE_A, ABOUT_TITLE), (KEYCODE_F, FONT_TITLE)):
                    app.x.activate(app.wid)
                    app.x.key(f"ctrl+alt+{keycode}")
                    app.answer(app.dialog(title), "Escape")
                print(f"about box and font dialog opened by their keys on the layout {layout}", flush=True)
            x.set_layout("us")
            # The popup menu's open dialog on the current row (0): a name typed
            # without its extension finds TVDORVKY.INI.
            spare = world.disk_file("e", "SPARE", "TVDORVKY.INI")
            world.write(spare, b"spare")
            left, top, width, height = app.cell_rect(0, 0)
            x.run("xdotool", "mousemove", "--window", str(app.wid), str(left + 10), str(top + height // 2))
            x.run("xdotool", "click", "3")
            time.sleep(0.5)
            x.key("Down", "Return")
            chooser = app.dialog(OPEN_TITLE)
            x.activate(chooser)
            x.run("xdotool", "type", "--delay", "15", spare[:-len(".INI")])
            app.answer(chooser, "Return")
            print("font and open-file dialogs shown in Russian", flush=True)

            # Move the window, then close it where it now is.
            before = app.geometry()
            x.run("xdotool", "windowmove", "--sync", str(app.wid), "150", "120", check=False)
            moved = wait_for(lambda: (lambda g: g if g[:2] != before[:2] else None)(app.geometry()),
                             "the window to move")
            fl, fr, ft, fb = x.frame_extents(app.wid) or (0, 0, 0, 0)
            frame_at = (moved[0] - fl, moved[1] - ft)
            outer = (moved[2] + fl + fr, moved[3] + ft + fb)
            code = app.close()
            expect(code == 0, f"the launcher ended with status {code} after Alt+F4")
            print("closed", flush=True)
            check_stored_state(world, frame_at, outer)

            # ---- second run: the list, its marks, the caption and the place came back
            saved = {n: read_bytes(os.path.join(world.work, n)) for n in ("column1.txt", "column2.txt", "selected.txt")}
            app = Launcher(procs, x, world, launcher_path, 2)
            # EUROPE's row was marked and given another key file: no row holds
            # the key file in place, and the caption says so.
            expect(caption_is(app.caption(), "EUROPE (?)"),
                   f"the caption after the restart is {app.caption()!r}, not EUROPE (?)")
            # The window manager frames the window only after it is mapped; the
            # launcher then settles its size to the stored outer rectangle.
            try:
                again = wait_for(lambda: (lambda g: g if g == moved else None)(app.geometry()),
                                 "the window to settle where it was closed", timeout=10.0)
            except Failure:
                again = app.geometry()
            expect(again == moved, f"the window reopened at {again} (x, y, width, height), closed at {moved}")
            check_screen(x, app, os.path.join(root, "restart.ppm"))
            code = app.close()
            expect(code == 0, f"the second run ended with status {code}")
            for name, data in saved.items():
                expect(read_bytes(os.path.join(world.work, name)) == data, f"a run without changes rewrote {name} differently")
            expect(len(world.wine_calls()) == 1, "the second run started a program")
    except (Failure, subprocess.TimeoutExpired) as e:
        failures.append(str(e))
        print("FAIL: " + str(e), flush=True)
        if x is not None and args.keep:
            # What the screen showed when it went wrong.
            x.run("import", "-silent", "-window", "root", os.path.join(root, "failure.png"), check=False)
        for log in sorted(f for f in os.listdir(root) if f.startswith("launcher-")):
            print(f"--- {log}:\n" + (read_bytes(os.path.join(root, log)) or b"").decode("utf-8", "replace")[-2000:])
    finally:
        procs.stop_all()
        if args.keep:
            print(f"files kept in {root}")
        else:
            shutil.rmtree(root, ignore_errors=True)

    return report(failures, "end-to-end")


if __name__ == "__main__":
    sys.exit(main())
