// IEnumPins over the filter's one pin, and IEnumMediaTypes over a list of formats.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <atomic>
#include <vector>

#include "com.h"
#include "formats.h"

namespace zelcnv::dshow {

class PinEnumerator final : public IEnumPins {
 public:
  explicit PinEnumerator(IPin* pin, ULONG position = 0) : pin_(pin), position_(position) {
    pin_->AddRef();
  }
  ~PinEnumerator() { pin_->Release(); }
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP Next(ULONG count, IPin** pins, ULONG* fetched) override;
  STDMETHODIMP Skip(ULONG count) override;
  STDMETHODIMP Reset() override {
    position_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnumPins** clone) override;

 private:
  ModuleReference module_;
  std::atomic<ULONG> references_{1};
  IPin* pin_;
  ULONG position_;
};

class TypeEnumerator final : public IEnumMediaTypes {
 public:
  TypeEnumerator(std::vector<Format> formats, int standard, ULONG position = 0)
      : formats_(std::move(formats)), standard_(standard), position_(position) {}
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
  STDMETHODIMP Skip(ULONG count) override;
  STDMETHODIMP Reset() override {
    position_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnumMediaTypes** clone) override;

 private:
  ModuleReference module_;
  std::atomic<ULONG> references_{1};
  std::vector<Format> formats_;
  int standard_;
  ULONG position_;
};

}  // namespace zelcnv::dshow
