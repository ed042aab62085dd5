// SPDX-License-Identifier: LGPL-2.1-or-later
// Test support around the simulated PCI bridge library: a system
// description in a temporary file named by QVPCIBRD_SYSTEM, the simulator's
// call counters, and readers for the details of a JsonStatus.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "status/JsonStatus.h"
#include "status/jsonz.h"

namespace qvztest {

// Writes a_rText to a temporary file and names it in QVPCIBRD_SYSTEM while
// the object lives.
class cSimSystem {
 public:
  explicit cSimSystem(const std::string& a_rText) {
    char l_Path[] = "/tmp/qvz-system-XXXXXX";
    const int l_Fd = mkstemp(l_Path);
    EXPECT_GE(l_Fd, 0);
    if (l_Fd >= 0) {
      EXPECT_EQ(static_cast<ssize_t>(a_rText.size()), write(l_Fd, a_rText.data(), a_rText.size()));
      close(l_Fd);
    }
    m_Path = l_Path;
    setenv("QVPCIBRD_SYSTEM", m_Path.c_str(), 1);
  }
  ~cSimSystem() {
    unsetenv("QVPCIBRD_SYSTEM");
    std::remove(m_Path.c_str());
  }
  cSimSystem(const cSimSystem&) = delete;
  cSimSystem& operator=(const cSimSystem&) = delete;

 private:
  std::string m_Path;
};

// Keeps the simulated library loaded (the same instance the binding gets)
// and reads its call counters.
class cSimProbe {
 public:
  cSimProbe() : m_pHandle(dlopen("libqvpcibrd.so.1", RTLD_NOW)) {
    if (m_pHandle) {
      m_pCallCount =
          reinterpret_cast<uint32_t (*)(const char*)>(dlsym(m_pHandle, "QvPciBrdSim_GetCallCount"));
      m_pReset = reinterpret_cast<void (*)()>(dlsym(m_pHandle, "QvPciBrdSim_ResetCallCounts"));
      m_pSessions =
          reinterpret_cast<uint32_t (*)()>(dlsym(m_pHandle, "QvPciBrdSim_GetSessionCount"));
    }
  }
  ~cSimProbe() {
    if (m_pHandle) dlclose(m_pHandle);
  }
  cSimProbe(const cSimProbe&) = delete;
  cSimProbe& operator=(const cSimProbe&) = delete;

  bool ready() const { return m_pCallCount && m_pReset && m_pSessions; }
  uint32_t calls(const char* a_pEntryPoint) const { return m_pCallCount(a_pEntryPoint); }
  void resetCalls() const { m_pReset(); }
  uint32_t sessions() const { return m_pSessions(); }

 private:
  void* m_pHandle;
  uint32_t (*m_pCallCount)(const char*) = nullptr;
  void (*m_pReset)() = nullptr;
  uint32_t (*m_pSessions)() = nullptr;
};

// The decoded string member a_pName of the details, or "<absent>".
inline std::string detailString(const JsonStatus& a_rStatus, const char* a_pName) {
  if (!a_rStatus.json) return "<absent>";
  const char* l_pValue = jsonz_findMember(a_rStatus.json, a_pName);
  if (!l_pValue) return "<absent>";
  size_t l_Length = 0;
  const char* l_pRaw = jsonz_getString(l_pValue, nullptr, &l_Length, nullptr);
  if (!l_pRaw) return "<absent>";
  std::string l_Out(l_Length + 1, '\0');
  l_Out.resize(jsonz_unescape(l_pRaw, l_Length, &l_Out[0]));
  return l_Out;
}

inline std::string textOf(const JsonStatus& a_rStatus) {
  return a_rStatus.json ? std::string(a_rStatus.json) : std::string();
}

}  // namespace qvztest
