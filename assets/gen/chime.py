"""Draw the wind chime (fuurin): the two 100 x 100 swing frames on the
silver key colour with their 200 x 200 twins (@2x), and the app icon at 256,
64 and 32 px.

The swing frames become a shaped window: every pixel is either exactly the
key colour #C0C0C0 (cut away) or a chime colour well away from it, so the
chime is drawn smooth at 8x, downscaled with alpha, and then the alpha is
cut at 50% instead of blending into the key.  Strings are one pixel wide
and placed pixel by pixel, because a supersampled 1-px line would break up.
"""
import math
import sys

from PIL import Image, ImageDraw

KEY = (0xC0, 0xC0, 0xC0)
SS = 8

INK = (38, 48, 86)            # outline, string
GLASS = (206, 234, 250)
GLASS_DEEP = (150, 198, 232)   # glass seen at a grazing angle, near the rim
GLASS_IN = (112, 160, 206)     # inside of the mouth
SHINE = (252, 254, 255)
FISH = (226, 44, 42)
FISH_FIN = (250, 120, 70)
WATER = (52, 110, 200)
STRIP = (246, 166, 170)
STRIP_EDGE = (196, 84, 100)
LEAF = (60, 140, 80)
FLOWER = (70, 90, 210)


class Pen:
    """Draws in chime units (1 unit = 1 px of the 100 px frame), through a
    rotation/scale/offset, onto a supersampled RGBA canvas."""

    def __init__(self, img, ss, ox, oy, angle=0.0, sx=1.0, sy=1.0, wscale=1.0):
        self.d = ImageDraw.Draw(img)
        self.wscale = wscale        # line widths follow the drawing's size
        self.ss, self.ox, self.oy = ss, ox, oy
        self.c, self.s = math.cos(math.radians(angle)), math.sin(math.radians(angle))
        self.sx, self.sy = sx, sy

    def pt(self, x, y):
        x, y = x * self.sx, y * self.sy
        return ((self.ox + x * self.c - y * self.s) * self.ss,
                (self.oy + x * self.s + y * self.c) * self.ss)

    def frame_pt(self, x, y):
        """Same point in frame pixels (not supersampled)."""
        px, py = self.pt(x, y)
        return px / self.ss, py / self.ss

    def poly(self, pts, fill=None, outline=None, width=1.0):
        q = [self.pt(x, y) for x, y in pts]
        if fill:
            self.d.polygon(q, fill=fill)
        if outline:
            w = max(1, round(width * self.wscale * self.ss))
            self.d.line(q + [q[0], q[1]], fill=outline, width=w, joint="curve")

    def ellipse(self, cx, cy, rx, ry, rot=0.0, n=48, **kw):
        cr, sr = math.cos(math.radians(rot)), math.sin(math.radians(rot))
        pts = []
        for i in range(n):
            a = 2 * math.pi * i / n
            x, y = rx * math.cos(a), ry * math.sin(a)
            pts.append((cx + x * cr - y * sr, cy + x * sr + y * cr))
        self.poly(pts, **kw)

    def line(self, pts, fill, width):
        self.d.line([self.pt(x, y) for x, y in pts], fill=fill,
                    width=max(1, round(width * self.wscale * self.ss)), joint="curve")


# Bell profile, origin at the top of the knob, y down, in frame pixels.
BELL_TOP = 3.0
BELL_SHOULDER = 18.5
BELL_HW = 14.6
MOUTH_Y = 26.5
RIM_DROP = 2.2
ZETSU_Y = 30.0                 # the glass clapper just below the mouth


def bell_outline():
    left, right = [], []
    n = 24
    for i in range(n + 1):
        y = BELL_TOP + (BELL_SHOULDER - BELL_TOP) * i / n
        t = (BELL_SHOULDER - y) / (BELL_SHOULDER - BELL_TOP)
        hw = BELL_HW * math.sqrt(max(0.0, 1 - t * t))
        hw = max(hw, 2.2)      # the neck where the knob sits
        right.append((hw, y))
    for i in range(1, 9):
        y = BELL_SHOULDER + (MOUTH_Y - BELL_SHOULDER) * i / 8
        u = (y - BELL_SHOULDER) / (MOUTH_Y - BELL_SHOULDER)
        right.append((BELL_HW + 0.5 * u * u, y))
    hw_m = BELL_HW + 0.5
    # front rim: a shallow arc, as the round mouth is seen from a bit above
    bottom = []
    for i in range(1, 16):
        x = hw_m - 2 * hw_m * i / 16
        bottom.append((x, MOUTH_Y + RIM_DROP * math.sqrt(max(0.0, 1 - (x / hw_m) ** 2))))
    left = [(-x, y) for x, y in reversed(right)]
    return right + bottom + left


def draw_bell(p, fishes=2):
    body = bell_outline()
    hw_m = BELL_HW + 0.5
    p.poly(body, fill=GLASS_DEEP)
    # lighter glass in the middle, darker towards the silhouette
    inner = [(x * 0.80, BELL_TOP + 1.4 + (y - BELL_TOP) * 0.93) for x, y in body]
    p.poly(inner, fill=GLASS)
    # the dark inside of the mouth, seen through the opening
    p.ellipse(0, MOUTH_Y, hw_m - 1.2, 1.6, fill=GLASS_IN)
    if fishes:
        # the clapper string, visible through clear glass
        p.line([(0, BELL_TOP + 1), (0, MOUTH_Y)], fill=GLASS_IN, width=0.7)
        # goldfish painted on the glass
        if fishes == 2:
            fish(p, -5.4, 14.6, 1.1, -14)
            fish(p, 6.6, 18.2, -0.9, 12)
        else:
            # one bold fish stays readable at tray size
            fish(p, 1.0, 15.0, 1.7, -6)
        # a band of water the fish swim in, painted round the bell
        p.line([(-12.5 + k * 0.5, 22.6 - 0.8 * math.sin(k * math.pi / 5))
                for k in range(51)], fill=WATER, width=0.9)
    # a shine streak on the upper left of the dome
    arc = []
    for i in range(9):
        a = math.radians(200 + 48 * i / 8)
        arc.append((10.8 * math.cos(a), BELL_SHOULDER + 1 + 11.5 * math.sin(a)))
    p.line(arc, fill=SHINE, width=1.7)
    p.poly(body, outline=INK, width=1.25)
    # the knob on top
    p.poly([(-2.4, 0.3), (2.4, 0.3), (2.8, BELL_TOP + 1.2), (-2.8, BELL_TOP + 1.2)],
           fill=INK)


def fish(p, x, y, size, rot):
    """A goldfish: round body, forked tail, facing +x scaled by size sign."""
    s = abs(size)
    f = 1 if size > 0 else -1
    cr, sr = math.cos(math.radians(rot)), math.sin(math.radians(rot))

    def tr(u, v):
        u *= f
        return (x + (u * cr - v * sr) * s, y + (u * sr + v * cr) * s)
    tail = [tr(-2.2, 0), tr(-5.4, -2.6), tr(-4.3, 0), tr(-5.4, 2.6)]
    p.poly(tail, fill=FISH_FIN)
    p.ellipse(x, y, 3.0 * s, 2.0 * s, rot=rot, fill=FISH)


def draw_zetsu(p):
    p.ellipse(0, ZETSU_Y, 2.4, 1.7, fill=GLASS, outline=INK, width=0.9)


STRIP_W = 13.0
STRIP_H = 39.0


def draw_strip(p, detail=True):
    hw = STRIP_W / 2
    rect = [(-hw, 0), (hw, 0), (hw, STRIP_H), (-hw, STRIP_H)]
    p.poly(rect, fill=STRIP)
    if detail:
        # a morning glory painted near the foot, with a curl of vine
        p.line([(-3.6 + 0.4 * math.sin(k / 2.0), 9 + k * 1.2) for k in range(16)],
               fill=LEAF, width=0.9)
        for k in range(5):
            a = math.radians(90 + 72 * k)
            p.ellipse(0.4 + 2.0 * math.cos(a), 30 + 2.0 * math.sin(a), 2.0, 2.0,
                      fill=FLOWER)
        p.ellipse(0.4, 30, 1.1, 1.1, fill=SHINE)
    p.poly([(-hw, 0), (hw, 0), (hw, 3.0), (-hw, 3.0)], fill=STRIP_EDGE)
    p.poly(rect, outline=STRIP_EDGE, width=1.0)


def frame_layer(bell_at, bell_rot, bell_scale, strip_top, strip_rot, strip_sx):
    img = Image.new("RGBA", (100 * SS, 100 * SS))
    pb = Pen(img, SS, bell_at[0], bell_at[1], bell_rot, bell_scale, bell_scale)
    draw_bell(pb)
    draw_zetsu(pb)
    ps = Pen(img, SS, strip_top[0], strip_top[1], strip_rot, strip_sx, 1.0)
    draw_strip(ps)
    return img, pb, ps


def hard_cut(img):
    """Downscale, then make every pixel either key or an opaque chime colour."""
    small = img.resize((100, 100), Image.BOX)
    out = Image.new("RGB", (100, 100), KEY)
    src, dst = small.load(), out.load()
    for y in range(100):
        for x in range(100):
            r, g, b, a = src[x, y]
            if a >= 128:
                # colour without the transparent share; PIL keeps it
                # un-premultiplied, so it is the chime's own edge colour
                dst[x, y] = (r, g, b)
    return out


def string(px, x0, y0, x1, y1, colour=INK):
    """A one-pixel string from (x0,y0) to (x1,y1) in frame pixels; rows
    overlap sideways so the pixels always touch edge to edge."""
    ya, yb = int(math.floor(y0)), int(math.ceil(y1)) - 1
    prev = None
    for y in range(ya, yb + 1):
        t = 0.0 if yb == ya else (y + 0.5 - y0) / (y1 - y0)
        t = min(1.0, max(0.0, t))
        x = int(math.floor(x0 + (x1 - x0) * t))
        lo, hi = (x, x) if prev is None else (min(prev, x), max(prev, x))
        for xx in range(lo, hi + 1):
            px[xx, y] = colour
        prev = x


def clean(img):
    """Drop lone pixels and fill pinholes so the window outline stays simple."""
    px = img.load()
    w, h = img.size

    def solid(x, y):
        return 0 <= x < w and 0 <= y < h and px[x, y] != KEY
    changed = True
    while changed:
        changed = False
        for y in range(h):
            for x in range(w):
                n4 = [solid(x + dx, y + dy) for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))]
                if px[x, y] != KEY and not any(n4):
                    px[x, y] = KEY
                    changed = True
                elif px[x, y] == KEY and n4[0] and n4[1]:
                    # a one-pixel notch inside a row: fill from a neighbour
                    px[x, y] = px[x - 1, y]
                    changed = True


def off_key(img):
    """No chime pixel may be, or come close to, the key colour."""
    px = img.load()
    for y in range(img.size[1]):
        for x in range(img.size[0]):
            c = px[x, y]
            if c != KEY and max(abs(a - b) for a, b in zip(c, KEY)) < 24:
                px[x, y] = INK


def twice(one, layer):
    """The frame at 200 %: the outline is exactly the 1x outline doubled, because
    the window's shape is kept in whole screen points; inside it the drawing
    has twice the detail.  Where the fine drawing is thin or near the key
    colour, the 1x pixel's colour fills in."""
    fine = layer.resize((200, 200), Image.BOX).load()
    src = one.load()
    out = Image.new("RGB", (200, 200), KEY)
    dst = out.load()
    for y in range(200):
        for x in range(200):
            c = src[x // 2, y // 2]
            if c == KEY:
                continue
            r, g, b, a = fine[x, y]
            if a >= 128 and max(abs(u - v) for u, v in zip((r, g, b), KEY)) >= 24:
                c = (r, g, b)
            dst[x, y] = c
    return out


def make_frame(top, bell_at, bell_rot, bell_scale, strip_top, strip_rot, strip_sx):
    """The frame at 100 % and at 200 %."""
    img, pb, ps = frame_layer(bell_at, bell_rot, bell_scale, strip_top, strip_rot, strip_sx)
    out = hard_cut(img)
    px = out.load()
    knob = pb.frame_pt(0, 0.8)
    string(px, top[0], top[1], knob[0], knob[1])
    zb = pb.frame_pt(0, ZETSU_Y + 1.2)
    st = ps.frame_pt(0, 0.5)
    string(px, zb[0], zb[1], st[0], st[1])
    clean(out)
    off_key(out)
    return out, twice(out, img)


def chime_a():
    # hanging still: everything on one vertical line
    return make_frame(top=(47.5, 0), bell_at=(47.5, 12.0), bell_rot=0,
                      bell_scale=1.0, strip_top=(47.5, 59.0), strip_rot=0,
                      strip_sx=1.0)


def chime_b():
    # swung: the bell has moved out and away (a little smaller), tilts
    # along its string; the strip lags behind the swing and turns edge-on
    return make_frame(top=(47.5, 1), bell_at=(48.6, 13.6), bell_rot=-6,
                      bell_scale=0.78, strip_top=(49.5, 60.0), strip_rot=0,
                      strip_sx=0.62)


def icon(size):
    """The app icon: the bell with one goldfish, its clapper and a paper
    strip lifted by the breeze, on transparency; the same drawing at every
    size."""
    ss = 4
    unit = size / 32.0             # laid out in a 32-unit box
    img = Image.new("RGBA", (size * ss, size * ss))
    scale = unit * 0.60
    top = 1.8 * unit
    cx = 14.0 * unit
    pb = Pen(img, ss, cx, top, 0, scale, scale, wscale=1.5 * scale)
    pb.line([(0, -top / scale), (0, 1)], fill=INK, width=1.0)
    draw_bell(pb, fishes=1)
    draw_zetsu(pb)
    pb.line([(0, ZETSU_Y + 0.8), (0, ZETSU_Y + 2.6)], fill=INK, width=1.0)
    strip_top = top + (ZETSU_Y + 2.2) * scale
    tilt = 30
    length = (30.2 * unit - strip_top) / math.cos(math.radians(tilt))
    ps = Pen(img, ss, cx, strip_top, -tilt, 0.48 * unit, length / STRIP_H,
             wscale=1.5 * scale)
    draw_strip(ps, detail=False)
    return img.resize((size, size), Image.LANCZOS)


def main(outdir):
    for name, (one, two) in (("chime-a", chime_a()), ("chime-b", chime_b())):
        one.save("%s/%s.png" % (outdir, name))
        two.save("%s/%s@2x.png" % (outdir, name))
    icon(256).save(outdir + "/breezel-256.png")
    icon(32).save(outdir + "/breezel.png")
    icon(64).save(outdir + "/breezel@2x.png")


if __name__ == "__main__":
    main(sys.argv[1])
