// SPDX-License-Identifier: LGPL-2.1-or-later
// sDeviceSettings: how one simulated device answers driver requests. The tree
// builder writes them into the device file; the ioctl interposer reads them
// back from that file on every request, so a test may change them at any time.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace nQvDriverSim_1_0 {

struct sDeviceSettings {
  std::string m_Name;                         // the interface's section name; names its log files
  std::string m_LogDir;                       // where the request and write logs go
  std::map<uint32_t, uint32_t> m_Attributes;  // attribute identifier -> value
  int32_t m_AttributeStatus = 0;              // answered for every attribute read...
  std::map<uint32_t, int32_t> m_AttributeStatusById;  // ...unless named here
  bool m_HasAttributeByteCount = false;               // report this count instead of the true one
  uint32_t m_AttributeByteCount = 0;
  int32_t m_FirmwareStatus = 0;
  int m_Errno = 0;           // fail every request with this errno (0: none)
  int m_AttributeErrno = 0;  // fail attribute reads only
  int m_FirmwareErrno = 0;   // fail firmware updates only
  // A card with a flash (m_FlashSize bytes, 0: none) keeps it in m_StateDir
  // (cardFlash.h): firmware requests write into it, and the running and
  // pending versions come from it instead of m_Attributes.
  uint32_t m_FlashSize = 0;
  std::string m_StateDir;
  // The factory flash's boot header: the version given, none, or by default
  // the running version of m_Attributes (no header when that is not set).
  enum class eBootHeader { kRunningVersion, kVersion, kNone };
  eBootHeader m_BootHeader = eBootHeader::kRunningVersion;
  uint32_t m_BootVersion = 0;
};

enum class eSettingResult { kApplied, kUnknownKey, kBadValue };

// Applies one "key = value" of an interface section or a device file.
eSettingResult applyDeviceSetting(sDeviceSettings& a_rSettings, const std::string& a_rKey,
                                  const std::string& a_rValue);

// First line of every device file; the interposer answers only such files.
constexpr char kDeviceFileMagic[] = "#qvdriversim-device 1";

std::string formatDeviceFile(const sDeviceSettings& a_rSettings);
// False when the text is not a device file (no magic line) or a value is bad.
bool parseDeviceFile(const std::string& a_rText, sDeviceSettings& a_rSettings);

}  // namespace nQvDriverSim_1_0
