#!/usr/bin/env python3
"""The built plugin through GStreamer's own tools, as users meet it: gst-inspect-1.0 loads it
cleanly, gst-device-monitor-1.0 lists simulated converters with their launch lines, and a
gst-launch-1.0 pipeline records an H.264 file in which ffprobe counts every frame.

usage: check_gst_tools.py PLUGIN_DIR SCRATCH_DIR [PRELOAD]

PRELOAD: the sanitizer runtimes a sanitizer build's plugin needs in GStreamer's own programs
(given to those programs alone, with leak detection off: their own allocations at exit are not
the plugin's)."""
import json
import os
import shutil
import subprocess
import sys


def run(args, env, timeout=120):
    result = subprocess.run(args, env=env, capture_output=True, text=True, timeout=timeout)
    return result.returncode, result.stdout, result.stderr


def check(condition, what, output=""):
    if not condition:
        print(f"FAILED: {what}\n{output}")
        sys.exit(1)
    print(f"ok: {what}")


def main():
    plugin_dir, scratch = sys.argv[1], sys.argv[2]
    shutil.rmtree(scratch, ignore_errors=True)
    os.makedirs(scratch)
    # A user of our own (the library keeps settings per user) and a registry of our own.
    env = dict(os.environ, GST_PLUGIN_PATH=plugin_dir,
               GST_REGISTRY_1_0=os.path.join(scratch, "registry.bin"),
               XDG_CONFIG_HOME=os.path.join(scratch, "config"))
    ffprobe_env = dict(env)
    if len(sys.argv) > 3:
        env.update(LD_PRELOAD=sys.argv[3],
                   ASAN_OPTIONS="detect_leaks=0:halt_on_error=1:abort_on_error=1")

    code, out, err = run(["gst-inspect-1.0", "zelcnvsrc"], env)
    check(code == 0 and "GstPushSrc" in out and "GstColorBalance" in out,
          "gst-inspect-1.0 zelcnvsrc describes the element", out + err)
    noise = [line for line in err.splitlines() if "WARN" in line or "CRITICAL" in line]
    check(not noise, "gst-inspect-1.0 zelcnvsrc loads without warnings", err)
    code, out, err = run(["gst-inspect-1.0", "zelcnv"], env)
    check(code == 0 and "zelcnvsrc" in out and "zelcnvdeviceprovider" in out,
          "the plugin holds the element and the device provider", out + err)

    monitor_env = dict(env, ZELCNV_GST_SIMULATE="0:standard=525;2:standard=625")
    try:
        result = subprocess.run(["gst-device-monitor-1.0", "Video/Source"], env=monitor_env,
                                capture_output=True, text=True, timeout=60)
        out = result.stdout
    except subprocess.TimeoutExpired as e:
        out = e.stdout.decode() if isinstance(e.stdout, bytes) else (e.stdout or "")
    check("name  : ZelCnv_01" in out and "name  : ZelCnv_03" in out,
          "gst-device-monitor-1.0 lists both simulated converters", out)
    check("gst-launch-1.0 zelcnvsrc ! ..." in out and "gst-launch-1.0 zelcnvsrc device=2 ! ..." in out,
          "with the launch line of each", out)
    check("width=768, height=570, framerate=25/1" in out and "format={ (string)BGR" in out,
          "with the caps the converter gives", out)

    clip = os.path.join(scratch, "clip.mp4")
    code, out, err = run(["gst-launch-1.0", "-e", "zelcnvsrc", "simulate=standard=525",
                          "num-buffers=60", "!", "videoconvert", "!", "x264enc",
                          "speed-preset=ultrafast", "!", "mp4mux", "!", "filesink",
                          f"location={clip}"], env)
    check(code == 0, "gst-launch-1.0 zelcnvsrc ! x264enc ! mp4mux records a clip", out + err)
    code, out, err = run(["ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0",
                          "-show_entries", "stream=codec_name,width,height,nb_read_frames",
                          "-of", "json", clip], ffprobe_env)
    stream = json.loads(out)["streams"][0] if code == 0 else {}
    check(stream.get("codec_name") == "h264" and stream.get("nb_read_frames") == "60"
          and (stream.get("width"), stream.get("height")) == (640, 480),
          "ffprobe reads 60 H.264 frames of 640 x 480 in it", out + err)
    print("GStreamer tools checked")


if __name__ == "__main__":
    main()
