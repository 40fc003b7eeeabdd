// Text conversion on Linux, where narrow text is UTF-8.
#include "platform/text.h"

#include <cstdint>

namespace zelcnv::platform {

namespace {

// Decodes one UTF-8 sequence; false for malformed, overlong or surrogate encodings.
bool DecodeUtf8(const unsigned char*& p, uint32_t* codePoint) {
  const unsigned char lead = *p++;
  int extra;
  uint32_t value;
  if (lead < 0x80) {
    *codePoint = lead;
    return true;
  } else if ((lead & 0xE0) == 0xC0) {
    extra = 1, value = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, value = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, value = lead & 0x07;
  } else {
    return false;
  }
  for (int i = 0; i < extra; ++i) {
    if ((*p & 0xC0) != 0x80) return false;
    value = value << 6 | (*p++ & 0x3F);
  }
  static constexpr uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
  if (value < kSmallest[extra] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    return false;
  }
  *codePoint = value;
  return true;
}

}  // namespace

int NarrowToUtf16(const char* text, char16_t* out, int capacity) {
  if (text == nullptr || out == nullptr || capacity <= 0) return 0;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  int written = 0;
  while (true) {
    uint32_t c = 0;
    if (!DecodeUtf8(p, &c)) return 0;
    const int units = c >= 0x10000 ? 2 : 1;
    if (written + units > capacity) return 0;
    if (units == 2) {
      c -= 0x10000;
      out[written++] = static_cast<char16_t>(0xD800 | (c >> 10));
      out[written++] = static_cast<char16_t>(0xDC00 | (c & 0x3FF));
    } else {
      out[written++] = static_cast<char16_t>(c);
    }
    if (c == 0) return written;
  }
}

int Utf16ToNarrow(const char16_t* text, char* out, int capacity) {
  if (text == nullptr || out == nullptr || capacity <= 0) return 0;
  int written = 0;
  for (const char16_t* p = text;; ++p) {
    uint32_t c = *p;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (p[1] < 0xDC00 || p[1] > 0xDFFF) return 0;
      c = 0x10000 + ((c - 0xD800) << 10) + (p[1] - 0xDC00);
      ++p;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return 0;
    }
    const int bytes = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    if (written + bytes > capacity) return 0;
    if (bytes == 1) {
      out[written++] = static_cast<char>(c);
    } else {
      static constexpr unsigned char kLead[] = {0, 0, 0xC0, 0xE0, 0xF0};
      out[written++] = static_cast<char>(kLead[bytes] | (c >> (6 * (bytes - 1))));
      for (int i = bytes - 2; i >= 0; --i) {
        out[written++] = static_cast<char>(0x80 | ((c >> (6 * i)) & 0x3F));
      }
    }
    if (c == 0) return written;
  }
}

}  // namespace zelcnv::platform
