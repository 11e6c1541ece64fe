#pragma once
// One move-only owner for whatever must be closed exactly once: a file, a
// socket, a block the system allocated, a window-layer object. The traits
// say which value means "nothing held" and how to close:
//   struct TTraits {
//     static T Invalid() noexcept;
//     static void Close(T value) noexcept;  // may return a result; Reset ignores it
//   };
#include <utility>

template <class T, class Traits>
class TUniqueHandle {
 public:
  TUniqueHandle() = default;
  explicit TUniqueHandle(T h) noexcept : FHandle(h) {}
  TUniqueHandle(const TUniqueHandle&) = delete;
  TUniqueHandle& operator=(const TUniqueHandle&) = delete;
  TUniqueHandle(TUniqueHandle&& o) noexcept : FHandle(std::exchange(o.FHandle, Traits::Invalid())) {}
  TUniqueHandle& operator=(TUniqueHandle&& o) noexcept {
    if (this != &o) Reset(std::exchange(o.FHandle, Traits::Invalid()));
    return *this;
  }
  ~TUniqueHandle() { Reset(); }

  T Get() const noexcept { return FHandle; }
  explicit operator bool() const noexcept { return FHandle != Traits::Invalid(); }
  // Closes what is held before handing out the slot for an out-parameter.
  T* Put() noexcept {
    Reset();
    return &FHandle;
  }
  void Reset(T h = Traits::Invalid()) noexcept {
    T old = std::exchange(FHandle, h);
    if (old != Traits::Invalid()) Traits::Close(old);
  }
  // Hands the value over to a caller that closes it itself.
  T Release() noexcept { return std::exchange(FHandle, Traits::Invalid()); }

 private:
  T FHandle = Traits::Invalid();
};
