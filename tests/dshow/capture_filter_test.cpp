// The capture filter as Windows applications use it, under Wine against the simulated converter's
// driver: registered, found in the video input category by its name, built into a capture graph
// by the capture graph builder, and run.
#include <windows.h>
#include <dshow.h>
#include <dvdmedia.h>
#include <gtest/gtest.h>
#include <qedit.h>
#include <uuids.h>

#include <atomic>
#include <cstdio>
#include <initializer_list>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ZelCnvSim.h"
#include "expected_picture.h"
#include "model/picture.h"
#include "sim_control.h"
#include "stream_sink.h"

namespace zelcnv::dshowtest {
namespace {

constexpr wchar_t kName[] = L"ZelCnv Analog Video";
constexpr REFERENCE_TIME kPeriod525 = 333667;
// qedit's sample grabber and null renderer (mingw-w64's qedit.h names only their interfaces).
constexpr GUID kSampleGrabber = {
    0xc1f400a0, 0x3f08, 0x11d3, {0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37}};
constexpr GUID kNullRenderer = {
    0xc1f400a4, 0x3f08, 0x11d3, {0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37}};

template <typename T>
struct Com {
  T* p = nullptr;
  ~Com() {
    if (p != nullptr) p->Release();
  }
  T** operator&() { return &p; }
  T* operator->() const { return p; }
  explicit operator bool() const { return p != nullptr; }
};

std::wstring FilterPath() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path);
  return dir.substr(0, dir.find_last_of(L"\\/") + 1) + L"ZelCnvCapture.ax";
}

// regsvr32, as an installer or a user runs it.
DWORD RunRegsvr32(bool unregister) {
  std::wstring line = L"regsvr32.exe /s ";
  if (unregister) line += L"/u ";
  line += L"\"" + FilterPath() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return GetLastError();
  }
  WaitForSingleObject(process.hProcess, 60000);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return code;
}

// The keys registration touches, written out: the class and the category's instances.
void DumpKey(HKEY root, const std::wstring& path, std::wstring* out) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  *out += L"[" + path + L"]\n";
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameSize = 256, type = 0;
    BYTE data[4096];
    DWORD dataSize = sizeof data;
    if (RegEnumValueW(key, i, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS) {
      break;
    }
    *out += std::wstring(name) + L"=" + std::to_wstring(type) + L":" + std::to_wstring(dataSize) +
            L"\n";
  }
  std::vector<std::wstring> children;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameSize = 256;
    if (RegEnumKeyExW(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    children.push_back(name);
  }
  RegCloseKey(key);
  for (const std::wstring& child : children) DumpKey(root, path + L"\\" + child, out);
}

std::wstring RegistrySnapshot() {
  wchar_t clsid[64], category[64];
  const GUID filter = {
      0x6f1c2a40, 0x5d3b, 0x4e8a, {0x9c, 0x17, 0x2b, 0x7e, 0x0d, 0x4a, 0x9f, 0x31}};
  StringFromGUID2(filter, clsid, 64);
  StringFromGUID2(CLSID_VideoInputDeviceCategory, category, 64);
  std::wstring out;
  DumpKey(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + clsid, &out);
  DumpKey(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + category, &out);
  return out;
}

struct Device {
  std::wstring name;
  std::wstring path;
};

// Every entry of the video input category whose name is ours, with its device path.
std::vector<Device> ListOurs(std::vector<Com<IMoniker>>* monikers = nullptr) {
  std::vector<Device> found;
  Com<ICreateDevEnum> devices;
  if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                              IID_ICreateDevEnum, reinterpret_cast<void**>(&devices)))) {
    return found;
  }
  Com<IEnumMoniker> list;
  if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &list, 0) != S_OK) {
    return found;
  }
  IMoniker* moniker = nullptr;
  while (list->Next(1, &moniker, nullptr) == S_OK) {
    Device device;
    IPropertyBag* bag = nullptr;
    if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                         reinterpret_cast<void**>(&bag)))) {
      VARIANT value;
      VariantInit(&value);
      if (SUCCEEDED(bag->Read(L"FriendlyName", &value, nullptr)) && value.vt == VT_BSTR) {
        device.name = value.bstrVal;
      }
      VariantClear(&value);
      if (SUCCEEDED(bag->Read(L"DevicePath", &value, nullptr)) && value.vt == VT_BSTR) {
        device.path = value.bstrVal;
      }
      VariantClear(&value);
      bag->Release();
    }
    if (device.name.rfind(kName, 0) == 0) {
      found.push_back(device);
      if (monikers != nullptr) {
        monikers->emplace_back();
        monikers->back().p = moniker;
        moniker = nullptr;
      }
    }
    if (moniker != nullptr) moniker->Release();
  }
  return found;
}

class CaptureFilterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    for (int i = 0; i < ZELSIM_MAX_DEVICES; ++i) ZelSim_Detach(i);
  }
  void TearDown() override {
    RunRegsvr32(true);
    for (int i = 0; i < ZELSIM_MAX_DEVICES; ++i) ZelSim_Detach(i);
    CoUninitialize();
  }
};

TEST_F(CaptureFilterTest, Regsvr32ListsEachConverterAndUnregisteringLeavesTheRegistryAsFound) {
  RunRegsvr32(true);
  // As on a fresh Wine prefix, where no video input device has made the category's keys yet.
  wchar_t category[64];
  StringFromGUID2(CLSID_VideoInputDeviceCategory, category, 64);
  const std::wstring categoryKey = std::wstring(L"CLSID\\") + category;
  RegDeleteKeyW(HKEY_CLASSES_ROOT, (categoryKey + L"\\Instance").c_str());
  const std::wstring before = RegistrySnapshot();
  ASSERT_EQ(ZelSim_Attach(0, nullptr), 1);
  ASSERT_EQ(ZelSim_Attach(2, nullptr), 1);
  ASSERT_EQ(RunRegsvr32(false), 0u);
  const std::vector<Device> found = ListOurs();
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].name, kName);
  bool zero = false, two = false;
  for (const Device& d : found) {
    zero = zero || d.path == L"\\\\.\\ZQVD-0";
    two = two || d.path == L"\\\\.\\ZQVD-2";
  }
  EXPECT_TRUE(zero && two);
  ASSERT_EQ(RunRegsvr32(true), 0u);
  EXPECT_TRUE(ListOurs().empty());
  const std::wstring after = RegistrySnapshot();
  EXPECT_TRUE(after == before) << "the registry differs after unregistering:\nbefore\n"
                               << std::string(before.begin(), before.end()) << "after\n"
                               << std::string(after.begin(), after.end());
}

// What a sample grabber receives: each sample's times and a copy of its pixels.
class Grabbed final : public ISampleGrabberCB {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (riid == IID_IUnknown || riid == IID_ISampleGrabberCB) {
      *out = static_cast<ISampleGrabberCB*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP SampleCB(double, IMediaSample* sample) override {
    REFERENCE_TIME start = 0, end = 0;
    const bool timed = SUCCEEDED(sample->GetTime(&start, &end));
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    std::lock_guard lock(mutex_);
    lengths_.push_back(sample->GetActualDataLength());
    starts_.push_back(timed ? start : -1);
    ends_.push_back(timed ? end : -1);
    last_.assign(data, data + sample->GetActualDataLength());
    return S_OK;
  }
  STDMETHODIMP BufferCB(double, BYTE*, long) override { return E_NOTIMPL; }

  std::vector<REFERENCE_TIME> Starts() {
    std::lock_guard lock(mutex_);
    return starts_;
  }
  std::vector<REFERENCE_TIME> Ends() {
    std::lock_guard lock(mutex_);
    return ends_;
  }
  std::vector<long> Lengths() {
    std::lock_guard lock(mutex_);
    return lengths_;
  }
  std::vector<uint8_t> Last() {
    std::lock_guard lock(mutex_);
    return last_;
  }

 private:
  std::mutex mutex_;
  std::vector<long> lengths_;
  std::vector<REFERENCE_TIME> starts_, ends_;
  std::vector<uint8_t> last_;
};

// A filter's first pin of `direction`, counted; null when it has none.
IPin* PinOf(IBaseFilter* filter, PIN_DIRECTION direction) {
  IPin* found = nullptr;
  Com<IEnumPins> pins;
  if (FAILED(filter->EnumPins(&pins))) return nullptr;
  IPin* pin = nullptr;
  while (found == nullptr && pins->Next(1, &pin, nullptr) == S_OK) {
    PIN_DIRECTION d;
    pin->QueryDirection(&d);
    if (d == direction) {
      found = pin;
    } else {
      pin->Release();
    }
  }
  return found;
}

// A capture graph: the filter of converter 0 into a sample grabber and a null renderer.
struct CaptureGraph {
  Com<IGraphBuilder> graph;
  Com<ICaptureGraphBuilder2> builder;
  Com<IBaseFilter> source, grabberFilter, sink;
  Com<ISampleGrabber> grabber;
  Com<IMediaControl> control;
  Com<IMediaEvent> events;
  Grabbed grabbed;

  // Through the capture graph builder, or with `direct` the pins connected by hand: the builder
  // puts a Smart Tee after a filter without a preview pin.
  HRESULT Build(IMoniker* moniker, const AM_MEDIA_TYPE* format = nullptr, bool direct = false) {
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IGraphBuilder, reinterpret_cast<void**>(&graph));
    if (SUCCEEDED(hr)) {
      hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                            IID_ICaptureGraphBuilder2, reinterpret_cast<void**>(&builder));
    }
    if (SUCCEEDED(hr)) hr = builder->SetFiltergraph(graph.p);
    if (SUCCEEDED(hr)) {
      hr = moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                 reinterpret_cast<void**>(&source));
    }
    if (SUCCEEDED(hr)) hr = graph->AddFilter(source.p, L"Capture");
    if (SUCCEEDED(hr) && format != nullptr) {
      Com<IAMStreamConfig> config;
      hr = builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, source.p,
                                  IID_IAMStreamConfig, reinterpret_cast<void**>(&config));
      if (SUCCEEDED(hr)) hr = config->SetFormat(const_cast<AM_MEDIA_TYPE*>(format));
    }
    if (SUCCEEDED(hr)) {
      hr = CoCreateInstance(kSampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                            reinterpret_cast<void**>(&grabberFilter));
    }
    if (SUCCEEDED(hr)) hr = graph->AddFilter(grabberFilter.p, L"Grabber");
    if (SUCCEEDED(hr)) {
      hr = grabberFilter->QueryInterface(IID_ISampleGrabber, reinterpret_cast<void**>(&grabber));
    }
    if (SUCCEEDED(hr)) hr = grabber->SetCallback(&grabbed, 0);
    if (SUCCEEDED(hr)) {
      hr = CoCreateInstance(kNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                            reinterpret_cast<void**>(&sink));
    }
    if (SUCCEEDED(hr)) hr = graph->AddFilter(sink.p, L"Null");
    if (SUCCEEDED(hr) && direct) {
      Com<IPin> out, in, grabberOut, sinkIn;
      out.p = PinOf(source.p, PINDIR_OUTPUT);
      in.p = PinOf(grabberFilter.p, PINDIR_INPUT);
      grabberOut.p = PinOf(grabberFilter.p, PINDIR_OUTPUT);
      sinkIn.p = PinOf(sink.p, PINDIR_INPUT);
      hr = out && in && grabberOut && sinkIn ? graph->ConnectDirect(out.p, in.p, nullptr) : E_FAIL;
      if (SUCCEEDED(hr)) hr = graph->Connect(grabberOut.p, sinkIn.p);
    } else if (SUCCEEDED(hr)) {
      hr = builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, source.p, grabberFilter.p,
                                 sink.p);
    }
    if (SUCCEEDED(hr)) {
      hr = graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
    }
    if (SUCCEEDED(hr)) {
      hr = graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&events));
    }
    return hr;
  }

  AM_MEDIA_TYPE Connected() {
    AM_MEDIA_TYPE type{};
    grabber->GetConnectedMediaType(&type);
    return type;
  }
};

const BITMAPINFOHEADER& BitmapOf(const AM_MEDIA_TYPE& type) {
  if (type.formattype == FORMAT_VideoInfo2) {
    return reinterpret_cast<const VIDEOINFOHEADER2*>(type.pbFormat)->bmiHeader;
  }
  return reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat)->bmiHeader;
}

void FreeType(AM_MEDIA_TYPE* type) {
  if (type->pbFormat != nullptr) CoTaskMemFree(type->pbFormat);
  if (type->pUnk != nullptr) type->pUnk->Release();
}

TEST_F(CaptureFilterTest, TwoSecondsOfCaptureGiveTheConvertersPicturesAFramePeriodApart) {
  ASSERT_EQ(ZelSim_Attach(0, "standard=525"), 1);
  ASSERT_EQ(RunRegsvr32(false), 0u);
  std::vector<Com<IMoniker>> monikers;
  ASSERT_EQ(ListOurs(&monikers).size(), 1u);
  CaptureGraph g;
  ASSERT_EQ(g.Build(monikers[0].p), S_OK);
  AM_MEDIA_TYPE type = g.Connected();
  EXPECT_TRUE(type.subtype == MEDIASUBTYPE_YUY2);
  FreeType(&type);
  ASSERT_TRUE(SUCCEEDED(g.control->Run()));
  std::this_thread::sleep_for(std::chrono::seconds(2));  // a capture of two seconds, as users make
  const auto stopAsked = std::chrono::steady_clock::now();
  ASSERT_TRUE(SUCCEEDED(g.control->Stop()));
  const double stopMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - stopAsked)
          .count();
  const std::vector<REFERENCE_TIME> starts = g.grabbed.Starts();
  const std::vector<REFERENCE_TIME> ends = g.grabbed.Ends();
  std::printf("samples: %zu in two seconds; stop took %.1f ms; first times:", starts.size(),
              stopMs);
  for (size_t i = 0; i < starts.size() && i < 6; ++i) std::printf(" %lld", starts[i]);
  std::printf("\n");
  EXPECT_GE(starts.size(), 30u);  // about 60 on an idle machine; fewer on a busy one
  EXPECT_LE(starts.size(), 62u);
  for (size_t i = 0; i < starts.size(); ++i) {
    EXPECT_EQ(ends[i] - starts[i], kPeriod525) << i;
    if (i > 0) {
      EXPECT_GT(starts[i], starts[i - 1]) << i;
    } else {
      EXPECT_GE(starts[i], 0) << "a frame from before the graph's start";
    }
  }
  if (starts.size() > 2) {
    const double step = double(starts.back() - starts[1]) / double(starts.size() - 2);
    EXPECT_GE(step, kPeriod525 * 0.9);
  }
  // The last sample is the converter's picture, rows top first for YUY2.
  const std::vector<uint8_t> last = g.grabbed.Last();
  ASSERT_EQ(last.size(), size_t(640) * 2 * 480);
  const uint32_t frame = testsupport::StampOf(last.data(), 2);
  EXPECT_TRUE(testsupport::InLayout(testsupport::Render(frame, 640, 480), 16) == last)
      << "device frame " << frame;
}

// The filter of converter 0 (attached with `words`), registered and found by its name.
class GraphTest : public CaptureFilterTest {
 protected:
  void Register(const char* words) {
    ASSERT_EQ(ZelSim_Attach(0, words), 1);
    ASSERT_EQ(RunRegsvr32(false), 0u);
    ASSERT_EQ(ListOurs(&monikers_).size(), 1u);
  }
  IMoniker* Moniker() { return monikers_[0].p; }
  template <typename T>
  HRESULT PinInterface(CaptureGraph& g, REFIID riid, T** out) {
    return g.builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, g.source.p, riid,
                                    reinterpret_cast<void**>(out));
  }
  std::vector<Com<IMoniker>> monikers_;
};

double MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

// Waits for the graph's next event among `codes`; 0 when none came.
long WaitEvent(IMediaEvent* events, std::initializer_list<long> codes, long timeoutMs) {
  const auto start = std::chrono::steady_clock::now();
  while (MillisecondsSince(start) < timeoutMs) {
    long code = 0;
    LONG_PTR first = 0, second = 0;
    if (events->GetEvent(&code, &first, &second, 50) != S_OK) continue;
    events->FreeEventParams(code, first, second);
    for (long c : codes) {
      if (c == code) return code;
    }
  }
  return 0;
}

// Each format the stream config lists at 640 x 480 (and a wide one), set before the graph is
// built: the connection has it, and the samples are the converter's picture in its layout (RGB
// bottom row first, YUY2 and Y800 top row first).
TEST_F(GraphTest, EachFormatSetThroughTheStreamConfigIsTheOneDelivered) {
  Register("standard=525");
  std::vector<AM_MEDIA_TYPE> chosen;
  {
    CaptureGraph probe;
    Com<IGraphBuilder> graph;
    Com<IBaseFilter> source;
    ASSERT_EQ(Moniker()->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                      reinterpret_cast<void**>(&source)),
              S_OK);
    Com<IEnumPins> pins;
    ASSERT_EQ(source->EnumPins(&pins), S_OK);
    Com<IPin> pin;
    ASSERT_EQ(pins->Next(1, &pin, nullptr), S_OK);
    Com<IAMStreamConfig> config;
    ASSERT_EQ(pin->QueryInterface(IID_IAMStreamConfig, reinterpret_cast<void**>(&config)), S_OK);
    int count = 0, size = 0;
    ASSERT_EQ(config->GetNumberOfCapabilities(&count, &size), S_OK);
    EXPECT_EQ(count, 32);  // four sizes, four formats, as VIDEOINFOHEADER and VIDEOINFOHEADER2
    ASSERT_EQ(size, int(sizeof(VIDEO_STREAM_CONFIG_CAPS)));
    for (int i = 0; i < count; ++i) {
      AM_MEDIA_TYPE* type = nullptr;
      VIDEO_STREAM_CONFIG_CAPS caps{};
      ASSERT_EQ(config->GetStreamCaps(i, &type, reinterpret_cast<BYTE*>(&caps)), S_OK);
      EXPECT_EQ(caps.MinFrameInterval, kPeriod525);
      const BITMAPINFOHEADER& bmi = BitmapOf(*type);
      const bool info2 = type->formattype == FORMAT_VideoInfo2;
      EXPECT_TRUE(caps.guid == type->formattype);
      const bool wanted = (!info2 && bmi.biWidth == 640 && bmi.biHeight == 480) ||
                          (!info2 && bmi.biWidth == 720 && bmi.biHeight == 470 &&
                           type->subtype == MEDIASUBTYPE_RGB24) ||
                          (info2 && bmi.biWidth == 640 && bmi.biHeight == 480 &&
                           type->subtype == MEDIASUBTYPE_YUY2);
      if (wanted) {
        chosen.push_back(*type);
      } else {
        FreeType(type);
      }
      CoTaskMemFree(type);
    }
  }
  ASSERT_EQ(chosen.size(), 6u);
  for (AM_MEDIA_TYPE& type : chosen) {
    const BITMAPINFOHEADER& bmi = BitmapOf(type);
    const int width = bmi.biWidth, height = bmi.biHeight;
    const int bits = bmi.biBitCount;
    if (type.formattype == FORMAT_VideoInfo2) {
      // Interleaved fields, the top one first.
      const DWORD flags =
          reinterpret_cast<const VIDEOINFOHEADER2*>(type.pbFormat)->dwInterlaceFlags;
      EXPECT_EQ(flags & (AMINTERLACE_IsInterlaced | AMINTERLACE_Field1First),
                DWORD{AMINTERLACE_IsInterlaced | AMINTERLACE_Field1First});
    }
    SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height) + ", " +
                 std::to_string(bits) + " bits");
    CaptureGraph g;
    ASSERT_EQ(g.Build(Moniker(), &type), S_OK);
    AM_MEDIA_TYPE connected = g.Connected();
    EXPECT_TRUE(connected.subtype == type.subtype);
    EXPECT_TRUE(connected.formattype == type.formattype);
    EXPECT_EQ(BitmapOf(connected).biWidth, width);
    FreeType(&connected);
    ASSERT_TRUE(SUCCEEDED(g.control->Run()));
    std::vector<uint8_t> last;
    const auto start = std::chrono::steady_clock::now();
    while (g.grabbed.Starts().size() < 3 && MillisecondsSince(start) < 10000) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(SUCCEEDED(g.control->Stop()));
    last = g.grabbed.Last();
    const size_t stride = size_t((width * (bits / 8) + 3) / 4 * 4);
    ASSERT_EQ(last.size(), stride * height);
    const bool topDown = bits <= 16;
    const uint8_t* top = topDown ? last.data() : last.data() + stride * (height - 1);
    const uint32_t frame = testsupport::StampOf(top, bits == 16 ? 2 : bits / 8);
    const std::vector<uint8_t> expected =
        testsupport::InLayout(testsupport::Render(frame, width, height), bits);
    const size_t row = size_t(width) * (bits / 8);
    int wrongRows = 0;
    for (int y = 0; y < height && expected.size() == row * height; ++y) {
      const uint8_t* got = last.data() + stride * (topDown ? y : height - 1 - y);
      if (std::memcmp(got, expected.data() + row * y, row) != 0) ++wrongRows;
    }
    EXPECT_EQ(wrongRows, 0) << "device frame " << frame;
    FreeType(&type);
  }
}

// A format set while connected: the graph connects the pins again with it. While running the
// format stays, and a clock taken away and given back under the streaming thread does no harm.
// (Connected directly: Wine's Smart Tee does not pass a new format on to its outputs.)
TEST_F(GraphTest, AFormatSetWhileConnectedReconnectsAndTheClockMayChangeWhileRunning) {
  Register("standard=525");
  CaptureGraph g;
  ASSERT_EQ(g.Build(Moniker(), nullptr, true), S_OK);
  Com<IAMStreamConfig> config;
  ASSERT_EQ(PinInterface(g, IID_IAMStreamConfig, &config), S_OK);
  AM_MEDIA_TYPE* rgb = nullptr;
  int count = 0, size = 0;
  ASSERT_EQ(config->GetNumberOfCapabilities(&count, &size), S_OK);
  for (int i = 0; i < count && rgb == nullptr; ++i) {
    AM_MEDIA_TYPE* type = nullptr;
    VIDEO_STREAM_CONFIG_CAPS caps{};
    ASSERT_EQ(config->GetStreamCaps(i, &type, reinterpret_cast<BYTE*>(&caps)), S_OK);
    if (type->subtype == MEDIASUBTYPE_RGB24 && type->formattype == FORMAT_VideoInfo &&
        BitmapOf(*type).biWidth == 640) {
      rgb = type;
    } else {
      FreeType(type);
      CoTaskMemFree(type);
    }
  }
  ASSERT_NE(rgb, nullptr);
  EXPECT_EQ(config->SetFormat(rgb), S_OK);
  AM_MEDIA_TYPE connected = g.Connected();
  EXPECT_TRUE(connected.subtype == MEDIASUBTYPE_RGB24) << "still connected with the old format";
  FreeType(&connected);

  ASSERT_TRUE(SUCCEEDED(g.control->Run()));
  EXPECT_EQ(config->SetFormat(rgb), VFW_E_NOT_STOPPED);
  FreeType(rgb);
  CoTaskMemFree(rgb);
  Com<IReferenceClock> clock;
  ASSERT_EQ(g.source->GetSyncSource(&clock), S_OK);
  ASSERT_NE(clock.p, nullptr);
  const auto start = std::chrono::steady_clock::now();
  while (g.grabbed.Starts().size() < 10 && MillisecondsSince(start) < 10000) {
    EXPECT_EQ(g.source->SetSyncSource(nullptr), S_OK);
    EXPECT_EQ(g.source->SetSyncSource(clock.p), S_OK);
  }
  ASSERT_TRUE(SUCCEEDED(g.control->Stop()));
  EXPECT_GE(g.grabbed.Starts().size(), 10u);
  EXPECT_EQ(g.grabbed.Last().size(), size_t(640) * 3 * 480);
}

// A stall shows in IAMDroppedFrames; an unplug ends the stream with the graph told and no hang;
// stopping while the converter is silent returns at once.
TEST_F(GraphTest, StallsUnplugsAndStopsWhileSilent) {
  Register("standard=525");
  {
    CaptureGraph g;
    ASSERT_EQ(g.Build(Moniker()), S_OK);
    Com<IAMDroppedFrames> dropped;
    ASSERT_EQ(PinInterface(g, IID_IAMDroppedFrames, &dropped), S_OK);
    ASSERT_TRUE(SUCCEEDED(g.control->Run()));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(ZelSim_InjectFault(0, "stall=400"), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(900));
    long lost = 0, delivered = 0;
    EXPECT_EQ(dropped->GetNumDropped(&lost), S_OK);
    EXPECT_EQ(dropped->GetNumNotDropped(&delivered), S_OK);
    std::printf("after a stall of 400 ms: %ld dropped, %ld delivered\n", lost, delivered);
    EXPECT_GE(lost, 8);
    EXPECT_GT(delivered, 10);

    // Silent for ten seconds: the stop does not wait for it.
    ASSERT_EQ(ZelSim_InjectFault(0, "stall=10000"), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto stopAsked = std::chrono::steady_clock::now();
    ASSERT_TRUE(SUCCEEDED(g.control->Stop()));
    const double stopMs = MillisecondsSince(stopAsked);
    std::printf("stop while the converter is silent: %.1f ms\n", stopMs);
    EXPECT_LT(stopMs, 100.0);
  }
  ASSERT_EQ(ZelSim_InjectFault(0, "clear"), 1);
  CaptureGraph g;
  ASSERT_EQ(g.Build(Moniker()), S_OK);
  ASSERT_TRUE(SUCCEEDED(g.control->Run()));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ASSERT_EQ(ZelSim_InjectFault(0, "unplug"), 1);
  EXPECT_NE(WaitEvent(g.events.p, {EC_DEVICE_LOST, EC_ERRORABORT}, 5000), 0)
      << "the graph was not told of the unplug";
  const auto stopAsked = std::chrono::steady_clock::now();
  ASSERT_TRUE(SUCCEEDED(g.control->Stop()));
  EXPECT_LT(MillisecondsSince(stopAsked), 1000.0);
}

// The converter's standard changing under a running stream, both ways: no sample of the wrong
// size or a torn picture, the graph told with EC_ERRORABORT (the converter is still there), and a
// graph built again gets the new standard's size.
TEST_F(GraphTest, AStandardChangeWhileRunningEndsTheStreamWithoutATornPicture) {
  Register("standard=625");
  struct Change {
    int width, height;
    const char* next;
  };
  for (const Change& change :
       {Change{768, 570, "standard=525"}, Change{640, 480, "standard=625"}}) {
    SCOPED_TRACE(change.next);
    {
      CaptureGraph g;
      ASSERT_EQ(g.Build(Moniker()), S_OK);
      AM_MEDIA_TYPE type = g.Connected();
      ASSERT_EQ(BitmapOf(type).biWidth, change.width);
      FreeType(&type);
      ASSERT_TRUE(SUCCEEDED(g.control->Run()));
      const auto start = std::chrono::steady_clock::now();
      while (g.grabbed.Starts().size() < 3 && MillisecondsSince(start) < 10000) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
      ASSERT_EQ(ZelSim_Configure(0, change.next), 1);
      EXPECT_EQ(WaitEvent(g.events.p, {EC_ERRORABORT, EC_DEVICE_LOST}, 5000), EC_ERRORABORT);
      ASSERT_TRUE(SUCCEEDED(g.control->Stop()));
      EXPECT_EQ(g.source->Pause(), VFW_E_TYPE_NOT_ACCEPTED) << "the old connection ran";
      const long bytes = long(change.width) * 2 * change.height;
      for (long length : g.grabbed.Lengths()) EXPECT_EQ(length, bytes);
      // The last sample is a whole picture of the standard it was connected for.
      const std::vector<uint8_t> last = g.grabbed.Last();
      ASSERT_EQ(last.size(), size_t(bytes));
      ASSERT_EQ(ZelSim_Configure(0, change.width == 768 ? "standard=625" : "standard=525"), 1);
      const uint32_t frame = testsupport::StampOf(last.data(), 2);
      EXPECT_TRUE(testsupport::InLayout(testsupport::Render(frame, change.width, change.height),
                                        16) == last)
          << "device frame " << frame;
      ASSERT_EQ(ZelSim_Configure(0, change.next), 1);
    }
    CaptureGraph again;
    ASSERT_EQ(again.Build(Moniker()), S_OK);
    AM_MEDIA_TYPE type = again.Connected();
    EXPECT_NE(BitmapOf(type).biWidth, change.width);
    FreeType(&type);
  }
}

// A recording as applications build it without the capture graph builder's file output: the
// capture pin into an AVI Mux and a file sink. ffprobe counts its frames afterwards
// (tests/dshow/check_avi.py) against the number written here.
TEST_F(GraphTest, AnAviMuxRecordsTheStreamIntoAFile) {
  Register("standard=525");
  constexpr GUID kAviMux = {
      0xe2510970, 0xf137, 0x11ce, {0x8b, 0x67, 0x00, 0xaa, 0x00, 0xa3, 0xf1, 0xa6}};
  Com<IGraphBuilder> graph;
  ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                             reinterpret_cast<void**>(&graph)),
            S_OK);
  Com<IBaseFilter> source, mux, writer;
  ASSERT_EQ(
      Moniker()->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&source)),
      S_OK);
  ASSERT_EQ(CoCreateInstance(kAviMux, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                             reinterpret_cast<void**>(&mux)),
            S_OK);
  const std::wstring path = std::wstring(ZELCNV_DSHOW_OUT_DIR) + L"\\capture.avi";
  DeleteFileW(path.c_str());
  // A file sink whose input gives the mux an IStream: Wine 8's File Writer gives none.
  writer.p = NewStreamSink(path);
  ASSERT_TRUE(writer);
  // Full interleaving: the one mode Wine's mux writes (any mode does on Windows).
  Com<IConfigInterleaving> interleaving;
  ASSERT_EQ(mux->QueryInterface(IID_IConfigInterleaving, reinterpret_cast<void**>(&interleaving)),
            S_OK);
  ASSERT_EQ(interleaving->put_Mode(INTERLEAVE_FULL), S_OK);
  ASSERT_EQ(graph->AddFilter(source.p, L"Capture"), S_OK);
  ASSERT_EQ(graph->AddFilter(mux.p, L"Mux"), S_OK);
  ASSERT_EQ(graph->AddFilter(writer.p, L"Writer"), S_OK);
  // The mux's output first, as its output pin wants a writer before it has inputs to feed.
  Com<IPin> capture, muxIn, muxOut, writerIn;
  muxOut.p = PinOf(mux.p, PINDIR_OUTPUT);
  writerIn.p = PinOf(writer.p, PINDIR_INPUT);
  ASSERT_TRUE(muxOut && writerIn);
  ASSERT_EQ(graph->Connect(muxOut.p, writerIn.p), S_OK);
  capture.p = PinOf(source.p, PINDIR_OUTPUT);
  muxIn.p = PinOf(mux.p, PINDIR_INPUT);
  ASSERT_TRUE(capture && muxIn);
  ASSERT_EQ(graph->Connect(capture.p, muxIn.p), S_OK);
  Com<IMediaControl> control;
  ASSERT_EQ(graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control)), S_OK);
  const HRESULT ran = control->Run();
  ASSERT_TRUE(SUCCEEDED(ran)) << std::hex << ran;
  std::this_thread::sleep_for(std::chrono::seconds(2));
  ASSERT_TRUE(SUCCEEDED(control->Stop()));
  Com<IAMDroppedFrames> dropped;
  ASSERT_EQ(capture->QueryInterface(IID_IAMDroppedFrames, reinterpret_cast<void**>(&dropped)),
            S_OK);
  long delivered = 0;
  dropped->GetNumNotDropped(&delivered);
  std::printf("AVI: %ld frames delivered to the mux\n", delivered);
  EXPECT_GT(delivered, 10);  // the mux writes each frame as it comes: fewer on a busy machine
  FILE* manifest =
      _wfopen((std::wstring(ZELCNV_DSHOW_OUT_DIR) + L"\\capture.frames").c_str(), L"w");
  ASSERT_NE(manifest, nullptr);
  std::fprintf(manifest, "%ld\n", delivered);
  std::fclose(manifest);
}

// The input through IAMCrossbar, the picture controls through IAMVideoProcAmp, the standard
// through IAMAnalogVideoDecoder: each reaches the converter.
TEST_F(GraphTest, CrossbarProcAmpAndDecoderReachTheConverter) {
  Register("standard=625");
  Com<IBaseFilter> source;
  ASSERT_EQ(
      Moniker()->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&source)),
      S_OK);
  Com<IAMCrossbar> crossbar;
  ASSERT_EQ(source->QueryInterface(IID_IAMCrossbar, reinterpret_cast<void**>(&crossbar)), S_OK);
  long outputs = 0, inputs = 0, routed = -1;
  ASSERT_EQ(crossbar->get_PinCounts(&outputs, &inputs), S_OK);
  EXPECT_EQ(outputs, 1);
  EXPECT_EQ(inputs, 6);
  EXPECT_EQ(crossbar->CanRoute(0, 6), S_FALSE);
  EXPECT_EQ(crossbar->Route(0, 1), S_OK);
  EXPECT_EQ(crossbar->get_IsRoutedTo(0, &routed), S_OK);
  EXPECT_EQ(routed, 1);
  zelsim::PictureParams params{};
  ASSERT_TRUE(zelsim::GetDevicePictureParams(0, &params));
  EXPECT_EQ(params.content, zelsim::InputContent::kRamp);

  Com<IAMVideoProcAmp> procAmp;
  ASSERT_EQ(source->QueryInterface(IID_IAMVideoProcAmp, reinterpret_cast<void**>(&procAmp)), S_OK);
  long min = 0, max = 0, step = 0, defaultValue = 0, flags = 0, value = 0;
  ASSERT_EQ(procAmp->GetRange(VideoProcAmp_Brightness, &min, &max, &step, &defaultValue, &flags),
            S_OK);
  EXPECT_EQ(max, 255);
  EXPECT_EQ(procAmp->Set(VideoProcAmp_Brightness, 77, VideoProcAmp_Flags_Manual), S_OK);
  EXPECT_EQ(ZelSim_ReadDeviceRegister(0, 0x09), 77);
  EXPECT_EQ(procAmp->Get(VideoProcAmp_Brightness, &value, &flags), S_OK);
  EXPECT_EQ(value, 77);
  EXPECT_EQ(procAmp->Set(VideoProcAmp_Gamma, 1, VideoProcAmp_Flags_Manual), E_PROP_ID_UNSUPPORTED);

  Com<IAMAnalogVideoDecoder> decoder;
  ASSERT_EQ(source->QueryInterface(IID_IAMAnalogVideoDecoder, reinterpret_cast<void**>(&decoder)),
            S_OK);
  long format = 0, lines = 0;
  EXPECT_EQ(decoder->get_TVFormat(&format), S_OK);
  EXPECT_EQ(format, AnalogVideo_PAL_B);
  EXPECT_EQ(decoder->get_NumberOfLines(&lines), S_OK);
  EXPECT_EQ(lines, 625);
}

}  // namespace
}  // namespace zelcnv::dshowtest
