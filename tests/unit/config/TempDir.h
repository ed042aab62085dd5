// A scratch directory for file tests, removed with everything in it.
#pragma once

#include <dirent.h>
#include <fcntl.h>
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
    char l_Template[] = "/tmp/qvz_ini_XXXXXX";
    const char* l_pDir = ::mkdtemp(l_Template);
    m_Path = l_pDir != nullptr ? l_pDir : "";
  }
  ~cTempDir() {
    if (!m_Path.empty()) std::system(("rm -rf '" + m_Path + "'").c_str());
  }
  cTempDir(const cTempDir&) = delete;
  cTempDir& operator=(const cTempDir&) = delete;

  std::string File(const std::string& a_rName) const { return m_Path + "/" + a_rName; }
  const std::string& Path() const { return m_Path; }

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

 private:
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
