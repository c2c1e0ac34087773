"""The ring menu in the Wine desktop: opening under the trigger, the label following the cursor,
running the item under the release, paging with the wheel, the pass-through marker, and a menu
with no item. Pivotel gets a setting.ini of its own (ringsetup.py) whose launch items start
ring_probe.exe, and a logging test window lies under the cursor throughout. On a scaled display
(--log-pixels) every length of the ring and the label is expected scaled with it."""

import sys

import harness
from harness import PASS_THROUGH_MARKER, XBUTTON1
import ringsetup
from ringsetup import (LABEL_CLASS, LABEL_OFFSET_Y, MENU_CLASS, PRESS, hexrgb, ring_icon_colour, scaled,
                       slot_point)

WINDOW_RECT = (150, 100, 850, 700)  # under the whole ring up to 200 %
WINDOW_COLOUR = "3366cc"
WINDOW_TITLE = "リング試験 ウィンドウ"


def icon_centre(slot):
    """The screen point in the middle of a slot's icon while the ring is open at PRESS."""
    return slot_point(slot, distance=scaled(90))


class RingMenu(harness.E2ETestCase):
    # Letters that neither code page 932 nor 1252 holds: the settings and the items are still found.
    FOLDER_SUFFIX = "-José-한국"

    def open_window(self):
        return self.open_test_window(*WINDOW_RECT, "--skip-moves", "--title", WINDOW_TITLE,
                                     "--color", WINDOW_COLOUR)

    def wait_pixels(self, points, colours, what):
        return harness.wait_for(lambda: self.session.pixels(*points) == colours, 15, what)

    def release(self, *steps):
        """Releases the trigger after these steps; the ring and its label go."""
        ringsetup.close_ring(self.session, *steps)
        self.session.wait_no_window(LABEL_CLASS, visible=True)

    def move_label(self, point):
        """Moves the cursor to `point` and waits for the label, of the display's size, 20 pixels
        (scaled) below it."""
        self.session.send_input("move:%d,%d" % point)
        left, top = point[0], point[1] + scaled(LABEL_OFFSET_Y)
        expected = [left, top, left + scaled(1024), top + scaled(26)]

        seen = []

        def placed():
            labels = self.session.find_windows(LABEL_CLASS, visible=True)
            seen[:] = [label["rect"] for label in labels]
            return labels and labels[0]["rect"] == expected and labels[0]
        try:
            return harness.wait_for(placed, 15, "the label at %r" % (expected,))
        except harness.HarnessError as error:
            raise AssertionError("%s; visible labels: %r, cursor %r"
                                 % (error, seen, self.session.driver("cursor").stdout.strip()))

    def assert_no_ring(self, message):
        result = self.session.driver("wait-window", MENU_CLASS, "--visible", "--timeout", 700)
        self.assertFalse(result.ok, "%s: %r" % (message, result.windows))

    def assert_only_marked_clicks_arrive(self, window):
        """A marked side-button-1 click reaches the window, and nothing before it: every trigger
        press and release so far was consumed."""
        self.session.send_input("down:x1", "up:x1", extra=PASS_THROUGH_MARKER)
        events = window.wait_mouse_events(2)
        self.assertEqual([(e["msg"], e["wparam"] >> 16, e["extra"]) for e in events],
                         [("WM_XBUTTONDOWN", XBUTTON1, PASS_THROUGH_MARKER),
                          ("WM_XBUTTONUP", XBUTTON1, PASS_THROUGH_MARKER)])

    def test_press_shows_the_ring_the_label_follows_and_the_release_runs_the_item_under_it(self):
        pivotel = ringsetup.start_pivotel(self, SENDWHEEL=1)
        # Every window of the program works in physical pixels (per-monitor aware) at the system's
        # DPI. Another program closing the hidden ring and label windows must not switch them off.
        for hidden in (MENU_CLASS, LABEL_CLASS, harness.MAIN_WINDOW_CLASS):
            record = self.session.find_windows(hidden)[0]
            self.assertEqual((record["awareness"], record["dpi"]), (2, harness.system_dpi()), hidden)
            if hidden != harness.MAIN_WINDOW_CLASS:
                self.assertTrue(self.session.driver("send-message", record["hwnd"], 0x10).ok)  # WM_CLOSE
        window = self.open_window()
        self.session.set_clipboard_text("sentinel")
        icons = [icon_centre(0), icon_centre(2)]
        self.assertEqual(self.session.pixels(PRESS, *icons), [WINDOW_COLOUR] * 3)

        # The press opens the ring centred on it, at the display's scale; its centre and corners
        # stay transparent and page 0's icons show in slots 0 and 2, taken from the icon files'
        # images of the size they are drawn at.
        ring_rect = ringsetup.ring_rect()
        self.assertEqual(ringsetup.open_ring(self.session)["rect"], ring_rect)
        self.assertFalse(self.session.find_windows(LABEL_CLASS, visible=True))
        shown = [hexrgb(ring_icon_colour(c)) for c in (ringsetup.RED, ringsetup.GREEN)]
        self.wait_pixels(icons, shown, "page 0's icons on screen")
        corner = (ring_rect[0] + scaled(2), ring_rect[1] + scaled(2))
        self.assertEqual(self.session.pixels(PRESS, corner), [WINDOW_COLOUR] * 2)

        # The label follows the cursor over the slots with an item, 20 pixels below it, and goes
        # over an empty slot and in the centre.
        for slot in (0, 2):
            self.move_label(slot_point(slot))
        # The sensitive band ends at radii 50 and 120, scaled: the label shows on either edge and
        # goes one pixel beyond it.
        for edge, beyond in ((scaled(50), scaled(50) - 1), (scaled(120), scaled(120) + 1)):
            self.move_label(slot_point(0, distance=edge))
            self.session.send_input("move:%d,%d" % slot_point(0, distance=beyond))
            self.session.wait_no_window(LABEL_CLASS, visible=True)
        self.session.send_input("move:%d,%d" % slot_point(4))
        self.session.wait_no_window(LABEL_CLASS, visible=True)
        self.move_label(slot_point(0))
        self.session.send_input("move:%d,%d" % PRESS)
        self.session.wait_no_window(LABEL_CLASS, visible=True)
        self.assertTrue(self.session.find_windows(MENU_CLASS, visible=True), "the ring stays open")

        # Released in the centre: nothing runs, the ring closes.
        self.release()
        self.assertEqual(self.session.clipboard_text(), "sentinel")

        # Released over "copy title": the title of the window under the press is on the clipboard.
        ringsetup.open_ring(self.session)
        self.release("move:%d,%d" % slot_point(2))
        clipboard = self.session.driver("clipboard-get").records[0]
        self.assertEqual(clipboard["text"], WINDOW_TITLE)
        if harness.code_page() == 932:  # the system's 8-bit view of the Unicode text
            self.assertEqual(clipboard["text_a"], harness.cp932_hex(WINDOW_TITLE))

        # Released over the launch item: the probe starts, once.
        ringsetup.open_ring(self.session)
        self.move_label(slot_point(0))
        self.release()
        self.assertEqual(ringsetup.wait_probe_starts(pivotel.folder, "launch-a.txt", 1), ["started page-0"])
        self.assertEqual(self.session.pixels(PRESS, *icons), [WINDOW_COLOUR] * 3, "the ring is off the screen")

        self.assert_only_marked_clicks_arrive(window)
        # The centre and "copy title" releases started nothing: the one start is the launch's.
        self.assertEqual(len(ringsetup.probe_starts(pivotel.folder, "launch-a.txt")), 1)
        self.assertEqual(ringsetup.probe_starts(pivotel.folder, "launch-b.txt"), [])
        self.assertTrue(pivotel.running)

    def test_the_wheel_while_held_turns_the_page_and_marked_input_opens_nothing(self):
        pivotel = ringsetup.start_pivotel(self, SENDWHEEL=1)
        window = self.open_window()
        slot0, slot2 = icon_centre(0), icon_centre(2)
        red, green, blue = (hexrgb(ring_icon_colour(c))
                            for c in (ringsetup.RED, ringsetup.GREEN, ringsetup.BLUE))

        # Down the wheel: the next page with items (page 1), whose only item is in slot 0; the
        # same slot now runs that page's item.
        ringsetup.open_ring(self.session)
        self.wait_pixels([slot0, slot2], [red, green], "page 0's icons")
        self.session.send_input("move:%d,%d" % slot_point(0), "wheel:-120")
        self.wait_pixels([slot0], [blue], "page 1's icon in slot 0")
        self.assertNotEqual(self.session.pixels(slot2), [green], "page 1 has nothing in slot 2")
        self.release()
        self.assertEqual(ringsetup.wait_probe_starts(pivotel.folder, "launch-b.txt", 1), ["started page-1"])

        # The page stays where it was turned; up the wheel goes back to page 0.
        ringsetup.open_ring(self.session)
        self.wait_pixels([slot0], [blue], "page 1 still current at the next opening")
        self.session.send_input("move:%d,%d" % slot_point(0), "wheel:120")
        self.wait_pixels([slot0, slot2], [red, green], "page 0 again")
        self.release()
        self.assertEqual(ringsetup.wait_probe_starts(pivotel.folder, "launch-a.txt", 1), ["started page-0"])
        self.assertEqual(len(ringsetup.probe_starts(pivotel.folder, "launch-b.txt")), 1)

        # Input carrying the pass-through marker opens nothing and reaches the window: the press
        # arrives while the ring stays hidden. The turns made while the trigger was held were
        # consumed (not forwarded, although SENDWHEEL is 1), so the window got nothing before.
        self.session.send_input("move:%d,%d" % PRESS, "down:x1", extra=PASS_THROUGH_MARKER)
        events = window.wait_mouse_events(1)
        self.assertEqual([(e["msg"], e["extra"]) for e in events], [("WM_XBUTTONDOWN", PASS_THROUGH_MARKER)])
        self.assert_no_ring("the ring opened for a marked press")
        self.session.send_input("up:x1", extra=PASS_THROUGH_MARKER)
        events = window.wait_mouse_events(2)
        self.assertEqual([(e["msg"], e["extra"]) for e in events],
                         [("WM_XBUTTONDOWN", PASS_THROUGH_MARKER), ("WM_XBUTTONUP", PASS_THROUGH_MARKER)])
        self.assertTrue(pivotel.running)

    def test_with_no_item_on_any_page_the_press_shows_nothing_and_is_still_consumed(self):
        # The items exist, but no page holds one.
        pivotel = ringsetup.start_pivotel(self, pages={})
        window = self.open_window()
        for _ in range(2):
            self.session.send_input("move:%d,%d" % PRESS, "down:x1")
            self.assert_no_ring("a ring without items appeared")
            self.session.send_input("move:%d,%d" % slot_point(0), "up:x1")
        self.assertEqual(self.session.find_windows(LABEL_CLASS, visible=True), [])
        self.assertEqual(self.session.pixels(PRESS, icon_centre(0)), [WINDOW_COLOUR] * 2)
        self.assert_only_marked_clicks_arrive(window)
        self.assertEqual(ringsetup.probe_starts(pivotel.folder, "launch-a.txt"), [])
        self.assertTrue(pivotel.running)


if __name__ == "__main__":
    sys.exit(harness.main())
