// ZelCnvCapture.ax: the module's COM entry points and its registration. DllRegisterServer writes
// the class and, through the filter mapper, one entry per converter present in the video input
// device category, each with the converter's device path in its property bag.
#include <windows.h>
#include <dshow.h>
#include <uuids.h>

#include <atomic>
#include <cstdio>
#include <new>
#include <string>

#include "ZelCnvSdk.h"
#include "capture.h"
#include "com.h"

namespace zelcnv::dshow {

std::atomic<long> gModuleReferences{0};

namespace {

HMODULE gModule = nullptr;
std::atomic<long> gLocks{0};

class ClassFactory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
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
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    auto* filter = new (std::nothrow) CaptureFilter;
    if (filter == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = filter->QueryInterface(riid, out);
    filter->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock) {
      ++gLocks;
    } else {
      --gLocks;
    }
    return S_OK;
  }

 private:
  ModuleReference module_;
  std::atomic<ULONG> references_{1};
};

std::wstring ClsidKey() {
  wchar_t clsid[64];
  StringFromGUID2(kClsidCapture, clsid, 64);
  return std::wstring(L"CLSID\\") + clsid;
}

// The device-category entry of converter `index`.
std::wstring InstanceName(int index) {
  return L"ZelCnvSdk-" + std::to_wstring(index);
}

std::wstring FriendlyName(int index) {
  if (index == 0) return kFriendlyName;
  return std::wstring(kFriendlyName) + L" (" + std::to_wstring(index + 1) + L")";
}

HRESULT SetValue(HKEY key, const wchar_t* name, const std::wstring& value) {
  const LONG status =
      RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  return HRESULT_FROM_WIN32(status);
}

HRESULT RegisterClass() {
  wchar_t path[MAX_PATH];
  if (GetModuleFileNameW(gModule, path, MAX_PATH) == 0) return E_FAIL;
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, ClsidKey().c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    return SELFREG_E_CLASS;
  }
  HRESULT hr = SetValue(key, nullptr, kFriendlyName);
  HKEY server = nullptr;
  if (SUCCEEDED(hr) && RegCreateKeyExW(key, L"InprocServer32", 0, nullptr, 0, KEY_WRITE, nullptr,
                                       &server, nullptr) == ERROR_SUCCESS) {
    hr = SetValue(server, nullptr, path);
    if (SUCCEEDED(hr)) hr = SetValue(server, L"ThreadingModel", L"Both");
    RegCloseKey(server);
  } else if (SUCCEEDED(hr)) {
    hr = SELFREG_E_CLASS;
  }
  RegCloseKey(key);
  return hr;
}

// The converters present now: bit i for index i (converter 0 when there is none, so that the
// filter can be found before the converter is plugged in).
unsigned PresentConverters() {
  unsigned present = 0;
  const int handle = ZelCam_Initialize(nullptr);
  if (handle != 0) {
    char name[ZELCNV_DEVICE_NAME_CHARS];
    for (int i = 0; i < ZELCNV_MAX_DEVICES; ++i) {
      if (ZelCam_GetDeviceName(handle, i, name, sizeof name) == 1) present |= 1u << i;
    }
    ZelCam_Release(handle);
  }
  return present != 0 ? present : 1u;
}

HRESULT RegisterDevices(IFilterMapper2* mapper) {
  REGPINTYPES type = {&MEDIATYPE_Video, &MEDIASUBTYPE_NULL};
  REGFILTERPINS2 pin{};
  pin.dwFlags = REG_PINFLAG_B_OUTPUT;
  pin.cInstances = 1;
  pin.nMediaTypes = 1;
  pin.lpMediaType = &type;
  pin.clsPinCategory = &PIN_CATEGORY_CAPTURE;
  REGFILTER2 filter{};
  filter.dwVersion = 2;
  filter.dwMerit = MERIT_DO_NOT_USE;
  filter.cPins2 = 1;
  filter.rgPins2 = &pin;
  const unsigned present = PresentConverters();
  for (int i = 0; i < ZELCNV_MAX_DEVICES; ++i) {
    if ((present >> i & 1u) == 0) continue;
    IMoniker* moniker = nullptr;
    HRESULT hr =
        mapper->RegisterFilter(kClsidCapture, FriendlyName(i).c_str(), &moniker,
                               &CLSID_VideoInputDeviceCategory, InstanceName(i).c_str(), &filter);
    if (FAILED(hr)) return hr;
    IPropertyBag* bag = nullptr;
    hr = moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&bag));
    if (SUCCEEDED(hr)) {
      wchar_t path[32];
      std::swprintf(path, 32, L"\\\\.\\ZQVD-%d", i);
      VARIANT value;
      VariantInit(&value);
      value.vt = VT_BSTR;
      value.bstrVal = SysAllocString(path);
      hr = bag->Write(L"DevicePath", &value);
      VariantClear(&value);
      bag->Release();
    }
    moniker->Release();
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

template <typename Body>
HRESULT WithMapper(Body body) {
  const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  IFilterMapper2* mapper = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFilterMapper2, reinterpret_cast<void**>(&mapper));
  if (SUCCEEDED(hr)) {
    hr = body(mapper);
    mapper->Release();
  }
  if (SUCCEEDED(init)) CoUninitialize();
  return hr;
}

}  // namespace

}  // namespace zelcnv::dshow

using namespace zelcnv::dshow;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    gModule = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (clsid != kClsidCapture) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new (std::nothrow) ClassFactory;
  if (factory == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = factory->QueryInterface(riid, out);
  factory->Release();
  return hr;
}

STDAPI DllCanUnloadNow() {
  return gModuleReferences.load() == 0 && gLocks.load() == 0 ? S_OK : S_FALSE;
}

namespace {

// The category's keys that registration creates where the system has none yet (a fresh Wine
// prefix has no video input devices): noted in the class key, removed again when left empty.
constexpr wchar_t kCreatedKeys[] = L"CreatedCategoryKeys";

std::wstring CategoryKey() {
  wchar_t category[64];
  StringFromGUID2(CLSID_VideoInputDeviceCategory, category, 64);
  return std::wstring(L"CLSID\\") + category;
}

bool KeyExists(const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

}  // namespace

STDAPI DllRegisterServer() {
  DWORD created = 0;
  if (!KeyExists(CategoryKey())) created |= 1;
  if (!KeyExists(CategoryKey() + L"\\Instance")) created |= 2;
  HRESULT hr = RegisterClass();
  if (SUCCEEDED(hr) && created != 0) {
    // Kept from a registration before this one: the keys were ours then too.
    DWORD earlier = 0, size = sizeof earlier;
    if (RegGetValueW(HKEY_CLASSES_ROOT, ClsidKey().c_str(), kCreatedKeys, RRF_RT_REG_DWORD, nullptr,
                     &earlier, &size) == ERROR_SUCCESS) {
      created |= earlier;
    }
    hr = HRESULT_FROM_WIN32(RegSetKeyValueW(HKEY_CLASSES_ROOT, ClsidKey().c_str(), kCreatedKeys,
                                            REG_DWORD, &created, sizeof created));
  }
  if (SUCCEEDED(hr)) hr = WithMapper(RegisterDevices);
  return hr;
}

STDAPI DllUnregisterServer() {
  WithMapper([](IFilterMapper2* mapper) {
    for (int i = 0; i < ZELCNV_MAX_DEVICES; ++i) {
      mapper->UnregisterFilter(&CLSID_VideoInputDeviceCategory, InstanceName(i).c_str(),
                               kClsidCapture);
    }
    return S_OK;
  });
  DWORD created = 0, size = sizeof created;
  RegGetValueW(HKEY_CLASSES_ROOT, ClsidKey().c_str(), kCreatedKeys, RRF_RT_REG_DWORD, nullptr,
               &created, &size);
  // Deleting a key fails while it has subkeys: another device's entry keeps it.
  if ((created & 2) != 0) RegDeleteKeyW(HKEY_CLASSES_ROOT, (CategoryKey() + L"\\Instance").c_str());
  if ((created & 1) != 0) RegDeleteKeyW(HKEY_CLASSES_ROOT, CategoryKey().c_str());
  const LONG status = RegDeleteTreeW(HKEY_CLASSES_ROOT, ClsidKey().c_str());
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK
                                                                   : HRESULT_FROM_WIN32(status);
}
