# Draws example.gds, the layout of the vornax-layout example, through KLayout:
#   cd examples/layout && klayout -b -r make_layout.py
# Two metals (1/0 and 2/0) with a via layer (3/0) between them, their labels on 101/0 and
# 102/0 (see stack.txt). Coordinates in micrometres, database unit 0.001. The file carries no
# time stamps, so drawing it again gives the same bytes.

import pya

layout = pya.Layout()
layout.dbu = 0.001
top = layout.create_cell("EXAMPLE")
met1, met2, via1 = layout.layer(1, 0), layout.layer(2, 0), layout.layer(3, 0)
met1_labels, met2_labels = layout.layer(101, 0), layout.layer(102, 0)


def box(layer, x1, y1, x2, y2):
    top.shapes(layer).insert(pya.DBox(x1, y1, x2, y2))


def label(layer, text, x, y):
    top.shapes(layer).insert(pya.DText(text, pya.DTrans(pya.DVector(x, y))))


# clk_a: a met1 wire, then up through a via to a met2 wire at its far end.
box(met1, 0, 0, 20, 0.5)
box(via1, 19.5, 0, 20, 0.5)
box(met2, 19.5, 0, 20, 6)
label(met1_labels, "clk_a", 1, 0.25)
# data_b: a met1 wire beside clk_a, 0.5 apart.
box(met1, 0, 1, 18, 1.5)
label(met1_labels, "data_b", 1, 1.25)
# vdd: a wide met2 wire that crosses both.
box(met2, 8, -2, 10, 4)
label(met2_labels, "vdd", 9, 3)
# A met1 stub without a label: vornax-layout names it after its place, met1_x0_y3.
box(met1, 0, 3, 4, 3.5)

options = pya.SaveLayoutOptions()
options.gds2_write_timestamps = False
layout.write("example.gds", options)
