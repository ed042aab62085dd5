// SPDX-License-Identifier: LGPL-2.1-or-later
// Runs a fuzz target over stored inputs without libFuzzer: every file named
// on the command line, and every regular file in every directory named, in
// name order. Used by the normal and sanitizer builds to replay the seed
// corpora and the regression inputs of past findings.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* a_pData, size_t a_Size);
extern "C" int LLVMFuzzerInitialize(int* a_pArgc, char*** a_pArgv) __attribute__((weak));

namespace {

void collect(const std::string& a_rPath, std::vector<std::string>& a_rFiles) {
  struct stat l_Stat;
  if (::stat(a_rPath.c_str(), &l_Stat) != 0) return;
  if (!S_ISDIR(l_Stat.st_mode)) {
    a_rFiles.push_back(a_rPath);
    return;
  }
  DIR* l_pDir = ::opendir(a_rPath.c_str());
  if (l_pDir == nullptr) return;
  std::vector<std::string> l_Names;
  while (const dirent* l_pEntry = ::readdir(l_pDir)) {
    const std::string l_Name = l_pEntry->d_name;
    if (l_Name == "." || l_Name == ".." || l_Name[0] == '.') continue;
    l_Names.push_back(a_rPath + "/" + l_Name);
  }
  ::closedir(l_pDir);
  std::sort(l_Names.begin(), l_Names.end());
  for (const std::string& l_rName : l_Names) collect(l_rName, a_rFiles);
}

}  // namespace

int main(int a_Argc, char** a_ppArgv) {
  if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&a_Argc, &a_ppArgv);
  std::vector<std::string> l_Files;
  for (int l_Index = 1; l_Index < a_Argc; ++l_Index) collect(a_ppArgv[l_Index], l_Files);
  if (l_Files.empty()) {
    std::fprintf(stderr, "replay: no input found\n");
    return 2;
  }
  for (const std::string& l_rFile : l_Files) {
    std::ifstream l_In(l_rFile, std::ios::binary);
    const std::vector<char> l_Bytes((std::istreambuf_iterator<char>(l_In)),
                                    std::istreambuf_iterator<char>());
    // An exactly sized copy, so a sanitizer sees reads past the input's end.
    std::vector<uint8_t> l_Input(l_Bytes.begin(), l_Bytes.end());
    l_Input.shrink_to_fit();
    LLVMFuzzerTestOneInput(l_Input.data(), l_Input.size());
  }
  std::printf("replay: %zu inputs, no finding\n", l_Files.size());
  return 0;
}
