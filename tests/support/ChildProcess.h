// SPDX-License-Identifier: LGPL-2.1-or-later
// Runs one case of the current test program again in a child process with
// an environment of its own. Needed where the outcome depends on what the
// loader finds at start-up (LD_LIBRARY_PATH is read once per process) or on
// process-wide state built while the program loads.
//
// A case declared with QVZ_CHILD_CASE(Name) exists only inside a child
// started by runChildCase("Name", ...): ordinary runs and test discovery
// never see it.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace qvztest {

constexpr const char* kChildVariable = "QVZ_CHILD_CASE";

struct sChildResult {
  int m_ExitCode;
  std::string m_Output;
};

class cChildCase : public ::testing::Test {
 public:
  explicit cChildCase(void (*a_pBody)()) : m_pBody(a_pBody) {}
  void TestBody() override { m_pBody(); }

 private:
  void (*m_pBody)();
};

inline bool registerChildCase(const char* a_pName, const char* a_pFile, int a_Line,
                              void (*a_pBody)()) {
  if (!std::getenv(kChildVariable)) return false;
  ::testing::RegisterTest("Child", a_pName, nullptr, nullptr, a_pFile, a_Line,
                          [a_pBody]() -> ::testing::Test* { return new cChildCase(a_pBody); });
  return true;
}

// Runs Child.<a_rCase> in a child process whose environment is this one with
// the "NAME=value" entries of a_rEnvironment set (replacing any NAME already
// there); stdout and stderr are collected.
inline sChildResult runChildCase(const std::string& a_rCase,
                                 const std::vector<std::string>& a_rEnvironment) {
  std::vector<std::string> l_Environment;
  auto l_NameOf = [](const std::string& a_rEntry) {
    return a_rEntry.substr(0, a_rEntry.find('='));
  };
  for (char** l_ppEntry = environ; *l_ppEntry; ++l_ppEntry) {
    const std::string l_Entry(*l_ppEntry);
    bool l_Replaced = l_NameOf(l_Entry) == kChildVariable;
    for (const std::string& l_rSet : a_rEnvironment) {
      l_Replaced = l_Replaced || l_NameOf(l_rSet) == l_NameOf(l_Entry);
    }
    if (!l_Replaced) l_Environment.push_back(l_Entry);
  }
  l_Environment.insert(l_Environment.end(), a_rEnvironment.begin(), a_rEnvironment.end());
  l_Environment.push_back(std::string(kChildVariable) + "=1");

  const std::string l_Program = "/proc/self/exe";
  const std::string l_Filter = "--gtest_filter=Child." + a_rCase;
  std::vector<char*> l_Argv = {const_cast<char*>(l_Program.c_str()),
                               const_cast<char*>(l_Filter.c_str()), nullptr};
  std::vector<char*> l_Envp;
  for (std::string& l_rEntry : l_Environment) l_Envp.push_back(&l_rEntry[0]);
  l_Envp.push_back(nullptr);

  sChildResult l_Result{-1, ""};
  int l_Pipe[2];
  if (pipe(l_Pipe) != 0) return l_Result;
  const pid_t l_Pid = fork();
  if (l_Pid == 0) {
    dup2(l_Pipe[1], STDOUT_FILENO);
    dup2(l_Pipe[1], STDERR_FILENO);
    close(l_Pipe[0]);
    close(l_Pipe[1]);
    execve(l_Argv[0], l_Argv.data(), l_Envp.data());
    _exit(127);
  }
  close(l_Pipe[1]);
  char l_Chunk[4096];
  ssize_t l_Read;
  while ((l_Read = read(l_Pipe[0], l_Chunk, sizeof l_Chunk)) > 0) {
    l_Result.m_Output.append(l_Chunk, static_cast<size_t>(l_Read));
  }
  close(l_Pipe[0]);
  int l_Status = 0;
  if (l_Pid > 0 && waitpid(l_Pid, &l_Status, 0) == l_Pid && WIFEXITED(l_Status)) {
    l_Result.m_ExitCode = WEXITSTATUS(l_Status);
  }
  return l_Result;
}

// The case must have run (a misspelt name would run nothing) and passed.
inline void expectChildPasses(const std::string& a_rCase,
                              const std::vector<std::string>& a_rEnvironment) {
  const sChildResult l_Result = runChildCase(a_rCase, a_rEnvironment);
  EXPECT_EQ(0, l_Result.m_ExitCode) << l_Result.m_Output;
  EXPECT_NE(std::string::npos, l_Result.m_Output.find("[  PASSED  ] 1 test.")) << l_Result.m_Output;
}

// The companions' build directory, as the test runner gives it.
inline std::string companionDir() {
  const char* l_pBuild = std::getenv("QVZ_BUILD_DIR");
  return std::string(l_pBuild ? l_pBuild : ".") + "/companions";
}

}  // namespace qvztest

#define QVZ_CHILD_CASE(a_Name)                                                        \
  static void a_Name##_ChildBody();                                                   \
  [[maybe_unused]] static const bool a_Name##_ChildRegistered =                       \
      ::qvztest::registerChildCase(#a_Name, __FILE__, __LINE__, &a_Name##_ChildBody); \
  static void a_Name##_ChildBody()
