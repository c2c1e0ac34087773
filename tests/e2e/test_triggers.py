"""Trigger bindings and wheel forwarding in the Wine desktop: TRIGGER picks the button that opens
the ring and every other button passes untouched; SENDWHEEL 1 sends a wheel turn without the
trigger to the window under the cursor, with the real key state, without waiting for that window
even when it hangs; any other SENDWHEEL leaves wheel turns to the system.

A forwarded turn and a natively routed one reach the same window under Wine, so the receiving
test window tells them apart: a forwarded turn arrives as a message sent from another thread, and
only a natively routed one carries the SendInput's extra information."""

import sys

import harness
from harness import PASS_THROUGH_MARKER
import ringsetup

MK_CONTROL = 0x0008
# A hook that waited for a hung window would hold SendInput for Wine's whole hook time-out (2 s).
HOOK_ANSWER_BOUND_MS = 250

BUTTON_MESSAGES = {
    "x1": [("WM_XBUTTONDOWN", 1), ("WM_XBUTTONUP", 1)],
    "x2": [("WM_XBUTTONDOWN", 2), ("WM_XBUTTONUP", 2)],
    "middle": [("WM_MBUTTONDOWN", 0), ("WM_MBUTTONUP", 0)],
}


def wheel_wparam(delta, keys=0):
    return ((delta & 0xFFFF) << 16) | keys


class TriggerButtons(harness.E2ETestCase):

    def check_trigger(self, setting, trigger, others):
        """The `trigger` button opens and closes the ring unseen by the window under the cursor; the
        `others`' clicks before and after reach it."""
        pivotel = ringsetup.start_pivotel(self, TRIGGER=setting)
        window = self.open_test_window(200, 150, 700, 550, "--skip-moves")
        clicks = ["click:%s" % button for button in others]
        self.session.send_input("move:%d,%d" % ringsetup.PRESS, *clicks)
        expected = [m for button in others for m in BUTTON_MESSAGES[button]]
        self.assertEqual(harness.button_events(window.wait_mouse_events(len(expected))), expected)

        self.assertEqual(ringsetup.open_ring(self.session, button=trigger)["rect"], ringsetup.RING_RECT)
        ringsetup.close_ring(self.session, button=trigger)

        self.session.send_input(*clicks)
        self.assertEqual(harness.button_events(window.wait_mouse_events(2 * len(expected))), expected * 2)
        self.assertEqual(ringsetup.probe_starts(pivotel.folder, "launch-a.txt"), [], "released in the centre")

    def test_trigger_1_is_side_button_2(self):
        self.check_trigger(1, "x2", ["x1", "middle"])

    def test_trigger_2_is_the_middle_button(self):
        self.check_trigger(2, "middle", ["x1", "x2"])

    def test_trigger_7_falls_back_to_side_button_1(self):
        self.check_trigger(7, "x1", ["x2", "middle"])


class WheelForwarding(harness.E2ETestCase):

    def open_windows(self, under_options=()):
        """A window under the cursor and, opened last so that it has the focus, another one beside
        it; the cursor is put in the middle of the first."""
        under = self.open_test_window(100, 100, 400, 300, "--skip-moves", "--title", "under", *under_options)
        focused = self.open_test_window(600, 100, 400, 300, "--skip-moves", "--title", "focused")
        foreground = self.session.driver("foreground").records
        self.assertEqual([w["hwnd"] for w in foreground], [focused.hwnd], "the second window has the focus")
        point = under.centre()
        self.session.send_input("move:%d,%d" % point)
        return under, focused, point

    def wheels(self, window, count):
        return [e for e in window.wait_mouse_events(count) if e["msg"] == "WM_MOUSEWHEEL"]

    def test_sendwheel_1_sends_the_turn_to_the_window_under_the_cursor_with_the_key_state(self):
        pivotel = ringsetup.start_pivotel(self, SENDWHEEL=1)
        under, focused, point = self.open_windows()

        self.session.send_input("wheel:-120", extra=0x5151)
        self.session.send_input("keydown:ctrl", "wheel:120", "keyup:ctrl", extra=0x5152)
        # A marked turn passes the hook untouched and is routed by the system.
        self.session.send_input("wheel:-240", extra=PASS_THROUGH_MARKER)
        wheels = self.wheels(under, 3)
        self.assertEqual([(e["wparam"], e["sent"], (e["x"], e["y"])) for e in wheels],
                         [(wheel_wparam(-120), True, point), (wheel_wparam(120, MK_CONTROL), True, point),
                          (wheel_wparam(-240), False, point)])
        for forwarded in wheels[:2]:
            self.assertNotIn(forwarded["extra"], (0x5151, 0x5152), "a forwarded turn is no routed input")
        self.assertEqual(wheels[2]["extra"], PASS_THROUGH_MARKER)
        self.assertEqual(focused.mouse_events(), [])
        self.assertTrue(pivotel.running)

    def test_a_hung_window_under_the_cursor_does_not_hold_up_the_hook(self):
        pivotel = ringsetup.start_pivotel(self, SENDWHEEL=1)
        hung, other, point = self.open_windows(("--hang", 6000))
        # Each step's SendInput returns once the hooks have answered.
        steps = self.session.send_input("wheel:-120", "wheel:-120", "wheel:120")
        durations = [step["ms"] for step in steps if "step" in step]
        harness.log("SendInput of wheel turns over a hung window: %r ms" % durations)
        self.assertTrue(all(ms < HOOK_ANSWER_BOUND_MS for ms in durations), durations)

        # The ring still opens, over the other window.
        press = other.centre()
        ring = ringsetup.open_ring(self.session, press)
        self.assertEqual(ring["rect"], [press[0] - 128, press[1] - 128, press[0] + 128, press[1] + 128])
        ringsetup.close_ring(self.session, "move:%d,%d" % press)

        # The hung window gets the turns once it answers again.
        hung.wait_record(lambda r: r.get("event") == "hang-over", 15, "the end of the hang")
        wheels = self.wheels(hung, 3)
        self.assertEqual([(e["wparam"], e["sent"]) for e in wheels],
                         [(wheel_wparam(-120), True), (wheel_wparam(-120), True), (wheel_wparam(120), True)])
        self.assertEqual(other.mouse_events(), [])
        self.assertTrue(pivotel.running)

    def test_sendwheel_2_leaves_wheel_turns_to_the_system(self):
        pivotel = ringsetup.start_pivotel(self, SENDWHEEL=2)
        under, focused, point = self.open_windows()
        self.session.send_input("wheel:-120", extra=0x5153)
        wheels = self.wheels(under, 1)
        self.assertEqual([(e["wparam"], e["sent"], e["extra"], (e["x"], e["y"])) for e in wheels],
                         [(wheel_wparam(-120), False, 0x5153, point)])
        self.assertEqual(focused.mouse_events(), [])
        self.assertTrue(pivotel.running)


if __name__ == "__main__":
    sys.exit(harness.main())
