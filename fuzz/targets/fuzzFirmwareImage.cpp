// SPDX-License-Identifier: LGPL-2.1-or-later
// Fuzz target: the firmware image path in the order an update walks it:
// section scan, every header key of the chosen section, the header value
// conversions, the payload's place, its decoding and its checksum. The image
// is any bytes; nothing may be read outside it and every step must either
// succeed with results inside the image or record an error.
#include <vector>

#include "FirmwareImage.h"
#include "ImageAnalysis.h"
#include "ImagePayload.h"
#include "fuzzCheck.h"

using namespace nQVZEL_15_0;

namespace {

const char* const kHeaderKeys[] = {kHeaderVersionKey, kSubSystemIdKey, kPinOutAddrKey,
                                   kPinOutVerKey,     kOffsetKey,      kVersionKey,
                                   kByteCountKey,     kCrcKey,         kUpdateTypeKey};

// One section as the update would treat it after choosing it for the card.
void walkSection(const char* a_pImage, uint32_t a_Length, const sImageSection& a_rSection) {
  const char* l_pText = a_pImage + a_rSection.m_Start;
  const uint32_t l_TextLength = a_Length - a_rSection.m_Start;
  for (const char* l_pKey : kHeaderKeys) {
    Status l_Status;
    std::string l_Value = "unchanged";
    getKeyValue(l_pText, l_TextLength, l_pKey, l_Value, l_Status);
    if (l_Status.isFatal()) {
      FUZZ_CHECK(l_Status.code == qvstatus::kOverflow);
      FUZZ_CHECK(l_Value == "unchanged");
      continue;
    }
    // A value never holds the CR LF that ends it and never outgrows the text.
    FUZZ_CHECK(l_Value.size() < l_TextLength);
    FUZZ_CHECK(l_Value.find("\r\n") == std::string::npos);
    toSignedKeyValue(l_Value, 10);
    toUnsignedKeyValue(l_Value, 16);
    toWideUnsignedKeyValue(l_Value, 10);
  }

  Status l_Status;
  uint32_t l_PayloadStart = 0;
  uint32_t l_PayloadLength = 0;
  findSectionPayload(a_pImage, a_Length, a_rSection, &l_PayloadStart, &l_PayloadLength, l_Status);
  if (l_Status.isFatal()) {
    FUZZ_CHECK(l_Status.code == qvstatus::kOverflow);
    return;
  }
  FUZZ_CHECK(l_PayloadStart >= a_rSection.m_Start);
  FUZZ_CHECK(static_cast<uint64_t>(l_PayloadStart) + l_PayloadLength == a_rSection.m_End);

  // The update sizes the buffer by the character count: an upper bound.
  std::unique_ptr<uint8_t[]> l_Buffer(new uint8_t[l_PayloadLength == 0 ? 1 : l_PayloadLength]);
  const size_t l_Decoded =
      decodePayload(a_pImage + l_PayloadStart, l_Buffer.get(), l_PayloadLength, l_Status);
  if (l_PayloadLength == 0) {
    FUZZ_CHECK(l_Status.code == qvstatus::kInvalidParameter && l_Decoded == 0);
    return;
  }
  FUZZ_CHECK(l_Status.isNotFatal());
  FUZZ_CHECK(l_Decoded <= static_cast<size_t>(l_PayloadLength) * 3 / 4);
  computeImageCrc(l_Buffer.get(), static_cast<uint32_t>(l_Decoded));
}

// The examination check-image makes agrees with the update's own check: a
// section's verdict matches its refusing findings, and a forced update for
// a card of the chosen section's flash type and subsystem succeeds exactly
// when that section's verdict is valid.
void compareWithUpdate(const char* a_pImage, uint32_t a_Length) {
  sImageAnalysis l_Analysis;
  Status l_Status;
  analyseImage(a_pImage, a_Length, l_Analysis, l_Status);
  if (l_Status.isFatal()) {
    FUZZ_CHECK(l_Status.code == qvstatus::kMemoryFull);
    return;
  }
  for (const sSectionAnalysis& l_rSection : l_Analysis.m_Sections) {
    bool l_Refuses = false;
    for (const sFinding& l_rFinding : l_rSection.m_Findings) l_Refuses |= l_rFinding.m_Refuses;
    FUZZ_CHECK(l_Refuses == (l_rSection.m_Code < 0));
  }
  if (l_Analysis.imageCode() < 0) return;
  for (const uint32_t l_FlashId : {kIssiFlashId, kSstFlashId}) {
    const sSectionAnalysis* l_pLast = nullptr;
    for (const sSectionAnalysis& l_rSection : l_Analysis.m_Sections) {
      if (l_rSection.m_Entry.m_Section.m_FlashId == l_FlashId) l_pLast = &l_rSection;
    }
    if (l_pLast == nullptr) continue;
    const sHeaderValue& l_rSubsystem = l_pLast->m_Check.m_Values[kKeySubsystemId];
    cKnownCard l_Card(l_FlashId, l_rSubsystem.m_Found ? l_rSubsystem.cut() : 0, 0);
    sImageWrite l_Write;
    Status l_Update;
    checkImageForCard(a_pImage, a_Length, 1, l_Card, l_Write, l_Update);
    FUZZ_CHECK(l_Update.code == l_pLast->m_Code);
    FUZZ_CHECK(!l_pLast->m_Superseded);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* a_pData, size_t a_Size) {
  if (a_Size > (1u << 20)) return 0;
  const std::unique_ptr<char[]> l_Image = qvzfuzz::exactCopy(a_pData, a_Size);
  const uint32_t l_Length = static_cast<uint32_t>(a_Size);

  Status l_Status;
  std::vector<sImageSection> l_Sections;
  scanImageSections(l_Image.get(), l_Length, l_Sections, l_Status);
  if (l_Status.isFatal()) {
    FUZZ_CHECK(l_Status.code == qvstatus::kOverflow || l_Status.code == qvstatus::kNotSupported ||
               l_Status.code == qvstatus::kMemoryFull);
  }

  // Sections lie inside the image, in order, each starting at its key.
  const size_t l_KeyLength = sizeof(kHeaderVersionKey) - 1;
  uint64_t l_PreviousEnd = 0;
  for (const sImageSection& l_rSection : l_Sections) {
    FUZZ_CHECK(l_rSection.m_Start >= l_PreviousEnd);
    FUZZ_CHECK(l_rSection.m_Start <= l_rSection.m_End && l_rSection.m_End <= l_Length);
    FUZZ_CHECK(l_rSection.m_Start + l_KeyLength < l_Length);
    FUZZ_CHECK(std::memcmp(l_Image.get() + l_rSection.m_Start, kHeaderVersionKey, l_KeyLength) ==
               0);
    FUZZ_CHECK(l_rSection.m_FlashId == kIssiFlashId || l_rSection.m_FlashId == kSstFlashId);
    l_PreviousEnd = l_rSection.m_End;
  }

  // The update keeps the last section of the card's flash type; walk the
  // last one of each type.
  const sImageSection* l_pLast[2] = {nullptr, nullptr};
  for (const sImageSection& l_rSection : l_Sections) {
    l_pLast[l_rSection.m_FlashId == kIssiFlashId ? 0 : 1] = &l_rSection;
  }
  for (const sImageSection* l_pSection : l_pLast) {
    if (l_pSection != nullptr) walkSection(l_Image.get(), l_Length, *l_pSection);
  }
  compareWithUpdate(l_Image.get(), l_Length);
  return 0;
}
