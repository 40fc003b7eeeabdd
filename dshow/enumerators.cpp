#include "enumerators.h"

#include <new>

namespace zelcnv::dshow {

STDMETHODIMP PinEnumerator::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IEnumPins) {
    *out = static_cast<IEnumPins*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) PinEnumerator::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP PinEnumerator::Next(ULONG count, IPin** pins, ULONG* fetched) {
  if (pins == nullptr) return E_POINTER;
  ULONG given = 0;
  while (given < count && position_ < 1) {
    pins[given++] = pin_;
    pin_->AddRef();
    ++position_;
  }
  if (fetched != nullptr) *fetched = given;
  return given == count ? S_OK : S_FALSE;
}

STDMETHODIMP PinEnumerator::Skip(ULONG count) {
  position_ += count;
  return position_ <= 1 ? S_OK : S_FALSE;
}

STDMETHODIMP PinEnumerator::Clone(IEnumPins** clone) {
  if (clone == nullptr) return E_POINTER;
  *clone = new (std::nothrow) PinEnumerator(pin_, position_);
  return *clone != nullptr ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP TypeEnumerator::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IEnumMediaTypes) {
    *out = static_cast<IEnumMediaTypes*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) TypeEnumerator::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP TypeEnumerator::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) {
  if (types == nullptr) return E_POINTER;
  ULONG given = 0;
  while (given < count && position_ < formats_.size()) {
    auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (type == nullptr || !MakeMediaType(formats_[position_], standard_, type)) {
      if (type != nullptr) CoTaskMemFree(type);
      break;
    }
    types[given++] = type;
    ++position_;
  }
  if (fetched != nullptr) *fetched = given;
  return given == count ? S_OK : S_FALSE;
}

STDMETHODIMP TypeEnumerator::Skip(ULONG count) {
  position_ += count;
  return position_ <= formats_.size() ? S_OK : S_FALSE;
}

STDMETHODIMP TypeEnumerator::Clone(IEnumMediaTypes** clone) {
  if (clone == nullptr) return E_POINTER;
  *clone = new (std::nothrow) TypeEnumerator(formats_, standard_, position_);
  return *clone != nullptr ? S_OK : E_OUTOFMEMORY;
}

}  // namespace zelcnv::dshow
