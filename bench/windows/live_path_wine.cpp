// The live path's own processor time per frame as a Windows application sees it: ZelCnvSdk.dll
// streaming from a simulated converter served by the simulator's kernel driver (under Wine it runs
// in winedevice.exe, so the converter's own work is not in this process). The library's threads
// are the ones the stream start adds to the process; their GetThreadTimes per delivered frame is
// library_cpu_us. Beside it, in the same run, the process's own processor time per frame
// (GetProcessTimes: the library's threads, this program's message loop and Wine's own threads),
// and the library's conversion kernel (24-bit, hot, linked in statically) timed on this thread as
// the scale: x_convert = library_cpu_us / convert_us.
//
// Modes 8, 16 and 24 at 640x480, the library's window hidden (a child of a hidden window: no
// drawing) and shown (its own window, drawn through GDI); frames free-running, released one by one,
// and in real time (30000/1001 frames/s, the shipped 10 ms wait).
//
//   cmake --build build/win32 --target zelcnv_live_bench
//   xvfb-run -a cmake/wine-run build/win32/bin/zelcnv_live_bench.exe [FRAMES_SCALE]
//     (the driver must be installed and running in the prefix: ./run setup)
//
// Thread times under Wine come from the host's per-thread tick counts (10 ms steps): the frame
// counts keep that step below 5 % of each figure; FRAMES_SCALE (default 1) multiplies them.
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <vector>

#include "ZelCnvSdk.h"
#include "ZelCnvSim.h"
#include "imaging/kernels.h"
#include "model/frame_stamp.h"

namespace {

constexpr DWORD kNotifyWaitMs = 10000;
constexpr int kShippedWaitMs = 10;

enum Pacing { kFree, kReleased, kRealTime };
const char* const kPacingName[] = {"free", "released", "realtime"};
const char* const kPacingConfig[] = {"standard=525 input0=moving timing=free",
                                     "standard=525 input0=moving timing=manual",
                                     "standard=525 input0=moving timing=realtime"};

uint64_t Units(const FILETIME& t) {
  return static_cast<uint64_t>(t.dwHighDateTime) << 32 | t.dwLowDateTime;
}

// Kernel plus user time of a thread or the process, in nanoseconds.
uint64_t ThreadNs(DWORD id) {
  HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, id);
  if (thread == nullptr) return 0;
  FILETIME created{}, exited{}, kernel{}, user{};
  const bool ok = GetThreadTimes(thread, &created, &exited, &kernel, &user) != FALSE;
  CloseHandle(thread);
  return ok ? (Units(kernel) + Units(user)) * 100 : 0;
}

uint64_t ProcessNs() {
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  return (Units(kernel) + Units(user)) * 100;
}

// The transfer thread runs at the highest normal priority, the preview thread at the normal one.
bool IsTransferThread(DWORD id) {
  HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, id);
  if (thread == nullptr) return false;
  const bool highest = GetThreadPriority(thread) == THREAD_PRIORITY_HIGHEST;
  CloseHandle(thread);
  return highest;
}

std::set<DWORD> ProcessThreads() {
  std::set<DWORD> ids;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return ids;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ids.insert(entry.th32ThreadID);
  }
  CloseHandle(snapshot);
  return ids;
}

HWND CreateTopWindow(const char* title, DWORD style, int width, int height) {
  static const bool registered = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ZelCnvLiveBench";
    return RegisterClassA(&wc) != 0;
  }();
  (void)registered;
  return CreateWindowExA(0, "ZelCnvLiveBench", title, style, 0, 0, width, height, nullptr, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

// Pumps this thread's messages until `window` receives MSG_FRAME_NOTIFY: its wParam (0 for an
// error), or -1 when none came.
intptr_t WaitFrameNotify(HWND window) {
  const DWORD deadline = GetTickCount() + kNotifyWaitMs;
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.hwnd == window && msg.message == MSG_FRAME_NOTIFY) {
        return static_cast<intptr_t>(msg.wParam);
      }
      DispatchMessageA(&msg);
    }
    const DWORD now = GetTickCount();
    if (static_cast<int32_t>(deadline - now) <= 0) return -1;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, deadline - now, QS_ALLINPUT);
  }
}

// The sequence number the stamp at the start of a delivered row carries, or -1.
int64_t RowSequence(const uint8_t* row, int bytesPerPixel) {
  uint8_t luma[zelsim::kStampSamples];
  int samples = bytesPerPixel;
  if (bytesPerPixel > 2) {
    for (int i = 0; i < zelsim::kStampSamples; ++i) luma[i] = row[i * bytesPerPixel];
    row = luma;
    samples = 1;
  }
  uint32_t sequence = 0;
  return zelsim::ReadFrameStamp(row, samples, &sequence) ? int64_t{sequence} : -1;
}

// The library's 24-bit conversion of a 640x480 frame on this thread, hot: the median of many, in
// microseconds of the performance counter (thread times step too coarsely under Wine to time one).
double ConvertUs() {
  constexpr int kWidth = 640, kHeight = 480;
  std::vector<uint8_t> yuyv(size_t(kWidth) * kHeight * 2), out(size_t(kWidth) * 3 * kHeight);
  for (size_t i = 0; i < yuyv.size(); ++i) {
    yuyv[i] =
        static_cast<uint8_t>(i % 2 == 0 ? (i / 2) % kWidth * 200 / kWidth + i % 13 : 96 + i % 61);
  }
  LARGE_INTEGER frequency{};
  QueryPerformanceFrequency(&frequency);
  std::vector<double> samples;
  for (int k = 0; k < 101; ++k) {
    LARGE_INTEGER start{}, end{};
    QueryPerformanceCounter(&start);
    zelcnv::imaging::ConvertRows(zelcnv::imaging::kYuyvToBgr24, yuyv.data(), kWidth * 2,
                                 out.data() + kWidth * 3 * (kHeight - 1), -kWidth * 3, kWidth,
                                 kHeight);
    QueryPerformanceCounter(&end);
    samples.push_back(static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 /
                      static_cast<double>(frequency.QuadPart));
  }
  std::nth_element(samples.begin(), samples.begin() + 50, samples.end());
  return samples[50];
}

struct Result {
  bool ok = false;
  int frames = 0;
  int libraryThreads = 0;
  double libraryUs = 0;
  double transferUs = 0;
  double processUs = 0;
  int64_t skipped = 0;
};

Result Stream(int bits, Pacing pacing, bool shown, int frames) {
  Result result;
  for (int i = 0; i < ZELSIM_MAX_DEVICES; ++i) ZelSim_Detach(i);
  if (ZelSim_Attach(0, kPacingConfig[pacing]) != 1) {
    std::fprintf(stderr, "cannot attach a simulated converter (is the driver running?)\n");
    return result;
  }
  HWND notify = CreateTopWindow("notifications", WS_OVERLAPPED, 10, 10);
  HWND hiddenParent = shown ? nullptr : CreateTopWindow("hidden", WS_OVERLAPPEDWINDOW, 800, 600);
  const int handle = ZelCam_Initialize(nullptr);
  const int wait = pacing == kRealTime ? kShippedWaitMs : 0;
  if (handle != 0 && ZelCam_SetColorMode(handle, bits) == 1 && ZelCam_SetWaitTime(handle, wait)) {
    const int width = ZelCam_Width(handle), height = ZelCam_Height(handle);
    const int bytes = bits / 8, stride = (width * bytes + 3) / 4 * 4;
    std::vector<uint8_t> buffer(size_t(stride) * height);
    if (hiddenParent != nullptr) ZelCam_SetPreviewWindow(handle, hiddenParent, 0, 0, width, height);
    const std::set<DWORD> before = ProcessThreads();
    if (ZelCam_CallBackPreview(handle, notify, buffer.data(), static_cast<int>(buffer.size()), 1) ==
        1) {
      int64_t last = -1, skipped = 0;
      auto frame = [&] {
        if (pacing == kReleased) ZelSim_InjectFault(0, "release=1");
        if (WaitFrameNotify(notify) <= 0) return false;
        const int64_t top = RowSequence(buffer.data(), bytes);
        const int64_t bottom = RowSequence(&buffer[size_t(height - 1) * stride], bytes);
        if (top < 0 || top != bottom) {
          ++skipped;
        } else {
          if (last >= 0 && top > last + 1) skipped += top - last - 1;
          last = top;
        }
        return true;
      };
      bool ok = true;
      for (int i = 0; ok && i < 15; ++i) ok = frame();
      std::vector<DWORD> library;
      for (DWORD id : ProcessThreads()) {
        if (before.count(id) == 0) library.push_back(id);
      }
      auto libraryNs = [&](bool transferOnly) {
        uint64_t total = 0;
        for (DWORD id : library) {
          if (!transferOnly || IsTransferThread(id)) total += ThreadNs(id);
        }
        return total;
      };
      skipped = 0;
      const uint64_t libraryStart = libraryNs(false), transferStart = libraryNs(true);
      const uint64_t processStart = ProcessNs();
      int done = 0;
      for (; ok && done < frames; ++done) ok = frame();
      const uint64_t libraryUsed = libraryNs(false) - libraryStart;
      const uint64_t transferUsed = libraryNs(true) - transferStart;
      const uint64_t processUsed = ProcessNs() - processStart;
      result.ok = ok;
      result.frames = done;
      result.libraryThreads = static_cast<int>(library.size());
      result.libraryUs = done > 0 ? libraryUsed / 1000.0 / done : 0;
      result.transferUs = done > 0 ? transferUsed / 1000.0 / done : 0;
      result.processUs = done > 0 ? processUsed / 1000.0 / done : 0;
      // Free-running frames are skipped by design, and the buffer is overwritten while read.
      result.skipped = pacing == kFree ? 0 : skipped;
    }
    ZelSim_Configure(0, "timing=free");  // a manual converter holds the transfer in flight
    ZelCam_Close(handle);
  }
  if (handle != 0) ZelCam_Release(handle);
  if (hiddenParent != nullptr) DestroyWindow(hiddenParent);
  DestroyWindow(notify);
  ZelSim_Detach(0);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  const double scale = argc > 1 ? std::atof(argv[1]) : 1.0;
  const double convert = ConvertUs();
  std::printf("convert_us=%.1f (the library's 24-bit kernel on a 640x480 frame, hot)\n", convert);
  int failures = 0;
  for (bool shown : {false, true}) {
    for (Pacing pacing : {kFree, kReleased, kRealTime}) {
      for (int bits : {8, 16, 24}) {
        const int frames = static_cast<int>((pacing == kRealTime ? 300 : 1500) * scale);
        const Result r = Stream(bits, pacing, shown, frames);
        if (!r.ok) ++failures;
        std::printf(
            "live/bits:%d/%s/window:%s frames=%d library_threads=%d library_cpu_us=%.1f "
            "transfer_us=%.1f preview_us=%.1f process_cpu_us=%.1f x_convert=%.2f skipped=%lld%s\n",
            bits, kPacingName[pacing], shown ? "shown" : "hidden", r.frames, r.libraryThreads,
            r.libraryUs, r.transferUs, r.libraryUs - r.transferUs, r.processUs,
            convert > 0 ? r.libraryUs / convert : 0.0, static_cast<long long>(r.skipped),
            r.ok ? "" : " FAILED");
        std::fflush(stdout);
      }
    }
  }
  return failures == 0 ? 0 : 1;
}
