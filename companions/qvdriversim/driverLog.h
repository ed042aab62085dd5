// SPDX-License-Identifier: LGPL-2.1-or-later
// The logs of the simulated kernel driver: per interface one request log
// (<name>.requests, one line per request) and one write log (<name>.writes,
// the firmware images it was asked to write). Plain text, appended.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nQvDriverSim_1_0 {

// One firmware update request as the driver received it.
struct sFirmwareWrite {
  uint32_t m_Length = 0;
  uint32_t m_PinOutAddr = 0;
  uint32_t m_PinOutVer = 0;
  uint32_t m_Offset = 0;
  int32_t m_CallerStatus = 0;
  std::vector<uint8_t> m_Bytes;
};

// One request of any kind and how the driver answered it.
struct sDriverRequest {
  uint32_t m_Code = 0;
  uint32_t m_AttributeId = 0;  // attribute reads only
  uint32_t m_BufferSize = 0;   // attribute reads: the value buffer's size
  uint32_t m_Length = 0;       // firmware updates: the byte count
  int32_t m_CallerStatus = 0;  // the caller's status code sent in the input record
  int m_Errno = 0;             // non-zero when the request failed with this errno
  int32_t m_Status = 0;        // status code answered
  uint32_t m_ByteCount = 0;    // attribute reads: byte count answered
};

std::string requestLogPath(const std::string& a_rLogDir, const std::string& a_rName);
std::string writeLogPath(const std::string& a_rLogDir, const std::string& a_rName);

// Appending, as the driver does (one write per record, so records stay whole).
void appendRequest(const std::string& a_rLogDir, const std::string& a_rName,
                   const sDriverRequest& a_rRequest);
void appendWrite(const std::string& a_rLogDir, const std::string& a_rName,
                 const sFirmwareWrite& a_rWrite);

// Reading back; a missing file reads as no records. False on a malformed log.
bool readRequests(const std::string& a_rLogDir, const std::string& a_rName,
                  std::vector<sDriverRequest>& a_rRequests);
bool readWrites(const std::string& a_rLogDir, const std::string& a_rName,
                std::vector<sFirmwareWrite>& a_rWrites);

}  // namespace nQvDriverSim_1_0
