#!/usr/bin/env python3
"""Renders contact sheets of the artwork for a visual check (not part of the build).

    python3 resources/tools/preview.py [output folder, default /tmp/artwork]

Needs rsvg-convert (librsvg2-bin) and ImageMagick (convert, montage).
Small images are enlarged with nearest-neighbour scaling so that single
pixels can be judged.
"""

import os
import subprocess
import sys

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
OUT = sys.argv[1] if len(sys.argv) > 1 else "/tmp/artwork"
WORK = os.path.join(OUT, "work")
BACKGROUND = "#eff0f1"   # a typical light dialog colour

FLIGHT = [(30, 16), (44, 16), (58, 14), (76, 11), (84, 8), (98, 6), (113, 5), (118, 5), (126, 4),
          (136, 4), (146, 3), (156, 1), (168, 3), (179, 6), (191, 8), (204, 10), (211, 12)]


def run(*args):
    subprocess.run(args, check=True)


def render(svg, size, png, height=None):
    args = ["rsvg-convert", "-w", str(size), "-h", str(height or size), "-o", png, svg]
    run(*args)
    return png


def icons_sheet():
    tiles = []
    for i in range(52):
        svg = os.path.join(ROOT, "icons", "%02d.svg" % i)
        a = render(svg, 16, os.path.join(WORK, "i16_%02d.png" % i))
        b = render(svg, 32, os.path.join(WORK, "i32_%02d.png" % i))
        tile = os.path.join(WORK, "tile_%02d.png" % i)
        # 16 px shown 4x, 32 px shown 2x, side by side on the dialog colour
        run("convert", "-background", BACKGROUND,
            "(", a, "-filter", "point", "-resize", "400%", ")",
            "(", b, "-filter", "point", "-resize", "200%", ")",
            "(", a, ")", "(", b, ")",
            "-bordercolor", BACKGROUND, "-border", "3", "-gravity", "center", "+append", tile)
        tiles.append(tile)
    out = os.path.join(OUT, "icons.png")
    args = ["montage"]
    for i, t in enumerate(tiles):
        args += ["-label", "%02d" % i, t]
    args += ["-tile", "6x", "-geometry", "+6+6", "-background", BACKGROUND, out]
    run(*args)
    return out


def frame_parts(n):
    s = n % 20
    S = lambda k: ("folder-%d" % k, 0, 0)
    D = lambda k: ("folder-%d" % k, 220, 0)
    P = lambda k: ("sheet-%02d" % k, FLIGHT[k][0], FLIGHT[k][1])
    if n < 20:
        table = {0: [S(5), D(0)], 1: [S(6), D(0)], 2: [S(7), D(0)], 3: [S(8), D(0)],
                 4: [S(7), P(0), D(1)]}
        return table.get(s, [P(s - 4), S(7), D(1)])
    table = {0: [D(1 if n == 20 else 2), P(16), S(7)], 1: [D(4 if n == 21 else 3), S(7)],
             2: [D(2), S(7)], 3: [S(8), D(2)], 4: [S(7), P(0), D(2)]}
    return table.get(s, [P(s - 4), S(7), D(2)])


def strip_sheet(frames):
    rows = []
    for n in frames:
        args = ["convert", "-size", "260x40", "xc:" + BACKGROUND]
        for name, x, y in frame_parts(n):
            size = 40 if name.startswith("folder") else 20
            png = render(os.path.join(ROOT, "animation", name + ".svg"), size,
                         os.path.join(WORK, name + ".png"))
            args += [png, "-geometry", "+%d+%d" % (x, y), "-composite"]
        row = os.path.join(WORK, "frame_%02d.png" % n)
        run(*(args + ["-filter", "point", "-resize", "300%", row]))
        rows.append(row)
        labelled = os.path.join(WORK, "framel_%02d.png" % n)
        run("convert", row, "-background", "white", "-gravity", "west", "-splice", "60x0",
            "-pointsize", "20", "-annotate", "+8+0", "n=%d" % n, labelled)
        rows[-1] = labelled
    out = os.path.join(OUT, "animation.png")
    run(*(["convert"] + rows + ["-background", "white", "-splice", "0x6", "-append", out]))
    return out


def parts_sheet():
    tiles = []
    anim = os.path.join(ROOT, "animation")
    for i in range(9):
        tiles.append(render(os.path.join(anim, "folder-%d.svg" % i), 40, os.path.join(WORK, "f%d.png" % i)))
    for i in range(17):
        tiles.append(render(os.path.join(anim, "sheet-%02d.svg" % i), 20, os.path.join(WORK, "s%d.png" % i)))
    out = os.path.join(OUT, "animation-parts.png")
    args = ["montage"]
    for t in tiles:
        args += ["-label", os.path.basename(t)[:-4], t]
    args += ["-tile", "9x", "-geometry", "80x80+4+4", "-filter", "point", "-background", BACKGROUND, out]
    run(*args)
    return out


def big_sheet():
    tiles = []
    for size in (48, 64, 128, 256):
        tiles.append(render(os.path.join(ROOT, "qelveva.svg"), size, os.path.join(WORK, "app%d.png" % size)))
    app = os.path.join(OUT, "program-icon.png")
    run(*(["convert", "-background", BACKGROUND] + tiles + ["-bordercolor", BACKGROUND, "-border", "4",
                                                             "-gravity", "south", "+append", app]))
    splash = render(os.path.join(ROOT, "splash.svg"), 400, os.path.join(OUT, "splash.png"), 240)
    pics = []
    for name in ("pc", "to-cnc", "to-pc", "cnc"):
        svg = os.path.join(ROOT, "pictures", name + ".svg")
        a = render(svg, 32, os.path.join(WORK, "p32_%s.png" % name))
        b = render(svg, 64, os.path.join(WORK, "p64_%s.png" % name))
        pics += [a]
        pics += [b]
    pictures = os.path.join(OUT, "pictures.png")
    run(*(["convert", "-background", BACKGROUND] + pics + ["-bordercolor", BACKGROUND, "-border", "5",
                                                            "-gravity", "center", "+append", "-filter", "point", "-resize",
                                                            "200%", pictures]))
    return app, splash, pictures


def main():
    os.makedirs(WORK, exist_ok=True)
    outs = [icons_sheet(), parts_sheet(),
            strip_sheet([0, 1, 2, 3, 4, 5, 9, 14, 19, 20, 21, 22, 23, 24, 40, 41])]
    outs += big_sheet()
    print("\n".join(outs))


if __name__ == "__main__":
    main()
