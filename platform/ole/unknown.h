// IUnknown, the root of every COM interface: reference counting and interface discovery.
// Objects delete themselves when their count reaches zero; a caller owns exactly the references
// it was handed. ComPtr holds one reference for a scope. Counting follows the object's own
// threading rule (the components here are apartment threaded: one thread per object).
#pragma once

#include <utility>

#include "guid.h"
#include "hresult.h"

#define STDMETHODCALLTYPE
#define STDMETHODIMP HRESULT STDMETHODCALLTYPE
#define STDMETHODIMP_(type) type STDMETHODCALLTYPE
#define STDMETHOD(method) virtual HRESULT STDMETHODCALLTYPE method
#define STDMETHOD_(type, method) virtual type STDMETHODCALLTYPE method
#define PURE = 0

struct IUnknown {
  // Hands out the interface riid with one more reference in *ppvObject, or E_NOINTERFACE and
  // a null *ppvObject; E_POINTER when ppvObject is null.
  virtual HRESULT QueryInterface(REFIID riid, void** ppvObject) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;
};
using LPUNKNOWN = IUnknown*;

namespace halyard::ole {

// Holds one reference to a COM object and releases it when it goes.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes over a reference the caller already owns (as handed out by a Create or Query call).
  static ComPtr Attach(T* p) {
    ComPtr c;
    c.p_ = p;
    return c;
  }
  // Adds a reference of its own.
  explicit ComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ComPtr& operator=(ComPtr o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  // The address to receive a new reference; releases what was held.
  T** Put() {
    Reset();
    return &p_;
  }
  T* Detach() { return std::exchange(p_, nullptr); }
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

}  // namespace halyard::ole
