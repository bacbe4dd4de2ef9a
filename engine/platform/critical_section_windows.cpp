#if defined(_WIN32)
#include "engine/platform/critical_section.h"

#include <new>

#include <windows.h>

namespace NUV::Platform {
namespace {

static_assert(sizeof(CRITICAL_SECTION) <= 40 && (sizeof(void*) == 8 || sizeof(CRITICAL_SECTION) <= 24),
              "CRITICAL_SECTION must fit the storage of tNUVCriticalSection");
static_assert(alignof(CRITICAL_SECTION) <= alignof(void*));

CRITICAL_SECTION* Section(unsigned char* storage) { return std::launder(reinterpret_cast<CRITICAL_SECTION*>(storage)); }

}  // namespace

tNUVCriticalSection::tNUVCriticalSection() {
  InitializeCriticalSection(new (Storage) CRITICAL_SECTION);
}

tNUVCriticalSection::~tNUVCriticalSection() { DeleteCriticalSection(Section(Storage)); }

void tNUVCriticalSection::Enter() { EnterCriticalSection(Section(Storage)); }

void tNUVCriticalSection::Leave() { LeaveCriticalSection(Section(Storage)); }

}  // namespace NUV::Platform
#endif
