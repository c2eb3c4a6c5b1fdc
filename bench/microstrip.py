#!/usr/bin/env python3
"""The microstrip against Hammerstad and Jensen's formula, per unit length.

usage: bench/microstrip.py VORNAX_FINE [--accuracy PERCENT]

A strip of width w = 0.5 um and thickness w/1000 on a slab of height h and relative
permittivity er, air above, over a ground plane (a half-space of 10^4 times er below the slab,
whose image has weight -0.9998), in an open window. The strip is solved at lengths 20 w and
40 w; the difference over 20 w is its capacitance per length, the ends cancelling. The formula
(Hammerstad and Jensen, 1980: the effective permittivity within 0.2 % for 0.01 <= w/h <= 100)
is evaluated here with VORNAX's eps0 = 8.85e-12 F/m. Prints one table row per case.
"""
import argparse
import math
import os
import re
import subprocess
import tempfile
import time

CASES = [(1.0, 1.0), (1.0, 3.9), (1.0, 9.8), (0.5, 3.9), (2.0, 3.9), (0.5, 9.8), (2.0, 9.8)]


def formula(u, er):
    """Capacitance per length in pF/m of a zero-thickness strip with w/h = u on er."""
    eta0, c = 376.730, 299792458.0
    f = 6 + (2 * math.pi - 6) * math.exp(-((30.666 / u) ** 0.7528))
    z0air = eta0 / (2 * math.pi) * math.log(f / u + math.sqrt(1 + (2 / u) ** 2))
    a = (1 + math.log((u ** 4 + (u / 52) ** 2) / (u ** 4 + 0.432)) / 49
         + math.log(1 + (u / 18.1) ** 3) / 18.7)
    b = 0.564 * ((er - 0.9) / (er + 3)) ** 0.053
    eeff = (er + 1) / 2 + (er - 1) / 2 * (1 + 10 / u) ** (-a * b)
    return eeff / (c * z0air) * 8.85e-12 / 8.8541878e-12 * 1e12


def cap3d(w, h, er, length):
    layers = [(1e4 * er, 0.0), (er, h), (1.0, 20.0)]
    text = "<cap3d>\n<window>\nname w\nv1(-20,-20,-20)\nv2(20,20,20)\n</window>\n"
    for k, (eps, top) in enumerate(layers):
        text += "<plate_medium>\nname l%d\ndiel %g\nz_top %g\n</plate_medium>\n" % (k, eps, top)
    text += ("<conductor>\nname strip\n<block>\nbasepoint(%g,%g,%g)\nv1(%g,0,0)\nv2(0,%g,0)\n"
             "hvector(0,0,%g)\n</block>\n</conductor>\n</cap3d>\n"
             % (-length / 2, -w / 2, h, length, w, w / 1000))
    return text


def solve(binary, text, accuracy, folder):
    path = os.path.join(folder, "strip.cap3d")
    with open(path, "w") as out:
        out.write(text)
    run = subprocess.run([os.path.abspath(binary), path, "--accuracy", str(accuracy)], cwd=folder,
                         capture_output=True, text=True, check=True)
    error = float(re.search(r"Estimated error: ([0-9.]+) %", run.stdout).group(1))
    with open(os.path.join(folder, "Cap.txt")) as cap:
        return float(cap.read().split()[0]), error / 100


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("--accuracy", type=float, default=0.1)
    args = parser.parse_args()
    w = 0.5
    print("| w/h | er | per length (pF/m) | estimate | formula | difference | time |")
    print("|---|---|---|---|---|---|---|")
    with tempfile.TemporaryDirectory() as folder:
        for u, er in CASES:
            start = time.time()
            (c1, e1), (c2, e2) = (solve(args.binary, cap3d(w, w / u, er, n * w), args.accuracy,
                                        folder) for n in (20, 40))
            per_length = (c2 - c1) / (20 * w)  # aF/um is pF/m
            estimate = (c2 * e2 + c1 * e1) / (20 * w)
            reference = formula(u, er)
            print("| %g | %g | %.3f | %.3f | %.4f | %+.2f %% | %.0f s |"
                  % (u, er, per_length, estimate, reference,
                     100 * (per_length / reference - 1), time.time() - start), flush=True)


if __name__ == "__main__":
    main()
