#!/usr/bin/python3
"""Writes one look in every table format and variant lutgrade reads, and
OpenColorIO's own reading of each file on the test's colours.

usage: ocio_reference.py FOLDER COLOURS

COLOURS holds one "r g b" per line. The script writes the tables into FOLDER,
each file's graded colours into FILE.ref (one "r g b" per line, in the order
of COLOURS), and FOLDER/cases.txt: one "FILE EDGE" per line, EDGE being the
table size to grade at: the file's own, but 65 for curve-only files (their
curves are folded into the graded table, which needs a fine grid to follow them). Baked files come from ociobakelut; the formats it
does not write (and the variants it never emits) are written here from the
same look. Needs Debian's opencolorio-tools and python3-pyopencolorio.
"""
import os
import shutil
import subprocess
import sys

import PyOpenColorIO as OCIO

SLOPE, OFFSET, POWER, SAT = (0.95, 0.85, 0.9), (0.03, 0.05, 0.02), (0.8, 1.1, 1.3), 0.8
CONFIG = OCIO.Config.CreateRaw()


def cdl_args(sat=True):
    args = ["--slope", *map(str, SLOPE), "--offset", *map(str, OFFSET), "--power", *map(str, POWER)]
    return args + (["--sat", str(SAT)] if sat else [])


def look(sat=True):
    cdl = OCIO.CDLTransform(slope=list(SLOPE), offset=list(OFFSET), power=list(POWER),
                            sat=SAT if sat else 1.0)
    cpu = CONFIG.getProcessor(cdl).getDefaultCPUProcessor()
    return lambda rgb: cpu.applyRGB(list(rgb))


def bake(folder, name, fmt, size, sat=True, shaper=None):
    extra = ["--shapersize", str(shaper)] if shaper else []
    subprocess.run(["ociobakelut", *cdl_args(sat), "--format", fmt, "--cubesize", str(size),
                    *extra, os.path.join(folder, name)], check=True, stdout=subprocess.DEVNULL)


def grid(n):
    """Points of an n-point table, red fastest."""
    return [(r / (n - 1), g / (n - 1), b / (n - 1))
            for b in range(n) for g in range(n) for r in range(n)]


def write(folder, name, lines):
    with open(os.path.join(folder, name), "w") as f:
        f.write("\n".join(lines) + "\n")


def three_dl(n, bits, f, mesh_line):
    """A .3dl of f at n points, blue fastest, with values of the given depth."""
    top = (1 << bits) - 1
    points = " ".join(str(round(i * 1023 / (n - 1))) for i in range(n))
    lines = [f"Mesh 4 {bits}"] if mesh_line else []
    lines.append(points)
    for r in range(n):
        for g in range(n):
            for b in range(n):
                out = f((r / (n - 1), g / (n - 1), b / (n - 1)))
                lines.append(" ".join(str(round(min(max(v, 0.0), 1.0) * top)) for v in out))
    return lines


def shaper_cube(f):
    """A 1D shaper (square root) before a 33-point table of f behind its inverse."""
    n1, n3 = 256, 33
    lines = [f"LUT_1D_SIZE {n1}", f"LUT_3D_SIZE {n3}",
             "LUT_1D_INPUT_RANGE 0.0 1.0", "LUT_3D_INPUT_RANGE 0.0 1.0"]
    for i in range(n1):
        v = (i / (n1 - 1)) ** 0.5
        lines.append(f"{v:.6f} {v:.6f} {v:.6f}")
    for p in grid(n3):
        lines.append("%.6f %.6f %.6f" % tuple(f([c * c for c in p])))
    return lines


def domain_cube(f):
    """A 33-point table over a domain other than 0..1 on every channel."""
    lo, hi, n = (-0.25, 0.0, 0.0), (1.25, 2.0, 1.5), 33
    lines = ["DOMAIN_MIN %g %g %g" % lo, "DOMAIN_MAX %g %g %g" % hi, f"LUT_3D_SIZE {n}"]
    for p in grid(n):
        x = [min(max(lo[c] + p[c] * (hi[c] - lo[c]), 0.0), 1.0) for c in range(3)]
        lines.append("%.6f %.6f %.6f" % tuple(f(x)))
    return lines


def pre_curve_csp(f):
    """A 17-point .csp behind per-channel pre-curves of different shapes."""
    n = 17
    exponents = (0.5, 0.7, 0.6)
    lines = ["CSPLUTV100", "3D", "", "BEGIN METADATA", "pre-curves", "END METADATA", ""]
    for e in exponents:
        xs = [i / 8 for i in range(9)]
        lines += ["9", " ".join(f"{x:.6f}" for x in xs), " ".join(f"{x ** e:.6f}" for x in xs)]
    lines += ["", f"{n} {n} {n}"]
    for p in grid(n):
        x = [p[c] ** (1 / exponents[c]) for c in range(3)]
        lines.append("%.6f %.6f %.6f" % tuple(f(x)))
    return lines


def spi3d(f):
    n = 17
    lines = ["SPILUT 1.0", "3 3", f"{n} {n} {n}"]
    for b in range(n):
        for g in range(n):
            for r in range(n):
                out = f((r / (n - 1), g / (n - 1), b / (n - 1)))
                lines.append(f"{r} {g} {b} " + " ".join(f"{v:.6f}" for v in out))
    return lines


def spi1d(f):
    n = 1024
    lines = ["Version 1", "From 0.0 1.0", f"Length {n}", "Components 3", "{"]
    for i in range(n):
        lines.append("  " + " ".join(f"{v:.6f}" for v in f((i / (n - 1),) * 3)))
    return lines + ["}"]


def main():
    folder, colours = sys.argv[1], sys.argv[2]
    with open(colours) as f:
        rgbs = [[float(v) for v in line.split()] for line in f if line.strip()]
    full, curves = look(), look(sat=False)
    identity = lambda rgb: rgb
    cases = []  # (file, edge, the file is curves only)

    for name, fmt, size in [("resolve.cube", "resolve_cube", 33), ("iridas.cube", "iridas_cube", 17),
                            ("flame.3dl", "flame", 17), ("lustre.3dl", "lustre", 17),
                            ("plain.csp", "cinespace", 17), ("look.itx", "iridas_itx", 17)]:
        bake(folder, name, fmt, size)
        cases.append((name, size, False))
    bake(folder, "curves.cube", "resolve_cube", 17, sat=False, shaper=1024)
    cases.append(("curves.cube", 65, True))
    shutil.copy(os.path.join(folder, "resolve.cube"), os.path.join(folder, "LOOK.Cube"))
    cases.append(("LOOK.Cube", 33, False))

    written = [("shaper.cube", shaper_cube(full), 33, False),
               ("domain.cube", domain_cube(full), 33, False),
               ("pre-curves.csp", pre_curve_csp(full), 17, False),
               ("look.spi3d", spi3d(full), 17, False),
               ("look.spi1d", spi1d(curves), 65, True),
               ("ten-bit.3dl", three_dl(17, 10, full, False), 17, False),
               ("sixteen-bit.3dl", three_dl(17, 16, full, True), 17, False)]
    for bits in (10, 12, 16):
        written.append((f"identity-{bits}.3dl", three_dl(17, bits, identity, False), 17, False))
    for name, lines, edge, curves_only in written:
        write(folder, name, lines)
        cases.append((name, edge, curves_only))

    for name, edge, curves_only in cases:
        path = os.path.join(folder, name)
        interpolation = OCIO.INTERP_LINEAR if curves_only else OCIO.INTERP_TETRAHEDRAL
        cpu = CONFIG.getProcessor(OCIO.FileTransform(src=path, interpolation=interpolation))
        cpu = cpu.getDefaultCPUProcessor()
        write(folder, name + ".ref", ["%.9g %.9g %.9g" % tuple(cpu.applyRGB(rgb)) for rgb in rgbs])
    write(folder, "cases.txt", [f"{name} {edge}" for name, edge, _ in cases])


if __name__ == "__main__":
    main()
