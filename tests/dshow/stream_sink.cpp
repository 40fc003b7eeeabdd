#include "stream_sink.h"

#include <vfwmsgs.h>

#include <atomic>
#include <cstring>
#include <cwchar>
#include <new>

namespace zelcnv::dshowtest {

namespace {

class StreamSink;

class SinkPin final : public IPin, public IMemInputPin, public IStream {
 public:
  explicit SinkPin(StreamSink* filter) : filter_(filter) {}
  ~SinkPin() {
    if (peer_ != nullptr) peer_->Release();
    if (file_ != nullptr) std::fclose(file_);
  }
  bool Open(const std::wstring& path) {
    file_ = _wfopen(path.c_str(), L"w+b");
    return file_ != nullptr;
  }

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (riid == IID_IUnknown || riid == IID_IPin) {
      *out = static_cast<IPin*>(this);
    } else if (riid == IID_IMemInputPin) {
      *out = static_cast<IMemInputPin*>(this);
    } else if (riid == IID_IStream || riid == IID_ISequentialStream) {
      *out = static_cast<IStream*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IPin: an input that takes any connection.
  STDMETHODIMP Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
  STDMETHODIMP ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE*) override {
    if (peer_ != nullptr) return VFW_E_ALREADY_CONNECTED;
    peer_ = connector;
    peer_->AddRef();
    return S_OK;
  }
  STDMETHODIMP Disconnect() override {
    if (peer_ == nullptr) return S_FALSE;
    peer_->Release();
    peer_ = nullptr;
    return S_OK;
  }
  STDMETHODIMP ConnectedTo(IPin** pin) override {
    *pin = peer_;
    if (peer_ == nullptr) return VFW_E_NOT_CONNECTED;
    peer_->AddRef();
    return S_OK;
  }
  STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* type) override {
    std::memset(type, 0, sizeof *type);
    type->majortype = MEDIATYPE_Stream;
    return peer_ != nullptr ? S_OK : VFW_E_NOT_CONNECTED;
  }
  STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
  STDMETHODIMP QueryDirection(PIN_DIRECTION* direction) override {
    *direction = PINDIR_INPUT;
    return S_OK;
  }
  STDMETHODIMP QueryId(LPWSTR* id) override {
    *id = static_cast<LPWSTR>(CoTaskMemAlloc(sizeof L"In"));
    std::memcpy(*id, L"In", sizeof L"In");
    return S_OK;
  }
  STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE*) override { return S_OK; }
  STDMETHODIMP EnumMediaTypes(IEnumMediaTypes**) override { return E_NOTIMPL; }
  STDMETHODIMP QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
  STDMETHODIMP EndOfStream() override { return S_OK; }
  STDMETHODIMP BeginFlush() override { return S_OK; }
  STDMETHODIMP EndFlush() override { return S_OK; }
  STDMETHODIMP NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

  // IMemInputPin: samples written at the byte offset their start time gives.
  STDMETHODIMP GetAllocator(IMemAllocator**) override { return VFW_E_NO_ALLOCATOR; }
  STDMETHODIMP NotifyAllocator(IMemAllocator*, BOOL) override { return S_OK; }
  STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) override { return E_NOTIMPL; }
  STDMETHODIMP Receive(IMediaSample* sample) override {
    REFERENCE_TIME start = 0, end = 0;
    BYTE* data = nullptr;
    if (FAILED(sample->GetTime(&start, &end)) || FAILED(sample->GetPointer(&data))) return S_OK;
    std::fseek(file_, static_cast<long>(start), SEEK_SET);
    std::fwrite(data, 1, sample->GetActualDataLength(), file_);
    return S_OK;
  }
  STDMETHODIMP ReceiveMultiple(IMediaSample** samples, long count, long* done) override {
    for (*done = 0; *done < count; ++*done) Receive(samples[*done]);
    return S_OK;
  }
  STDMETHODIMP ReceiveCanBlock() override { return S_FALSE; }

  // IStream: the file itself.
  STDMETHODIMP Read(void* data, ULONG size, ULONG* read) override {
    const size_t got = std::fread(data, 1, size, file_);
    if (read != nullptr) *read = static_cast<ULONG>(got);
    return got == size ? S_OK : S_FALSE;
  }
  STDMETHODIMP Write(const void* data, ULONG size, ULONG* written) override {
    const size_t put = std::fwrite(data, 1, size, file_);
    if (written != nullptr) *written = static_cast<ULONG>(put);
    return put == size ? S_OK : STG_E_MEDIUMFULL;
  }
  STDMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override {
    const int whence = origin == STREAM_SEEK_SET   ? SEEK_SET
                       : origin == STREAM_SEEK_CUR ? SEEK_CUR
                                                   : SEEK_END;
    if (_fseeki64(file_, move.QuadPart, whence) != 0) return STG_E_INVALIDFUNCTION;
    if (position != nullptr) position->QuadPart = static_cast<ULONGLONG>(_ftelli64(file_));
    return S_OK;
  }
  STDMETHODIMP SetSize(ULARGE_INTEGER) override { return S_OK; }
  STDMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP Commit(DWORD) override {
    std::fflush(file_);
    return S_OK;
  }
  STDMETHODIMP Revert() override { return E_NOTIMPL; }
  STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Clone(IStream**) override { return E_NOTIMPL; }

  void Close() {
    if (file_ != nullptr) std::fflush(file_);
  }

 private:
  StreamSink* filter_;
  IPin* peer_ = nullptr;
  std::FILE* file_ = nullptr;
};

class OnePin final : public IEnumPins {
 public:
  explicit OnePin(IPin* pin) : pin_(pin) { pin_->AddRef(); }
  ~OnePin() { pin_->Release(); }
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (riid == IID_IUnknown || riid == IID_IEnumPins) {
      *out = this;
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  STDMETHODIMP Next(ULONG count, IPin** pins, ULONG* fetched) override {
    ULONG given = 0;
    if (count > 0 && !done_) {
      pins[given++] = pin_;
      pin_->AddRef();
      done_ = true;
    }
    if (fetched != nullptr) *fetched = given;
    return given == count ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG) override { return E_NOTIMPL; }
  STDMETHODIMP Reset() override {
    done_ = false;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnumPins**) override { return E_NOTIMPL; }

 private:
  std::atomic<ULONG> references_{1};
  IPin* pin_;
  bool done_ = false;
};

class StreamSink final : public IBaseFilter {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (riid == IID_IUnknown || riid == IID_IBaseFilter || riid == IID_IMediaFilter ||
        riid == IID_IPersist) {
      *out = static_cast<IBaseFilter*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  STDMETHODIMP GetClassID(CLSID* clsid) override {
    *clsid = GUID_NULL;
    return S_OK;
  }
  STDMETHODIMP Stop() override {
    pin_.Close();
    state_ = State_Stopped;
    return S_OK;
  }
  STDMETHODIMP Pause() override {
    state_ = State_Paused;
    return S_OK;
  }
  STDMETHODIMP Run(REFERENCE_TIME) override {
    state_ = State_Running;
    return S_OK;
  }
  STDMETHODIMP GetState(DWORD, FILTER_STATE* state) override {
    *state = state_;
    return S_OK;
  }
  STDMETHODIMP SetSyncSource(IReferenceClock*) override { return S_OK; }
  STDMETHODIMP GetSyncSource(IReferenceClock** clock) override {
    *clock = nullptr;
    return S_OK;
  }
  STDMETHODIMP EnumPins(IEnumPins** pins) override {
    *pins = new (std::nothrow) OnePin(&pin_);
    return *pins != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  STDMETHODIMP FindPin(LPCWSTR, IPin** pin) override {
    *pin = &pin_;
    pin_.AddRef();
    return S_OK;
  }
  STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override {
    wcsncpy(info->achName, L"Stream sink", MAX_FILTER_NAME);
    info->pGraph = graph_;
    if (graph_ != nullptr) graph_->AddRef();
    return S_OK;
  }
  STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR) override {
    graph_ = graph;
    return S_OK;
  }
  STDMETHODIMP QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }

  bool Open(const std::wstring& path) { return pin_.Open(path); }

 private:
  std::atomic<ULONG> references_{1};
  SinkPin pin_{this};
  FILTER_STATE state_ = State_Stopped;
  IFilterGraph* graph_ = nullptr;
};

STDMETHODIMP_(ULONG) SinkPin::AddRef() {
  return filter_->AddRef();
}

STDMETHODIMP_(ULONG) SinkPin::Release() {
  return filter_->Release();
}

STDMETHODIMP SinkPin::QueryPinInfo(PIN_INFO* info) {
  info->pFilter = filter_;
  filter_->AddRef();
  info->dir = PINDIR_INPUT;
  wcsncpy(info->achName, L"In", MAX_PIN_NAME);
  return S_OK;
}

}  // namespace

IBaseFilter* NewStreamSink(const std::wstring& path) {
  auto* sink = new (std::nothrow) StreamSink;
  if (sink != nullptr && !sink->Open(path)) {
    sink->Release();
    return nullptr;
  }
  return sink;
}

}  // namespace zelcnv::dshowtest
