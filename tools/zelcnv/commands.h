// The zelcnv commands; each returns the process's exit code (session.h).
#pragma once

#include <string>

#include "session.h"

namespace zelcnv::tool {

int Devices(const CommonOptions& options);
int Info(const CommonOptions& options);
// mode 0 keeps the colour mode; rate -1 keeps the sampling code.
int Stream(const CommonOptions& options, double seconds, int mode);
int Snapshot(const CommonOptions& options, const std::string& path, const std::string& type,
             int mode, int rate);
int Record(const CommonOptions& options, const std::string& path, double seconds, int mode);
int Register(const CommonOptions& options, bool write, int reg, int value);
int Set(const CommonOptions& options, const std::string& name, int value);
// Converters as they arrive and go, for `seconds` (0: until interrupted). With --sim the simulated
// converter is attached once the watch runs, and --sim-fault is injected a second later.
int Watch(const CommonOptions& options, double seconds);
// Frames as raw rows on stdout ("-" or empty) or into a file; the FFmpeg line on stderr.
int Raw(const CommonOptions& options, double seconds, const std::string& path, int mode);
// The file type code for --type or, without it, the file's extension; -1 for none.
int FileTypeOf(const std::string& type, const std::string& path);

}  // namespace zelcnv::tool
