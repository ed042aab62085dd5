// SPDX-License-Identifier: LGPL-2.1-or-later
#include "allocFailureInjector.h"

#include <dlfcn.h>
#include <execinfo.h>
#include <link.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

// The injector's own code lies in one section, so stack walks can skip it.
#define QVZ_INJECTOR_CODE __attribute__((section("qvz_injector_text"), noinline))

extern "C" char __start_qvz_injector_text[];
extern "C" char __stop_qvz_injector_text[];

namespace {

using tMalloc = void* (*)(size_t);
using tCalloc = void* (*)(size_t, size_t);
using tRealloc = void* (*)(void*, size_t);
using tFree = void (*)(void*);

tMalloc g_pMalloc = nullptr;
tCalloc g_pCalloc = nullptr;
tRealloc g_pRealloc = nullptr;
tFree g_pFree = nullptr;

// dlsym itself allocates while the real functions are looked up: those few
// blocks come from here and are never freed.
alignas(16) char g_Bootstrap[1 << 16];
std::atomic<size_t> g_BootstrapUsed{0};
std::atomic<bool> g_Resolving{false};

struct sRange {
  uintptr_t m_Begin;
  uintptr_t m_End;
};
constexpr int kMaxRanges = 64;
sRange g_Library[kMaxRanges];
int g_LibraryCount = 0;
sRange g_Runtime[kMaxRanges];
int g_RuntimeCount = 0;
const char* g_pLibraryName = nullptr;

std::atomic<bool> g_Started{false};
std::atomic<bool> g_Armed{false};
std::atomic<uint64_t> g_Count{0};
std::atomic<uint64_t> g_FailAt{0};
std::atomic<bool> g_FailLater{false};
std::atomic<bool> g_Failed{false};
thread_local bool t_InHook = false;

// Live library blocks: an open-addressing set of addresses, no allocation.
constexpr size_t kSlots = size_t{1} << 18;
uintptr_t g_Slots[kSlots];
size_t g_Live = 0;
std::atomic_flag g_SlotLock = ATOMIC_FLAG_INIT;
constexpr uintptr_t kTombstone = 1;

bool inRanges(const sRange* a_pRanges, int a_Count, uintptr_t a_Address) {
  for (int l_Index = 0; l_Index < a_Count; ++l_Index) {
    if (a_Address >= a_pRanges[l_Index].m_Begin && a_Address < a_pRanges[l_Index].m_End)
      return true;
  }
  return false;
}

QVZ_INJECTOR_CODE void resolve() {
  if (g_pFree != nullptr) return;
  g_Resolving = true;
  g_pMalloc = reinterpret_cast<tMalloc>(dlsym(RTLD_NEXT, "malloc"));
  g_pCalloc = reinterpret_cast<tCalloc>(dlsym(RTLD_NEXT, "calloc"));
  g_pRealloc = reinterpret_cast<tRealloc>(dlsym(RTLD_NEXT, "realloc"));
  g_pFree = reinterpret_cast<tFree>(dlsym(RTLD_NEXT, "free"));
  g_Resolving = false;
}

QVZ_INJECTOR_CODE void* bootstrap(size_t a_Size) {
  const size_t l_Size = (a_Size + 15) & ~size_t{15};
  const size_t l_At = g_BootstrapUsed.fetch_add(l_Size);
  if (l_At + l_Size > sizeof(g_Bootstrap)) return nullptr;
  return g_Bootstrap + l_At;
}

bool isBootstrap(void* a_p) {
  return a_p >= static_cast<void*>(g_Bootstrap) &&
         a_p < static_cast<void*>(g_Bootstrap + sizeof(g_Bootstrap));
}

void lockSlots() {
  while (g_SlotLock.test_and_set(std::memory_order_acquire)) {
  }
}
void unlockSlots() { g_SlotLock.clear(std::memory_order_release); }

size_t slotOf(uintptr_t a_Address) { return (a_Address >> 4) * 0x9E3779B97F4A7C15ull >> 46; }

void track(void* a_p) {
  const uintptr_t l_Address = reinterpret_cast<uintptr_t>(a_p);
  lockSlots();
  for (size_t l_Probe = 0, l_Slot = slotOf(l_Address); l_Probe < kSlots;
       ++l_Probe, l_Slot = (l_Slot + 1) & (kSlots - 1)) {
    if (g_Slots[l_Slot] == 0 || g_Slots[l_Slot] == kTombstone) {
      g_Slots[l_Slot] = l_Address;
      ++g_Live;
      break;
    }
  }
  unlockSlots();
}

bool untrack(void* a_p) {
  if (g_Live == 0 || a_p == nullptr) return false;
  const uintptr_t l_Address = reinterpret_cast<uintptr_t>(a_p);
  bool l_Found = false;
  lockSlots();
  for (size_t l_Probe = 0, l_Slot = slotOf(l_Address); l_Probe < kSlots && g_Slots[l_Slot] != 0;
       ++l_Probe, l_Slot = (l_Slot + 1) & (kSlots - 1)) {
    if (g_Slots[l_Slot] == l_Address) {
      g_Slots[l_Slot] = kTombstone;
      --g_Live;
      l_Found = true;
      break;
    }
  }
  unlockSlots();
  return l_Found;
}

// Whether the allocation being made is the library's: the first frame outside
// the injector and the runtimes decides.
QVZ_INJECTOR_CODE bool calledByLibrary() {
  void* l_Frames[24];
  t_InHook = true;
  const int l_Depth = backtrace(l_Frames, 24);
  t_InHook = false;
  for (int l_Index = 0; l_Index < l_Depth; ++l_Index) {
    // A return address points just past the call.
    const uintptr_t l_Address = reinterpret_cast<uintptr_t>(l_Frames[l_Index]) - 1;
    if (l_Address >= reinterpret_cast<uintptr_t>(__start_qvz_injector_text) &&
        l_Address < reinterpret_cast<uintptr_t>(__stop_qvz_injector_text)) {
      continue;
    }
    if (inRanges(g_Library, g_LibraryCount, l_Address)) return true;
    if (!inRanges(g_Runtime, g_RuntimeCount, l_Address)) return false;
  }
  return false;
}

// Decides for one allocation: kFail, or whether to track the result.
enum eVerdict { kOther, kLibrary, kFail };

QVZ_INJECTOR_CODE eVerdict judge() {
  if (!g_Started || t_InHook) return kOther;
  if (!calledByLibrary()) return kOther;
  if (g_Armed) {
    const uint64_t l_Number = ++g_Count;
    if (l_Number == g_FailAt || (g_FailLater && g_FailAt != 0 && l_Number > g_FailAt)) {
      g_Failed = true;
      return kFail;
    }
  }
  return kLibrary;
}

QVZ_INJECTOR_CODE void* libraryAllocate(size_t a_Size, eVerdict a_Verdict) {
  if (a_Verdict == kFail) return nullptr;
  void* l_p = g_pMalloc(a_Size);
  if (l_p != nullptr && a_Verdict == kLibrary) track(l_p);
  return l_p;
}

QVZ_INJECTOR_CODE void* allocate(size_t a_Size) {
  if (g_pMalloc == nullptr) {
    if (g_Resolving) return bootstrap(a_Size);
    resolve();
  }
  return libraryAllocate(a_Size, judge());
}

QVZ_INJECTOR_CODE void release(void* a_p) {
  if (a_p == nullptr || isBootstrap(a_p)) return;
  if (g_pFree == nullptr) resolve();
  untrack(a_p);
  g_pFree(a_p);
}

int collectRanges(dl_phdr_info* a_pInfo, size_t, void*) {
  const char* l_pName = a_pInfo->dlpi_name != nullptr ? a_pInfo->dlpi_name : "";
  sRange* l_pRanges = nullptr;
  int* l_pCount = nullptr;
  if (g_pLibraryName != nullptr && std::strstr(l_pName, g_pLibraryName) != nullptr) {
    l_pRanges = g_Library;
    l_pCount = &g_LibraryCount;
  } else if (std::strstr(l_pName, "libc.so") != nullptr ||
             std::strstr(l_pName, "libstdc++") != nullptr ||
             std::strstr(l_pName, "libgcc_s") != nullptr ||
             std::strstr(l_pName, "libm.so") != nullptr) {
    l_pRanges = g_Runtime;
    l_pCount = &g_RuntimeCount;
  } else {
    return 0;
  }
  for (int l_Index = 0; l_Index < a_pInfo->dlpi_phnum && *l_pCount < kMaxRanges; ++l_Index) {
    const ElfW(Phdr)& l_rHeader = a_pInfo->dlpi_phdr[l_Index];
    if (l_rHeader.p_type != PT_LOAD || (l_rHeader.p_flags & PF_X) == 0) continue;
    const uintptr_t l_Begin = a_pInfo->dlpi_addr + l_rHeader.p_vaddr;
    l_pRanges[(*l_pCount)++] = sRange{l_Begin, l_Begin + l_rHeader.p_memsz};
  }
  return 0;
}

}  // namespace

extern "C" {

QVZ_INJECTOR_CODE void* malloc(size_t a_Size) {
  if (g_pMalloc == nullptr) return allocate(a_Size);
  const eVerdict l_Verdict = judge();
  // Handed on as a tail call, so the allocator sees the true caller (that is
  // how LeakSanitizer knows the dynamic linker's own blocks).
  if (l_Verdict == kOther) return g_pMalloc(a_Size);
  return libraryAllocate(a_Size, l_Verdict);
}

QVZ_INJECTOR_CODE void free(void* a_p) { release(a_p); }

QVZ_INJECTOR_CODE void* calloc(size_t a_Count, size_t a_Size) {
  if (g_pCalloc == nullptr) {
    if (g_Resolving) {
      void* l_p = bootstrap(a_Count * a_Size);
      if (l_p != nullptr) std::memset(l_p, 0, a_Count * a_Size);
      return l_p;
    }
    resolve();
  }
  const eVerdict l_Verdict = judge();
  if (l_Verdict == kOther) return g_pCalloc(a_Count, a_Size);
  if (l_Verdict == kFail) return nullptr;
  void* l_p = g_pCalloc(a_Count, a_Size);
  if (l_p != nullptr && l_Verdict == kLibrary) track(l_p);
  return l_p;
}

QVZ_INJECTOR_CODE void* realloc(void* a_p, size_t a_Size) {
  if (a_p == nullptr) return allocate(a_Size);
  if (isBootstrap(a_p)) {
    void* l_pNew = allocate(a_Size);
    if (l_pNew != nullptr) std::memcpy(l_pNew, a_p, a_Size);
    return l_pNew;
  }
  if (g_pRealloc == nullptr) resolve();
  const eVerdict l_Verdict = a_Size == 0 ? kOther : judge();
  if (l_Verdict == kFail) return nullptr;
  const bool l_WasLibrary = untrack(a_p);
  void* l_pNew = g_pRealloc(a_p, a_Size);
  if (l_pNew == nullptr) {
    if (l_WasLibrary && a_Size != 0) track(a_p);
  } else if (l_Verdict == kLibrary || l_WasLibrary) {
    track(l_pNew);
  }
  return l_pNew;
}

}  // extern "C"

// Both forms of operator new (throwing and non-throwing, single and array)
// take the same path as malloc, so they count and fail alike.
QVZ_INJECTOR_CODE void* operator new(size_t a_Size) {
  void* l_p = allocate(a_Size == 0 ? 1 : a_Size);
  if (l_p == nullptr) throw std::bad_alloc();
  return l_p;
}
QVZ_INJECTOR_CODE void* operator new[](size_t a_Size) {
  void* l_p = allocate(a_Size == 0 ? 1 : a_Size);
  if (l_p == nullptr) throw std::bad_alloc();
  return l_p;
}
QVZ_INJECTOR_CODE void* operator new(size_t a_Size, const std::nothrow_t&) noexcept {
  return allocate(a_Size == 0 ? 1 : a_Size);
}
QVZ_INJECTOR_CODE void* operator new[](size_t a_Size, const std::nothrow_t&) noexcept {
  return allocate(a_Size == 0 ? 1 : a_Size);
}
void operator delete(void* a_p) noexcept { release(a_p); }
void operator delete[](void* a_p) noexcept { release(a_p); }
void operator delete(void* a_p, size_t) noexcept { release(a_p); }
void operator delete[](void* a_p, size_t) noexcept { release(a_p); }
void operator delete(void* a_p, const std::nothrow_t&) noexcept { release(a_p); }
void operator delete[](void* a_p, const std::nothrow_t&) noexcept { release(a_p); }

namespace qvzreliability {

bool injectorStart(const char* a_pLibraryName) {
  resolve();
  g_pLibraryName = a_pLibraryName;
  dl_iterate_phdr(collectRanges, nullptr);
  // The first stack walk loads the unwinder; do it before anything is judged.
  void* l_Frames[4];
  backtrace(l_Frames, 4);
  g_Started = g_LibraryCount > 0 && g_RuntimeCount > 0;
  return g_Started;
}

void injectorArm(uint64_t a_FailAt, bool a_AndLater) {
  g_Count = 0;
  g_Failed = false;
  g_FailAt = a_FailAt;
  g_FailLater = a_AndLater;
  g_Armed = true;
}

void injectorDisarm() { g_Armed = false; }
uint64_t injectorCount() { return g_Count; }
bool injectorFailed() { return g_Failed; }
size_t injectorLiveBlocks() {
  lockSlots();
  const size_t l_Live = g_Live;
  unlockSlots();
  return l_Live;
}

}  // namespace qvzreliability

// LeakSanitizer recognises the dynamic linker's own blocks by their callers;
// behind the replaced malloc it no longer can, so they are named here.
extern "C" const char* __lsan_default_suppressions() { return "leak:ld-linux-x86-64.so\n"; }
