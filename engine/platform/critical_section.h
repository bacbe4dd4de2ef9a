#pragma once
// A lock for the few places that the engine guards against other threads (the
// string heap). Recursive, like the operating-system critical section it stands for;
// on Windows it is one.

#if !defined(_WIN32)
#include <mutex>
#endif

namespace NUV::Platform {

#if defined(_WIN32)
// The CRITICAL_SECTION lives in Storage, so this header needs no system header;
// critical_section_windows.cpp checks that it fits.
class tNUVCriticalSection {
public:
  tNUVCriticalSection();
  ~tNUVCriticalSection();
  tNUVCriticalSection(const tNUVCriticalSection&) = delete;
  tNUVCriticalSection& operator=(const tNUVCriticalSection&) = delete;
  void Enter();
  void Leave();

private:
  alignas(void*) unsigned char Storage[sizeof(void*) == 8 ? 40 : 24];
};
#else
class tNUVCriticalSection {
public:
  void Enter() { Mutex.lock(); }
  void Leave() { Mutex.unlock(); }

private:
  std::recursive_mutex Mutex;
};
#endif

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
