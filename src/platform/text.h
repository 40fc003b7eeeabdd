// Converting between the system's narrow text and UTF-16.
#pragma once

namespace zelcnv::platform {

// Converts a terminated narrow string (the system code page on Windows, UTF-8 on Linux) into
// UTF-16, terminator included. Returns the code units written (terminator counted), or 0 when
// the text cannot be converted or does not fit in `capacity` code units.
int NarrowToUtf16(const char* text, char16_t* out, int capacity);

// The reverse: a terminated UTF-16 string into narrow text, terminator included. Returns the
// bytes written (terminator counted), or 0 when it cannot be converted or does not fit.
int Utf16ToNarrow(const char16_t* text, char* out, int capacity);

}  // namespace zelcnv::platform
