#pragma once
// Work that must be done when a scope is left: always (TOnExit), or only when
// an exception leaves it (TOnFailure). While an exception is on its way out,
// an exception from the work itself is swallowed, so that the error that
// ended the scope is the one the caller sees; otherwise it reaches the caller.
#include <exception>
#include <utility>

template <class F>
class TOnExit {
 public:
  explicit TOnExit(F f) : FFn(std::move(f)) {}
  TOnExit(const TOnExit&) = delete;
  TOnExit& operator=(const TOnExit&) = delete;
  ~TOnExit() noexcept(false) {
    if (std::uncaught_exceptions() == FUnwinding) {
      FFn();
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
class TOnFailure {
 public:
  explicit TOnFailure(F f) : FFn(std::move(f)) {}
  TOnFailure(const TOnFailure&) = delete;
  TOnFailure& operator=(const TOnFailure&) = delete;
  ~TOnFailure() {
    if (std::uncaught_exceptions() == FUnwinding) return;
    try {
      FFn();
    } catch (...) {
    }
  }

 private:
  F FFn;
  const int FUnwinding = std::uncaught_exceptions();
};
