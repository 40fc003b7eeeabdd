/* ZelCnvSim.h: attach, configure and inject faults into simulated converters. A simulated
 * converter with index N answers at the device path "\\.\ZQVD-N", exactly where the library
 * looks for real hardware, so everything above the device file runs unchanged against it.
 *
 * Every function returns 1 on success and 0 on failure unless stated otherwise. A failing call
 * changes nothing. All functions may be called from any thread.
 *
 * Configuration words (`config`: words separated by spaces; later words override earlier ones;
 * a null or empty text means "no change", so ZelSim_Attach(i, NULL) gives the defaults):
 *   standard=S        the video standard the converter detects, as register 0x88 reports it in
 *                     its low nibble: a number 0..15, or 525 (=0), 625 (=2), 525w (=4),
 *                     625w (=10). 2, 3, 10, 11 are 625-line (25 frames/s), the rest 525-line
 *                     (30000/1001 frames/s). Default 525.
 *   inputN=C          N = 0..5: what input N shows, C = bars | ramp | moving | none.
 *                     Defaults: input0=bars input1=ramp input2=moving, inputs 3..5 none.
 *                     "moving" moves between the two fields of a frame, so a wrong field order
 *                     or a torn frame is visible; "none" is a flat black picture.
 *   timing=T          realtime: frames are due at the standard's frame rate, counted from the
 *                     attach (or from the change to realtime); a host that reads late gets the
 *                     next due frame, and sees the sequence numbers it missed skipped.
 *                     free: every frame transfer returns the next frame at once.
 *                     manual: every frame transfer waits until a frame is released with the
 *                     fault word release=N. Default realtime.
 *   port=L            the I/O-port level, 0 or 1. Default 0.
 *
 * Fault words (`fault`: one or more words, at most 16, applied in order):
 *   unplug            the converter is gone: opens fail, every transfer on an open handle fails,
 *                     and frame transfers waiting for their frame fail at once. Handles opened
 *                     before an unplug stay dead.
 *   replug            the converter is back (new opens work).
 *   fail-after=N      after N more frames, every frame transfer fails (until clear).
 *   short=N           the next N frame transfers deliver half a frame and succeed.
 *   stall=T           the next frame transfer (or the one waiting now) waits T more
 *                     milliseconds (at most 3600000) before its frame; in realtime timing the
 *                     frames due meanwhile are lost and it gets the first one due after the
 *                     stall. An unplug or detach ends the wait.
 *   read-fail=N       the next N answer reads fail; a failed read consumes no answer.
 *   release=N         manual timing: N more frames may be delivered.
 *   clear             withdraw fail-after, short, stall and read-fail (not unplug).
 * Counts N are 0..1000000000.
 *
 * Every frame carries its device sequence number in the first and last active line of both
 * fields; C++ tests read it with zelsim::ReadFrameStamp (sim/model/frame_stamp.h).
 */
#ifndef ZELCNVSIM_H
#define ZELCNVSIM_H

#if defined(_WIN32)
/* On Windows the functions live in a static client library. */
#define ZELSIM_API
#else
#define ZELSIM_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Number of converters that can be attached at once, indices 0 .. ZELSIM_MAX_DEVICES - 1. */
#define ZELSIM_MAX_DEVICES 8

/* Attaches a converter at `index` with the defaults changed by `config`. 0 when the index is
 * out of range or attached already, or `config` has a bad word. */
ZELSIM_API int ZelSim_Attach(int index, const char* config);

/* Detaches the converter at `index`: its path is no longer served, and every transfer on a handle
 * still open on it fails (closing such a handle stays safe). 0 when none is attached there. */
ZELSIM_API int ZelSim_Detach(int index);

/* Changes the configuration of an attached converter; words not given keep their value. */
ZELSIM_API int ZelSim_Configure(int index, const char* config);

/* Injects faults; 0 for no converter at `index`, a null or empty `fault`, or any bad word. */
ZELSIM_API int ZelSim_InjectFault(int index, const char* fault);

/* The converter's own value of register `reg` (0..255), as the device holds it whatever the
 * host's access map allows; -1 for no converter at `index` or a register out of range. */
ZELSIM_API int ZelSim_ReadDeviceRegister(int index, int reg);

#ifdef __cplusplus
}
#endif

#endif /* ZELCNVSIM_H */
