"""Start-up, single instance, shutdown and the pass-through of mouse input while Pivotel runs."""

import sys

import harness
from harness import MAIN_WINDOW_CLASS, MAIN_WINDOW_TITLE, PASS_THROUGH_MARKER, XBUTTON1, XBUTTON2


class Startup(harness.E2ETestCase):

    def test_starts_quietly_with_a_hidden_main_window_when_there_is_no_setting_file(self):
        # Start-up has ended once the hook is installed; an error box would have blocked it.
        pivotel, main = self.started()
        self.assertEqual(self.session.message_boxes(), [])
        self.assertEqual(self.session.message_boxes("-"), [], "no dialog of any caption")
        self.assertFalse(main["visible"], "the main window is never shown")
        self.assertEqual(main["title"], MAIN_WINDOW_TITLE)
        if harness.code_page() == 932:
            self.assertEqual(main["title_a"], harness.cp932_hex(MAIN_WINDOW_TITLE),
                             "the A API hands out the title in code page 932")
        self.assertTrue(pivotel.running)

    def test_a_second_instance_ends_at_once_and_leaves_the_first_alone(self):
        first, main = self.started()
        second = self.start_pivotel(folder=first.folder)
        self.assertEqual(second.wait_exit(timeout=15), 0)
        windows = self.session.find_windows(MAIN_WINDOW_CLASS, MAIN_WINDOW_TITLE)
        self.assertEqual([w["hwnd"] for w in windows], [main["hwnd"]], "exactly the first main window")
        self.assertEqual(self.session.message_boxes("-"), [])
        self.assertTrue(first.running)

    def test_closing_the_main_window_ends_the_process_with_exit_code_0(self):
        pivotel, _ = self.started()
        self.assertTrue(pivotel.close().ok)
        self.assertEqual(pivotel.wait_exit(timeout=15), 0)
        self.session.wait_no_window(MAIN_WINDOW_CLASS)


class MousePassThrough(harness.E2ETestCase):

    def test_buttons_that_open_nothing_reach_the_window_under_the_cursor(self):
        pivotel, main = self.started()
        window = self.open_test_window(200, 150, 400, 300, "--skip-moves")
        x, y = 300, 250
        self.session.send_input("move:%d,%d" % (x, y), "sleep:100")
        # Side button 1 is the default trigger and is consumed; with the pass-through marker it
        # must pass like any input that no binding claims.
        self.session.send_input("down:x1", "up:x1", extra=PASS_THROUGH_MARKER)
        self.session.send_input("down:x2", "up:x2", "down:middle", "up:middle")
        events = window.wait_mouse_events(6)
        self.assertEqual(harness.button_events(events),
                         [("WM_XBUTTONDOWN", XBUTTON1), ("WM_XBUTTONUP", XBUTTON1), ("WM_XBUTTONDOWN", XBUTTON2),
                          ("WM_XBUTTONUP", XBUTTON2), ("WM_MBUTTONDOWN", 0), ("WM_MBUTTONUP", 0)])
        left, top = window.rect[0], window.rect[1]
        self.assertTrue(all((e["x"], e["y"]) == (x - left, y - top) for e in events),
                        "the messages carry the cursor point in client coordinates: %r" % events)
        self.assertEqual([e["extra"] for e in events[:2]], [PASS_THROUGH_MARKER] * 2)

        # The input passed through a hook, not around one: with Pivotel's main thread suspended,
        # input waits for its hook; with the test window's thread suspended, it does not.
        self.assertEqual(self.session.hook_probe(main["hwnd"]), "hooked")
        self.assertEqual(self.session.hook_probe(window.hwnd), "free")
        self.assertTrue(pivotel.running)


if __name__ == "__main__":
    sys.exit(harness.main())
