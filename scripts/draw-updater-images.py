#!/usr/bin/env python3
"""Draws the updater's two window images (anti-aliased by 4x4 supersampling)
into updater/res/: PEZAupgradeLogo.png, an orange rounded tile with a white
upward arrow, and FailedLogo.png, a red disc with a white cross."""
import math
import os
import struct
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "updater", "res")
SS = 4


def png(path, size, cover):
    rows = []
    for y in range(size):
        row = bytearray([0])
        for x in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SS):
                for sx in range(SS):
                    px = (x + (sx + 0.5) / SS) / size
                    py = (y + (sy + 0.5) / SS) / size
                    r, g, b, a = cover(px, py)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = SS * SS
            alpha = acc[3] / n
            if alpha > 0:
                row += bytes(int(round(c / acc[3])) for c in acc[:3])
            else:
                row += b"\0\0\0"
            row.append(int(round(alpha * 255)))
        rows.append(bytes(row))

    def chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data))

    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
    data += chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


def in_rounded(px, py, margin, radius):
    x = min(max(px, margin + radius), 1 - margin - radius)
    y = min(max(py, margin + radius), 1 - margin - radius)
    return math.hypot(px - x, py - y) <= radius


def in_polygon(px, py, pts):
    inside = False
    j = len(pts) - 1
    for i in range(len(pts)):
        xi, yi = pts[i]
        xj, yj = pts[j]
        if (yi > py) != (yj > py) and px < (xj - xi) * (py - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


ARROW = [(0.5, 0.2), (0.76, 0.48), (0.6, 0.48), (0.6, 0.8), (0.4, 0.8), (0.4, 0.48), (0.24, 0.48)]


def logo(px, py):
    if not in_rounded(px, py, 0.04, 0.2):
        return (0, 0, 0, 0)
    if in_polygon(px, py, ARROW):
        return (255, 255, 255, 1)
    return (250, 156, 24, 1)


def failed(px, py):
    if math.hypot(px - 0.5, py - 0.5) > 0.46:
        return (0, 0, 0, 0)
    u, v = px - 0.5, py - 0.5
    if max(abs(u), abs(v)) < 0.22 and min(abs(u - v), abs(u + v)) < 0.09:
        return (255, 255, 255, 1)
    return (230, 67, 67, 1)


png(os.path.join(OUT, "PEZAupgradeLogo.png"), 154, logo)
png(os.path.join(OUT, "FailedLogo.png"), 88, failed)
