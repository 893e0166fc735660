#!/usr/bin/env python3
"""Prints what independent readers find in an image file, one key=value a line.

Pillow opens the file and reports its format, mode, size and the pixels at the picture's corners
(top-left, top-right, bottom-left). For PNG the file's own chunks give the bit depth, colour type
and the first pixel's bytes as stored (the first pixel of the first row is stored unchanged
whatever its filter). For TIFF the tags give samples and depth, and the one strip's bytes give the
first two rows as stored. Usage: image_facts.py FILE
"""
import struct
import sys
import zlib

from PIL import Image


def pixel(image, x, y):
    value = image.getpixel((x, y))
    if not isinstance(value, tuple):
        value = (value,)
    return ",".join(str(v) for v in value)


def png_chunks(data):
    at = 8
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        yield kind, data[at + 8:at + 8 + length]
        at += 12 + length


def main(path):
    facts = {}
    with Image.open(path) as image:
        facts["format"] = image.format
        facts["mode"] = image.mode
        facts["size"] = "%dx%d" % image.size
        width, height = image.size
        facts["topLeft"] = pixel(image, 0, 0)
        facts["topRight"] = pixel(image, width - 1, 0)
        facts["bottomLeft"] = pixel(image, 0, height - 1)
        if image.format == "TIFF":
            tags = image.tag_v2
            facts["samplesPerPixel"] = tags.get(277)
            facts["bitsPerSample"] = ",".join(str(b) for b in tags.get(258))
            facts["photometric"] = tags.get(262)
            offset = tags.get(273)[0]
            row = tags.get(279)[0] // height
            with open(path, "rb") as raw:
                raw.seek(offset)
                strip = raw.read(2 * row)
            facts["stripBytes"] = tags.get(279)[0]
            facts["row0"] = strip[:row].hex()
            facts["row1"] = strip[row:2 * row].hex()
    if facts["format"] == "PNG":
        data = open(path, "rb").read()
        idat = b""
        for kind, body in png_chunks(data):
            if kind == b"IHDR":
                _, _, depth, colour = struct.unpack(">IIBB", body[:10])
                facts["bitDepth"] = depth
                facts["colourType"] = colour
            elif kind == b"IDAT":
                idat += body
        pixels = zlib.decompress(idat)
        facts["firstPixelStored"] = pixels[1:9].hex()
    for key, value in facts.items():
        print("%s=%s" % (key, value))


if __name__ == "__main__":
    main(sys.argv[1])
