// SPDX-License-Identifier: LGPL-2.1-or-later
#include "driverLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "systemText.h"
#include "textFields.h"

namespace nQvDriverSim_1_0 {

using nQvSimSystem_1_0::parseHexBytes;
using nQvSimSystem_1_0::parseNumber;

namespace {

void appendText(const std::string& a_rPath, const std::string& a_rText) {
  const int l_Fd = ::open(a_rPath.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (l_Fd == -1) return;
  size_t l_Done = 0;
  while (l_Done < a_rText.size()) {
    const ssize_t l_Written = ::write(l_Fd, a_rText.data() + l_Done, a_rText.size() - l_Done);
    if (l_Written <= 0) break;
    l_Done += static_cast<size_t>(l_Written);
  }
  ::close(l_Fd);
}

bool numberField(const std::string& a_rLine, const char* a_pKey, int64_t& a_rValue) {
  std::string l_Text;
  return textFields::findField(a_rLine, a_pKey, l_Text) && parseNumber(l_Text, a_rValue);
}

template <typename tValue>
bool readField(const std::string& a_rLine, const char* a_pKey, tValue& a_rValue) {
  int64_t l_Value = 0;
  if (!numberField(a_rLine, a_pKey, l_Value)) return false;
  a_rValue = static_cast<tValue>(l_Value);
  return true;
}

}  // namespace

std::string requestLogPath(const std::string& a_rLogDir, const std::string& a_rName) {
  return a_rLogDir + "/" + a_rName + ".requests";
}

std::string writeLogPath(const std::string& a_rLogDir, const std::string& a_rName) {
  return a_rLogDir + "/" + a_rName + ".writes";
}

void appendRequest(const std::string& a_rLogDir, const std::string& a_rName,
                   const sDriverRequest& a_rRequest) {
  std::ostringstream l_Line;
  l_Line << "request code=" << textFields::hex32(a_rRequest.m_Code)
         << " id=" << textFields::hex32(a_rRequest.m_AttributeId)
         << " size=" << a_rRequest.m_BufferSize << " length=" << a_rRequest.m_Length
         << " callerStatus=" << a_rRequest.m_CallerStatus << " errno=" << a_rRequest.m_Errno
         << " status=" << a_rRequest.m_Status << " count=" << a_rRequest.m_ByteCount << "\n";
  appendText(requestLogPath(a_rLogDir, a_rName), l_Line.str());
}

void appendWrite(const std::string& a_rLogDir, const std::string& a_rName,
                 const sFirmwareWrite& a_rWrite) {
  std::ostringstream l_Record;
  l_Record << "write length=" << a_rWrite.m_Length
           << " pinOutAddr=" << textFields::hex32(a_rWrite.m_PinOutAddr)
           << " pinOutVer=" << textFields::hex32(a_rWrite.m_PinOutVer)
           << " offset=" << textFields::hex32(a_rWrite.m_Offset)
           << " callerStatus=" << a_rWrite.m_CallerStatus << "\n"
           << "bytes " << textFields::toHex(a_rWrite.m_Bytes.data(), a_rWrite.m_Bytes.size())
           << "\n";
  appendText(writeLogPath(a_rLogDir, a_rName), l_Record.str());
}

bool readRequests(const std::string& a_rLogDir, const std::string& a_rName,
                  std::vector<sDriverRequest>& a_rRequests) {
  a_rRequests.clear();
  std::ifstream l_In(requestLogPath(a_rLogDir, a_rName));
  std::string l_Line;
  while (std::getline(l_In, l_Line)) {
    if (l_Line.empty()) continue;
    sDriverRequest l_Request;
    const bool l_Ok = l_Line.compare(0, 8, "request ") == 0 &&
                      readField(l_Line, "code", l_Request.m_Code) &&
                      readField(l_Line, "id", l_Request.m_AttributeId) &&
                      readField(l_Line, "size", l_Request.m_BufferSize) &&
                      readField(l_Line, "length", l_Request.m_Length) &&
                      readField(l_Line, "callerStatus", l_Request.m_CallerStatus) &&
                      readField(l_Line, "errno", l_Request.m_Errno) &&
                      readField(l_Line, "status", l_Request.m_Status) &&
                      readField(l_Line, "count", l_Request.m_ByteCount);
    if (!l_Ok) return false;
    a_rRequests.push_back(l_Request);
  }
  return true;
}

bool readWrites(const std::string& a_rLogDir, const std::string& a_rName,
                std::vector<sFirmwareWrite>& a_rWrites) {
  a_rWrites.clear();
  std::ifstream l_In(writeLogPath(a_rLogDir, a_rName));
  std::string l_Header;
  while (std::getline(l_In, l_Header)) {
    if (l_Header.empty()) continue;
    std::string l_Bytes;
    sFirmwareWrite l_Write;
    const bool l_Ok = l_Header.compare(0, 6, "write ") == 0 &&
                      readField(l_Header, "length", l_Write.m_Length) &&
                      readField(l_Header, "pinOutAddr", l_Write.m_PinOutAddr) &&
                      readField(l_Header, "pinOutVer", l_Write.m_PinOutVer) &&
                      readField(l_Header, "offset", l_Write.m_Offset) &&
                      readField(l_Header, "callerStatus", l_Write.m_CallerStatus) &&
                      std::getline(l_In, l_Bytes) && l_Bytes.compare(0, 6, "bytes ") == 0 &&
                      parseHexBytes(l_Bytes.substr(6), l_Write.m_Bytes);
    if (!l_Ok) return false;
    a_rWrites.push_back(l_Write);
  }
  return true;
}

}  // namespace nQvDriverSim_1_0
