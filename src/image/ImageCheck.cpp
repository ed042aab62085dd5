// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ImageCheck.h"

#include <sys/mman.h>

#include <cstring>
#include <new>
#include <vector>

#include "qvzelif.h"

namespace nQVZEL_15_0 {

const sImageKey kImageKeys[kImageKeyCount] = {
    {kHeaderVersionKey, 10, true}, {kSubSystemIdKey, 16, false}, {kPinOutAddrKey, 16, false},
    {kPinOutVerKey, 16, false},    {kOffsetKey, 16, false},      {kVersionKey, 16, false},
    {kByteCountKey, 10, true},     {kCrcKey, 10, false}};

namespace {

sHeaderValue readValue(const char* a_pImage, uint32_t a_Length, uint32_t a_From,
                       const sImageKey& a_rKey, sSearchMemo* a_pValueEnd) {
  sHeaderValue l_Value;
  Status l_Search;
  const uint32_t l_Key = findKey(a_pImage, a_Length, a_From, a_rKey.m_pKey, l_Search);
  if (l_Search.isFatal()) return l_Value;
  l_Value.m_Found = true;
  l_Value.m_KeyOffset = l_Key;
  // findKey leaves at least one byte after the key, where the value starts.
  l_Value.m_Begin = l_Key + static_cast<uint32_t>(std::strlen(a_rKey.m_pKey));
  l_Value.m_End = findValueEnd(a_pImage, a_Length, l_Value.m_Begin, a_pValueEnd);
  l_Value.m_Number = convertHeaderNumber(a_pImage + l_Value.m_Begin, a_pImage + l_Value.m_End,
                                         a_rKey.m_Base, a_rKey.m_Signed);
  return l_Value;
}

// Records a_Code for a refusal at a_Step; false so that callers can return it.
bool refuse(sImageWrite& a_rWrite, eImageStep a_Step, int32_t a_Code, Status& a_rStatus) {
  a_rWrite.m_Step = a_Step;
  QVZ_SET_STATUS(a_rStatus, a_Code);
  return false;
}

// A failed read of the card's values ends the check where it happened.
bool cardAnswered(sImageWrite& a_rWrite, const Status& a_rStatus) {
  if (a_rStatus.isFatal()) a_rWrite.m_Step = eImageStep::kCard;
  return a_rStatus.isNotFatal();
}

bool allFound(const sSectionCheck& a_rCheck, std::initializer_list<eImageKey> a_Keys) {
  for (const eImageKey l_Key : a_Keys) {
    if (!a_rCheck.m_Values[l_Key].m_Found) return false;
  }
  return true;
}

// Header numbers are unsigned 32-bit: a negative one or one above 0xFFFFFFFF
// would otherwise be cut to a different value (an offset of 2^32 to 0, a
// version of -1 to the newest) and written as that.
bool allFit(const sSectionCheck& a_rCheck, std::initializer_list<eImageKey> a_Keys) {
  for (const eImageKey l_Key : a_Keys) {
    if (!a_rCheck.m_Values[l_Key].m_Number.m_FitsUnsigned32) return false;
  }
  return true;
}

// Buffers from this size on are asked to be backed by huge pages: a fresh
// buffer of tens of megabytes otherwise takes one page fault per 4 KiB, which
// costs as much as decoding into it.
constexpr size_t kHugePageBuffer = size_t{4} << 20;
constexpr uintptr_t kHugePage = uintptr_t{2} << 20;

}  // namespace

std::unique_ptr<uint8_t[]> allocateImageBuffer(size_t a_Size) {
  const size_t l_Size = a_Size == 0 ? 1 : a_Size;
  std::unique_ptr<uint8_t[]> l_pBuffer(new (std::nothrow) uint8_t[l_Size]);
  if (l_pBuffer && l_Size >= kHugePageBuffer) {
    // Only whole huge pages inside the buffer; advice that is not taken changes nothing.
    const uintptr_t l_Begin =
        (reinterpret_cast<uintptr_t>(l_pBuffer.get()) + kHugePage - 1) & ~(kHugePage - 1);
    const uintptr_t l_End =
        (reinterpret_cast<uintptr_t>(l_pBuffer.get()) + l_Size) & ~(kHugePage - 1);
    if (l_End > l_Begin) {
      ::madvise(reinterpret_cast<void*>(l_Begin), l_End - l_Begin, MADV_HUGEPAGE);
    }
  }
  return l_pBuffer;
}

void readSectionCheck(const char* a_pImage, uint32_t a_Length, const sImageSection& a_rSection,
                      sSectionCheck& a_rCheck, sKeyMemo* a_pMemo) {
  a_rCheck.m_Section = a_rSection;
  for (uint32_t l_Key = 0; l_Key < kImageKeyCount; ++l_Key) {
    sHeaderValue& l_rValue = a_rCheck.m_Values[l_Key];
    if (a_pMemo != nullptr && a_pMemo->m_Searched[l_Key] &&
        (!a_pMemo->m_Last[l_Key].m_Found ||
         a_pMemo->m_Last[l_Key].m_KeyOffset >= a_rSection.m_Start)) {
      l_rValue = a_pMemo->m_Last[l_Key];
      continue;
    }
    l_rValue = readValue(a_pImage, a_Length, a_rSection.m_Start, kImageKeys[l_Key],
                         a_pMemo != nullptr ? &a_pMemo->m_ValueEnd : nullptr);
    if (a_pMemo != nullptr) {
      a_pMemo->m_Searched[l_Key] = true;
      a_pMemo->m_Last[l_Key] = l_rValue;
    }
  }
  Status l_Payload;
  findSectionPayload(a_pImage, a_Length, a_rSection, &a_rCheck.m_PayloadStart,
                     &a_rCheck.m_PayloadLength, l_Payload,
                     a_pMemo != nullptr ? &a_pMemo->m_BlankLine : nullptr);
  a_rCheck.m_PayloadCode = l_Payload.result();
}

void decodeSectionPayload(const char* a_pImage, sSectionCheck& a_rCheck, bool a_KeepBytes,
                          Status& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  if (a_rCheck.m_PayloadCode < 0) {
    QVZ_SET_STATUS(a_rStatus, a_rCheck.m_PayloadCode);
    return;
  }
  const uint32_t l_Count = a_rCheck.m_PayloadLength;
  uint32_t l_Crc = 0;
  size_t l_Decoded = 0;
  std::unique_ptr<uint8_t[]> l_pBytes;
  if (a_KeepBytes) {
    // The character count bounds the decoded size.
    l_pBytes = allocateImageBuffer(l_Count);
    if (!l_pBytes) {
      QVZ_SET_STATUS(a_rStatus, qvstatus::kMemoryFull);
      return;
    }
    l_Decoded = decodePayloadWithCrc(a_pImage + a_rCheck.m_PayloadStart, l_pBytes.get(), l_Count,
                                     &l_Crc, a_rStatus);
  } else {
    l_Decoded = measurePayload(a_pImage + a_rCheck.m_PayloadStart, l_Count, &l_Crc, a_rStatus);
  }
  if (a_rStatus.isFatal()) return;
  a_rCheck.m_Decoded = true;
  a_rCheck.m_DecodedLength = static_cast<uint32_t>(l_Decoded);
  a_rCheck.m_ComputedCrc = l_Crc;
  if (a_KeepBytes) a_rCheck.m_pBytes = std::move(l_pBytes);
}

void checkSectionForCard(const char* a_pImage, uint32_t a_Force, iImageCard& a_rCard,
                         sImageWrite& a_rWrite, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  sSectionCheck& l_rCheck = a_rWrite.m_Check;
  const sHeaderValue* l_pValues = l_rCheck.m_Values;

  if (!l_pValues[kKeyHeaderVersion].m_Found) {
    refuse(a_rWrite, eImageStep::kHeaderVersion, qvstatus::kOverflow, a_rStatus);
    return;
  }
  if (!allFit(l_rCheck, {kKeyHeaderVersion})) {
    refuse(a_rWrite, eImageStep::kHeaderVersion, qvstatus::kOverflow, a_rStatus);
    return;
  }
  if (static_cast<int32_t>(l_pValues[kKeyHeaderVersion].cut()) != kSupportedHeaderVersion) {
    refuse(a_rWrite, eImageStep::kHeaderVersion, qvstatus::kNotSupported, a_rStatus);
    return;
  }

  if (!l_pValues[kKeySubsystemId].m_Found || !allFit(l_rCheck, {kKeySubsystemId})) {
    refuse(a_rWrite, eImageStep::kSubsystem, qvstatus::kOverflow, a_rStatus);
    return;
  }
  const uint32_t l_CardSubsystem = a_rCard.subsystemId(a_rStatus);
  if (!cardAnswered(a_rWrite, a_rStatus)) return;
  if (l_pValues[kKeySubsystemId].cut() != l_CardSubsystem) {
    refuse(a_rWrite, eImageStep::kSubsystem, qvstatus::kNotSupported, a_rStatus);
    return;
  }

  if (!allFound(l_rCheck, {kKeyPinOutAddr, kKeyPinOutVer, kKeyOffset, kKeyVersion}) ||
      !allFit(l_rCheck, {kKeyPinOutAddr, kKeyPinOutVer, kKeyOffset, kKeyVersion})) {
    refuse(a_rWrite, eImageStep::kHeaderValues, qvstatus::kOverflow, a_rStatus);
    return;
  }
  a_rWrite.m_PinOutAddr = l_pValues[kKeyPinOutAddr].cut();
  a_rWrite.m_PinOutVer = l_pValues[kKeyPinOutVer].cut();
  a_rWrite.m_Offset = l_pValues[kKeyOffset].cut();
  const uint32_t l_Installed = a_rCard.installedVersion(a_rStatus);
  if (!cardAnswered(a_rWrite, a_rStatus)) return;
  if (!(l_pValues[kKeyVersion].cut() > l_Installed) && (a_Force & QVZEL_FORCE_UPDATE) == 0) {
    refuse(a_rWrite, eImageStep::kVersion, qvstatus::kInvalidParameter, a_rStatus);
    return;
  }

  if (!allFound(l_rCheck, {kKeyByteCount, kKeyCrc}) ||
      !allFit(l_rCheck, {kKeyByteCount, kKeyCrc})) {
    refuse(a_rWrite, eImageStep::kCountAndCrc, qvstatus::kOverflow, a_rStatus);
    return;
  }
  if (!l_rCheck.m_Decoded) decodeSectionPayload(a_pImage, l_rCheck, true, a_rStatus);
  if (a_rStatus.isFatal()) {
    a_rWrite.m_Step = eImageStep::kPayload;
    return;
  }
  // An image whose payload decodes to nothing is refused like a wrong count:
  // it would ask the driver to program an empty firmware.
  if (l_rCheck.m_DecodedLength != l_pValues[kKeyByteCount].cut() || l_rCheck.m_DecodedLength == 0) {
    refuse(a_rWrite, eImageStep::kByteCount, qvstatus::kInternal, a_rStatus);
    return;
  }
  // The declared checksum fits in 32 bits (checked above), so it is compared as written.
  if (static_cast<uint64_t>(l_rCheck.m_ComputedCrc) != l_pValues[kKeyCrc].m_Number.m_Value) {
    refuse(a_rWrite, eImageStep::kChecksum, qvstatus::kInternal, a_rStatus);
    return;
  }
  a_rWrite.m_Step = eImageStep::kNone;
}

void checkImageForCard(const char* a_pImage, uint32_t a_Length, uint32_t a_Force,
                       iImageCard& a_rCard, sImageWrite& a_rWrite, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  std::vector<sImageSection> l_Sections;
  scanImageSections(a_pImage, a_Length, l_Sections, a_rStatus);
  if (a_rStatus.isFatal() || l_Sections.empty()) {
    refuse(a_rWrite, eImageStep::kSections, qvstatus::kNotFound, a_rStatus);
    return;
  }

  // The flash ID is read once per section; a later match wins.
  const sImageSection* l_pSelected = nullptr;
  for (const sImageSection& l_rSection : l_Sections) {
    const uint32_t l_FlashId = a_rCard.flashId(a_rStatus);
    if (!cardAnswered(a_rWrite, a_rStatus)) return;
    if (l_FlashId == l_rSection.m_FlashId) {
      l_pSelected = &l_rSection;
      a_rWrite.m_SectionIndex = static_cast<uint32_t>(&l_rSection - l_Sections.data());
    }
  }
  if (l_pSelected == nullptr) {
    refuse(a_rWrite, eImageStep::kFlashType, qvstatus::kNotFound, a_rStatus);
    return;
  }
  readSectionCheck(a_pImage, a_Length, *l_pSelected, a_rWrite.m_Check);
  checkSectionForCard(a_pImage, a_Force, a_rCard, a_rWrite, a_rStatus);
}

}  // namespace nQVZEL_15_0
