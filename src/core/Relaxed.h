#pragma once

#include <atomic>

// A scalar shared between the user-interface thread and the worker thread
// that keeps value semantics: records holding it stay copyable, and each
// read and write is whole, with no ordering promised beyond that.
template <class T>
class Relaxed {
 public:
  Relaxed(T v = T()) : value_(v) {}  // NOLINT: implicit on purpose, it stands in for T
  Relaxed(const Relaxed& other) : value_(other.Load()) {}
  Relaxed& operator=(const Relaxed& other) {
    Store(other.Load());
    return *this;
  }
  Relaxed& operator=(T v) {
    Store(v);
    return *this;
  }
  operator T() const { return Load(); }  // NOLINT: implicit on purpose
  T Load() const { return value_.load(std::memory_order_relaxed); }
  void Store(T v) { value_.store(v, std::memory_order_relaxed); }
  Relaxed& operator++() {
    value_.fetch_add(1, std::memory_order_relaxed);
    return *this;
  }

 private:
  std::atomic<T> value_;
};
