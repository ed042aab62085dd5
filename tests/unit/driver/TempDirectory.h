// A scratch directory for one test, removed with everything in it.
#pragma once

#include <cstdlib>
#include <fstream>
#include <ftw.h>
#include <string>
#include <unistd.h>

class cTempDirectory {
 public:
  cTempDirectory() {
    char l_Template[] = "/tmp/qvz-driver-test-XXXXXX";
    const char* l_pPath = ::mkdtemp(l_Template);
    m_Path = l_pPath != nullptr ? l_pPath : "";
  }
  ~cTempDirectory() {
    if (!m_Path.empty()) ::nftw(m_Path.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
  }
  cTempDirectory(const cTempDirectory&) = delete;
  cTempDirectory& operator=(const cTempDirectory&) = delete;

  const std::string& path() const { return m_Path; }
  std::string file(const std::string& a_rName) const { return m_Path + "/" + a_rName; }
  // Writes a_rContent as a file of the directory and returns its path.
  std::string write(const std::string& a_rName, const std::string& a_rContent) const {
    std::ofstream l_Out(file(a_rName), std::ios::binary);
    l_Out << a_rContent;
    return file(a_rName);
  }

 private:
  static int removeEntry(const char* a_pPath, const struct stat*, int, struct FTW*) {
    return ::remove(a_pPath);
  }
  std::string m_Path;
};
