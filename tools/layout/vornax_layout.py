# The part of vornax-layout that runs inside KLayout: klayout -b -r vornax_layout.py -rd name=value
#
# KLayout extracts the hierarchical netlist of one cell: it traces the nets of every cell and
# joins them through the instances to the nets of their parents. The script walks the instances
# that reach into the clip box (the window grown by the halo, else the whole cell), joins each
# cell's nets to the nets they belong to further up, and writes every net of the cell that has
# shapes in the box: the labels it carries in the box, each with the path of instances from the
# top cell to the cell that holds it, and its shapes cut at the box's edge, as boxes.
#
# Variables, all strings:
#   input      the layout file (any format KLayout reads)
#   output     the file this script writes (see below)
#   cell       the cell to take; "" for the layout's only top cell
#   cells      "" or "A,B,...": several cells of the layout read once, cell K's output (as
#              below) in the file OUTPUT.K, K from 0; OUTPUT itself only for a layout that
#              cannot be read
#   window     "" or "X1,Y1,X2,Y2" in micrometres: the clip box
#   layers     "NAME=L/D ..." the stack's metals and vias, numbered 0, 1, ... in this order
#   connect    "I-J ..." pairs of layer numbers whose shapes connect where they touch
#   labels     "L/D:I ..." texts on L/D name the nets they touch on layer I
#   hierarchy  "all": labels of every cell count; "top": only those of the cell itself
#
# The output file holds, one per line:
#   dbu D              micrometres per database unit, as a plain decimal
#   cell NAME
#   extent X1 Y1 X2 Y2 the clip box, else the bounding box of all shapes
#   warning TEXT       zero or more
#   net                a net, then its labels and boxes:
#   label DEPTH X Y L/D BYTES NAME  a label DEPTH instances below the cell, at (X, Y); NAME is
#                      its path, the first BYTES bytes (UTF-8), then its text
#   box I X1 Y1 X2 Y2  layer number and corners in database units
#   end
# or the single line "error TEXT" for a layout that cannot be converted (exit status 1).
# A path is one "CELL[N]/" per instance, N counting the parent's instances of CELL from 1,
# ordered by the bottom, then the left edge of their bounding boxes.

import os
import sys
from decimal import Decimal

import pya

sys.dont_write_bytecode = True  # no __pycache__ beside an installed or source script
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from layout_netlist import Extraction, LayoutError, Walk  # noqa: E402


class Units:
    """Database units to micrometres, exactly, for messages and the output."""

    def __init__(self, dbu):
        self.raw = dbu  # as KLayout holds it, for its transformations
        # The unit as the decimal it was meant to be: OASIS, for one, keeps its inverse, so
        # 0.001 can come back as 0.0009999999999999998.
        self.dbu = Decimal("%.12g" % dbu)

    def plain(self):
        return format(self.dbu, "f")

    def um(self, n):
        return format((Decimal(n) * self.dbu).normalize(), "f")

    def point(self, x, y):
        return "(%s, %s)" % (self.um(x), self.um(y))

    def to_dbu(self, text):
        value = Decimal(text) / self.dbu
        if value != value.to_integral_value():
            raise LayoutError(
                "--window and --halo: %s um is not a multiple of the database unit %s um"
                % (text, self.plain())
            )
        return int(value)


def read_layout():
    layout = pya.Layout()
    try:
        layout.read(input)
    except RuntimeError as error:
        reason = str(error).split("\n")[0].replace(" in Layout.read", "")
        raise LayoutError("cannot read the layout '%s': %s" % (input, reason))
    return layout


def pick_cell(layout, name):
    top_names = sorted(c.name for c in layout.top_cells())
    if name:
        found = layout.cell(name)
        if found is None:
            raise LayoutError(
                "the layout '%s' has no cell '%s'; its top cells are %s"
                % (input, name, ", ".join(top_names))
            )
        return found
    if len(top_names) != 1:
        if not top_names:
            raise LayoutError("the layout '%s' has no cells" % input)
        raise LayoutError(
            "the layout '%s' has %d top cells, %s; choose one with --cell"
            % (input, len(top_names), ", ".join(top_names))
        )
    return layout.top_cells()[0]


def convert(layout, name):
    units = Units(layout.dbu)
    top = pick_cell(layout, name)
    clip = None
    if window_text:
        x1, y1, x2, y2 = (units.to_dbu(v) for v in window_text.split(","))
        clip = pya.Box(x1, y1, x2, y2)
    extraction = Extraction(layout, top, layers, connect, labels)
    walk = Walk(extraction, clip, units, hierarchy == "all")
    circuit = extraction.l2n.netlist().circuit_by_name(top.name)
    if circuit is not None:  # none without a shape on the stack's layers
        walk.visit(circuit, (), "", pya.ICplxTrans())
    nets = walk.nets()
    if not nets:
        where = " inside the window" if clip is not None else ""
        raise LayoutError(
            "the cell '%s' of '%s' has no shapes on the stack's layers%s" % (top.name, input, where)
        )
    extent = clip
    if extent is None:
        extent = pya.Box()
        for _, boxes in nets:
            for line in boxes:
                k, x1, y1, x2, y2 = (int(v) for v in line.split()[1:])
                extent += pya.Box(x1, y1, x2, y2)
    lines = ["dbu " + units.plain(), "cell " + top.name,
             "extent %d %d %d %d" % (extent.left, extent.bottom, extent.right, extent.top)]
    lines += ["warning " + w for w in walk.warnings]
    for labelled, boxes in nets:
        lines += ["net"] + labelled + boxes
    lines.append("end")
    return lines


def write(path, lines):
    with open(path, "w", encoding="utf-8") as out:
        out.write("\n".join(lines) + "\n")


def error_lines(error):
    return ["error " + str(error).replace("\n", " ")]


def main():
    try:
        layout = read_layout()
    except LayoutError as error:
        write(output, error_lines(error))
        sys.exit(1)
    if cells:
        for k, name in enumerate(cells.split(",")):
            try:
                write("%s.%d" % (output, k), convert(layout, name))
            except LayoutError as error:
                write("%s.%d" % (output, k), error_lines(error))
        sys.exit(0)
    try:
        lines = convert(layout, cell)
        status = 0
    except LayoutError as error:
        lines = error_lines(error)
        status = 1
    write(output, lines)
    sys.exit(status)


window_text = window
cells = globals().get("cells", "")
main()
