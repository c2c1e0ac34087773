"""Takes the README's pictures in the end-to-end harness's Wine desktop: the ring menu open with
an item's label (docs/images/ring-menu.png) and the palette editor with its items
(docs/images/palette-editor.png). Pivotel runs with the shipped setting.ini and icons, as the
ready folder of scripts/run.sh holds them.

    python3 tests/e2e/readme_screenshots.py [--pivotel PATH] [--driver PATH] [--work DIR]
    python3 tests/e2e/readme_screenshots.py --log-pixels 144

(the paths default to the Windows build's). With --log-pixels the desktop runs at that system DPI
and only the ring is taken, as docs/images/ring-menu-<percent>.png (ring-menu-150.png at 144).
Exit code 0 when the pictures were written."""

import os
import shutil
import subprocess
import sys

import harness
import ringsetup

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
IMAGES = os.path.join(ROOT, "docs", "images")
CENTRE = (640, 512)
SHOWN_SLOT = 2


def crop_screen(session, left, top, right, bottom, name):
    """Saves that rectangle of the screen as docs/images/<name>."""
    os.makedirs(IMAGES, exist_ok=True)
    target = os.path.join(IMAGES, name)
    geometry = "%dx%d+%d+%d" % (right - left, bottom - top, left, top)
    whole = session.screenshot("readme-" + os.path.splitext(name)[0])
    if whole is None:
        raise harness.HarnessError("no screenshot for %s" % name)
    subprocess.run(["convert", whole, "-crop", geometry, "+repage", "-strip", target], check=True, timeout=30,
                   stdin=subprocess.DEVNULL)
    harness.log("wrote %s" % target)


def ring_picture_name():
    """The ring's picture at this run's display scale: ring-menu.png at 100 %."""
    dpi = harness.system_dpi()
    return "ring-menu.png" if dpi == 96 else "ring-menu-%d.png" % (dpi * 100 // 96)


def take(session):
    folder = session.new_folder("readme")
    shutil.copy2(session.pivotel_exe, os.path.join(folder, "pivotel.exe"))
    shutil.copy2(os.path.join(ROOT, "src", "res", "setting.ini"), os.path.join(folder, "setting.ini"))
    shutil.copytree(os.path.join(ROOT, "src", "res", "icons"), os.path.join(folder, "icons"))
    pivotel = session.start_pivotel(folder=folder)
    try:
        main = pivotel.wait_started()

        # The ring menu, held open with the cursor on a slot so that its label shows.
        slot = ringsetup.slot_point(SHOWN_SLOT, centre=CENTRE)
        session.send_input("move:%d,%d" % CENTRE, "down:x1", "sleep:200", "move:%d,%d" % slot)
        try:
            session.wait_window(ringsetup.MENU_CLASS, ringsetup.MENU_CLASS, visible=True)
            session.wait_window(ringsetup.LABEL_CLASS, visible=True)
            icon = ringsetup.slot_point(0, centre=CENTRE, distance=ringsetup.scaled(90))
            harness.wait_for(lambda: session.pixel(*icon) != session.pixel(CENTRE[0] - 300, CENTRE[1]), 5,
                             "the ring's icons drawn")
            label = session.find_windows(ringsetup.LABEL_CLASS, visible=True)[0]["rect"]
            # The frame of the 100 % picture grown with the display. The label's window is wider than
            # its text, so the crop reaches a fixed length past the label's left edge instead.
            half = ringsetup.scaled(140)
            crop_screen(session, CENTRE[0] - half, CENTRE[1] - half,
                        max(CENTRE[0] + half, label[0] + ringsetup.scaled(250)),
                        max(CENTRE[1] + half, label[3] + ringsetup.scaled(10)), ring_picture_name())
        finally:
            session.send_input("move:%d,%d" % CENTRE, "up:x1")
        session.wait_no_window(ringsetup.MENU_CLASS, visible=True)
        if harness.system_dpi() != 96:
            return 0

        # The palette editor, with the cursor on a slot of its ring and the label under it.
        session.driver("post-message", main["hwnd"], harness.WM_COMMAND, harness.CMD_PALETTE)
        editor = session.wait_window(harness.PALETTE_CLASS, harness.PALETTE_CLASS, visible=True)[0]
        origin = session.driver("client-rect", editor["hwnd"]).records[0]["origin"]
        harness.wait_for(lambda: session.pixel(origin[0] + 275, origin[1] + 8) == "ffffff", 10, "the editor drawn")
        session.send_input("move:%d,%d" % (origin[0] + 135 - 90, origin[1] + 156))
        session.wait_window(ringsetup.LABEL_CLASS, visible=True)
        left, top, right, bottom = editor["rect"]
        crop_screen(session, left, top, right, bottom, "palette-editor.png")
        session.driver("close-window", editor["hwnd"])
        session.wait_no_window(harness.PALETTE_CLASS)
        return 0
    finally:
        pivotel.stop()


if __name__ == "__main__":
    sys.exit(harness.run_session(take, deadline=120))
