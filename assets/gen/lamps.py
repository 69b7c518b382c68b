"""Draw the 16 x 16 status lamps (Green.gif, Red.gif) on #202040, and their
32 x 32 twins (Green@2x.gif, Red@2x.gif) for screens at 200 %.

Drawn at 8x and downscaled for a round edge; GIF has no alpha, so the
dark panel colour is part of the picture.
"""
import sys

from PIL import Image, ImageDraw

S = 8
PANEL = (0x20, 0x20, 0x40)
LAMPS = {
    "Green": ((20, 90, 40), (60, 200, 80), (190, 255, 170)),
    "Red": ((110, 20, 20), (235, 50, 45), (255, 190, 170)),
}


def lamp(dark, lit, glow):
    size = 16 * S
    img = Image.new("RGB", (size, size), PANEL)
    d = ImageDraw.Draw(img)
    c = size / 2
    # dark bezel, then the lit dome as concentric steps from edge to centre
    d.ellipse([c - 7 * S, c - 7 * S, c + 7 * S, c + 7 * S], fill=(10, 10, 24))
    r0 = 6 * S
    steps = 24
    for i in range(steps):
        t = i / (steps - 1)
        r = r0 * (1 - 0.75 * t)
        col = tuple(round(a + (b - a) * (t ** 0.7)) for a, b in zip(dark, lit))
        # the lit centre sits a little below the middle, light from above
        oy = 0.6 * S * t
        d.ellipse([c - r, c - r + oy, c + r, c + r + oy], fill=col)
    # glint of light, upper left
    d.ellipse([c - 3.6 * S, c - 4.2 * S, c - 0.6 * S, c - 1.8 * S], fill=glow)
    return img


def main(outdir):
    for name, cols in LAMPS.items():
        big = lamp(*cols)
        for scale, suffix in ((1, ""), (2, "@2x")):
            im = big.resize((16 * scale, 16 * scale), Image.LANCZOS).quantize(
                colors=64, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
            im.save("%s/%s%s.gif" % (outdir, name, suffix), optimize=False)


if __name__ == "__main__":
    main(sys.argv[1])
