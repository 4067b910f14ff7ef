#!/usr/bin/env python3
"""Draws the skin images of KQ and TessaroSetup and writes each program's skin image store.

Run: python3 resources/make_skin_images.py OUTPUT_FOLDER. It writes KQ.skinstore and TessaroSetup.skinstore;
the build runs it and embeds each store as the RCDATA resource SKINIMAGESTORE of its program.

Store layout (little-endian): the 8 bytes "KQSKIN01", the 32-bit item count, then per item: name and
description (16-bit byte count, UTF-8), draw mode (8 bits: 0 opaque, 1 blend), resampler class name
(16-bit byte count, UTF-8) and the bitmap's "Data" block with its 32-bit byte count (32-bit width and
height, then blue, green, red, alpha per pixel, rows top-down, alpha not premultiplied).
"""

import math
import os
import struct
import sys

DM_OPAQUE, DM_BLEND = 0, 1
RESAMPLER = "TNearestResampler"

# Colours as (red, green, blue).
WHITE = (255, 255, 255)
BLACK = (0, 0, 0)
GLYPH = (84, 92, 104)          # toolbar glyphs on the light top bar
GLYPH_DARK = (44, 52, 64)
TEAL = (18, 160, 180)          # KQ's title colour
ACCENT = (38, 140, 214)        # focus and selection blue
ACCENT_DARK = (24, 104, 170)
CLOSE_RED = (232, 17, 35)
BORDER = (196, 200, 206)
DISABLED = (200, 203, 208)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def clamp01(v):
    return 0.0 if v < 0.0 else 1.0 if v > 1.0 else v


class Image:
    """Straight-alpha RGBA floats (0..255 colour, 0..1 alpha), composed with 'over'."""

    def __init__(self, width, height, fill=None):
        self.w, self.h = width, height
        n = width * height
        c = fill or (0, 0, 0)
        self.r = [float(c[0])] * n
        self.g = [float(c[1])] * n
        self.b = [float(c[2])] * n
        self.a = [1.0 if fill else 0.0] * n

    def put(self, x, y, colour, alpha):
        if alpha <= 0.0 or x < 0 or y < 0 or x >= self.w or y >= self.h:
            return
        i = y * self.w + x
        da = self.a[i]
        oa = alpha + da * (1.0 - alpha)
        if oa <= 0.0:
            return
        k = da * (1.0 - alpha)
        self.r[i] = (colour[0] * alpha + self.r[i] * k) / oa
        self.g[i] = (colour[1] * alpha + self.g[i] * k) / oa
        self.b[i] = (colour[2] * alpha + self.b[i] * k) / oa
        self.a[i] = oa

    def fill(self, sdf, paint, alpha=1.0, box=None):
        """Covers the shape sdf(x, y) < 0 (distance in pixels) with paint: a colour or paint(x, y)."""
        x0, y0, x1, y1 = box or (0, 0, self.w, self.h)
        x0, y0 = max(0, int(x0) - 1), max(0, int(y0) - 1)
        x1, y1 = min(self.w, int(math.ceil(x1)) + 1), min(self.h, int(math.ceil(y1)) + 1)
        flat = not callable(paint)
        for y in range(y0, y1):
            py = y + 0.5
            for x in range(x0, x1):
                cover = clamp01(0.5 - sdf(x + 0.5, py))
                if cover > 0.0:
                    self.put(x, y, paint if flat else paint(x + 0.5, py), cover * alpha)

    def pixel(self, x, y):
        i = y * self.w + x
        return (self.r[i], self.g[i], self.b[i], self.a[i])

    def data(self):
        out = bytearray(struct.pack("<ii", self.w, self.h))
        for i in range(self.w * self.h):
            a = self.a[i]
            if a <= 0.0:
                out += b"\0\0\0\0"
            else:
                out += bytes((int(round(self.b[i])), int(round(self.g[i])), int(round(self.r[i])),
                              int(round(255 * a))))
        return bytes(out)


def strip(frames, vertical=False):
    """Frames of equal size side by side (or stacked) in one image."""
    fw, fh = frames[0].w, frames[0].h
    out = Image(fw if vertical else fw * len(frames), fh * len(frames) if vertical else fh)
    for n, f in enumerate(frames):
        ox, oy = (0, n * fh) if vertical else (n * fw, 0)
        for y in range(fh):
            for x in range(fw):
                i, j = y * fw + x, (y + oy) * out.w + x + ox
                out.r[j], out.g[j], out.b[j], out.a[j] = f.r[i], f.g[i], f.b[i], f.a[i]
    return out


# --- Shapes as signed distance functions

def rounded_box(x0, y0, x1, y1, radius):
    cx, cy, hx, hy = (x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2, (y1 - y0) / 2

    def d(x, y):
        qx, qy = abs(x - cx) - hx + radius, abs(y - cy) - hy + radius
        return math.hypot(max(qx, 0.0), max(qy, 0.0)) + min(max(qx, qy), 0.0) - radius
    return d


def ring(shape, width):
    """The band of the given width just inside the shape's edge."""
    return lambda x, y: abs(shape(x, y) + width / 2) - width / 2


def circle(cx, cy, radius):
    return lambda x, y: math.hypot(x - cx, y - cy) - radius


def segment_distance(x, y, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = clamp01(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy or 1.0))
    return math.hypot(x - ax - t * dx, y - ay - t * dy)


def polyline(points, width):
    def d(x, y):
        return min(segment_distance(x, y, *points[i], *points[i + 1]) for i in range(len(points) - 1)) - width / 2
    return d


def polygon(points):
    """Convex polygon, points clockwise on screen."""
    edges = []
    for i in range(len(points)):
        (ax, ay), (bx, by) = points[i], points[(i + 1) % len(points)]
        length = math.hypot(bx - ax, by - ay)
        edges.append((ax, ay, (by - ay) / length, -(bx - ax) / length))

    def d(x, y):
        return max((x - ax) * nx + (y - ay) * ny for ax, ay, nx, ny in edges)
    return d


def arc(cx, cy, radius, start, sweep, width):
    """Arc from angle start (degrees, clockwise on screen from 3 o'clock) over sweep degrees."""
    def d(x, y):
        a = math.degrees(math.atan2(y - cy, x - cx)) % 360.0
        if (a - start) % 360.0 <= sweep:
            return abs(math.hypot(x - cx, y - cy) - radius) - width / 2
        ends = [(cx + radius * math.cos(math.radians(t)), cy + radius * math.sin(math.radians(t)))
                for t in (start, start + sweep)]
        return min(math.hypot(x - ex, y - ey) for ex, ey in ends) - width / 2
    return d


def bbox(points, pad=2):
    xs, ys = [p[0] for p in points], [p[1] for p in points]
    return (min(xs) - pad, min(ys) - pad, max(xs) + pad, max(ys) + pad)


def vgrad(y0, y1, top, bottom):
    return lambda x, y: mix(top, bottom, clamp01((y - y0) / max(1.0, y1 - y0)))


# --- Button faces

def face(w, h, state, radius=3, normal=None):
    """A plain raised button face: 'normal', 'hot', 'pressed', 'disabled' or 'focused'."""
    tops = {"normal": (252, 252, 253), "hot": (240, 247, 255), "pressed": (214, 222, 232),
            "disabled": (244, 244, 245), "focused": (246, 250, 255)}
    bottoms = {"normal": (232, 234, 238), "hot": (218, 233, 250), "pressed": (226, 232, 240),
               "disabled": (238, 238, 240), "focused": (226, 236, 248)}
    borders = {"normal": (172, 178, 188), "hot": (92, 156, 220), "pressed": (110, 130, 156),
               "disabled": (210, 212, 216), "focused": ACCENT}
    img = Image(w, h)
    shape = rounded_box(0, 0, w, h, radius)
    img.fill(shape, vgrad(0, h, tops[state], bottoms[state]))
    img.fill(ring(shape, 1.0), borders[state])
    if state != "pressed":  # a light inner top line lifts the face
        img.fill(polyline([(radius, 1.5), (w - radius, 1.5)], 1.0), WHITE, 0.7)
    return img


def toolbar_frame(w, h, state):
    """The transparent top-bar button behind a glyph: nothing, a soft hover plate or a pressed plate."""
    img = Image(w, h)
    if state == "hot":
        img.fill(rounded_box(1, 1, w - 1, h - 1, 4), (214, 224, 236), 0.9)
        img.fill(ring(rounded_box(1, 1, w - 1, h - 1, 4), 1.0), (182, 198, 218))
    elif state == "pressed":
        img.fill(rounded_box(1, 1, w - 1, h - 1, 4), (188, 202, 220))
        img.fill(ring(rounded_box(1, 1, w - 1, h - 1, 4), 1.0), (150, 170, 196))
    return img


def nav_arrow(w, h, state, direction):
    img = toolbar_frame(w, h, state)
    cx, cy = w / 2, h / 2 + (1 if state == "pressed" else 0)
    s = direction
    colour = GLYPH_DARK if state != "normal" else GLYPH
    shaft = [(cx - 6.5 * s, cy), (cx + 6.5 * s, cy)]
    head = [(cx + 1.0 * s, cy - 5.5), (cx + 6.5 * s, cy), (cx + 1.0 * s, cy + 5.5)]  # tip towards s
    img.fill(polyline(shaft, 2.0), colour, box=bbox(shaft))
    img.fill(polyline(head, 2.0), colour, box=bbox(head))
    return img


def reload_glyph(w, h, state):
    img = toolbar_frame(w, h, state)
    cx, cy = w / 2, h / 2 + (1 if state == "pressed" else 0)
    colour = GLYPH_DARK if state != "normal" else GLYPH
    img.fill(arc(cx, cy, 6.0, 330.0, 290.0, 2.0), colour, box=(cx - 9, cy - 9, cx + 9, cy + 9))
    # Arrowhead at the arc's open end (upper right), pointing along the turn.
    tip = polygon([(cx + 2.2, cy - 10.0), (cx + 8.6, cy - 6.4), (cx + 3.0, cy - 2.6)])
    img.fill(tip, colour, box=(cx, cy - 11, cx + 10, cy - 1))
    return img


def home_glyph(w, h, state):
    img = toolbar_frame(w, h, state)
    cx, cy = w / 2, h / 2 + (1 if state == "pressed" else 0)
    colour = GLYPH_DARK if state != "normal" else GLYPH
    roof = [(cx - 7, cy - 0.5), (cx, cy - 7), (cx + 7, cy - 0.5)]
    body = [(cx - 4.5, cy - 2), (cx - 4.5, cy + 6), (cx + 4.5, cy + 6), (cx + 4.5, cy - 2)]
    img.fill(polyline(roof, 2.0), colour, box=bbox(roof))
    img.fill(polyline(body, 2.0), colour, box=bbox(body))
    return img


def stop_glyph(w, h, state):
    img = toolbar_frame(w, h, state)
    cx, cy = w / 2, h / 2 + (1 if state == "pressed" else 0)
    colour = GLYPH_DARK if state != "normal" else GLYPH
    for a, b in (((cx - 5, cy - 5), (cx + 5, cy + 5)), ((cx + 5, cy - 5), (cx - 5, cy + 5))):
        img.fill(polyline([a, b], 2.0), colour, box=bbox([a, b]))
    return img


def caption_button(w, h, state, glyph, danger=False):
    """Title-bar minimise and close: a white glyph on the title colour; hot and pressed get a plate."""
    img = Image(w, h)
    if state == "hot":
        img.fill(rounded_box(0, 0, w, h, 0), CLOSE_RED if danger else WHITE, 0.92 if danger else 0.22)
    elif state == "pressed":
        img.fill(rounded_box(0, 0, w, h, 0), (176, 14, 28) if danger else BLACK, 0.92 if danger else 0.18)
    cx, cy = w / 2, h / 2
    if glyph == "min":
        pts = [(cx - 5, cy + 0.5), (cx + 5, cy + 0.5)]
        img.fill(polyline(pts, 1.4), WHITE, box=bbox(pts))
    elif glyph == "max":
        img.fill(ring(rounded_box(cx - 5, cy - 5, cx + 5, cy + 5, 0), 1.3), WHITE, box=(cx - 6, cy - 6, cx + 6, cy + 6))
    elif glyph == "restore":
        img.fill(ring(rounded_box(cx - 5, cy - 2, cx + 3, cy + 6, 0), 1.3), WHITE, box=(cx - 6, cy - 3, cx + 4, cy + 7))
        back = [(cx - 2, cy - 2.5), (cx - 2, cy - 5.35), (cx + 5.35, cy - 5.35), (cx + 5.35, cy + 2), (cx + 3, cy + 2)]
        img.fill(polyline(back, 1.3), WHITE, box=bbox(back))
    else:
        for a, b in (((cx - 5, cy - 5), (cx + 5, cy + 5)), ((cx + 5, cy - 5), (cx - 5, cy + 5))):
            img.fill(polyline([a, b], 1.4), WHITE, box=bbox([a, b]))
    return img


def check_box(size, state, radio=False, tick_colour=WHITE):
    """17 x 17 frames: unchecked, unchecked hot, checked, checked hot."""
    img = Image(size, size)
    checked = state.startswith("checked")
    hot = state.endswith("hot")
    o = (size - 13) / 2
    shape = circle(size / 2, size / 2, 6.5) if radio else rounded_box(o, o, o + 13, o + 13, 2.0)
    if checked and not radio:
        img.fill(shape, vgrad(o, o + 13, (64, 160, 230) if hot else (52, 146, 220), (36, 122, 198) if hot else ACCENT_DARK))
        tick = [(o + 3.0, o + 6.8), (o + 5.6, o + 9.4), (o + 10.2, o + 3.8)]
        img.fill(polyline(tick, 1.9), tick_colour, box=bbox(tick))
    else:
        img.fill(shape, vgrad(o, o + 13, WHITE, (236, 240, 245) if not hot else (226, 238, 252)))
        img.fill(ring(shape, 1.0), (96, 160, 224) if hot else (150, 158, 170))
        if checked:
            img.fill(circle(size / 2, size / 2, 3.4), ACCENT if not hot else (56, 156, 232))
    return img


def primary_button(w, h, state):
    """The installer's blue action button (caption drawn by the control in white)."""
    tops = {"normal": (56, 170, 236), "hot": (88, 190, 246), "pressed": (30, 128, 196)}
    bottoms = {"normal": (26, 130, 206), "hot": (48, 152, 224), "pressed": (24, 112, 178)}
    img = Image(w, h)
    shape = rounded_box(0, 0, w, h, 3.5)
    img.fill(shape, vgrad(0, h, tops[state], bottoms[state]))
    img.fill(ring(shape, 1.0), (20, 100, 168) if state != "hot" else (34, 122, 190))
    if state != "pressed":
        img.fill(polyline([(4, 1.5), (w - 4, 1.5)], 1.0), WHITE, 0.35)
    return img


def edit_border(w, h, hot):
    img = Image(w, h)
    shape = rounded_box(0, 0, w, h, 2.0)
    img.fill(shape, WHITE)
    if hot:
        img.fill(ring(shape, 1.0), (64, 150, 226))
        img.fill(ring(rounded_box(1, 1, w - 1, h - 1, 1.5), 1.0), (196, 224, 250))
    else:
        img.fill(ring(shape, 1.0), (190, 196, 204))
    return img


def bar(w, h, filled):
    img = Image(w, h)
    shape = rounded_box(0, 0.5, w, h - 0.5, (h - 1) / 2)
    if filled:
        img.fill(shape, vgrad(0, h, (118, 214, 120), (50, 164, 72)))
        img.fill(ring(shape, 1.0), (40, 138, 60))
        img.fill(polyline([(6, 2.5), (w - 6, 2.5)], 1.2), WHITE, 0.45)
    else:
        img.fill(shape, vgrad(0, h, (214, 218, 224), (238, 240, 243)))
        img.fill(ring(shape, 1.0), (176, 182, 190))
    return img


def shadow_border(w, h, depth=8):
    """The installer window's frame: a soft dark shadow fading out over the outer depth pixels."""
    img = Image(w, h)
    inner = rounded_box(depth, depth, w - depth, h - depth, 2.0)
    for y in range(h):
        for x in range(w):
            d = inner(x + 0.5, y + 0.5)
            if d > 0.0:
                t = clamp01(1.0 - d / depth)
                img.put(x, y, (20, 24, 30), 0.42 * t * t)
            elif d > -1.0:  # a hairline where the shadow meets the window
                img.put(x, y, (60, 70, 82), 0.55)
    return img


def msg_icon(kind):
    colours = {"Error": (220, 56, 48), "Warn": (240, 170, 30), "Info": (44, 136, 214),
               "OK": (52, 168, 83), "Question": (44, 136, 214)}
    img = Image(40, 40)
    if kind == "Warn":
        tri = polygon([(20, 3), (37.5, 35), (2.5, 35)])
        img.fill(tri, colours[kind])
        img.fill(polyline([(20, 13), (20, 25)], 3.2), WHITE, box=(16, 10, 24, 28))
        img.fill(circle(20, 30.5, 2.0), WHITE, box=(16, 27, 24, 34))
        return img
    img.fill(circle(20, 20, 17.5), vgrad(2, 38, mix(colours[kind], WHITE, 0.2), colours[kind]))
    if kind == "Error":
        for a, b in (((13, 13), (27, 27)), ((27, 13), (13, 27))):
            img.fill(polyline([a, b], 3.4), WHITE, box=bbox([a, b]))
    elif kind == "Info":
        img.fill(circle(20, 11.5, 2.3), WHITE, box=(16, 8, 24, 15))
        img.fill(polyline([(20, 17), (20, 30)], 3.4), WHITE, box=(16, 14, 24, 32))
    elif kind == "OK":
        tick = [(11.5, 20.5), (17.5, 26.5), (29, 14)]
        img.fill(polyline(tick, 3.4), WHITE, box=bbox(tick))
    else:
        img.fill(arc(20, 15.5, 5.0, 180.0, 250.0, 3.2), WHITE, box=(12, 7, 28, 24))
        img.fill(polyline([(21.7, 20.2), (20, 22.5), (20, 24)], 3.2), WHITE, box=(16, 18, 25, 26))
        img.fill(circle(20, 29.5, 2.1), WHITE, box=(16, 26, 24, 33))
    return img


def glyph_frames(fw, fh, count, draw):
    """count frames from draw(img, frame_index), each on a transparent fw x fh image."""
    frames = []
    for n in range(count):
        img = Image(fw, fh)
        draw(img, n)
        frames.append(img)
    return frames


def chevron(img, cx, cy, direction, colour, size=3.0, width=1.6):
    dx, dy = {"down": (0, 1), "up": (0, -1), "left": (-1, 0), "right": (1, 0)}[direction]
    px, py = -dy, dx
    pts = [(cx - dx * size / 2 + px * size, cy - dy * size / 2 + py * size),
           (cx + dx * size / 2, cy + dy * size / 2),
           (cx - dx * size / 2 - px * size, cy - dy * size / 2 - py * size)]
    img.fill(polyline(pts, width), colour, box=bbox(pts))


def plate(w, h, colour, alpha=1.0, radius=2.0, edge=None):
    img = Image(w, h)
    shape = rounded_box(0, 0, w, h, radius)
    img.fill(shape, colour, alpha)
    if edge:
        img.fill(ring(shape, 1.0), edge)
    return img


# --- Backgrounds

def leaf_background(w, h):
    """KQ's window: a teal title band over a pale body with large, faint leaves at the upper right."""
    img = Image(w, h, (246, 250, 249))
    for y in range(h):
        if y < 28:
            c = mix(mix(TEAL, WHITE, 0.08), TEAL, y / 27)
        else:
            c = mix((236, 246, 245), (250, 252, 252), clamp01((y - 28) / 300))
        row = y * w
        for x in range(w):
            img.r[row + x], img.g[row + x], img.b[row + x] = c

    def leaf(cx, cy, length, width, angle, colour, alpha):
        ca, sa = math.cos(math.radians(angle)), math.sin(math.radians(angle))
        half = length / 2
        # A vesica: two circles' overlap, long axis along the angle.
        r = (half * half + width * width / 4) / width
        off = r - width / 2

        def local(x, y):
            dx, dy = x - cx, y - cy
            return dx * ca + dy * sa, -dx * sa + dy * ca

        def shape(x, y):
            u, v = local(x, y)
            return max(math.hypot(u, v - off) - r, math.hypot(u, v + off) - r)

        def vein(x, y):
            u, v = local(x, y)
            return max(abs(v) - 0.9, abs(u) - half * 0.85)

        box = (cx - half - 2, cy - half - 2, cx + half + 2, cy + half + 2)
        img.fill(shape, colour, alpha, box=box)
        img.fill(vein, mix(colour, WHITE, 0.55), alpha, box=box)

    for cx, cy, length, width, angle, alpha in (
            (1010, 120, 230, 80, -35, 0.16), (930, 70, 170, 60, 20, 0.12), (1060, 260, 190, 64, -70, 0.10),
            (860, 170, 140, 48, -10, 0.08), (985, 370, 150, 50, 40, 0.07)):
        leaf(cx, cy, length, width, angle, (64, 160, 120), alpha)
    return img


def afternoon(w, h):
    """The installer's background: a warm afternoon sky, the sun low at the right, soft hills, a calm field."""
    img = Image(w, h)
    sky_top, sky_low = (70, 140, 206), (250, 214, 160)
    sun_x, sun_y = 400.0, 96.0
    for y in range(h):
        base = mix(sky_top, sky_low, clamp01((y - 10) / 120.0))
        for x in range(w):
            d = math.hypot(x - sun_x, (y - sun_y) * 1.3)
            glow = math.exp(-d / 70.0) * 0.75
            c = mix(base, (255, 240, 200), glow)
            i = y * w + x
            img.r[i], img.g[i], img.b[i], img.a[i] = c[0], c[1], c[2], 1.0
    img.fill(circle(sun_x, sun_y, 15.0), (255, 246, 222), 0.95, box=(380, 76, 420, 116))

    def hill(base, amp, period, phase, colour_top, colour_low):
        img.fill(lambda x, y: base - amp * math.sin(x / period + phase) - y,
                 vgrad(base - amp, h, colour_top, colour_low), box=(0, base - amp - 2, w, h))

    hill(128.0, 12.0, 70.0, 0.4, (156, 178, 146), (128, 156, 128))
    hill(142.0, 9.0, 52.0, 2.1, (126, 164, 112), (104, 142, 96))
    # The field under the hills stays calm and light: the window's texts and controls sit on it.
    for y in range(150, h):
        t = clamp01((y - 150) / 18.0)
        for x in range(w):
            img.put(x, y, (250, 248, 242), 0.94 * t)
    return img


# --- The stores

def kq_images():
    toolbar = ["normal", "hot", "pressed"]
    return [
        ("skin_bk_leaf", DM_OPAQUE, leaf_background(1100, 640)),
        ("sysminimize", DM_BLEND, strip([caption_button(30, 27, s, "min") for s in toolbar])),
        ("sysclose", DM_BLEND, strip([caption_button(30, 27, s, "close", danger=True) for s in toolbar])),
        ("a6", DM_BLEND, strip([stop_glyph(31, 29, s) for s in toolbar])),
        ("a3", DM_BLEND, strip([reload_glyph(31, 29, s) for s in toolbar])),
        ("a2", DM_BLEND, strip([nav_arrow(28, 29, s, 1) for s in toolbar])),
        ("a1", DM_BLEND, strip([nav_arrow(29, 29, s, -1) for s in toolbar])),
        ("a5", DM_BLEND, strip([home_glyph(31, 29, s) for s in toolbar])),
    ]


def scrollbar_images():
    states = {"normal": (205, 209, 215), "highlight": (178, 184, 194), "down": (150, 158, 170)}
    out = []

    def arrow(w, h, direction, state):
        img = Image(w, h)
        if state != "normal":
            img.fill(rounded_box(0, 0, w, h, 1.5), states[state], 0.6)
        chevron(img, w / 2, h / 2, direction, (110, 118, 130) if state == "normal" else (60, 66, 76), 2.5, 1.4)
        return img

    def thumb(w, h, state, vertical):
        img = plate(w, h, states[state], radius=min(w, h) / 2 - 0.5)
        cx, cy = w / 2, h / 2
        for k in (-2, 0, 2):  # grip lines
            pts = [(cx - 2, cy + k), (cx + 2, cy + k)] if vertical else [(cx + k, cy - 2), (cx + k, cy + 2)]
            img.fill(polyline(pts, 0.9), WHITE, 0.8, box=bbox(pts))
        return img

    out += [("SkinScrollbar_bar_" + s, DM_BLEND, thumb(10, 42, s, True)) for s in ("down", "highlight", "normal")]
    out.append(("SkinScrollbar_bkg", DM_BLEND, plate(10, 62, (240, 241, 243), radius=0)))
    out.append(("SkinScrollbar_arrowdown_normal", DM_BLEND, arrow(10, 9, "down", "normal")))
    out.append(("SkinScrollbar_arrowup_normal", DM_BLEND, arrow(10, 9, "up", "normal")))
    out.append(("SkinScrollbar_horz_bkg", DM_BLEND, plate(34, 10, (240, 241, 243), radius=0)))
    out += [("SkinScrollbar_horzbar_" + s, DM_BLEND, thumb(34, 10, s, False)) for s in ("down", "highlight", "normal")]
    out.append(("SkinScrollbar_arrowleft_normal", DM_BLEND, arrow(9, 10, "left", "normal")))
    out.append(("SkinScrollbar_arrowright_normal", DM_BLEND, arrow(9, 10, "right", "normal")))
    out.append(("SkinScrollbar_arrowdown_down", DM_BLEND, arrow(10, 9, "down", "down")))
    out.append(("SkinScrollbar_arrowdown_highlight", DM_BLEND, arrow(10, 9, "down", "highlight")))
    for d in ("left", "right"):
        out.append(("SkinScrollbar_arrow%s_down" % d, DM_BLEND, arrow(9, 10, d, "down")))
        out.append(("SkinScrollbar_arrow%s_highlight" % d, DM_BLEND, arrow(9, 10, d, "highlight")))
    out.append(("SkinScrollbar_arrowup_down", DM_BLEND, arrow(10, 9, "up", "down")))
    out.append(("SkinScrollbar_arrowup_highlight", DM_BLEND, arrow(10, 9, "up", "highlight")))
    return out


def setup_images():
    three = ["normal", "hot", "pressed"]
    four = ["unchecked", "unchecked_hot", "checked", "checked_hot"]
    dark_caption = lambda w, h, s, g: caption_button(w, h, s, g)  # noqa: E731

    def dropdown(img, n):
        colour = [(96, 104, 116), (40, 48, 60), (20, 28, 40), (180, 184, 190)][n]
        chevron(img, img.w / 2, img.h / 2 + 1, "down", colour, 3.0, 1.5)

    def flat(w, h, state):
        if state == "normal":
            return Image(w, h)
        return plate(w, h, (252, 236, 174) if state == "hot" else (250, 224, 124), edge=(214, 186, 96))

    def tab(w, h, colour, edge):
        img = plate(w, h, colour, radius=0)
        img.fill(polyline([(0, 0.5), (w, 0.5)], 1.0), edge, box=(0, 0, w, 2))
        return img

    def browse_strip(direction, vertical):
        frames = []
        for state in ("normal", "hot", "pressed", "disabled"):
            w, h = (29, 30) if vertical else (30, 29)
            img = toolbar_frame(w, h, state if state in ("hot", "pressed") else "normal")
            colour = DISABLED if state == "disabled" else GLYPH
            chevron(img, w / 2, h / 2, direction, colour, 4.0, 2.0)
            frames.append(img)
        return strip(frames, vertical)

    def spin(direction, state):
        img = face(23, 12, {"normal": "normal", "highlight": "hot", "pushed": "pressed"}[state], radius=2)
        chevron(img, 11.5, 6, direction, GLYPH_DARK, 2.5, 1.4)
        return img

    def switch(on):
        frames = []
        for state in ("normal", "hot", "disabled"):
            img = Image(34, 17)
            track = rounded_box(1, 1.5, 33, 15.5, 7.0)
            colour = (52, 168, 83) if on else (190, 196, 204)
            if state == "hot":
                colour = mix(colour, WHITE, 0.15)
            if state == "disabled":
                colour = mix(colour, WHITE, 0.5)
            img.fill(track, colour)
            img.fill(circle(26 if on else 8, 8.5, 5.5), WHITE)
            frames.append(img)
        return strip(frames)

    def menu_mark(radio):
        def draw(img, n):
            colour = [GLYPH_DARK, WHITE, DISABLED][n]
            if radio:
                img.fill(circle(10, 10, 3.0), colour, box=(5, 5, 15, 15))
            else:
                tick = [(5.5, 10.5), (8.5, 13.5), (14.5, 6.5)]
                img.fill(polyline(tick, 1.8), colour, box=bbox(tick))
        return strip(glyph_frames(20, 20, 3, draw))

    def sub_arrow(img, n):
        chevron(img, 3.5, 5.5, "right", [GLYPH_DARK, WHITE, DISABLED][n], 3.0, 1.4)

    def tips_close(img, n):
        if n:
            img.fill(circle(9, 9, 8.5), CLOSE_RED if n == 1 else (176, 14, 28))
        colour = WHITE if n else (120, 126, 136)
        for a, b in (((5.5, 5.5), (12.5, 12.5)), ((12.5, 5.5), (5.5, 12.5))):
            img.fill(polyline([a, b], 1.5), colour, box=bbox([a, b]))

    def mini_close(img, n):
        colour = (120, 126, 136) if n == 0 else CLOSE_RED
        for a, b in (((3, 3), (9, 9)), ((9, 3), (3, 9))):
            img.fill(polyline([a, b], 1.4), colour, box=bbox([a, b]))

    def cancel(hot):
        img = Image(18, 18)
        img.fill(circle(9, 9, 7.5), (200, 204, 210) if not hot else (150, 156, 166))
        for a, b in (((6, 6), (12, 12)), ((12, 6), (6, 12))):
            img.fill(polyline([a, b], 1.5), WHITE, box=bbox([a, b]))
        return img

    def expand(open_):
        img = plate(17, 17, WHITE, edge=(160, 166, 176))
        img.fill(polyline([(5, 8.5), (12, 8.5)], 1.2), GLYPH_DARK, box=(4, 7, 13, 10))
        if not open_:
            img.fill(polyline([(8.5, 5), (8.5, 12)], 1.2), GLYPH_DARK, box=(7, 4, 10, 13))
        return img

    def drop_arrow(hot):
        img = Image(23, 24)
        if hot:
            img.fill(rounded_box(0, 0, 23, 24, 2), (218, 233, 250))
        chevron(img, 11.5, 12.5, "down", GLYPH_DARK if hot else GLYPH, 3.5, 1.6)
        return img

    def calendar(hot):
        frames = []
        for f in range(1):
            img = Image(25, 16)
            colour = ACCENT if hot else GLYPH
            img.fill(ring(rounded_box(6, 2, 19, 15, 1.5), 1.2), colour, box=(5, 1, 20, 16))
            img.fill(rounded_box(6, 2, 19, 5, 1.0), colour, box=(5, 1, 20, 6))
            for gx in (9, 12.5, 16):
                for gy in (8, 11.5):
                    img.fill(circle(gx, gy, 0.9), colour, box=(gx - 2, gy - 2, gx + 2, gy + 2))
            frames.append(img)
        return frames[0]

    def search_icon():
        img = Image(16, 14)
        img.fill(ring(circle(6.5, 6, 4.8), 1.6), GLYPH, box=(0, 0, 13, 12))
        img.fill(polyline([(10, 9.5), (14, 13)], 1.8), GLYPH, box=(8, 8, 16, 14))
        return img

    def keyboard():
        img = plate(20, 20, (250, 250, 251), edge=(150, 158, 170))
        for y in (6, 10):
            for x in (4, 8, 12, 16):
                img.fill(rounded_box(x - 1.2, y - 1.2, x + 1.2, y + 1.2, 0.4), GLYPH, box=(x - 2, y - 2, x + 2, y + 2))
        img.fill(rounded_box(5, 13.5, 15, 15.5, 0.5), GLYPH, box=(4, 12, 16, 17))
        return img

    def colour_tabs():
        img = Image(360, 40)
        palette = [(220, 56, 48), (240, 140, 30), (240, 200, 40), (52, 168, 83), (18, 160, 180), (44, 136, 214),
                   (110, 84, 190), (200, 80, 150), (120, 126, 136)]
        for n, c in enumerate(palette):
            x0 = n * 40
            img.fill(rounded_box(x0 + 4, 4, x0 + 36, 36, 4), c, box=(x0, 0, x0 + 40, 40))
        return img

    def preview():
        img = plate(60, 134, (250, 250, 252), radius=2, edge=BORDER)
        img.fill(rounded_box(6, 6, 54, 40, 1), (226, 236, 248), box=(5, 5, 55, 41))
        return img

    def drag_background():
        img = plate(12, 21, (236, 238, 241), radius=2, edge=BORDER)
        for y in (7.5, 10.5, 13.5):
            img.fill(polyline([(3.5, y), (8.5, y)], 1.0), (150, 158, 170), box=(2, y - 2, 10, y + 2))
        return img

    images = [
        ("SkinCheckBox", DM_BLEND, strip([check_box(17, s) for s in four])),
        ("SkinButton", DM_BLEND, strip([face(68, 27, s) for s in ("normal", "hot", "pressed", "disabled", "focused")])),
        ("SkinRadiobtn", DM_BLEND, strip([check_box(17, s, radio=True) for s in four])),
        ("SkinDropdownMenu", DM_BLEND, strip(glyph_frames(15, 32, 4, dropdown))),
        ("SkinFlatBtn", DM_BLEND, strip([flat(22, 22, s) for s in three])),
    ]
    images += [("SkinMsgIcon_" + k, DM_BLEND, msg_icon(k)) for k in ("Error", "Warn", "Info", "OK", "Question")]
    images += [
        ("SkinBorderHot", DM_BLEND, edit_border(20, 26, True)),
        ("SkinBorderNormal", DM_BLEND, edit_border(20, 26, False)),
        ("SkinBtn_close", DM_BLEND, strip([caption_button(39, 19, s, "close", danger=True) for s in three])),
        ("SkinBtn_max", DM_BLEND, strip([dark_caption(28, 19, s, "max") for s in three])),
        ("SkinBtn_mini", DM_BLEND, strip([dark_caption(28, 19, s, "min") for s in three])),
        ("SkinBtn_restore", DM_BLEND, strip([dark_caption(28, 19, s, "restore") for s in three])),
        ("SkinTips_close", DM_BLEND, strip(glyph_frames(18, 18, 3, tips_close))),
        ("SkinSlider_dragBackground", DM_BLEND, drag_background()),
        ("SkinPreview_bkg", DM_BLEND, preview()),
        ("SkinSlider_Aio_light_bkg", DM_BLEND, shadow_border(60, 134)),
        ("SkinPasswordchar", DM_BLEND, (lambda i: (i.fill(circle(3, 3, 2.6), GLYPH_DARK), i)[1])(Image(6, 6))),
        ("SkinKeyboard", DM_BLEND, keyboard()),
        ("SkinDrop_arrow_hot", DM_BLEND, drop_arrow(True)),
        ("SkinDrop_arrow_normal", DM_BLEND, drop_arrow(False)),
        ("SkinExpand_1", DM_BLEND, expand(False)),
        ("SkinExpand_2", DM_BLEND, expand(True)),
        ("SkinCancel_18_Normal", DM_BLEND, cancel(False)),
        ("SkinCancel_18_Hot", DM_BLEND, cancel(True)),
        ("SkinMenu_bk", DM_BLEND, plate(157, 38, (252, 252, 253), 0.97, radius=3, edge=(170, 176, 186))),
        ("SkinMenu_hilight", DM_BLEND, plate(22, 22, ACCENT, radius=2)),
        ("SkinMenu_sub_arrow", DM_BLEND, strip(glyph_frames(7, 11, 3, sub_arrow))),
        ("SkinMenu_icon_check", DM_BLEND, menu_mark(False)),
        ("SkinMenu_icon_radio", DM_BLEND, menu_mark(True)),
        ("SkinTabDown", DM_OPAQUE, tab(10, 35, WHITE, ACCENT)),
        ("SkinTabHover", DM_BLEND, tab(10, 35, (236, 242, 250), (150, 190, 230))),
        ("SkinTab_button_normal", DM_BLEND, plate(10, 25, (244, 245, 247), radius=2, edge=BORDER)),
        ("SkinTab_button_hot", DM_BLEND, plate(10, 25, (228, 238, 250), radius=2, edge=(120, 170, 224))),
        ("SkinTab_button_down", DM_BLEND, plate(10, 25, (210, 220, 234), radius=2, edge=(110, 130, 156))),
        ("SkinBar_base", DM_BLEND, bar(102, 13, False)),
        ("SkinBar_cur", DM_BLEND, bar(102, 13, True)),
    ]
    images += scrollbar_images()
    images += [
        ("SkinDrag_flag", DM_BLEND, (lambda i: (i.fill(polygon([(0.5, 0.5), (7.5, 4), (0.5, 7.5)]), ACCENT), i)[1])(Image(8, 8))),
        ("SkinSwitch_on", DM_BLEND, switch(True)),
        ("SkinSwitch_off", DM_BLEND, switch(False)),
        ("SkinMini_close_btn", DM_BLEND, strip(glyph_frames(12, 12, 2, mini_close))),
        ("SkinColor_tabs", DM_BLEND, colour_tabs()),
        ("SkinBrower_back", DM_BLEND, browse_strip("left", False)),
        ("SkinBrower_front", DM_BLEND, browse_strip("right", False)),
        ("SkinBrower_up", DM_BLEND, browse_strip("up", True)),
        ("SkinBrower_down", DM_BLEND, browse_strip("down", True)),
        ("SkinSearch_icon", DM_BLEND, search_icon()),
        ("SkinCalendar_18_N", DM_BLEND, calendar(False)),
        ("SkinCalendar_18_H", DM_BLEND, calendar(True)),
    ]
    for state in ("normal", "highlight", "pushed"):
        images.append(("SkinSpin_%s_up" % state, DM_BLEND, spin("up", state)))
    for state in ("normal", "highlight", "pushed"):
        images.append(("SkinSpin_%s_down" % state, DM_BLEND, spin("down", state)))
    images += [
        ("SkinToolbtn", DM_BLEND, strip([toolbar_frame(29, 29, s) for s in three])),
        ("button_login", DM_BLEND, strip([primary_button(194, 30, s) for s in three])),
        ("00601[36x22x8BPP]", DM_BLEND, edit_border(36, 22, True)),
        ("00603[36x22x8BPP]", DM_BLEND, edit_border(36, 22, False)),
        ("checkbox_tick", DM_BLEND, strip([check_box(17, s) for s in four])),
        ("sysclose", DM_BLEND, strip([caption_button(30, 27, s, "close", danger=True) for s in three])),
        ("sysminimize", DM_BLEND, strip([caption_button(30, 27, s, "min") for s in three])),
        ("1", DM_BLEND, strip([face(56, 32, s) for s in three])),
        ("afternoon", DM_OPAQUE, afternoon(500, 262)),
    ]
    return images


def store(images):
    def text(s):
        b = s.encode("utf-8")
        return struct.pack("<H", len(b)) + b

    out = bytearray(b"KQSKIN01" + struct.pack("<I", len(images)))
    for name, mode, img in images:
        data = img.data()
        out += text(name) + text("") + struct.pack("<B", mode) + text(RESAMPLER) + struct.pack("<I", len(data)) + data
    return bytes(out)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "skin-images")
    os.makedirs(folder, exist_ok=True)
    for program, images in (("KQ", kq_images()), ("TessaroSetup", setup_images())):
        path = os.path.join(folder, program + ".skinstore")
        with open(path + ".tmp", "wb") as f:
            f.write(store(images))
        os.replace(path + ".tmp", path)


if __name__ == "__main__":
    main()
