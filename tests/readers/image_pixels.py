#!/usr/bin/python3
"""Prints what a standard reader makes of an image file: mode, size and raw pixels.

Usage: image_pixels.py FILE  ->  "MODE WIDTH HEIGHT FORMAT PROGRESSIVE\n" then the pixels
(Image.tobytes(), top row first) on stdout.
"""
import sys

from PIL import Image

with Image.open(sys.argv[1]) as image:
    image.load()
    progressive = 1 if image.info.get("progressive") or image.info.get("progression") else 0
    header = f"{image.mode} {image.width} {image.height} {image.format} {progressive}\n"
    sys.stdout.buffer.write(header.encode())
    sys.stdout.buffer.write(image.tobytes())
