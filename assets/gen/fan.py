"""Draw the turning electric fan (FanMove.gif), 130 x 120, 12 frames, and
FanMove@2x.gif, the same at 260 x 240 for screens at 200 %.

The program shows only x 13..117, y 17..113 of the canvas, so the whole
fan (guard, hub, a bit of the stand) is kept inside that rectangle.
Each frame is drawn at 4x and downscaled for smooth edges, then all
frames share one palette so the colours do not flicker between frames.
"""
import math
import sys

from PIL import Image, ImageDraw

W, H = 130, 120
S = 4                       # supersampling factor
CX, CY = 65, 60             # guard centre
R_GUARD = 40
FRAMES = 12
BLADES = 3
DELAY = 80                  # ms per frame
# 3 blades repeat every 120 degrees; 12 steps of 10 degrees close the loop
STEP = 360.0 / BLADES / FRAMES

SKY_TOP = (196, 232, 250)
SKY_BOTTOM = (226, 244, 252)
GUARD = (250, 252, 255)
GUARD_SHADE = (150, 190, 215)
REAR = (176, 208, 228)
BLADE = (60, 186, 196, 150)
BLADE_EDGE = (30, 130, 150, 210)
BLADE_LIGHT = (200, 246, 248, 120)
BODY = (246, 250, 253)
BODY_SHADE = (170, 200, 222)
ACCENT = (40, 150, 175)


def sc(v):
    return v * S


def sky(img):
    d = ImageDraw.Draw(img)
    for y in range(H * S):
        t = y / (H * S - 1)
        c = tuple(round(a + (b - a) * t) for a, b in zip(SKY_TOP, SKY_BOTTOM))
        d.line([(0, y), (W * S, y)], fill=c)


def circle(d, cx, cy, r, **kw):
    d.ellipse([sc(cx - r), sc(cy - r), sc(cx + r), sc(cy + r)], **kw)


def blade_outline(angle_deg):
    """One paddle blade: narrow at the hub, wide and rounded at the tip,
    its leading edge swept forward a little."""
    pts_lead, pts_trail = [], []
    r0, r1 = 6.0, 35.5
    steps = 40
    for i in range(steps + 1):
        t = i / steps
        r = r0 + (r1 - r0) * t
        # half-width in degrees, widening outwards, rounded off at the tip
        width = 12 + 34 * math.sin(min(t, 0.82) / 0.82 * math.pi / 2)
        if t > 0.82:
            u = (t - 0.82) / 0.18
            width *= math.sqrt(max(0.0, 1 - u * u))
        sweep = 10 * t * t              # tips trail the rotation
        pts_lead.append((r, angle_deg + sweep + width * 0.55))
        pts_trail.append((r, angle_deg + sweep - width * 0.45))
    ring = pts_lead + pts_trail[::-1]
    return [(sc(CX + r * math.cos(math.radians(a))),
             sc(CY + r * math.sin(math.radians(a)))) for r, a in ring]


def frame(k):
    img = Image.new("RGBA", (W * S, H * S))
    sky(img)
    d = ImageDraw.Draw(img)

    # stand: a neck from the motor down to an oval base
    base_y = 107.5
    d.ellipse([sc(CX - 24), sc(base_y - 5), sc(CX + 24), sc(base_y + 5)],
              fill=BODY_SHADE)
    d.ellipse([sc(CX - 23), sc(base_y - 6), sc(CX + 23), sc(base_y + 3.5)],
              fill=BODY, outline=GUARD_SHADE, width=S)
    d.rounded_rectangle([sc(CX - 4), sc(CY + 30), sc(CX + 4), sc(base_y - 2)],
                        radius=sc(2), fill=BODY, outline=GUARD_SHADE, width=S)
    # a little switch row on the base
    for i, c in enumerate([(240, 120, 110), ACCENT, ACCENT]):
        x = CX - 11 + i * 8
        d.rounded_rectangle([sc(x), sc(base_y - 3.2), sc(x + 5), sc(base_y - 0.8)],
                            radius=S, fill=c)

    # rear half of the guard, seen through the blades
    circle(d, CX, CY, R_GUARD, outline=REAR, width=2 * S)
    circle(d, CX, CY, 26, outline=REAR, width=S)
    # motor housing behind the blades
    circle(d, CX, CY, 10, fill=BODY_SHADE)

    # translucent blades on their own layer
    layer = Image.new("RGBA", img.size)
    ld = ImageDraw.Draw(layer)
    base = -90 + k * STEP
    for b in range(BLADES):
        a = base + b * 360 / BLADES
        ld.polygon(blade_outline(a), fill=BLADE, outline=BLADE_EDGE, width=S)
    img = Image.alpha_composite(img, layer)
    # soft highlight along each blade, like light through plastic
    hl = Image.new("RGBA", img.size)
    hd = ImageDraw.Draw(hl)
    for b in range(BLADES):
        a = math.radians(base + b * 360 / BLADES + 8)
        x0, y0 = CX + 12 * math.cos(a), CY + 12 * math.sin(a)
        x1, y1 = CX + 29 * math.cos(a + 0.12), CY + 29 * math.sin(a + 0.12)
        hd.line([(sc(x0), sc(y0)), (sc(x1), sc(y1))], fill=BLADE_LIGHT,
                width=3 * S)
    img = Image.alpha_composite(img, hl)
    d = ImageDraw.Draw(img)

    # front guard: rings and spokes
    for i in range(20):
        a = math.radians(i * 18 + 9)
        x0, y0 = CX + 9 * math.cos(a), CY + 9 * math.sin(a)
        x1, y1 = CX + R_GUARD * math.cos(a), CY + R_GUARD * math.sin(a)
        d.line([(sc(x0), sc(y0)), (sc(x1), sc(y1))], fill=GUARD,
               width=round(0.9 * S))
    circle(d, CX, CY, 18, outline=GUARD, width=S)
    circle(d, CX, CY, 30, outline=GUARD, width=S)
    # thick outer rim with a faint shadow line so it stands off the sky
    circle(d, CX, CY, R_GUARD + 1.2, outline=GUARD_SHADE, width=S)
    circle(d, CX, CY, R_GUARD, outline=GUARD, width=round(2.5 * S))

    # centre badge over the guard
    circle(d, CX, CY, 8, fill=GUARD_SHADE)
    circle(d, CX, CY, 7.3, fill=BODY)
    circle(d, CX, CY, 3.6, fill=ACCENT)
    circle(d, CX - 1.0, CY - 1.2, 1.2, fill=(210, 245, 250))

    return img.convert("RGB")


def save(frames, path):
    w, h = frames[0].size
    # one palette for all frames: quantize a strip of every frame together
    strip = Image.new("RGB", (w, h * FRAMES))
    for k, f in enumerate(frames):
        strip.paste(f, (0, k * h))
    pal = strip.quantize(colors=255, method=Image.Quantize.MEDIANCUT)
    out = [f.quantize(palette=pal, dither=Image.Dither.NONE) for f in frames]
    out[0].save(path, save_all=True, append_images=out[1:], duration=DELAY,
                loop=0, optimize=False, disposal=1)


def main(path):
    """Writes path and, beside it, the same fan at twice the size (name@2x.gif)
    for screens at 200 %."""
    big = [frame(k) for k in range(FRAMES)]
    for scale, name in ((1, path), (2, path[:-4] + "@2x.gif")):
        save([f.resize((W * scale, H * scale), Image.LANCZOS) for f in big], name)


if __name__ == "__main__":
    main(sys.argv[1])
