# Draws test layouts for the vornax-layout tests, through KLayout:
#   klayout -b -r draw_layouts.py -rd files="bus.gds shapes.oas ..."
# Each file gets the layout of its base name below, in the format of its extension.
# Layers: 1/0 metal m1, 2/0 metal m2, 3/0 via v1, 101/0 labels of m1, 102/0 labels of m2.
# Coordinates in micrometres, database unit 0.001.

import pya


def draw(layout):
    ly = pya.Layout()
    ly.dbu = 0.001
    top = ly.create_cell("TOP")
    M1, M2, V1, T1, T2 = (ly.layer(n, 0) for n in (1, 2, 3, 101, 102))

    def box(layer, x1, y1, x2, y2, cell=top):
        cell.shapes(layer).insert(pya.DBox(x1, y1, x2, y2))

    def label(layer, text, x, y, cell=top):
        cell.shapes(layer).insert(pya.DText(text, pya.DTrans(pya.DVector(x, y))))

    def place(cell, x, y):
        top.insert(pya.DCellInstArray(cell.cell_index(), pya.DTrans(pya.DVector(x, y))))

    if layout == "bus":
        # vornax-gen bus 3 --scale 0.25 in the plane: L = 7, lower wire i at y in [2i+1, 2i+2]
        # on m1, upper wire j at x in [2j+1, 2j+2] on m2, everything times 0.25.
        s = 0.25
        for i in range(3):
            box(M1, 0, (2 * i + 1) * s, 7 * s, (2 * i + 2) * s)
            box(M2, (2 * i + 1) * s, 0, (2 * i + 2) * s, 7 * s)
    elif layout == "shapes":
        box(M1, 0, 0, 3, 1)  # an L of two boxes
        box(M1, 0, 1, 1, 3)
        label(T1, "ell", 0.5, 2.5)
        label(T1, "ell", 3, 0.5)  # the same name again, on the edge
        box(M1, 5, 0, 9, 1)  # a wire, a via at its end and a wire on m2 from there
        box(V1, 8, 0, 9, 1)
        box(M2, 8, 0, 9, 4)
        label(T2, "riser", 8.5, 3.5)
        box(M2, 0, 5, 2, 6)  # no label
        label(T1, "stray", 20, 20)  # on nothing
    elif layout == "two_labels":  # and a wire called Q
        box(M1, 0, 0, 4, 1)
        label(T1, "b", 0.5, 0.5)
        label(T1, "a", 3.5, 0.5)
        box(M1, 0, 2, 4, 3)
        label(T1, "Q", 0.5, 2.5)
        box(M1, 0, 5, 4, 6)  # a U, its arms up to y = 8
        box(M1, 0, 6, 1, 8)
        box(M1, 3, 6, 4, 8)
        label(T1, "u", 0.5, 7.5)
    elif layout == "hierarchy":
        # ROW: a word line labelled wl, placed three times, the highest placed first; the
        # middle one is also labelled in the top cell. LEAF, inside ROW, labels its own stub.
        row, leaf = ly.create_cell("ROW"), ly.create_cell("LEAF")
        box(M1, 0, 0, 4, 1, row)
        label(T1, "wl", 1, 0.5, row)
        box(M1, 0, 0, 1, 1, leaf)
        label(T1, "stub", 0.5, 0.5, leaf)
        row.insert(pya.DCellInstArray(leaf.cell_index(), pya.DTrans(pya.DVector(5, 0))))
        for y in (4, 0, 2):
            place(row, 0, y)
        label(T1, "word", 2, 2.5)
    elif layout == "slanted":
        box(M1, 0, 0, 1, 1)
        top.shapes(M1).insert(
            pya.DPolygon([pya.DPoint(2, 0), pya.DPoint(3, 0), pya.DPoint(4, 1), pya.DPoint(2, 1)])
        )
    elif layout == "two_tops":
        box(M1, 0, 0, 1, 1)
        box(M1, 0, 0, 2, 2, ly.create_cell("OTHER"))
    else:
        raise ValueError("no test layout " + layout)
    return ly


for name in files.split():
    draw(name.rsplit(".", 1)[0]).write(name)
