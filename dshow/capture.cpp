#include "capture.h"

#include <dvdmedia.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <new>

#include "ZelCnvSdk.h"
#include "ZelCnvSdkEx.h"
#include "converter_picture.h"
#include "enumerators.h"

namespace zelcnv::dshow {

namespace {

// A wait for a frame is cut in slices so that a stop ends it promptly.
constexpr int kWaitSliceMs = 20;
// A capture time this far from the clock mapping in use means the reference clock jumped.
constexpr REFERENCE_TIME kClockJump = 10000000;
constexpr long kBuffers = 4;

}  // namespace

// --- The pin ---

CapturePin::~CapturePin() {
  FreeMediaType(&type_);
  SafeRelease(&allocator_);
  SafeRelease(&input_);
  SafeRelease(&peer_);
}

STDMETHODIMP CapturePin::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IPin) {
    *out = static_cast<IPin*>(this);
  } else if (riid == IID_IKsPropertySet) {
    *out = static_cast<IKsPropertySet*>(this);
  } else if (riid == IID_IAMStreamConfig) {
    *out = static_cast<IAMStreamConfig*>(this);
  } else if (riid == IID_IAMDroppedFrames) {
    *out = static_cast<IAMDroppedFrames*>(this);
  } else if (riid == IID_IAMPushSource || riid == IID_IAMLatency) {
    *out = static_cast<IAMPushSource*>(this);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) CapturePin::AddRef() {
  return filter_->AddRef();
}

STDMETHODIMP_(ULONG) CapturePin::Release() {
  return filter_->Release();
}

std::vector<Format> CapturePin::Offered() {
  if (havePreferred_) return {preferred_};
  const int handle = filter_->Handle();
  int valid = 0;
  const int code = handle != 0 ? ZelCam_GetSamplingRate(handle, &valid) : -1;
  return FormatsOf(filter_->Standard(), valid == 1 ? code : -1);
}

STDMETHODIMP CapturePin::Connect(IPin* receiver, const AM_MEDIA_TYPE* type) {
  if (receiver == nullptr) return E_POINTER;
  std::lock_guard lock(filter_->Lock());
  if (peer_ != nullptr) return VFW_E_ALREADY_CONNECTED;
  if (filter_->State() != State_Stopped) return VFW_E_NOT_STOPPED;
  const bool complete = type != nullptr && type->majortype != GUID_NULL &&
                        type->subtype != GUID_NULL && type->formattype != GUID_NULL;
  if (complete) return TryConnect(receiver, *type);
  HRESULT last = VFW_E_NO_ACCEPTABLE_TYPES;
  for (const Format& f : Offered()) {
    AM_MEDIA_TYPE offer;
    if (!MakeMediaType(f, filter_->Standard(), &offer)) return E_OUTOFMEMORY;
    const bool fits =
        type == nullptr || ((type->majortype == GUID_NULL || type->majortype == offer.majortype) &&
                            (type->subtype == GUID_NULL || type->subtype == offer.subtype));
    if (fits) last = TryConnect(receiver, offer);
    FreeMediaType(&offer);
    if (fits && SUCCEEDED(last)) return S_OK;
  }
  return last;
}

HRESULT CapturePin::TryConnect(IPin* receiver, const AM_MEDIA_TYPE& type) {
  Format format;
  if (!FormatOf(type, filter_->Standard(), &format)) return VFW_E_TYPE_NOT_ACCEPTED;
  HRESULT hr = receiver->ReceiveConnection(this, &type);
  if (FAILED(hr)) return hr;
  IMemInputPin* input = nullptr;
  hr = receiver->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&input));
  if (SUCCEEDED(hr)) hr = DecideAllocator(input, format);
  if (FAILED(hr)) {
    SafeRelease(&input);
    receiver->Disconnect();
    return hr;
  }
  peer_ = receiver;
  peer_->AddRef();
  input_ = input;
  FreeMediaType(&type_);
  CopyMediaType(&type_, type);
  format_ = format;
  return S_OK;
}

HRESULT CapturePin::DecideAllocator(IMemInputPin* input, const Format& format) {
  ALLOCATOR_PROPERTIES wanted{};
  input->GetAllocatorRequirements(&wanted);  // optional for the input pin
  wanted.cBuffers = std::max(wanted.cBuffers, kBuffers);
  wanted.cbBuffer = std::max<long>(wanted.cbBuffer, FrameBytes(format));
  wanted.cbAlign = std::max<long>(wanted.cbAlign, 1);
  // A memory allocator of our own, offered first: some input pins cannot hand out theirs before
  // one was agreed (Wine's AVI Mux fails on a null allocator then). Theirs when ours is refused.
  auto agree = [&](IMemAllocator* allocator) {
    ALLOCATOR_PROPERTIES actual{};
    HRESULT hr = allocator->SetProperties(&wanted, &actual);
    if (SUCCEEDED(hr) && actual.cbBuffer < FrameBytes(format)) hr = VFW_E_SIZENOTSET;
    if (SUCCEEDED(hr)) hr = input->NotifyAllocator(allocator, FALSE);
    if (FAILED(hr)) {
      allocator->Release();
      return hr;
    }
    SafeRelease(&allocator_);
    allocator_ = allocator;
    return S_OK;
  };
  IMemAllocator* own = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IMemAllocator, reinterpret_cast<void**>(&own));
  if (SUCCEEDED(hr)) hr = agree(own);
  if (SUCCEEDED(hr)) return S_OK;
  IMemAllocator* theirs = nullptr;
  hr = input->GetAllocator(&theirs);
  return SUCCEEDED(hr) ? agree(theirs) : hr;
}

STDMETHODIMP CapturePin::Disconnect() {
  std::lock_guard lock(filter_->Lock());
  if (filter_->State() != State_Stopped) return VFW_E_NOT_STOPPED;
  if (peer_ == nullptr) return S_FALSE;
  SafeRelease(&allocator_);
  SafeRelease(&input_);
  SafeRelease(&peer_);
  FreeMediaType(&type_);
  std::memset(&type_, 0, sizeof type_);
  return S_OK;
}

STDMETHODIMP CapturePin::ConnectedTo(IPin** pin) {
  if (pin == nullptr) return E_POINTER;
  std::lock_guard lock(filter_->Lock());
  *pin = peer_;
  if (peer_ == nullptr) return VFW_E_NOT_CONNECTED;
  peer_->AddRef();
  return S_OK;
}

STDMETHODIMP CapturePin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  if (type == nullptr) return E_POINTER;
  std::lock_guard lock(filter_->Lock());
  if (peer_ == nullptr) {
    std::memset(type, 0, sizeof *type);
    return VFW_E_NOT_CONNECTED;
  }
  return CopyMediaType(type, type_);
}

STDMETHODIMP CapturePin::QueryPinInfo(PIN_INFO* info) {
  if (info == nullptr) return E_POINTER;
  info->pFilter = filter_;
  filter_->AddRef();
  info->dir = PINDIR_OUTPUT;
  wcsncpy(info->achName, kPinName, MAX_PIN_NAME);
  return S_OK;
}

STDMETHODIMP CapturePin::QueryDirection(PIN_DIRECTION* direction) {
  if (direction == nullptr) return E_POINTER;
  *direction = PINDIR_OUTPUT;
  return S_OK;
}

STDMETHODIMP CapturePin::QueryId(LPWSTR* id) {
  if (id == nullptr) return E_POINTER;
  const size_t bytes = sizeof kPinName;
  *id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
  if (*id == nullptr) return E_OUTOFMEMORY;
  std::memcpy(*id, kPinName, bytes);
  return S_OK;
}

STDMETHODIMP CapturePin::QueryAccept(const AM_MEDIA_TYPE* type) {
  if (type == nullptr) return E_POINTER;
  Format format;
  return FormatOf(*type, filter_->Standard(), &format) ? S_OK : S_FALSE;
}

STDMETHODIMP CapturePin::EnumMediaTypes(IEnumMediaTypes** types) {
  if (types == nullptr) return E_POINTER;
  std::lock_guard lock(filter_->Lock());
  *types = new (std::nothrow) TypeEnumerator(Offered(), filter_->Standard());
  return *types != nullptr ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CapturePin::Get(REFGUID set, DWORD id, LPVOID, DWORD, LPVOID data, DWORD dataSize,
                             DWORD* returned) {
  if (set != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
  if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
  if (data == nullptr && returned == nullptr) return E_POINTER;
  if (returned != nullptr) *returned = sizeof(GUID);
  if (data == nullptr) return S_OK;
  if (dataSize < sizeof(GUID)) return E_UNEXPECTED;
  *static_cast<GUID*>(data) = PIN_CATEGORY_CAPTURE;
  return S_OK;
}

STDMETHODIMP CapturePin::QuerySupported(REFGUID set, DWORD id, DWORD* support) {
  if (set != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
  if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
  if (support != nullptr) *support = KSPROPERTY_SUPPORT_GET;
  return S_OK;
}

STDMETHODIMP CapturePin::SetFormat(AM_MEDIA_TYPE* type) {
  std::unique_lock lock(filter_->Lock());
  if (filter_->State() != State_Stopped) return VFW_E_NOT_STOPPED;
  if (type == nullptr) {
    havePreferred_ = false;
    return S_OK;
  }
  Format format;
  if (!FormatOf(*type, filter_->Standard(), &format)) return VFW_E_INVALIDMEDIATYPE;
  if (peer_ != nullptr && peer_->QueryAccept(type) != S_OK) return VFW_E_INVALIDMEDIATYPE;
  preferred_ = format;
  havePreferred_ = true;
  if (peer_ == nullptr || (format.bits == format_.bits && format.width == format_.width &&
                           format.height == format_.height && format.info2 == format_.info2)) {
    return S_OK;
  }
  // Connected with another format: the graph connects the pins again, with this one offered.
  IFilterGraph* graph = filter_->Graph();
  lock.unlock();
  return graph != nullptr ? graph->Reconnect(this) : VFW_E_NOT_IN_GRAPH;
}

STDMETHODIMP CapturePin::GetFormat(AM_MEDIA_TYPE** type) {
  if (type == nullptr) return E_POINTER;
  std::lock_guard lock(filter_->Lock());
  auto* result = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (result == nullptr) return E_OUTOFMEMORY;
  HRESULT hr = S_OK;
  if (peer_ != nullptr) {
    hr = CopyMediaType(result, type_);
  } else {
    const std::vector<Format> formats = Offered();
    hr = !formats.empty() && MakeMediaType(formats.front(), filter_->Standard(), result) ? S_OK
                                                                                         : E_FAIL;
  }
  if (FAILED(hr)) {
    CoTaskMemFree(result);
    return hr;
  }
  *type = result;
  return S_OK;
}

STDMETHODIMP CapturePin::GetNumberOfCapabilities(int* count, int* size) {
  if (count == nullptr || size == nullptr) return E_POINTER;
  *count = static_cast<int>(FormatsOf(filter_->Standard(), -1).size());
  *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
  return S_OK;
}

STDMETHODIMP CapturePin::GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) {
  if (type == nullptr || caps == nullptr) return E_POINTER;
  const int standard = filter_->Standard();
  const std::vector<Format> formats = FormatsOf(standard, -1);
  if (index < 0 || index >= static_cast<int>(formats.size())) return S_FALSE;
  const Format& f = formats[index];
  auto* result = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (result == nullptr || !MakeMediaType(f, standard, result)) {
    if (result != nullptr) CoTaskMemFree(result);
    return E_OUTOFMEMORY;
  }
  auto* c = reinterpret_cast<VIDEO_STREAM_CONFIG_CAPS*>(caps);
  std::memset(c, 0, sizeof *c);
  c->guid = f.info2 ? FORMAT_VideoInfo2 : FORMAT_VideoInfo;
  c->VideoStandard = adapters::Is625(standard) ? AnalogVideo_PAL_B : AnalogVideo_NTSC_M;
  c->InputSize = {f.width, f.height};
  c->MinCroppingSize = c->MaxCroppingSize = c->InputSize;
  c->CropGranularityX = c->CropGranularityY = 1;
  c->MinOutputSize = c->MaxOutputSize = c->InputSize;
  c->OutputGranularityX = c->OutputGranularityY = 1;
  c->MinFrameInterval = c->MaxFrameInterval = FramePeriod(standard);
  const LONG bitRate =
      f.info2 ? static_cast<LONG>(
                    reinterpret_cast<const VIDEOINFOHEADER2*>(result->pbFormat)->dwBitRate)
              : static_cast<LONG>(
                    reinterpret_cast<const VIDEOINFOHEADER*>(result->pbFormat)->dwBitRate);
  c->MinBitsPerSecond = c->MaxBitsPerSecond = bitRate;
  *type = result;
  return S_OK;
}

STDMETHODIMP CapturePin::GetNumDropped(long* dropped) {
  if (dropped == nullptr) return E_POINTER;
  *dropped = dropped_.load();
  return S_OK;
}

STDMETHODIMP CapturePin::GetNumNotDropped(long* delivered) {
  if (delivered == nullptr) return E_POINTER;
  *delivered = delivered_.load();
  return S_OK;
}

STDMETHODIMP CapturePin::GetDroppedInfo(long, long*, long* copied) {
  if (copied == nullptr) return E_POINTER;
  *copied = 0;  // which frames were lost is not kept, only how many
  return S_OK;
}

STDMETHODIMP CapturePin::GetAverageFrameSize(long* size) {
  if (size == nullptr) return E_POINTER;
  *size = peer_ != nullptr ? FrameBytes(format_) : 0;
  return S_OK;
}

STDMETHODIMP CapturePin::GetLatency(REFERENCE_TIME* latency) {
  if (latency == nullptr) return E_POINTER;
  *latency = FramePeriod(filter_->Standard());  // a frame is whole one period after it began
  return S_OK;
}

STDMETHODIMP CapturePin::GetPushSourceFlags(ULONG* flags) {
  if (flags == nullptr) return E_POINTER;
  *flags = 0;  // stamped with the graph's clock
  return S_OK;
}

STDMETHODIMP CapturePin::GetStreamOffset(REFERENCE_TIME* offset) {
  if (offset == nullptr) return E_POINTER;
  *offset = 0;
  return S_OK;
}

STDMETHODIMP CapturePin::GetMaxStreamOffset(REFERENCE_TIME* offset) {
  if (offset == nullptr) return E_POINTER;
  *offset = 0;
  return S_OK;
}

HRESULT CapturePin::Active() {
  if (peer_ == nullptr || allocator_ == nullptr) return S_OK;  // nothing to deliver to
  const int handle = filter_->Handle();
  if (handle == 0) return VFW_E_NO_CAPTURE_HARDWARE;
  ZelCam_StopPreview(handle);
  if (ZelCam_SetSamplingRate(handle, format_.samplingCode) != 1 ||
      ZelCam_SetColorMode(handle, format_.bits) != 1 || ZelCam_StartPreview(handle) != 1) {
    ZelCam_StopPreview(handle);
    return VFW_E_NO_CAPTURE_HARDWARE;
  }
  if (ZelCam_Width(handle) != format_.width || ZelCam_Height(handle) != format_.height) {
    // Connected under another video standard: the pins have to be connected again.
    ZelCam_StopPreview(handle);
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT hr = allocator_->Commit();
  if (FAILED(hr)) {
    ZelCam_StopPreview(handle);
    return hr;
  }
  stopping_ = false;
  delivered_ = 0;
  dropped_ = 0;
  thread_ = std::thread([this] { Stream(); });
  return S_OK;
}

void CapturePin::Inactive() {
  stopping_ = true;
  // A thread waiting for a buffer is released by the decommit, one waiting for a frame within a
  // wait slice.
  if (allocator_ != nullptr) allocator_->Decommit();
  if (thread_.joinable()) thread_.join();
  const int handle = filter_->Handle();
  if (handle != 0) ZelCam_StopPreview(handle);
}

void CapturePin::Stream() {
  const int handle = filter_->Handle();
  const bool topDown = TopDown(format_.bits);
  const int standard = filter_->Standard();
  const REFERENCE_TIME period = FramePeriod(standard);
  const long bytes = FrameBytes(format_);
  bool haveLast = false;
  unsigned long long last = 0;
  while (!stopping_) {
    IMediaSample* sample = nullptr;
    if (FAILED(allocator_->GetBuffer(&sample, nullptr, nullptr, 0))) break;
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    ZelCnvFrameDetails details{};
    details.size = sizeof details;
    int got = 0;
    while (got == 0 && !stopping_) {
      got = ZelCnvEx_WaitFrame(handle, data, sample->GetSize(), topDown ? 1 : 0, kWaitSliceMs,
                               &details);
    }
    // The converter sees another video standard: the stream goes on in the geometry it was
    // started with, which no longer frames the picture, or its frames no longer fit the sample.
    // No such frame is delivered.
    bool otherStandard = false;
    if (got == 1) {
      int valid = 0;
      const int now = ZelCam_GetVideoFormat(handle, &valid);
      otherStandard = (valid == 1 && CaptureFilter::Decodable(now) != standard) ||
                      details.width != format_.width || details.height != format_.height;
    } else if (got != 0) {
      otherStandard = ZelCam_GetLastError(handle) == ERR_BUFFER;
    }
    if (got != 1 || otherStandard) {
      sample->Release();
      if (stopping_) break;
      if (otherStandard) {
        // The graph hears that the connected format no longer fits; connected again, the pin
        // offers the new standard's formats.
        filter_->Notify(EC_ERRORABORT, VFW_E_TYPE_NOT_ACCEPTED, 0);
      } else {
        // The converter went away or stopped sending.
        filter_->Notify(EC_DEVICE_LOST,
                        reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(filter_)), 0);
        filter_->Notify(EC_ERRORABORT, HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED), 0);
      }
      if (peer_ != nullptr) peer_->EndOfStream();
      break;
    }
    sample->SetActualDataLength(bytes);
    sample->SetSyncPoint(TRUE);
    const bool gap = haveLast && details.sequence > last + 1;
    if (gap) dropped_ += static_cast<long>(details.sequence - last - 1);
    sample->SetDiscontinuity(!haveLast || gap ? TRUE : FALSE);
    haveLast = true;
    last = details.sequence;
    REFERENCE_TIME start = 0;
    const bool timed = filter_->StreamTime(details.captureTime, &start);
    // Paused, a live source delivers nothing; running, nothing captured before the graph's start.
    if (filter_->State() == State_Running && (!timed || start >= 0)) {
      if (timed) {
        REFERENCE_TIME end = start + period;
        sample->SetTime(&start, &end);
      } else {
        sample->SetTime(nullptr, nullptr);
      }
      LONGLONG mediaStart = static_cast<LONGLONG>(details.sequence), mediaEnd = mediaStart + 1;
      sample->SetMediaTime(&mediaStart, &mediaEnd);
      const HRESULT hr = input_->Receive(sample);
      if (hr == S_OK) {
        ++delivered_;
      } else if (FAILED(hr)) {
        sample->Release();
        break;  // downstream is stopping or failed: it says so itself
      }
    }
    sample->Release();
  }
}

// --- The filter ---

CaptureFilter::CaptureFilter() = default;

CaptureFilter::~CaptureFilter() {
  if (state_ != State_Stopped) {
    std::lock_guard lock(lock_);
    pin_.Inactive();
  }
  SafeRelease(&clock_);
  if (handle_ != 0) ZelCam_Release(handle_);
}

STDMETHODIMP CaptureFilter::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IBaseFilter || riid == IID_IMediaFilter ||
      riid == IID_IPersist) {
    *out = static_cast<IBaseFilter*>(this);
  } else if (riid == IID_IAMFilterMiscFlags) {
    *out = static_cast<IAMFilterMiscFlags*>(this);
  } else if (riid == IID_IAMVideoProcAmp) {
    *out = static_cast<IAMVideoProcAmp*>(this);
  } else if (riid == IID_IAMAnalogVideoDecoder) {
    *out = static_cast<IAMAnalogVideoDecoder*>(this);
  } else if (riid == IID_IPersistPropertyBag) {
    *out = static_cast<IPersistPropertyBag*>(this);
  } else if (riid == IID_IAMCrossbar) {
    *out = static_cast<IAMCrossbar*>(this);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) CaptureFilter::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP CaptureFilter::GetClassID(CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  *clsid = kClsidCapture;
  return S_OK;
}

STDMETHODIMP CaptureFilter::Stop() {
  std::lock_guard lock(lock_);
  if (state_ != State_Stopped) pin_.Inactive();
  state_ = State_Stopped;
  return S_OK;
}

STDMETHODIMP CaptureFilter::Pause() {
  std::lock_guard lock(lock_);
  if (state_ == State_Stopped) {
    {
      std::lock_guard clockLock(clockLock_);
      mapped_ = false;
    }
    const HRESULT hr = pin_.Active();
    if (FAILED(hr)) return hr;
  }
  state_ = State_Paused;
  return S_OK;
}

STDMETHODIMP CaptureFilter::Run(REFERENCE_TIME start) {
  if (state_ == State_Stopped) {
    const HRESULT hr = Pause();
    if (FAILED(hr)) return hr;
  }
  std::lock_guard lock(lock_);
  {
    std::lock_guard clockLock(clockLock_);
    start_ = start;
  }
  state_ = State_Running;
  return S_OK;
}

STDMETHODIMP CaptureFilter::GetState(DWORD, FILTER_STATE* state) {
  if (state == nullptr) return E_POINTER;
  *state = state_;
  // A live source has nothing to show while paused.
  return state_ == State_Paused ? VFW_S_CANT_CUE : S_OK;
}

STDMETHODIMP CaptureFilter::SetSyncSource(IReferenceClock* clock) {
  if (clock != nullptr) clock->AddRef();
  IReferenceClock* old = nullptr;
  {
    std::lock_guard lock(clockLock_);
    old = clock_;
    clock_ = clock;
    mapped_ = false;
  }
  SafeRelease(&old);
  return S_OK;
}

STDMETHODIMP CaptureFilter::GetSyncSource(IReferenceClock** clock) {
  if (clock == nullptr) return E_POINTER;
  std::lock_guard lock(clockLock_);
  *clock = clock_;
  if (clock_ != nullptr) clock_->AddRef();
  return S_OK;
}

STDMETHODIMP CaptureFilter::EnumPins(IEnumPins** pins) {
  if (pins == nullptr) return E_POINTER;
  *pins = new (std::nothrow) PinEnumerator(&pin_);
  return *pins != nullptr ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CaptureFilter::FindPin(LPCWSTR id, IPin** pin) {
  if (id == nullptr || pin == nullptr) return E_POINTER;
  if (std::wcscmp(id, kPinName) != 0) {
    *pin = nullptr;
    return VFW_E_NOT_FOUND;
  }
  *pin = &pin_;
  pin_.AddRef();
  return S_OK;
}

STDMETHODIMP CaptureFilter::QueryFilterInfo(FILTER_INFO* info) {
  if (info == nullptr) return E_POINTER;
  std::lock_guard lock(lock_);
  wcsncpy(info->achName, name_.c_str(), MAX_FILTER_NAME - 1);
  info->achName[MAX_FILTER_NAME - 1] = L'\0';
  info->pGraph = graph_;
  if (graph_ != nullptr) graph_->AddRef();
  return S_OK;
}

STDMETHODIMP CaptureFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
  std::lock_guard lock(lock_);
  graph_ = graph;
  name_ = name != nullptr ? name : L"";
  return S_OK;
}

namespace {

int ControlOf(long property) {
  switch (property) {
    case VideoProcAmp_Brightness:
      return ZELCNV_FILTER_BRIGHTNESS;
    case VideoProcAmp_Contrast:
      return ZELCNV_FILTER_CONTRAST;
    case VideoProcAmp_Hue:
      return ZELCNV_FILTER_HUE;
    case VideoProcAmp_Saturation:
      return ZELCNV_FILTER_SATURATION;
    default:
      return 0;
  }
}

}  // namespace

STDMETHODIMP CaptureFilter::GetRange(long property, long* min, long* max, long* step,
                                     long* defaultValue, long* flags) {
  if (min == nullptr || max == nullptr || step == nullptr || defaultValue == nullptr ||
      flags == nullptr) {
    return E_POINTER;
  }
  if (ControlOf(property) == 0) return E_PROP_ID_UNSUPPORTED;
  *min = 0;
  *max = 255;
  *step = 1;
  *defaultValue = property == VideoProcAmp_Hue ? 0 : 128;
  *flags = VideoProcAmp_Flags_Manual;
  return S_OK;
}

STDMETHODIMP CaptureFilter::Set(long property, long value, long) {
  const int control = ControlOf(property);
  if (control == 0) return E_PROP_ID_UNSUPPORTED;
  if (value < 0 || value > 255) return E_INVALIDARG;
  const int handle = Handle();
  if (handle == 0) return VFW_E_NO_CAPTURE_HARDWARE;
  return ZelCam_SetFilterValue(handle, control, value) == 1 ? S_OK : E_FAIL;
}

STDMETHODIMP CaptureFilter::Get(long property, long* value, long* flags) {
  if (value == nullptr || flags == nullptr) return E_POINTER;
  const int control = ControlOf(property);
  if (control == 0) return E_PROP_ID_UNSUPPORTED;
  const int handle = Handle();
  if (handle == 0) return VFW_E_NO_CAPTURE_HARDWARE;
  int valid = 0;
  *value = ZelCam_GetFilterValue(handle, control, &valid);
  *flags = VideoProcAmp_Flags_Manual;
  return valid == 1 ? S_OK : E_FAIL;
}

STDMETHODIMP CaptureFilter::get_AvailableTVFormats(long* formats) {
  if (formats == nullptr) return E_POINTER;
  *formats = AnalogVideo_NTSC_M | AnalogVideo_PAL_B;
  return S_OK;
}

STDMETHODIMP CaptureFilter::put_TVFormat(long format) {
  // The converter detects the standard itself: only the one it sees is "chosen".
  long now = 0;
  get_TVFormat(&now);
  return format == now ? S_OK : E_INVALIDARG;
}

STDMETHODIMP CaptureFilter::get_TVFormat(long* format) {
  if (format == nullptr) return E_POINTER;
  const int standard = Standard();
  *format = adapters::Is625(standard) ? AnalogVideo_PAL_B : AnalogVideo_NTSC_M;
  return S_OK;
}

STDMETHODIMP CaptureFilter::get_HorizontalLocked(long* locked) {
  if (locked == nullptr) return E_POINTER;
  *locked = Handle() != 0 ? 1 : 0;
  return S_OK;
}

STDMETHODIMP CaptureFilter::get_NumberOfLines(long* lines) {
  if (lines == nullptr) return E_POINTER;
  const int standard = Standard();
  *lines = adapters::Is625(standard) ? 625 : 525;
  return S_OK;
}

STDMETHODIMP CaptureFilter::get_OutputEnable(long* enabled) {
  if (enabled == nullptr) return E_POINTER;
  *enabled = OATRUE;
  return S_OK;
}

// The converter's six inputs (composite) routed to its one output, the decoder.
STDMETHODIMP CaptureFilter::get_PinCounts(long* outputs, long* inputs) {
  if (outputs == nullptr || inputs == nullptr) return E_POINTER;
  *outputs = 1;
  *inputs = kInputs;
  return S_OK;
}

STDMETHODIMP CaptureFilter::CanRoute(long output, long input) {
  return output == 0 && input >= 0 && input < kInputs ? S_OK : S_FALSE;
}

STDMETHODIMP CaptureFilter::Route(long output, long input) {
  if (CanRoute(output, input) != S_OK) return E_INVALIDARG;
  const int handle = Handle();
  if (handle == 0) return VFW_E_NO_CAPTURE_HARDWARE;
  if (ZelCam_SetCrossbar(handle, static_cast<int>(input), 0) != 1) return E_FAIL;
  input_ = static_cast<int>(input);
  return S_OK;
}

STDMETHODIMP CaptureFilter::get_IsRoutedTo(long output, long* input) {
  if (input == nullptr) return E_POINTER;
  if (output != 0) return E_INVALIDARG;
  *input = input_;
  return S_OK;
}

STDMETHODIMP CaptureFilter::get_CrossbarPinInfo(BOOL isInput, long index, long* related,
                                                long* type) {
  if (related == nullptr || type == nullptr) return E_POINTER;
  if (isInput ? (index < 0 || index >= kInputs) : index != 0) return E_INVALIDARG;
  *related = -1;
  *type = isInput ? PhysConn_Video_Composite : PhysConn_Video_VideoDecoder;
  return S_OK;
}

STDMETHODIMP CaptureFilter::Load(IPropertyBag* bag, IErrorLog*) {
  if (bag == nullptr) return E_POINTER;
  VARIANT path;
  VariantInit(&path);
  path.vt = VT_BSTR;
  if (SUCCEEDED(bag->Read(L"DevicePath", &path, nullptr)) && path.vt == VT_BSTR &&
      path.bstrVal != nullptr) {
    const wchar_t* dash = std::wcsrchr(path.bstrVal, L'-');
    if (dash != nullptr && dash[1] >= L'0' && dash[1] <= L'7' && dash[2] == L'\0') {
      std::lock_guard lock(lock_);
      if (handle_ == 0) device_ = dash[1] - L'0';
    }
  }
  VariantClear(&path);
  return S_OK;
}

int CaptureFilter::Handle() {
  // Opened once; the device index cannot change after.
  static std::mutex opening;
  std::lock_guard lock(opening);
  if (handle_ == 0) {
    const int handle = ZelCam_Initialize(nullptr);
    if (handle != 0 && ZelCam_SetDeviceNumber(handle, device_) == 1) {
      handle_ = handle;
    } else if (handle != 0) {
      ZelCam_Release(handle);
    }
  }
  return handle_;
}

int CaptureFilter::Decodable(int standard) {
  return standard == ZELCNV_VIDEO_525_LINE_WIDE ? ZELCNV_VIDEO_525_LINE : standard;
}

int CaptureFilter::Standard() {
  const int handle = Handle();
  if (handle == 0) return ZELCNV_VIDEO_525_LINE;
  // While streaming, the standard the stream was started with.
  if (standard_ >= 0 && state_ != State_Stopped) return standard_;
  int valid = 0;
  const int standard = ZelCam_GetVideoFormat(handle, &valid);
  standard_ = valid == 1 ? Decodable(standard) : ZELCNV_VIDEO_525_LINE;
  return standard_;
}

bool CaptureFilter::StreamTime(long long captureTime, REFERENCE_TIME* time) {
  std::lock_guard lock(clockLock_);
  IReferenceClock* clock = clock_;
  if (clock == nullptr) return false;
  REFERENCE_TIME now = 0;
  if (FAILED(clock->GetTime(&now))) return false;
  const REFERENCE_TIME offset = now - ZelCnvEx_Now();
  // Taken once per stream: both clocks run at the same rate, and the samples are spaced as their
  // capture times are. A clock that jumped is mapped again.
  if (!mapped_ || offset - offset_ > kClockJump || offset_ - offset > kClockJump) {
    offset_ = offset;
    mapped_ = true;
  }
  *time = captureTime + offset_ - start_;
  return true;
}

void CaptureFilter::Notify(long code, LONG_PTR first, LONG_PTR second) {
  if (graph_ == nullptr) return;
  IMediaEventSink* sink = nullptr;
  if (SUCCEEDED(graph_->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink)))) {
    sink->Notify(code, first, second);
    sink->Release();
  }
}

}  // namespace zelcnv::dshow
