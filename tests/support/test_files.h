// Small helpers the file-writing tests share: reading a file back and running a standard tool.
#pragma once

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace zelcnv::testing {

inline std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The little-endian 32-bit word at `at` of a file's bytes; 0 past the end.
inline uint32_t ReadU32(const std::vector<uint8_t>& file, size_t at) {
  if (at > file.size() || file.size() - at < 4) return 0;
  return file[at] | file[at + 1] << 8 | file[at + 2] << 16 | uint32_t{file[at + 3]} << 24;
}

// What a shell command printed on its standard output; `status` (optional) receives its exit
// status, -1 when it could not be started.
inline std::string RunCommand(const std::string& command, int* status = nullptr) {
  std::string output;
  int result = -1;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    result = pclose(pipe);
  }
  if (status != nullptr) *status = result;
  return output;
}

// The standard image reader (Pillow) is there to ask.
inline bool ImageReaderAvailable() {
  int status = -1;
  RunCommand("/usr/bin/python3 -c 'import PIL' 2>/dev/null", &status);
  return status == 0;
}

// What the standard image reader makes of a file, through `probe` (a script printing
// "MODE W H FORMAT PROGRESSIVE" and then the pixels): the header line and the pixels, or empty.
inline std::pair<std::string, std::vector<uint8_t>> ProbeImage(const char* probe,
                                                               const std::string& path) {
  int status = -1;
  const std::string out =
      RunCommand(std::string("/usr/bin/python3 ") + probe + " '" + path + "' 2>/dev/null", &status);
  const size_t newline = out.find('\n');
  if (status != 0 || newline == std::string::npos) return {};
  return {out.substr(0, newline), std::vector<uint8_t>(out.begin() + newline + 1, out.end())};
}

}  // namespace zelcnv::testing
