#!/usr/bin/env python3
"""Writes a block-scale cap3d structure: routing on many metal layers with vias, in a stack.

usage: bench/cap3d_routing.py NETS [--layers 50] [--metals 6] [--tiles-per-net 1] > routing.cap3d

Each net sits in a tile of its own (4 x 4 micrometres, tiles in a square) on a pair of
neighbouring metal layers, the pair turning with the tile: a wire along x on the lower metal,
one along y on the upper, a via joining them where they cross. Every wire has a conformal liner
(relative permittivity 4.2) and a cap above it (7), two dielectric blocks that overlap the wire
and each other; a substrate GROUND lies under everything. So a net brings 3 conductor blocks and
4 dielectric blocks: 2,860 nets make 20,020 blocks. The planar stack has --layers layers
(relative permittivity 2.5 to 7), the metals --metals of them, evenly up to z = 10. The first
net is the task's master. With --tiles-per-net K a net owns K neighbouring tiles (its crossings
not joined to each other, one potential as the same name makes them): 1,000 nets with K = 3 make
3,000 tiles and 21,000 blocks. Coordinates are written with six decimals, as the shared cases are.
"""
import argparse
import math


def box(base, size):
    """A <block> of a box from its lowest corner and its size."""
    return ("\t<block>\n\t\tbasepoint(%.6f,%.6f,%.6f)\n\t\tv1(%.6f,0,0)\n\t\tv2(0,%.6f,0)\n"
            "\t\thvector(0,0,%.6f)\n\t</block>\n" % (base + size))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("nets", type=int)
    parser.add_argument("--layers", type=int, default=50)
    parser.add_argument("--metals", type=int, default=6)
    parser.add_argument("--tiles-per-net", type=int, default=1)
    args = parser.parse_args()
    tiles = args.nets * args.tiles_per_net
    side = math.ceil(math.sqrt(tiles))
    tile, width, top = 4.0, 0.2, 10.0
    out = ["// bench/cap3d_routing.py %d\n<cap3d>\n" % args.nets,
           "<window>\n\tname routing\n\tv1(-1,-1,-0.1)\n\tv2(%.6f,%.6f,%.6f)\n</window>\n"
           % (side * tile + 1, side * tile + 1, top)]
    for k in range(args.layers):
        out.append("<plate_medium>\n\tname L%d\n\tdiel %.6f\n\tz_top %.6f\n</plate_medium>\n"
                   % (k, [2.5, 3.9, 4.2, 7.0, 2.9][k % 5], 0.0 if k == 0 else top * k / (args.layers - 1)))
    # Metal m from z = 1 + m, 0.4 thick; its via up to the next metal.
    metal = [(1.0 + m, 0.4) for m in range(args.metals)]
    media, conductors = [], [""] * args.nets
    for t in range(tiles):
        n = t // args.tiles_per_net
        i, j = t % side, t // side
        x0, y0 = i * tile, j * tile
        m = (i + j) % (args.metals - 1)
        (z1, h1), (z2, h2) = metal[m], metal[m + 1]
        wires = [((x0 + 0.2, y0 + 1.0, z1), (tile - 0.4, width, h1)),
                 ((x0 + 2.0, y0 + 0.2, z2), (width, tile - 0.4, h2))]
        via = ((x0 + 2.0, y0 + 1.0, z1 + h1), (width, width, z2 - z1 - h1))
        blocks = "".join(box(b, s) for b, s in wires + [via])
        conductors[n] += blocks
        for (bx, by, bz), (sx, sy, sz) in wires:
            liner = ((bx - 0.05, by - 0.05, bz), (sx + 0.1, sy + 0.1, sz + 0.05))
            cap = ((bx - 0.1, by - 0.1, bz + sz / 2), (sx + 0.2, sy + 0.2, sz / 2 + 0.15))
            media.append("<medium>\n\tname cap%d\n%s\tdiel 7.000000\n</medium>\n" % (t, box(*cap)))
            media.append("<medium>\n\tname liner%d\n%s\tdiel 4.200000\n</medium>\n" % (t, box(*liner)))
    out += media
    out.append("<conductor>\n\tname GROUND\n%s</conductor>\n"
               % box((-1, -1, -0.1), (side * tile + 2, side * tile + 2, 0.1)))
    out += ["<conductor>\n\tname net%d\n%s</conductor>\n" % (n, b) for n, b in enumerate(conductors)]
    out.append("<task>\n\t<capacitance>\n\t\tnet0\n\t</capacitance>\n</task>\n</cap3d>\n")
    print("".join(out), end="")


if __name__ == "__main__":
    main()
