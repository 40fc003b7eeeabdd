#!/usr/bin/python3
"""Runs the built zelcnv (natively, or zelcnv.exe under Wine) through every command on a
simulated converter: --json output parsed and checked, the exit code of each kind of failure,
a recording ffprobe counts, and raw frames piped into FFmpeg as H.264.

Usage: check_tool.py [--wine WINE_RUN] ZELCNV SCRATCH_DIR
"""
import json
import os
import subprocess
import sys

args = sys.argv[1:]
prefix = []
if args[0] == "--wine":
    prefix, args = [args[1]], args[2:]
tool, scratch = args
os.makedirs(scratch, exist_ok=True)
wine = bool(prefix)
failures = []


def host_path(name):
    return os.path.join(scratch, name)


def tool_path(name):
    # The path as the tool names it: Wine maps the host's root to drive Z:.
    return "Z:" + host_path(name) if wine else host_path(name)


def run(*words, stdin=None, stdout=subprocess.PIPE):
    return subprocess.run(prefix + [tool] + list(words), stdin=stdin, stdout=stdout,
                          stderr=subprocess.PIPE, timeout=120)


def check(condition, what, detail=""):
    print(("ok      " if condition else "FAILED  ") + what + ("" if condition else detail))
    if not condition:
        failures.append(what)


def document(result, what):
    try:
        return json.loads(result.stdout)
    except ValueError:
        check(False, f"{what}: JSON on stdout (got {result.stdout[:200]!r}, stderr "
                     f"{result.stderr[-300:]!r})")
        return {}


def probe_frames(path, entries="stream=nb_read_frames,width,height"):
    out = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0",
                          "-show_entries", entries, "-of", "json", path],
                         capture_output=True, text=True).stdout
    streams = json.loads(out or "{}").get("streams", [{}])
    return streams[0] if streams else {}


# Settings stored by earlier programs must not decide what the checks see: natively the test runs
# with a configuration home of its own, under Wine the key is removed first.
if wine:
    subprocess.run(prefix + ["reg", "delete", "HKCU\\Software\\Velmora\\ZelCnvSdk", "/f"],
                   capture_output=True)

# Help for the tool and for each command.
for words in ([], ["devices"], ["info"], ["stream"], ["snapshot"], ["record"], ["reg", "read"],
              ["reg", "write"], ["set"], ["raw"], ["demo"]):
    result = run(*words, "--help")
    check(result.returncode == 0 and b"Usage" in result.stdout, "--help " + " ".join(words))

# No converter: a clear message and its own exit code.
result = run("devices")
check(result.returncode == 3 and b"--sim" in result.stderr, "devices without a converter: exit 3")
result = run("info")
check(result.returncode == 3, "info without a converter: exit 3")

result = run("devices", "--sim", "--json")
check(result.returncode == 0 and document(result, "devices") ==
      {"devices": [{"index": 0, "name": "ZelCnv_01"}]}, "devices --sim --json")

# Frame geometry per standard.
for standard, size in (("525", (640, 480)), ("625", (768, 570))):
    info = document(run("info", f"--sim=standard={standard}", "--json"), "info")
    check((info.get("standard"), info.get("width"), info.get("height")) == (standard,) + size
          and info.get("library") == "4.5.20" and info.get("ioPort") == 0,
          f"info of a {standard}-line converter: {size[0]} x {size[1]}")

# Registers, as the simulated converter answers them.
reg = document(run("reg", "write", "0x09", "0x40", "--sim", "--json"), "reg write")
check(reg == {"register": 9, "value": 64, "written": 64}, "reg write 0x09 0x40 reads 0x40 back")
reg = document(run("reg", "read", "0x88", "--sim=standard=625", "--json"), "reg read")
check(reg.get("register") == 0x88 and reg.get("value", 0) & 0x0F == 2,
      "reg read 0x88: the 625-line standard in the low nibble")
result = run("set", "brightness", "200", "--sim", "--json")
check(document(result, "set") == {"control": "brightness", "value": 200}, "set brightness 200")
run("set", "brightness", "128", "--sim")
result = run("set", "gamma", "1", "--sim")
check(result.returncode == 2, "set of an unknown control: exit 2")
result = run("reg", "read", "zz", "--sim")
check(result.returncode == 2, "reg read of a non-number: exit 2")

# Streaming, and an unplug mid-stream. How many frames arrive depends on the machine's load
# (under Wine on a busy machine a few a second); that they arrive, whole and counted, does not.
def told(result):
    return f" (exit {result.returncode}, stderr {result.stderr[-300:]!r})"


result = run("stream", "--seconds", "2", "--mode", "24", "--sim", "--json")
stream = document(result, "stream")
check(result.returncode == 0 and stream.get("frames", 0) >= 10 and stream.get("errors") == 0 and
      (stream.get("width"), stream.get("height"), stream.get("bitsPerPixel")) == (640, 480, 24),
      f"stream --seconds 2: {stream.get('frames')} frames", told(result))
details = stream.get("frameDetails", [])
sequences = [d.get("sequence", -1) for d in details]
times = [d.get("captureTimeUs", 0) for d in details]
# A notification read late (a busy machine) gives the next frame's details, listed once: the
# frames listed are at most those notified, and those not listed are lost or merely unseen.
check(0 < len(details) <= stream.get("frames") and
      all(b > a for a, b in zip(sequences, sequences[1:])) and
      all(b > a for a, b in zip(times, times[1:])) and
      details[-1].get("framesLost") == stream.get("framesLost") and
      stream.get("framesLost") <= sequences[-1] + 1 - len(details),
      "stream --json: each frame's sequence, capture time and the frames lost before it",
      f" ({details[:3]}...)")
result = run("stream", "--seconds", "1", "--mode", "8", "--sim", "--json")
stream = document(result, "stream 8")
check(result.returncode == 0 and stream.get("bitsPerPixel") == 8 and stream.get("frames", 0) >= 5,
      "stream --mode 8", told(result))
result = run("stream", "--seconds", "10", "--sim", "--sim-fault", "fail-after=10")
check(result.returncode == 5 and b"ERR_TRANSFER_STOPPED" in result.stderr,
      "the converter stops mid-stream: exit 5 with the error's number and name")
result = run("stream", "--mode", "13", "--sim")
check(result.returncode == 2, "stream --mode 13: exit 2")

# Converters that come and go: the simulated one arrives once the watch runs and is unplugged a
# second later.
result = run("watch", "--seconds", "2.5", "--sim", "--sim-fault", "unplug", "--json")
events = [json.loads(line) for line in result.stdout.splitlines() if line.strip()]
check(result.returncode == 0 and [(e.get("event"), e.get("index")) for e in events] ==
      [("arrived", 0), ("removed", 0)] and events[0].get("name", "").startswith("ZelCnv"),
      "watch: the arrival with the converter's name, then the removal", f" ({events})")

# Snapshots by extension and by type.
for name, fmt in (("snap.png", "PNG"), ("snap.bmp", "BMP"), ("snap.jpg", "JPEG"),
                  ("snap.tif", "TIFF")):
    snap = document(run("snapshot", "-o", tool_path(name), "--sim", "--json"), name)
    opened = subprocess.run(["/usr/bin/python3", "-c", "import sys; from PIL import Image; "
                             "i = Image.open(sys.argv[1]); print(i.format, *i.size)",
                             host_path(name)], capture_output=True, text=True).stdout.split()
    check(snap.get("bytes", 0) > 0 and opened == [fmt, "640", "480"], f"snapshot -o {name}")
snap = document(run("snapshot", "-o", tool_path("snap.img"), "--type", "jpeg20", "--mode", "8",
                    "--rate", "1", "--sim", "--json"), "snapshot --type")
check(snap.get("type") == 4 and snap.get("bitsPerPixel") == 8, "snapshot --type jpeg20 --mode 8")
check(run("snapshot", "--sim").returncode == 2, "snapshot without -o: exit 2")
check(run("snapshot", "-o", tool_path("snap.xyz"), "--sim").returncode == 2,
      "snapshot of an unknown type: exit 2")
result = run("snapshot", "-o", tool_path("missing/snap.png"), "--sim")
check(result.returncode == 4 and b"cannot write" in result.stderr,
      "snapshot into a missing directory: exit 4")

# A recording, counted by ffprobe.
rec = document(run("record", "-o", tool_path("clip.avi"), "--seconds", "1", "--sim", "--json"),
               "record")
probed = probe_frames(host_path("clip.avi"))
check(rec.get("frames", 0) >= 10 and int(probed.get("nb_read_frames", -1)) == rec.get("frames"),
      f"record --seconds 1: {rec.get('frames')} frames, ffprobe {probed.get('nb_read_frames')}")
result = run("record", "-o", tool_path("missing/clip.avi"), "--seconds", "1", "--sim")
check(result.returncode == 4, "record into a missing directory: exit 4")

# Raw frames into FFmpeg, as H.264.
h264 = host_path("raw.mp4")
with subprocess.Popen(prefix + [tool, "raw", "--seconds", "2", "-", "--sim"],
                      stdout=subprocess.PIPE, stderr=subprocess.PIPE) as producer:
    encoder = subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "rawvideo", "-pix_fmt", "bgr24",
                              "-s", "640x480", "-r", "30000/1001", "-i", "-", "-c:v", "libx264",
                              h264], stdin=producer.stdout, capture_output=True)
    errors = producer.stderr.read().decode(errors="replace")
line = next((l for l in errors.splitlines() if l.startswith("ffmpeg ")), "")
written = next((int(l.split()[1]) for l in errors.splitlines() if "frames of" in l), -1)
probed = probe_frames(h264)
check("-pix_fmt bgr24 -s 640x480 -r 30000/1001 -i -" in line, "raw prints the FFmpeg line")
check(producer.returncode == 0 and written >= 20 and
      int(probed.get("nb_read_frames", -1)) == written and
      (probed.get("width"), probed.get("height")) == (640, 480),
      f"raw | ffmpeg: H.264 of {probed.get('nb_read_frames')} frames ({written} written)")

# The demo.
result = run("demo", "--seconds", "1", "--out", tool_path(""))
check(result.returncode == 0 and b"view: ffplay" in result.stdout, "demo")

if failures:
    print(f"{len(failures)} checks failed")
    sys.exit(1)
print("zelcnv checked")
