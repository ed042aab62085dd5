#include "cSysfsReader.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

namespace qvpcibrd {
namespace {

// Longer than any attribute this backend reads; a longer text is no number.
constexpr size_t kMaxAttributeBytes = 256;

}  // namespace

std::vector<std::string> cSysfsReader::listDirectory(const std::string& a_rPath) {
  std::vector<std::string> l_Names;
  std::unique_ptr<DIR, int (*)(DIR*)> l_pDir(opendir(a_rPath.c_str()), closedir);
  if (!l_pDir) return l_Names;
  while (const dirent* l_pEntry = readdir(l_pDir.get())) {
    if (l_pEntry->d_name[0] != '.') l_Names.push_back(l_pEntry->d_name);
  }
  return l_Names;
}

bool cSysfsReader::readLink(const std::string& a_rPath, std::string& a_rTarget) {
  char l_Buffer[PATH_MAX];
  const ssize_t l_Length = readlink(a_rPath.c_str(), l_Buffer, sizeof l_Buffer);
  if (l_Length <= 0 || static_cast<size_t>(l_Length) >= sizeof l_Buffer) return false;
  a_rTarget.assign(l_Buffer, static_cast<size_t>(l_Length));
  return true;
}

bool cSysfsReader::readBytes(const std::string& a_rPath, size_t a_Max,
                             std::vector<uint8_t>& a_rBytes) {
  a_rBytes.clear();
  const int l_Fd = open(a_rPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (l_Fd < 0) return false;
  a_rBytes.resize(a_Max);
  size_t l_Have = 0;
  bool l_Ok = true;
  while (l_Have < a_Max) {
    const ssize_t l_Got = ::read(l_Fd, a_rBytes.data() + l_Have, a_Max - l_Have);
    if (l_Got < 0 && errno == EINTR) continue;
    if (l_Got < 0) l_Ok = false;
    if (l_Got <= 0) break;
    l_Have += static_cast<size_t>(l_Got);
    // sysfs answers a read with everything up to the size asked for, so a
    // short read is the end of the file: no second read to learn it.
    if (l_Have < a_Max) break;
  }
  close(l_Fd);
  a_rBytes.resize(l_Have);
  return l_Ok;
}

bool cSysfsReader::readLine(const std::string& a_rPath, std::string& a_rText) {
  std::vector<uint8_t> l_Bytes;
  if (!readBytes(a_rPath, kMaxAttributeBytes, l_Bytes)) return false;
  a_rText.assign(l_Bytes.begin(), l_Bytes.end());
  const size_t l_End = a_rText.find_first_of("\n\0", 0, 2);
  if (l_End != std::string::npos) a_rText.resize(l_End);
  return true;
}

bool cSysfsReader::readNumber(const std::string& a_rPath, int a_Base, unsigned long a_Max,
                              unsigned long& a_rValue) {
  std::string l_Text;
  if (!readLine(a_rPath, l_Text) || l_Text.empty()) return false;
  char* l_pEnd = nullptr;
  errno = 0;
  a_rValue = std::strtoul(l_Text.c_str(), &l_pEnd, a_Base);
  return errno == 0 && *l_pEnd == '\0' && l_Text[0] != '-' && a_rValue <= a_Max;
}

uint16_t cSysfsReader::readId(const std::string& a_rPath) {
  unsigned long l_Value = 0;
  return readNumber(a_rPath, 16, 0xFFFF, l_Value) ? static_cast<uint16_t>(l_Value) : 0;
}

}  // namespace qvpcibrd
