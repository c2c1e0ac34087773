"""PivotelSetup.exe (beside --pivotel) in a fresh prefix: install, start, upgrade, uninstall, reinstall."""

import re
import sys
from pathlib import Path

import harness
import ringsetup

ROOT = Path(__file__).resolve().parents[2]
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pivotel"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
MAIN = harness.MAIN_WINDOW_CLASS


class Installer(harness.E2ETestCase):
    def wine(self, *args):
        return self.session.run_wine(["wine"] + list(args), 120).returncode

    def values(self, key):  # {name: data}, empty when the key is missing
        out = self.session.run_wine(["wine", "reg", "query", key], 60).stdout.decode(errors="replace")
        return dict(re.findall(r"^\s+(\S+)\s+REG_\w+\s+(.*?)\s*$", out, re.M))

    def running(self, other_than=None):  # the pid of a Pivotel main window, once there is one
        find = lambda: [w["pid"] for w in self.session.find_windows(MAIN) if w["pid"] != other_than]
        return harness.wait_for(find, 30, "a Pivotel main window")[0]

    def exit_pivotel(self):
        for window in self.session.find_windows(MAIN):
            self.session.driver("post-message", window["hwnd"], harness.WM_COMMAND, harness.CMD_EXIT)
        self.session.wait_no_window(MAIN, timeout=20)

    def files(self):
        return sorted(p.relative_to(self.folder).as_posix() for p in self.folder.rglob("*") if p.is_file())

    def test_install_upgrade_uninstall(self):
        s, setup = self.session, str(Path(self.session.pivotel_exe).with_name("PivotelSetup.exe"))
        # Root's writes in /proc fail whatever the permissions say.
        self.assertEqual(self.wine(setup, "/S", r"/D=Z:\proc\pivotel"), 2)
        self.assertEqual(self.wine(setup, "/S"), 0)
        local = next(Path(s.prefix, "drive_c", "users").glob("*/AppData/Local"))
        self.folder = local / "Programs" / "Pivotel"
        ini = self.folder / "setting.ini"
        shortcut = local.parent / "Roaming/Microsoft/Windows/Start Menu/Programs/Pivotel.lnk"
        shipped = ["icons/" + p.name for p in (ROOT / "src/res/icons").iterdir()]
        self.assertEqual(self.files(), sorted(["Uninstall.exe", "pivotel.exe", "setting.ini"] + shipped))
        self.assertEqual((self.folder / "pivotel.exe").read_bytes(), Path(s.pivotel_exe).read_bytes())
        self.assertEqual(ini.read_bytes(), (ROOT / "src/res/setting.ini").read_bytes())
        self.assertTrue(shortcut.is_file())
        where = "C:\\" + str(self.folder.relative_to(Path(s.prefix, "drive_c"))).replace("/", "\\")
        version = re.search(r"project\(Pivotel VERSION ([\d.]+)", (ROOT / "CMakeLists.txt").read_text())[1]
        entry, expected = self.values(UNINSTALL_KEY), {
            "DisplayName": "Pivotel", "DisplayVersion": version, "InstallLocation": where, "NoModify": "0x1",
            "QuietUninstallString": '"%s\\Uninstall.exe" /S' % where}
        self.assertEqual({k: entry.get(k) for k in expected}, expected)
        self.assertTrue(int(entry["EstimatedSize"], 16) > 500, entry)
        self.assertEqual(self.values(RUN_KEY).get("Pivotel"), '"%s\\pivotel.exe"' % where)

        # The quiet install started Pivotel; started again from its logon command, it opens the ring.
        self.running()
        self.exit_pivotel()
        settings = ini.read_bytes().replace(b"SENDWHEEL=0", b"SENDWHEEL=1")
        harness.write_files(str(self.folder), {"setting.ini": settings, "icons/mine.ico": b"user's icon"})
        pivotel = harness.Pivotel(s, str(self.folder), s.spawn(["wine", where + "\\pivotel.exe"]))
        self._pivotels.append(pivotel)
        pivotel.wait_started()
        ringsetup.open_ring(s)
        ringsetup.close_ring(s)

        # An upgrade ends it cleanly, keeps the user's files and starts it again.
        self.assertEqual(self.wine(setup, "/S"), 0)
        self.assertEqual(pivotel.wait_exit(), 0)
        self.running(other_than=pivotel.main_window["pid"])
        self.assertEqual(ini.read_bytes(), settings)
        self.assertIn("icons/mine.ico", self.files())

        # The quiet uninstall (its copy runs on after the command returns) leaves only the user's files.
        self.assertEqual(self.wine(where + "\\Uninstall.exe", "/S"), 0)
        s.wait_no_window(MAIN, timeout=20)
        harness.wait_for(lambda: self.files() == ["icons/mine.ico", "setting.ini"] and not shortcut.exists()
                         and not self.values(UNINSTALL_KEY), 30, "the uninstall", 1)
        self.assertNotIn("Pivotel", self.values(RUN_KEY))

        # Installed again, without the logon start: the settings found there are kept.
        self.assertEqual(self.wine(setup, "/S", "/NOLOGON"), 0)
        self.running()
        self.assertEqual(ini.read_bytes(), settings)
        self.assertNotIn("Pivotel", self.values(RUN_KEY))
        self.exit_pivotel()


if __name__ == "__main__":
    sys.exit(harness.main())
