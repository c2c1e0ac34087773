"""Takes the README's pictures in the end-to-end harness's Wine desktop: the ring menu open with
an item's label (docs/images/ring-menu.png) and the palette editor with its items
(docs/images/palette-editor.png). Pivotel runs with the shipped setting.ini and icons, as the
ready folder of scripts/run.sh holds them.

    python3 tests/e2e/readme_screenshots.py [--pivotel PATH] [--driver PATH] [--work DIR]

(the paths default to the Windows build's). Exit code 0 when both pictures were written."""

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
            harness.wait_for(lambda: session.pixel(*ringsetup.slot_point(0, centre=CENTRE, distance=90))
                             != session.pixel(CENTRE[0] - 300, CENTRE[1]), 5, "the ring's icons drawn")
            label = session.find_windows(ringsetup.LABEL_CLASS, visible=True)[0]["rect"]
            crop_screen(session, CENTRE[0] - 140, CENTRE[1] - 140, max(CENTRE[0] + 140, label[0] + 250),
                        max(CENTRE[1] + 140, label[3] + 10), "ring-menu.png")
        finally:
            session.send_input("move:%d,%d" % CENTRE, "up:x1")
        session.wait_no_window(ringsetup.MENU_CLASS, visible=True)

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
