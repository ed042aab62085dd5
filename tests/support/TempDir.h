// SPDX-License-Identifier: LGPL-2.1-or-later
// A scratch directory for one test, removed with everything in it when the
// object goes, and the small file helpers that tests of files need.
#pragma once

#include <dirent.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

class cTempDir {
 public:
  cTempDir() {
    char l_Template[] = "/tmp/qvz-test-XXXXXX";
    const char* l_pDir = ::mkdtemp(l_Template);
    m_Path = l_pDir != nullptr ? l_pDir : "";
  }
  ~cTempDir() { Remove(); }
  cTempDir(const cTempDir&) = delete;
  cTempDir& operator=(const cTempDir&) = delete;

  // Empty when the directory could not be made.
  const std::string& Path() const { return m_Path; }
  std::string File(const std::string& a_rName) const { return m_Path + "/" + a_rName; }
  // Writes a_rBytes as a file of the directory and returns its path.
  std::string Write(const std::string& a_rName, const std::string& a_rBytes) const {
    std::ofstream l_File(File(a_rName), std::ios::binary | std::ios::trunc);
    l_File << a_rBytes;
    return File(a_rName);
  }
  // Names of everything in the directory.
  std::set<std::string> List() const {
    std::set<std::string> l_Names;
    DIR* l_pDir = ::opendir(m_Path.c_str());
    if (l_pDir == nullptr) return l_Names;
    while (const dirent* l_pEntry = ::readdir(l_pDir)) {
      const std::string l_Name = l_pEntry->d_name;
      if (l_Name != "." && l_Name != "..") l_Names.insert(l_Name);
    }
    ::closedir(l_pDir);
    return l_Names;
  }
  // Removes the directory and its content now (links are removed, never followed).
  void Remove() const {
    if (!m_Path.empty()) ::nftw(m_Path.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
  }

 private:
  static int RemoveEntry(const char* a_pPath, const struct stat*, int, struct FTW*) {
    ::remove(a_pPath);
    return 0;  // go on with the rest
  }
  std::string m_Path;
};

inline void WriteFile(const std::string& a_rPath, const std::string& a_rBytes) {
  std::ofstream l_File(a_rPath, std::ios::binary | std::ios::trunc);
  l_File << a_rBytes;
}

inline std::string ReadFile(const std::string& a_rPath) {
  std::ifstream l_File(a_rPath, std::ios::binary);
  std::ostringstream l_Bytes;
  l_Bytes << l_File.rdbuf();
  return l_Bytes.str();
}

inline bool Exists(const std::string& a_rPath) {
  struct stat l_Info;
  return ::stat(a_rPath.c_str(), &l_Info) == 0;
}
