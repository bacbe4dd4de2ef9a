#pragma once
// A lock for the few places that the engine guards against other threads (the
// string heap). Recursive, like the operating-system critical section it stands for.

#include <mutex>

namespace NUV::Platform {

class tNUVCriticalSection {
public:
  void Enter() { Mutex.lock(); }
  void Leave() { Mutex.unlock(); }

private:
  std::recursive_mutex Mutex;
};

class tNUVCriticalSectionHolder {
public:
  explicit tNUVCriticalSectionHolder(tNUVCriticalSection& section) : Section(section) { Section.Enter(); }
  ~tNUVCriticalSectionHolder() { Section.Leave(); }
  tNUVCriticalSectionHolder(const tNUVCriticalSectionHolder&) = delete;
  tNUVCriticalSectionHolder& operator=(const tNUVCriticalSectionHolder&) = delete;

private:
  tNUVCriticalSection& Section;
};

}  // namespace NUV::Platform
