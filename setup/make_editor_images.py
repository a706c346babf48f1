#!/usr/bin/python3
"""Draw the admin editor's toolbar buttons (20 x 20 GIFs) into the folder given.

Usage: make_editor_images.py OUTDIR
"""

import os
import sys

from PIL import Image, ImageDraw, ImageFont

FONT = ImageFont.load_default()
INK = (30, 30, 30)
BLUE = (49, 106, 197)


def canvas():
    img = Image.new("RGB", (20, 20), (236, 233, 216))
    return img, ImageDraw.Draw(img)


def letter(text, underline=False, italic=False):
    img, d = canvas()
    d.text((6 + (1 if italic else 0), 3), text, fill=INK, font=FONT)
    if text == "B":
        d.text((7, 3), text, fill=INK, font=FONT)  # a second stroke makes it bold
    if underline:
        d.line((5, 16, 14, 16), fill=INK)
    if italic:
        img = img.transform(img.size, Image.AFFINE, (1, 0.25, -2, 0, 1, 0))
    return img


def lines(numbered):
    img, d = canvas()
    for i, y in enumerate((5, 10, 15)):
        if numbered:
            d.text((2, y - 5), str(i + 1), fill=INK, font=FONT)
        else:
            d.rectangle((3, y - 1, 5, y + 1), fill=INK)
        d.line((8, y, 17, y), fill=INK)
    return img


def link():
    img, d = canvas()
    d.ellipse((2, 7, 10, 13), outline=BLUE)
    d.ellipse((9, 7, 17, 13), outline=BLUE)
    return img


def picture():
    img, d = canvas()
    d.rectangle((2, 3, 17, 16), outline=INK, fill=(200, 225, 255))
    d.polygon([(3, 15), (8, 8), (12, 13), (14, 11), (16, 15)], fill=(70, 140, 60))
    d.ellipse((12, 5, 15, 8), fill=(240, 200, 40))
    return img


def source():
    img, d = canvas()
    d.text((1, 4), "<>", fill=BLUE, font=FONT)
    return img


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    images = {
        "bold": letter("B"),
        "italic": letter("I", italic=True),
        "underline": letter("U", underline=True),
        "ul": lines(False),
        "ol": lines(True),
        "link": link(),
        "image": picture(),
        "html": source(),
    }
    for name, img in images.items():
        img.convert("P", palette=Image.ADAPTIVE, colors=16).save(os.path.join(out, name + ".gif"))


if __name__ == "__main__":
    main()
