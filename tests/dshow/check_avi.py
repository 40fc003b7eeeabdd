#!/usr/bin/env python3
"""The AVI that a capture graph (capture pin, AVI Mux, File Writer) wrote under Wine, read by
ffprobe on the host: a video stream of the converter's size with every frame the filter delivered.

usage: check_avi.py OUT_DIR"""
import json
import os
import subprocess
import sys


def main():
    out = sys.argv[1]
    path = os.path.join(out, "capture.avi")
    with open(os.path.join(out, "capture.frames")) as f:
        delivered = int(f.read().strip())
    probe = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0",
                            "-show_entries", "stream=codec_name,width,height,nb_read_frames",
                            "-of", "json", path], capture_output=True, text=True)
    if probe.returncode != 0:
        print(f"FAILED: ffprobe does not read {path}: {probe.stderr}")
        sys.exit(1)
    stream = json.loads(probe.stdout)["streams"][0]
    print("ffprobe:", json.dumps(stream))
    frames = int(stream.get("nb_read_frames", "0"))
    if (stream.get("width"), stream.get("height")) != (640, 480) or frames != delivered:
        print(f"FAILED: {frames} frames of {stream.get('width')} x {stream.get('height')}, "
              f"{delivered} delivered")
        sys.exit(1)
    print(f"the AVI holds all {delivered} frames the filter delivered")


if __name__ == "__main__":
    main()
