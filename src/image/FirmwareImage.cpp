// SPDX-License-Identifier: LGPL-2.1-or-later
#include "FirmwareImage.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace nQVZEL_15_0 {

namespace {

// The value that starts at a_Begin, up to the first CR LF (or the end).
void readValueAt(const char* a_pText, uint32_t a_TextLength, uint32_t a_Begin,
                 std::string& a_rValue, Status& a_rStatus) {
  const uint32_t l_End = findValueEnd(a_pText, a_TextLength, a_Begin);
  try {
    a_rValue.assign(a_pText + a_Begin, l_End - a_Begin);
  } catch (const std::bad_alloc&) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kMemoryFull);
  }
}

// White space as the C locale's isspace sees it.
bool isConversionSpace(char a_Char) { return a_Char == ' ' || (a_Char >= '\t' && a_Char <= '\r'); }

// Value of a digit in bases up to 16, or 16 for any other byte.
int digitValue(char a_Char) {
  if (a_Char >= '0' && a_Char <= '9') return a_Char - '0';
  if (a_Char >= 'a' && a_Char <= 'f') return a_Char - 'a' + 10;
  if (a_Char >= 'A' && a_Char <= 'F') return a_Char - 'A' + 10;
  return 16;
}

// The key byte a search jumps between: a colon where the key has one (Base64
// payload never holds it, so the search runs through payload at memchr
// speed), else its first byte.
size_t anchorOf(const char* a_pKey, size_t a_KeyLength) {
  const void* l_pColon = std::memchr(a_pKey, ':', a_KeyLength);
  return l_pColon == nullptr ? 0 : static_cast<size_t>(static_cast<const char*>(l_pColon) - a_pKey);
}

}  // namespace

namespace {

// First CR LF that starts in [a_Begin, a_Limit), or a_Limit.
uint32_t firstCrLf(const char* a_pText, uint32_t a_TextLength, uint32_t a_Begin, uint32_t a_Limit) {
  uint32_t l_Position = a_Begin;
  while (l_Position < a_Limit) {
    const void* l_pHit = std::memchr(a_pText + l_Position, '\r', a_Limit - l_Position);
    if (l_pHit == nullptr) break;
    l_Position = static_cast<uint32_t>(static_cast<const char*>(l_pHit) - a_pText);
    if (l_Position + 1 < a_TextLength && a_pText[l_Position + 1] == '\n') return l_Position;
    ++l_Position;
  }
  return a_Limit;
}

// First line feed in [a_Begin, a_Limit), or a_Limit.
uint32_t firstLineFeed(const char* a_pText, uint32_t, uint32_t a_Begin, uint32_t a_Limit) {
  const void* l_pHit = std::memchr(a_pText + a_Begin, '\n', a_Limit - a_Begin);
  return l_pHit == nullptr ? a_Limit
                           : static_cast<uint32_t>(static_cast<const char*>(l_pHit) - a_pText);
}

// The first match at or after a_Begin by a_Search, using and updating the
// memo: a start inside its range has the answer at once, one just before it
// searches only up to the range.
template <typename tSearch>
uint32_t searchWithMemo(const char* a_pText, uint32_t a_TextLength, uint32_t a_Begin,
                        sSearchMemo* a_pMemo, tSearch a_Search) {
  if (a_Begin >= a_TextLength) return a_TextLength;
  if (a_pMemo == nullptr) return a_Search(a_pText, a_TextLength, a_Begin, a_TextLength);
  sSearchMemo& l_rMemo = *a_pMemo;
  if (l_rMemo.m_Valid && a_Begin >= l_rMemo.m_From && a_Begin <= l_rMemo.m_At) {
    return l_rMemo.m_At;
  }
  uint32_t l_At = 0;
  if (l_rMemo.m_Valid && a_Begin < l_rMemo.m_From) {
    l_At = a_Search(a_pText, a_TextLength, a_Begin, l_rMemo.m_From);
    if (l_At == l_rMemo.m_From) l_At = l_rMemo.m_At;
  } else {
    l_At = a_Search(a_pText, a_TextLength, a_Begin, a_TextLength);
  }
  l_rMemo = sSearchMemo{true, a_Begin, l_At};
  return l_At;
}

}  // namespace

uint32_t findValueEnd(const char* a_pText, uint32_t a_TextLength, uint32_t a_Begin,
                      sSearchMemo* a_pMemo) {
  return searchWithMemo(a_pText, a_TextLength, a_Begin, a_pMemo, firstCrLf);
}

uint32_t findLineFeed(const char* a_pText, uint32_t a_TextLength, uint32_t a_Begin,
                      sSearchMemo* a_pMemo) {
  return searchWithMemo(a_pText, a_TextLength, a_Begin, a_pMemo, firstLineFeed);
}

uint32_t flashIdOfUpdateType(const char* a_pValue, uint32_t a_Length) {
  const auto l_Is = [&](const char* a_pType, size_t a_TypeLength) {
    return a_Length == a_TypeLength && std::memcmp(a_pValue, a_pType, a_TypeLength) == 0;
  };
  if (l_Is(kIssiUpdateType, sizeof(kIssiUpdateType) - 1)) return kIssiFlashId;
  if (l_Is(kSstUpdateType, sizeof(kSstUpdateType) - 1)) return kSstFlashId;
  return 0;
}

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
  // Jumps from one occurrence of the key's anchor byte to the next: images
  // are megabytes of payload that a byte-by-byte comparison would crawl over.
  const size_t l_Anchor = anchorOf(a_pKey, l_KeyLength);
  uint64_t l_Position = a_From;
  while (l_KeyLength != 0 && l_Position + l_KeyLength < a_TextLength) {
    // Candidates p run from l_Position to a_TextLength - l_KeyLength - 1.
    const void* l_pHit = std::memchr(a_pText + l_Position + l_Anchor, a_pKey[l_Anchor],
                                     static_cast<size_t>(a_TextLength - l_KeyLength - l_Position));
    if (l_pHit == nullptr) break;
    l_Position = static_cast<uint64_t>(static_cast<const char*>(l_pHit) - a_pText) - l_Anchor;
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

void splitImageSections(const char* a_pImage, uint32_t a_Length,
                        std::vector<sSectionEntry>& a_rEntries, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  if (a_pImage == nullptr) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kInvalidParameter);
    return;
  }
  // Each section's update type is the first "UpdateType::" at or after its
  // start. Remembering the last one found keeps the split linear in the image
  // length even when many sections share one type line further on.
  bool l_Searched = false;
  bool l_HaveType = false;
  uint32_t l_TypeKey = 0;
  sSearchMemo l_TypeEnd;
  const uint32_t l_TypeKeyLength = static_cast<uint32_t>(sizeof(kUpdateTypeKey) - 1);

  Status l_Search;
  uint32_t l_Start = findKey(a_pImage, a_Length, 0, kHeaderVersionKey, l_Search);
  while (l_Search.isNotFatal()) {
    const uint32_t l_Next = findKey(a_pImage, a_Length, l_Start + 1, kHeaderVersionKey, l_Search);
    // The byte before the next key (normally its line's LF) is in no section.
    const uint32_t l_End = l_Search.isFatal() ? a_Length : l_Next - 1;
    if (!l_Searched || (l_HaveType && l_TypeKey < l_Start)) {
      Status l_TypeSearch;
      l_TypeKey = findKey(a_pImage, a_Length, l_Start, kUpdateTypeKey, l_TypeSearch);
      l_HaveType = l_TypeSearch.isNotFatal();
      l_Searched = true;
    }
    sSectionEntry l_Entry{{l_Start, l_End, 0}, l_HaveType, l_TypeKey, 0, 0};
    if (l_HaveType) {
      l_Entry.m_TypeBegin = l_TypeKey + l_TypeKeyLength;
      l_Entry.m_TypeEnd = findValueEnd(a_pImage, a_Length, l_Entry.m_TypeBegin, &l_TypeEnd);
      l_Entry.m_Section.m_FlashId = flashIdOfUpdateType(a_pImage + l_Entry.m_TypeBegin,
                                                        l_Entry.m_TypeEnd - l_Entry.m_TypeBegin);
    }
    try {
      a_rEntries.push_back(l_Entry);
    } catch (const std::bad_alloc&) {
      QVZ_SET_STATUS(a_rStatus, qvstatus::kMemoryFull);
      return;
    }
    l_Start = l_Next;
  }
}

void scanImageSections(const char* a_pImage, uint32_t a_Length,
                       std::vector<sImageSection>& a_rSections, Status& a_rStatus) {
  std::vector<sSectionEntry> l_Entries;
  splitImageSections(a_pImage, a_Length, l_Entries, a_rStatus);
  if (a_rStatus.isFatal()) return;
  // An image with bytes but no section fails where the first type search
  // would: in the empty remainder after the missing key.
  if (l_Entries.empty() && a_Length > 0) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kOverflow);
    return;
  }
  for (const sSectionEntry& l_rEntry : l_Entries) {
    if (!l_rEntry.m_HasType) {
      QVZ_SET_STATUS(a_rStatus, qvstatus::kOverflow);
      return;
    }
    if (l_rEntry.m_Section.m_FlashId == 0) {
      QVZ_SET_STATUS(a_rStatus, qvstatus::kNotSupported);
      return;
    }
    try {
      a_rSections.push_back(l_rEntry.m_Section);
    } catch (const std::bad_alloc&) {
      QVZ_SET_STATUS(a_rStatus, qvstatus::kMemoryFull);
      return;
    }
  }
}

void findSectionPayload(const char* a_pImage, uint32_t a_Length, const sImageSection& a_rSection,
                        uint32_t* a_pPayloadStart, uint32_t* a_pPayloadLength, Status& a_rStatus,
                        sSearchMemo* a_pBlankLine) {
  if (a_rStatus.isFatal()) return;
  if (a_pImage == nullptr || a_pPayloadStart == nullptr || a_pPayloadLength == nullptr ||
      a_rSection.m_Start > a_rSection.m_End || a_rSection.m_End > a_Length) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kInvalidParameter);
    return;
  }
  // The blank line is the first "\r\n\r\n" from the section's start with at
  // least one byte after it (m_At: its offset, or a_Length for none). One
  // found at or after this start, or none found from an earlier one, answers
  // for this section too.
  static const char l_BlankLine[] = "\r\n\r\n";
  const uint32_t l_BlankLength = static_cast<uint32_t>(sizeof(l_BlankLine) - 1);
  sSearchMemo l_Local;
  sSearchMemo& l_rMemo = a_pBlankLine != nullptr ? *a_pBlankLine : l_Local;
  if (!l_rMemo.m_Valid || l_rMemo.m_From > a_rSection.m_Start ||
      (l_rMemo.m_At != a_Length && l_rMemo.m_At < a_rSection.m_Start)) {
    Status l_Search;
    const uint32_t l_At = findKey(a_pImage, a_Length, a_rSection.m_Start, l_BlankLine, l_Search);
    l_rMemo = sSearchMemo{true, a_rSection.m_Start, l_Search.isFatal() ? a_Length : l_At};
  }
  if (l_rMemo.m_At == a_Length) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kOverflow);
    return;
  }
  // The blank line is searched to the end of the image, so it may belong to a
  // later section; the payload length would then wrap below zero.
  const uint32_t l_PayloadStart = l_rMemo.m_At + l_BlankLength;
  if (l_PayloadStart > a_rSection.m_End) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kOverflow);
    return;
  }
  *a_pPayloadStart = l_PayloadStart;
  *a_pPayloadLength = a_rSection.m_End - l_PayloadStart;
}

sHeaderNumber convertHeaderNumber(const char* a_pBegin, const char* a_pEnd, int a_Base,
                                  bool a_Signed) {
  static_assert(sizeof(long) == sizeof(uint64_t), "the conversions are those of a 64-bit long");
  sHeaderNumber l_Number;
  const char* l_pChar = a_pBegin;
  while (l_pChar < a_pEnd && isConversionSpace(*l_pChar)) ++l_pChar;
  bool l_Negative = false;
  if (l_pChar < a_pEnd && (*l_pChar == '+' || *l_pChar == '-')) {
    l_Negative = *l_pChar == '-';
    ++l_pChar;
  }
  // "0x" counts as a prefix only when a hexadecimal digit follows it.
  if (a_Base == 16 && a_pEnd - l_pChar > 2 && l_pChar[0] == '0' &&
      (l_pChar[1] == 'x' || l_pChar[1] == 'X') && digitValue(l_pChar[2]) < 16) {
    l_pChar += 2;
  }
  const uint64_t l_Base = static_cast<uint64_t>(a_Base);
  uint64_t l_Magnitude = 0;
  bool l_OutOfRange = false;
  for (; l_pChar < a_pEnd; ++l_pChar) {
    const uint64_t l_Digit = static_cast<uint64_t>(digitValue(*l_pChar));
    if (l_Digit >= l_Base) break;
    l_Number.m_HasDigits = true;
    if (l_Magnitude > (UINT64_MAX - l_Digit) / l_Base) {
      l_OutOfRange = true;
    } else {
      l_Magnitude = l_Magnitude * l_Base + l_Digit;
    }
  }
  const uint64_t l_Negated = 0 - l_Magnitude;
  l_Number.m_Negative = l_Negative && (l_Magnitude != 0 || l_OutOfRange);
  l_Number.m_FitsUnsigned32 = !l_OutOfRange && !l_Number.m_Negative && l_Magnitude <= UINT32_MAX;
  if (a_Signed) {
    const uint64_t l_Limit = l_Negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    if (l_OutOfRange || l_Magnitude > l_Limit) {
      l_Number.m_Value = l_Negative ? uint64_t{1} << 63 : l_Limit;
    } else {
      l_Number.m_Value = l_Negative ? l_Negated : l_Magnitude;
    }
  } else {
    l_Number.m_Value = l_OutOfRange ? UINT64_MAX : (l_Negative ? l_Negated : l_Magnitude);
  }
  return l_Number;
}

namespace {
sHeaderNumber convertText(const std::string& a_rValue, int a_Base, bool a_Signed) {
  return convertHeaderNumber(a_rValue.data(), a_rValue.data() + a_rValue.size(), a_Base, a_Signed);
}
}  // namespace

int32_t toSignedKeyValue(const std::string& a_rValue, int a_Base) {
  return static_cast<int32_t>(static_cast<uint32_t>(convertText(a_rValue, a_Base, true).m_Value));
}

uint32_t toUnsignedKeyValue(const std::string& a_rValue, int a_Base) {
  return static_cast<uint32_t>(convertText(a_rValue, a_Base, false).m_Value);
}

uint64_t toWideUnsignedKeyValue(const std::string& a_rValue, int a_Base) {
  return convertText(a_rValue, a_Base, false).m_Value;
}

}  // namespace nQVZEL_15_0
