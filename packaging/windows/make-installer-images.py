#!/usr/bin/python3
"""Regenerates the installer's bitmaps from the program's icon and its colours.

    installer-welcome.bmp  164 x 314, left of the welcome and finish pages (install and uninstall)
    installer-header.bmp   150 x 57, the header of the other pages

The icon is pasted at its own size (packaging/icons/cipherloom-128.png and -48.png), never scaled,
and everything else is whole-pixel rectangles, so the same files come out bit for bit whatever
Pillow does with resampling. Needs python3-pil (Debian). The outputs are committed; run this after
changing the icon:
    /usr/bin/python3 packaging/windows/make-installer-images.py
"""
import json
import pathlib

from PIL import Image, ImageDraw

ROOT = pathlib.Path(__file__).resolve().parents[2]
ICONS = ROOT / "packaging" / "icons"
OUTPUT = pathlib.Path(__file__).resolve().parent
WELCOME_SIZE = (164, 314)
HEADER_SIZE = (150, 57)
WELCOME_ICON = 128
HEADER_ICON = 48
WELCOME_ICON_TOP = 56
HEADER_MARGIN = 6
BAND_HEIGHT = 6
WHITE = (255, 255, 255, 255)


def colour(text):
    return tuple(int(text.lstrip("#")[i:i + 2], 16) for i in (0, 2, 4)) + (255,)


def mix(a, b):
    return tuple((x + y) // 2 for x, y in zip(a, b))


def weave(image, ground, thread, pitch, width):
    """Threads over and under in a checkerboard, like the padlock's woven body."""
    draw = ImageDraw.Draw(image)
    draw.rectangle([0, 0, image.width, image.height], fill=ground)
    for row in range(0, image.height, pitch):
        for col in range(0, image.width, pitch):
            if (row // pitch + col // pitch) % 2:
                draw.rectangle([col, row + (pitch - width) // 2, col + pitch - 1,
                                row + (pitch + width) // 2 - 1], fill=thread)
            else:
                draw.rectangle([col + (pitch - width) // 2, row,
                                col + (pitch + width) // 2 - 1, row + pitch - 1], fill=thread)


def paste_icon(image, size, left, top):
    icon = Image.open(ICONS / f"cipherloom-{size}.png").convert("RGBA")
    layer = Image.new("RGBA", image.size, (0, 0, 0, 0))
    layer.paste(icon, (left, top))
    return Image.alpha_composite(image, layer)


def main():
    design = json.loads((ROOT / "assets" / "icon" / "padlock.json").read_text(encoding="utf-8"))
    field, body = design["field"], design["body"]

    welcome = Image.new("RGBA", WELCOME_SIZE)
    # Threads halfway between the password field's blue and the outline: a quiet texture.
    ground = colour(field["colour"])
    weave(welcome, ground, mix(ground, colour(design["outline"]["colour"])),
          body["weave"]["pitch"], body["weave"]["thread"])
    band_top = WELCOME_ICON_TOP + WELCOME_ICON + BAND_HEIGHT * 2
    ImageDraw.Draw(welcome).rectangle(
        [0, band_top, WELCOME_SIZE[0], band_top + BAND_HEIGHT - 1], fill=colour(body["colour"]))
    welcome = paste_icon(welcome, WELCOME_ICON, (WELCOME_SIZE[0] - WELCOME_ICON) // 2,
                         WELCOME_ICON_TOP)
    welcome.convert("RGB").save(OUTPUT / "installer-welcome.bmp")

    header = Image.new("RGBA", HEADER_SIZE, WHITE)
    header = paste_icon(header, HEADER_ICON, HEADER_SIZE[0] - HEADER_ICON - HEADER_MARGIN,
                        (HEADER_SIZE[1] - HEADER_ICON) // 2)
    header.convert("RGB").save(OUTPUT / "installer-header.bmp")


if __name__ == "__main__":
    main()
