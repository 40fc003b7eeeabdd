#!/usr/bin/python3
"""Reads the files a picture test wrote with the standard readers and compares what they show
with the pictures the test expected.

Usage: check_pictures.py DIR. Every DIR/*/manifest.jsonl line names a file, a reader ("pillow",
or "ffmpeg:PIX_FMT" for FFmpeg's raw output in that pixel format), the expected picture (raw
bytes beside the file, top row first, red first; several frames one after another) and the mean
difference allowed (0: every byte equal).
"""
import glob
import json
import os
import subprocess
import sys

from PIL import Image


def pillow(path, expected_size, width, height):
    with Image.open(path) as image:
        image.load()
        if image.size != (width, height):
            return None, f"size {image.size}"
        if "A" in image.getbands() and image.getchannel("A").getextrema()[0] < 255:
            return None, "not opaque"
        grey = expected_size == width * height
        return image.convert("L" if grey else "RGB").tobytes(), image.mode


def ffmpeg(path, pix_fmt):
    result = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-f", "rawvideo", "-pix_fmt",
                             pix_fmt, "-"], capture_output=True)
    if result.returncode != 0:
        return None, result.stderr.decode(errors="replace").strip()
    return result.stdout, pix_fmt


def main():
    failures, checked = [], 0
    manifests = sorted(glob.glob(os.path.join(sys.argv[1], "*", "manifest.jsonl")))
    for manifest in manifests:
        folder = os.path.dirname(manifest)
        with open(manifest) as lines:
            entries = [json.loads(line) for line in lines if line.strip()]
        for entry in entries:
            path = os.path.join(folder, entry["file"])
            label = os.path.relpath(path, sys.argv[1]) + " (" + entry["reader"] + ")"
            with open(os.path.join(folder, entry["expected"]), "rb") as f:
                expected = f.read()
            if entry["reader"] == "pillow":
                got, what = pillow(path, len(expected), entry["width"], entry["height"])
            else:
                got, what = ffmpeg(path, entry["reader"].split(":", 1)[1])
            checked += 1
            if got is None:
                failures.append(f"{label}: {what}")
                continue
            if len(got) != len(expected):
                failures.append(f"{label}: {len(got)} bytes instead of {len(expected)} ({what})")
                continue
            wide = "48" in entry["reader"] or "64" in entry["reader"]
            step = 2 if wide else 1
            values_got = memoryview(got).cast("H") if wide else got
            values_expected = memoryview(expected).cast("H") if wide else expected
            difference = sum(abs(a - b) for a, b in zip(values_got, values_expected))
            mean = difference / (len(expected) / step)
            if mean > entry["tolerance"] or (entry["tolerance"] == 0 and difference != 0):
                failures.append(f"{label}: mean difference {mean:.3f} "
                                f"(allowed {entry['tolerance']}, {what})")
            else:
                print(f"{label}: mean difference {mean:.3f} ({what})")
    for failure in failures:
        print("FAILED", failure)
    if not manifests or checked == 0:
        print("no manifest in", sys.argv[1])
        return 1
    if failures:
        return 1
    print(f"{checked} files read as expected")
    return 0


if __name__ == "__main__":
    sys.exit(main())
