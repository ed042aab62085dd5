#include "device/FirmwareImage.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace nQVZEL_15_0 {

namespace {

// Reads the value that starts at a_Begin: up to the first CR LF, or to the end
// of the text.
void readValueAt(const char* a_pText, uint32_t a_TextLength, uint32_t a_Begin,
                 std::string& a_rValue, Status& a_rStatus) {
  uint32_t l_End = a_TextLength;
  for (uint32_t l_Position = a_Begin; l_Position + 1 < a_TextLength; ++l_Position) {
    if (a_pText[l_Position] == '\r' && a_pText[l_Position + 1] == '\n') {
      l_End = l_Position;
      break;
    }
  }
  try {
    a_rValue.assign(a_pText + a_Begin, l_End - a_Begin);
  } catch (const std::bad_alloc&) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kMemoryFull);
  }
}

}  // namespace

uint32_t findKey(const char* a_pText, uint32_t a_TextLength, uint32_t a_From, const char* a_pKey,
                 Status& a_rStatus) {
  if (a_rStatus.isFatal()) return a_TextLength;
  if (a_pText == nullptr || a_pKey == nullptr) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kInvalidParameter);
    return a_TextLength;
  }
  // 64-bit arithmetic: a_From near 2^32 must not wrap into the text.
  const uint64_t l_KeyLength = std::strlen(a_pKey);
  if (l_KeyLength == 0 && a_From < a_TextLength) return a_From;
  // Jumps from one occurrence of the key's first byte to the next: images are
  // megabytes of payload, and a byte-by-byte comparison made the key search
  // a large share of an update's validation time.
  uint64_t l_Position = a_From;
  while (l_KeyLength != 0 && l_Position + l_KeyLength < a_TextLength) {
    const void* l_pHit = std::memchr(a_pText + l_Position, a_pKey[0],
                                     static_cast<size_t>(a_TextLength - l_KeyLength - l_Position));
    if (l_pHit == nullptr) break;
    l_Position = static_cast<uint64_t>(static_cast<const char*>(l_pHit) - a_pText);
    if (std::memcmp(a_pText + l_Position, a_pKey, l_KeyLength) == 0) {
      return static_cast<uint32_t>(l_Position);
    }
    ++l_Position;
  }
  QVZ_SET_STATUS(a_rStatus, qvstatus::kOverflow);
  return a_TextLength;
}

void getKeyValue(const char* a_pText, uint32_t a_TextLength, const char* a_pKey,
                 std::string& a_rValue, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  if (a_pText == nullptr || a_pKey == nullptr) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kInvalidParameter);
    return;
  }
  const uint32_t l_KeyPosition = findKey(a_pText, a_TextLength, 0, a_pKey, a_rStatus);
  if (a_rStatus.isFatal()) return;

  // findKey leaves at least one byte after the key, where the value starts.
  const uint32_t l_Begin = l_KeyPosition + static_cast<uint32_t>(std::strlen(a_pKey));
  readValueAt(a_pText, a_TextLength, l_Begin, a_rValue, a_rStatus);
}

uint32_t findPayloadOffset(const char* a_pText, uint32_t a_TextLength, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return a_TextLength;
  if (a_pText == nullptr) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kInvalidParameter);
    return a_TextLength;
  }
  // The key search leaves at least one byte after the blank line, which is
  // exactly the "one payload byte" requirement.
  static const char l_BlankLine[] = "\r\n\r\n";
  const uint32_t l_Position = findKey(a_pText, a_TextLength, 0, l_BlankLine, a_rStatus);
  if (a_rStatus.isFatal()) return a_TextLength;
  return l_Position + static_cast<uint32_t>(sizeof(l_BlankLine) - 1);
}

void scanImageSections(const char* a_pImage, uint32_t a_Length,
                       std::vector<sImageSection>& a_rSections, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  if (a_pImage == nullptr) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kInvalidParameter);
    return;
  }
  // Each section's update type is the first "UpdateType::" at or after its
  // start. Remembering the last one found keeps the scan linear in the image
  // length even when many sections share one type line further on.
  bool l_HaveType = false;
  uint32_t l_TypePosition = 0;
  std::string l_Type;
  const uint32_t l_TypeKeyLength = static_cast<uint32_t>(sizeof(kUpdateTypeKey) - 1);

  uint32_t l_Position = 0;
  while (l_Position < a_Length && a_rStatus.isNotFatal()) {
    const uint32_t l_Start = findKey(a_pImage, a_Length, l_Position, kHeaderVersionKey, a_rStatus);
    const uint32_t l_Next = findKey(a_pImage, a_Length, l_Start + 1, kHeaderVersionKey, a_rStatus);
    uint32_t l_End = 0;
    if (l_Next == a_Length && a_rStatus.code == qvstatus::kOverflow) {
      // No further key: this section runs to the end of the image.
      a_rStatus.clear();
      l_End = a_Length;
    } else {
      // The byte before the next key (normally its line's LF) is in no section.
      l_End = l_Next - 1;
    }
    l_Position = l_Next;
    if (a_rStatus.isFatal()) return;

    // Same search as getKeyValue on [image + start, image + length).
    if (!l_HaveType || l_TypePosition < l_Start) {
      l_TypePosition = findKey(a_pImage, a_Length, l_Start, kUpdateTypeKey, a_rStatus);
      if (a_rStatus.isFatal()) return;
      readValueAt(a_pImage, a_Length, l_TypePosition + l_TypeKeyLength, l_Type, a_rStatus);
      if (a_rStatus.isFatal()) return;
      l_HaveType = true;
    }

    uint32_t l_FlashId = 0;
    if (l_Type == kSstUpdateType || l_Type == kIssiUpdateType) {
      if (l_Type.find("ISSI") != std::string::npos) {
        l_FlashId = kIssiFlashId;
      } else if (l_Type.find("SST") != std::string::npos) {
        l_FlashId = kSstFlashId;
      }
    }
    if (l_FlashId == 0) {
      QVZ_SET_STATUS(a_rStatus, qvstatus::kNotSupported);
      return;
    }
    try {
      a_rSections.push_back(sImageSection{l_Start, l_End, l_FlashId});
    } catch (const std::bad_alloc&) {
      QVZ_SET_STATUS(a_rStatus, qvstatus::kMemoryFull);
      return;
    }
  }
}

void findSectionPayload(const char* a_pImage, uint32_t a_Length, const sImageSection& a_rSection,
                        uint32_t* a_pPayloadStart, uint32_t* a_pPayloadLength, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  if (a_pImage == nullptr || a_pPayloadStart == nullptr || a_pPayloadLength == nullptr ||
      a_rSection.m_Start > a_rSection.m_End || a_rSection.m_End > a_Length) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kInvalidParameter);
    return;
  }
  const uint32_t l_HeaderLength =
      findPayloadOffset(a_pImage + a_rSection.m_Start, a_Length - a_rSection.m_Start, a_rStatus);
  if (a_rStatus.isFatal()) return;
  // The blank line is searched to the end of the image, so it may belong to a
  // later section; the payload length would then wrap below zero.
  const uint32_t l_PayloadStart = a_rSection.m_Start + l_HeaderLength;
  if (l_PayloadStart > a_rSection.m_End) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kOverflow);
    return;
  }
  *a_pPayloadStart = l_PayloadStart;
  *a_pPayloadLength = a_rSection.m_End - l_PayloadStart;
}

int32_t toSignedKeyValue(const std::string& a_rValue, int a_Base) {
  return static_cast<int32_t>(
      static_cast<uint32_t>(std::strtol(a_rValue.c_str(), nullptr, a_Base)));
}

uint32_t toUnsignedKeyValue(const std::string& a_rValue, int a_Base) {
  return static_cast<uint32_t>(std::strtoul(a_rValue.c_str(), nullptr, a_Base));
}

uint64_t toWideUnsignedKeyValue(const std::string& a_rValue, int a_Base) {
  return static_cast<uint64_t>(std::strtoul(a_rValue.c_str(), nullptr, a_Base));
}

}  // namespace nQVZEL_15_0
