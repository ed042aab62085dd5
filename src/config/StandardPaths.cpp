// SPDX-License-Identifier: LGPL-2.1-or-later
#include "config/StandardPaths.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/qvdynlib.h"
#include "status/Allocation.h"
#include "status/Exception.h"
#include "status/StatusCodes.h"

namespace {

constexpr const char* kRelocationLibrary = "libqvrelocations.so.0";
constexpr const char* kRelocationQuery = "get_relocated_dir";
constexpr int32_t kRelocationBufferSize = 255;
constexpr size_t kMinimumCapacity = 8;

struct sDefaultPath {
  const char* m_pName;
  const char* m_pValue;
};

constexpr sDefaultPath kDefaults[] = {
    {"prefixdir", "/usr"},
    {"execprefixdir", "/usr"},
    {"bindir", "/usr/bin"},
    {"sbindir", "/usr/sbin"},
    {"libdir", "/usr/lib"},
    {"lib32dir", "/usr/lib"},
    {"lib64dir", "/usr/lib64"},
    {"nativelibdir", "/usr/lib64"},
    {"multiarchlibdir", "/usr/lib/x86_64-linux-gnu"},
    {"libexecdir", "/usr/libexec"},
    {"sharedstatedir", "/var/lib"},
    {"datarootdir", "/usr/share"},
    {"datadir", "/usr/share"},
    {"sysconfdir", "/etc"},
    {"localstatedir", "/var"},
    {"runstatedir", "/var/run"},
    {"includedir", "/usr/include"},
    {"docdir", "/usr/share/doc"},
    {"initddir", "/etc/init.d"},
};

// The process-wide table together with the outcome of building it; the
// status is constructed first so the table can record into it.
struct sBuiltTable {
  JsonStatus m_Status;
  StandardPaths m_Table;
  sBuiltTable() : m_Status(), m_Table(m_Status) {}
};

// Builds the table while the library is being loaded, before any exported
// function can run.
struct sLoadTimeBuild {
  sLoadTimeBuild() {
    JsonStatus l_Status;
    StandardPaths::instance(l_Status);
  }
};
const sLoadTimeBuild g_LoadTimeBuild;

// The table is built into static storage and never destroyed by exit(): a
// list opening still running in another thread may be reading it. Only the
// library's unloading releases it (releaseInstance).
alignas(sBuiltTable) unsigned char g_BuiltStorage[sizeof(sBuiltTable)];
sBuiltTable* g_pBuilt = nullptr;

sBuiltTable& builtTable() {
  // A pointer is trivially destructible: nothing is registered for exit.
  static sBuiltTable* const s_pBuilt = g_pBuilt = new (g_BuiltStorage) sBuiltTable();
  return *s_pBuilt;
}

}  // namespace

StandardPaths& StandardPaths::instance(JsonStatus& a_rStatus) {
  sBuiltTable& l_rBuilt = builtTable();
  a_rStatus.mergeFrom(l_rBuilt.m_Status);
  return l_rBuilt.m_Table;
}

void StandardPaths::releaseInstance() {
  if (g_pBuilt == nullptr) return;
  g_pBuilt->~sBuiltTable();
  g_pBuilt = nullptr;
}

StandardPaths::StandardPaths(JsonStatus& a_rStatus)
    : m_pGetRelocatedDir(nullptr), m_pEntries(nullptr), m_Count(0), m_Capacity(0) {
  for (const sDefaultPath& l_rDefault : kDefaults) {
    append(l_rDefault.m_pName, l_rDefault.m_pValue, a_rStatus);
  }
  // A missing relocation library is no error: its failure stays private.
  JsonStatus l_Private;
  void* l_pLibrary = qvdynlib_load(kRelocationLibrary, kQvDynLibFlags, l_Private);
  m_pGetRelocatedDir = reinterpret_cast<tGetRelocatedDir>(
      qvdynlib_getSymbol(l_pLibrary, kRelocationQuery, l_Private));
  if (l_Private.isNotFatal()) {
    for (const sDefaultPath& l_rDefault : kDefaults) relocate(l_rDefault.m_pName, a_rStatus);
  }
  if (l_pLibrary) qvdynlib_unload(l_pLibrary);
  // The entry point went away with the library.
  m_pGetRelocatedDir = nullptr;
}

StandardPaths::~StandardPaths() { delete[] m_pEntries; }

const sStandardPathEntry* StandardPaths::find(const char* a_pName, size_t a_Length) const {
  for (size_t l_Index = 0; l_Index < m_Count; ++l_Index) {
    const StatusString& l_rName = m_pEntries[l_Index].m_Name;
    if (l_rName.size() == a_Length && std::memcmp(l_rName.c_str(), a_pName, a_Length) == 0) {
      return &m_pEntries[l_Index];
    }
  }
  return nullptr;
}

sStandardPathEntry* StandardPaths::findMutable(const char* a_pName, size_t a_Length) {
  return const_cast<sStandardPathEntry*>(find(a_pName, a_Length));
}

bool StandardPaths::reserve(size_t a_Count, JsonStatus& a_rStatus) {
  if (a_Count <= m_Capacity) return true;
  const size_t l_Capacity = std::max({kMinimumCapacity, m_Capacity + m_Capacity / 2, a_Count});
  sStandardPathEntry* l_pEntries = new (std::nothrow) sStandardPathEntry[l_Capacity];
  if (!l_pEntries) {
    recordMemoryFull(a_rStatus);
    return false;
  }
  // The entries' own statuses are never set, so only the strings move.
  for (size_t l_Index = 0; l_Index < m_Count; ++l_Index) {
    l_pEntries[l_Index].m_Name.swap(m_pEntries[l_Index].m_Name);
    l_pEntries[l_Index].m_Default.swap(m_pEntries[l_Index].m_Default);
    l_pEntries[l_Index].m_Value.swap(m_pEntries[l_Index].m_Value);
  }
  delete[] m_pEntries;
  m_pEntries = l_pEntries;
  m_Capacity = l_Capacity;
  return true;
}

void StandardPaths::append(const char* a_pName, const char* a_pValue, JsonStatus& a_rStatus) {
  if (a_rStatus.isFatal() || !reserve(m_Count + 1, a_rStatus)) return;
  sStandardPathEntry& l_rEntry = m_pEntries[m_Count];
  l_rEntry.m_Name.assign(a_pName, a_rStatus);
  l_rEntry.m_Default.assign(a_pValue, a_rStatus);
  l_rEntry.m_Value.assign(a_pValue, a_rStatus);
  if (a_rStatus.isNotFatal()) ++m_Count;
}

void StandardPaths::relocate(const char* a_pName, JsonStatus& a_rStatus) {
  char* l_pBuffer = nullptr;
  {
    StatusScope l_Scope(a_rStatus);
    l_pBuffer = static_cast<char*>(allocateArray(kRelocationBufferSize, l_Scope.status()));
  }
  if (a_rStatus.isFatal() || !l_pBuffer) {
    delete[] l_pBuffer;
    return;
  }
  std::memset(l_pBuffer, 0, kRelocationBufferSize);
  const int32_t l_Result = m_pGetRelocatedDir(a_pName, l_pBuffer, kRelocationBufferSize);
  if (l_Result > 0) {
    // A path that fills the buffer without its NUL is as good as a failed query.
    const size_t l_Length = strnlen(l_pBuffer, kRelocationBufferSize);
    if (l_Length == static_cast<size_t>(kRelocationBufferSize)) {
      a_rStatus.setCode(qvstatus::kNotFound);
    } else if (sStandardPathEntry* l_pEntry = findMutable(a_pName, std::strlen(a_pName))) {
      l_pEntry->m_Value.assign(l_pBuffer, l_Length, a_rStatus);
    } else {
      append(a_pName, l_pBuffer, a_rStatus);
    }
  } else if (l_Result < 0) {
    a_rStatus.setCode(qvstatus::kNotFound);
  }
  delete[] l_pBuffer;
}

void getStandardPath(const StandardPaths& a_rTable, const StatusString& a_rName,
                     StatusString& a_rValue, JsonStatus& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  const sStandardPathEntry* l_pEntry = a_rTable.find(a_rName.c_str(), a_rName.size());
  if (!l_pEntry) {
    a_rStatus.setCode(qvstatus::kSystemError);
    return;
  }
  a_rValue.assign(l_pEntry->m_Value.c_str(), l_pEntry->m_Value.size(), a_rStatus);
}

void getSharedStateDir(std::string& a_rDir) {
  qverr::ThrowingStatusScope l_Scope;
  JsonStatus& l_rStatus = l_Scope.json();
  const StandardPaths& l_rTable = StandardPaths::instance(l_rStatus);
  StatusString l_Name("sharedstatedir", l_rStatus);
  StatusString l_Value;
  getStandardPath(l_rTable, l_Name, l_Value, l_rStatus);
  a_rDir = l_Value.c_str();
}
