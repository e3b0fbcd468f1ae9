#!/usr/bin/env python3
"""Generates the cover creator's image library: data/imgspro/*.jpg, 400 x 450.

Every picture is computed pixel by pixel from fixed seeds (gradients, shapes,
noise), so a run always gives the same pictures. Each keeps its upper part
calm, where the two text lines go by default. The pixels are written as PPM
and turned into JPEG by ImageMagick's convert.

    python3 tools/make_imgspro.py [output folder]
"""

import math
import os
import random
import subprocess
import sys
import tempfile

W, H = 400, 450


# --- small helpers ---------------------------------------------------------

def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def smooth(e0, e1, v):
    t = clamp((v - e0) / (e1 - e0))
    return t * t * (3 - 2 * t)


def hexc(text):
    text = text.lstrip("#")
    return tuple(int(text[i:i + 2], 16) for i in (0, 2, 4))


def mix(a, b, t):
    return (a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t, a[2] + (b[2] - a[2]) * t)


def ramp(stops, t):
    """Colour at t of a gradient given as [(position, colour), ...]."""
    t = clamp(t)
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if t <= p1:
            return mix(c0, c1, smooth(0, 1, (t - p0) / (p1 - p0)) if p1 > p0 else 1)
    return stops[-1][1]


def cover(distance):
    """Anti-aliased coverage of a pixel whose centre lies distance pixels outside an edge."""
    return clamp(0.5 - distance)


class Noise:
    """Value noise on a lattice, with fractal sums."""

    def __init__(self, seed, size=256):
        rng = random.Random(seed)
        self.size = size
        self.values = [rng.random() for _ in range(size * size)]

    def at(self, x, y):
        s = self.size
        xi, yi = math.floor(x), math.floor(y)
        fx, fy = x - xi, y - yi
        fx, fy = fx * fx * (3 - 2 * fx), fy * fy * (3 - 2 * fy)
        v = self.values
        x0, x1, y0, y1 = xi % s, (xi + 1) % s, (yi % s) * s, ((yi + 1) % s) * s
        top = v[y0 + x0] + (v[y0 + x1] - v[y0 + x0]) * fx
        bottom = v[y1 + x0] + (v[y1 + x1] - v[y1 + x0]) * fx
        return top + (bottom - top) * fy

    def fbm(self, x, y, octaves=4):
        total, amplitude, norm = 0.0, 1.0, 0.0
        for _ in range(octaves):
            total += self.at(x, y) * amplitude
            norm += amplitude
            x, y, amplitude = x * 2.03, y * 2.03, amplitude * 0.5
        return total / norm


class Canvas:
    def __init__(self, shader):
        self.pixels = [shader(x + 0.5, y + 0.5) for y in range(H) for x in range(W)]

    def grain(self, seed, amount):
        """A little film grain keeps smooth gradients from banding in JPEG."""
        rng = random.Random(seed)
        self.pixels = [tuple(c + (rng.random() - 0.5) * amount for c in p) for p in self.pixels]

    def ppm(self):
        out = bytearray(b"P6 %d %d 255\n" % (W, H))
        for p in self.pixels:
            out.extend(int(clamp(c, 0, 255) + 0.5) if c < 254.5 else 255 for c in p)
        return bytes(out)


# --- the pictures -----------------------------------------------------------

def sunset_hills():
    sky = [(0.0, hexc("1c1d4a")), (0.35, hexc("4b2c6f")), (0.58, hexc("c4527a")),
           (0.70, hexc("f08a5d")), (0.76, hexc("ffc77a")), (1.0, hexc("ffc77a"))]
    hills = [
        (300, hexc("7a3b6e"), [(0.018, 14, 0.3), (0.041, 6, 1.7)]),
        (338, hexc("54285a"), [(0.013, 18, 2.1), (0.037, 7, 0.4)]),
        (384, hexc("2f1740"), [(0.010, 22, 4.0), (0.029, 8, 2.9)]),
    ]
    sun = (262.0, 300.0, 46.0)

    def shade(x, y):
        c = ramp(sky, y / 340)
        d = math.hypot(x - sun[0], y - sun[1])
        c = mix(c, (255, 238, 190), 0.55 * math.exp(-((d / 120) ** 2)))
        c = mix(c, (255, 236, 178), cover(d - sun[2]))
        for base, colour, waves in hills:
            top = base + sum(a * math.sin(x * f + p) for f, a, p in waves)
            c = mix(c, colour, cover(top - y))
        return c
    return shade


def ocean_waves():
    noise = Noise(11)
    deep = [(0.0, hexc("0b2545")), (0.55, hexc("13497a")), (1.0, hexc("1d7ea8"))]
    layers = [
        (310, 10, 0.022, 0.0, hexc("1f8fb0")),
        (345, 12, 0.019, 1.3, hexc("2aa7c2")),
        (380, 9, 0.027, 2.6, hexc("5cc6d0")),
        (414, 8, 0.031, 4.1, hexc("a6e3e0")),
    ]

    def shade(x, y):
        c = ramp(deep, y / H)
        c = mix(c, hexc("3e79a8"), 0.25 * noise.fbm(x / 90, y / 40))
        for base, amp, freq, phase, colour in layers:
            top = base + amp * math.sin(x * freq + phase) + amp * 0.4 * math.sin(x * freq * 2.7 + phase * 2)
            inside = cover(top - y)
            foam = cover(abs(y - top) - 1.2) * 0.65
            c = mix(c, colour, inside)
            c = mix(c, (240, 252, 252), foam)
        return c
    return shade


def aurora_night():
    noise = Noise(23)
    rng = random.Random(23)
    stars = [(rng.uniform(0, W), rng.uniform(0, 300), rng.uniform(0.4, 1.2)) for _ in range(110)]
    grid = {}
    for sx, sy, r in stars:
        grid.setdefault((int(sx) // 20, int(sy) // 20), []).append((sx, sy, r))
    sky = [(0.0, hexc("050a1f")), (0.6, hexc("0b1a3a")), (1.0, hexc("123253"))]

    def shade(x, y):
        c = ramp(sky, y / H)
        centre = 250 + 45 * math.sin(x * 0.012 + 0.8) + 25 * noise.fbm(x / 70, 3.0)
        band = math.exp(-(((y - centre) / 55) ** 2))
        streak = 0.55 + 0.45 * noise.fbm(x / 9, 1.0, 2)
        glow = band * streak * (0.6 + 0.4 * smooth(0, 60, centre + 40 - y))
        tint = mix(hexc("2de2a0"), hexc("5a7dff"), smooth(150, 330, y))
        c = mix(c, tint, clamp(glow * 0.9))
        for gx in (int(x) // 20 - 1, int(x) // 20, int(x) // 20 + 1):
            for gy in (int(y) // 20 - 1, int(y) // 20, int(y) // 20 + 1):
                for sx, sy, r in grid.get((gx, gy), ()):
                    d = math.hypot(x - sx, y - sy)
                    if d < 3:
                        c = mix(c, (240, 245, 255), clamp(r - d) * 0.9)
        ground = 410 + 10 * math.sin(x * 0.02) + 6 * math.sin(x * 0.057 + 1)
        return mix(c, hexc("03060f"), cover(ground - y))
    return shade


def bokeh_teal():
    rng = random.Random(31)
    lights = []
    for _ in range(34):
        y = rng.uniform(160, 470)
        r = rng.uniform(10, 24) + (y - 160) / 12
        colour = rng.choice([hexc("7ff3e1"), hexc("ffd58a"), hexc("9ad0ff"), hexc("ffffff")])
        lights.append((rng.uniform(-20, W + 20), y, r, colour, rng.uniform(0.12, 0.32)))
    base = [(0.0, hexc("062a30")), (0.5, hexc("0a4650")), (1.0, hexc("0d5f5a"))]

    def shade(x, y):
        c = ramp(base, (y * 0.8 + x * 0.3) / (H * 0.8 + W * 0.3))
        for lx, ly, r, colour, alpha in lights:
            d = math.hypot(x - lx, y - ly)
            if d < r + 2:
                edge = cover(d - r)
                rim = 0.35 * cover(abs(d - r + 1.5) - 1.0)
                c = mix(c, colour, clamp(edge * alpha + rim * alpha))
        return c
    return shade


def diagonal_stripes():
    paper = hexc("f6efe3")
    colours = [hexc("e4572e"), hexc("17324d"), hexc("f3a712"), hexc("29a19c")]
    noise = Noise(41)

    def shade(x, y):
        c = mix(paper, hexc("eadfcb"), 0.5 * noise.fbm(x / 60, y / 60))
        u = x + y  # distance along the diagonal
        if u > 520:
            # Bands 34 pixels wide along the diagonal; their edges are smoothed across one pixel.
            local = (u - 520) % 34
            colour = colours[int((u - 520) // 34) % len(colours)]
            previous = colours[(int((u - 520) // 34) - 1) % len(colours)]
            edge = mix(previous, colour, clamp(local / 1.4)) if int((u - 520) // 34) > 0 else colour
            c = mix(c, edge, cover(520 - u))
        return c
    return shade


def mesh_gradient():
    points = [(40, 60, hexc("6a3cbc")), (360, 40, hexc("f25f8a")), (80, 420, hexc("ff9e5e")),
              (340, 400, hexc("3bb2e6")), (210, 250, hexc("b45ad6"))]

    def shade(x, y):
        total, acc = 0.0, [0.0, 0.0, 0.0]
        for px, py, colour in points:
            w = math.exp(-(((x - px) ** 2 + (y - py) ** 2) / (2 * 150.0 ** 2)))
            total += w
            for i in range(3):
                acc[i] += colour[i] * w
        return tuple(a / total for a in acc)
    return shade


def low_poly():
    rng = random.Random(53)
    cell = 50
    cols, rows = W // cell + 2, H // cell + 2
    pts = [[(i * cell + (rng.uniform(-18, 18) if 0 < i < cols - 1 else 0),
             j * cell + (rng.uniform(-18, 18) if 0 < j < rows - 1 else 0)) for i in range(cols)]
           for j in range(rows)]
    shades = {}
    palette = [(0.0, hexc("0f2c59")), (0.5, hexc("2b4c9b")), (0.8, hexc("5d4aa8")), (1.0, hexc("8a4fb5"))]

    def tri_colour(key, cx, cy):
        if key not in shades:
            base = ramp(palette, (cx * 0.4 + cy) / (W * 0.4 + H))
            shades[key] = mix(base, (255, 255, 255), rng.uniform(0.0, 0.12))
        return shades[key]

    def inside(p, a, b, c):
        d1 = (p[0] - b[0]) * (a[1] - b[1]) - (a[0] - b[0]) * (p[1] - b[1])
        d2 = (p[0] - c[0]) * (b[1] - c[1]) - (b[0] - c[0]) * (p[1] - c[1])
        d3 = (p[0] - a[0]) * (c[1] - a[1]) - (c[0] - a[0]) * (p[1] - a[1])
        neg = d1 < 0 or d2 < 0 or d3 < 0
        pos = d1 > 0 or d2 > 0 or d3 > 0
        return not (neg and pos)

    def shade(x, y):
        i0, j0 = int(x // cell), int(y // cell)
        for j in (j0, j0 - 1, j0 + 1):
            for i in (i0, i0 - 1, i0 + 1):
                if 0 <= i < cols - 1 and 0 <= j < rows - 1:
                    a, b, c, d = pts[j][i], pts[j][i + 1], pts[j + 1][i], pts[j + 1][i + 1]
                    for k, tri in enumerate(((a, b, d), (a, d, c))):
                        if inside((x, y), *tri):
                            cx = sum(p[0] for p in tri) / 3
                            cy = sum(p[1] for p in tri) / 3
                            colour = tri_colour((i, j, k), cx, cy)
                            # The upper part stays darker and quieter for the text.
                            return mix(colour, hexc("0f2c59"), 0.55 * (1 - smooth(60, 260, y)))
        return palette[0][1]
    return shade


def paper_band():
    noise = Noise(61)
    fibres = Noise(62)

    def shade(x, y):
        grain = noise.fbm(x / 3, y / 3, 3)
        fibre = fibres.fbm(x / 40, y / 2.5, 3)
        c = mix(hexc("fbf6ec"), hexc("e9dcc3"), 0.35 * grain + 0.25 * fibre)
        band_top = 360
        c = mix(c, mix(hexc("b5472f"), hexc("963522"), grain), cover(band_top - y))
        c = mix(c, hexc("d9a441"), cover(abs(y - (band_top - 9)) - 1.5))
        return c
    return shade


def forest_mist():
    rng = random.Random(71)
    rows = []
    for depth, (base, height, colour) in enumerate(
            [(300, 70, hexc("8fa89b")), (340, 85, hexc("5f7f6f")), (385, 100, hexc("36544a")),
             (440, 120, hexc("1b3129"))]):
        trees = []
        x = rng.uniform(-30, 0)
        while x < W + 30:
            trees.append((x, base + rng.uniform(-8, 8), height * rng.uniform(0.7, 1.1)))
            x += rng.uniform(18, 34) + depth * 4
        rows.append((trees, colour))
    sky = [(0.0, hexc("cfe0d8")), (0.6, hexc("e7efe6")), (1.0, hexc("f4f1e4"))]

    def shade(x, y):
        c = ramp(sky, y / 320)
        for trees, colour in rows:
            best = -1e9
            for tx, ty, th in trees:
                half = th * 0.28
                if abs(x - tx) > half + 1 or y > ty + 80:
                    continue
                # A pine: a triangle from its tip down to the row's ground.
                slope = th / half
                edge = (ty - th) + abs(x - tx) * slope
                best = max(best, (y - edge) / math.hypot(1, slope))
            ground_top = min(t[1] for t in trees) + 20
            inside = max(cover(-best), cover(ground_top - y))
            c = mix(c, colour, inside)
        return c
    return shade


def city_night():
    rng = random.Random(83)
    buildings = []
    x = -5
    while x < W:
        w = rng.uniform(26, 58)
        buildings.append((x, x + w, rng.uniform(300, 395)))
        x += w + rng.uniform(-6, 2)
    windows = {}
    sky = [(0.0, hexc("141b3d")), (0.45, hexc("3b2c63")), (0.75, hexc("a2497b")), (1.0, hexc("f08b5a"))]

    def lit(bx, col, row):
        key = (round(bx), col, row)
        if key not in windows:
            windows[key] = rng.random() < 0.38
        return windows[key]

    def shade(x, y):
        c = ramp(sky, y / 400)
        d = math.hypot(x - 300, y - 238)
        c = mix(c, (255, 244, 214), 0.35 * math.exp(-((d / 60) ** 2)))
        c = mix(c, hexc("fff3d6"), cover(d - 20))
        for left, right, top in buildings:
            if left - 1 <= x <= right + 1 and y >= top - 1:
                inside = min(cover(left - x), cover(x - right), cover(top - y))
                colour = hexc("141428")
                lx, ly = x - left - 6, y - top - 8
                if lx >= 0 and ly >= 0 and x < right - 6:
                    col, row = int(lx // 9), int(ly // 12)
                    if lx % 9 < 5 and ly % 12 < 6 and lit(left, col, row):
                        colour = hexc("ffd27a")
                c = mix(c, colour, inside)
        return c
    return shade


def golden_rings():
    noise = Noise(91)

    def shade(x, y):
        c = mix(hexc("1e1e24"), hexc("2b2a33"), noise.fbm(x / 120, y / 120))
        d = math.hypot(x - 430, y - 480)
        ring = abs(((d + 6) % 22) - 11)
        strength = smooth(470, 120, d)
        c = mix(c, hexc("d4a84f"), cover(ring - 1.1) * strength)
        c = mix(c, hexc("d4a84f"), 0.18 * math.exp(-((d / 140) ** 2)))
        return c
    return shade


def halftone():
    def shade(x, y):
        c = mix(hexc("10163a"), hexc("1a2458"), y / H)
        step = 16
        cx, cy = (x // step) * step + step / 2, (y // step) * step + step / 2
        t = clamp((cx * 0.6 + cy - 220) / 420)
        radius = 7.2 * t
        if radius > 0.2:
            colour = mix(hexc("26d0ce"), hexc("ff4fa3"), clamp((cx - cy + 200) / 500))
            c = mix(c, colour, cover(math.hypot(x - cx, y - cy) - radius))
        return c
    return shade


def marble():
    noise = Noise(101)
    fine = Noise(102)

    def shade(x, y):
        turbulence = noise.fbm(x / 90, y / 90, 5)
        # Soft veins where a slanted sine wave, bent by the noise, crosses zero.
        main = 1 - abs(math.sin((x * 0.8 + y * 0.6) / 55 + turbulence * 6))
        thin = 1 - abs(math.sin((x * 0.3 - y * 0.9) / 23 + fine.fbm(x / 40, y / 40, 4) * 9))
        c = mix(hexc("f8f6f3"), hexc("e9e5df"), noise.fbm(x / 30, y / 30, 3))
        c = mix(c, hexc("a39c92"), 0.55 * main ** 14)
        c = mix(c, hexc("b9b2a8"), 0.35 * thin ** 30)
        c = mix(c, hexc("c9a45c"), 0.45 * main ** 60 * smooth(180, 420, y))
        return c
    return shade


def bauhaus():
    def shade(x, y):
        c = hexc("f2ebdf")
        # A half disc on the ground, a quarter disc in the corner, a sun and a bar.
        c = mix(c, hexc("1f4e79"), cover(math.hypot(x - 95, y - 452) - 125))
        c = mix(c, hexc("e07a3f"), cover(math.hypot(x - 400, y - 450) - 150) * cover(300 - x + 0.5))
        c = mix(c, hexc("e9b44c"), cover(math.hypot(x - 250, y - 300) - 42))
        c = mix(c, hexc("2f2f2f"), cover(abs(y - 395) - 5) * cover(175 - x) * cover(x - 400))
        c = mix(c, hexc("8c2f39"), cover(abs(x - 352) - 14) * cover(265 - y) * cover(y - 330))
        return c
    return shade


PICTURES = [
    ("sunset_hills", sunset_hills, 4),
    ("ocean_waves", ocean_waves, 4),
    ("aurora_night", aurora_night, 5),
    ("bokeh_teal", bokeh_teal, 4),
    ("diagonal_stripes", diagonal_stripes, 3),
    ("mesh_gradient", mesh_gradient, 5),
    ("low_poly", low_poly, 3),
    ("paper_band", paper_band, 2),
    ("forest_mist", forest_mist, 3),
    ("city_night", city_night, 4),
    ("golden_rings", golden_rings, 4),
    ("halftone", halftone, 3),
    ("marble", marble, 2),
    ("bauhaus", bauhaus, 3),
]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "data", "imgspro")
    only = set(sys.argv[2:])
    os.makedirs(out, exist_ok=True)
    with tempfile.TemporaryDirectory() as tmp:
        for seed, (name, make, grain) in enumerate(PICTURES):
            if only and name not in only:
                continue
            canvas = Canvas(make())
            canvas.grain(1000 + seed, grain)
            ppm = os.path.join(tmp, name + ".ppm")
            with open(ppm, "wb") as f:
                f.write(canvas.ppm())
            target = os.path.join(out, name + ".jpg")
            subprocess.run(["convert", ppm, "-strip", "-sampling-factor", "4:2:0", "-quality", "90", target],
                           check=True)
            print(target)


if __name__ == "__main__":
    main()
