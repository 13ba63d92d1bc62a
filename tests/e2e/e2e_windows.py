"""The Windows release package as a user meets it, under Wine: the zip
unpacked alone into a fresh prefix (so a DLL it lacks stops the program),
a catalogue laid out in that prefix, and the program driven in Xvfb with the
same steps and helpers as the Linux end-to-end test. A cross-built stand-in
catalogue program checks what the launcher left for the catalogue. The
popup menu's desktop shortcut is read back with lnkinfo and started through
the shell ("wine start"), as a double-click on it starts it.

With --standard-user the run is a standard user's on Windows: Wine runs as
that unprivileged Unix user (made when missing; the run needs root), and
C:\\windows, the two catalogue files in it and the program's folder, its
working folder, belong to root, so Wine refuses writes exactly where Windows
would. The catalogue the launcher inspects is then the 32-bit image of
--catalogue32, which Windows would redirect to the user's VirtualStore and
which this machine cannot start. The prefix's settings are Wine's own (its
policy key says EnableLUA=0, and Wine does not report virtualization): the
launcher must do right with what Wine says, with nothing set for the test.
Last, "--activate" runs as that user in a folder of the user's with a saved
list.

Usage: e2e_windows.py --zip PATH --catalogue PATH [--standard-user NAME --catalogue32 PATH]
                      [--screenshot PATH] [--keep]
"""

import argparse
import contextlib
import glob
import os
import pwd
import re
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

import e2e_launcher as e

PROGRAM = "C:\\Program Files\\dorv-launcher\\dorv-launcher.exe"
# What a catalogue reading its VirtualStore copy must see once АЗИЯ is
# activated and a catalogue button pressed.
SAW_ASIA = b"Serial=2002\nMultiScreen=1\n"
KEY_BY_HAND = b"[Key]\r\nSerial=3003\r\n"


class Wine:
    """Starts programs as the run's user: root, or the unprivileged one."""

    def __init__(self, env, user=None):
        self.env, self.user = env, user

    def argv(self, *command):
        if self.user is None:
            return list(command)
        return ["setpriv", f"--reuid={self.user}", f"--regid={self.user}", "--init-groups",
                "--pdeathsig=KILL", *command]

    def run(self, *command, timeout=120, check=False, cwd=None):
        return subprocess.run(self.argv(*command), env=self.env, capture_output=True,
                              timeout=timeout, check=check, cwd=cwd)


def make_user(name):
    try:
        return pwd.getpwnam(name)
    except KeyError:
        e.require(os.geteuid() == 0, f"the user {name} is missing and only root can add it")
        subprocess.run(["useradd", "--system", "--user-group", "--no-create-home",
                        "--home-dir", "/nonexistent", "--shell", "/usr/sbin/nologin", name],
                       check=True, capture_output=True)
        return pwd.getpwnam(name)


def chown_tree(top, uid, gid):
    os.chown(top, uid, gid, follow_symlinks=False)
    for folder, dirs, files in os.walk(top):
        for name in dirs + files:
            os.chown(os.path.join(folder, name), uid, gid, follow_symlinks=False)


def set_up(args, root, procs):
    """The world, the display, a prefix made by the run's user, and a window
    manager; returns the world, the X tools, the Wine runner and the start
    script of the launcher."""
    world = e.World(root)
    with zipfile.ZipFile(args.zip) as z:
        z.extractall(os.path.join(world.drive_c, "Program Files"))
    shutil.copy(args.catalogue32 or args.catalogue, os.path.join(world.drive_c, "TARVEN", "dorvwin.exe"))
    display = e.start_display(procs, root, ["-ac"] if args.standard_user else [])
    env = world.env(display)
    # A Russian Windows (code page 1251), Wine's own prefix and nothing
    # of the build's paths: the zip must hold every DLL it needs.
    env.update(LC_ALL="ru_RU.UTF-8", LANG="ru_RU.UTF-8", WINEDEBUG="-all",
               WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml=")
    for name in ("WINE", "QT_QPA_PLATFORM", "WINEPATH"):
        env.pop(name, None)
    wine = Wine(env)
    if args.standard_user:
        user = make_user(args.standard_user)
        env.update(USER=user.pw_name, LOGNAME=user.pw_name)
        wine = Wine(env, user.pw_name)
        shutil.copy(args.catalogue, os.path.join(world.drive_c, "catalogue-standin.exe"))
        # Started from its own folder under C:\\Program Files, as from a
        # shortcut; no lists there yet.
        world.work = os.path.join(world.drive_c, "Program Files", "dorv-launcher")
        os.chmod(root, 0o755)
        for name in os.listdir(root):
            chown_tree(os.path.join(root, name), user.pw_uid, user.pw_gid)
    x = e.X(env)
    wine.run("wineboot", "-i", timeout=300, check=True)
    wine.run("wineserver", "-w")
    # Wine's Z: for the whole file system, which wineboot leaves out when the
    # prefix has drives already: without it a working folder outside C: is
    # not reachable and Wine starts the program in C:\\windows instead.
    z_drive = os.path.join(world.prefix, "dosdevices", "z:")
    if not os.path.lexists(z_drive):
        os.symlink("/", z_drive)
    if args.standard_user:
        # What Windows keeps from a standard user, given to root as DESIGN.md says.
        chown_tree(world.work, 0, 0)
        for path, mode in ((world.windows, 0o755), (world.work, 0o755),
                           (os.path.join(world.windows, "tvdorvw.ini"), 0o644),
                           (os.path.join(world.windows, "TVDORVKY.INI"), 0o644)):
            os.chown(path, 0, 0)
            os.chmod(path, mode)
    procs.start(wine.argv("openbox", "--sm-disable"), env=env, cwd=world.work,
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    e.wait_for(lambda: "window id" in x.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK", check=False),
               "openbox to manage the screen", timeout=30, interval=0.1)
    start = os.path.join(root, "start-launcher")
    with open(start, "w") as f:
        f.write("#!/bin/sh\nexec " + " ".join(f"'{a}'" for a in wine.argv("wine", PROGRAM)) + "\n")
    os.chmod(start, 0o755)
    return world, x, wine, start


def run_as_root(args, procs, world, x, wine, start):
    app = e.Launcher(procs, x, world, start, 1)
    app.press_init()
    app.answer(app.dialog(e.INFO_TITLE, timeout=60), "Return")
    if args.screenshot:
        x.run("import", "-silent", "-window", str(app.wid), args.screenshot, check=False)
    app.click_cell(0, 1)
    key_file = os.path.join(world.windows, "TVDORVKY.INI")
    e.wait_for(lambda: e.read_bytes(key_file) == e.KEY_ASIA,
               "a click on АЗИЯ to copy its key file into C:\\windows", timeout=30)

    saw = os.path.join(world.drive_c, "catalogue-saw.txt")
    app.click_cell(0, 0, repeat=2)
    e.wait_for(lambda: e.read_bytes(saw), "the catalogue to be started by a double-click on EUROPE", timeout=60)
    e.expect(e.read_bytes(saw) == b"Serial=1001\nMultiScreen=1\n",
             f"the catalogue saw {e.read_bytes(saw)!r}, not EUROPE's key file with MultiScreen=1")
    before = app.geometry()
    x.run("xdotool", "windowmove", "--sync", str(app.wid), "150", "120", check=False)
    moved = e.wait_for(lambda: (lambda g: g if g[:2] != before[:2] else None)(app.geometry()),
                       "the window to move")
    code = app.close()
    e.expect(code == 0, f"the launcher ended with status {code} after Alt+F4")
    lists = {n: e.read_bytes(os.path.join(world.work, n)) for n in ("column1.txt", "column2.txt", "selected.txt")}
    e.expect((lists["column1.txt"] or b"").startswith(e.cp1251_lines(["EUROPE", "АЗИЯ"])),
             f"column1.txt is {lists['column1.txt']!r}")
    e.expect(lists["selected.txt"] is not None, "selected.txt was not written")
    reg = wine.run("wine", "reg", "query", "HKCU\\ExecuteDorv", timeout=60).stdout.decode("utf-8", "replace")
    for value in ("DorvDirectory", "DorvDisk"):
        e.expect(value in reg, f"HKCU\\ExecuteDorv lacks {value}: {reg!r}")
    e.expect("EUROPE" in reg, f"DorvDisk is not EUROPE: {reg!r}")

    app = e.Launcher(procs, x, world, start, 2)
    again = app.geometry()
    e.expect(again == moved, f"the window reopened at {again}, closed at {moved}")
    e.expect(e.caption_is(app.caption(), "EUROPE"), f"the caption after the restart is {app.caption()!r}")
    shortcut_to_asia(app, world, x, wine)


def shortcut_to_asia(app, world, x, wine):
    """The popup menu's desktop shortcut to АЗИЯ, read back with lnkinfo and
    started as the shell starts it."""
    app.click_cell(0, 1)
    left, top, _, height = app.cell_rect(0, 1)
    x.run("xdotool", "mousemove", "--window", str(app.wid), str(left + 10), str(top + height // 2))
    x.run("xdotool", "click", "3")
    time.sleep(0.5)
    x.key("Down", "Down", "Down", "Return")
    app.answer(app.dialog(e.INFO_TITLE), "Return")
    app.close()
    name = "АЗИЯ — Дорв.lnk"
    found = glob.glob(os.path.join(world.drive_c, "users", "*", "Desktop", name)) + \
        glob.glob(os.path.join(world.home, "**", name), recursive=True)
    e.require(found, f"no shortcut {name} on the desktop")
    out = subprocess.run(["lnkinfo", found[0]], capture_output=True, text=True, timeout=30).stdout
    fields = {}
    for line in out.splitlines():
        field, _, value = line.partition(":")
        fields[field.strip()] = value.strip()
    work = "Z:" + world.work.replace("/", "\\")
    for field, wanted in (("Local path", PROGRAM), ("Command line arguments", "--activate АЗИЯ"),
                          ("Working directory", work), ("Icon location", PROGRAM)):
        e.expect(fields.get(field, "").lower() == wanted.lower(),
                 f"the shortcut's {field} is {fields.get(field)!r}, not {wanted!r}: {out}")

    key_file = os.path.join(world.windows, "TVDORVKY.INI")
    saw = os.path.join(world.drive_c, "catalogue-saw.txt")
    e.World.write(key_file, e.KEY_OLD)
    e.World.write(os.path.join(world.windows, "tvdorvw.ini"), e.CATALOGUE_INI)
    os.remove(saw)
    r = wine.run("wine", "start", "/wait", "/unix", found[0], timeout=120)
    e.expect(r.returncode == 0, f"the shortcut's command ended with {r.returncode}: {r.stderr[-500:]!r}")
    e.wait_for(lambda: e.read_bytes(saw), "the catalogue to be started by the shortcut", timeout=60)
    e.expect(e.read_bytes(saw) == SAW_ASIA, f"started from the shortcut, the catalogue saw {e.read_bytes(saw)!r}")


# ------------------------------------------------------- the standard user

@contextlib.contextmanager
def step(name, needed=False):
    """Names the step in its failure; the run goes on to the next step
    unless the rest needs this one."""
    try:
        yield
    except e.Failure as err:
        if needed:
            raise e.Failure(f"{name}: {err}") from None
        e.expect(False, f"{name}: {err}")


# The program's error boxes: "Ошибка", and its default error report, which
# bears the program's title. Both are answered; only the first is wanted.
BOX_TITLES = (e.ERROR_TITLE, e.APP_TITLE)


def find_box(app, main=None):
    """A box of the launcher's other than its main window: (window, title).
    Before the main window is known, a window titled as the application (the
    main window itself, with an empty caption) is not taken for a box."""
    titles = BOX_TITLES if main else [t for t in BOX_TITLES if t != e.APP_TITLE]
    for w in app.x.visible_windows(app.proc.pid):
        name = app.x.name(w)
        for title in titles:
            if w != main and e.caption_is(name, title):
                return w, title
    return None


class StartingLauncher(e.Launcher):
    """The launcher, whose start may show boxes before its window; they are
    answered and their titles kept."""

    def __init__(self, *args):
        self.start_boxes = []
        super().__init__(*args)

    def _main_window(self):
        main = super()._main_window()
        box = None if main else find_box(self)
        if box:
            self.answer(box[0], "Return")
            self.start_boxes.append(box[1])
        return main


def answer_boxes(app, first, more=3.0):
    """Answers each box of the launcher as it comes, until none has come for
    `more` seconds (`first` for the first one) or the launcher ended;
    returns their titles."""
    titles, timeout = [], first
    while True:
        try:
            found = e.wait_for(lambda: app.proc.poll() is not None or find_box(app, app.wid), "a box", timeout)
        except e.Failure:
            return titles
        if found is True:
            return titles
        app.answer(found[0], "Return")
        titles.append(found[1])
        timeout = more


def is_32bit_image(path):
    data = e.read_bytes(path) or b""
    pe = int.from_bytes(data[0x3C:0x40], "little") if len(data) > 0x40 else 0
    return data[:2] == b"MZ" and data[pe:pe + 6] == b"PE\0\0\x4c\x01"


def registry_blocks(text):
    """`reg query /s` output as {key: text of its values}."""
    blocks = {}
    for block in re.split(r"\r?\n\s*\r?\n", text.strip()):
        head, _, values = block.strip().partition("\n")
        blocks[head.strip()] = values
    return blocks


def registry_value(block, name):
    m = re.search(rf"^\s*{name}\s+REG_SZ(?:[ \t]+(.*?))?\s*$", block, re.M)
    return (m.group(1) or "") if m else None


def wine_path(folder, *names):
    """A path below folder as Wine finds it: each name matched regardless of case."""
    for name in names:
        try:
            name = next((n for n in os.listdir(folder) if n.lower() == name.lower()), name)
        except OSError:
            pass
        folder = os.path.join(folder, name)
    return folder


def run_as_standard_user(args, procs, world, x, wine, start):
    user = wine.user
    real_key = os.path.join(world.windows, "TVDORVKY.INI")
    real_ini = os.path.join(world.windows, "tvdorvw.ini")
    store = os.path.join(world.drive_c, "users", user, "AppData", "Local", "VirtualStore")
    saw = os.path.join(world.drive_c, "catalogue-saw.txt")

    def copy_of(name):
        """The user's VirtualStore copy of a file in C:\\windows: path, bytes."""
        path = wine_path(store, "Windows", name)
        return path, e.read_bytes(path)

    def catalogue_saw():
        """What the 64-bit stand-in, reading as the redirected catalogue does, sees."""
        if os.path.exists(saw):
            os.remove(saw)
        r = wine.run("wine", "C:\\catalogue-standin.exe", "--redirected", timeout=60)
        e.require(r.returncode == 0, f"the stand-in catalogue ended with {r.returncode}: {r.stderr[-500:]!r}")
        return e.read_bytes(saw)

    with step("setup", needed=True):
        for path in (world.windows, real_key, real_ini, world.work):
            e.require(wine.run("test", "-w", path).returncode != 0, f"{path} is writable by {user}")
        e.require(is_32bit_image(os.path.join(world.drive_c, "TARVEN", "dorvwin.exe")),
                  "C:\\TARVEN\\dorvwin.exe is not a 32-bit image")
        # The stand-in reads a VirtualStore copy first, and the real file
        # when there is none.
        e.World.write(os.path.join(store, "Windows", "TVDORVKY.INI"), KEY_BY_HAND)
        seen = catalogue_saw()
        e.require(seen == b"Serial=3003\nMultiScreen=0\n",
                  f"the stand-in saw {seen!r} with a copy of TVDORVKY.INI placed by hand in {store}")
        shutil.rmtree(store)

    with step("step 2 (start with a read-only working folder)", needed=True):
        app = StartingLauncher(procs, x, world, start, 1)
        boxes = app.start_boxes + answer_boxes(app, first=0 if app.start_boxes else 8)
        e.expect(boxes == [e.ERROR_TITLE], f"step 2: the start showed the boxes {boxes}, not one \"Ошибка\" "
                 f"saying that the working folder {world.work} cannot be written")

    with step("step 3 (\"Проинициализировать\")", needed=True):
        app.press_init()
        app.answer(app.dialog(e.INFO_TITLE, timeout=60), "Return")

    with step("step 4 (activation by a click on АЗИЯ)"):
        app.click_cell(0, 1)
        done = e.wait_for(lambda: copy_of("TVDORVKY.INI")[1] == e.KEY_ASIA or find_box(app, app.wid),
                          f"АЗИЯ's key file in the VirtualStore {store} or a box", timeout=30)
        if done is not True:
            app.answer(done[0], "Return")
            e.expect(False, "step 4: the activation showed a box \"{}\"; the VirtualStore copy {} holds {!r}"
                     .format(done[1], *copy_of("TVDORVKY.INI")))
        else:
            # Wine redirects no file, and its prefix says so: the catalogue
            # reads the real key file, still the old one, and the caption
            # says that the name is not what it will use.
            try:
                e.wait_for(lambda: e.caption_is(app.caption(), "АЗИЯ (?)"), "the caption АЗИЯ (?)", timeout=10)
            except e.Failure:
                e.expect(False, f"step 4: the caption is {app.caption()!r}, not АЗИЯ (?)")
            time.sleep(0.5)
            boxes = answer_boxes(app, first=0.5)
            e.expect(not boxes, f"step 4: the activation wrote the key and showed the boxes {boxes}")
        e.expect(e.read_bytes(real_key) == e.KEY_OLD, f"step 4: the real {real_key} changed")

    with step("steps 5 and 1 (the catalogue button; its 32-bit program cannot start)"):
        app.x.click(app.wid, *app.design_point(212, 36))
        boxes = answer_boxes(app, first=15)
        wanted = e.CATALOGUE_INI.replace(b"MultiScreen=0", b"MultiScreen=1")
        path, got = copy_of("tvdorvw.ini")
        written = e.expect(got == wanted, f"step 5: the VirtualStore copy {path} is {got!r}, not the real "
                           f"tvdorvw.ini with MultiScreen=1 (boxes shown: {boxes})")
        e.expect(e.read_bytes(real_ini) == e.CATALOGUE_INI, f"step 5: the real {real_ini} changed")
        if written:
            e.expect(boxes == [e.ERROR_TITLE], f"step 1: the failed start of the 32-bit C:\\TARVEN\\dorvwin.exe "
                     f"showed the boxes {boxes}, not one \"Ошибка\"")

    with step("step 6 (a redirected catalogue reads the VirtualStore copies)"):
        seen = catalogue_saw()
        e.expect(seen == SAW_ASIA, f"step 6: the catalogue would see {seen!r}, not АЗИЯ's key with MultiScreen=1")

    with step("step 7 (close with a read-only working folder)"):
        boxes = []
        for _ in (1, 2):
            # A second Alt+F4 when the window manager lost the first.
            app.x.activate(app.wid)
            app.x.key("alt+F4")
            boxes += answer_boxes(app, first=10)
            if app.proc.poll() is not None or boxes:
                break
        try:
            code = app.proc.wait(20)
        except subprocess.TimeoutExpired:
            raise e.Failure("the launcher did not end after Alt+F4") from None
        e.expect(code == 0, f"step 7: the launcher ended with status {code}")
        e.expect(boxes == [e.ERROR_TITLE], f"step 7: the close showed the boxes {boxes}, not one \"Ошибка\" "
                 "listing what it could not save")
        out = wine.run("wine", "reg", "query", "HKCU\\ExecuteDorv", "/s", timeout=60).stdout
        # reg writes in the console's code page.
        keys = registry_blocks(out.decode("cp866", "replace"))
        main = keys.get("HKEY_CURRENT_USER\\ExecuteDorv", "")
        font = keys.get("HKEY_CURRENT_USER\\ExecuteDorv\\Font", "")
        wanted = [("DorvDisk", "АЗИЯ", main), ("DorvDirectory", "C:\\TARVEN", main)]
        wanted += [(name, None, font) for name in ("FontName", "FontSize", "FontColor", "FontStyle")]
        wrong = []
        for name, value, block in wanted:
            got = registry_value(block, name)
            if got is None or value not in (None, got):
                wrong.append(f"{name}={got!r}")
        e.expect(not wrong, f"step 7: after the close HKCU\\ExecuteDorv (with its Font) has {', '.join(wrong)}: {keys}")

    with step("step 8 (the command line)"):
        command_line_as_standard_user(args, world, wine, saw, copy_of, real_key)


def command_line_as_standard_user(args, world, wine, saw, copy_of, real_key):
    """Step 8: "--activate" in a working folder of the user's with a saved
    list: the key file goes where the redirected catalogue reads it, as a
    click puts it, and the program starts."""
    user = pwd.getpwnam(wine.user)
    lists = os.path.join(world.root, "lists")
    e.World.write(os.path.join(lists, "column1.txt"), e.cp1251_lines(["EUROPE", "АЗИЯ"]))
    e.World.write(os.path.join(lists, "column2.txt"),
                  e.cp1251_lines(["E:\\EUROPE\\TVDORVKY.INI", "F:\\АЗИЯ\\TVDORVKY.INI"]))
    # A 64-bit program to start: the 32-bit catalogue cannot start here.
    shutil.copy(args.catalogue, os.path.join(world.drive_c, "TARVEN", "tdm010.exe"))
    for path in (lists, os.path.join(world.drive_c, "TARVEN")):
        chown_tree(path, user.pw_uid, user.pw_gid)
    if os.path.exists(saw):
        os.remove(saw)
    r = wine.run("wine", PROGRAM, "--activate", "europe", "--start", "tdm010.exe", timeout=60, cwd=lists)
    e.expect(r.returncode == 0, f"step 8: --activate europe ended with {r.returncode}: "
             f"{r.stderr.decode('utf-8', 'replace')[-500:]!r}")
    path, got = copy_of("TVDORVKY.INI")
    e.expect(got == e.KEY_EUROPE, f"step 8: the VirtualStore copy {path} holds {got!r}, not EUROPE's key file")
    e.expect(e.read_bytes(real_key) == e.KEY_OLD, f"step 8: the real {real_key} changed")
    e.expect(e.read_bytes(saw) is not None, "step 8: C:\\TARVEN\\tdm010.exe was not started")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--zip", required=True)
    parser.add_argument("--catalogue", required=True, help="the cross-built stand-in catalogue program")
    parser.add_argument("--standard-user", metavar="NAME", help="run as this unprivileged user")
    parser.add_argument("--catalogue32", help="the 32-bit stand-in the launcher inspects as that user")
    parser.add_argument("--screenshot", help="where to save a picture of the filled window")
    parser.add_argument("--keep", action="store_true")
    args = parser.parse_args()
    if bool(args.standard_user) != bool(args.catalogue32):
        parser.error("--standard-user and --catalogue32 go together")

    root = tempfile.mkdtemp(prefix="dorv-e2e-win-")
    procs = e.Processes()
    failures = []
    x = wine = None
    begun = time.monotonic()
    try:
        world, x, wine, start = set_up(args, root, procs)
        scenario = run_as_standard_user if args.standard_user else run_as_root
        scenario(args, procs, world, x, wine, start)
    except (e.Failure, subprocess.SubprocessError) as err:
        failures.append(str(err))
        print("FAIL: " + str(err), flush=True)
        if args.keep and x is not None:
            x.run("import", "-silent", "-window", "root", os.path.join(root, "failure.png"), check=False)
        for log in sorted(f for f in os.listdir(root) if f.startswith("launcher-")):
            print(f"--- {log}:\n" + (e.read_bytes(os.path.join(root, log)) or b"").decode("utf-8", "replace")[-2000:])
    finally:
        procs.stop_all()
        if wine is not None:
            wine.run("wineserver", "-k")
        if args.keep:
            print(f"files kept in {root}")
        else:
            shutil.rmtree(root, ignore_errors=True)
    print(f"took {time.monotonic() - begun:.0f} s", flush=True)
    who = f" as the standard user {args.standard_user}" if args.standard_user else ""
    return e.report(failures + e.failures, "Windows end-to-end" + who)


if __name__ == "__main__":
    sys.exit(main())
