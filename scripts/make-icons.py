#!/usr/bin/env python3
"""Regenerates every icon file in packaging/icons/ from assets/icon/.

The small images (16 and 32 px) are hand-drawn pixel grids in the 16 standard Windows colours,
so the window icon stays crisp and fits a 4-bit .ico. The larger ones are drawn from the padlock
description in padlock.json, supersampled and scaled down.

Needs python3-pil (Debian). The outputs are committed; run this only after changing the sources:
    python3 scripts/make-icons.py
"""

import io
import json
import math
import pathlib
import struct
import sys

try:
    from PIL import Image, ImageDraw
except ImportError:
    sys.exit("make-icons.py needs Pillow: apt-get install python3-pil (and use /usr/bin/python3)")

ROOT = pathlib.Path(__file__).resolve().parent.parent
SOURCE = ROOT / "assets" / "icon"
OUTPUT = ROOT / "packaging" / "icons"

GRID_SIZES = (16, 32)
DRAWN_SIZES = (48, 64, 128, 256)
ICNS_SIZE = 1024
SUPERSAMPLE = 4

# The 16 colours of the Windows 4-bit palette, in palette order, with the letters the grids use.
PALETTE = [
    ("k", (0x00, 0x00, 0x00)),  # black
    ("m", (0x80, 0x00, 0x00)),  # maroon
    ("g", (0x00, 0x80, 0x00)),  # green
    ("o", (0x80, 0x80, 0x00)),  # olive
    ("n", (0x00, 0x00, 0x80)),  # navy
    ("p", (0x80, 0x00, 0x80)),  # purple
    ("t", (0x00, 0x80, 0x80)),  # teal
    ("s", (0xC0, 0xC0, 0xC0)),  # silver
    ("G", (0x80, 0x80, 0x80)),  # grey
    ("r", (0xFF, 0x00, 0x00)),  # red
    ("l", (0x00, 0xFF, 0x00)),  # lime
    ("y", (0xFF, 0xFF, 0x00)),  # yellow
    ("b", (0x00, 0x00, 0xFF)),  # blue
    ("f", (0xFF, 0x00, 0xFF)),  # fuchsia
    ("a", (0x00, 0xFF, 0xFF)),  # aqua
    ("w", (0xFF, 0xFF, 0xFF)),  # white
]
TRANSPARENT = "."
LETTER_INDEX = {letter: i for i, (letter, _) in enumerate(PALETTE)}


def read_grid(size):
    """Returns the grid as rows of palette indices, None where transparent."""
    path = SOURCE / f"cipherloom-{size}.txt"
    rows = [line.rstrip("\n") for line in path.read_text(encoding="utf-8").splitlines()
            if line.strip() and not line.startswith("#")]
    if len(rows) != size or any(len(row) != size for row in rows):
        sys.exit(f"{path}: expected {size} rows of {size} characters")
    grid = []
    for y, row in enumerate(rows):
        out = []
        for x, ch in enumerate(row):
            if ch == TRANSPARENT:
                out.append(None)
            elif ch in LETTER_INDEX:
                out.append(LETTER_INDEX[ch])
            else:
                sys.exit(f"{path}:{y + 1}:{x + 1}: unknown colour letter {ch!r}")
        grid.append(out)
    return grid


def grid_image(grid):
    size = len(grid)
    image = Image.new("RGBA", (size, size), (0, 0, 0, 0))
    for y, row in enumerate(grid):
        for x, index in enumerate(row):
            if index is not None:
                image.putpixel((x, y), PALETTE[index][1] + (255,))
    return image


def colour(text):
    text = text.lstrip("#")
    return tuple(int(text[i:i + 2], 16) for i in (0, 2, 4)) + (255,)


def rounded(draw, box, corner, fill, scale):
    draw.rounded_rectangle([v * scale for v in box], radius=corner * scale, fill=fill)


def asterisk(draw, centre, radius, stroke, fill, scale):
    cx, cy = (v * scale for v in centre)
    r, w = radius * scale, stroke * scale
    for degrees in (90, 30, 150):
        dx, dy = r * math.cos(math.radians(degrees)), r * math.sin(math.radians(degrees))
        draw.line([(cx - dx, cy - dy), (cx + dx, cy + dy)], fill=fill, width=round(w))
        for sx, sy in ((cx - dx, cy - dy), (cx + dx, cy + dy)):
            draw.ellipse([sx - w / 2, sy - w / 2, sx + w / 2, sy + w / 2], fill=fill)


def draw_padlock(design, size):
    """Draws the padlock at size x size pixels, antialiased by supersampling."""
    big = size * SUPERSAMPLE
    scale = big / design["canvas"]
    image = Image.new("RGBA", (big, big), (0, 0, 0, 0))
    draw = ImageDraw.Draw(image)
    line = design["outline"]["width"]
    dark = colour(design["outline"]["colour"])

    # Shackle first: the body covers its feet.
    sh = design["shackle"]
    cx, cy = sh["centre"]
    r, t = sh["radius"], sh["thickness"]
    for grow, fill in ((line, dark), (0, colour(sh["colour"]))):
        half = t / 2 + grow
        arc_box = [(cx - r - half) * scale, (cy - r - half) * scale,
                   (cx + r + half) * scale, (cy + r + half) * scale]
        draw.arc(arc_box, 180, 360, fill=fill, width=round(2 * half * scale))
        for leg in (cx - r, cx + r):
            draw.rectangle([(leg - half) * scale, cy * scale, (leg + half) * scale,
                            sh["foot"] * scale], fill=fill)
    # A darker inner edge gives the metal some depth.
    inner = r - t / 2
    draw.arc([(cx - inner) * scale, (cy - inner) * scale, (cx + inner) * scale,
              (cy + inner) * scale], 180, 360, fill=colour(sh["shade"]),
             width=round(t / 3 * scale))
    for leg in (cx - r + t / 2 - t / 3, cx + r - t / 2):
        draw.rectangle([leg * scale, cy * scale, (leg + t / 3) * scale, sh["foot"] * scale],
                       fill=colour(sh["shade"]))

    # Body: outline, brass, a woven texture and a darker lower edge, clipped to the body.
    body = design["body"]
    x0, y0, x1, y1 = body["box"]
    rounded(draw, [x0 - line, y0 - line, x1 + line, y1 + line], body["corner"] + line, dark, scale)
    texture = Image.new("RGBA", (big, big), colour(body["colour"]))
    tdraw = ImageDraw.Draw(texture)
    weave = body["weave"]
    pitch, thread = weave["pitch"], weave["thread"]
    wfill = colour(weave["colour"])
    for j in range(int((y1 - y0) / pitch) + 1):
        for i in range(int((x1 - x0) / pitch) + 1):
            gx, gy = x0 + i * pitch + pitch / 2, y0 + j * pitch + pitch / 2
            if (i + j) % 2 == 0:
                bar = [gx - pitch / 2, gy - thread / 2, gx + pitch / 2, gy + thread / 2]
            else:
                bar = [gx - thread / 2, gy - pitch / 2, gx + thread / 2, gy + pitch / 2]
            tdraw.rectangle([v * scale for v in bar], fill=wfill)
    shade_top = y1 - (y1 - y0) / 6
    tdraw.rectangle([0, shade_top * scale, big, big], fill=colour(body["shade"]))
    mask = Image.new("L", (big, big), 0)
    rounded(ImageDraw.Draw(mask), body["box"], body["corner"], 255, scale)
    image.paste(texture, (0, 0), mask)

    # The masked password field: what a password looks like on every screen.
    field = design["field"]
    fx0, fy0, fx1, fy1 = field["box"]
    rounded(draw, [fx0 - line / 2, fy0 - line / 2, fx1 + line / 2, fy1 + line / 2],
            field["corner"] + line / 2, dark, scale)
    rounded(draw, field["box"], field["corner"], colour(field["colour"]), scale)
    count = field["glyphs"]
    step = (fx1 - fx0) / count
    for k in range(count):
        asterisk(draw, (fx0 + step * (k + 0.5), (fy0 + fy1) / 2), field["glyph_radius"],
                 field["glyph_stroke"], colour(field["glyph_colour"]), scale)

    return image.resize((size, size), Image.LANCZOS)


def and_mask_rows(alpha_rows, width):
    """1-bit AND mask, bottom-up, rows padded to 4 bytes; set bits are transparent."""
    stride = ((width + 31) // 32) * 4
    out = bytearray()
    for row in reversed(alpha_rows):
        bits = bytearray(stride)
        for x, opaque in enumerate(row):
            if not opaque:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += bits
    return bytes(out)


def ico_4bit(grid):
    """A 16-colour BMP icon entry, the format every Windows version shows as is."""
    size = len(grid)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for _, (r, g, b) in PALETTE)
    stride = ((size * 4 + 31) // 32) * 4
    pixels = bytearray()
    for row in reversed(grid):
        line = bytearray(stride)
        for x, index in enumerate(row):
            value = 0 if index is None else index
            line[x // 2] |= value << (4 if x % 2 == 0 else 0)
        pixels += line
    mask = and_mask_rows([[index is not None for index in row] for row in grid], size)
    return header + palette + bytes(pixels) + mask, 16, 4


def ico_32bit(image):
    size = image.width
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for y in reversed(range(size)):
        for x in range(size):
            r, g, b, a = image.getpixel((x, y))
            pixels += bytes((b, g, r, a))
    mask = and_mask_rows([[image.getpixel((x, y))[3] > 0 for x in range(size)]
                          for y in range(size)], size)
    return header + bytes(pixels) + mask, 0, 32


def ico_png(image):
    buffer = io.BytesIO()
    image.save(buffer, format="PNG", optimize=True)
    return buffer.getvalue(), 0, 32


def write_ico(path, entries):
    """entries: (size, data, colour count, bits per pixel), written in the given order."""
    directory = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    body = b""
    for size, data, colours, bits in entries:
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, colours, 0, 1, bits,
                                 len(data), offset)
        offset += len(data)
        body += data
    path.write_bytes(directory + body)


def main():
    design = json.loads((SOURCE / "padlock.json").read_text(encoding="utf-8"))
    OUTPUT.mkdir(parents=True, exist_ok=True)

    grids = {size: read_grid(size) for size in GRID_SIZES}
    images = {size: grid_image(grid) for size, grid in grids.items()}
    images.update({size: draw_padlock(design, size) for size in DRAWN_SIZES})

    for size, image in sorted(images.items()):
        image.save(OUTPUT / f"cipherloom-{size}.png", optimize=True)

    # 16 and 32 in 16 colours for the window and its task bar button; 48 and 256 for Explorer.
    write_ico(OUTPUT / "cipherloom.ico", [
        (16,) + ico_4bit(grids[16]),
        (32,) + ico_4bit(grids[32]),
        (48,) + ico_32bit(images[48]),
        (256,) + ico_png(images[256]),
    ])

    large = draw_padlock(design, ICNS_SIZE)
    large.save(OUTPUT / "cipherloom.icns", format="ICNS")

    for path in sorted(OUTPUT.iterdir()):
        print(path.relative_to(ROOT))


if __name__ == "__main__":
    main()
