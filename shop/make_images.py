#!/usr/bin/python3
"""Draw the shop's images: buttons, icons, arrows and the demo pictures.

Usage: make_images.py OUTDIR [SQLFILE ...]

Writes the fixed images that the engine's fragments name into OUTDIR, and one picture under
OUTDIR/special/ for every picture file name (NAME.jpg, NAME.gif or NAME.png between single
quotes) found in the SQL files, such as the demo catalog's products, pictures, categories and
subcategories. Everything is drawn here, deterministically, with Pillow.
"""

import colorsys
import hashlib
import os
import re
import sys

from PIL import Image, ImageDraw, ImageFont

FONT = ImageFont.load_default()
ORANGE = (232, 118, 22)
BLUE = (63, 101, 139)
GREEN = (46, 125, 50)
WHITE = (255, 255, 255)


def save(img, path):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    if path.lower().endswith(".gif"):
        img.convert("P", palette=Image.ADAPTIVE, colors=64).save(path)
    elif path.lower().endswith(".png"):
        img.save(path, optimize=True)
    else:
        img.convert("RGB").save(path, quality=82, optimize=True)


def text_size(draw, text):
    left, top, right, bottom = draw.textbbox((0, 0), text, font=FONT)
    return right - left, bottom - top


def button(text, fill, width=None, height=18):
    probe = ImageDraw.Draw(Image.new("RGB", (1, 1)))
    tw, th = text_size(probe, text)
    width = width or tw + 16
    img = Image.new("RGB", (width, height), WHITE)
    d = ImageDraw.Draw(img)
    d.rounded_rectangle((0, 0, width - 1, height - 1), radius=4, fill=fill)
    d.text(((width - tw) // 2, (height - th) // 2 - 1), text, font=FONT, fill=WHITE)
    return img


def badge(text, fill):
    return button(text, fill, height=14)


def bullet():
    img = Image.new("RGB", (12, 12), WHITE)
    d = ImageDraw.Draw(img)
    d.polygon([(3, 2), (9, 6), (3, 10)], fill=BLUE)
    return img


def arrow(direction, label):
    img = Image.new("RGB", (70, 20), WHITE)
    d = ImageDraw.Draw(img)
    tw, th = text_size(d, label)
    if direction == "right":
        d.text((4, (20 - th) // 2 - 1), label, font=FONT, fill=BLUE)
        d.polygon([(58, 4), (68, 10), (58, 16)], fill=BLUE)
    else:
        d.polygon([(12, 4), (2, 10), (12, 16)], fill=BLUE)
        d.text((16, (20 - th) // 2 - 1), label, font=FONT, fill=BLUE)
    return img


def magnifier():
    img = Image.new("RGB", (22, 22), WHITE)
    d = ImageDraw.Draw(img)
    d.ellipse((2, 2, 14, 14), outline=BLUE, width=2)
    d.line((12, 12, 20, 20), fill=BLUE, width=3)
    return img


SCHEMES = [
    ("blue", "#3F658B", "#A9C2DA", "#E6EDF4"), ("brick", "#92430A", "#F4BB87", "#F6E8CF"),
    ("green", "#22483F", "#B6CEC4", "#F2FEF3"), ("brown", "#49382A", "#BEB2A7", "#E7E5E1"),
    ("rust", "#652709", "#DCAC94", "#EADDD6"), ("leaf", "#44594A", "#A8B5AB", "#D7DFD7"),
    ("green-grey", "#3C5B59", "#ADB9B8", "#E2E5E5"), ("purple", "#57527E", "#BDBAD1", "#E9E9F7"),
    ("yellow-brown", "#655415", "#CDC6A0", "#F7F6E9"), ("confeti", "#2F4295", "#CCCC99", "#F9F5B0"),
]


def color_table():
    img = Image.new("RGB", (330, 16 * len(SCHEMES) + 8), WHITE)
    d = ImageDraw.Draw(img)
    for i, (name, dark, grp, cat) in enumerate(SCHEMES):
        y = 4 + i * 16
        d.text((4, y + 1), name, font=FONT, fill=(0, 0, 0))
        for j, colour in enumerate((dark, grp, cat)):
            d.rectangle((110 + j * 72, y, 176 + j * 72, y + 12), fill=colour, outline=(102, 102, 102))
    return img


def picture(name):
    """A product or category picture: a box in a colour of the name, with the name on it."""
    digest = hashlib.sha1(name.encode()).digest()
    hue = digest[0] / 255.0
    r, g, b = (int(c * 255) for c in colorsys.hsv_to_rgb(hue, 0.35, 0.95))
    dr, dg, db = (int(c * 255) for c in colorsys.hsv_to_rgb(hue, 0.6, 0.55))
    img = Image.new("RGB", (160, 120), (r, g, b))
    d = ImageDraw.Draw(img)
    shape = digest[1] % 3
    if shape == 0:  # a box
        d.polygon([(40, 40), (100, 30), (125, 45), (65, 57)], fill=(dr, dg, db))
        d.polygon([(40, 40), (65, 57), (65, 95), (40, 78)], fill=(max(dr - 30, 0), dg, db))
        d.polygon([(65, 57), (125, 45), (125, 82), (65, 95)], fill=(dr, max(dg - 30, 0), db))
    elif shape == 1:  # a screen
        d.rectangle((35, 25, 125, 80), fill=(dr, dg, db))
        d.rectangle((41, 31, 119, 74), fill=(230, 240, 250))
        d.rectangle((72, 80, 88, 92), fill=(dr, dg, db))
        d.rectangle((55, 92, 105, 97), fill=(dr, dg, db))
    else:  # a disc
        d.ellipse((45, 20, 115, 90), fill=(dr, dg, db))
        d.ellipse((72, 47, 88, 63), fill=(r, g, b))
    label = os.path.splitext(name)[0][:24]
    tw, th = text_size(d, label)
    d.text(((160 - tw) // 2, 104), label, font=FONT, fill=(30, 30, 30))
    return img


FIXED = {
    "bullet.gif": bullet,
    "spacer.gif": lambda: Image.new("RGB", (1, 1), WHITE),
    "buy.gif": lambda: button("BUY", ORANGE, width=44),
    "donate.gif": lambda: button("DONATE", GREEN, width=56),
    "callSmall.gif": lambda: button("CALL", BLUE, width=44),
    "moreinfoSmall.gif": lambda: button("MORE INFO", BLUE, width=66),
    "btnSelect.gif": lambda: button("SELECT", BLUE, width=56),
    "next.gif": lambda: arrow("right", "Next"),
    "Previouse.gif": lambda: arrow("left", "Previous"),
    "newred.gif": lambda: badge("NEW", (204, 0, 0)),
    "new.gif": lambda: badge("NEW", (204, 0, 0)),
    "used.gif": lambda: badge("USED", (120, 120, 120)),
    "promo.gif": lambda: badge("PROMO", ORANGE),
    "openbox.gif": lambda: badge("OPEN BOX", (150, 90, 30)),
    "refurbish.gif": lambda: badge("REFURBISHED", GREEN),
    "pulls.gif": lambda: badge("PULLS", (110, 80, 140)),
    "valuepack.gif": lambda: badge("VALUE PACK", BLUE),
    "magglass.jpg": magnifier,
    "prefcolors.jpg": color_table,
}


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    for name, draw in FIXED.items():
        save(draw(), os.path.join(out, name))
    names = set()
    for sql in sys.argv[2:]:
        with open(sql, encoding="utf-8") as f:
            names.update(re.findall(r"'([A-Za-z0-9_.\-]+\.(?:jpg|gif|png))'", f.read()))
    for name in sorted(names):
        save(picture(name), os.path.join(out, "special", name))
    print("drew %d images and %d pictures in %s" % (len(FIXED), len(names), out))


if __name__ == "__main__":
    main()
