"""The tray icon and its menu, the main window's commands, and the advanced settings dialog."""

import os
import sys
import time

import harness
import ringsetup
from harness import (CMD_ADVANCED, CMD_EXIT, CMD_PALETTE, DIALOG_CLASS, IDCANCEL, IDOK, MAIN_WINDOW_CLASS,
                     PALETTE_CLASS, POPUP_CLASS, WM_COMMAND, WM_NULL)

WM_NEXTDLGCTL, WM_KEYDOWN = 0x0028, 0x0100
WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN = 0x0200, 0x0201, 0x0203, 0x0204
TRAY_CALLBACK = 0x0401  # WM_USER + 1
VK_RETURN, VK_END, VK_UP = 0x0D, 0x23, 0x26
ID_TRIGGER, ID_SENDWHEEL, ID_SLIDER, ID_EDIT, ID_SPIN = 1008, 1004, 1007, 40015, 1005
DIALOG_TITLE = "詳細設定"
TRIGGER_NAMES = ["サイドボタン１", "サイドボタン２", "ミドルボタン"]


def file_bytes(folder, replace=None):
    """The run's setting.ini (None when there is none), after writing `replace` into it if given."""
    path = os.path.join(folder, "setting.ini")
    if replace is not None:
        with open(path, "wb") as f:
            f.write(replace)
    if not os.path.exists(path):
        return None
    with open(path, "rb") as f:
        return f.read()


def read_config(folder):
    """The CONFIG keys of the run's setting.ini in file order; None when there is no file."""
    sections = harness.read_ini(os.path.join(folder, "setting.ini"))
    return None if sections is None else sections.get("CONFIG", [])


class TrayTestCase(harness.E2ETestCase):

    def command(self, main, command_id):
        self.assertTrue(self.session.driver("post-message", main["hwnd"], WM_COMMAND, command_id).ok)

    def exit_pivotel(self, pivotel, main, *message):
        """Ends Pivotel with its Exit command; it must end with exit code 0."""
        self.command(main, CMD_EXIT)
        self.assertEqual(pivotel.wait_exit(), 0, *message)

    def foreground(self):
        return [w["hwnd"] for w in self.session.driver("foreground").windows]

    def tray_menu(self, main):
        """Right-presses the icon (as the shell reports it) and returns the menu that opens."""
        self.session.driver("post-message", main["hwnd"], TRAY_CALLBACK, 0, WM_RBUTTONDOWN)
        return self.session.wait_window(POPUP_CLASS, visible=True)

    def open_dialog(self, main):
        self.command(main, CMD_ADVANCED)
        dialogs = self.session.wait_window(DIALOG_CLASS, DIALOG_TITLE, visible=True)
        self.assertEqual(len(dialogs), 1)
        return dialogs[0]

    def wait_controls(self, dialog, condition, what):
        return harness.wait_for(lambda: (lambda c: c if condition(c) else None)(self.controls(dialog)),
                                5, what, interval=0.1)

    def focus(self, dialog, control):
        self.session.driver("post-message", dialog["hwnd"], WM_NEXTDLGCTL, control, 1)

    def filled(self, dialog):
        """The dialog's controls once it has put its opacity into the edit."""
        return self.wait_controls(dialog, lambda c: c[ID_EDIT]["text"] != "", "the opacity edit filled")

    def opacity(self, controls):
        """The three opacity controls' values: the edit's text, the trackbar's and the up-down's
        positions."""
        return (controls[ID_EDIT]["text"], controls[ID_SLIDER]["position"], controls[ID_SPIN]["position"])

    def end_dialog(self, dialog, button):
        self.assertTrue(self.session.driver("post-message", dialog["hwnd"], WM_COMMAND, button).ok)
        self.session.wait_no_window(DIALOG_CLASS, DIALOG_TITLE)


class TrayIcon(TrayTestCase):

    def tray_icon_pixels(self):
        """Whether the notification area shows something other than the taskbar's own colour in
        the icon square at the taskbar's right end (None: no taskbar shown)."""
        bars = self.session.find_windows("Shell_TrayWnd", visible=True)
        if not bars:
            return None
        left, top, right, bottom = bars[0]["rect"]
        middle = (top + bottom) // 2
        points = [(x, y) for x in range(right - 18, right - 1, 3) for y in range(middle - 7, middle + 8, 3)]
        colours = self.session.pixels(((left + right) // 2, middle), *points)
        background, icon = colours[0], colours[1:]
        return any(c != background for c in icon)

    def test_icon_shown_while_running_and_gone_after_exit(self):
        self.assertFalse(self.tray_icon_pixels(), "no icon in the notification area before start")
        pivotel = self.start_pivotel()
        main = pivotel.wait_main_window()
        harness.wait_for(self.tray_icon_pixels, 10, "the icon in the notification area")
        self.session.screenshot("TrayIcon.icon_shown")
        self.exit_pivotel(pivotel, main)
        harness.wait_for(lambda: not self.tray_icon_pixels(), 10, "the icon to leave the notification area")

    def test_icon_comes_back_when_the_shell_recreates_its_taskbar(self):
        pivotel = self.start_pivotel()
        main = pivotel.wait_main_window()
        harness.wait_for(self.tray_icon_pixels, 10, "the icon in the notification area")
        # The shell loses the icon (as when it restarts), then announces its new taskbar.
        self.assertTrue(self.session.driver("tray-delete", main["hwnd"]).ok)
        harness.wait_for(lambda: not self.tray_icon_pixels(), 10, "the icon to be gone")
        self.assertTrue(self.session.driver("taskbar-created", main["hwnd"]).ok)
        harness.wait_for(self.tray_icon_pixels, 10, "the icon back in the notification area")
        # The icon added again is the one that Exit removes.
        self.exit_pivotel(pivotel, main)
        harness.wait_for(lambda: not self.tray_icon_pixels(), 10, "the icon to leave the notification area")

    def test_right_press_opens_the_menu_at_the_cursor_and_a_click_elsewhere_closes_it(self):
        pivotel, main = self.started()
        self.session.send_input("move:600,500", "sleep:150")
        # Left button, double click and moves over the icon open nothing.
        for mouse in (WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_MOUSEMOVE):
            self.session.driver("post-message", main["hwnd"], TRAY_CALLBACK, 0, mouse)
        self.session.driver("send-message", main["hwnd"], WM_NULL)  # the posts have been handled
        time.sleep(0.5)
        self.assertEqual(self.session.find_windows(POPUP_CLASS, visible=True), [])

        # Another program's window is in front when the icon is pressed.
        window = self.open_test_window(100, 100, 300, 200)
        harness.wait_for(lambda: self.foreground() == [window.hwnd], 10, "the test window in the foreground")
        self.session.send_input("move:600,500", "sleep:150")
        menus = self.tray_menu(main)
        self.assertEqual(len(menus), 1)
        self.assertEqual(menus[0]["pid"], main["pid"])
        self.assertEqual(menus[0]["rect"][:2], [600, 500], "the menu's top-left corner at the cursor")
        # Its owner came to the foreground first, which is what lets a click elsewhere or Escape
        # close a notification-area menu on Windows.
        self.assertEqual(self.foreground(), [main["hwnd"]])

        self.session.send_input("move:200,200", "sleep:100", "click:left")
        self.session.wait_no_window(POPUP_CLASS, visible=True, timeout=5)
        self.assertTrue(pivotel.running)

        # Escape closes it as well, and it opens again afterwards.
        self.tray_menu(main)
        self.session.send_input("keydown:27", "keyup:27")
        self.session.wait_no_window(POPUP_CLASS, visible=True, timeout=5)

        self.exit_pivotel(pivotel, main)

    def test_menu_entries_carry_the_commands(self):
        pivotel, main = self.started()
        self.session.send_input("move:400,300", "sleep:150")

        def click_entry(index):
            left, top, right, bottom = self.tray_menu(main)[0]["rect"]
            row = (bottom - top) // 3
            self.session.send_input("move:%d,%d" % (left + 30, top + index * row + row // 2), "sleep:100",
                                    "click:left")
        # The second entry, "詳細設定", opens the dialog; the third, "終了", ends the program.
        click_entry(1)
        self.session.wait_window(DIALOG_CLASS, DIALOG_TITLE, visible=True)
        self.session.wait_no_window(POPUP_CLASS, visible=True, timeout=5)
        click_entry(2)
        self.assertEqual(pivotel.wait_exit(), 0)

    def test_exit_ends_with_code_0_and_a_second_exit_is_harmless(self):
        pivotel, main = self.started()
        self.command(main, CMD_EXIT)
        self.session.driver("post-message", main["hwnd"], WM_COMMAND, CMD_EXIT, check=False)
        self.assertEqual(pivotel.wait_exit(), 0)
        self.session.wait_no_window(MAIN_WINDOW_CLASS)


class AdvancedSettings(TrayTestCase):

    def test_without_a_file_the_dialog_shows_the_defaults_and_cancel_writes_nothing(self):
        pivotel, main = self.started(None)
        dialog = self.open_dialog(main)
        self.assertEqual(dialog["pid"], main["pid"])
        controls = self.filled(dialog)
        self.assertEqual(controls[ID_TRIGGER]["entries"], 3)
        self.assertEqual(controls[ID_TRIGGER]["selection"], 0)
        self.assertEqual(controls[ID_TRIGGER]["text"], TRIGGER_NAMES[0])
        if harness.code_page() == 932:  # the system's 8-bit view of the entry
            self.assertEqual(controls[ID_TRIGGER]["text_a"], harness.cp932_hex(TRIGGER_NAMES[0]))
        self.assertEqual(self.opacity(controls), ("191", 191, 191))
        self.assertEqual(controls[ID_SLIDER]["max"], 255)
        self.assertEqual(controls[ID_SENDWHEEL]["check"], 0)

        # A second request while it is open does nothing.
        self.command(main, CMD_ADVANCED)
        self.session.driver("send-message", main["hwnd"], WM_NULL)
        time.sleep(0.5)
        self.assertEqual(len(self.session.find_windows(DIALOG_CLASS, DIALOG_TITLE, visible=True)), 1)

        self.end_dialog(dialog, IDCANCEL)
        self.assertIsNone(file_bytes(pivotel.folder), "Cancel writes no file")
        # Closed, it opens again.
        dialog = self.open_dialog(main)
        self.session.driver("close-window", dialog["hwnd"])
        self.session.wait_no_window(DIALOG_CLASS, DIALOG_TITLE)
        self.assertIsNone(file_bytes(pivotel.folder), "the close box writes no file")
        self.exit_pivotel(pivotel, main)

    def test_file_values_are_shown_and_ok_writes_trigger_alpha_sendwheel_in_order(self):
        pivotel, main = self.started("[CONFIG]\nTRIGGER=7\nSENDWHEEL=2\nALPHA=40\n")
        dialog = self.open_dialog(main)
        controls = self.filled(dialog)
        self.assertEqual(controls[ID_TRIGGER]["selection"], 0, "TRIGGER 7 shows the first entry")
        self.assertEqual(controls[ID_SENDWHEEL]["check"], 1, "SENDWHEEL 2 shows checked")
        self.assertEqual(self.opacity(controls), ("40", 40, 40))
        self.end_dialog(dialog, IDOK)
        self.assertEqual(read_config(pivotel.folder), [("TRIGGER", "0"), ("SENDWHEEL", "1"), ("ALPHA", "40")])

        # Changed values are written, and the next opening reads them afresh from the file.
        file_bytes(pivotel.folder, replace=b"[OTHER]\r\nX=1\r\n")
        dialog = self.open_dialog(main)
        controls = self.filled(dialog)
        self.assertEqual((controls[ID_TRIGGER]["selection"], controls[ID_SENDWHEEL]["check"]), (0, 0))
        self.assertEqual(self.opacity(controls), ("191", 191, 191))
        self.session.driver("send-message", controls[ID_TRIGGER]["hwnd"], 0x014E, 2)  # CB_SETCURSEL
        self.session.driver("send-message", controls[ID_SENDWHEEL]["hwnd"], 0x00F1, 1)  # BM_SETCHECK
        self.session.driver("set-text", controls[ID_EDIT]["hwnd"], "7")
        self.end_dialog(dialog, IDOK)
        self.assertEqual(read_config(pivotel.folder), [("TRIGGER", "2"), ("ALPHA", "7"), ("SENDWHEEL", "1")],
                         "new keys are appended in the order they are written")
        self.exit_pivotel(pivotel, main)

    def test_opacity_controls_keep_in_step_and_300_changes_nothing(self):
        pivotel, main = self.started("[CONFIG]\nALPHA=100\n")
        dialog = self.open_dialog(main)
        controls = self.wait_controls(dialog, lambda c: c[ID_EDIT]["text"] == "100", "the edit at 100")
        edit, slider = controls[ID_EDIT]["hwnd"], controls[ID_SLIDER]["hwnd"]

        # The trackbar's End key: the up-down and the edit follow.
        self.session.driver("post-message", slider, WM_KEYDOWN, VK_END)
        controls = self.wait_controls(dialog, lambda c: c[ID_EDIT]["text"] == "255", "the edit at 255")
        self.assertEqual(self.opacity(controls), ("255", 255, 255))
        # The arrow key in the edit steps the up-down, which rewrites the edit; the trackbar follows.
        self.session.driver("set-text", edit, "20")
        self.wait_controls(dialog, lambda c: c[ID_SLIDER]["position"] == 20, "the trackbar at 20")
        self.session.driver("post-message", edit, WM_KEYDOWN, VK_UP)
        controls = self.wait_controls(dialog, lambda c: c[ID_EDIT]["text"] == "21", "the edit at 21")
        self.assertEqual(self.opacity(controls), ("21", 21, 21))

        # An emptied edit leaves the trackbar alone until it loses the focus; then it shows 0.
        self.focus(dialog, edit)
        self.wait_controls(dialog, lambda c: c[ID_EDIT]["focus"], "the focus in the edit")
        self.session.driver("set-text", edit, "")
        controls = self.controls(dialog)
        self.assertEqual(self.opacity(controls)[:2], ("", 21))
        self.focus(dialog, controls[ID_TRIGGER]["hwnd"])
        controls = self.wait_controls(dialog, lambda c: c[ID_EDIT]["text"] == "0", "the emptied edit at 0")
        self.assertEqual(self.opacity(controls), ("0", 0, 0))

        # 300 typed in: the trackbar goes to its end, but OK keeps ALPHA as it was.
        self.session.driver("set-text", edit, "300")
        controls = self.wait_controls(dialog, lambda c: c[ID_SLIDER]["position"] == 255, "the slider at 255")
        self.assertTrue(controls[ID_SPIN]["error"], "the up-down refuses 300")
        self.end_dialog(dialog, IDOK)
        self.assertEqual(read_config(pivotel.folder),
                         [("ALPHA", "100"), ("TRIGGER", "0"), ("SENDWHEEL", "0")])

        # ALPHA 300: each control keeps to its range. Enter in the emptied edit takes the up-down's 0.
        file_bytes(pivotel.folder, replace=b"[CONFIG]\r\nALPHA=300\r\n")
        dialog = self.open_dialog(main)
        controls = self.filled(dialog)
        self.assertEqual(self.opacity(controls), ("255", 255, 255))
        edit = controls[ID_EDIT]["hwnd"]
        self.focus(dialog, edit)
        self.wait_controls(dialog, lambda c: c[ID_EDIT]["focus"], "the focus in the edit")
        self.session.driver("set-text", edit, "")
        self.session.driver("post-message", edit, WM_KEYDOWN, VK_RETURN)
        self.session.wait_no_window(DIALOG_CLASS, DIALOG_TITLE)
        self.assertEqual(dict(read_config(pivotel.folder))["ALPHA"], "0")
        self.exit_pivotel(pivotel, main)

    def test_confirmed_opacity_is_used_at_once_and_a_refused_one_keeps_the_old(self):
        # One item on the ring: the translucency command (8) in slot 0 of page 0.
        translucent = {"id": 1, "icon": "red.ico", "text": "半透明", "type": 1, "event": 8}
        pivotel = ringsetup.start_pivotel(self, items=[translucent], pages={0: {0: 1}}, ALPHA=100)
        main = pivotel.main_window
        window = self.open_test_window(300, 250, 400, 300)

        def toggle_translucency(expect_layered):
            self.session.send_input("move:%d,%d" % ringsetup.PRESS, "down:x1", "sleep:100",
                                    "move:%d,%d" % ringsetup.slot_point(0), "sleep:100", "up:x1")
            return harness.wait_for(
                lambda: (lambda r: r if r["layered"] == expect_layered else None)(
                    self.session.driver("layered", window.hwnd).records[0]),
                10, "the test window %s translucent" % ("made" if expect_layered else "no longer"))

        def confirm_opacity(text):
            dialog = self.open_dialog(main)
            edit = self.filled(dialog)[ID_EDIT]
            self.session.driver("set-text", edit["hwnd"], text)
            self.end_dialog(dialog, IDOK)

        confirm_opacity("300")
        self.assertEqual(dict(read_config(pivotel.folder))["ALPHA"], "100")
        self.assertEqual(toggle_translucency(True)["alpha"], 100, "the refused 300 left the opacity in use")
        toggle_translucency(False)
        confirm_opacity("60")
        self.assertEqual(dict(read_config(pivotel.folder))["ALPHA"], "60")
        self.assertEqual(toggle_translucency(True)["alpha"], 60, "the confirmed opacity is used at once")
        self.exit_pivotel(pivotel, main)

    def test_exit_while_the_dialog_is_open_ends_with_code_0_and_writes_nothing(self):
        original = "[CONFIG]\nTRIGGER=1\n"
        pivotel, main = self.started(original)
        before = file_bytes(pivotel.folder)
        dialog = self.open_dialog(main)
        self.session.driver("set-text", self.controls(dialog)[ID_EDIT]["hwnd"], "12")
        self.exit_pivotel(pivotel, main)
        self.session.wait_no_window(DIALOG_CLASS, DIALOG_TITLE)
        self.assertEqual(file_bytes(pivotel.folder), before)


# Named to sort last: unittest runs the classes of a file in name order.
class ZRepeatedStartAndExit(TrayTestCase):

    def test_twenty_start_exit_cycles_end_with_code_0(self):
        # Every other cycle exits with the palette editor open, which shutdown closes unsaved.
        folder = None
        for cycle in range(20):
            pivotel = self.start_pivotel(folder=folder)
            folder = pivotel.folder
            main = pivotel.wait_main_window()
            if cycle % 2 == 1:
                self.command(main, CMD_PALETTE)
                self.session.wait_window(PALETTE_CLASS, PALETTE_CLASS, visible=True)
            self.exit_pivotel(pivotel, main, "cycle %d" % cycle)
        self.session.wait_no_window(PALETTE_CLASS)
        self.assertIsNone(file_bytes(folder), "no cycle wrote a settings file")
        self.assertEqual(self.session.message_boxes("-"), [])


if __name__ == "__main__":
    sys.exit(harness.main())
