#pragma once
// Work that must be done when a scope is left: always (TOnExit), or only when
// an exception leaves it (TOnFailure). While an exception is on its way out,
// an exception from the work itself is swallowed, so that the error that
// ended the scope is the one the caller sees; otherwise it reaches the caller.
#include <exception>
#include <utility>

template <class F, bool OnFailureOnly>
class TScopeWork {
 public:
  explicit TScopeWork(F f) : FFn(std::move(f)) {}
  TScopeWork(const TScopeWork&) = delete;
  TScopeWork& operator=(const TScopeWork&) = delete;
  ~TScopeWork() noexcept(false) {
    const bool failing = std::uncaught_exceptions() > FUnwinding;
    if (!failing) {
      if (!OnFailureOnly) FFn();
      return;
    }
    try {
      FFn();
    } catch (...) {
    }
  }

 private:
  F FFn;
  const int FUnwinding = std::uncaught_exceptions();
};

template <class F>
struct TOnExit : TScopeWork<F, false> {
  using TScopeWork<F, false>::TScopeWork;
};
template <class F>
TOnExit(F) -> TOnExit<F>;

template <class F>
struct TOnFailure : TScopeWork<F, true> {
  using TScopeWork<F, true>::TScopeWork;
};
template <class F>
TOnFailure(F) -> TOnFailure<F>;
