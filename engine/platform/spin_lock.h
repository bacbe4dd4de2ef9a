#pragma once
// The lock of the string heap: every string body taken or given back passes it,
// so taking a free lock is one atomic exchange and giving it back one store. A
// thread that finds it taken yields until it is free; the sections it guards are
// short and never take it again (it is not recursive).

#include <atomic>
#include <thread>

namespace NUV::Platform {

class tNUVSpinLock {
public:
  constexpr tNUVSpinLock() = default;
  tNUVSpinLock(const tNUVSpinLock&) = delete;
  tNUVSpinLock& operator=(const tNUVSpinLock&) = delete;

  void Enter() {
    while (Taken.exchange(true, std::memory_order_acquire)) {
      while (Taken.load(std::memory_order_relaxed)) std::this_thread::yield();
    }
  }
  void Leave() { Taken.store(false, std::memory_order_release); }

private:
  std::atomic<bool> Taken{false};
};

class tNUVSpinLockHolder {
public:
  explicit tNUVSpinLockHolder(tNUVSpinLock& lock) : Lock(lock) { Lock.Enter(); }
  ~tNUVSpinLockHolder() { Lock.Leave(); }
  tNUVSpinLockHolder(const tNUVSpinLockHolder&) = delete;
  tNUVSpinLockHolder& operator=(const tNUVSpinLockHolder&) = delete;

private:
  tNUVSpinLock& Lock;
};

}  // namespace NUV::Platform
