"""PivotelSetup.exe in a fresh prefix: quiet install, start from it, upgrade, uninstall, reinstall."""

import glob
import os
import re
import sys

import harness
import ringsetup

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pivotel"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
SHIPPED = sorted(os.listdir(os.path.join(ROOT, "src", "res", "icons")))


def read(path):
    with open(path, "rb") as f:
        return f.read()


class Installer(harness.E2ETestCase):
    def wine(self, *args):
        return self.session.run_wine(["wine"] + list(args), 120).returncode

    def values(self, key):
        """A registry key's values as {name: data}; empty when the key is missing."""
        out = self.session.run_wine(["wine", "reg", "query", key], 60).stdout.decode(errors="replace")
        return dict(re.findall(r"^\s+(\S+)\s+REG_\w+\s+(.*?)\s*$", out, re.M))

    def running(self, other_than=None):
        """The pid of the one Pivotel main window, once there is one (not `other_than`)."""
        find = lambda: [w["pid"] for w in self.session.find_windows(harness.MAIN_WINDOW_CLASS)
                        if w["pid"] != other_than]
        return harness.wait_for(find, 30, "a Pivotel main window")[0]

    def exit_pivotel(self):
        """Ends Pivotel as its tray menu's Exit does."""
        for window in self.session.find_windows(harness.MAIN_WINDOW_CLASS):
            self.session.driver("post-message", window["hwnd"], harness.WM_COMMAND, harness.CMD_EXIT)
        self.session.wait_no_window(harness.MAIN_WINDOW_CLASS, timeout=20)

    def files(self):
        return sorted(os.path.relpath(os.path.join(base, n), self.folder).replace(os.sep, "/")
                      for base, _, names in os.walk(self.folder) for n in names)

    def test_install_upgrade_uninstall(self):
        s = self.session
        setup = os.path.join(os.path.dirname(s.pivotel_exe), "PivotelSetup.exe")
        # Root's writes in /proc fail whatever the permissions say.
        self.assertEqual(self.wine(setup, "/S", r"/D=Z:\proc\pivotel"), 2)
        self.assertEqual(self.wine(setup, "/S"), 0)
        local = glob.glob(os.path.join(s.prefix, "drive_c", "users", "*", "AppData", "Local"))[0]
        self.folder = os.path.join(local, "Programs", "Pivotel")
        shortcut = os.path.join(local, "..", "Roaming", "Microsoft", "Windows", "Start Menu", "Programs",
                                "Pivotel.lnk")
        self.assertEqual(self.files(), sorted(["Uninstall.exe", "pivotel.exe", "setting.ini"]
                                              + ["icons/" + n for n in SHIPPED]))
        self.assertEqual(read(os.path.join(self.folder, "pivotel.exe")), read(s.pivotel_exe))
        self.assertTrue(os.path.isfile(shortcut))
        entry = self.values(UNINSTALL_KEY)
        where = "C:\\" + os.path.relpath(self.folder, os.path.join(s.prefix, "drive_c")).replace("/", "\\")
        exe = where + "\\pivotel.exe"
        version = re.search(r"project\(Pivotel VERSION ([\d.]+)", read(os.path.join(ROOT, "CMakeLists.txt"))
                            .decode()).group(1)
        self.assertEqual({k: entry.get(k) for k in ("DisplayName", "DisplayVersion", "InstallLocation",
                                                    "QuietUninstallString", "NoModify")},
                         {"DisplayName": "Pivotel", "DisplayVersion": version,
                          "InstallLocation": where, "NoModify": "0x1",
                          "QuietUninstallString": '"%s\\Uninstall.exe" /S' % where})
        self.assertTrue(int(entry["EstimatedSize"], 16) > 500, entry)
        self.assertEqual(self.values(RUN_KEY).get("Pivotel"), '"%s"' % exe)

        # The quiet install started Pivotel; started again from its logon command, it opens the ring.
        self.running()
        self.exit_pivotel()
        settings = read(os.path.join(self.folder, "setting.ini")).replace(b"SENDWHEEL=0", b"SENDWHEEL=1")
        harness.write_files(self.folder, {"setting.ini": settings, "icons/mine.ico": b"user's icon"})
        pivotel = harness.Pivotel(s, self.folder, s.spawn(["wine", exe]))
        self._pivotels.append(pivotel)
        pivotel.wait_started()
        ringsetup.open_ring(s)
        ringsetup.close_ring(s)

        # An upgrade ends it cleanly, keeps the user's files and starts it again.
        self.assertEqual(self.wine(setup, "/S"), 0)
        self.assertEqual(pivotel.wait_exit(), 0)
        self.running(other_than=pivotel.main_window["pid"])
        self.assertEqual(read(os.path.join(self.folder, "setting.ini")), settings)
        self.assertIn("icons/mine.ico", self.files())

        # The quiet uninstall (its copy runs on after the command returns) leaves only the user's files.
        self.assertEqual(self.wine(*entry["QuietUninstallString"].replace('"', "").split(" ")), 0)
        s.wait_no_window(harness.MAIN_WINDOW_CLASS, timeout=20)
        harness.wait_for(lambda: self.files() == ["icons/mine.ico", "setting.ini"]
                         and not os.path.exists(shortcut), 30, "the uninstall")
        harness.wait_for(lambda: not self.values(UNINSTALL_KEY), 30, "the uninstall entry to go", 1)
        self.assertNotIn("Pivotel", self.values(RUN_KEY))

        # Installed again, without the logon start: the settings found there are kept.
        self.assertEqual(self.wine(setup, "/S", "/NOLOGON"), 0)
        self.running()
        self.assertEqual(read(os.path.join(self.folder, "setting.ini")), settings)
        self.assertNotIn("Pivotel", self.values(RUN_KEY))
        self.exit_pivotel()


if __name__ == "__main__":
    sys.exit(harness.main())
