// OwnedPtr: a minimal owning pointer for the library's own classes. std::unique_ptr of an
// exported class instantiates standard function templates whose names begin with the class
// name (their return type), which the export list's patterns would then export; this class
// template keeps such helpers inside the library's namespace.
#pragma once

namespace vaultkit {

template <typename T>
class OwnedPtr {
 public:
  explicit OwnedPtr(T* p = nullptr) : mP(p) {}
  ~OwnedPtr() { delete mP; }
  OwnedPtr(const OwnedPtr&) = delete;
  OwnedPtr& operator=(const OwnedPtr&) = delete;

  T* get() const { return mP; }
  T* operator->() const { return mP; }
  T& operator*() const { return *mP; }
  explicit operator bool() const { return mP != nullptr; }
  T* release() {
    T* p = mP;
    mP = nullptr;
    return p;
  }
  void reset(T* p = nullptr) {
    if (p != mP) delete mP;
    mP = p;
  }

 private:
  T* mP;
};

}  // namespace vaultkit
