// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ImageAnalysis.h"

#include <cstring>
#include <new>

namespace nQVZEL_15_0 {

namespace {

void note(sSectionAnalysis& a_rSection, eFinding a_Kind, uint32_t a_Key, bool a_Refuses) {
  a_rSection.m_Findings.push_back(sFinding{a_Kind, a_Key, a_Refuses});
}

// Line feed searches of one image. A section that takes a value from a
// later one asks again about the same value, so each key's last answer is
// kept (kImageKeyCount: the update type); the memo carries the last search
// over, so that a value that runs on to the end of the image is not read
// again for every section.
struct sLineFeeds {
  sSearchMemo m_Memo;
  bool m_Known[kImageKeyCount + 1] = {};
  uint32_t m_Begin[kImageKeyCount + 1] = {};
  bool m_Holds[kImageKeyCount + 1] = {};
};

bool holdsLineFeed(const char* a_pImage, uint32_t a_Length, uint32_t a_Key, uint32_t a_Begin,
                   uint32_t a_End, sLineFeeds& a_rLineFeeds) {
  if (!a_rLineFeeds.m_Known[a_Key] || a_rLineFeeds.m_Begin[a_Key] != a_Begin) {
    a_rLineFeeds.m_Known[a_Key] = true;
    a_rLineFeeds.m_Begin[a_Key] = a_Begin;
    a_rLineFeeds.m_Holds[a_Key] =
        findLineFeed(a_pImage, a_Length, a_Begin, &a_rLineFeeds.m_Memo) < a_End;
  }
  return a_rLineFeeds.m_Holds[a_Key];
}

void findHeaderFindings(const char* a_pImage, uint32_t a_Length, sSectionAnalysis& a_rSection,
                        sLineFeeds& a_rLineFeeds) {
  const sSectionEntry& l_rEntry = a_rSection.m_Entry;
  if (!l_rEntry.m_HasType) {
    note(a_rSection, eFinding::kTypeMissing, kImageKeyCount, true);
  } else if (l_rEntry.m_Section.m_FlashId == 0) {
    note(a_rSection, eFinding::kTypeUnknown, kImageKeyCount, true);
    if (holdsLineFeed(a_pImage, a_Length, kImageKeyCount, l_rEntry.m_TypeBegin, l_rEntry.m_TypeEnd,
                      a_rLineFeeds)) {
      note(a_rSection, eFinding::kLineFeedOnly, kImageKeyCount, false);
    }
  }
  for (uint32_t l_Key = 0; l_Key < kImageKeyCount; ++l_Key) {
    const sHeaderValue& l_rValue = a_rSection.m_Check.m_Values[l_Key];
    if (!l_rValue.m_Found) {
      note(a_rSection, eFinding::kKeyMissing, l_Key, true);
      continue;
    }
    if (l_rValue.m_KeyOffset >= l_rEntry.m_Section.m_End) {
      note(a_rSection, eFinding::kKeyBorrowed, l_Key, false);
    }
    if (!l_rValue.m_Number.m_HasDigits) note(a_rSection, eFinding::kNotNumeric, l_Key, false);
    if (!l_rValue.m_Number.m_FitsUnsigned32) {
      note(a_rSection, eFinding::kOutOfRange, l_Key, true);
    }
    if (holdsLineFeed(a_pImage, a_Length, l_Key, l_rValue.m_Begin, l_rValue.m_End, a_rLineFeeds)) {
      note(a_rSection, eFinding::kLineFeedOnly, l_Key, false);
    }
  }
  const sHeaderValue& l_rVersion = a_rSection.m_Check.m_Values[kKeyHeaderVersion];
  if (l_rVersion.m_Found && l_rVersion.m_Number.m_FitsUnsigned32 &&
      static_cast<int32_t>(l_rVersion.cut()) != kSupportedHeaderVersion) {
    note(a_rSection, eFinding::kHeaderVersion, kKeyHeaderVersion, true);
  }
}

void findPayloadFindings(const char* a_pImage, sSectionAnalysis& a_rSection, Status& a_rStatus) {
  sSectionCheck& l_rCheck = a_rSection.m_Check;
  if (l_rCheck.m_PayloadCode < 0) {
    note(a_rSection, eFinding::kNoEmptyLine, kImageKeyCount, true);
    return;
  }
  if (l_rCheck.m_PayloadLength == 0) {
    note(a_rSection, eFinding::kEmptyPayload, kImageKeyCount, true);
    return;
  }
  decodeSectionPayload(a_pImage, l_rCheck, false, a_rStatus);
  if (a_rStatus.isFatal()) return;
  if (l_rCheck.m_DecodedLength == 0) {
    note(a_rSection, eFinding::kDecodesToNothing, kImageKeyCount, true);
  }
  const sHeaderValue& l_rCount = l_rCheck.m_Values[kKeyByteCount];
  if (l_rCount.m_Found && l_rCount.cut() != l_rCheck.m_DecodedLength) {
    note(a_rSection, eFinding::kByteCount, kKeyByteCount, true);
  }
  const sHeaderValue& l_rCrc = l_rCheck.m_Values[kKeyCrc];
  if (l_rCrc.m_Found && l_rCrc.m_Number.m_Value != l_rCheck.m_ComputedCrc) {
    note(a_rSection, eFinding::kChecksum, kKeyCrc, true);
  }
}

// The update's own check for the card this section is meant for. A section
// without an accepted update type has no such card: the split refuses it.
void judgeForOwnCard(const char* a_pImage, sSectionAnalysis& a_rSection) {
  if (a_rSection.m_Entry.m_Section.m_FlashId == 0) {
    a_rSection.m_Code =
        a_rSection.m_Entry.m_HasType ? qvstatus::kNotSupported : qvstatus::kOverflow;
    a_rSection.m_Step = eImageStep::kSections;
    return;
  }
  const sHeaderValue& l_rSubsystem = a_rSection.m_Check.m_Values[kKeySubsystemId];
  cKnownCard l_Card(a_rSection.m_Entry.m_Section.m_FlashId,
                    l_rSubsystem.m_Found ? l_rSubsystem.cut() : 0, 0);
  sImageWrite l_Write;
  l_Write.m_Check = std::move(a_rSection.m_Check);
  Status l_Status;
  checkSectionForCard(a_pImage, QVZEL_FORCE_UPDATE, l_Card, l_Write, l_Status);
  a_rSection.m_Check = std::move(l_Write.m_Check);
  a_rSection.m_Code = l_Status.result();
  a_rSection.m_Step = l_Write.m_Step;
}

}  // namespace

int32_t sImageAnalysis::imageCode() const {
  if (m_ScanCode < 0) return m_ScanCode;
  return m_Sections.empty() ? qvstatus::kNotFound : qvstatus::kSuccess;
}

bool sImageAnalysis::valid() const {
  if (imageCode() < 0) return false;
  for (const sSectionAnalysis& l_rSection : m_Sections) {
    if (!l_rSection.m_Superseded && l_rSection.m_Code < 0) return false;
  }
  return true;
}

void analyseImage(const char* a_pImage, uint32_t a_Length, sImageAnalysis& a_rAnalysis,
                  Status& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  a_rAnalysis.m_Length = a_Length;
  {
    std::vector<sImageSection> l_Sections;
    Status l_Scan;
    scanImageSections(a_pImage, a_Length, l_Sections, l_Scan);
    if (l_Scan.code == qvstatus::kInvalidParameter || l_Scan.code == qvstatus::kMemoryFull) {
      a_rStatus.merge(l_Scan);
      return;
    }
    a_rAnalysis.m_ScanCode = l_Scan.result();
  }
  std::vector<sSectionEntry> l_Entries;
  splitImageSections(a_pImage, a_Length, l_Entries, a_rStatus);
  if (a_rStatus.isFatal()) return;
  try {
    a_rAnalysis.m_Sections.resize(l_Entries.size());
    sKeyMemo l_Memo;
    sLineFeeds l_LineFeeds;
    for (size_t l_Index = 0; l_Index < l_Entries.size(); ++l_Index) {
      sSectionAnalysis& l_rSection = a_rAnalysis.m_Sections[l_Index];
      l_rSection.m_Entry = l_Entries[l_Index];
      readSectionCheck(a_pImage, a_Length, l_rSection.m_Entry.m_Section, l_rSection.m_Check,
                       &l_Memo);
      findHeaderFindings(a_pImage, a_Length, l_rSection, l_LineFeeds);
      findPayloadFindings(a_pImage, l_rSection, a_rStatus);
      if (a_rStatus.isFatal()) return;
      judgeForOwnCard(a_pImage, l_rSection);
    }
    // A later section of the same flash type is the one written.
    bool l_LaterIssi = false;
    bool l_LaterSst = false;
    for (size_t l_Index = l_Entries.size(); l_Index-- > 0;) {
      sSectionAnalysis& l_rSection = a_rAnalysis.m_Sections[l_Index];
      const uint32_t l_FlashId = l_rSection.m_Entry.m_Section.m_FlashId;
      bool& l_rLater = l_FlashId == kIssiFlashId ? l_LaterIssi : l_LaterSst;
      if (l_FlashId == 0) continue;
      if (l_rLater) {
        l_rSection.m_Superseded = true;
        note(l_rSection, eFinding::kSuperseded, kImageKeyCount, false);
      }
      l_rLater = true;
    }
  } catch (const std::bad_alloc&) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kMemoryFull);
  }
}

}  // namespace nQVZEL_15_0
