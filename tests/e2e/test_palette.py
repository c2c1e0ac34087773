"""The palette editor in the Wine desktop, driven with real input: dragging items between palette
cells and page slots, the page tabs, the context menus (delete, remove from page, new, edit) with
the item edit dialog, scrolling by wheel, arrows and thumb, the label while dragging, a file drop
on a full palette, and deleting an item while the ring menu is open over it.

Every item gets a solid-colour icon of its own (ringsetup.icon_bytes), so what the editor shows
is read back from the screen: the colour at a cell's or slot's centre names the item there. What
the editor changed in memory is checked in the setting.ini it writes when its window closes: the
file is removed before each close, and the save is complete once PALETTE/ITEM239, its last key,
is there."""

import os
import pathlib
import sys

import harness
import ringsetup
from harness import CMD_PALETTE, DIALOG_CLASS, IDCANCEL, IDOK, PALETTE_CLASS, POPUP_CLASS, WM_COMMAND, WM_NULL
from ringsetup import LABEL_CLASS, hexrgb, icon_bytes, slot_point

EDIT_TITLE = "編集"
RING_CLASS = ringsetup.MENU_CLASS
VK_ESCAPE = 27
ID_NAME, ID_ICON, ID_PATH, ID_ARGS, ID_DIR, ID_SHOW = 1005, 1006, 40008, 40009, 40010, 40011
ID_BROWSE_ICON, ID_BROWSE_PATH, ID_BROWSE_DIR = 40012, 40013, 40015

# The editor's layout in client pixels.
SLOT_OFFSETS = [(0, -90), (63, -63), (90, 0), (63, 63), (0, 90), (-63, 63), (-90, 0), (-63, -63)]
SCROLL_X = 601
UP_ARROW_Y, DOWN_ARROW_Y = 14, 280
# A point of the scroll bar's track where nothing is hovered (no label, no hot icon).
NEUTRAL = (601, 150)
WHITE = "ffffff"
# In an expected view: a cell whose content is not checked.
ANY = "any"
# The editor reads the cursor's position when it handles a button message, not the position the
# message was sent at; so after each press and release the input rests a moment, as a hand does,
# before the cursor moves on (else a busy editor may take the press or release where the cursor
# went next).
HOLD = "sleep:150"
CLICK = ("down:left", HOLD, "up:left", HOLD)


def colour(n):
    """The icon colour of item number n (distinct for n below 40, none of them white or grey)."""
    return (10 + 6 * n, 200 - 4 * n, 60 + 3 * n)


def cell_centre(row, column):
    return (293 + 40 * column, 26 + 40 * row)


def slot_centre(slot):
    dx, dy = SLOT_OFFSETS[slot]
    return (135 + dx, 156 + dy)


def tab_centre(page):
    return (18 + 33 * page, 15)


def thumb_top(scroll_row):
    return 20 + scroll_row * 251 // 23


def launch_item(n, text=None, **extra):
    return dict({"id": n, "icon": "i%d.ico" % n, "text": text or "起動%d" % n, "type": 2,
                 "path": "ring_probe.exe", "args": "launch-%d.txt" % n, "show": 5}, **extra)


def command_item(n, event, text=None):
    return {"id": n, "icon": "i%d.ico" % n, "text": text or "コマンド%d" % n, "type": 1, "event": event}


class Saved:
    """What one save of the editor wrote: items in file order, pages' slot ids, palette cell ids."""

    def __init__(self, sections):
        sections = {name: dict(pairs) for name, pairs in sections.items()}
        count = int(sections["ITEMS"]["NUM"])
        self.items = [sections["ITEM%d" % n] for n in range(count)]
        self.pages = [[int(sections["PAGE%d" % p]["ITEM%d" % s]) for s in range(8)] for p in range(8)]
        self.palette = [int(sections["PALETTE"]["ITEM%d" % c]) for c in range(240)]

    def ids(self):
        return [int(item["ID"]) for item in self.items]

    def item(self, item_id):
        return next((item for item in self.items if int(item["ID"]) == item_id), None)

    def cells(self):
        """The occupied cells as {cell index: id}."""
        return {c: i for c, i in enumerate(self.palette) if i}


class PaletteTestCase(harness.E2ETestCase):
    # Dropped files and the saved settings carry this Japanese folder name on every code page.
    FOLDER_SUFFIX = "-表示"
    """Starts Pivotel with colour-icon items and drives its editor."""

    def start(self, items, pages=None, palette=None, extra_files=None, before_start=None, **config):
        files = {"ring_probe.exe": os.path.join(os.path.dirname(self.session.driver_exe), "ring_probe.exe")}
        self.colours = {}
        for item in items:  # an icon file shared by several items has the first one's colour
            if item["icon"] not in files:
                files[item["icon"]] = icon_bytes(colour(item["id"]))
                self.colours[hexrgb(colour(item["id"]))] = item["id"]
        files.update(extra_files or {})
        self.pivotel, self.main = self.started(ringsetup.setting_ini(items, pages or {}, palette or {}, **config),
                                               files, before_start)
        return self.pivotel

    # ---- the editor window ----------------------------------------------------------------------

    def open_editor(self):
        self.assertTrue(self.session.driver("post-message", self.main["hwnd"], WM_COMMAND, CMD_PALETTE).ok)
        windows = self.session.wait_window(PALETTE_CLASS, PALETTE_CLASS, visible=True, timeout=15)
        self.assertEqual([w["pid"] for w in windows], [self.main["pid"]], "one editor, Pivotel's")
        self.editor = windows[0]
        record = self.session.driver("client-rect", self.editor["hwnd"]).records[0]
        self.origin = tuple(record["origin"])
        # Per-monitor aware, the picture drawn scaled to the window's DPI.
        self.assertEqual((self.editor["awareness"], self.editor["dpi"]), (2, harness.system_dpi()))
        self.assertTrue(record["size"][0] >= 613 and record["size"][1] >= 290,
                        "the client area holds the whole picture: %r" % record)
        # The first frame is on the screen once the palette's white ground shows.
        harness.wait_for(lambda: self.pixels((275, 8)) == [WHITE], 10, "the editor's first frame")
        return self.editor

    def close_editor(self, cells=None, pages=None, ids=None):
        """Closes the editor and returns what it saved (the file is removed first, so that only
        this save is read), checked to hold these occupied cells, pages' slots and item ids."""
        path = os.path.join(self.pivotel.folder, "setting.ini")
        if os.path.exists(path):
            os.remove(path)
        self.session.driver("close-window", self.editor["hwnd"])
        self.session.wait_no_window(PALETTE_CLASS, PALETTE_CLASS, timeout=15)

        def saved():
            sections = harness.read_ini(path)
            return sections if sections and "ITEM239" in dict(sections.get("PALETTE", [])) else None
        saved = Saved(harness.wait_for(saved, 15, "the settings written by the editor's close"))
        for what, expected, written in (("cells", cells, saved.cells()), ("item ids", ids, saved.ids())):
            if expected is not None:
                self.assertEqual(written, expected, what)
        for page, slots in (pages or {}).items():
            self.assertEqual(saved.pages[page], slots, "page %d" % page)
        return saved

    def screen(self, point):
        """The screen pixel that shows the centre of a picture pixel."""
        dpi = self.editor["dpi"]
        return tuple(o + (2 * p + 1) * dpi // 192 for o, p in zip(self.origin, point))

    def pixels(self, *points):
        """Screen colours at client points of the editor."""
        return self.session.pixels(*[self.screen(point) for point in points])

    def view(self):
        """What the editor shows: the item id of each visible cell (7 rows of 8; 0 for white, "?"
        for anything else) and of each slot of the shown page (0 for anything but an item icon)."""
        points = [cell_centre(r, c) for r in range(7) for c in range(8)] + [slot_centre(s) for s in range(8)]
        colours = self.pixels(*points)
        cells = [self.colours.get(rgb, 0 if rgb == WHITE else "?") for rgb in colours[:56]]
        slots = [self.colours.get(rgb, 0) for rgb in colours[56:]]
        return [cells[r * 8:r * 8 + 8] for r in range(7)], slots

    def wait_view(self, cells=None, slots=None, what="the editor's picture"):
        """Waits until the visible cells ({(r, c): id}, every other cell empty) and the slots
        (a list of 8 ids) are as given (None: not checked); returns the view."""
        expected_cells = None if cells is None else [[cells.get((r, c), 0) for c in range(8)] for r in range(7)]
        last = []

        def matches():
            last[:] = [self.view()]
            shown_cells, shown_slots = last[0]
            if expected_cells is not None:
                shown_cells = [[ANY if expected_cells[r][c] == ANY else shown_cells[r][c] for c in range(8)]
                               for r in range(7)]
            return ((expected_cells is None or shown_cells == expected_cells)
                    and (slots is None or shown_slots == slots))
        try:
            harness.wait_for(matches, 5, what, interval=0.2)
        except harness.HarnessError:
            self.fail("%s: expected cells %r slots %r, shown %r" % (what, cells, slots, last[0]))
        return last[0]

    # ---- input ----------------------------------------------------------------------------------

    def move(self, point):
        return "move:%d,%d" % self.screen(point)

    def input(self, *steps):
        self.session.send_input(*steps)

    def drag(self, source, target, end_at_rest=True):
        """A left-button drag in steps, then (by default) a rest where no item is hovered."""
        middle = ((source[0] + target[0]) // 2, (source[1] + target[1]) // 2)
        steps = [self.move(source), "down:left", HOLD, self.move(middle), self.move(target), "up:left", HOLD]
        if end_at_rest:
            steps.append(self.move(NEUTRAL))
        self.input(*steps)

    def rest(self):
        self.input(self.move(NEUTRAL))

    def open_context_menu(self, point):
        """Right-clicks a client point and returns the popup menu that opens (its rectangle)."""
        self.input(self.move(point), "click:right")
        menus = self.session.wait_window(POPUP_CLASS, visible=True, timeout=5)
        self.assertEqual([m["pid"] for m in menus], [self.main["pid"]], "one popup menu, Pivotel's")
        return menus[0]

    def entry_point(self, menu, index, count):
        left, top, right, bottom = menu["rect"]
        row = (bottom - top) / count
        return (left + 20, int(top + row * index + row / 2))

    def entry_ink(self, menu, index, count):
        """How many near-black pixels the text of a menu entry has: none when it is greyed."""
        left, top, right, bottom = menu["rect"]
        row = (bottom - top) / count
        y0, y1 = int(top + row * index + 2), int(top + row * (index + 1) - 2)
        records = self.session.driver("capture", left + 2, y0, right - left - 4, y1 - y0).records
        return sum(1 for record in records for rgb in harness.rgb_triples(record["rgb"]) if max(rgb) < 70)

    def choose(self, menu, index, count):
        """Clicks entry `index` of an open popup menu of `count` entries and waits for it to close."""
        self.input("move:%d,%d" % self.entry_point(menu, index, count), "click:left")
        self.session.wait_no_window(POPUP_CLASS, visible=True, timeout=5)

    def context_command(self, point, index, count):
        menu = self.open_context_menu(point)
        self.choose(menu, index, count)

    # ---- the item edit dialog --------------------------------------------------------------------

    def wait_dialog(self):
        dialogs = self.session.wait_window(DIALOG_CLASS, EDIT_TITLE, visible=True, timeout=10)
        self.assertEqual([(d["pid"], d["awareness"]) for d in dialogs], [(self.main["pid"], 2)],
                         "one dialog, Pivotel's, scaling itself")
        return dialogs[0]

    def drop_files(self, editor, first, *others):
        """Drops files of Pivotel's folder on the editor at once; returns the first one's Windows
        path and the edit dialog that opens, with its controls."""
        paths = [harness.windows_path(os.path.join(self.pivotel.folder, name)) for name in (first,) + others]
        self.assertTrue(self.session.driver("drop-files", editor["hwnd"], 300, 100, *paths).ok)
        dialog = self.wait_dialog()
        return paths[0], dialog, self.controls(dialog)

    def fill(self, dialog, values):
        controls = self.controls(dialog)
        for control_id, text in values.items():
            self.assertTrue(self.session.driver("set-text", controls[control_id]["hwnd"], text).ok)
        return controls

    def press(self, dialog, button):
        """Sends the dialog a button's command; it has been handled when this returns, and a dialog
        that it ended has left its modal loop once the editor's thread answers a message."""
        self.assertTrue(self.session.driver("send-message", dialog["hwnd"], WM_COMMAND, button).ok)
        self.session.driver("send-message", self.editor["hwnd"], WM_NULL, check=False)

    def confirm(self, dialog):
        """OK; once the dialog has gone, the cursor rests off the items."""
        self.press(dialog, IDOK)
        self.session.wait_no_window(DIALOG_CLASS, EDIT_TITLE, timeout=5)
        self.rest()


class Dragging(PaletteTestCase):

    def test_cells_move_and_swap_palette_items_fill_and_replace_slots_and_slots_move_and_swap(self):
        # A (launch), B (window command), C (launch) in cells 0, 2, 3; page 0 has B in slot 0 and
        # C in slot 2.
        a, b, c = launch_item(1), command_item(2, 5), launch_item(3)
        self.start([a, b, c], pages={0: {0: 2, 2: 3}}, palette={0: 1, 2: 2, 3: 3})
        self.open_editor()
        self.wait_view({(0, 0): 1, (0, 2): 2, (0, 3): 3}, [2, 0, 3, 0, 0, 0, 0, 0], "the loaded items")

        # Cell (0, 0) onto the empty (0, 1): moved. Then onto the occupied (0, 2): swapped.
        self.drag(cell_centre(0, 0), cell_centre(0, 1))
        self.wait_view({(0, 1): 1, (0, 2): 2, (0, 3): 3}, what="A moved to (0, 1)")
        self.drag(cell_centre(0, 1), cell_centre(0, 2))
        self.wait_view({(0, 1): 2, (0, 2): 1, (0, 3): 3}, what="A and B swapped")
        # A press on an empty cell starts no drag: released over another cell, it moves nothing.
        self.drag(cell_centre(0, 0), cell_centre(0, 3))
        self.wait_view({(0, 1): 2, (0, 2): 1, (0, 3): 3}, what="nothing moved from an empty cell")
        self.close_editor(cells={1: 2, 2: 1, 3: 3}, pages={0: [2, 0, 3, 0, 0, 0, 0, 0]})

        # A onto the empty slot 1 and then onto the empty slot 4: two references, the palette
        # keeps it. C onto slot 0, which holds B: replaced, and B stays in the palette.
        self.open_editor()
        self.drag(cell_centre(0, 2), slot_centre(1))
        self.wait_view(slots=[2, 1, 3, 0, 0, 0, 0, 0], what="A in slot 1")
        self.drag(cell_centre(0, 2), slot_centre(4))
        self.drag(cell_centre(0, 3), slot_centre(0))
        self.wait_view({(0, 1): 2, (0, 2): 1, (0, 3): 3}, [3, 1, 3, 0, 1, 0, 0, 0],
                       "A in slot 4, C in slot 0")
        saved = self.close_editor({1: 2, 2: 1, 3: 3}, {0: [3, 1, 3, 0, 1, 0, 0, 0]}, [1, 2, 3])
        self.assertEqual(sum(1 for s in saved.pages[0] if s), 4, "page 0 went from 2 items to 4")

        # Slot to slot: slot 4 (A) onto the empty slot 6 moves it; slot 1 (A) onto slot 0 (C)
        # swaps them. A slot's item dropped on an empty cell, on an occupied cell, on a tab or on
        # the panel beside the ring changes nothing, and so does a palette item dropped there.
        self.open_editor()
        self.drag(slot_centre(4), slot_centre(6))
        self.wait_view(slots=[3, 1, 3, 0, 0, 0, 1, 0], what="A moved from slot 4 to slot 6")
        self.drag(slot_centre(1), slot_centre(0))
        self.wait_view(slots=[1, 3, 3, 0, 0, 0, 1, 0], what="slots 0 and 1 swapped")
        for target in (cell_centre(0, 0), cell_centre(0, 3), cell_centre(4, 4), tab_centre(5), (135, 156),
                       (20, 280)):
            self.drag(slot_centre(6), target)
        for target in (tab_centre(5), (135, 156), (20, 280), (600, 150)):
            self.drag(cell_centre(0, 2), target)
        self.wait_view({(0, 1): 2, (0, 2): 1, (0, 3): 3}, [1, 3, 3, 0, 0, 0, 1, 0], "nothing changed")
        self.close_editor({1: 2, 2: 1, 3: 3}, {0: [1, 3, 3, 0, 0, 0, 1, 0], 5: [0] * 8})

    def test_tabs_switch_only_the_editor_page(self):
        a, b = launch_item(1), command_item(2, 5)
        pivotel = self.start([a, b], pages={0: {0: 1}, 1: {2: 2}}, palette={0: 1, 1: 2})
        self.open_editor()
        self.wait_view(slots=[1, 0, 0, 0, 0, 0, 0, 0], what="page 0 in the editor")
        self.input(self.move(tab_centre(1)), *CLICK, self.move(NEUTRAL))
        self.wait_view(slots=[0, 0, 2, 0, 0, 0, 0, 0], what="page 1 in the editor")
        # An item dropped now lands on page 1.
        self.drag(cell_centre(0, 0), slot_centre(5))
        self.wait_view(slots=[0, 0, 2, 0, 0, 1, 0, 0], what="A in slot 5 of page 1")
        self.close_editor(pages={0: [1, 0, 0, 0, 0, 0, 0, 0], 1: [0, 0, 2, 0, 0, 1, 0, 0]})

        # The ring menu still opens on page 0 (A in slot 0, nothing in slot 2). Released over its
        # centre, it runs nothing.
        ringsetup.open_ring(self.session)
        icons = [slot_point(0, distance=90), slot_point(2, distance=90)]
        try:
            harness.wait_for(lambda: self.session.pixel(*icons[0]) == hexrgb(colour(1)), 5,
                             "page 0's item A in the ring's slot 0")
            self.assertNotEqual(self.session.pixel(*icons[1]), hexrgb(colour(2)), "page 1's item is not shown")
        finally:
            self.session.send_input("move:%d,%d" % ringsetup.PRESS, "up:x1")
        self.session.wait_no_window(RING_CLASS, visible=True)

        # Opened again, the editor shows the page last chosen.
        self.open_editor()
        self.wait_view(slots=[0, 0, 2, 0, 0, 1, 0, 0], what="page 1 still chosen in the editor")
        self.close_editor()
        self.assertEqual(ringsetup.probe_starts(pivotel.folder, "launch-1.txt"), [])

    def test_label_names_the_dragged_item_and_a_release_outside_leaves_no_drag(self):
        long_name = "ラベルの幅を測るための長い名前の項目"
        a, b = launch_item(1, long_name), launch_item(2, "B")
        self.start([a, b], palette={0: 1, 2: 2})
        editor = self.open_editor()

        def label_width():
            """The width of the label's box, measured on its lowest rows from its left edge: those
            rows are nearly opaque dark blue (red 0), which nothing around it is."""
            labels = self.session.find_windows(LABEL_CLASS, visible=True)
            if not labels:
                return None
            left, top = labels[0]["rect"][:2]
            width = min(700, harness.SCREEN_WIDTH - left)
            widths = []
            for record in self.session.driver("capture", left, top + 22, width, 3).records:
                run = 0
                for r, g, b in harness.rgb_triples(record["rgb"]):
                    if r > 16 or g > 64 or b > 96 or b < g:
                        break
                    run += 1
                widths.append(run)
            return max(widths)

        def steady_width(what):
            seen = []

            def settled():
                seen.append(label_width())
                return len(seen) >= 2 and seen[-1] and seen[-1] == seen[-2] and seen[-1]
            return harness.wait_for(settled, 5, what, interval=0.2)

        def label_image():
            """The label's left 200 x 26 pixels: box and text, over the empty palette row below the
            cursor (A's and B's cells are two cells apart, so the grid lines fall alike)."""
            left, top = self.session.find_windows(LABEL_CLASS, visible=True)[0]["rect"][:2]
            return [r["rgb"] for r in self.session.driver("capture", left, top, 200, 26).records]

        self.input(self.move(cell_centre(0, 0)))
        width_a = steady_width("the label of A")
        image_a = label_image()
        self.input(self.move(cell_centre(0, 2)))
        width_b = steady_width("the label of B")
        self.assertGreater(width_a - width_b, 150, "the long name's label is the wider one")

        # Dragging A over B: the label names A, and A's icon is drawn at the cursor.
        self.input(self.move(cell_centre(0, 0)), "down:left", HOLD, self.move(cell_centre(0, 1)),
                   self.move(cell_centre(0, 2)))
        try:
            self.assertEqual(steady_width("the label while dragging"), width_a)
            self.assertTrue(label_image() == image_a, "the label shows A's name, as when A is hovered")
            at_cursor = (cell_centre(0, 2)[0] + 10, cell_centre(0, 2)[1] + 10)
            self.assertEqual(self.pixels(at_cursor), [hexrgb(colour(1))], "the dragged icon at the cursor")
            # Released outside the window: the label goes with the cursor's leaving.
            left, top, right, bottom = editor["rect"]
            outside = (right + 60 if right + 60 < harness.SCREEN_WIDTH else left - 60, (top + bottom) // 2)
            self.input("move:%d,%d" % outside)
            self.session.wait_no_window(LABEL_CLASS, visible=True, timeout=5)
        finally:
            self.input("up:left", HOLD)
        # Back over the empty cell (0, 1): no icon follows the cursor, and a click there moves
        # nothing, so no drag was left behind.
        self.input(self.move(cell_centre(0, 1)))
        at_cursor = (cell_centre(0, 1)[0] + 10, cell_centre(0, 1)[1] + 10)
        harness.wait_for(lambda: self.pixels(at_cursor) == [WHITE], 5, "no icon at the cursor")
        self.input(*CLICK, self.move(NEUTRAL))
        self.wait_view({(0, 0): 1, (0, 2): 2}, what="A and B where they were")
        self.close_editor(cells={0: 1, 2: 2})


class ContextMenus(PaletteTestCase):

    def test_delete_item_everywhere_greyed_for_commands_and_remove_from_one_slot(self):
        # A launch item in three slots on two pages; W a window command; D a launch item in two
        # slots.
        a, w, d = launch_item(1), command_item(2, 4), launch_item(3)
        pages = {0: {0: 1, 1: 3, 3: 1}, 1: {1: 3, 2: 2, 5: 1}}
        self.start([a, w, d], pages=pages, palette={0: 1, 1: 2, 2: 3})
        self.open_editor()
        self.wait_view({(0, 0): 1, (0, 1): 2, (0, 2): 3}, [1, 3, 0, 1, 0, 0, 0, 0], "the loaded items")

        # W's menu: "編集" in ink, "削除" greyed, and choosing it deletes nothing.
        menu = self.open_context_menu(cell_centre(0, 1))
        self.assertGreater(self.entry_ink(menu, 0, 2), 0, "編集 is enabled")
        self.assertEqual(self.entry_ink(menu, 1, 2), 0, "削除 is greyed for a window command")
        self.input("move:%d,%d" % self.entry_point(menu, 1, 2), "click:left")
        if self.session.find_windows(POPUP_CLASS, visible=True):
            self.input("keydown:%d" % VK_ESCAPE, "keyup:%d" % VK_ESCAPE)
        self.session.wait_no_window(POPUP_CLASS, visible=True, timeout=5)
        self.rest()
        self.wait_view({(0, 0): 1, (0, 1): 2, (0, 2): 3}, [1, 3, 0, 1, 0, 0, 0, 0], "W still there")

        # A's menu has "削除" in ink; choosing it empties the cell and every slot of A.
        menu = self.open_context_menu(cell_centre(0, 0))
        self.assertGreater(self.entry_ink(menu, 1, 2), 0, "削除 is enabled for a launch item")
        self.choose(menu, 1, 2)
        self.rest()
        self.wait_view({(0, 1): 2, (0, 2): 3}, [0, 3, 0, 0, 0, 0, 0, 0], "A deleted")

        # "削除" of slot 1's menu removes only that reference to D.
        self.context_command(slot_centre(1), 0, 1)
        self.rest()
        self.wait_view({(0, 1): 2, (0, 2): 3}, [0, 0, 0, 0, 0, 0, 0, 0], "D off slot 1")

        # A is gone from the items.
        saved = self.close_editor({1: 2, 2: 3}, {0: [0] * 8, 1: [0, 3, 2, 0, 0, 0, 0, 0]}, [2, 3])
        self.assertEqual((saved.item(2)["TYPE"], saved.item(2)["EVENT"]), ("1", "4"))

    def test_new_items_go_to_the_chosen_cell_and_a_command_edit_changes_only_name_and_icon(self):
        # Cell (6, 6) holds the id 77, which names no item.
        w, x = command_item(1, 6, "パスをコピー"), launch_item(2)
        self.start([w, x], pages={0: {0: 1}}, palette={0: 1, 2: 2, 6 * 8 + 6: 77},
                   extra_files={"new.ico": icon_bytes(colour(3)), "new4.ico": icon_bytes(colour(4)),
                                "w2.ico": icon_bytes(colour(9)), "app.exe": self.session.pivotel_exe})
        for number in (3, 4, 9):  # 9: W once it has the icon w2.ico
            self.colours[hexrgb(colour(number))] = number  # view() names these icons too
        editor = self.open_editor()
        self.wait_view({(0, 0): 1, (0, 2): 2}, [1, 0, 0, 0, 0, 0, 0, 0], "the loaded items")

        # "新規作成" on the empty cell (5, 3), although (0, 1) is free.
        menu = self.open_context_menu(cell_centre(5, 3))
        one_entry = menu["rect"][3] - menu["rect"][1]
        self.choose(menu, 0, 1)
        dialog = self.wait_dialog()
        controls = self.controls(dialog)
        self.assertEqual([controls[i]["text"] for i in (ID_NAME, ID_ICON, ID_PATH, ID_ARGS, ID_DIR)],
                         [""] * 5)
        self.fill(dialog, {ID_NAME: "新しい項目", ID_ICON: "new.ico", ID_PATH: "ring_probe.exe",
                           ID_ARGS: "launch-new.txt"})
        self.confirm(dialog)
        self.wait_view({(0, 0): 1, (0, 2): 2, (5, 3): 3}, what="the new item in cell (5, 3)")

        # The cell whose id names no item offers "新規作成" too, and takes the new item.
        menu = self.open_context_menu(cell_centre(6, 6))
        self.assertEqual(menu["rect"][3] - menu["rect"][1], one_entry, "the one-entry menu of an empty cell")
        self.choose(menu, 0, 1)
        dialog = self.wait_dialog()
        self.fill(dialog, {ID_NAME: "四番", ID_ICON: "new4.ico", ID_PATH: "ring_probe.exe"})
        self.confirm(dialog)
        self.wait_view({(0, 0): 1, (0, 2): 2, (5, 3): 3, (6, 6): 4}, what="the new item in cell (6, 6)")

        # Three files dropped at once: one item, from the first, in the first empty cell.
        app, dialog, controls = self.drop_files(editor, "app.exe", "new.ico", "w2.ico")
        fields = [controls[i]["text"] for i in (ID_NAME, ID_ICON, ID_PATH, ID_ARGS, ID_DIR)]
        self.assertEqual(fields + [controls[ID_SHOW]["selection"]], ["app", app, app, "", "", 0])
        self.confirm(dialog)
        # (The dropped item's icon is the program's own, whose middle may be white.)
        self.wait_view({(0, 0): 1, (0, 1): ANY, (0, 2): 2, (5, 3): 3, (6, 6): 4}, what="the dropped item")
        self.assertTrue(self.pivotel.running)

        # "編集" on the window command: only name and icon can be changed; a 64-character name.
        self.context_command(cell_centre(0, 0), 0, 2)
        dialog = self.wait_dialog()
        controls = self.controls(dialog)
        self.assertEqual(controls[ID_NAME]["text"], "パスをコピー")
        self.assertEqual(controls[ID_ICON]["text"], "i1.ico")
        self.assertEqual([controls[i]["enabled"] for i in (ID_NAME, ID_ICON, ID_BROWSE_ICON)], [True] * 3)
        self.assertEqual([controls[i]["enabled"] for i in (ID_PATH, ID_BROWSE_PATH, ID_ARGS, ID_DIR,
                                                            ID_BROWSE_DIR, ID_SHOW)], [False] * 6)
        EM_GETLIMITTEXT = 0x00D5
        limit = self.session.driver("send-message", controls[ID_NAME]["hwnd"], EM_GETLIMITTEXT).records[0]
        self.assertEqual(limit["result"], 64, "the name field takes 64 characters")
        name = "".join(chr(ord("A") + i % 26) for i in range(64))
        self.fill(dialog, {ID_NAME: name, ID_ICON: "w2.ico"})
        self.confirm(dialog)
        self.wait_view({(0, 0): 9, (0, 1): ANY, (0, 2): 2, (5, 3): 3, (6, 6): 4}, [9, 0, 0, 0, 0, 0, 0, 0],
                       "W's new icon")

        saved = self.close_editor({0: 1, 1: 5, 2: 2, 5 * 8 + 3: 3, 6 * 8 + 6: 4}, {0: [1, 0, 0, 0, 0, 0, 0, 0]},
                                  [1, 2, 3, 4, 5])

        def launch(item):
            return tuple(item[key] for key in ("TEXT", "ICON", "TYPE", "SCPATH", "SCARG", "SCDIR", "SCSHOW"))
        self.assertEqual(launch(saved.item(3)),
                         ("新しい項目", "new.ico", "2", "ring_probe.exe", "launch-new.txt", "", "5"))
        self.assertEqual(launch(saved.item(4)), ("四番", "new4.ico", "2", "ring_probe.exe", "", "", "5"))
        self.assertEqual(launch(saved.item(5)), ("app", app, "2", app, "", "", "5"))
        command = saved.item(1)
        self.assertEqual(command, {"ID": "1", "ICON": "w2.ico", "TEXT": name[:63], "TYPE": "1", "EVENT": "6"})

    def test_a_drop_on_a_full_palette_keeps_the_dialog_open_and_changes_nothing(self):
        items = [command_item(n, 1 + n % 9, "項目%d" % n) for n in range(1, 241)]
        for item in items:
            item["icon"] = "i1.ico"
        # app.exe is a copy of pivotel.exe, whose icon loads: only the full palette can refuse it.
        self.start(items, palette={c: c + 1 for c in range(240)},
                   extra_files={"app.exe": self.session.pivotel_exe})
        editor = self.open_editor()
        app, dialog, controls = self.drop_files(editor, "app.exe", "i1.ico", "setting.ini")
        self.assertEqual((controls[ID_NAME]["text"], controls[ID_ICON]["text"], controls[ID_PATH]["text"]),
                         ("app", app, app), "the fields come from the first file")
        self.assertEqual(controls[ID_SHOW]["selection"], 0)
        self.press(dialog, IDOK)
        self.assertEqual(len(self.session.find_windows(DIALOG_CLASS, EDIT_TITLE, visible=True)), 1,
                         "OK with no free cell leaves the dialog open")
        self.press(dialog, IDCANCEL)
        self.session.wait_no_window(DIALOG_CLASS, EDIT_TITLE, timeout=5)
        saved = self.close_editor(ids=list(range(1, 241)))
        self.assertEqual(saved.palette, list(range(1, 241)))


class Scrolling(PaletteTestCase):

    def test_wheel_arrows_and_thumb(self):
        # Column 0 of grid row n holds item n + 1; row 29's item is never on the screen.
        items = [command_item(n + 1, 1) for n in range(30)]
        self.start(items, palette={row * 8: row + 1 for row in range(30)})
        self.open_editor()

        def shows(first_row, what):
            self.wait_view({(r, 0): first_row + r + 1 for r in range(7)},
                           what="%s: rows %d.." % (what, first_row))

        shows(0, "at the top")
        self.rest()
        self.input("wheel:-120")
        shows(1, "one notch down")
        self.input("wheel:-360")
        shows(2, "a three-notch turn is one message, one row")
        self.input(*["wheel:-120"] * 24)
        shows(22, "stopped at the last row")
        self.input("wheel:120")
        shows(21, "one notch up")
        self.input(*["wheel:120"] * 24)
        shows(0, "stopped at the first row")

        # Arrows scroll when released over themselves, not when the cursor left them.
        self.input(self.move((SCROLL_X, DOWN_ARROW_Y)), "down:left", HOLD, self.move(NEUTRAL), "up:left",
                   HOLD)
        shows(0, "down arrow released off it")
        self.input(self.move((SCROLL_X, DOWN_ARROW_Y)), *CLICK, self.move(NEUTRAL))
        shows(1, "down arrow clicked")
        self.input(self.move((SCROLL_X, UP_ARROW_Y)), "down:left", HOLD, self.move((SCROLL_X, 200)),
                   "up:left", HOLD, self.move(NEUTRAL))
        shows(1, "up arrow released off it")
        self.input(self.move((SCROLL_X, UP_ARROW_Y)), *CLICK, *CLICK, self.move(NEUTRAL))
        shows(0, "up arrow clicked twice, stopped at the first row")
        self.input(*["wheel:-120"] * 22)
        shows(22, "wheel to the end")
        self.input(self.move((SCROLL_X, DOWN_ARROW_Y)), *CLICK, self.move(NEUTRAL))
        shows(22, "the down arrow stops at the last row")

        # The thumb follows the cursor while held, also outside the window.
        self.input(*["wheel:120"] * 22)
        shows(0, "wheel back to the top")
        thumb = self.capture_thumb(0)
        self.input(self.move((SCROLL_X, thumb_top(0) + 6)), "down:left", HOLD)
        try:
            self.input(self.move((SCROLL_X, 150)))
            row = (150 - 20) * 23 // 251
            shows(row, "thumb dragged to y 150")
            self.assertEqual(self.capture_thumb(row), thumb, "the thumb drawn at its row's place")
            self.assertNotEqual(self.capture_thumb(0), thumb, "and no longer at the top")
            below = self.screen((SCROLL_X, 0))[0], harness.SCREEN_HEIGHT - 5
            self.input("move:%d,%d" % below)
            shows(22, "thumb dragged below the window")
            self.assertEqual(self.capture_thumb(22), thumb)
            self.input("move:%d,%d" % (below[0], 2))
            shows(0, "thumb dragged above the window")
            self.input(self.move((SCROLL_X, 140)))
        finally:
            self.input("up:left", HOLD)
        self.input(self.move(NEUTRAL))
        shows((140 - 20) * 23 // 251, "thumb released")
        saved = self.close_editor()
        self.assertEqual(saved.palette[29 * 8], 30, "row 29 keeps its item")

    def capture_thumb(self, row):
        """The thumb's 16 x 12 picture pixels at its row's place, each read at its centre. On a
        scaled display only the part that is alike from row to row (its middle rows, without the
        dotted right column): the smoothing filter shades edges by where they fall between screen
        pixels, and the thumb moves by fractions of a screen pixel."""
        scaled = self.editor["dpi"] != 96
        rows, columns = (range(2, 9), range(15)) if scaled else (range(12), range(16))
        return self.pixels(*[(593 + i, thumb_top(row) + j) for j in rows for i in columns])


class RingWhileEditing(PaletteTestCase):

    def test_deleting_the_item_under_an_open_ring_runs_nothing_and_keeps_pivotel_alive(self):
        doomed, control = launch_item(1), launch_item(2)
        pivotel = self.start([doomed, control], pages={0: {0: 1, 2: 2}}, palette={0: 1, 1: 2})
        editor = self.open_editor()
        left, top, right, bottom = editor["rect"]
        press = (min(right + 200, harness.SCREEN_WIDTH - 140), min(max(bottom, 300) + 150, harness.SCREEN_HEIGHT - 140))
        slot0 = slot_point(0, centre=press, distance=90)

        # The ring opens and shows the doomed item in slot 0 while the trigger stays held.
        try:
            ringsetup.open_ring(self.session, press)
            harness.wait_for(lambda: self.session.pixel(*slot0) == hexrgb(colour(1)), 5,
                             "the doomed item in the ring")
            # Over to the editor: its cell's context menu deletes the item.
            self.context_command(cell_centre(0, 0), 1, 2)
            self.rest()
            self.wait_view({(0, 1): 2}, [0, 0, 2, 0, 0, 0, 0, 0], "the item deleted in the editor")
            self.assertTrue(self.session.find_windows(RING_CLASS, RING_CLASS, visible=True),
                            "the ring is still open")
            self.session.send_input("move:%d,%d" % slot_point(0, centre=press))
        finally:
            self.session.send_input("up:x1")
        self.session.wait_no_window(RING_CLASS, visible=True)
        self.assertTrue(pivotel.running)
        self.assertEqual(self.session.message_boxes("-"), [])
        # The ring still works: the control item runs from slot 2; the deleted one never ran.
        self.session.send_input("move:%d,%d" % press, "down:x1", "sleep:100",
                                "move:%d,%d" % slot_point(2, centre=press), "sleep:100", "up:x1")
        ringsetup.wait_probe_starts(pivotel.folder, "launch-2.txt", 1)
        self.assertEqual(ringsetup.probe_starts(pivotel.folder, "launch-1.txt"), [])
        self.assertEqual(self.session.hook_probe(self.main["hwnd"]), "hooked")
        self.close_editor(pages={0: [0, 0, 2, 0, 0, 0, 0, 0]}, ids=[2])


class HeldSettingsFile(PaletteTestCase):
    """setting.ini held open by another program (a scanner, a sync client) while Pivotel starts:
    for a moment, or until the test lets go of it. Either way every item is back once it can be
    read, and nothing is written over the file before."""

    def start_held(self, *hold_options):
        def hold(folder):
            path = harness.windows_path(os.path.join(folder, "setting.ini"))
            self.holder = self.session.driver_background("hold-file", path, *hold_options)
            self.holder.wait_record(lambda r: r.get("event") == "ready", 15, "the file held")
            self.addCleanup(self.holder.stop)
        self.start([launch_item(1), command_item(2, 1)], pages={0: {0: 1, 1: 2}}, palette={0: 1, 1: 2},
                   before_start=hold, TRIGGER=2)

    def reopen_and_close(self):
        # The editor's thread of a refusal may still be ending: the command is given until it opens.
        harness.wait_for(lambda: self.session.driver("post-message", self.main["hwnd"], WM_COMMAND, CMD_PALETTE)
                         and self.session.find_windows(PALETTE_CLASS, PALETTE_CLASS, visible=True), 15, "the editor")
        self.open_editor()
        self.close_editor(cells={0: 1, 1: 2}, pages={0: [1, 2, 0, 0, 0, 0, 0, 0]}, ids=[1, 2])

    def test_a_file_held_for_a_moment_at_start_is_read_once_let_go(self):
        self.start_held("--timeout", 1500)
        self.reopen_and_close()

    def test_a_file_held_past_start_is_never_saved_over_and_is_read_once_let_go(self):
        self.start_held()
        path = pathlib.Path(self.pivotel.folder, "setting.ini")
        before = path.read_bytes()
        self.session.driver("post-message", self.main["hwnd"], WM_COMMAND, CMD_PALETTE)
        box = self.session.driver("wait-msgbox", PALETTE_CLASS, "--timeout", 15000, timeout=30).windows[0]
        self.session.driver("close-window", box["hwnd"])
        self.assertEqual(self.session.find_windows(PALETTE_CLASS, PALETTE_CLASS), [], "the editor refused")
        self.holder.stop()
        self.assertEqual(path.read_bytes(), before)
        # Once read, the file's trigger, the middle button, opens the ring; side button 1 no longer does.
        harness.wait_for(lambda: self.ring_opens_with("middle"), 15, "the ring on the middle button")
        self.assertFalse(self.ring_opens_with("x1"), "side button 1 is no trigger")
        self.reopen_and_close()

    def ring_opens_with(self, button):
        """Presses the button on the desktop; true when the ring shows while it is held."""
        try:
            return bool(ringsetup.open_ring(self.session, (400, 300), button, timeout=2))
        except harness.HarnessError:
            return False
        finally:
            ringsetup.close_ring(self.session, button=button)

if __name__ == "__main__":
    sys.exit(harness.main())
