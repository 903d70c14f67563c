"""Installs, upgrades and removes Cellarium with the x64 installer under
Wine, in fresh prefixes on a virtual display.

    installer_e2e.py SETUP SCR [--artifacts FOLDER]

SETUP is cellarium-<version>-x64-setup.exe, SCR the stripped cellarium.scr
it should install. Prints a line per check and "N passed, N failed".
"""

import argparse
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from harness import (Display, HarnessError, PrefixTemplate, SAVER_KEY, Suite, _poll,  # noqa: E402
                     expect, screenshot)

DESKTOP = r"HKCU\Control Panel\Desktop"
SAVER_VALUES = ("SCRNSAVE.EXE", "ScreenSaveActive")
UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Cellarium"
INSTALLED = r"C:\windows\system32\cellarium.scr"
PREVIOUS = r"C:\windows\system32\previous.scr"


def value(values, name):
    return values.get(name, (None, None))[1]


def saver_values(desktop):
    return {name: value(desktop, name) for name in SAVER_VALUES}


def install(prefix, setup):
    status, out = prefix.wine(setup, "/S", timeout=180)
    expect(status == 0, f"the installer exited with {status}: {out.strip()[-300:]}")


def uninstall(prefix):
    """Runs the quiet-uninstall command of the entry and waits for it: the
    uninstaller copies itself to a temporary folder, starts the copy and
    returns at once."""
    command = value(prefix.reg_query(UNINSTALL), "QuietUninstallString") or ""
    expect(command.endswith(" /S") and command.startswith('"'), f"QuietUninstallString {command!r}")
    program = command[1:command.index('"', 1)]
    status, out = prefix.wine(program, "/S")
    expect(status == 0, f"the uninstaller exited with {status}: {out.strip()[-300:]}")
    gone = _poll(lambda: not prefix.reg_query(UNINSTALL) and not os.path.exists(unix(prefix, program)),
                 60, 0.5)
    expect(gone, "the uninstall entry or the uninstaller is still there after 60 s")


def installed(prefix):
    with open(unix(prefix, INSTALLED), "rb") as f:
        return f.read()


def put_older(prefix, scr):
    """Puts an older cellarium.scr in place, one that still runs: the
    packaged one with bytes after its end. Returns its contents."""
    older = scr + b"older"
    with open(unix(prefix, INSTALLED), "wb") as f:
        f.write(older)
    return older


def unix(prefix, windows_path):
    drive, rest = windows_path.split(":", 1)
    assert drive.lower() == "c"
    return os.path.join(prefix.path, "drive_c", *rest.strip("\\").split("\\"))


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("setup")
    ap.add_argument("scr")
    ap.add_argument("--version", required=True, help="the version the entry shows, e.g. 1.0")
    ap.add_argument("--artifacts", help="folder for the screenshot of the installer's page")
    args = ap.parse_args()
    setup = os.path.abspath(args.setup)
    with open(args.scr, "rb") as f:
        scr = f.read()
    suite = Suite(args.artifacts)
    try:
        with Display(1024, 768) as display, PrefixTemplate(display) as template:
            # Every prefix starts with another saver active, as a user's would.
            template.set_values({"SCRNSAVE.EXE": ("REG_SZ", PREVIOUS), "ScreenSaveActive": ("REG_SZ", "0")},
                                key=DESKTOP)
            run(suite, display, template, setup, scr, args.version)
    except HarnessError as e:
        suite.report("harness", False, e)
    return suite.finish()


def run(suite, display, template, setup, scr, version):
    prefix = template.fresh()
    with suite.check("a silent install puts the saver in place, makes it active and adds the entry"):
        install(prefix, setup)
        with open(unix(prefix, INSTALLED), "rb") as f:
            expect(f.read() == scr, "the installed cellarium.scr is not the packaged one")
        desktop = prefix.reg_query(DESKTOP)
        expect(str(value(desktop, "SCRNSAVE.EXE")).lower() == INSTALLED.lower()
               and value(desktop, "ScreenSaveActive") == "1", f"desktop values {saver_values(desktop)}")
        entry = prefix.reg_query(UNINSTALL)
        expected = {"DisplayName": "Cellarium", "DisplayVersion": version,
                    "Publisher": "The Cellarium developers", "NoModify": 1, "NoRepair": 1}
        wrong = {k: value(entry, k) for k, v in expected.items() if value(entry, k) != v}
        expect(not wrong, f"uninstall entry values {wrong}")
        expect(str(value(entry, "DisplayIcon")).lower().startswith(INSTALLED.lower()),
               f"DisplayIcon {value(entry, 'DisplayIcon')!r}")
        expect(value(entry, "EstimatedSize") == (len(scr) + 1023) // 1024,
               f"EstimatedSize {value(entry, 'EstimatedSize')} KB for {len(scr)} bytes")

    with suite.check("the installed saver runs /s and closes on a key"):
        proc = prefix.start(INSTALLED, "/s")
        win = display.wait_window(name="ScreenSaver.Cellarium", proc=proc, timeout=40)
        expect(win is not None, f"no saver window (status {proc.wait(0)})")
        time.sleep(1)
        display.key("a")
        status = proc.wait(20)
        expect(status == 0, f"the saver did not end with 0 after a key: {status}")

    with suite.check("installing again while an older saver runs closes it, which stores its rate, "
                     "and replaces it"):
        older = put_older(prefix, scr)
        prefix.wine("reg", "delete", SAVER_KEY, "/v", "LastRate", "/f")
        proc = prefix.start(INSTALLED, "/s")
        expect(display.wait_window(name="ScreenSaver.Cellarium", proc=proc, timeout=40) is not None,
               f"no saver window (status {proc.wait(0)})")
        install(prefix, setup)
        expect(proc.wait(10) == 0, f"the running saver was not closed: status {proc.wait(0)}")
        expect(value(prefix.reg_query(SAVER_KEY), "LastRate") is not None, "the closed saver stored no LastRate")
        expect(installed(prefix) == scr, "cellarium.scr is the older one still" if installed(prefix) == older
               else "cellarium.scr is neither the older nor the packaged one")
        expect(value(prefix.reg_query(UNINSTALL), "PreviousScreenSaver") == PREVIOUS,
               "the second install forgot the saver the first one replaced")

    with suite.check("the silent uninstaller removes saver and entry, restores the previous saver, "
                     "keeps the settings"):
        prefix.reg_add("ZoomFactor", "REG_DWORD", 3)
        uninstall(prefix)
        expect(not os.path.exists(unix(prefix, INSTALLED)), "cellarium.scr is still there")
        desktop = prefix.reg_query(DESKTOP)
        expect(value(desktop, "SCRNSAVE.EXE") == PREVIOUS and value(desktop, "ScreenSaveActive") == "0",
               f"desktop values {saver_values(desktop)}")
        expect(value(prefix.reg_query(SAVER_KEY), "ZoomFactor") == 3, "the saver's settings are gone")
    prefix.destroy(background=True)

    prefix = template.fresh()
    with suite.check("a silent install whose saver file stays in use (the options dialog open) fails "
                     "with status 2 and leaves the earlier file"):
        install(prefix, setup)
        older = put_older(prefix, scr)
        proc = prefix.start(INSTALLED, "/c")
        expect(display.wait_window(name="Options for Cellarium", proc=proc, timeout=40) is not None,
               f"no options dialog (status {proc.wait(0)})")
        status, out = prefix.wine(setup, "/S", timeout=180)
        proc.kill()
        expect(status == 2, f"the installer exited with {status}: {out.strip()[-300:]}")
        expect(installed(prefix) == older, "cellarium.scr changed")

    # Where the uninstaller has no record of its own hive to put back: a saver
    # chosen since stays; Cellarium chosen under another account's record, or
    # copied in and chosen before the installer ran (which then records
    # nothing), is unset rather than left naming the removed file. Either
    # way ScreenSaveActive stays.
    chosen = r"C:\windows\system32\chosen.scr"

    def zip_style():
        with open(unix(prefix, INSTALLED), "wb") as f:
            f.write(scr)
        prefix.reg_add("SCRNSAVE.EXE", "REG_SZ", INSTALLED, key=DESKTOP)
        prefix.reg_add("ScreenSaveActive", "REG_SZ", "1", key=DESKTOP)
    for name, before_install, change, saver in (
            ("a saver chosen after installing", None, ("SCRNSAVE.EXE", chosen, DESKTOP), chosen),
            ("another account's record", None, ("ActivatedFor", r"ELSEWHERE\someone", UNINSTALL), None),
            ("a zip-style install chosen before installing", zip_style, None, None)):
        with suite.check(f"after {name}, the uninstaller leaves SCRNSAVE.EXE {saver or 'unset'}"):
            if before_install:
                before_install()
            install(prefix, setup)
            if change:
                prefix.reg_add(change[0], "REG_SZ", change[1], key=change[2])
            before = saver_values(prefix.reg_query(DESKTOP))
            uninstall(prefix)
            after = saver_values(prefix.reg_query(DESKTOP))
            want = dict(before, **{"SCRNSAVE.EXE": saver})
            expect(after == want, f"desktop values {before} became {after}, not {want}")

    with suite.check("the installer shows its page with the saver chosen for activation"):
        proc = prefix.start(setup)
        win = display.wait_window(name="Cellarium .* Setup", proc=proc, timeout=60)
        expect(win is not None, f"no installer window (status {proc.wait(0)})")
        time.sleep(2)  # let it paint
        page = screenshot(display).crop(*display.geometry(win))
        suite.save(page, "installer-page")
        expect(len(page.colours()) > 4, "the installer window is blank")
        proc.kill()
    prefix.destroy()


if __name__ == "__main__":
    sys.exit(main())
