"""What the ring-menu scenarios and benchmarks hand to Pivotel: a setting.ini of their own (code
page 932) and the files it names: solid-colour icons made here, and ring_probe.exe, the program
that their launch items start (it appends a line to a file of Pivotel's folder per start)."""

import math
import os
import struct

import harness

MENU_CLASS = "Pivotel"
LABEL_CLASS = "Pivotel Tool Tip"
LABEL_OFFSET_Y = 20

# Where the scenarios press the trigger, the menu window's rectangle that this gives at 96 DPI, and
# the distance from the centre at which they point at a slot (the middle of the ring band).
PRESS = (500, 400)
RING_RECT = [PRESS[0] - 128, PRESS[1] - 128, PRESS[0] + 128, PRESS[1] + 128]
SLOT_DISTANCE = 85


def scaled(pixels):
    """A length of the ring or the label at 96 DPI in pixels of this run's display: the display's
    DPI / 96 times as long, rounded to the pixel whose centre it reaches, halves down."""
    return (pixels * harness.system_dpi() + 47) // 96


def ring_rect(centre=PRESS):
    """The menu window's rectangle when it opens at `centre` on this run's display."""
    half, size = scaled(128), scaled(256)
    return [centre[0] - half, centre[1] - half, centre[0] - half + size, centre[1] - half + size]

RED, GREEN, BLUE = (220, 30, 30), (30, 200, 60), (40, 60, 230)

# The items of the scenarios' menu. Page 0: slot 0 starts the probe writing "launch-a.txt", slot 2
# copies the target window's title. Page 1: slot 0 starts the probe writing "launch-b.txt" from a
# folder with a Japanese name, where its icon lies too and which it runs in. The other pages are
# empty, so the wheel flips between pages 0 and 1.
LAUNCH_FOLDER = "起動フォルダ"
LAUNCH_A, COPY_TITLE, LAUNCH_B = 1, 2, 3
ITEMS = [
    {"id": LAUNCH_A, "icon": "red.ico", "text": "プローブ起動Ａ", "type": 2, "path": "ring_probe.exe",
     "args": "launch-a.txt page-0"},
    {"id": COPY_TITLE, "icon": "green.ico", "text": "タイトルをコピー", "type": 1, "event": 5},
    {"id": LAUNCH_B, "icon": LAUNCH_FOLDER + "\\blue.ico", "text": "プローブ起動Ｂ", "type": 2,
     "path": LAUNCH_FOLDER + "\\ring_probe.exe", "args": "..\\launch-b.txt page-1", "dir": LAUNCH_FOLDER},
]
PAGES = {0: {0: LAUNCH_A, 2: COPY_TITLE}, 1: {0: LAUNCH_B}}
ICON_COLOURS = {"red.ico": RED, "green.ico": GREEN, "blue.ico": BLUE}


def slot_point(slot, centre=PRESS, distance=None):
    """The screen point `distance` pixels (the middle of the band, scaled, by default) from the
    ring's centre in the middle of a slot's sector (slot 0 straight up, clockwise)."""
    distance = scaled(SLOT_DISTANCE) if distance is None else distance
    angle = math.radians(45 * slot)
    return (centre[0] + round(distance * math.sin(angle)), centre[1] - round(distance * math.cos(angle)))


def hexrgb(rgb):
    return "%02x%02x%02x" % rgb


def open_ring(session, at=PRESS, button="x1", timeout=10):
    """Presses the trigger at `at`; returns the ring's window once it shows."""
    session.send_input("move:%d,%d" % at, "down:%s" % button)
    return session.wait_window(MENU_CLASS, MENU_CLASS, visible=True, timeout=timeout)[0]


def close_ring(session, *steps, button="x1"):
    """Sends these input steps, then the trigger's release, and waits until the ring is hidden."""
    session.send_input(*steps, "up:%s" % button)
    session.wait_no_window(MENU_CLASS, visible=True)


def icon_bytes(rgb, size=32, larger=None):
    """An .ico file with one opaque square icon of that colour (32 bits per pixel with alpha), and
    with `larger` ({size: colour}) images of other sizes after it."""
    images = [(size, rgb)] + sorted((larger or {}).items())
    directory, body = struct.pack("<HHH", 0, 1, len(images)), b""
    for side, (red, green, blue) in images:
        pixels = bytes([blue, green, red, 255]) * (side * side)
        mask = bytes(((side + 31) // 32) * 4 * side)
        header = struct.pack("<IiiHHIIiiII", 40, side, side * 2, 1, 32, 0, len(pixels) + len(mask),
                             0, 0, 0, 0)
        image = header + pixels + mask
        directory += struct.pack("<BBBBHHII", side % 256, side % 256, 0, 0, 1, 32, len(image),
                                 6 + 16 * len(images) + len(body))
        body += image
    return directory + body


def large_shade(rgb):
    """The colour of an icon file's images above 32 pixels: the scaled ring must show these."""
    return tuple(c // 2 for c in rgb)


def ring_icon_colour(rgb):
    """The colour a slot's icon shows in the ring on this run's display."""
    return rgb if harness.system_dpi() == 96 else large_shade(rgb)


def setting_ini(items=ITEMS, pages=PAGES, palette=None, **config):
    """A setting.ini's text: items, pages ({page: {slot: id}}), palette ({cell: id}; all 240 keys
    written when given) and CONFIG keys."""
    lines = []
    for index, item in enumerate(items):
        lines += ["[ITEM%d]" % index, "ID=%d" % item["id"], "ICON=%s" % item["icon"],
                  "TEXT=%s" % item["text"], "TYPE=%d" % item["type"]]
        if item["type"] == 1:
            lines.append("EVENT=%d" % item["event"])
        else:
            lines += ["SCPATH=%s" % item["path"], "SCARG=%s" % item.get("args", ""), "SCDIR=%s" % item.get("dir", ""),
                      "SCSHOW=%d" % item.get("show", 7)]
    lines += ["[ITEMS]", "NUM=%d" % len(items)]
    for page in range(8):
        lines.append("[PAGE%d]" % page)
        lines += ["ITEM%d=%d" % (slot, pages.get(page, {}).get(slot, 0)) for slot in range(8)]
    if palette is not None:
        lines.append("[PALETTE]")
        lines += ["ITEM%d=%d" % (cell, palette.get(cell, 0)) for cell in range(240)]
    if config:
        lines.append("[CONFIG]")
        lines += ["%s=%s" % (key, value) for key, value in config.items()]
    return "\n".join(lines) + "\n"


def menu_files(session):
    """The icons and the probe program that the scenarios' setting.ini names."""
    files = {name: icon_bytes(rgb, larger={48: large_shade(rgb), 64: large_shade(rgb)})
             for name, rgb in ICON_COLOURS.items()}
    files[LAUNCH_FOLDER + "/blue.ico"] = files.pop("blue.ico")
    probe = os.path.join(os.path.dirname(session.driver_exe), "ring_probe.exe")
    files["ring_probe.exe"] = files[LAUNCH_FOLDER + "/ring_probe.exe"] = probe
    return files


def probe_starts(folder, name):
    """The lines the probe has left in that file of Pivotel's folder (one per start)."""
    try:
        with open(os.path.join(folder, name), "rb") as f:
            return [line for line in f.read().decode("ascii", errors="replace").splitlines() if line]
    except FileNotFoundError:
        return []


def wait_probe_starts(folder, name, count, timeout=15):
    """Waits until the probe has left `count` lines in that file; returns them."""
    return harness.wait_for(lambda: len(probe_starts(folder, name)) >= count and probe_starts(folder, name),
                            timeout, "%d start(s) of the probe writing %s" % (count, name))


def start_pivotel(test, **setting):
    """Starts Pivotel with the scenarios' menu files and setting_ini(**setting), once started."""
    return test.started(setting_ini(**setting), menu_files(test.session))[0]
