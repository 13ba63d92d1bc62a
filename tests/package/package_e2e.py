"""The packages as a user installs and starts them, run as that (unprivileged)
user with the end-to-end test's helpers and stand-in catalogue.

  package_e2e.py menu --command PATH
      The Debian package's menu command (installed by the caller): started
      in Xvfb, it fills the list and keeps it in $HOME/.local/share/dorv-launcher,
      not in the folder it was started from.
  package_e2e.py installer --setup EXE --zip ZIP --catalogue EXE --version V
      The Windows installer, silent, in a fresh Wine prefix: its files (the
      zip's), the Start-menu shortcut's target and working folder, the
      uninstall entry; the program started from the shortcut fills its list
      and finds it there after a restart; a second install keeps it; the
      silent uninstall removes the program, its shortcuts and its entry and
      leaves the list files and HKCU\\ExecuteDorv.
"""

import argparse
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import e2e_launcher as e  # noqa: E402

LISTS = ("column1.txt", "column2.txt", "selected.txt")
SHORTCUT = "Запуск Дорва.lnk"
UNINSTALL_KEY = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\dorv-launcher"


def fill_and_close(procs, x, world, start, run):
    """Starts the launcher, presses "Проинициализировать" and closes it."""
    app = e.Launcher(procs, x, world, start, run)
    app.press_init()
    app.answer(app.dialog(e.INFO_TITLE, timeout=60), "Return")
    code = app.close()
    e.expect(code == 0, f"the launcher ended with status {code} after Alt+F4")


def expect_filled_list(folder, what):
    column1 = e.read_bytes(os.path.join(folder, "column1.txt")) or b""
    e.expect(column1.startswith(e.cp1251_lines(["EUROPE", "АЗИЯ"])),
             f"{what}: column1.txt in {folder} is {column1!r}")


def start_session(procs, root, env_changes):
    world = e.World(root)
    display = e.start_display(procs, root)
    env = world.env(display)
    env.update(env_changes)
    x = e.X(env)
    procs.start(["openbox", "--sm-disable"], env=env, cwd=world.work,
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    e.wait_for(lambda: "window id" in x.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK", check=False),
               "openbox to manage the screen", timeout=30, interval=0.1)
    return world, env, x


def menu(args, procs, root):
    # The menu sets no XDG_DATA_HOME on most desktops: the default applies.
    world, env, x = start_session(procs, root, {})
    del env["XDG_DATA_HOME"]
    fill_and_close(procs, x, world, args.command, 1)
    data = os.path.join(world.home, ".local", "share", "dorv-launcher")
    expect_filled_list(data, "started from the menu")
    e.expect(e.read_bytes(os.path.join(world.work, "column1.txt")) == b"STALE\r\n",
             "the menu command wrote its list into the folder it was started from")


def wine(env, *argv):
    """Runs a Windows program and waits for every process it started (the
    uninstaller runs on from a copy of itself)."""
    r = subprocess.run(["wine", *argv], env=env, capture_output=True, timeout=300)
    subprocess.run(["wineserver", "-w"], env=env, timeout=300)
    e.require(r.returncode == 0, f"wine {' '.join(argv)} failed ({r.returncode}): {r.stderr[-500:]!r}")


def reg_query(env, key):
    r = subprocess.run(["wine", "reg", "query", key], env=env, capture_output=True, timeout=60)
    # A console program's output to a pipe is in the OEM code page: 866.
    return r.returncode, r.stdout.decode("cp866", "replace")


def host_path(world, windows_path):
    e.require(windows_path[:3].upper() == "C:\\", f"{windows_path} is not on drive C:")
    return os.path.join(world.drive_c, *windows_path[3:].split("\\"))


def read_shortcut(world, lnk):
    """The shortcut's target and working folder, as host paths."""
    out = subprocess.run(["lnkinfo", lnk], capture_output=True, text=True, timeout=30).stdout
    fields = {}
    for line in out.splitlines():
        name, _, value = line.partition(":")
        fields[name.strip()] = value.strip()
    e.require("Local path" in fields and "Working directory" in fields, f"lnkinfo read no paths from {lnk}: {out}")
    return host_path(world, fields["Local path"]), host_path(world, fields["Working directory"])


def installed_shortcuts(world):
    return glob.glob(os.path.join(world.drive_c, "users", "*", "AppData", "Roaming", "Microsoft",
                                  "Windows", "Start Menu", "Programs", SHORTCUT)) + \
        glob.glob(os.path.join(world.home, "**", SHORTCUT), recursive=True)


def expect_zip_installed(zip_path, folder):
    with zipfile.ZipFile(zip_path) as z:
        for info in z.infolist():
            if info.is_dir():
                continue
            name = info.filename.split("/", 1)[1]
            e.expect(e.read_bytes(os.path.join(folder, *name.split("/"))) == z.read(info),
                     f"{name} of the zip is not installed as it is in the zip")


def installer(args, procs, root):
    # A Russian Windows (code page 1251), Wine's own prefix and nothing of the
    # build's paths.
    world, env, x = start_session(procs, root, {
        "LC_ALL": "ru_RU.UTF-8", "LANG": "ru_RU.UTF-8", "WINEDEBUG": "-all",
        "WINEDLLOVERRIDES": "winemenubuilder.exe=d;mscoree,mshtml="})
    for name in ("WINE", "QT_QPA_PLATFORM", "WINEPATH"):
        env.pop(name, None)
    subprocess.run(["wineboot", "-i"], env=env, capture_output=True, timeout=300, check=True)
    subprocess.run(["wineserver", "-w"], env=env, timeout=120)
    shutil.copy(args.catalogue, os.path.join(world.drive_c, "TARVEN", "dorvwin.exe"))
    # The prefix has no drive for the host's root: the setup file goes where
    # a download would.
    setup = os.path.join(world.drive_c, "Downloads", os.path.basename(args.setup))
    os.makedirs(os.path.dirname(setup))
    shutil.copy(args.setup, setup)

    wine(env, setup, "/S")
    shortcuts = installed_shortcuts(world)
    e.require(len(shortcuts) == 2, f"the installer made the shortcuts {shortcuts}, not the Start menu's and the desktop's")
    program, work = read_shortcut(world, shortcuts[0])
    local = os.path.join(world.drive_c, "users", os.environ["USER"], "AppData", "Local")
    e.expect(work == os.path.join(local, "dorv-launcher") and os.path.isdir(work),
             f"the shortcut's working folder is {work}, not an existing %LOCALAPPDATA%\\dorv-launcher")
    e.expect(program == os.path.join(local, "Programs", "dorv-launcher", "dorv-launcher.exe"),
             f"the shortcut starts {program}, not %LOCALAPPDATA%\\Programs\\dorv-launcher\\dorv-launcher.exe")
    e.expect(read_shortcut(world, shortcuts[1]) == (program, work), "the desktop shortcut differs from the menu's")
    folder = os.path.dirname(program)
    expect_zip_installed(args.zip, folder)
    code, entry = reg_query(env, UNINSTALL_KEY)
    e.require(code == 0, f"no uninstall entry {UNINSTALL_KEY}")
    for value in ("DisplayName    REG_SZ    Запуск Дорва", f"DisplayVersion    REG_SZ    {args.version}",
                  "Publisher    REG_SZ", "DisplayIcon    REG_SZ", "EstimatedSize    REG_DWORD    0x"):
        e.expect(value in entry, f"the uninstall entry lacks '{value}': {entry!r}")

    start = os.path.join(root, "start-from-shortcut")
    with open(start, "w") as f:
        f.write(f"#!/bin/sh\ncd '{work}' && exec wine '{program}'\n")
    os.chmod(start, 0o755)
    fill_and_close(procs, x, world, start, 1)
    expect_filled_list(work, "started from the shortcut")
    app = e.Launcher(procs, x, world, start, 2)
    app.close()
    expect_filled_list(work, "after a restart")
    lists = {n: e.read_bytes(os.path.join(work, n)) for n in LISTS}

    wine(env, setup, "/S")
    e.expect({n: e.read_bytes(os.path.join(work, n)) for n in LISTS} == lists,
             "a second install changed the list files")
    e.expect(os.path.isfile(program) and reg_query(env, UNINSTALL_KEY)[0] == 0,
             "after a second install the program or its uninstall entry is missing")

    wine(env, os.path.join(folder, "uninstall.exe"), "/S")
    e.expect(not os.path.exists(folder), f"the uninstaller left {folder}: {os.listdir(folder) if os.path.isdir(folder) else ''}")
    e.expect(not installed_shortcuts(world), f"the uninstaller left {installed_shortcuts(world)}")
    e.expect(reg_query(env, UNINSTALL_KEY)[0] != 0, "the uninstaller left its uninstall entry")
    e.expect({n: e.read_bytes(os.path.join(work, n)) for n in LISTS} == lists, "the uninstaller changed the list files")
    code, settings = reg_query(env, "HKCU\\ExecuteDorv")
    e.expect(code == 0 and "DorvDisk" in settings, f"the uninstaller removed HKCU\\ExecuteDorv: {settings!r}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    sub = parser.add_subparsers(dest="mode", required=True)
    m = sub.add_parser("menu")
    m.add_argument("--command", required=True)
    i = sub.add_parser("installer")
    for name in ("--setup", "--zip", "--catalogue", "--version"):
        i.add_argument(name, required=True)
    parser.add_argument("--keep", action="store_true")
    args = parser.parse_args()

    root = tempfile.mkdtemp(prefix=f"dorv-package-{args.mode}-")
    procs = e.Processes()
    failures = []
    try:
        (menu if args.mode == "menu" else installer)(args, procs, root)
    except (e.Failure, subprocess.SubprocessError) as err:
        failures.append(str(err))
        print("FAIL: " + str(err), flush=True)
    finally:
        procs.stop_all()
        subprocess.run(["wineserver", "-k"], env={**os.environ, "WINEPREFIX": os.path.join(root, "prefix")},
                       capture_output=True)
        if args.keep:
            print(f"files kept in {root}")
        else:
            shutil.rmtree(root, ignore_errors=True)
    return e.report(failures + e.failures, f"package ({args.mode})")


if __name__ == "__main__":
    sys.exit(main())
