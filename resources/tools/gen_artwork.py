#!/usr/bin/env python3
"""Writes the program's artwork as SVG files and the Qt resource file.

    python3 resources/tools/gen_artwork.py

Everything is drawn here from simple flat shapes; the output is
deterministic, so running the script again gives byte-identical files.

Outputs (relative to resources/):
  icons/00.svg .. icons/51.svg     the shared 16 x 16 image list, by index
  qelveva.svg                      program (desktop) icon
  splash.svg                       start-up picture, 400 x 240
  pictures/pc.svg, cnc.svg, to-cnc.svg, to-pc.svg   main window, 32 x 32
  animation/folder-0..8.svg        file animation folders, 40 x 40
  animation/sheet-00..16.svg       file animation sheet in flight, 20 x 20
  qelveva.qrc                      all of the above under the prefix /qelveva

Small images are drawn on a whole-pixel grid: fills on whole pixels, 1 px
outlines on half pixels, so that they stay sharp at 1x and 2x.
"""

import math
import os

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

# ---------------------------------------------------------------- palette
INK = "#2e3a46"            # dark outlines and glyphs
PAPER = "#ffffff"
PAPER_SHADE = "#e3e8ee"    # dog-ear, sheets further back
PAPER_LINE = "#6e7b88"     # sheet outline
TEXT_LINE = "#aab5c0"      # "text" lines on a sheet
FOLDER_BACK = "#e3a33a"
FOLDER_FRONT = "#f5c45a"
FOLDER_LIGHT = "#fbdc8f"
FOLDER_LINE = "#a8721c"
FOLDER_INSIDE = "#c98b2b"  # shadow inside an open folder
GREY_BACK = "#a9b3bd"      # neutral (spare) folder
GREY_FRONT = "#c9d1d9"
GREY_LINE = "#6e7b88"
METAL = "#cdd4db"
METAL_LIGHT = "#eef1f4"
METAL_MID = "#a9b4bf"
METAL_DARK = "#5f6b77"
SCREEN = "#3a4654"
NAVY = "#203a5a"
BLUE = "#2f6fc0"
BLUE_DARK = "#1f4f8f"
BLUE_LIGHT = "#cfe2f6"
GREEN = "#2e8b45"
GREEN_DARK = "#1f6331"
LED = "#3fcf5a"
RED = "#d0372d"
RED_DARK = "#8f2019"
ORANGE = "#e07a1f"
ORANGE_DARK = "#a9540c"
GOLD = "#e0b23a"
GOLD_DARK = "#a57d16"

# Band colours of the memory-type icons (each with a darker edge tone).
BAND = {
    "blue": ("#2f6fc0", "#1f4f8f"),
    "green": ("#2e8b45", "#1f6331"),
    "red": ("#c8372d", "#8f2019"),
    "orange": ("#d9661f", "#9c450c"),
    "purple": ("#7a4bb0", "#55307f"),
    "teal": ("#168a8a", "#0d6060"),
    "magenta": ("#b8327a", "#842055"),
    "brown": ("#8a5a2b", "#5f3c1a"),
    "olive": ("#6f7f1e", "#4c5813"),
    "slate": ("#55626f", "#38424c"),
    "navy": ("#24407a", "#152a55"),
}

# Memory-type icons 3..35: two-letter code on a coloured band.
# Index 5 is the built-in "Macros" type, index 6 "Part Programs".
MEMORY_TYPES = [
    (3, "SP", "teal"),       # subprograms
    (4, "CY", "purple"),     # cycles
    (5, "MM", "green"),      # macros
    (6, "PM", "blue"),       # part programs
    (7, "TT", "orange"),     # tool table
    (8, "TO", "red"),        # tool offsets
    (9, "ZO", "magenta"),    # zero offsets
    (10, "MD", "slate"),     # machine data
    (11, "SD", "brown"),     # setting data
    (12, "PL", "olive"),     # logic program
    (13, "PA", "navy"),      # parameters
    (14, "CP", "teal"),      # compensation
    (15, "VA", "orange"),    # variables
    (16, "AL", "red"),       # alarms
    (17, "TX", "slate"),     # texts
    (18, "LG", "brown"),     # logs
    (19, "WP", "blue"),      # workpieces
    (20, "FX", "green"),     # fixtures
    (21, "DR", "purple"),    # drill patterns
    (22, "CT", "magenta"),   # contours
    (23, "PR", "olive"),     # probing
    (24, "SN", "navy"),      # spindle data
    (25, "AX", "red"),       # axis data
    (26, "BK", "teal"),      # backup
    (27, "AR", "brown"),     # archive
    (28, "MR", "orange"),    # measurement results
    (29, "TC", "blue"),      # technology tables
    (30, "PT", "purple"),    # pallet table
    (31, "MG", "green"),     # magazine
    (32, "JB", "slate"),     # jobs
    (33, "NT", "magenta"),   # notes
    (34, "GR", "navy"),      # graphics
    (35, "US", "olive"),     # user data
]

# 3 x 5 pixel letters for the bands.
FONT = {
    "A": ("010", "101", "111", "101", "101"),
    "B": ("110", "101", "110", "101", "110"),
    "C": ("011", "100", "100", "100", "011"),
    "D": ("110", "101", "101", "101", "110"),
    "E": ("111", "100", "110", "100", "111"),
    "F": ("111", "100", "110", "100", "100"),
    "G": ("011", "100", "101", "101", "011"),
    "H": ("101", "101", "111", "101", "101"),
    "I": ("111", "010", "010", "010", "111"),
    "J": ("001", "001", "001", "101", "010"),
    "K": ("101", "101", "110", "101", "101"),
    "L": ("100", "100", "100", "100", "111"),
    "M": ("101", "111", "111", "101", "101"),
    "N": ("110", "101", "101", "101", "101"),
    "O": ("010", "101", "101", "101", "010"),
    "P": ("110", "101", "110", "100", "100"),
    "Q": ("010", "101", "101", "110", "011"),
    "R": ("110", "101", "110", "101", "101"),
    "S": ("011", "100", "010", "001", "110"),
    "T": ("111", "010", "010", "010", "010"),
    "U": ("101", "101", "101", "101", "111"),
    "V": ("101", "101", "101", "101", "010"),
    "W": ("101", "101", "111", "111", "101"),
    "X": ("101", "101", "010", "101", "101"),
    "Y": ("101", "101", "010", "010", "010"),
    "Z": ("111", "001", "010", "100", "111"),
}


# ---------------------------------------------------------------- SVG helpers
def num(v):
    """Shortest stable text for a coordinate."""
    if isinstance(v, int):
        return str(v)
    r = round(v, 2)
    if r == int(r):
        return str(int(r))
    return ("%.2f" % r).rstrip("0")


def el(tag, **attrs):
    parts = []
    for k, v in attrs.items():
        if v is None:
            continue
        name = k.rstrip("_").replace("_", "-")
        parts.append('%s="%s"' % (name, num(v) if isinstance(v, (int, float)) else v))
    return "<%s %s/>" % (tag, " ".join(parts))


def rect(x, y, w, h, fill, stroke=None, rx=None, sw=None, **extra):
    return el("rect", x=x, y=y, width=w, height=h, rx=rx, fill=fill,
              stroke=stroke, stroke_width=sw, **extra)


def path(d, fill="none", stroke=None, sw=None, join=None, cap=None, **extra):
    return el("path", d=d, fill=fill, stroke=stroke, stroke_width=sw,
              stroke_linejoin=join, stroke_linecap=cap, **extra)


def circle(cx, cy, r, fill, stroke=None, sw=None, **extra):
    return el("circle", cx=cx, cy=cy, r=r, fill=fill, stroke=stroke, stroke_width=sw, **extra)


def group(items, transform=None, **extra):
    head = el("g", transform=transform, **extra)[:-2] + ">"
    return head + "\n" + "\n".join(items) + "\n</g>"


def document(w, h, items, title):
    body = "\n".join(items)
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">\n'
            "<title>%s</title>\n%s\n</svg>\n" % (w, h, w, h, title, body))


def pixels(cells, fill):
    """One path that fills whole-pixel cells [(x, y), ...]."""
    d = "".join("M%d %dh1v1h-1z" % (x, y) for x, y in cells)
    return path(d, fill=fill)


def text_cells(code, x0, y0):
    cells = []
    for n, ch in enumerate(code):
        for row, bits in enumerate(FONT[ch]):
            for col, bit in enumerate(bits):
                if bit == "1":
                    cells.append((x0 + 4 * n + col, y0 + row))
    return cells


WRITTEN = []


def write(rel, content):
    full = os.path.join(ROOT, rel)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "w", encoding="utf-8", newline="\n") as f:
        f.write(content)
    WRITTEN.append(rel)


# ---------------------------------------------------------------- shared shapes
def sheet(ox, oy, w, h, ear=3, fill=PAPER, line=PAPER_LINE, shade=PAPER_SHADE, dash=None):
    """A sheet with a folded corner; (ox, oy) is the top-left outline corner."""
    r = ox + w
    b = oy + h
    outline = "M%s %sH%sL%s %sV%sH%sZ" % (num(ox), num(oy), num(r - ear), num(r), num(oy + ear),
                                          num(b), num(ox))
    ear_d = "M%s %sV%sH%sZ" % (num(r - ear), num(oy), num(oy + ear), num(r))
    return [path(outline, fill=fill, stroke=line, sw=1, join="round", stroke_dasharray=dash),
            path(ear_d, fill=shade, stroke=line, sw=1, join="round")]


def folder16_closed(back=FOLDER_BACK, front=FOLDER_FRONT, light=FOLDER_LIGHT, line=FOLDER_LINE):
    return [
        path("M1.5 13.5V2.5H6.5L7.5 3.5H14.5V13.5Z", fill=back, stroke=line, sw=1, join="round"),
        rect(2, 5, 12, 8, front),
        rect(2, 5, 12, 1, light),
        path("M1.5 4.5H14.5", stroke=line, sw=1),
    ]


def folder16_open(back=FOLDER_BACK, front=FOLDER_FRONT, line=FOLDER_LINE, paper=True):
    items = [path("M1.5 13.5V2.5H6.5L7.5 3.5H13.5V7.5", fill=back, stroke=line, sw=1, join="round")]
    if paper:
        items.append(rect(3.5, 4.5, 8, 4, PAPER, stroke=PAPER_LINE, sw=1))
    items.append(path("M1.5 13.5L4.5 7.5H15.5L12.5 13.5Z", fill=front, stroke=line, sw=1, join="round"))
    return items


def drive_box(y, h=7):
    """The common drive body: a flat box with a lit front strip."""
    return [
        rect(1.5, y + 0.5, 13, h - 1, METAL, stroke=METAL_DARK, sw=1, rx=1),
        rect(2, y + 1, 12, 1, METAL_LIGHT),
        rect(2, y + h - 3, 12, 2, METAL_MID),
        rect(11, y + h - 3, 2, 1, LED),
    ]


# ---------------------------------------------------------------- 16 x 16 icons
def icon_plain_sheet():
    items = sheet(3.5, 1.5, 10, 13)
    items += [rect(5, 4, 4, 1, TEXT_LINE), rect(5, 6, 7, 1, TEXT_LINE), rect(5, 8, 6, 1, TEXT_LINE),
              rect(5, 10, 7, 1, TEXT_LINE), rect(5, 12, 5, 1, TEXT_LINE)]
    return items


def icon_memory_type(code, colour):
    fill, edge = BAND[colour]
    items = sheet(3.5, 1.5, 10, 13)
    items += [rect(5, 4, 4, 1, TEXT_LINE), rect(5, 6, 6, 1, TEXT_LINE)]
    items.append(rect(3, 8, 11, 7, fill))
    items.append(rect(3, 14, 11, 1, edge))
    items.append(pixels(text_cells(code, 5, 9), PAPER))
    return items


def icon_band_blank():
    items = sheet(3.5, 1.5, 10, 13)
    items += [rect(5, 4, 4, 1, TEXT_LINE), rect(5, 6, 6, 1, TEXT_LINE)]
    items.append(rect(3, 8, 11, 7, GREY_FRONT))
    items.append(rect(3, 14, 11, 1, GREY_BACK))
    items.append(rect(5, 11, 7, 1, GREY_BACK))
    return items


def icon_stack():
    items = sheet(5.5, 0.5, 9, 11, shade=PAPER_SHADE, fill=PAPER_SHADE)
    items += sheet(2.5, 3.5, 9, 11)
    items += [rect(4, 6, 4, 1, TEXT_LINE), rect(4, 8, 6, 1, TEXT_LINE), rect(4, 10, 5, 1, TEXT_LINE),
              rect(4, 12, 6, 1, TEXT_LINE)]
    return items


def icon_drag_several():
    items = sheet(4.5, 0.5, 9, 10, fill=PAPER_SHADE)
    items += sheet(1.5, 2.5, 9, 11)
    items += [rect(3, 5, 4, 1, TEXT_LINE), rect(3, 7, 5, 1, TEXT_LINE), rect(3, 9, 4, 1, TEXT_LINE)]
    items.append(rect(8.5, 8.5, 7, 7, BLUE, stroke=BLUE_DARK, sw=1, rx=1.5))
    items.append(rect(11, 10, 2, 4, PAPER))
    items.append(rect(10, 11, 4, 2, PAPER))
    return items


def icon_up_level():
    items = folder16_closed()
    items.append(path("M8 5.5L11.5 9H9.5V12.5H6.5V9H4.5Z", fill=GREEN, stroke=GREEN_DARK, sw=1,
                      join="round"))
    return items


def icon_removable():
    # the eject mark over a drive
    mark = [(x, 2) for x in (7, 8)] + [(x, 3) for x in range(6, 10)] + \
           [(x, 4) for x in range(5, 11)] + [(x, 5) for x in range(4, 12)] + [(x, 7) for x in range(4, 12)]
    items = [pixels(mark, BLUE)]
    items += drive_box(9, 6)
    items.append(rect(3, 11, 6, 1, METAL_DARK))
    return items


def icon_fixed():
    items = drive_box(4, 8)
    items.append(rect(3, 9, 6, 1, METAL_DARK))
    return items


def icon_cdrom():
    items = [
        circle(8, 6.5, 5.5, METAL_LIGHT, stroke=METAL_DARK, sw=1),
        path("M8 2.5A4 4 0 0 1 12 6.5H10A2 2 0 0 0 8 4.5Z", fill=BLUE_LIGHT),
        path("M8 10.5A4 4 0 0 1 4 6.5H6A2 2 0 0 0 8 8.5Z", fill="#f3d9e6"),
        circle(8, 6.5, 1.5, PAPER, stroke=METAL_DARK, sw=1),
    ]
    items += drive_box(9, 6)
    items.append(rect(3, 11, 6, 1, METAL_DARK))
    return items


def icon_network():
    items = drive_box(1, 7)
    items += [
        rect(7, 8, 2, 3, METAL_DARK),
        rect(1, 12, 14, 1, METAL_DARK),
        rect(5.5, 10.5, 5, 4, BLUE, stroke=BLUE_DARK, sw=1),
    ]
    return items


def icon_ramdisk():
    items = [rect(0.5, 3.5, 15, 8, GREEN, stroke=GREEN_DARK, sw=1)]
    items += [rect(2, 5, 3, 4, SCREEN), rect(6.5, 5, 3, 4, SCREEN), rect(11, 5, 3, 4, SCREEN)]
    items += [rect(x, 12, 1, 2, GOLD) for x in (2, 4, 6, 9, 11, 13)]
    items.append(rect(2, 14, 12, 1, GOLD_DARK))
    return items


def icon_file_manager():
    items = folder16_closed()
    items += [
        path("M12 12L14.5 14.5", stroke=INK, sw=2.5, cap="round"),
        circle(9.5, 9.5, 3, BLUE_LIGHT, stroke=INK, sw=1.5),
    ]
    return items


def icon_stop():
    items = [
        path("M5 0.5H11L15.5 5V11L11 15.5H5L0.5 11V5Z", fill=RED, stroke=RED_DARK, sw=1, join="round"),
        rect(4, 7, 8, 2, PAPER),
    ]
    return items


def icon_dashed_sheet():
    return sheet(3.5, 1.5, 10, 13, fill="none", shade="none", dash="2 1")


def icon_blank_drive():
    return [rect(1.5, 4.5, 13, 7, METAL_LIGHT, stroke=METAL_MID, sw=1, rx=1),
            rect(2, 9, 12, 2, METAL)]


def build_icons():
    icons = {
        0: folder16_closed(),
        1: folder16_open(),
        2: icon_plain_sheet(),
        36: icon_up_level(),
        37: icon_stack(),
        38: icon_drag_several(),
        39: icon_band_blank(),
        40: icon_dashed_sheet(),
        41: icon_removable(),
        42: icon_fixed(),
        43: icon_cdrom(),
        44: icon_network(),
        45: icon_ramdisk(),
        46: folder16_closed(GREY_BACK, GREY_FRONT, METAL_LIGHT, GREY_LINE),
        47: folder16_open(GREY_BACK, GREY_FRONT, GREY_LINE, paper=False),
        48: sheet(3.5, 1.5, 10, 13, fill=PAPER_SHADE),
        49: icon_blank_drive(),
        50: icon_file_manager(),
        51: icon_stop(),
    }
    for index, code, colour in MEMORY_TYPES:
        icons[index] = icon_memory_type(code, colour)
    assert sorted(icons) == list(range(52)), sorted(set(range(52)) - set(icons))
    titles = {0: "closed folder", 1: "open folder", 2: "file", 36: "up one level", 37: "sheets",
              38: "several items", 39: "file of another type", 40: "placeholder", 41: "removable drive",
              42: "fixed drive", 43: "optical drive", 44: "network drive", 45: "RAM disk",
              46: "neutral folder", 47: "neutral open folder", 48: "neutral sheet", 49: "neutral drive",
              50: "file manager", 51: "stop"}
    for index, code, colour in MEMORY_TYPES:
        titles[index] = "memory type %s" % code
    for i in range(52):
        write("icons/%02d.svg" % i, document(16, 16, icons[i], titles[i]))


# ---------------------------------------------------------------- main-window pictures (32 x 32)
def picture_pc():
    items = [
        rect(3.5, 4.5, 25, 17, SCREEN, stroke=INK, sw=1, rx=1.5),
        rect(5, 6, 22, 14, BLUE),
        rect(7, 8, 2, 2, PAPER), rect(10, 8, 9, 2, BLUE_LIGHT),
        rect(7, 12, 2, 2, PAPER), rect(10, 12, 12, 2, BLUE_LIGHT),
        rect(7, 16, 2, 2, PAPER), rect(10, 16, 7, 2, BLUE_LIGHT),
        rect(13, 22, 6, 3, METAL_DARK),
        rect(8.5, 25.5, 15, 2, METAL, stroke=METAL_DARK, sw=1, rx=1),
    ]
    return items


def picture_cnc():
    items = [
        rect(2.5, 3.5, 27, 24, METAL_LIGHT, stroke=METAL_DARK, sw=1, rx=1.5),
        rect(3, 4, 26, 3, ORANGE),
        rect(4.5, 8.5, 15, 16, BLUE_LIGHT, stroke=METAL_DARK, sw=1),
        rect(9, 9, 6, 5, METAL_DARK),
        rect(10, 14, 4, 2, METAL_MID),
        rect(11, 16, 2, 4, GOLD),
        rect(7, 21, 10, 3, METAL_DARK),
        rect(21.5, 8.5, 6, 16, SCREEN, stroke=INK, sw=1),
        rect(23, 10, 3, 3, LED),
        rect(23, 15, 1, 1, METAL_LIGHT), rect(25, 15, 1, 1, METAL_LIGHT),
        rect(23, 17, 1, 1, METAL_LIGHT), rect(25, 17, 1, 1, METAL_LIGHT),
        rect(23, 19, 1, 1, METAL_LIGHT), rect(25, 19, 1, 1, RED),
        rect(1.5, 27.5, 29, 2, METAL_MID, stroke=METAL_DARK, sw=1),
    ]
    return items


ARROW_RIGHT = "M3.5 12.5H16.5V6.5L27.5 16L16.5 25.5V19.5H3.5Z"


def picture_arrow(fill, edge, to_left):
    shape = path(ARROW_RIGHT, fill=fill, stroke=edge, sw=1, join="round")
    light = rect(4, 13, 12, 2, "#ffffff", fill_opacity="0.35")
    items = [shape, light]
    if to_left:
        return [group(items, transform="matrix(-1 0 0 1 32 0)")]
    return items


def build_pictures():
    write("pictures/pc.svg", document(32, 32, picture_pc(), "PC"))
    write("pictures/cnc.svg", document(32, 32, picture_cnc(), "CNC"))
    write("pictures/to-cnc.svg", document(32, 32, picture_arrow(ORANGE, ORANGE_DARK, False), "to the CNC"))
    write("pictures/to-pc.svg", document(32, 32, picture_arrow(BLUE, BLUE_DARK, True), "to the PC"))


# ---------------------------------------------------------------- file animation
# Sheet positions in the 260 x 40 strip by picture index (top-left of the 20 x 20 cell).
FLIGHT = [(30, 16), (44, 16), (58, 14), (76, 11), (84, 8), (98, 6), (113, 5), (118, 5), (126, 4),
          (136, 4), (146, 3), (156, 1), (168, 3), (179, 6), (191, 8), (204, 10), (211, 12)]


def sheet40(ox, oy, w=14, h=18, lines=True):
    items = sheet(ox, oy, w, h, ear=4)
    if lines:
        x = ox + 2.5
        for n, lw in enumerate((5, 8, 7, 8)):
            items.append(rect(x, oy + 3.5 + 3 * n, lw, 1.5, TEXT_LINE))
    return items


def folder40(openness, contents=(), arriving=None):
    """A folder in a 40 x 40 cell, its mouth toward the right.

    openness: 0 closed, 1 fully open; contents: tops (y) of sheets standing
    inside; arriving: (x, y, angle) of a sheet being put in or taken out.
    """
    t = openness
    items = [path("M3.5 35.5V6.5H13.5L16.5 9.5H34.5V35.5Z", fill=FOLDER_BACK, stroke=FOLDER_LINE,
                  sw=1, join="round")]
    if t > 0:
        items.append(rect(4, 12, 30, 10, FOLDER_INSIDE))
    for n, top in enumerate(contents):
        items += sheet40(8.5 + 4 * n, top, 20, 33 - top, lines=False)
    if arriving is not None:
        ax, ay, angle = arriving
        items.append(group(sheet40(ax, ay), transform="rotate(%s %s %s)" % (num(angle), num(ax + 7),
                                                                         num(ay + 9))))
    if t == 0:
        items += [rect(4, 13, 30, 22, FOLDER_FRONT), rect(4, 13, 30, 1, FOLDER_LIGHT),
                  path("M3.5 12.5H34.5", stroke=FOLDER_LINE, sw=1)]
        # closed: the back's right edge is the folder's edge, outline again on top
        items.append(path("M3.5 35.5V12.5M34.5 12.5V35.5H3.5", stroke=FOLDER_LINE, sw=1, join="round"))
    else:
        top_y = 12.5 + 8 * t
        tl = 3.5 + 5 * t
        tr = 34.5 + 3 * t
        br = 34.5 - 2 * t
        items.append(path("M3.5 35.5L%s %sH%sL%s 35.5Z" % (num(tl), num(top_y), num(tr), num(br)),
                          fill=FOLDER_FRONT, stroke=FOLDER_LINE, sw=1, join="round"))
        items.append(path("M%s %sH%s" % (num(tl + 1), num(top_y + 1.5), num(tr - 1.5)),
                          stroke=FOLDER_LIGHT, sw=1))
    return items


def mirrored(items):
    return [group(items, transform="matrix(-1 0 0 1 40 0)")]


def build_animation():
    frames = {
        # destination (mouth toward the left, where the sheet comes from)
        0: mirrored(folder40(0)),
        1: mirrored(folder40(1)),
        2: mirrored(folder40(1, contents=(13.5, 15.5))),
        3: mirrored(folder40(1, contents=(13.5, 15.5), arriving=(14.5, 4.5, -12))),
        4: mirrored(folder40(1, arriving=(14.5, 6.5, -12))),
        # source (mouth toward the right, where the sheet leaves)
        5: folder40(0),
        6: folder40(0.45, contents=(11.5,)),
        7: folder40(1, contents=(9.5,)),
        8: folder40(1, contents=(9.5,), arriving=(19.5, 2.5, 14)),
    }
    names = ["destination, closed", "destination, open", "destination, filled",
             "destination, filling", "destination, first sheet", "source, closed",
             "source, opening", "source, open", "source, sheet lifting"]
    for i in range(9):
        write("animation/folder-%d.svg" % i, document(40, 40, frames[i], "folder: " + names[i]))

    # Sheet in flight: tilted along its path, nose up while rising, down while falling.
    for i, (x, y) in enumerate(FLIGHT):
        prev = FLIGHT[max(i - 1, 0)]
        nxt = FLIGHT[min(i + 1, len(FLIGHT) - 1)]
        dx, dy = nxt[0] - prev[0], nxt[1] - prev[1]
        angle = max(-25.0, min(25.0, math.degrees(math.atan2(dy, dx)) * 0.9))
        angle = round(angle)
        # the sheet leaves at the top of its first cells (out of the source's mouth)
        # and arrives low in its last ones (into the destination's mouth)
        f = i / (len(FLIGHT) - 1)
        cx = 6 + 6.5 * f
        cy = 7.5 + 4 * f
        w, h = 11, 14
        ox, oy = math.floor(cx - w / 2) + 0.5, math.floor(cy - h / 2) + 0.5  # on half pixels
        cx, cy = ox + w / 2, oy + h / 2
        items = sheet(ox, oy, w, h, ear=3)
        for n, lw in enumerate((4, 6, 5, 6)):
            items.append(rect(ox + 2, oy + 3 + 2.5 * n, lw, 1, TEXT_LINE))
        body = [group(items, transform="rotate(%d %s %s)" % (angle, num(cx), num(cy)))]
        write("animation/sheet-%02d.svg" % i, document(20, 20, body, "sheet in flight %d" % i))


# ---------------------------------------------------------------- program icon
def program_icon():
    items = [
        rect(2, 2, 60, 60, NAVY, rx=12),
        # the part program
        path("M8 8H21L27 14V36H8Z", fill=PAPER, stroke=PAPER_LINE, sw=2, join="round"),
        path("M21 8V14H27", fill=PAPER_SHADE, stroke=PAPER_LINE, sw=2, join="round"),
        rect(11, 17, 4, 3, BLUE), rect(16, 17, 8, 3, TEXT_LINE),
        rect(11, 23, 4, 3, BLUE), rect(16, 23, 6, 3, TEXT_LINE),
        rect(11, 29, 4, 3, BLUE), rect(16, 29, 8, 3, TEXT_LINE),
        # the spindle head, tool and workpiece
        rect(36, 7, 20, 17, METAL, stroke=METAL_LIGHT, sw=2, rx=2),
        rect(38, 11, 16, 3, METAL_MID),
        rect(41, 24, 10, 6, METAL_MID),
        rect(44, 30, 4, 12, GOLD),
        path("M44 33L48 31M44 37L48 35M44 41L48 39", stroke=GOLD_DARK, sw=1.5),
        rect(32, 44, 26, 9, METAL_MID),
        rect(32, 44, 26, 3, METAL_LIGHT),
        rect(40, 44, 12, 3, METAL_DARK),
        rect(28, 53, 32, 4, METAL_DARK),
        # transfer arrow
        path("M14 40C14 48 19 51 25 51", stroke=ORANGE, sw=4, cap="round"),
        path("M24 45L31 51L24 57Z", fill=ORANGE, stroke=ORANGE, sw=1.5, join="round"),
    ]
    return items


# ---------------------------------------------------------------- splash
def text(x, y, size, fill, content, weight=None):
    return el("text", x=x, y=y, fill=fill, font_family="sans-serif", font_size=size,
              font_weight=weight).replace("/>", ">%s</text>" % content)


def splash():
    column = "#34506f"
    items = [
        rect(0, 0, 400, 240, NAVY),
        rect(0, 214, 400, 26, "#1a3049"),
        rect(0, 213, 400, 1, "#2c4a70"),
        # machine: column with its guide, head with motor, spindle, tool, part, table
        rect(138, 30, 34, 158, column),
        rect(144, 30, 4, 158, "#3f5f82"),
        rect(162, 30, 4, 158, "#3f5f82"),
        rect(100, 30, 36, 22, METAL_MID, rx=3),
        rect(106, 36, 24, 3, METAL_DARK),
        rect(106, 42, 24, 3, METAL_DARK),
        rect(84, 52, 74, 44, METAL, stroke=METAL_LIGHT, sw=2, rx=4),
        rect(92, 62, 58, 6, METAL_MID),
        rect(92, 74, 34, 4, METAL_MID),
        rect(138, 82, 8, 6, LED),
        rect(104, 96, 32, 14, METAL_MID),
        rect(114, 110, 12, 36, GOLD),
        path("M114 118L126 112M114 126L126 120M114 134L126 128M114 142L126 136", stroke=GOLD_DARK, sw=2),
        rect(76, 156, 100, 24, METAL_MID),
        rect(76, 156, 100, 6, METAL_LIGHT),
        rect(104, 156, 44, 8, METAL_DARK),
        rect(62, 180, 128, 10, METAL_DARK),
        rect(52, 190, 148, 6, column),
        # the part program and its path to the machine
        path("M20 36H46L56 46V88H20Z", fill=PAPER, stroke=METAL_LIGHT, sw=2, join="round"),
        path("M46 36V46H56", fill=PAPER_SHADE, stroke=METAL_LIGHT, sw=2, join="round"),
        rect(26, 54, 7, 4, BLUE), rect(36, 54, 14, 4, TEXT_LINE),
        rect(26, 64, 7, 4, BLUE), rect(36, 64, 10, 4, TEXT_LINE),
        rect(26, 74, 7, 4, BLUE), rect(36, 74, 14, 4, TEXT_LINE),
        path("M38 100C38 146 52 168 62 168", stroke=ORANGE, sw=4, cap="round", stroke_dasharray="1 9"),
        path("M62 160L74 168L62 176Z", fill=ORANGE),
        # name
        text(214, 104, 32, PAPER, "QEL Veva", weight="bold"),
        rect(216, 118, 56, 4, ORANGE),
        text(216, 148, 15, "#a9c4e4", "NC program transfer"),
        text(216, 170, 15, "#a9c4e4", "between PC and CNC"),
    ]
    return items


# ---------------------------------------------------------------- resource file
def build_qrc():
    files = sorted(f for f in WRITTEN if f.endswith(".svg"))
    lines = ['<!DOCTYPE RCC>', '<RCC version="1.0">', '<qresource prefix="/qelveva">']
    lines += ["    <file>%s</file>" % f for f in files]
    lines += ["</qresource>", "</RCC>", ""]
    with open(os.path.join(ROOT, "qelveva.qrc"), "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(lines))


def main():
    build_icons()
    build_pictures()
    build_animation()
    write("qelveva.svg", document(64, 64, program_icon(), "QEL Veva"))
    write("splash.svg", document(400, 240, splash(), "QEL Veva"))
    build_qrc()
    print("wrote %d files and qelveva.qrc under %s" % (len(WRITTEN), ROOT))


if __name__ == "__main__":
    main()
