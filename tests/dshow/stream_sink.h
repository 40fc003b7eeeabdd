// A minimal file sink for the tests: one input pin that accepts any stream, writes what it
// receives at the byte offsets the samples' start times give, and hands an IStream on the file to
// a multiplexer that asks for one (Wine's AVI Mux writes its file through it; Wine's File Writer
// offers none).
#pragma once

#include <windows.h>
#include <dshow.h>

#include <cstdio>
#include <string>

namespace zelcnv::dshowtest {

// The sink's filter; its pin is created with it. Reference counts are the filter's.
IBaseFilter* NewStreamSink(const std::wstring& path);

}  // namespace zelcnv::dshowtest
