// The capture filter and its one output pin. The filter is a live source: in Paused it opens the
// stream and its pin's thread waits for frames (ZelCnvEx_WaitFrame, no lock held), delivering
// them only while Running, stamped with the graph's reference clock at their capture time.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <ks.h>
#include <ksproxy.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "com.h"
#include "formats.h"

namespace zelcnv::dshow {

// {6F1C2A40-5D3B-4E8A-9C17-2B7E0D4A9F31}
inline constexpr GUID kClsidCapture = {
    0x6f1c2a40, 0x5d3b, 0x4e8a, {0x9c, 0x17, 0x2b, 0x7e, 0x0d, 0x4a, 0x9f, 0x31}};
inline constexpr wchar_t kFriendlyName[] = L"ZelCnv Analog Video";
inline constexpr wchar_t kPinName[] = L"Capture";

class CaptureFilter;

class CapturePin final : public IPin,
                         public IKsPropertySet,
                         public IAMStreamConfig,
                         public IAMDroppedFrames,
                         public IAMPushSource {
 public:
  explicit CapturePin(CaptureFilter* filter) : filter_(filter) {}
  ~CapturePin();

  // IUnknown: the filter's count.
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IPin
  STDMETHODIMP Connect(IPin* receiver, const AM_MEDIA_TYPE* type) override;
  STDMETHODIMP ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
  STDMETHODIMP Disconnect() override;
  STDMETHODIMP ConnectedTo(IPin** pin) override;
  STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* type) override;
  STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
  STDMETHODIMP QueryDirection(PIN_DIRECTION* direction) override;
  STDMETHODIMP QueryId(LPWSTR* id) override;
  STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* type) override;
  STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override;
  STDMETHODIMP QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
  STDMETHODIMP EndOfStream() override { return E_UNEXPECTED; }
  STDMETHODIMP BeginFlush() override { return E_UNEXPECTED; }
  STDMETHODIMP EndFlush() override { return E_UNEXPECTED; }
  STDMETHODIMP NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

  // IKsPropertySet: the pin's category.
  STDMETHODIMP Set(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Get(REFGUID set, DWORD id, LPVOID instance, DWORD instanceSize, LPVOID data,
                   DWORD dataSize, DWORD* returned) override;
  STDMETHODIMP QuerySupported(REFGUID set, DWORD id, DWORD* support) override;

  // IAMStreamConfig
  STDMETHODIMP SetFormat(AM_MEDIA_TYPE* type) override;
  STDMETHODIMP GetFormat(AM_MEDIA_TYPE** type) override;
  STDMETHODIMP GetNumberOfCapabilities(int* count, int* size) override;
  STDMETHODIMP GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) override;

  // IAMDroppedFrames
  STDMETHODIMP GetNumDropped(long* dropped) override;
  STDMETHODIMP GetNumNotDropped(long* delivered) override;
  STDMETHODIMP GetDroppedInfo(long size, long* frames, long* copied) override;
  STDMETHODIMP GetAverageFrameSize(long* size) override;

  // IAMPushSource (and IAMLatency)
  STDMETHODIMP GetLatency(REFERENCE_TIME* latency) override;
  STDMETHODIMP GetPushSourceFlags(ULONG* flags) override;
  STDMETHODIMP SetPushSourceFlags(ULONG) override { return E_NOTIMPL; }
  STDMETHODIMP SetStreamOffset(REFERENCE_TIME) override { return E_NOTIMPL; }
  STDMETHODIMP GetStreamOffset(REFERENCE_TIME* offset) override;
  STDMETHODIMP GetMaxStreamOffset(REFERENCE_TIME* offset) override;
  STDMETHODIMP SetMaxStreamOffset(REFERENCE_TIME) override { return E_NOTIMPL; }

  // From the filter, under its lock.
  HRESULT Active();  // Stopped -> Paused: the stream and the thread
  void Inactive();   // -> Stopped: returns once the thread has left
  bool Connected() const { return peer_ != nullptr; }

 private:
  HRESULT TryConnect(IPin* receiver, const AM_MEDIA_TYPE& type);
  HRESULT DecideAllocator(IMemInputPin* input, const Format& format);
  void Stream();
  std::vector<Format> Offered();

  CaptureFilter* filter_;
  IPin* peer_ = nullptr;
  IMemInputPin* input_ = nullptr;
  IMemAllocator* allocator_ = nullptr;
  AM_MEDIA_TYPE type_{};
  Format format_{};
  bool havePreferred_ = false;
  Format preferred_{};

  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<long> delivered_{0};
  std::atomic<long> dropped_{0};
};

class CaptureFilter final : public IBaseFilter,
                            public IAMFilterMiscFlags,
                            public IAMVideoProcAmp,
                            public IAMAnalogVideoDecoder,
                            public IAMCrossbar,
                            public IPersistPropertyBag {
 public:
  CaptureFilter();
  ~CaptureFilter();

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override;

  // IPersist, IMediaFilter, IBaseFilter
  STDMETHODIMP GetClassID(CLSID* clsid) override;
  STDMETHODIMP Stop() override;
  STDMETHODIMP Pause() override;
  STDMETHODIMP Run(REFERENCE_TIME start) override;
  STDMETHODIMP GetState(DWORD timeoutMs, FILTER_STATE* state) override;
  STDMETHODIMP SetSyncSource(IReferenceClock* clock) override;
  STDMETHODIMP GetSyncSource(IReferenceClock** clock) override;
  STDMETHODIMP EnumPins(IEnumPins** pins) override;
  STDMETHODIMP FindPin(LPCWSTR id, IPin** pin) override;
  STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override;
  STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  STDMETHODIMP QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }

  // IAMFilterMiscFlags
  STDMETHODIMP_(ULONG) GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_SOURCE; }

  // IAMVideoProcAmp: brightness, contrast, hue, saturation, 0..255.
  STDMETHODIMP GetRange(long property, long* min, long* max, long* step, long* defaultValue,
                        long* flags) override;
  STDMETHODIMP Set(long property, long value, long flags) override;
  STDMETHODIMP Get(long property, long* value, long* flags) override;

  // IAMAnalogVideoDecoder: the standard the converter sees.
  STDMETHODIMP get_AvailableTVFormats(long* formats) override;
  STDMETHODIMP put_TVFormat(long format) override;
  STDMETHODIMP get_TVFormat(long* format) override;
  STDMETHODIMP get_HorizontalLocked(long* locked) override;
  STDMETHODIMP put_VCRHorizontalLocking(long) override { return E_NOTIMPL; }
  STDMETHODIMP get_VCRHorizontalLocking(long*) override { return E_NOTIMPL; }
  STDMETHODIMP get_NumberOfLines(long* lines) override;
  STDMETHODIMP put_OutputEnable(long) override { return E_NOTIMPL; }
  STDMETHODIMP get_OutputEnable(long* enabled) override;

  // IAMCrossbar: the input, as a crossbar of six composite inputs and the decoder's output.
  STDMETHODIMP get_PinCounts(long* outputs, long* inputs) override;
  STDMETHODIMP CanRoute(long output, long input) override;
  STDMETHODIMP Route(long output, long input) override;
  STDMETHODIMP get_IsRoutedTo(long output, long* input) override;
  STDMETHODIMP get_CrossbarPinInfo(BOOL isInput, long index, long* related, long* type) override;

  // IPersistPropertyBag: the device enumerator's moniker names the converter ("DevicePath").
  STDMETHODIMP InitNew() override { return S_OK; }
  STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
  STDMETHODIMP Save(IPropertyBag*, BOOL, BOOL) override { return E_NOTIMPL; }

  // For the pin.
  std::mutex& Lock() { return lock_; }
  int Handle();    // the library's handle, opened on first use (0: none)
  int Standard();  // the standard whose formats the pin offers (fixed while streaming)
  // The standard whose formats a detected one gets: the converter does not decode 525-line wide.
  static int Decodable(int standard);
  int DeviceIndex() const { return device_; }
  FILTER_STATE State() const { return state_.load(); }
  // The reference clock's time (100 ns) of a capture time on the library's clock; false without
  // a clock.
  bool StreamTime(long long captureTime, REFERENCE_TIME* time);
  void Notify(long code, LONG_PTR first, LONG_PTR second);
  IFilterGraph* Graph() const { return graph_; }

 private:
  ModuleReference module_;
  std::atomic<ULONG> references_{1};
  std::mutex lock_;
  CapturePin pin_{this};
  std::atomic<FILTER_STATE> state_{State_Stopped};
  // The clock, the stream's start and the mapping onto the clock: the streaming thread reads them
  // for every sample, so they have a lock of their own, never held while waiting.
  std::mutex clockLock_;
  REFERENCE_TIME start_ = 0;
  IReferenceClock* clock_ = nullptr;
  IFilterGraph* graph_ = nullptr;  // not counted: the graph holds the filter
  std::wstring name_;
  std::atomic<int> device_{0};
  std::atomic<int> handle_{0};
  std::atomic<int> standard_{-1};
  static constexpr long kInputs = 6;
  std::atomic<int> input_{0};
  // The reference clock minus the library's clock, taken at a stream's first frame.
  bool mapped_ = false;
  REFERENCE_TIME offset_ = 0;
};

}  // namespace zelcnv::dshow
