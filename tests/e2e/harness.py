"""End-to-end test harness: pivotel.exe under Wine, driven by pvdriver.exe.

One scenario file is one Python process. It starts one Xvfb on a free display, one wineserver for
the harness's own Wine prefix (build/windows/e2e/prefix) and one virtual desktop that every program
of the run joins: the prefix names "pivotel-e2e" as the default desktop, so `wine prog.exe`
started from here lands on it, and SendInput, FindWindow and low-level hooks all meet there.
Scenarios are unittest test cases derived from E2ETestCase; they start Pivotel from a fresh folder
(with or without a setting.ini), look at windows and send input through pvdriver, and wait on
conditions with time-outs. Everything the harness starts is stopped again at the end, on failure,
on Ctrl-C or SIGTERM and when the run's deadline passes; nothing it did not start is touched.

Standard library only. Usage of a scenario file:
    python3 test_x.py --pivotel PATH --driver PATH --work DIR [--deadline S] [-k PATTERN]
    python3 harness.py --prepare --work DIR        (re-create the Wine prefix; ctest runs it first)
"""

import argparse
import fcntl
import json
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest

MAIN_WINDOW_CLASS = "ピボテル"
MAIN_WINDOW_TITLE = "ピボテル"
ERROR_CAPTION = "ERROR"
PALETTE_CLASS = "メニューパレット"  # also the editor window's title
POPUP_CLASS, DIALOG_CLASS = "#32768", "#32770"
WM_NULL, WM_COMMAND = 0x0000, 0x0111
CMD_PALETTE, CMD_EXIT, CMD_ADVANCED = 40000, 40001, 40002
IDOK, IDCANCEL = 1, 2
# Mouse input whose extra information carries this value passes Pivotel's hook untouched.
PASS_THROUGH_MARKER = 0xFE41A7C2
DESKTOP_NAME = "pivotel-e2e"
SCREEN_WIDTH, SCREEN_HEIGHT = 1280, 1024
XBUTTON1, XBUTTON2 = 1, 2

# A hook-probe answer at least this long means the probed thread holds a low-level mouse hook
# (Wine lets input wait 2000 ms for a hook that does not answer); one below FAST_MS means it
# holds none. In between the answer is unclear and the probe is repeated.
HOOKED_MS = 1500
FAST_MS = 500

# The time-outs of single Wine calls, in seconds.
DRIVER_TIMEOUT = 30
WINEBOOT_TIMEOUT = 300
WINESERVER_TIMEOUT = 30

_PREFIX_READY_MARK = ".pivotel-e2e-ready"
_DESKTOP_REGISTRY = (
    "REGEDIT4\r\n\r\n"
    "[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\r\n"
    '"Desktop"="%s"\r\n\r\n'
    "[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\r\n"
    '"%s"="%dx%d"\r\n' % (DESKTOP_NAME, DESKTOP_NAME, SCREEN_WIDTH, SCREEN_HEIGHT)
)


class HarnessError(AssertionError):
    """A failed Wine call or a condition that never came true: a failure of the scenario."""


def log(message):
    print("[e2e %s] %s" % (time.strftime("%H:%M:%S"), message), flush=True)


def windows_path(path):
    """The Wine path of a Linux path (drive Z: is the Linux root)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def driver_argument(text):
    """Text outside ASCII travels hex-encoded, free of Wine's command-line conversion."""
    text = str(text)
    if text.isascii() and not text.startswith("hex:"):
        return text
    return "hex:" + text.encode("utf-8").hex()


def rgb_triples(data):
    """The (r, g, b) values of a hex string of "rrggbb" pixels, as pvdriver capture reports them."""
    return [tuple(int(data[i + j:i + j + 2], 16) for j in (0, 2, 4)) for i in range(0, len(data), 6)]


def button_events(events):
    """Mouse button messages as (message, X button number or 0)."""
    return [(e["msg"], e["wparam"] >> 16 if e["msg"].startswith("WM_XBUTTON") else 0) for e in events]


def write_files(folder, files):
    """Writes {name: bytes} into folder, or copies there the file a path value names."""
    for name, content in files.items():
        os.makedirs(os.path.dirname(os.path.join(folder, name)), exist_ok=True)
        if isinstance(content, bytes):
            with open(os.path.join(folder, name), "wb") as f:
                f.write(content)
        else:
            shutil.copy2(content, os.path.join(folder, name))


def read_ini(path):
    """An INI file in code page 932 as {section: [(key, value), ...]} in file order (duplicates
    kept); None when it is missing."""
    if not os.path.exists(path):
        return None
    sections, current = {}, None
    with open(path, "rb") as f:
        for line in f.read().decode("cp932").splitlines():
            line = line.strip()
            if line.startswith("[") and line.endswith("]"):
                current = sections.setdefault(line[1:-1], [])
            elif "=" in line and current is not None:
                key, value = line.split("=", 1)
                current.append((key.strip(), value))
    return sections


def cp932_hex(text):
    """The code page 932 bytes of a text, as pvdriver reports the A-API view of window texts."""
    return text.encode("cp932").hex()


def wait_for(condition, timeout, what, interval=0.1):
    """condition()'s first true value; HarnessError naming `what` after `timeout` seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise HarnessError("timed out after %.1f s waiting for %s" % (timeout, what))
        time.sleep(interval)


def end_process(popen, timeout):
    try:
        popen.wait(timeout)
    except subprocess.TimeoutExpired:
        popen.kill()
        popen.wait(5)


def _pid_alive(pid):
    return os.path.exists("/proc/%d" % pid)


def _command_line(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            return [a.decode(errors="replace") for a in f.read().split(b"\0") if a]
    except OSError:
        return []


# What glibc prints when Wine's loader trips over its own teardown after a program has ended.
LOADER_TEARDOWN_CRASH = "Inconsistency detected by ld.so"


def _json_record(line):
    """The JSON object on a line of pvdriver's output; None for any other line."""
    line = line.strip()
    try:
        record = json.loads(line) if line.startswith("{") else None
    except ValueError:
        return None
    return record if isinstance(record, dict) else None


class DriverResult:
    """What one pvdriver run printed: the exit code and the JSON lines it wrote."""

    def __init__(self, args, returncode, stdout, stderr):
        self.args = args
        self.returncode = returncode
        self.stdout = stdout
        self.stderr = stderr
        self.records = []
        self.reported_exit = None  # pvdriver's own last line, {"exit": N}; not a record
        for record in filter(None, map(_json_record, stdout.splitlines())):
            if list(record) == ["exit"] and isinstance(record["exit"], int):
                self.reported_exit = record["exit"]
            else:
                self.records.append(record)

    @property
    def ok(self):
        return self.returncode == 0

    @property
    def windows(self):
        return [r for r in self.records if "hwnd" in r]

    def __repr__(self):
        return "pvdriver %s -> %d %s" % (" ".join(self.args), self.returncode, self.stdout.strip())


class BackgroundDriver:
    """A pvdriver that keeps running (test-window, idle); a thread collects its records."""

    def __init__(self, session, args, popen):
        self.session = session
        self.args = args
        self.popen = popen
        self.records = []
        self._changed = threading.Condition()
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()

    def _read(self):
        for raw in self.popen.stdout:
            record = _json_record(raw.decode("ascii", errors="replace"))
            if record is None:
                continue
            with self._changed:
                self.records.append(record)
                self._changed.notify_all()
        with self._changed:
            self._changed.notify_all()

    def wait_record(self, predicate, timeout, what):
        deadline = time.monotonic() + timeout
        with self._changed:
            while True:
                for record in self.records:
                    if predicate(record):
                        return record
                remaining = deadline - time.monotonic()
                if remaining <= 0 or self.popen.poll() is not None:
                    raise HarnessError("timed out after %.1f s waiting for %s (pvdriver %s)"
                                       % (timeout, what, " ".join(self.args)))
                self._changed.wait(min(remaining, 0.2))

    def stop(self, timeout=5):
        """Closes the process's window (when it reported one), then kills it if it lingers."""
        if self.popen.poll() is None:
            ready = [r for r in self.records if r.get("event") == "ready"]
            if ready:
                self.session.driver("close-window", ready[0]["window"]["hwnd"], check=False)
            end_process(self.popen, timeout)
        self._reader.join(5)


class TestWindow(BackgroundDriver):
    """pvdriver test-window: a visible window that logs every mouse message it receives."""

    def __init__(self, session, args, popen, timeout):
        super().__init__(session, args, popen)
        ready = self.wait_record(lambda r: r.get("event") == "ready", timeout, "the test window")
        self.window = ready["window"]
        self.hwnd = self.window["hwnd"]
        left, top, right, bottom = self.window["rect"]
        self.rect = (left, top, right, bottom)

    def mouse_events(self, include_moves=False):
        with self._changed:
            return [r for r in self.records if r.get("event") == "mouse"
                    and (include_moves or r["msg"] not in ("WM_MOUSEMOVE", "WM_NCMOUSEMOVE"))]

    def wait_mouse_events(self, count, timeout=10, include_moves=False):
        try:
            wait_for(lambda: len(self.mouse_events(include_moves)) >= count, timeout,
                     "%d mouse messages in the test window" % count, interval=0.05)
        except HarnessError as error:
            got = [e["msg"] for e in self.mouse_events(include_moves)]
            raise HarnessError("%s; it received %r" % (error, got)) from None
        return self.mouse_events(include_moves)

    def centre(self):
        left, top, right, bottom = self.rect
        return ((left + right) // 2, (top + bottom) // 2)


class Pivotel:
    """One pivotel.exe process started by the harness (`wine pivotel.exe` in its own folder)."""

    def __init__(self, session, folder, popen):
        self.session = session
        self.folder = folder
        self.popen = popen
        self.main_window = None

    @property
    def running(self):
        return self.popen.poll() is None

    def wait_main_window(self, timeout=20):
        def find():
            if not self.running:
                raise HarnessError("pivotel.exe ended with exit code %s before its main window "
                                   "appeared" % self.popen.returncode)
            windows = self.session.find_windows(MAIN_WINDOW_CLASS, MAIN_WINDOW_TITLE)
            return windows[0] if len(windows) == 1 else None
        self.main_window = wait_for(find, timeout, "the main window of Pivotel", interval=0.2)
        return self.main_window

    def wait_started(self, timeout=20):
        """Waits for the mouse hook, start-up's last step before the message loop; an error box
        (which comes before it and blocks it) fails the wait early, with its text."""
        main = self.wait_main_window(timeout)

        def hooked():
            boxes = self.session.message_boxes()
            if boxes:
                raise HarnessError("error box during start-up: %r" % boxes)
            return self.session.hook_probe(main["hwnd"]) == "hooked"
        wait_for(hooked, timeout, "Pivotel's mouse hook", interval=0.2)
        return main

    def close(self):
        if self.main_window is None:
            self.wait_main_window()
        return self.session.driver("close-window", self.main_window["hwnd"])

    def wait_exit(self, timeout=15):
        try:
            code = self.popen.wait(timeout)
        except subprocess.TimeoutExpired:
            raise HarnessError("pivotel.exe still runs after %.1f s" % timeout) from None
        # The server drops an ended process's windows a moment after it ends: a start that follows
        # must not take this one's main window for its own.
        if self.main_window is not None:
            hwnd = self.main_window["hwnd"]
            wait_for(lambda: not self.session.driver("window-info", hwnd, check=False).ok, 10,
                     "the ended Pivotel's main window gone")
        return code

    def stop(self):
        """WM_CLOSE first, then kill."""
        if not self.running:
            return
        if self.main_window is not None:
            self.session.driver("close-window", self.main_window["hwnd"], check=False)
        end_process(self.popen, 5)


class Session:
    """One Xvfb, one wineserver and one virtual desktop, shared by all scenarios of a file."""

    def __init__(self, pivotel_exe, driver_exe, work, deadline, log_pixels=None, locale=None,
                 fresh_prefix=None):
        self.pivotel_exe = os.path.abspath(pivotel_exe)
        self.driver_exe = os.path.abspath(driver_exe)
        self.work = os.path.abspath(work)
        # A raised system DPI or another locale (code page) gets a prefix of its own (made once,
        # when missing); a scenario that needs an untouched user profile gets one made afresh for
        # its run.
        self.log_pixels = log_pixels
        self.locale = locale or "ja_JP.UTF-8"
        self.fresh_prefix = fresh_prefix
        name = "prefix"
        if fresh_prefix is not None:
            name += "-" + fresh_prefix
        if log_pixels is not None:
            name += "-dpi%d" % log_pixels
        if locale is not None:
            name += "-" + locale.split(".")[0]
        self.prefix = os.path.join(self.work, name)
        self.deadline = deadline
        self.display = None
        self.xvfb = None
        self.wineserver = None
        self.desktop = None
        self.reaper = None
        self.background = []     # every Popen that is ours to stop
        self._lock_file = None
        self._stop_lock = threading.Lock()
        self._stopper = None     # the thread that tears down, once one has begun
        self._stopped = threading.Event()
        self._runs = 0

    # ---- environment and raw Wine calls -------------------------------------------------------

    def env(self):
        env = dict(os.environ)
        env.update({
            "WINEPREFIX": self.prefix,
            "WINEDEBUG": "-all",
            # No menu entries in the Linux desktop for shortcuts that programs make in the prefix.
            "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d",
            "LANG": self.locale,
            "LC_ALL": self.locale,
        })
        env.pop("DISPLAY", None)
        if self.display is not None:
            env["DISPLAY"] = self.display
        return env

    def run_wine(self, args, timeout, cwd=None):
        """Runs one Wine command, killed after `timeout` seconds (HarnessError). Output goes through
        files: Wine's helper processes may inherit a pipe and hold it open long after."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            popen = self._popen(args, cwd, out, err)
            try:
                popen.wait(timeout)
            except subprocess.TimeoutExpired:
                popen.kill()
                popen.wait()
                out.seek(0)
                raise HarnessError("Wine call timed out after %d s: %s (output so far: %r)"
                                   % (timeout, " ".join(args), out.read()[-2000:])) from None
            finally:
                with self._stop_lock:
                    if self._stopper is None:
                        self.background.remove(popen)
            out.seek(0)
            err.seek(0)
            return subprocess.CompletedProcess(args, popen.returncode, out.read(), err.read())

    def spawn(self, args, cwd=None, stdout=subprocess.DEVNULL):
        """Starts a Wine program that keeps running; it is killed at the latest at teardown."""
        return self._popen(args, cwd, stdout, subprocess.DEVNULL)

    def _popen(self, args, cwd, stdout, stderr):
        """Starts a process in a session of its own (our process group's signals reach only us, and we
        tear down in order), recorded for teardown; none once teardown has begun."""
        with self._stop_lock:
            if self._stopper is not None:
                raise HarnessError("the session is being torn down")
            popen = subprocess.Popen(args, env=self.env(), cwd=cwd, stdin=subprocess.DEVNULL,
                                     stdout=stdout, stderr=stderr, start_new_session=True)
            self.background.append(popen)
            return popen

    def _wineserver(self, *args, timeout=WINESERVER_TIMEOUT):
        try:
            subprocess.run(["wineserver"] + list(args), env=self.env(), stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=timeout,
                           start_new_session=True)
        except subprocess.TimeoutExpired:
            log("wineserver %s timed out" % " ".join(args))

    # ---- set-up ---------------------------------------------------------------------------------

    def prepare_prefix(self, fresh):
        """Creates the prefix when it is missing (or always, when `fresh`), with the desktop set as
        every program's default. Held under a file lock, so concurrent runs do not build it twice."""
        os.makedirs(self.work, exist_ok=True)
        with open(self.prefix + ".lock", "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            mark = os.path.join(self.prefix, _PREFIX_READY_MARK)
            if not fresh and os.path.exists(mark):
                return
            display, self.display = self.display, None
            try:
                self._wineserver("-k")
                shutil.rmtree(self.prefix, ignore_errors=True)
                log("creating the Wine prefix %s" % self.prefix)
                started = time.monotonic()
                result = self.run_wine(["wineboot", "-i"], WINEBOOT_TIMEOUT)
                if result.returncode != 0:
                    raise HarnessError("wineboot failed: %s" % result.stderr.decode(errors="replace"))
                reg = os.path.join(self.work, "desktop.reg")
                with open(reg, "w", newline="") as f:
                    f.write(_DESKTOP_REGISTRY)
                    if self.log_pixels is not None:
                        f.write('\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"LogPixels"=dword:%08x\r\n'
                                % self.log_pixels)
                result = self.run_wine(["wine", "regedit", "/S", windows_path(reg)], 60)
                if result.returncode != 0:
                    raise HarnessError("regedit failed: %s" % result.stderr.decode(errors="replace"))
                self._wineserver("-w", timeout=60)
                with open(mark, "w") as f:
                    f.write("ready\n")
                log("prefix ready in %.1f s" % (time.monotonic() - started))
            finally:
                self._wineserver("-k")
                self.display = display

    def _clean_stale(self):
        """Ends what an earlier run of this harness left behind if it was killed outright: its
        Xvfb (recorded by pid in the state file, checked to be an Xvfb) and the wineserver of our
        own prefix. Nothing else is touched."""
        state = os.path.join(self.work, "session.json")
        try:
            with open(state) as f:
                old = json.load(f)
        except (OSError, ValueError):
            old = {}
        pid = old.get("xvfb_pid")
        command = _command_line(pid) if pid and _pid_alive(pid) else []
        if command and os.path.basename(command[0]) == "Xvfb" and "-displayfd" in command:
            log("ending the Xvfb (pid %d) of an earlier run" % pid)
            os.kill(pid, signal.SIGTERM)
        self._wineserver("-k")

    def _save_state(self):
        with open(os.path.join(self.work, "session.json"), "w") as f:
            json.dump({"xvfb_pid": self.xvfb.pid if self.xvfb else None, "display": self.display}, f)

    def _start_reaper(self):
        """Starts a shell that waits on a pipe from this process. Should this process die without
        tearing down (SIGKILL), the pipe closes and the shell ends our wineserver, with every
        Wine process of our prefix, and our Xvfb. After an orderly teardown it is told "done"."""
        script = ('read line; [ "$line" = done ] && exit 0; '
                  'timeout 30 wineserver -k >/dev/null 2>&1; kill %d 2>/dev/null' % self.xvfb.pid)
        self.reaper = subprocess.Popen(["sh", "-c", script], env=self.env(), stdin=subprocess.PIPE,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                       start_new_session=True)

    def _wineserver_ready(self):
        """True once our wineserver listens on its socket, so that no Wine program starts a server
        of its own first. The server works in its socket's folder, so its current directory tells
        where to look."""
        if self.wineserver.poll() is not None:
            raise HarnessError("wineserver ended at once (exit code %d)" % self.wineserver.returncode)
        try:
            folder = os.readlink("/proc/%d/cwd" % self.wineserver.pid)
        except OSError:
            return False
        return (os.path.basename(folder).startswith("server-")
                and os.path.exists(os.path.join(folder, "socket")))

    def _start_xvfb(self):
        read_end, write_end = os.pipe()
        screen = "%dx%dx24" % (SCREEN_WIDTH, SCREEN_HEIGHT)
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", screen, "-nolisten", "tcp"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            pass_fds=(write_end,), start_new_session=True)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 20
        while not number.endswith(b"\n"):
            ready, _, _ = select.select([read_end], [], [], max(0.0, deadline - time.monotonic()))
            chunk = os.read(read_end, 64) if ready else b""
            if not chunk:
                os.close(read_end)
                raise HarnessError("Xvfb did not report a display")
            number += chunk
        os.close(read_end)
        self.display = ":" + number.decode().strip()
        self._save_state()
        log("Xvfb pid %d on display %s" % (self.xvfb.pid, self.display))

    def start(self):
        os.makedirs(self.work, exist_ok=True)
        self._lock_file = open(os.path.join(self.work, "session.lock"), "w")
        fcntl.flock(self._lock_file, fcntl.LOCK_EX)
        self._clean_stale()
        self.prepare_prefix(fresh=self.fresh_prefix is not None)
        self._start_xvfb()
        self._start_reaper()
        # Our own wineserver, in the foreground and persistent: a child of ours that lives until
        # teardown ends it.
        self.wineserver = subprocess.Popen(["wineserver", "-f", "-p"], env=self.env(),
                                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                           stderr=subprocess.DEVNULL, start_new_session=True)
        wait_for(self._wineserver_ready, 20, "the wineserver", interval=0.05)
        # The desktop, with a pvdriver process on it that keeps it up until teardown.
        desktop = "/desktop=%s,%dx%d" % (DESKTOP_NAME, SCREEN_WIDTH, SCREEN_HEIGHT)
        self.desktop = self.spawn(["wine", "explorer", desktop, windows_path(self.driver_exe), "idle",
                                   "--timeout", str(int(self.deadline * 1000))])
        wait_for(lambda: self.find_windows("PvDriverIdle"), 60, "the virtual desktop", interval=0.2)
        log("desktop %s ready" % DESKTOP_NAME)

    # ---- teardown -------------------------------------------------------------------------------

    @property
    def stopping(self):
        return self._stopper is not None

    def stop(self):
        """Stops everything this session started; a second caller waits for the first to finish."""
        with self._stop_lock:
            first = self._stopper is None
            if first:
                self._stopper = threading.get_ident()
        if not first:
            if self._stopper != threading.get_ident():
                self._stopped.wait(120)
            return
        try:
            self._teardown()
        finally:
            self._stopped.set()

    def _teardown(self):
        # wineserver -k ends every Windows process of our prefix, then the server itself.
        self._wineserver("-k")
        if self.wineserver is not None:
            end_process(self.wineserver, 10)
        for popen in self.background:
            if popen.poll() is None:
                popen.kill()
            try:
                popen.wait(5)
            except subprocess.TimeoutExpired:
                pass
        if self.xvfb is not None:
            self.xvfb.terminate()
            end_process(self.xvfb, 5)
            try:
                os.remove(os.path.join(self.work, "session.json"))
            except OSError:
                pass
        if self.reaper is not None:
            try:
                self.reaper.communicate(b"done\n", timeout=10)
            except (subprocess.TimeoutExpired, OSError):
                self.reaper.kill()
        if self._lock_file is not None:
            self._lock_file.close()
        log("torn down")

    # ---- pvdriver ---------------------------------------------------------------------------------

    def driver(self, *args, timeout=DRIVER_TIMEOUT, check=True):
        """Runs one pvdriver subcommand to its end. With `check`, an exit code other than 0 or 1
        (1: condition not met) is a HarnessError."""
        args = [driver_argument(a) for a in args]
        completed = self.run_wine(["wine", self.driver_exe] + args, timeout)
        result = DriverResult(args, completed.returncode, completed.stdout.decode("ascii", errors="replace"),
                              completed.stderr.decode("utf-8", errors="replace"))
        if (result.returncode not in (0, 1) and result.reported_exit is not None
                and LOADER_TEARDOWN_CRASH in result.stderr):
            # pvdriver finished its command and said how; only Wine's loader died after it.
            log("pvdriver %s: loader crash at exit ignored, exit code %d as reported"
                % (" ".join(args), result.reported_exit))
            result.returncode = result.reported_exit
        if check and result.returncode not in (0, 1):
            raise HarnessError("pvdriver failed: %r %s" % (result, result.stderr.strip()))
        return result

    def driver_background(self, *args):
        args = [driver_argument(a) for a in args]
        popen = self.spawn(["wine", self.driver_exe] + args, stdout=subprocess.PIPE)
        return BackgroundDriver(self, args, popen)

    def find_windows(self, class_name="-", title="-", visible=False):
        """The desktop's top-level windows of that class and title ("-": any)."""
        return self.driver("find-window", class_name, title, *(["--visible"] if visible else [])).windows

    def _wait_windows(self, command, class_name, title, timeout, visible):
        return self.driver(command, class_name, title, "--timeout", int(timeout * 1000),
                           *(["--visible"] if visible else []), timeout=timeout + DRIVER_TIMEOUT)

    def wait_window(self, class_name, title="-", timeout=10, visible=False):
        result = self._wait_windows("wait-window", class_name, title, timeout, visible)
        if not result.ok:
            raise HarnessError("no %swindow of class %r title %r after %.1f s"
                               % ("visible " if visible else "", class_name, title, timeout))
        return result.windows

    def wait_no_window(self, class_name, title="-", timeout=10, visible=False):
        result = self._wait_windows("wait-no-window", class_name, title, timeout, visible)
        if not result.ok:
            raise HarnessError("%swindows of class %r title %r still there after %.1f s: %r"
                               % ("visible " if visible else "", class_name, title, timeout, result.windows))

    def message_boxes(self, caption=ERROR_CAPTION):
        """The message boxes (dialogs of class #32770) with that caption, with their texts."""
        return self.driver("find-msgbox", caption).windows

    def send_input(self, *steps, extra=None):
        """SendInput steps ("move:100,200", "down:x1", "click:middle", "wheel:-120", "sleep:50")."""
        args = ["input"] + list(steps)
        if extra is not None:
            args += ["--extra", hex(extra)]
        result = self.driver(*args)
        if not result.ok:
            raise HarnessError("input failed: %r" % result)
        return result.records

    def hook_probe(self, hwnd):
        """Whether the thread that owns `hwnd` holds a low-level mouse hook: "hooked", "free", or
        None when the window is gone. Costs about two seconds when the answer is "hooked"."""
        for _ in range(3):
            result = self.driver("hook-probe", hwnd)
            if not result.ok:
                return None
            ms = result.records[-1]["ms"]
            if ms >= HOOKED_MS:
                return "hooked"
            if ms < FAST_MS:
                return "free"
        raise HarnessError("hook probe of window %s gave no clear answer" % hwnd)

    def pixels(self, *points):
        """The screen colours at these (x, y) points as "rrggbb"."""
        return [r["rgb"] for r in self.driver("pixel", *[v for point in points for v in point]).records]

    def pixel(self, x, y):
        return self.pixels((x, y))[0]

    def clipboard_text(self):
        result = self.driver("clipboard-get")
        return result.records[0]["text"] if result.ok else None

    def set_clipboard_text(self, text):
        if not self.driver("clipboard-set", text).ok:
            raise HarnessError("could not set the clipboard")

    def open_test_window(self, x, y, width, height, *options, timeout=60):
        """Shows a logging test window at that screen rectangle (see pvdriver test-window). The wait
        is generous: Wine on a loaded two-core machine has taken over 20 s to show it."""
        args = ["test-window", x, y, width, height, "--timeout", int(self.deadline * 1000)] + list(options)
        args = [driver_argument(a) for a in args]
        popen = self.spawn(["wine", self.driver_exe] + args, stdout=subprocess.PIPE)
        return TestWindow(self, args, popen, timeout)

    # ---- Pivotel ------------------------------------------------------------------------------

    def new_folder(self, name):
        self._runs += 1
        folder = os.path.join(self.work, "runs", "%s-%d" % (name, self._runs))
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        return folder

    def start_pivotel(self, setting_ini=None, folder=None, name="pivotel", files=None, before_start=None):
        """Starts pivotel.exe: the one already in `folder`, or a copy in a fresh folder beside
        `setting_ini` (text: written in code page 932 with CRLF; bytes: as they are; None: no file)
        and `files` ({name: bytes, or the path of a file to copy}). `before_start` is called with
        the folder just before."""
        if folder is None:
            folder = self.new_folder(name)
            shutil.copy2(self.pivotel_exe, os.path.join(folder, "pivotel.exe"))
            files = dict(files or {})
            if isinstance(setting_ini, str):
                files["setting.ini"] = setting_ini.replace("\r\n", "\n").replace("\n", "\r\n").encode("cp932")
            elif setting_ini is not None:
                files["setting.ini"] = setting_ini
            write_files(folder, files)
        if before_start is not None:
            before_start(folder)
        popen = self.spawn(["wine", os.path.join(folder, "pivotel.exe")], cwd=folder)
        return Pivotel(self, folder, popen)

    # ---- diagnostics ----------------------------------------------------------------------------

    def screenshot(self, name):
        """Saves a PNG of the screen (its path returned, or None) and the window list."""
        folder = os.path.join(self.work, "screenshots")
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, name + ".png")
        try:
            subprocess.run(["import", "-display", self.display, "-window", "root", path],
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                           timeout=20, check=True)
        except (subprocess.SubprocessError, OSError):
            path = None
        try:
            listing = self.driver("find-window", "-", timeout=15, check=False).stdout
            with open(os.path.join(folder, name + ".windows.txt"), "w") as f:
                f.write(listing)
        except HarnessError:
            pass
        return path


# The one session of this process, shared by the scenarios, and the arguments it was made from.
_session = None
_options = None


def code_page():
    """The system code page of this run's prefix: 932 unless --locale chose another language."""
    return 932 if (_options.locale or "ja_JP").startswith("ja_") else 1252


def system_dpi():
    """The system DPI of this run's prefix (--log-pixels), 96 by default."""
    return _options.log_pixels or 96
# Set when the deadline watchdog has taken over the ending of the run.
_deadline_reached = threading.Event()


def session():
    global _session
    if _session is None:
        _session = Session(_options.pivotel, _options.driver, _options.work, _options.deadline,
                           _options.log_pixels, _options.locale, _options.fresh_prefix)
        try:
            _session.start()
        except BaseException:
            _session.stop()
            raise
    return _session


class E2ETestCase(unittest.TestCase):
    """Base of the scenarios: what a test starts is stopped after it; a failure leaves a screenshot
    and a window list in <work>/screenshots."""

    def setUp(self):
        self.session = session()
        self._pivotels = []
        self._test_windows = []

    # Appended to the names of the folders that Pivotel is started from.
    FOLDER_SUFFIX = ""

    def start_pivotel(self, setting_ini=None, folder=None, files=None, before_start=None):
        pivotel = self.session.start_pivotel(setting_ini, folder, name=self._testMethodName + self.FOLDER_SUFFIX,
                                             files=files, before_start=before_start)
        self._pivotels.append(pivotel)
        return pivotel

    def started(self, setting_ini=None, files=None, before_start=None):
        """Starts Pivotel and waits until its start-up has ended; returns it and its main window."""
        pivotel = self.start_pivotel(setting_ini, files=files, before_start=before_start)
        return pivotel, pivotel.wait_started()

    def open_test_window(self, x, y, width, height, *options):
        window = self.session.open_test_window(x, y, width, height, *options)
        self._test_windows.append(window)
        return window

    def controls(self, dialog):
        """A dialog's child controls by id."""
        result = self.session.driver("dialog-controls", dialog["hwnd"])
        self.assertTrue(result.ok, result)
        return {r["id"]: r for r in result.records if "id" in r}

    def _failed_so_far(self):
        """Whether the test method has failed (read in tearDown, before unittest reports it)."""
        outcome = getattr(self, "_outcome", None)
        if outcome is None:
            return False
        if hasattr(outcome, "errors"):  # Python before 3.11 collects the errors in the outcome
            return any(exc_info is not None for _, exc_info in outcome.errors)
        result = outcome.result
        return any(test is self for test, _ in result.failures + result.errors)

    def tearDown(self):
        if self._failed_so_far():
            shot = self.session.screenshot(self.id().rsplit(".", 2)[-2] + "." + self._testMethodName)
            log("screenshot: %s" % shot)
        for window in self._test_windows:
            window.stop()
        for pivotel in self._pivotels:
            pivotel.stop()
        # No main window may outlive its test: a leftover one would spoil the next test, so it is
        # ended here and the test fails.
        leftovers = self.session.driver("wait-no-window", MAIN_WINDOW_CLASS, "--timeout", 10000,
                                        timeout=10 + DRIVER_TIMEOUT).windows
        for window in leftovers:
            self.session.driver("kill", window["pid"], check=False)
        self.assertEqual(leftovers, [], "Pivotel main windows left after the test")


def _watchdog(seconds):
    """Ends the whole run, after tearing down, on a signal or when it lasts longer than `seconds`."""
    for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(number, _on_signal)

    def fire():
        _deadline_reached.set()
        log("deadline of %d s reached: tearing down" % seconds)
        try:
            if _session is not None:
                _session.screenshot("deadline")
                _session.stop()
        finally:
            print("0 passed, 1 failed (deadline)", flush=True)
            os._exit(1)
    timer = threading.Timer(seconds, fire)
    timer.daemon = True
    timer.start()


def _on_signal(number, frame):
    if _session is not None and _session.stopping:
        return  # the teardown under way finishes, then the run ends
    log("signal %d: tearing down" % number)
    if _session is not None:
        _session.stop()
    os._exit(128 + number)


def _parse(argv):
    parser = argparse.ArgumentParser(description="Pivotel end-to-end scenarios under Wine")
    here = os.path.dirname(os.path.abspath(__file__))
    default_work = os.path.normpath(os.path.join(here, "..", "..", "build", "windows", "e2e"))
    parser.add_argument("--pivotel", default=os.environ.get("PIVOTEL_EXE"))
    parser.add_argument("--driver", default=os.environ.get("PVDRIVER_EXE"))
    parser.add_argument("--work", default=os.environ.get("PIVOTEL_E2E_WORK", default_work))
    parser.add_argument("--deadline", type=float, default=270.0,
                        help="seconds after which the run tears down and fails")
    parser.add_argument("--prepare", action="store_true", help="(re-)create the Wine prefix and end")
    parser.add_argument("--log-pixels", type=int, default=None,
                        help="the system DPI of a prefix of its own (LogPixels), e.g. 144 for 150 %%")
    parser.add_argument("--locale", default=None,
                        help="the Linux locale of a prefix of its own, e.g. en_US.UTF-8 for code page 1252")
    parser.add_argument("--fresh-prefix", metavar="NAME", default=None,
                        help="a prefix of its own, <work>/prefix-NAME, made afresh for this run")
    parser.add_argument("-k", dest="patterns", action="append", default=[],
                        help="run only tests whose name contains this")
    return parser.parse_args(argv)


def main(argv=None, module="__main__"):
    """Runs the scenarios of `module`; prints "N passed, M failed" last."""
    global _options
    _options = _parse(sys.argv[1:] if argv is None else argv)
    _watchdog(_options.deadline)
    if _options.prepare:
        os.makedirs(_options.work, exist_ok=True)
        with open(os.path.join(_options.work, "session.lock"), "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)  # no scenario runs on the prefix meanwhile
            try:
                Session("-", "-", _options.work, _options.deadline).prepare_prefix(fresh=True)
            except HarnessError as error:
                print("preparing the prefix failed: %s" % error, flush=True)
                print("0 passed, 1 failed", flush=True)
                return 1
        print("1 passed, 0 failed", flush=True)
        return 0
    for path, what in ((_options.pivotel, "--pivotel"), (_options.driver, "--driver")):
        if not path or not os.path.isfile(path):
            print("missing %s (%r)" % (what, path), flush=True)
            print("0 passed, 1 failed", flush=True)
            return 1
    loader = unittest.TestLoader()
    if _options.patterns:
        loader.testNamePatterns = ["*%s*" % p for p in _options.patterns]
    suite = loader.loadTestsFromModule(sys.modules[module])
    runner = unittest.TextTestRunner(stream=sys.stdout, verbosity=2)
    try:
        result = runner.run(suite)
    finally:
        if _session is not None:
            _session.stop()
    if _deadline_reached.is_set():
        time.sleep(120)  # the watchdog reports and ends the process
    failed_tests = {id(test) for test, _ in result.failures + result.errors}
    failed = len(failed_tests) + len(result.unexpectedSuccesses)
    passed = result.testsRun - failed - len(result.skipped)
    if result.testsRun == 0:
        failed += 1
        print("no scenario ran", flush=True)
    summary = "%d passed, %d failed" % (passed, failed)
    if result.skipped:
        summary += ", %d skipped" % len(result.skipped)
    print(summary, flush=True)
    return 0 if failed == 0 else 1


def run_session(body, argv=None, deadline=270.0):
    """Runs body(session) with main's options, deadline and teardown, for the benchmarks (the paths
    default to the Windows build's); body's exit code, or 1 after a HarnessError."""
    global _options
    here = os.path.dirname(os.path.abspath(__file__))
    build = os.path.normpath(os.path.join(here, "..", "..", "build", "windows"))
    _options = _parse(["--deadline", str(deadline)] + (sys.argv[1:] if argv is None else argv))
    _options.pivotel = _options.pivotel or os.path.join(build, "pivotel.exe")
    _options.driver = _options.driver or os.path.join(build, "tests", "e2e", "pvdriver.exe")
    _watchdog(_options.deadline)
    for path, what in ((_options.pivotel, "--pivotel"), (_options.driver, "--driver")):
        if not os.path.isfile(path):
            print("missing %s (%r)" % (what, path), flush=True)
            return 1
    try:
        return body(session())
    except HarnessError as error:
        print("failed: %s" % error, flush=True)
        return 1
    finally:
        if _session is not None:
            _session.stop()


if __name__ == "__main__":
    sys.exit(main())
