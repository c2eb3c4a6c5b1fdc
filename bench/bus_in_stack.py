#!/usr/bin/env python3
"""The 8 x 8 crossing bus of bench/ (wires 1 wide at pitch 2, 17 long, the lower ones z 0..1,
the upper ones z 2..3) as a cap3d file, in the planar layers of a cap3d file (default: none,
vacuum) with their heights mapped linearly from [0, their highest inner boundary] onto
[-0.5, 3.5], so that the layers' boundaries cut the bus as a real stack cuts its wires.

usage: bus_in_stack.py [LAYERS.cap3d] > bus.cap3d
"""
import re
import sys


def layers_of(path):
    text = open(path).read()
    found = []
    for section in re.findall(r"<plate_medium>(.*?)</plate_medium>", text, re.S):
        eps = float(re.search(r"diel\s+(\S+)", section).group(1))
        top = float(re.search(r"z_top\s+(\S+)", section).group(1))
        found.append((eps, top))
    return found


def block(x, y, z, dx, dy, dz):
    return (f"<block>\nbasepoint({x},{y},{z})\nv1({dx},0,0)\nv2(0,{dy},0)\n"
            f"hvector(0,0,{dz})\n</block>\n")


def main():
    layers = layers_of(sys.argv[1]) if len(sys.argv) > 1 else []
    out = ["<cap3d>\n<window>\nname bus\nv1(-20,-20,-20)\nv2(37,37,23)\n</window>\n"]
    if layers:
        highest = max(top for _, top in layers[:-1])
        for k, (eps, top) in enumerate(layers):
            z = 23 if k + 1 == len(layers) else -0.5 + 4.0 * top / highest
            out.append(f"<plate_medium>\nname l{k}\ndiel {eps}\nz_top {z:.6f}\n</plate_medium>\n")
    for i in range(8):
        out.append(f"<conductor>\nname x{i}\n" + block(0, 1 + 2 * i, 0, 17, 1, 1) +
                   "</conductor>\n")
    for i in range(8):
        out.append(f"<conductor>\nname y{i}\n" + block(1 + 2 * i, 0, 2, 1, 17, 1) +
                   "</conductor>\n")
    out.append("</cap3d>\n")
    sys.stdout.write("".join(out))


main()
