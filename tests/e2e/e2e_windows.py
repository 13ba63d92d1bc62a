"""The Windows release package as a user meets it, under Wine: the zip
unpacked alone into a fresh prefix (so a DLL it lacks stops the program),
a catalogue laid out in that prefix, and the program driven in Xvfb with the
same steps and helpers as the Linux end-to-end test. A cross-built stand-in
catalogue program checks what the launcher left for the catalogue.

Usage: e2e_windows.py --zip PATH --catalogue PATH [--screenshot PATH] [--keep]
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile

import e2e_launcher as e


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--zip", required=True)
    parser.add_argument("--catalogue", required=True, help="the cross-built stand-in catalogue program")
    parser.add_argument("--screenshot", help="where to save a picture of the filled window")
    parser.add_argument("--keep", action="store_true")
    args = parser.parse_args()

    root = tempfile.mkdtemp(prefix="dorv-e2e-win-")
    procs = e.Processes()
    failures = []
    x = None
    try:
        world = e.World(root)
        with zipfile.ZipFile(args.zip) as z:
            z.extractall(os.path.join(world.drive_c, "Program Files"))
        program = "C:\\Program Files\\dorv-launcher\\dorv-launcher.exe"
        shutil.copy(args.catalogue, os.path.join(world.drive_c, "TARVEN", "dorvwin.exe"))

        display = e.start_display(procs, root)
        env = world.env(display)
        # A Russian Windows (code page 1251), Wine's own prefix and nothing
        # of the build's paths: the zip must hold every DLL it needs.
        env.update(LC_ALL="ru_RU.UTF-8", LANG="ru_RU.UTF-8", WINEDEBUG="-all",
                   WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml=")
        for name in ("WINE", "QT_QPA_PLATFORM", "WINEPATH"):
            env.pop(name, None)
        x = e.X(env)
        subprocess.run(["wineboot", "-i"], env=env, capture_output=True, timeout=300, check=True)
        subprocess.run(["wineserver", "-w"], env=env, timeout=120)
        procs.start(["openbox", "--sm-disable"], env=env, cwd=world.work,
                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        e.wait_for(lambda: "window id" in x.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK", check=False),
                   "openbox to manage the screen", timeout=30, interval=0.1)
        start = os.path.join(root, "start-launcher")
        with open(start, "w") as f:
            f.write(f"#!/bin/sh\nexec wine '{program}'\n")
        os.chmod(start, 0o755)

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
        reg = subprocess.run(["wine", "reg", "query", "HKCU\\ExecuteDorv"], env=env,
                             capture_output=True, timeout=60).stdout.decode("utf-8", "replace")
        for value in ("DorvDirectory", "DorvDisk"):
            e.expect(value in reg, f"HKCU\\ExecuteDorv lacks {value}: {reg!r}")
        e.expect("EUROPE" in reg, f"DorvDisk is not EUROPE: {reg!r}")

        app = e.Launcher(procs, x, world, start, 2)
        again = app.geometry()
        e.expect(again == moved, f"the window reopened at {again}, closed at {moved}")
        e.expect(e.caption_is(app.caption(), "EUROPE"), f"the caption after the restart is {app.caption()!r}")
        app.close()
    except (e.Failure, subprocess.SubprocessError) as err:
        failures.append(str(err))
        print("FAIL: " + str(err), flush=True)
        if args.keep and x is not None:
            x.run("import", "-silent", "-window", "root", os.path.join(root, "failure.png"), check=False)
    finally:
        procs.stop_all()
        subprocess.run(["wineserver", "-k"], env={**os.environ, "WINEPREFIX": os.path.join(root, "prefix")},
                       capture_output=True)
        if args.keep:
            print(f"files kept in {root}")
        else:
            shutil.rmtree(root, ignore_errors=True)
    return e.report(failures + e.failures, "Windows end-to-end")


if __name__ == "__main__":
    sys.exit(main())
