# The part of vornax-layout that runs inside KLayout: klayout -b -r vornax_layout.py -rd name=value
#
# Reads the layout, takes one cell with its hierarchy flattened, clips it to the window, traces
# the nets through every pair of layers that vornax-layout says touch in height, names the nets
# from their labels and writes each net's shapes, decomposed into boxes, in database units.
#
# Variables, all strings:
#   input   the layout file (any format KLayout reads)
#   output  the file this script writes (see below)
#   cell    the cell to take; "" for the layout's only top cell
#   window  "" or "X1,Y1,X2,Y2" in micrometres
#   layers  "NAME=L/D ..." the stack's metals and vias, numbered 0, 1, ... in this order
#   connect "I-J ..." pairs of layer numbers whose shapes connect where they touch
#   labels  "L/D:I ..." texts on L/D name the nets they touch on layer I
#
# The output file holds, one per line:
#   dbu D              micrometres per database unit, as a plain decimal
#   cell NAME
#   extent X1 Y1 X2 Y2 the window, else the bounding box of all shapes
#   warning TEXT       zero or more
#   net [NAME]         a net, its label if it has one; then its boxes:
#   box I X1 Y1 X2 Y2  layer number and corners in database units
#   end
# or the single line "error TEXT" for a layout that cannot be converted (exit status 1).

import sys
from decimal import Decimal

import pya


class LayoutError(Exception):
    """A reason why the layout cannot be converted, as one line for the user."""


def parse_gds_layer(text):
    layer, datatype = text.split("/")
    return int(layer), int(datatype)


class Stack:
    """The layers vornax-layout passes in, with KLayout layer indices of the layout."""

    def __init__(self, layout):
        self.names = []  # stack layer names by number
        self.gds = []  # (layer, datatype) by number
        for item in layers.split():
            name, gds = item.split("=")
            self.names.append(name)
            self.gds.append(parse_gds_layer(gds))
        self.connections = [tuple(int(k) for k in pair.split("-")) for pair in connect.split()]
        self.labels = []  # ((layer, datatype), layer number) per label layer
        for item in labels.split():
            gds, number = item.split(":")
            self.labels.append((parse_gds_layer(gds), int(number)))
        self.layout = layout

    def index(self, gds):
        return self.layout.layer(gds[0], gds[1])


def shown_gds(gds):
    return "%d/%d" % gds


class Units:
    """Database units to micrometres, exactly, for messages and the output."""

    def __init__(self, dbu):
        # The unit as the decimal it was meant to be: OASIS, for one, keeps its inverse, so
        # 0.001 can come back as 0.0009999999999999998.
        self.dbu = Decimal("%.12g" % dbu)

    def plain(self):
        return format(self.dbu, "f")

    def um(self, n):
        value = (Decimal(n) * self.dbu).normalize()
        return format(value, "f")

    def point(self, x, y):
        return "(%s, %s)" % (self.um(x), self.um(y))

    def to_dbu(self, text):
        value = Decimal(text) / self.dbu
        if value != value.to_integral_value():
            raise LayoutError(
                "--window: %s is not a multiple of the database unit %s um" % (text, self.plain())
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


def pick_cell(layout):
    top_names = sorted(c.name for c in layout.top_cells())
    if cell:
        found = layout.cell(cell)
        if found is None:
            raise LayoutError(
                "the layout '%s' has no cell '%s'; its top cells are %s"
                % (input, cell, ", ".join(top_names))
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


def shape_iterator(layout, top, index, window):
    if window is None:
        return pya.RecursiveShapeIterator(layout, top, index)
    return pya.RecursiveShapeIterator(layout, top, index, window, False)


def clipped_shapes(layout, top, index, window):
    region = pya.Region(shape_iterator(layout, top, index, window))
    if window is not None:
        region &= pya.Region(window)
    return region.merged()


def check_rectilinear(region, name, gds, units):
    for polygon in region.non_rectilinear().each():
        for edge in polygon.each_edge():
            if edge.dx() != 0 and edge.dy() != 0:
                raise LayoutError(
                    "layer %s (%s): the shape with the edge from %s to %s um is not made of "
                    "axis-parallel rectangles"
                    % (
                        shown_gds(gds),
                        name,
                        units.point(edge.p1.x, edge.p1.y),
                        units.point(edge.p2.x, edge.p2.y),
                    )
                )


def check_label(text, gds, units):
    where = "at %s um on layer %s" % (units.point(text.x, text.y), shown_gds(gds))
    if text.string == "":
        raise LayoutError("an empty label %s cannot name a net" % where)
    if len(text.string.split()) != 1 or text.string != text.string.strip():
        raise LayoutError("the label '%s' %s holds white space" % (text.string, where))
    if text.string == "Q":
        raise LayoutError("the label 'Q' %s cannot name a net: Q starts a panel record" % where)
    return where


def net_names(l2n, nets, regions, texts, stack, units, warnings):
    """The label of each net by cluster id; labels that touch nothing go to `warnings`."""
    named = {}  # cluster id -> (label, where)
    for (gds, number), found in zip(stack.labels, texts):
        touched = set()
        for net in nets:
            on_metal = l2n.shapes_of_net(net, regions[number], True)
            if on_metal.is_empty():
                continue
            for text in found.interacting(on_metal).each():
                touched.add((text.string, text.x, text.y))
                where = check_label(text, gds, units)
                earlier = named.get(net.cluster_id)
                if earlier is not None and earlier[0] != text.string:
                    raise LayoutError(
                        "one net has two labels, '%s' %s and '%s' %s"
                        % (earlier[0], earlier[1], text.string, where)
                    )
                named.setdefault(net.cluster_id, (text.string, where))
        for text in found.each():
            if (text.string, text.x, text.y) not in touched:
                warnings.append(
                    "the label '%s' at %s um on layer %s touches no shape of %s and names nothing"
                    % (
                        text.string.replace("\n", " "),
                        units.point(text.x, text.y),
                        shown_gds(gds),
                        stack.names[number],
                    )
                )
    return {key: value[0] for key, value in named.items()}


def boxes_of(region):
    for polygon in region.merged().decompose_trapezoids_to_region(
        pya.Polygon.TD_htrapezoids
    ).each():
        if not polygon.is_box():
            raise LayoutError("internal: a rectilinear shape did not decompose into boxes")
        yield polygon.bbox()


def convert():
    layout = read_layout()
    stack = Stack(layout)
    units = Units(layout.dbu)
    top = pick_cell(layout)
    window = None
    if window_text:
        x1, y1, x2, y2 = (units.to_dbu(v) for v in window_text.split(","))
        window = pya.Box(x1, y1, x2, y2)

    regions = []
    extent = pya.Box()
    for name, gds in zip(stack.names, stack.gds):
        region = clipped_shapes(layout, top, stack.index(gds), window)
        check_rectilinear(region, name, gds, units)
        regions.append(region)
        extent += region.bbox()
    if extent.empty():
        where = " inside the window" if window is not None else ""
        raise LayoutError(
            "the cell '%s' of '%s' has no shapes on the stack's layers%s" % (top.name, input, where)
        )
    texts = []
    for gds, number in stack.labels:
        found = pya.Texts(shape_iterator(layout, top, stack.index(gds), window))
        if window is not None:
            found = pya.Texts([t for t in found.each() if window.contains(pya.Point(t.x, t.y))])
        texts.append(found)

    l2n = pya.LayoutToNetlist(top.name, layout.dbu)
    for name, region in zip(stack.names, regions):
        l2n.register(region, name)
        l2n.connect(region)
    for a, b in stack.connections:
        l2n.connect(regions[a], regions[b])
    l2n.extract_netlist()
    nets = list(l2n.netlist().circuit_by_name(top.name).each_net())
    nets.sort(key=lambda net: net.cluster_id)
    warnings = []
    names = net_names(l2n, nets, regions, texts, stack, units, warnings)

    lines = ["dbu " + units.plain(), "cell " + top.name]
    if window is not None:
        extent = window
    lines.append("extent %d %d %d %d" % (extent.left, extent.bottom, extent.right, extent.top))
    lines += ["warning " + w for w in warnings]
    for net in nets:
        boxes = []
        for number, region in enumerate(regions):
            for box in boxes_of(l2n.shapes_of_net(net, region, True)):
                boxes.append("box %d %d %d %d %d" % (number, box.left, box.bottom, box.right, box.top))
        if boxes:
            label = names.get(net.cluster_id)
            lines.append("net " + label if label is not None else "net")
            lines += boxes
    lines.append("end")
    return lines


def main():
    try:
        lines = convert()
        status = 0
    except LayoutError as error:
        lines = ["error " + str(error).replace("\n", " ")]
        status = 1
    with open(output, "w", encoding="utf-8") as out:
        out.write("\n".join(lines) + "\n")
    sys.exit(status)


window_text = window
main()
