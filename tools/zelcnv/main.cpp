// zelcnv: the command-line tool for the converter, a client of the library's C API.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "demo.h"

namespace {

using zelcnv::tool::CommonOptions;

constexpr char kDefaultSim[] = "timing=realtime input0=moving";

// --device, --sim[=CONFIG], --sim-fault and --json on a command. "--sim=CONFIG" arrives as
// "--sim --sim-config CONFIG" (see main), so that a plain --sim never takes the next argument.
void AddCommon(CLI::App* command, CommonOptions& options) {
  command->add_option("--device", options.device, "converter index (default 0)")
      ->check(CLI::Range(0, 7));
  command->add_flag("--sim", options.sim,
                    "attach a simulated converter first; --sim=CONFIG with simulator words, e.g. "
                    "--sim=\"standard=625 timing=free\"");
  command->add_option("--sim-config", options.simConfig)->group("");
  command->add_option("--sim-fault", options.simFault,
                      "fault words for the simulated converter, e.g. fail-after=30");
  command->add_flag("--json", options.json, "one JSON document on stdout");
}

// Hexadecimal (0x..) or decimal.
int Number(const std::string& text) {
  size_t used = 0;
  const long value = std::stol(text, &used, 0);
  if (used != text.size()) throw std::invalid_argument(text);
  return static_cast<int>(value);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"zelcnv: the ZelCnv USB 2.0 analog-video converter from the command line"};
  app.require_subcommand(1);
  CommonOptions options;
  double seconds = 5;
  int mode = 0, rate = -1;
  std::string output, type, regText, valueText, control;

  auto* devices = app.add_subcommand("devices", "the converters found, with index and name");
  AddCommon(devices, options);
  auto* info = app.add_subcommand("info", "library version, standard, frame size, settings");
  AddCommon(info, options);
  auto* stream = app.add_subcommand("stream", "stream frames and show their count and rate");
  AddCommon(stream, options);
  stream->add_option("--seconds", seconds, "how long (default 5)")->check(CLI::PositiveNumber);
  stream->add_option("--mode", mode, "colour mode in bits per pixel");
  stream->footer("--json: the summary with each frame's sequence, capture time and frames lost");
  auto* watch = app.add_subcommand("watch", "converters as they arrive and are removed");
  AddCommon(watch, options);
  watch->add_option("--seconds", seconds, "how long (default: until interrupted)");
  watch->footer(
      "--sim attaches the simulated converter once the watch runs; --sim-fault (e.g. unplug) "
      "comes a second later. --json: one line per change.");
  auto* snapshot = app.add_subcommand("snapshot", "one frame into an image file");
  AddCommon(snapshot, options);
  snapshot->add_option("-o,--output", output, "the file")->required();
  snapshot->add_option("--type", type,
                       "bmp|raw|jpeg100|jpeg70|jpeg20|png|tiff (default: the "
                       "file's extension)");
  snapshot->add_option("--mode", mode, "colour mode in bits per pixel");
  snapshot->add_option("--rate", rate, "sampling code 0..3")->check(CLI::Range(0, 3));
  auto* record = app.add_subcommand("record", "a timed AVI clip, with progress");
  AddCommon(record, options);
  record->add_option("-o,--output", output, "the .avi file")->required();
  record->add_option("--seconds", seconds, "how long")->required()->check(CLI::PositiveNumber);
  record->add_option("--mode", mode, "colour mode the stream runs in");
  auto* reg = app.add_subcommand("reg", "read or write a converter register");
  reg->require_subcommand(1);
  auto* regRead = reg->add_subcommand("read", "read REG (hex 0x.. or decimal)");
  AddCommon(regRead, options);
  regRead->add_option("REG", regText, "register")->required();
  auto* regWrite = reg->add_subcommand("write", "write VALUE to REG, then read it back");
  AddCommon(regWrite, options);
  regWrite->add_option("REG", regText, "register")->required();
  regWrite->add_option("VALUE", valueText, "value (low byte)")->required();
  auto* set = app.add_subcommand("set", "set brightness|contrast|hue|saturation VALUE");
  AddCommon(set, options);
  set->add_option("CONTROL", control, "brightness, contrast, hue or saturation")
      ->required()
      ->check(CLI::IsMember({"brightness", "contrast", "hue", "saturation"}));
  set->add_option("VALUE", valueText, "0..255")->required();
  auto* raw = app.add_subcommand("raw", "raw BGR24 (or grey) frames, top row first, for FFmpeg");
  AddCommon(raw, options);
  raw->add_option("--seconds", seconds, "how long (default 5)")->check(CLI::PositiveNumber);
  raw->add_option("-o,--output", output, "file, or - for stdout (default)");
  std::string rawTarget;
  raw->add_option("TARGET", rawTarget, "the same as -o: a file, or - for stdout");
  raw->add_option("--mode", mode, "24 (BGR24, default) or 8 (grey)");
  auto* demo = app.add_subcommand("demo", "the library's main job on a simulated converter");
  zelcnv::tool::DemoOptions demoOptions;
  demo->add_option("--seconds", demoOptions.seconds, "how long to stream (default 3)");
  demo->add_option("--out", demoOptions.outputDirectory, "where the files go (default .)");
  demo->add_option("--sim", demoOptions.simConfig, "simulator words");

  // "--sim=CONFIG" for the commands (the demo's --sim takes its words as they come).
  std::vector<std::string> args;  // CLI11 takes them in reverse order
  const bool isDemo = argc > 1 && std::string(argv[1]) == "demo";
  for (int i = argc - 1; i > 0; --i) {
    const std::string arg = argv[i];
    if (!isDemo && arg.rfind("--sim=", 0) == 0) {
      args.push_back(arg.substr(6));
      args.push_back("--sim-config");
      args.push_back("--sim");
    } else {
      args.push_back(arg);
    }
  }
  try {
    app.parse(args);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : zelcnv::tool::kExitUsage;
  }
  if (options.sim && options.simConfig.empty()) options.simConfig = kDefaultSim;

  try {
    using namespace zelcnv::tool;
    if (*devices) return Devices(options);
    if (*info) return Info(options);
    if (*stream) return Stream(options, seconds, mode);
    if (*watch) return Watch(options, watch->count("--seconds") != 0 ? seconds : 0);
    if (*snapshot) return Snapshot(options, output, type, mode, rate);
    if (*record) return Record(options, output, seconds, mode);
    if (*regRead) return Register(options, false, Number(regText), 0);
    if (*regWrite) return Register(options, true, Number(regText), Number(valueText));
    if (*set) return Set(options, control, Number(valueText));
    if (*raw) return Raw(options, seconds, rawTarget.empty() ? output : rawTarget, mode);
    if (*demo) return RunDemo(demoOptions);
  } catch (const std::invalid_argument&) {
    std::fprintf(stderr, "zelcnv: not a number: %s %s\n", regText.c_str(), valueText.c_str());
    return zelcnv::tool::kExitUsage;
  } catch (const std::out_of_range&) {
    std::fprintf(stderr, "zelcnv: number out of range\n");
    return zelcnv::tool::kExitUsage;
  }
  return zelcnv::tool::kExitUsage;
}
