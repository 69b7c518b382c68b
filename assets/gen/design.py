"""Draw the pictures compiled into the program: the banner behind the
scrolling text and the four 22 x 22 toolbar icons.

Everything is drawn at a multiple of the final size and downscaled, so
edges are smooth; the banner is plain RGB, the icons RGBA.
"""
import math
import random
import sys

from PIL import Image, ImageDraw

INK = (38, 48, 86)


# ---------------------------------------------------------------- banner
BW, BH = 397, 65
BS = 4
HORIZON = 42


def lerp(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def gradient(stops, t):
    for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
        if t <= t1:
            return lerp(c0, c1, (t - t0) / (t1 - t0))
    return stops[-1][1]


# Evening sky.  The top 20 rows sit under bright yellow scrolling text,
# so they stay a deep, almost flat blue; the glow starts below them.
SKY = [(0, (14, 24, 66)), (20, (20, 38, 92)), (28, (52, 58, 120)),
       (35, (150, 92, 140)), (HORIZON, (250, 168, 112))]
SEA = [(HORIZON, (60, 92, 150)), (50, (34, 66, 122)), (BH, (18, 40, 90))]


def banner():
    rng = random.Random(7)
    W, H = BW * BS, BH * BS
    img = Image.new("RGB", (W, H))
    d = ImageDraw.Draw(img)
    for y in range(H):
        yy = y / BS
        c = gradient(SKY if yy < HORIZON else SEA, yy)
        d.line([(0, y), (W, y)], fill=c)

    # the sun going down into the sea, on the right beyond the text area;
    # its glow is layered with transparency so it fades into the sky
    sx, r = 318, 8
    glow = Image.new("RGBA", img.size)
    gd = ImageDraw.Draw(glow)
    for k in range(24, 0, -1):
        rr = r + k * 1.0
        gd.ellipse([(sx - rr) * BS, (HORIZON - rr * 0.8) * BS, (sx + rr) * BS,
                    (HORIZON + rr * 0.8) * BS], fill=(255, 190, 120, 9))
    img = Image.alpha_composite(img.convert("RGBA"), glow).convert("RGB")
    d = ImageDraw.Draw(img)
    d.ellipse([(sx - r) * BS, (HORIZON - r) * BS, (sx + r) * BS,
               (HORIZON + r) * BS], fill=(255, 226, 160))
    # the sea covers the lower half of the sun again
    for y in range(HORIZON * BS, H):
        d.line([(0, y), (W, y)], fill=gradient(SEA, y / BS))

    # a far island and Fuji-like peak on the left of the horizon
    d.polygon([(60 * BS, HORIZON * BS), (88 * BS, 31 * BS), (94 * BS, 30.5 * BS),
               (100 * BS, 31.5 * BS), (132 * BS, HORIZON * BS)], fill=(58, 52, 104))
    d.polygon([(86.5 * BS, 32.2 * BS), (88 * BS, 31 * BS), (94 * BS, 30.5 * BS),
               (100 * BS, 31.5 * BS), (102 * BS, 32.8 * BS), (97 * BS, 33.6 * BS),
               (94 * BS, 32.6 * BS), (90 * BS, 33.8 * BS)], fill=(120, 104, 160))
    d.polygon([(20 * BS, HORIZON * BS), (34 * BS, 38 * BS), (48 * BS, 39 * BS),
               (70 * BS, HORIZON * BS)], fill=(46, 44, 92))

    # glitter of the sun on the water, widening towards us
    for i in range(22):
        y = HORIZON + 1.2 + i * 1.05
        half = 4 + i * 0.9
        for _ in range(2):
            x0 = sx + rng.uniform(-half, half)
            ln = rng.uniform(2, 6)
            c = lerp((255, 220, 150), (200, 130, 120), i / 22)
            d.line([(x0 * BS, y * BS), ((x0 + ln) * BS, y * BS)], fill=c,
                   width=BS)
    # gentle swell lines across the sea
    for i in range(16):
        y = HORIZON + 3 + (i % 8) * 2.7 + rng.uniform(-0.4, 0.4)
        x0 = rng.uniform(0, BW - 40)
        ln = rng.uniform(10, 34)
        pts = [((x0 + k) * BS, (y + 0.5 * math.sin(k / 3.0)) * BS)
               for k in range(int(ln))]
        d.line(pts, fill=(96, 136, 190), width=BS)

    # a small boat with a sail, far out
    bx, by = 200, HORIZON + 5
    d.polygon([((bx - 6) * BS, by * BS), ((bx + 6) * BS, by * BS),
               ((bx + 4) * BS, (by + 2) * BS), ((bx - 4) * BS, (by + 2) * BS)],
              fill=(26, 30, 60))
    d.polygon([(bx * BS, (by - 9) * BS), (bx * BS, (by - 0.5) * BS),
               ((bx + 5) * BS, (by - 0.5) * BS)], fill=(240, 232, 220))
    d.line([(bx * BS, (by - 9.5) * BS), (bx * BS, by * BS)], fill=(26, 30, 60),
           width=BS // 2)

    # a firework in the sky to the right, outside the part under the text:
    # rays of sparks that fade and droop at their ends
    fx, fy = 372, 17
    d.ellipse([(fx - 1.2) * BS, (fy - 1.2) * BS, (fx + 1.2) * BS, (fy + 1.2) * BS],
              fill=(255, 240, 200))
    for k in range(18):
        a = 2 * math.pi * k / 18 + 0.15
        for j in range(7):
            rr = 2.2 + j * 1.6
            c = lerp((255, 250, 210), (240, 90, 140), j / 6)
            px, py = fx + rr * math.cos(a), fy + rr * math.sin(a) + j * j * 0.06
            s = 0.55 - j * 0.05
            d.ellipse([(px - s) * BS, (py - s) * BS, (px + s) * BS,
                       (py + s) * BS], fill=c)
    # first stars, also only outside the text area
    for _ in range(26):
        x = rng.uniform(240, BW - 2)
        y = rng.uniform(1, 26)
        if math.hypot(x - fx, y - fy) < 17:
            continue
        s = rng.uniform(0.3, 0.6)
        d.ellipse([(x - s) * BS, (y - s) * BS, (x + s) * BS, (y + s) * BS],
                  fill=(200, 210, 240))
    return img


# ----------------------------------------------------------------- icons
IS = 8          # supersampling for the 22 px icons


class Icon:
    def __init__(self):
        self.img = Image.new("RGBA", (22 * IS, 22 * IS))
        self.d = ImageDraw.Draw(self.img)

    def p(self, pts):
        return [(x * IS, y * IS) for x, y in pts]

    def poly(self, pts, fill=None, outline=INK, width=1.25):
        self.d.polygon(self.p(pts), fill=fill)
        if outline:
            q = self.p(pts)
            self.d.line(q + [q[0], q[1]], fill=outline, width=round(width * IS),
                        joint="curve")

    def line(self, pts, fill=INK, width=1.25):
        self.d.line(self.p(pts), fill=fill, width=round(width * IS), joint="curve")

    def circle(self, cx, cy, r, fill=None, outline=INK, width=1.25):
        box = [(cx - r) * IS, (cy - r) * IS, (cx + r) * IS, (cy + r) * IS]
        self.d.ellipse(box, fill=fill)
        if outline:
            w = round(width * IS)
            grow = w / 2
            self.d.ellipse([box[0] - grow, box[1] - grow, box[2] + grow,
                            box[3] + grow], outline=outline, width=w)

    def done(self):
        return self.img.resize((22, 22), Image.LANCZOS)


def icon_check():
    """Check mail now: an envelope, with a small fresh-mail dot."""
    ic = Icon()
    body = [(2.5, 6.5), (19.5, 6.5), (19.5, 17.5), (2.5, 17.5)]
    ic.poly(body, fill=(252, 252, 255))
    ic.poly([(2.5, 17.5), (9.0, 11.8), (13.0, 11.8), (19.5, 17.5)],
            fill=(214, 236, 250), outline=None)
    ic.line([(2.5, 17.5), (9.0, 11.8)], width=0.9)
    ic.line([(19.5, 17.5), (13.0, 11.8)], width=0.9)
    ic.poly([(2.5, 6.5), (19.5, 6.5), (11, 13.2)], fill=(160, 210, 240))
    ic.poly(body, outline=INK)
    ic.circle(17.8, 5.6, 2.6, fill=(240, 80, 60), width=1.0)
    return ic.done()


def icon_home():
    """Home page: a small house with a red roof."""
    ic = Icon()
    ic.poly([(5, 10.5), (17, 10.5), (17, 19), (5, 19)], fill=(252, 244, 222))
    ic.poly([(10.2, 19), (10.2, 14), (13.8, 14), (13.8, 19)], fill=(70, 140, 200),
            width=1.0)
    ic.poly([(6.6, 12.4), (9.0, 12.4), (9.0, 14.8), (6.6, 14.8)],
            fill=(150, 210, 240), width=0.9)
    ic.poly([(14.6, 3.5), (16.6, 3.5), (16.6, 8.0), (14.6, 7.0)],
            fill=(150, 110, 100), width=1.0)
    ic.poly([(1.8, 11.4), (11, 2.8), (20.2, 11.4)], fill=(232, 84, 66))
    return ic.done()


def icon_settings():
    """Settings: a gear."""
    ic = Icon()
    cx, cy = 11, 11
    teeth = 8
    pitch = 2 * math.pi / teeth
    pts = []
    for i in range(teeth):
        a0 = i * pitch
        # root, flank up, flat top, flank down: square-ish teeth
        for frac, r in ((0.00, 7.0), (0.12, 9.4), (0.45, 9.4), (0.57, 7.0)):
            a = a0 + frac * pitch
            pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    ic.poly(pts, fill=(130, 170, 200), width=1.1)
    ic.circle(cx, cy, 5.0, fill=(178, 208, 230), outline=None)
    ic.circle(cx, cy, 2.5, fill=(250, 252, 255), width=1.1)
    return ic.done()


def icon_ontop():
    """Stay on top: a red push pin, stuck in at a slant."""
    ic = Icon()
    # laid out along a 45-degree axis: needle bottom left, head top right
    ux, uy = math.cos(math.radians(-45)), math.sin(math.radians(-45))
    vx, vy = -uy, ux

    def at(t, s):
        return (2.6 + ux * t + vx * s, 19.4 + uy * t + vy * s)
    ic.line([at(0, 0), at(8.0, 0)], fill=(84, 94, 118), width=1.4)
    ic.poly([at(7.2, -5.0), at(7.2, 5.0), at(9.2, 5.0), at(9.2, -5.0)],
            fill=(200, 50, 45), width=1.1)
    ic.poly([at(9.2, -2.6), at(9.2, 2.6), at(14.4, 2.2), at(14.4, -2.2)],
            fill=(232, 76, 64), width=1.1)
    ic.poly([at(14.4, -4.3), at(14.4, 4.3), at(17.6, 4.3), at(17.6, -4.3)],
            fill=(240, 100, 80), width=1.1)
    ic.line([at(15.3, 2.8), at(15.3, -1.4)], fill=(255, 206, 186), width=1.0)
    return ic.done()


def main(outdir):
    big = banner()
    big.resize((BW, BH), Image.LANCZOS).save(outdir + "/banner.png")
    # for screens at 200 %
    big.resize((2 * BW, 2 * BH), Image.LANCZOS).save(outdir + "/banner@2x.png")
    icon_check().save(outdir + "/icon-check.png")
    icon_home().save(outdir + "/icon-home.png")
    icon_settings().save(outdir + "/icon-settings.png")
    icon_ontop().save(outdir + "/icon-ontop.png")


if __name__ == "__main__":
    main(sys.argv[1])
