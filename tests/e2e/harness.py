"""Drives Windows programs under Wine on a virtual X display, for the
end-to-end checks of the saver and its dialogs.

Python 3 standard library only. Outside tools: Xvfb, xdotool, xwd and the
64-bit Wine loader (Debian packages xvfb, xdotool, x11-apps, wine64).

Typical use::

    from harness import Display, PrefixTemplate, Suite, screenshot

    with Display(1024, 768) as display, PrefixTemplate(display) as template:
        prefix = template.fresh()
        prefix.reg_add("ZoomFactor", "REG_DWORD", 2)
        proc = prefix.start(prefix.install(scr_path), "/s")
        win = display.wait_window(name="ScreenSaver.Cellarium", proc=proc)
        image = screenshot(display)
        display.key("a")
        status = proc.wait(10)
        prefix.destroy()

API in short:

* ``Display(width, height, shm=True)``: an Xvfb server on a free display
  :90-:99 (module variable ``DISPLAYS``) with the classic stipple root
  (black and white pixels), so that any part of the screen no window covers
  shows up in a screenshot. ``start``/``stop`` or a ``with`` block.
  ``shm=False`` turns off the X shared-memory extension, so that a
  screenshot does not catch a frame half drawn over the previous one.
  xdotool helpers as methods: ``key``, ``click``, ``move``, ``moves``
  (several moves in one xdotool run, with a pause between them),
  ``pointer``, ``search``, ``wait_window`` (by title or class),
  ``geometry``, ``title``, ``focus``, ``window_exists``.
* ``Display(..., monitors=[(w, h), ...])``: a nested Xephyr server with one
  screen per monitor, side by side, joined by Xinerama and without RandR,
  on a host Xvfb large enough for it: Wine then sees that many monitors,
  the first the primary. ``width`` and ``height`` are the bounding box.
* ``Display(width, height, resizable=True)``: a nested Xephyr server with
  RandR, one screen that follows a change of display mode, on a host Xvfb
  of the largest mode: Wine then offers Xephyr's list of sizes, 160x160 up
  to 1600x1200 (``LARGEST_MODE``), among them 800x600, 1024x768 and
  1280x1024. ``root_size()`` is the root window's size now;
  ``Prefix.change_mode`` switches the mode.
* ``screenshot(display)``: the root window as an ``Image`` of 0xRRGGBB
  values (``px``, ``width``, ``height``, ``value``, ``rgb``, ``row``,
  ``colours``, ``crop``, ``bbox``, ``save_png``).
* ``make_prefix(path, display)``: a new Wine prefix made with wineboot.
* ``PrefixTemplate(display, prewarm=False)``: one such prefix per suite;
  ``set_values`` and ``add_program`` put registry values and programs into
  it; ``fresh(display=None)`` copies it into a new ``Prefix`` (with
  prewarm, the next copy is started in the background meanwhile).
* ``Prefix``: ``env``, ``wine(args)`` (runs a Wine program to its end),
  ``change_mode(driver, width, height)`` (switches the display's mode with
  ``display_mode.exe`` and waits for the root to follow),
  ``start(program, *args)`` (a running ``Process``), ``reg_add``,
  ``reg_import`` (several values at once), ``reg_query``, ``windows_dir``,
  ``install`` (copies a program into C:\\windows\\system32 and returns its
  Windows path), ``kill`` (ends its wineserver and every process of the
  prefix) and ``destroy`` (also in the background; ``join`` waits for it).
* ``Process``: ``wait(timeout)`` gives the exit status or None,
  ``running()``, ``kill()``, ``output()``.
* ``Suite``: counts checks; ``with suite.check("name"):`` prints
  "ok name" or "FAIL name: reason" (a failed ``expect``/``assert`` or any
  exception), ``suite.save(image, name)`` keeps a screenshot,
  ``suite.finish()`` prints "N passed, N failed".
* ``stray_processes(marker, prefix=None)``: live processes whose environment
  or command line holds the marker (or whose WINEPREFIX is the prefix).
"""

import array
import collections
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time
import traceback
import zlib

WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
SAVER_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Screen Savers\Cellarium"
DISPLAYS = range(90, 100)
# The largest of the display modes a resizable Display offers (Xephyr's own
# list of sizes); its host Xvfb is made that large.
LARGEST_MODE = (1600, 1200)


class HarnessError(Exception):
    """Something the harness itself could not do (tool missing, timeout)."""


class CheckFailed(AssertionError):
    pass


def expect(condition, reason):
    """Fails the current check with the reason when the condition is false."""
    if not condition:
        raise CheckFailed(reason)


def need_tool(path_or_name, package):
    found = path_or_name if os.path.isabs(path_or_name) else shutil.which(path_or_name)
    if not found or not os.access(found, os.X_OK):
        raise HarnessError(f"{path_or_name} not found (Debian package {package})")
    return found


def _poll(predicate, timeout, interval=0.05):
    """Calls predicate until it returns something true or the time is up."""
    end = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= end:
            return value
        time.sleep(interval)


# ---------------------------------------------------------------- X display

class Display:
    """An Xvfb server of the given size on a free display number."""

    def __init__(self, width, height, depth=24, shm=True, monitors=None, resizable=False):
        self.monitors = list(monitors or [])
        self.resizable = resizable
        if self.monitors:
            width = sum(w for w, _ in self.monitors)
            height = max(h for _, h in self.monitors)
        self.width, self.height, self.depth = width, height, depth
        # Without the shared-memory extension a client's image reaches the
        # server in one request, copied when it is sent: a screenshot can
        # then never catch a frame half drawn over the previous one.
        self.shm = shm
        self.number = None
        self.proc = None
        self.log = None
        self.host = None  # the Xvfb under a nested server

    @property
    def name(self):
        return f":{self.number}"

    def env(self):
        env = dict(os.environ)
        env["DISPLAY"] = self.name
        return env

    def start(self, timeout=15):
        need_tool("Xvfb", "xvfb")
        need_tool("xdotool", "xdotool")
        need_tool("xwd", "x11-apps")
        if self.monitors or self.resizable:
            need_tool("Xephyr", "xserver-xephyr")
            # Wine takes its monitors from Xinerama only when RandR is
            # missing; Xvfb's own Xinerama gives it one monitor. Wine
            # changes a display mode only through RandR, and Xvfb's RandR
            # offers one mode only.
            host = LARGEST_MODE if self.resizable else (self.width, self.height)
            self.host = Display(host[0] + 64, host[1] + 64, self.depth).start(timeout)
        for number in DISPLAYS:
            if os.path.exists(f"/tmp/.X{number}-lock") or os.path.exists(f"/tmp/.X11-unix/X{number}"):
                continue
            self.log = tempfile.TemporaryFile()
            if self.monitors:
                command = ["Xephyr", f":{number}", "-nolisten", "tcp", "-retro", "-noreset",
                           "+xinerama", "-extension", "RANDR"]
                for w, h in self.monitors:
                    command += ["-screen", f"{w}x{h}"]
                env = self.host.env()
            elif self.resizable:
                # -resizeable: RandR offers Xephyr's list of sizes, and the
                # screen (and its host window) takes the size a client sets.
                command = ["Xephyr", f":{number}", "-nolisten", "tcp", "-retro", "-noreset",
                           "-resizeable", "-screen", f"{self.width}x{self.height}"]
                env = self.host.env()
            else:
                # -retro: the black-and-white stipple root, so uncovered screen
                # areas are visible in screenshots.
                command = ["Xvfb", f":{number}", "-screen", "0",
                           f"{self.width}x{self.height}x{self.depth}",
                           "-nolisten", "tcp", "-retro", "-noreset"]
                env = None
            if not self.shm:
                command += ["-extension", "MIT-SHM"]
            self.proc = subprocess.Popen(command, stdout=self.log, stderr=subprocess.STDOUT,
                                         stdin=subprocess.DEVNULL, start_new_session=True,
                                         env=env)
            self.number = number
            if _poll(lambda: self.proc.poll() is not None or self._answers(), timeout, 0.1) \
                    and self.proc.poll() is None:
                return self
            self.stop()  # lost a race for this number, or it failed: try the next
        raise HarnessError(f"could not start Xvfb on any of :{DISPLAYS.start}-:{DISPLAYS.stop - 1}")

    def _answers(self):
        return subprocess.run(["xdotool", "getdisplaygeometry"], env=self.env(),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0

    def root_size(self):
        """(width, height) of the root window now, as the X server reports it."""
        width, height = self.xdotool("getdisplaygeometry").split()
        return int(width), int(height)

    def stop(self):
        if self.proc is not None:
            if self.proc.poll() is None:
                self.proc.terminate()
                try:
                    self.proc.wait(5)
                except subprocess.TimeoutExpired:
                    self.proc.kill()
                    self.proc.wait(5)
            self.proc = None
        if self.log is not None:
            self.log.close()
            self.log = None
        if self.host is not None:
            self.host.stop()
            self.host = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    # ---- xdotool
    def xdotool(self, *args, check=True, timeout=60):
        try:
            result = subprocess.run(["xdotool", *map(str, args)], env=self.env(),
                                    capture_output=True, text=True, timeout=timeout)
        except subprocess.TimeoutExpired:
            raise HarnessError(f"xdotool {' '.join(map(str, args))} did not end within {timeout} s")
        if check and result.returncode != 0:
            raise HarnessError(f"xdotool {' '.join(map(str, args))} failed: {result.stderr.strip()}")
        return result.stdout

    def key(self, *keys, delay_ms=30):
        """Presses and releases each key (xdotool names: a, S, shift+s, alt+s, Escape)."""
        self.xdotool("key", "--delay", delay_ms, *keys)

    def click(self, button):
        """Presses and releases a mouse button: 1 left, 2 middle, 3 right."""
        self.xdotool("click", button)

    def move(self, x, y):
        self.xdotool("mousemove", x, y)

    def moves(self, points, pause=0.02):
        """Moves the pointer through the points in one xdotool run, pausing between moves."""
        args = []
        for x, y in points:
            args += ["mousemove", x, y, "sleep", pause]
        for start in range(0, len(args), 600):  # keep argument lists short
            self.xdotool(*args[start:start + 600])

    def pointer(self):
        out = self.xdotool("getmouselocation", "--shell")
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(values["X"]), int(values["Y"])

    def search(self, name=None, cls=None, visible=True):
        """Window ids whose title (or WM_CLASS) matches the regular expression."""
        args = ["search"]
        if visible:
            args.append("--onlyvisible")
        if name is not None:
            args += ["--name", name]
        if cls is not None:
            args += ["--class", cls]
        out = self.xdotool(*args, check=False)
        return [int(w) for w in out.split()]

    def wait_window(self, name=None, cls=None, timeout=30, proc=None):
        """Polls for a visible window by title or class; None on timeout or
        when the given process ends first."""
        def found():
            if proc is not None and not proc.running():
                return "ended"
            wins = self.search(name=name, cls=cls)
            return wins[0] if wins else None
        win = _poll(found, timeout, 0.1)
        return None if win in (None, "ended") else win

    def window_exists(self, win):
        return subprocess.run(["xdotool", "getwindowname", str(win)], env=self.env(),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0

    def geometry(self, win):
        """(x, y, width, height) of a window, in root coordinates."""
        out = self.xdotool("getwindowgeometry", "--shell", win)
        v = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(v["X"]), int(v["Y"]), int(v["WIDTH"]), int(v["HEIGHT"])

    def title(self, win):
        return self.xdotool("getwindowname", win).strip()

    def focus(self, win):
        """Gives the X input focus to a window (no window manager runs here,
        so this is what activating another window amounts to)."""
        self.xdotool("windowfocus", "--sync", win)


# ---------------------------------------------------------------- images

class Image:
    """A picture as 0xRRGGBB integers (array of unsigned 32-bit), top row first."""

    def __init__(self, width, height, pixels):
        self.width, self.height = width, height
        self.px = pixels if isinstance(pixels, array.array) else array.array("I", pixels)
        assert len(self.px) == width * height

    def value(self, x, y):
        return self.px[y * self.width + x]

    def rgb(self, x, y):
        v = self.value(x, y)
        return (v >> 16) & 255, (v >> 8) & 255, v & 255

    def row(self, y):
        return self.px[y * self.width:(y + 1) * self.width]

    def colours(self):
        """{0xRRGGBB: number of pixels}."""
        return collections.Counter(self.px)

    def crop(self, x, y, width, height):
        out = array.array("I")
        for yy in range(y, y + height):
            start = yy * self.width + x
            out.extend(self.px[start:start + width])
        return Image(width, height, out)

    def bbox(self, background=0):
        """(left, top, right, bottom) exclusive of the pixels that are not
        the background, or None when there are none."""
        rows = [y for y in range(self.height)
                if self.row(y).count(background) != self.width]
        if not rows:
            return None
        left, right = self.width, 0
        for y in rows:
            r = self.row(y)
            xs = [x for x in range(self.width) if r[x] != background]
            left, right = min(left, xs[0]), max(right, xs[-1] + 1)
        return left, rows[0], right, rows[-1] + 1

    def rgb_bytes(self):
        raw = self.px.tobytes() if sys.byteorder == "little" else _swapped(self.px).tobytes()
        out = bytearray(len(self.px) * 3)
        out[0::3] = raw[2::4]
        out[1::3] = raw[1::4]
        out[2::3] = raw[0::4]
        return bytes(out)

    def save_png(self, path):
        rgb = self.rgb_bytes()
        stride = self.width * 3
        raw = bytearray()
        for y in range(self.height):
            raw.append(0)
            raw += rgb[y * stride:(y + 1) * stride]

        def chunk(kind, body):
            return (struct.pack(">I", len(body)) + kind + body
                    + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
        png = (b"\x89PNG\r\n\x1a\n"
               + chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0))
               + chunk(b"IDAT", zlib.compress(bytes(raw), 6))
               + chunk(b"IEND", b""))
        with open(path, "wb") as f:
            f.write(png)


def _swapped(a):
    b = array.array(a.typecode, a)
    b.byteswap()
    return b


def parse_xwd(blob):
    """Reads an X window dump (ZPixmap, TrueColor, 24 or 32 bits a pixel)."""
    if len(blob) < 100:
        raise HarnessError("xwd output too short")
    (header_size, version, pixmap_format, depth, width, height, _xoffset, byte_order,
     _unit, _bit_order, _pad, bits_per_pixel, bytes_per_line, _visual_class,
     red_mask, green_mask, blue_mask, _bits_per_rgb, _cmap_entries, ncolors,
     *_rest) = struct.unpack(">25I", blob[:100])
    if version != 7 or pixmap_format != 2:
        raise HarnessError(f"unsupported xwd dump (version {version}, format {pixmap_format})")
    pixel_bytes = bits_per_pixel // 8
    if pixel_bytes not in (3, 4) or depth < 24 or bytes_per_line < width * pixel_bytes:
        raise HarnessError(f"unsupported xwd pixel size: depth {depth}, {bits_per_pixel} bits, "
                           f"{bytes_per_line} bytes a line")
    offset = header_size + ncolors * 12
    pixels = blob[offset:offset + bytes_per_line * height]
    if len(pixels) < bytes_per_line * height:
        raise HarnessError("xwd dump truncated")

    def byte_index(mask):
        # which byte of the pixel, as stored, holds the channel
        index = ((mask & -mask).bit_length() - 1) // 8
        return pixel_bytes - 1 - index if byte_order == 1 else index
    ri, gi, bi = byte_index(red_mask), byte_index(green_mask), byte_index(blue_mask)
    # Rebuild every pixel as the little-endian bytes B, G, R, 0.
    row_len = width * pixel_bytes
    if bytes_per_line != row_len:
        pixels = b"".join(pixels[y * bytes_per_line:y * bytes_per_line + row_len]
                          for y in range(height))
    n = width * height
    out = bytearray(n * 4)
    out[0::4] = pixels[bi::pixel_bytes]
    out[1::4] = pixels[gi::pixel_bytes]
    out[2::4] = pixels[ri::pixel_bytes]
    px = array.array("I")
    px.frombytes(bytes(out))
    if sys.byteorder != "little":
        px.byteswap()
    return Image(width, height, px)


def screenshot(display):
    """The whole root window of the display."""
    result = subprocess.run(["xwd", "-root", "-silent", "-display", display.name],
                            capture_output=True, timeout=60)
    if result.returncode != 0:
        raise HarnessError(f"xwd failed: {result.stderr.decode(errors='replace').strip()}")
    return parse_xwd(result.stdout)


# ---------------------------------------------------------------- Wine

class Process:
    """A program started under Wine; its Unix process is the Windows process."""

    def __init__(self, popen, args, log=None):
        self.popen = popen
        self.args = args
        self.log = log
        self.started = time.monotonic()

    @property
    def pid(self):
        return self.popen.pid

    def running(self):
        return self.popen.poll() is None

    def wait(self, timeout):
        """The exit status, or None if the process still runs after timeout seconds."""
        try:
            return self.popen.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def kill(self):
        if self.popen.poll() is None:
            try:
                os.killpg(self.popen.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            self.popen.wait(10)

    def output(self):
        """What the process wrote to stdout and stderr (after it ended)."""
        if self.log is None:
            return ""
        self.log.seek(0)
        return self.log.read().decode(errors="replace")


class Prefix:
    """A Wine prefix of its own, with its own wineserver."""

    def __init__(self, path, display):
        self.path = path
        self.display = display
        self.procs = []
        self.server = None

    def env(self):
        env = self.display.env() if self.display else dict(os.environ)
        env["WINEPREFIX"] = self.path
        env["WINEDEBUG"] = "-all"
        # No Mono or Gecko installers; no menu entries written into $HOME.
        env["WINEDLLOVERRIDES"] = "mscoree,mshtml=;winemenubuilder.exe=d"
        return env

    @property
    def windows_dir(self):
        return os.path.join(self.path, "drive_c", "windows")

    def wine(self, *args, timeout=120):
        """Runs a Wine program to its end: (status, stdout text)."""
        self.start_server()
        # Output goes to a file, not a pipe: the helper processes Wine starts
        # (services, device drivers) inherit it and would hold a pipe open.
        with tempfile.TemporaryFile() as out:
            try:
                result = subprocess.run([WINE, *map(str, args)], env=self.env(), stdout=out,
                                        stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                        timeout=timeout)
            except subprocess.TimeoutExpired:
                raise HarnessError(f"wine {' '.join(map(str, args))} did not end within {timeout} s")
            out.seek(0)
            return result.returncode, out.read().decode(errors="replace")

    def start_server(self):
        """Starts the prefix's wineserver once, to stay until kill(): each Wine
        program then connects to it at once instead of starting one."""
        if self.server is None:
            self.server = subprocess.Popen([WINESERVER, "-p", "-f"], env=self.env(),
                                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                           stderr=subprocess.DEVNULL, start_new_session=True)

    def start(self, program, *args):
        """Starts a program (Windows or Unix path) and returns at once."""
        self.start_server()
        log = tempfile.TemporaryFile()
        popen = subprocess.Popen([WINE, program, *map(str, args)], env=self.env(),
                                 stdin=subprocess.DEVNULL, stdout=log,
                                 stderr=subprocess.STDOUT, start_new_session=True)
        proc = Process(popen, args, log)
        self.procs.append(proc)
        return proc

    def change_mode(self, driver, width, height, timeout=20):
        """Switches the primary display to width x height with display_mode.exe
        (driver: its Windows or Unix path), as a program of this prefix does
        with ChangeDisplaySettingsEx; waits until the X root has that size
        and takes it as the display's width and height. Returns the
        driver's line."""
        status, out = self.wine(driver, width, height, timeout=timeout)
        if status != 0:
            raise HarnessError(f"display_mode {width} {height} ended with status {status}: "
                               f"{out.strip()}")
        size = _poll(lambda: self.display.root_size() == (width, height), timeout, 0.1)
        if not size:
            raise HarnessError(f"the X root is {self.display.root_size()}, not {width}x{height}, "
                               f"after display_mode {width} {height}")
        self.display.width, self.display.height = width, height
        return out.strip()

    def install(self, program, name=None):
        """Copies a program into C:\\windows\\system32 and returns its Windows
        path. Running it from there keeps the command line free of the
        build tree's path, which could hold a '-' or '/' of its own."""
        name = name or os.path.basename(program)
        shutil.copy2(program, os.path.join(self.windows_dir, "system32", name))
        return "C:\\windows\\system32\\" + name

    def reg_add(self, name, kind, data, key=SAVER_KEY):
        """Writes one value: kind REG_DWORD (int), REG_BINARY (bytes or hex
        text) or REG_SZ (text)."""
        if kind == "REG_DWORD" and isinstance(data, int):
            data = str(data & 0xFFFFFFFF)
        elif kind == "REG_BINARY" and isinstance(data, (bytes, bytearray)):
            data = data.hex()
        status, out = self.wine("reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f")
        if status != 0:
            raise HarnessError(f"reg add {name} failed with status {status}: {out.strip()}")

    def reg_import(self, values, key=SAVER_KEY):
        """Writes several values with one Wine program (reg import):
        {name: (kind, data)} with the kinds and data of reg_add; text may
        hold any character."""
        lines = ["", f"[{key.replace('HKCU', 'HKEY_CURRENT_USER', 1)}]"]
        for name, (kind, data) in values.items():
            if kind == "REG_DWORD":
                text = f"dword:{int(data) & 0xFFFFFFFF:08x}"
            elif kind == "REG_BINARY":
                blob = bytes.fromhex(data) if isinstance(data, str) else bytes(data)
                text = "hex:" + ",".join(f"{b:02x}" for b in blob)
            elif kind == "REG_SZ":
                text = '"' + str(data).replace("\\", "\\\\").replace('"', '\\"') + '"'
            else:
                raise HarnessError(f"reg_import: unsupported type {kind}")
            lines.append(f'"{name}"={text}')
        path = os.path.join(self.windows_dir, "temp", "harness-import.reg")
        text = "\n".join(lines) + "\n"
        # Text outside ASCII needs the Unicode form of the file (UTF-16).
        if text.isascii():
            with open(path, "w", newline="\r\n") as f:
                f.write("REGEDIT4\n" + text)
        else:
            with open(path, "w", newline="\r\n", encoding="utf-16") as f:
                f.write("Windows Registry Editor Version 5.00\n" + text)
        status, out = self.wine("reg", "import", "C:\\windows\\temp\\harness-import.reg")
        os.remove(path)
        if status != 0:
            raise HarnessError(f"reg import failed with status {status}: {out.strip()}")

    def reg_query(self, key=SAVER_KEY):
        """Every value of the key as {name: (type, value)}: REG_DWORD as int,
        REG_BINARY as bytes, REG_SZ as text. Empty when the key is missing."""
        status, out = self.wine("reg", "query", key)
        for attempt in range(2):
            # A query that fails says nothing about the key: once in a long
            # suite Wine's reg failed on a key the next query read. A key that
            # is really missing fails every time.
            if status == 0:
                break
            print(f"# reg query {key} ended with status {status}: {out.strip()[-200:]!r}; "
                  "asking again", flush=True)
            time.sleep(1)
            status, out = self.wine("reg", "query", key)
        values = {}
        if status != 0:
            return values
        for line in out.splitlines():
            m = re.match(r"^    (.+?)    (REG_[A-Z_]+)    ?(.*)$", line.rstrip("\r"))
            if not m:
                continue
            name, kind, text = m.group(1), m.group(2), m.group(3)
            if kind == "REG_DWORD":
                value = int(text, 16)
            elif kind == "REG_BINARY":
                value = bytes.fromhex(text)
            else:
                value = text
            values[name] = (kind, value)
        return values

    def kill(self):
        """Ends every process of the prefix and its wineserver."""
        for proc in self.procs:
            if proc.running():
                proc.kill()
        subprocess.run([WINESERVER, "-k"], env=self.env(), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=30)
        if self.server is not None:
            try:
                self.server.wait(10)
            except subprocess.TimeoutExpired:
                self.server.kill()
                self.server.wait(10)
            self.server = None
        _poll(lambda: not stray_processes(None, self.path), 10, 0.1)
        for pid in stray_processes(None, self.path):
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass

    def destroy(self, background=False):
        """Ends the prefix's processes and removes it; in the background, the
        caller goes on at once (join() waits for it)."""
        def work():
            self.kill()
            shutil.rmtree(self.path, ignore_errors=True)
        if background:
            self._ending = threading.Thread(target=work, daemon=True)
            self._ending.start()
        else:
            work()

    def join(self, timeout=120):
        if getattr(self, "_ending", None) is not None:
            self._ending.join(timeout)
            self._ending = None


def make_prefix(path, display, timeout=300):
    """Creates a Wine prefix with wineboot and ends its server, which writes
    the registry files; returns the Prefix."""
    need_tool(WINE, "wine64")
    os.makedirs(path, exist_ok=True)
    prefix = Prefix(path, display)
    status, out = prefix.wine("wineboot", "-i", timeout=timeout)
    if status != 0 and "try running the same command again" in out:
        # Debian's Wine, finding its wineserver temporary directory in a bad
        # state, repairs it and fails the command with a request to run it
        # again; a second run is what it asks for.
        prefix.kill()
        status, out = prefix.wine("wineboot", "-i", timeout=timeout)
    prefix.kill()
    if status != 0 or not all(os.path.isfile(os.path.join(path, f)) for f in ("system.reg", "user.reg")):
        raise HarnessError(f"wineboot failed (status {status}): {out.strip()[-500:]}")
    return prefix


class PrefixTemplate:
    """One prefix made with wineboot; each fresh() is a copy of it.

    Copies hard-link the large, read-only library folders and copy the rest
    (registry files, the Windows directory's own files), so that a run can
    never change the template."""

    SHARED = ("drive_c/windows/system32", "drive_c/windows/syswow64", "drive_c/windows/winsxs")

    def __init__(self, display, root=None, prewarm=False):
        self.display = display
        self.root = root or tempfile.mkdtemp(prefix="cellarium-e2e.")
        self.path = os.path.join(self.root, "template")
        self.count = 0
        self.made = []
        self.prewarm = prewarm
        self._next = None  # (thread, prefix) being made ready in the background

    def build(self, timeout=180):
        need_tool(WINE, "wine64")
        make_prefix(self.path, self.display, timeout)
        return self

    def set_values(self, values, key=SAVER_KEY):
        """Registry values every fresh prefix starts with ({name: (kind, data)})."""
        prefix = Prefix(self.path, self.display)
        prefix.reg_import(values, key)
        prefix.kill()  # the server writes the registry files as it ends

    def add_program(self, program, name=None):
        """Copies a program into the template's system32, so every fresh
        prefix has it; returns its Windows path."""
        name = name or os.path.basename(program)
        shutil.copy2(program, os.path.join(self.path, "drive_c", "windows", "system32", name))
        return "C:\\windows\\system32\\" + name

    def fresh(self, display=None):
        """A new prefix, copied from the template, for the display (default:
        the template's). With prewarm, the first Wine program of a prefix
        (which starts the prefix's services, some seconds) has already run,
        in the background, while the previous prefix was in use."""
        display = display or self.display
        prefix = None
        if self._next is not None:
            thread, ahead = self._next
            self._next = None
            thread.join()
            if ahead.display is display:
                prefix = ahead
            else:  # made for another screen: its Wine session knows the wrong size
                ahead.kill()
        if prefix is None:
            prefix = self._copy(display)
            prefix.wine("reg", "query", r"HKCU\Software\Wine")
        if self.prewarm:
            ahead = self._copy(display)
            thread = threading.Thread(target=ahead.wine,
                                      args=("reg", "query", r"HKCU\Software\Wine"), daemon=True)
            thread.start()
            self._next = (thread, ahead)
        return prefix

    def _copy(self, display):
        self.count += 1
        dest = os.path.join(self.root, f"run{self.count}")
        shared = tuple(os.path.join(self.path, s) for s in self.SHARED)

        def copy(src, dst, *, follow_symlinks=True):
            if src.startswith(shared):
                os.link(src, dst)
            else:
                shutil.copy2(src, dst, follow_symlinks=follow_symlinks)
        shutil.copytree(self.path, dest, symlinks=True, copy_function=copy)
        prefix = Prefix(dest, display)
        self.made.append(prefix)
        return prefix

    def __enter__(self):
        return self.build()

    def __exit__(self, *exc):
        self.destroy()

    def discard_ahead(self):
        """Ends the prefix being made ready in the background, if any."""
        if self._next is not None:
            self._next[0].join(120)
            self._next[1].kill()
            self._next = None

    def destroy(self):
        self.discard_ahead()
        for prefix in self.made:
            prefix.join()
            if os.path.isdir(prefix.path):
                prefix.kill()
        Prefix(self.path, self.display).kill()
        shutil.rmtree(self.root, ignore_errors=True)


def stray_processes(marker, prefix=None):
    """Pids of live processes whose environment or command line contains the
    marker text; with prefix, those whose WINEPREFIX is exactly that path."""
    found = []
    needle = marker.encode() if marker else None
    exact = f"WINEPREFIX={prefix}".encode() if prefix else None
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) == os.getpid():
            continue
        try:
            with open(f"/proc/{entry}/environ", "rb") as f:
                env = f.read()
            with open(f"/proc/{entry}/cmdline", "rb") as f:
                cmd = f.read()
            with open(f"/proc/{entry}/stat", "rb") as f:
                state = f.read().rsplit(b")", 1)[1].split()[0]
        except OSError:
            continue
        if state == b"Z":
            continue
        if (needle and (needle in env or needle in cmd)) or (exact and exact in env.split(b"\0")):
            found.append(int(entry))
    return found


# ---------------------------------------------------------------- results

class Suite:
    """Counts named checks and prints one line for each."""

    def __init__(self, artifacts=None):
        self.passed = 0
        self.failed = 0
        self.artifacts = artifacts
        self.started = time.monotonic()

    def check(self, name):
        return _Check(self, name)

    def report(self, name, ok, reason=""):
        if ok:
            self.passed += 1
            print(f"ok {name}", flush=True)
        else:
            self.failed += 1
            reason = " ".join(str(reason).split())
            print(f"FAIL {name}: {reason}", flush=True)

    def save(self, image, name):
        """Keeps a screenshot for a person to look at; returns its path."""
        if not self.artifacts or image is None:
            return None
        os.makedirs(self.artifacts, exist_ok=True)
        path = os.path.join(self.artifacts, re.sub(r"[^A-Za-z0-9_.-]+", "_", name) + ".png")
        image.save_png(path)
        return path

    def finish(self):
        print(f"{self.passed} passed, {self.failed} failed", flush=True)
        return 0 if self.failed == 0 else 1


class _Check:
    def __init__(self, suite, name):
        self.suite, self.name = suite, name

    def __enter__(self):
        return self

    def __exit__(self, kind, value, tb):
        if kind is None:
            self.suite.report(self.name, True)
        elif issubclass(kind, (CheckFailed, AssertionError)):
            self.suite.report(self.name, False, value)
        elif issubclass(kind, KeyboardInterrupt):
            return False
        else:
            detail = "".join(traceback.format_exception_only(kind, value)).strip()
            self.suite.report(self.name, False, f"error: {detail}")
            if os.environ.get("E2E_TRACE"):
                traceback.print_exception(kind, value, tb, file=sys.stderr)
        return True
