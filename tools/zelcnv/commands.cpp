// The zelcnv commands, each a client of the C API in a Session.
#include "commands.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

#include "ZelCnvSdkEx.h"
#include "ZelCnvSim.h"
#include "message_pump.h"

namespace zelcnv::tool {

namespace {

using json = nlohmann::ordered_json;
using Clock = std::chrono::steady_clock;

constexpr int kNotifyWaitMs = 3000;

bool IsTerminal(FILE* stream) {
#ifdef _WIN32
  return _isatty(_fileno(stream)) != 0;
#else
  return isatty(fileno(stream)) != 0;
#endif
}

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

int64_t FileSize(const std::string& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  return error ? -1 : static_cast<int64_t>(size);
}

uint32_t FileU32(const std::string& path, long offset) {
  uint32_t value = 0;
  if (FILE* file = std::fopen(path.c_str(), "rb")) {
    if (std::fseek(file, offset, SEEK_SET) != 0 || std::fread(&value, 4, 1, file) != 1) value = 0;
    std::fclose(file);
  }
  return value;
}

const char* StandardName(int standard) {
  switch (standard) {
    case ZELCNV_VIDEO_525_LINE:
      return "525";
    case ZELCNV_VIDEO_625_LINE:
      return "625";
    case ZELCNV_VIDEO_525_LINE_WIDE:
      return "525 wide";
    case ZELCNV_VIDEO_625_LINE_WIDE:
      return "625 wide";
    default:
      return "unknown";
  }
}

// The nominal frame rate of the converter's standard, as FFmpeg writes it.
const char* NominalRate(int standard) {
  return standard == ZELCNV_VIDEO_625_LINE || standard == ZELCNV_VIDEO_625_LINE_WIDE ? "25"
                                                                                     : "30000/1001";
}

int Stride(int width, int bits) {
  return (width * bits / 8 + 3) / 4 * 4;
}

// Sets the colour mode and sampling code asked for (0 keeps the current one; -1 rate keeps it).
int Prepare(Session& session, int mode, int rate) {
  if (mode != 0 && ZelCam_SetColorMode(session.handle(), mode) != 1) {
    return session.Fail(
        kExitUsage, "colour mode " + std::to_string(mode) + " is not one of 8, 16, 24, 32, 48, 64");
  }
  if (rate >= 0 && ZelCam_SetSamplingRate(session.handle(), rate) != 1) {
    return session.Fail(kExitUsage, "sampling code " + std::to_string(rate) + " is not 0..3");
  }
  return kExitOk;
}

// Streams into `buffer` (top row first) and calls `frame` for each frame until it returns false,
// `seconds` have passed or the stream fails. Returns the exit code.
template <class OnFrame>
int StreamFrames(Session& session, double seconds, std::vector<uint8_t>& buffer, int* errors,
                 OnFrame frame) {
  const int handle = session.handle();
  if (ZelCam_CallBackPreview(handle, session.frames(), buffer.data(), int(buffer.size()), 1) != 1) {
    return session.Fail(kExitFailed, "the stream did not start");
  }
  const auto start = Clock::now();
  int code = kExitOk;
  while (SecondsSince(start) < seconds) {
    Notification note{};
    if (!NextNotification(session.frames(), &note, kNotifyWaitMs)) {
      code = session.Fail(kExitUnplugged, "no frame for 3 s: the converter stopped sending");
      break;
    }
    if (note.message != MSG_FRAME_NOTIFY) continue;
    if (note.wParam == 0) {
      ++*errors;
      if (note.lParam == ERR_TRANSFER_STOPPED) {
        code = session.Fail(kExitUnplugged, "the converter stopped sending (" +
                                                ErrorName(int(note.lParam)) + ", error " +
                                                std::to_string(note.lParam) + ")");
        break;
      }
      continue;
    }
    if (!frame(*reinterpret_cast<const FrameInfo*>(note.wParam))) break;
  }
  const int stopped = ZelCam_StopPreview(handle);
  if (code == kExitOk && stopped != 1) code = session.Fail(kExitFailed, "the stream stopped badly");
  return code;
}

}  // namespace

int Devices(const CommonOptions& options) {
  Session session(options);
  if (const int code = session.Open(false); code != kExitOk) return code;
  static char names[ZELCNV_DEVICE_LIST_ENTRIES][ZELCNV_DEVICE_NAME_CHARS];
  const int count = ZelCam_EnumDevice(session.handle(), names);
  json list = json::array();
  for (int index = 0, listed = 0; index < 8 && listed < count; ++index) {
    char name[ZELCNV_DEVICE_NAME_CHARS] = {};
    if (ZelCam_GetDeviceName(session.handle(), index, name, sizeof name) != 1) continue;
    ++listed;
    list.push_back({{"index", index}, {"name", name}});
    if (!options.json) std::printf("%d  %s\n", index, name);
  }
  session.Emit({{"devices", list}});
  if (list.empty()) {
    return session.Fail(kExitNoConverter, "no converter found (--sim attaches a simulated one)");
  }
  return kExitOk;
}

int Info(const CommonOptions& options) {
  Session session(options);
  if (const int code = session.Open(); code != kExitOk) return code;
  const int h = session.handle();
  int valid = 0, port = 0;
  const int version = ZelCam_GetDllVersion();
  const int standard = ZelCam_GetVideoFormat(h, &valid);
  const int sampling = ZelCam_GetSamplingRate(h, nullptr);
  const json document = {
      {"library", std::to_string(version >> 16) + "." + std::to_string((version >> 8) & 0xFF) +
                      "." + std::to_string(version & 0xFF)},
      {"device", options.device},
      {"standard", StandardName(valid ? standard : -1)},
      {"samplingCode", sampling},
      {"width", ZelCam_Width(h)},
      {"height", ZelCam_Height(h)},
      {"colourMode", ZelCam_GetColorMode(h)},
      {"waitTimeMs", ZelCam_GetWaitTime(h)},
      {"brightness", ZelCam_GetBrightness(h, nullptr)},
      {"contrast", ZelCam_GetContrast(h, nullptr)},
      {"hue", ZelCam_GetHue(h, nullptr)},
      {"saturation", ZelCam_GetSaturation(h, nullptr)},
      {"ioPort", ZelCam_GetIOPort(h, 0, &port) == 1 ? json(port) : json(nullptr)}};
  if (options.json) {
    session.Emit(document);
  } else {
    for (const auto& [key, value] : document.items()) {
      std::printf("%-12s %s\n", key.c_str(),
                  value.is_string() ? value.get<std::string>().c_str() : value.dump().c_str());
    }
  }
  return kExitOk;
}

int Stream(const CommonOptions& options, double seconds, int mode) {
  Session session(options);
  if (const int code = session.Open(); code != kExitOk) return code;
  if (const int code = Prepare(session, mode, -1); code != kExitOk) return code;
  const int h = session.handle();
  const int bits = ZelCam_GetColorMode(h);
  std::vector<uint8_t> buffer(size_t(Stride(ZelCam_Width(h), bits)) * ZelCam_Height(h));
  const bool live = !options.json && IsTerminal(stdout);
  int frames = 0, errors = 0, rate = 0, width = 0, height = 0;
  unsigned long long lost = 0;
  json details = json::array();
  const auto start = Clock::now();
  double lastLine = 0;
  const int code = StreamFrames(session, seconds, buffer, &errors, [&](const FrameInfo& info) {
    ++frames;
    rate = info.frameRate;
    width = info.width;
    height = info.height;
    ZelCnvFrameDetails facts{};
    facts.size = sizeof facts;
    if (ZelCnvEx_GetFrameDetails(h, &facts) == 1) {
      lost = facts.framesLost;
      // Capture times in microseconds from the clock ZelCnvEx_Now reads. A notification read
      // after the next one was posted gives that next frame's details: it is listed once.
      if (options.json && (details.empty() || details.back()["sequence"] != facts.sequence)) {
        details.push_back({{"sequence", facts.sequence},
                           {"captureTimeUs", facts.captureTime / 10},
                           {"framesLost", facts.framesLost}});
      }
    }
    const double now = SecondsSince(start);
    if (!options.json && now - lastLine >= (live ? 0.1 : 1.0)) {
      lastLine = now;
      std::printf(live ? "\r%5.1f s  %6d frames  %5.1f frames/s  %llu lost  %d errors"
                       : "%.1f s: %d frames, %.1f frames/s, %llu lost, %d errors\n",
                  now, frames, rate / 10.0, lost, errors);
      std::fflush(stdout);
    }
    return true;
  });
  if (live) std::printf("\n");
  ZelCnvStreamStats stats{};
  stats.size = sizeof stats;
  const bool haveStats = ZelCnvEx_GetStreamStats(h, &stats) == 1;
  if (options.json) {
    json summary = {{"frames", frames},         {"seconds", SecondsSince(start)},
                    {"frameRate", rate / 10.0}, {"errors", errors},
                    {"width", width},           {"height", height},
                    {"bitsPerPixel", bits},     {"framesLost", lost}};
    if (haveStats) {
      summary["latencyMedianUs"] = stats.latencyMedian / 10;
      summary["latencyMaxUs"] = stats.latencyMax / 10;
    }
    summary["frameDetails"] = details;
    session.Emit(summary);
  } else {
    std::printf("%d frames of %d x %d at %d bits in %.1f s, %.1f frames/s, %llu lost, %d errors\n",
                frames, width, height, bits, SecondsSince(start), rate / 10.0, lost, errors);
  }
  return code;
}

int Watch(const CommonOptions& options, double seconds) {
  // The simulated converter comes once the watch runs, so that its arrival is seen.
  CommonOptions unattached = options;
  unattached.sim = false;
  Session session(unattached);
  if (const int code = session.Open(false); code != kExitOk) return code;
  const int h = session.handle();
  if (ZelCnvEx_WatchDevices(h, 1) != 1) return session.Fail(kExitFailed, "the watch did not start");
  bool attached = false, faulted = options.simFault.empty();
  if (options.sim) {
    if (ZelSim_Attach(options.device, options.simConfig.c_str()) != 1) {
      return session.Fail(kExitUsage,
                          "the simulator refused the configuration \"" + options.simConfig + "\"");
    }
    attached = true;
  }
  if (!options.json) {
    std::printf("watching for converters%s\n", seconds > 0 ? "" : " (Ctrl-C ends)");
    std::fflush(stdout);
  }
  const auto start = Clock::now();
  int code = kExitOk;
  while (seconds <= 0 || SecondsSince(start) < seconds) {
    if (!faulted && attached && SecondsSince(start) >= 1.0) {
      faulted = true;
      if (ZelSim_InjectFault(options.device, options.simFault.c_str()) != 1) {
        code = session.Fail(kExitUsage,
                            "the simulator refused the fault \"" + options.simFault + "\"");
        break;
      }
    }
    Notification note{};
    if (!NextNotification(session.app(), &note, 100) || note.message != MSG_DEVICE_CHANGE) {
      continue;
    }
    const int index = int(note.wParam);
    const bool arrived = note.lParam != 0;
    char name[ZELCNV_DEVICE_NAME_CHARS] = {};
    if (arrived) ZelCam_GetDeviceName(h, index, name, sizeof name);
    if (options.json) {
      // One line per change, as it happens.
      std::printf("%s\n", json({{"seconds", SecondsSince(start)},
                                {"index", index},
                                {"event", arrived ? "arrived" : "removed"},
                                {"name", name}})
                              .dump()
                              .c_str());
    } else {
      std::printf("%6.1f s  %s %d%s%s\n", SecondsSince(start), arrived ? "arrived" : "removed",
                  index, arrived ? "  " : "", name);
    }
    std::fflush(stdout);
  }
  ZelCnvEx_WatchDevices(h, 0);
  if (attached) ZelSim_Detach(options.device);
  return code;
}

int FileTypeOf(const std::string& type, const std::string& path) {
  static const struct {
    const char* name;
    int code;
  } kTypes[] = {{"bmp", 0}, {"raw", 1},  {"jpeg100", 2}, {"jpeg70", 3}, {"jpeg20", 4},
                {"png", 5}, {"tiff", 6}, {"jpg", 2},     {"jpeg", 2},   {"tif", 6}};
  std::string wanted = type;
  if (wanted.empty()) {
    const std::string extension = std::filesystem::path(path).extension().string();
    wanted = extension.empty() ? "" : extension.substr(1);
    for (char& c : wanted) c = char(std::tolower(static_cast<unsigned char>(c)));
  }
  for (const auto& t : kTypes) {
    if (wanted == t.name) return t.code;
  }
  return -1;
}

int Snapshot(const CommonOptions& options, const std::string& path, const std::string& type,
             int mode, int rate) {
  const int fileType = FileTypeOf(type, path);
  if (fileType < 0) {
    std::fprintf(stderr,
                 "zelcnv: no file type for \"%s\": give --type bmp|raw|jpeg100|jpeg70|"
                 "jpeg20|png|tiff or a known extension\n",
                 path.c_str());
    return kExitUsage;
  }
  Session session(options);
  if (const int code = session.Open(); code != kExitOk) return code;
  if (const int code = Prepare(session, mode, rate); code != kExitOk) return code;
  const int h = session.handle();
  if (ZelCam_SnapShot(h, nullptr, 0, 0) != 1) return session.Fail(kExitFailed, "no frame read");
  if (ZelCam_SaveImage(h, path.c_str(), fileType) != 1) {
    return session.Fail(kExitFile, "cannot write " + path);
  }
  const json document = {{"file", path},
                         {"type", fileType},
                         {"bytes", FileSize(path)},
                         {"width", ZelCam_Width(h)},
                         {"height", ZelCam_Height(h)},
                         {"bitsPerPixel", ZelCam_GetColorMode(h)}};
  if (options.json) {
    session.Emit(document);
  } else {
    std::printf("saved %s: %d x %d at %d bits, %lld bytes\n", path.c_str(), ZelCam_Width(h),
                ZelCam_Height(h), ZelCam_GetColorMode(h), static_cast<long long>(FileSize(path)));
  }
  return kExitOk;
}

int Record(const CommonOptions& options, const std::string& path, double seconds, int mode) {
  Session session(options);
  if (const int code = session.Open(); code != kExitOk) return code;
  if (const int code = Prepare(session, mode, -1); code != kExitOk) return code;
  const int h = session.handle();
  const int64_t chunk = int64_t(Stride(ZelCam_Width(h), 24)) * ZelCam_Height(h) + 8;
  const int durationMs = int(seconds * 1000);
  if (ZelCam_Record(h, path.c_str(), durationMs, 0) != 1) {
    return session.Fail(kExitFile, "cannot record into " + path);
  }
  const bool bar = !options.json && IsTerminal(stdout);
  const auto start = Clock::now();
  double lastLine = -1;
  // The recording ends with the first frame after its time; once the file stops growing the
  // stream is stopped, which finishes a recording still running in any case.
  int64_t size = 0, previous = -1;
  for (;;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const double now = SecondsSince(start);
    size = FileSize(path);
    const int64_t frames = size > 232 ? (size - 232) / chunk : 0;
    if (!options.json && (bar || now - lastLine >= 1.0)) {
      lastLine = now;
      const double done = now < seconds ? now / seconds : 1.0;
      if (bar) {
        const int filled = int(done * 30);
        std::printf("\r[%-30s] %5.1f / %.1f s  %5lld frames  %7.1f MB",
                    std::string(size_t(filled), '#').c_str(), now < seconds ? now : seconds,
                    seconds, static_cast<long long>(frames), size / 1e6);
      } else {
        std::printf("%.1f / %.1f s, %lld frames, %.1f MB\n", now < seconds ? now : seconds, seconds,
                    static_cast<long long>(frames), size / 1e6);
      }
      std::fflush(stdout);
    }
    if (now > seconds + 0.5 && size == previous) break;
    if (now > seconds + 10) break;
    if (now > seconds) previous = size;
  }
  if (bar) std::printf("\n");
  ZelCam_StopPreview(h);
  const uint32_t frames = FileU32(path, 140);  // the stream header's length: every frame
  const json document = {{"file", path},
                         {"frames", frames},
                         {"bytes", FileSize(path)},
                         {"seconds", SecondsSince(start)}};
  if (options.json) {
    session.Emit(document);
  } else {
    std::printf("recorded %s: %u frames, %.1f MB (view: ffplay %s)\n", path.c_str(), frames,
                FileSize(path) / 1e6, path.c_str());
  }
  if (ZelCam_GetLastError(h) == ERR_OPERATION)
    return session.Fail(kExitFile, "writing " + path + " failed");
  return frames > 0 ? kExitOk : session.Fail(kExitFailed, "no frame recorded");
}

int Register(const CommonOptions& options, bool write, int reg, int value) {
  Session session(options);
  if (const int code = session.Open(); code != kExitOk) return code;
  const int h = session.handle();
  if (write && ZelCam_WriteRegister(h, reg, value) != 1) {
    return session.Fail(kExitFailed, "register " + std::to_string(reg) + " was not written");
  }
  int valid = 0;
  const int read = ZelCam_ReadRegister(h, reg, &valid);
  if (valid != 1)
    return session.Fail(kExitFailed, "register " + std::to_string(reg) + " was not read");
  json document = {{"register", reg}, {"value", read}};
  if (write) document["written"] = value & 0xFF;
  if (options.json) {
    session.Emit(document);
  } else {
    std::printf("register 0x%02X = 0x%02X (%d)\n", reg, read, read);
  }
  return kExitOk;
}

int Set(const CommonOptions& options, const std::string& name, int value) {
  static const struct {
    const char* name;
    int (*set)(int, int);
    int (*get)(int, int*);
  } kControls[] = {{"brightness", ZelCam_SetBrightness, ZelCam_GetBrightness},
                   {"contrast", ZelCam_SetContrast, ZelCam_GetContrast},
                   {"hue", ZelCam_SetHue, ZelCam_GetHue},
                   {"saturation", ZelCam_SetSaturation, ZelCam_GetSaturation}};
  Session session(options);
  if (const int code = session.Open(); code != kExitOk) return code;
  for (const auto& control : kControls) {
    if (name != control.name) continue;
    if (control.set(session.handle(), value) != 1) {
      return session.Fail(kExitFailed, name + " was not set");
    }
    const int now = control.get(session.handle(), nullptr);
    if (options.json) {
      session.Emit({{"control", name}, {"value", now}});
    } else {
      std::printf("%s = %d\n", name.c_str(), now);
    }
    return kExitOk;
  }
  std::fprintf(stderr, "zelcnv: no picture control \"%s\"\n", name.c_str());
  return kExitUsage;
}

int Raw(const CommonOptions& options, double seconds, const std::string& path, int mode) {
  if (mode != 0 && mode != 8 && mode != 24) {
    std::fprintf(stderr, "zelcnv: raw frames are BGR24 (--mode 24) or grey (--mode 8)\n");
    return kExitUsage;
  }
  Session session(options);
  if (const int code = session.Open(); code != kExitOk) return code;
  if (const int code = Prepare(session, mode == 0 ? 24 : mode, -1); code != kExitOk) return code;
  const int h = session.handle();
  const int bits = ZelCam_GetColorMode(h), width = ZelCam_Width(h), height = ZelCam_Height(h);
  const bool toStdout = path.empty() || path == "-";
  FILE* out = toStdout ? stdout : std::fopen(path.c_str(), "wb");
  if (out == nullptr) return session.Fail(kExitFile, "cannot write " + path);
#ifdef _WIN32
  if (toStdout) _setmode(_fileno(stdout), _O_BINARY);
#endif
  int valid = 0;
  const int standard = ZelCam_GetVideoFormat(h, &valid);
  std::fprintf(stderr, "ffmpeg -f rawvideo -pix_fmt %s -s %dx%d -r %s -i %s\n",
               bits == 8 ? "gray" : "bgr24", width, height, NominalRate(standard),
               toStdout ? "-" : path.c_str());
  const int stride = Stride(width, bits);
  std::vector<uint8_t> buffer(size_t(stride) * height), frame(buffer.size());
  int frames = 0, errors = 0;
  bool written = true;
  const int code = StreamFrames(session, seconds, buffer, &errors, [&](const FrameInfo&) {
    // The newest whole frame, never one being rewritten; rows packed, top row first.
    if (ZelCam_GetImage(h, frame.data(), int(frame.size()), 1) != 1) return true;
    const size_t row = size_t(width) * bits / 8;
    for (int y = 0; y < height && written; ++y) {
      written = std::fwrite(&frame[size_t(y) * stride], 1, row, out) == row;
    }
    ++frames;
    return written;
  });
  if (!toStdout) written = std::fclose(out) == 0 && written;
  std::fflush(stdout);
  std::fprintf(stderr, "zelcnv: %d frames of %d x %d written\n", frames, width, height);
  if (!written) return session.Fail(kExitFile, "cannot write " + (toStdout ? "the output" : path));
  return code;
}

}  // namespace zelcnv::tool
