#!/usr/bin/env python3
"""Writes a panel file's conductors (boxes) as a cap3d file inside another cap3d file's stack.

usage: bench/stack_bus.py PANELS STACK.cap3d > bus-in-stack.cap3d
       bench/stack_bus.py PANELS EPS,EPS,... BOTTOM PITCH COUNT > bus-in-stack.cap3d

Each conductor of PANELS (for example `vornax-gen bus 8`) becomes one block, the box its panels
bound. The planar layers of STACK (its <plate_medium> sections, e.g. ../shared/cap3d/lines24)
are scaled in z so that their tops, from the first to the last but one, span the conductors'
height: the conductors then cross many layers and have faces on their boundaries, as on a chip.
The second form makes the stack itself: COUNT layers whose tops lie every PITCH from BOTTOM,
their permittivities the list repeated, the last reaching to the window's top (z as in PANELS).
The window is the conductors' box widened by its own size on each side.
"""
import re
import sys


def conductor_boxes(path):
    boxes = {}
    with open(path) as f:
        next(f)  # the title
        for line in f:
            fields = line.split()
            if not fields or fields[0] != "Q":
                continue
            points = list(map(float, fields[2:14]))
            lo = [min(points[a::3]) for a in range(3)]
            hi = [max(points[a::3]) for a in range(3)]
            old = boxes.get(fields[1])
            if old:
                lo = [min(a, b) for a, b in zip(lo, old[0])]
                hi = [max(a, b) for a, b in zip(hi, old[1])]
            boxes[fields[1]] = (lo, hi)
    return boxes


def plate_media(path):
    text = open(path).read()
    return [(m.group(1), float(m.group(2)), float(m.group(3))) for m in re.finditer(
        r"<plate_medium>\s*name\s+(\S+)\s+diel\s+(\S+)\s+z_top\s+(\S+)\s*</plate_medium>", text)]


def main():
    if len(sys.argv) not in (3, 6):
        sys.exit(__doc__)
    boxes = conductor_boxes(sys.argv[1])
    lo = [min(b[0][a] for b in boxes.values()) for a in range(3)]
    hi = [max(b[1][a] for b in boxes.values()) for a in range(3)]
    if len(sys.argv) == 3:
        layers = plate_media(sys.argv[2])
        first, last = layers[0][2], layers[-2][2]
        scale = (hi[2] - lo[2]) / (last - first)
    else:
        eps = [float(e) for e in sys.argv[2].split(",")]
        bottom, pitch, count = float(sys.argv[3]), float(sys.argv[4]), int(sys.argv[5])
        layers = [("L%d" % k, eps[k % len(eps)], bottom + k * pitch) for k in range(count)]
        first, scale = lo[2], 1.0
    size = [h - l for h, l in zip(hi, lo)]
    out = ["<cap3d>", "<window>", "\tname stack_bus",
           "\tv1(%.6f,%.6f,%.6f)" % (lo[0] - size[0], lo[1] - size[1], lo[2] - size[2]),
           "\tv2(%.6f,%.6f,%.6f)" % (hi[0] + size[0], hi[1] + size[1], hi[2] + size[2]),
           "</window>"]
    for k, (name, eps, top) in enumerate(layers):
        z = hi[2] + size[2] if k + 1 == len(layers) else lo[2] + (top - first) * scale
        out += ["<plate_medium>", "\tname %s" % name, "\tdiel %.6f" % eps, "\tz_top %.6f" % z,
                "</plate_medium>"]
    for name, (b_lo, b_hi) in boxes.items():
        out += ["<conductor>", "\tname n%s" % name, "\t<block>",
                "\t\tbasepoint(%.6f,%.6f,%.6f)" % tuple(b_lo),
                "\t\tv1(%.6f,0,0)" % (b_hi[0] - b_lo[0]), "\t\tv2(0,%.6f,0)" % (b_hi[1] - b_lo[1]),
                "\t\thvector(0,0,%.6f)" % (b_hi[2] - b_lo[2]), "\t</block>", "</conductor>"]
    out.append("</cap3d>")
    print("\n".join(out))


if __name__ == "__main__":
    main()
