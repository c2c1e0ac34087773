"""The tools that the scenarios build on, checked on their own: Japanese texts into and out of the
desktop, screen pixels, the clipboard, and exit codes and time-outs of started programs. A fault
here would make a scenario pass or fail for the wrong reason."""

import sys

import harness
from harness import cp932_hex, windows_path

# 表 and ソ have a backslash (0x5C) as their second byte in code page 932.
JAPANESE_TITLE = "表示テスト・ソ"


class Driver(harness.E2ETestCase):

    def test_windows_are_found_by_japanese_title_and_seen_on_the_screen(self):
        window = self.open_test_window(100, 120, 200, 100, "--title", JAPANESE_TITLE, "--color", "20c040")
        found = self.session.find_windows("PvDriverTestWindow", JAPANESE_TITLE)
        self.assertEqual([w["hwnd"] for w in found], [window.hwnd])
        self.assertEqual(found[0]["title"], JAPANESE_TITLE)
        self.assertEqual(found[0]["title_a"], cp932_hex(JAPANESE_TITLE))
        self.assertEqual(found[0]["rect"], [100, 120, 300, 220])
        self.assertEqual(self.session.find_windows("PvDriverTestWindow", JAPANESE_TITLE[:-1]), [])
        self.assertEqual(self.session.pixel(150, 170), "20c040")
        self.assertNotEqual(self.session.pixel(350, 170), "20c040")

    def test_clipboard_text_round_trip_keeps_japanese(self):
        self.session.set_clipboard_text(JAPANESE_TITLE)
        record = self.session.driver("clipboard-get").records[0]
        self.assertEqual(record["text"], JAPANESE_TITLE)
        self.assertEqual(record["text_a"], cp932_hex(JAPANESE_TITLE))

    def test_run_reports_the_exit_code_and_ends_a_program_that_overruns(self):
        driver = windows_path(self.session.driver_exe)
        result = self.session.driver("run", "--timeout", 20000, "--", driver, "no-such-command")
        self.assertEqual(result.records[-1]["exit_code"], 2)
        result = self.session.driver("run", "--timeout", 300, "--", driver, "idle", "--timeout", 20000)
        self.assertEqual(result.returncode, 1)
        self.assertTrue(result.records[-1]["timeout"])
        # The overrun program is ended: only the harness's own idle window remains.
        harness.wait_for(lambda: len(self.session.find_windows("PvDriverIdle")) == 1, 10,
                         "the overrun program to end")


if __name__ == "__main__":
    sys.exit(harness.main())
