// SPDX-License-Identifier: LGPL-2.1-or-later
// Header half of the firmware image format: key search, header values,
// the payload's start and the split of an image into flash-type sections.
//
// An image is a byte range [text, text + length) that is parsed in place: it
// need not be NUL-terminated, may hold any bytes, and no operation here reads
// outside it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ImagePayload.h"
#include "Status.h"
#include "qvzelif.h"

namespace nQVZEL_15_0 {

// Header keys; each includes its two colons.
constexpr const char kHeaderVersionKey[] = "HeaderVersion::";
constexpr const char kUpdateTypeKey[] = "UpdateType::";
constexpr const char kSubSystemIdKey[] = "SubSystemID::";
constexpr const char kPinOutAddrKey[] = "PinOutAddr::";
constexpr const char kPinOutVerKey[] = "PinOutVer::";
constexpr const char kOffsetKey[] = "Offset::";
// Searched only at the start of a line so that it never matches inside
// "HeaderVersion::".
constexpr const char kVersionKey[] = "\nVersion::";
constexpr const char kByteCountKey[] = "ByteCount::";
constexpr const char kCrcKey[] = "CRC::";

// The two accepted update types, double quotes included.
constexpr const char kSstUpdateType[] = "\"SSTFlashFWUpdate\"";
constexpr const char kIssiUpdateType[] = "\"ISSIFlashFWUpdate\"";

// Flash identifiers as the card reports them.
constexpr uint32_t kIssiFlashId = QVZEL_FLASH_ID_ISSI;
constexpr uint32_t kSstFlashId = QVZEL_FLASH_ID_SST;

// The header format version an update accepts.
constexpr int32_t kSupportedHeaderVersion = 2;

// One section of an image: [m_Start, m_End) and the flash type it is for.
struct sImageSection {
  uint32_t m_Start;  // offset of the section's "HeaderVersion::" key
  uint32_t m_End;    // one past its last byte
  uint32_t m_FlashId;
};

// A section of the split with its update type as written. m_Section's flash
// ID is 0 when the type is missing or is not one of the two accepted texts.
struct sSectionEntry {
  sImageSection m_Section;
  bool m_HasType;        // an "UpdateType::" follows the section's start
  uint32_t m_TypeKey;    // offset of that key
  uint32_t m_TypeBegin;  // the type's value: [m_TypeBegin, m_TypeEnd)
  uint32_t m_TypeEnd;
};

// A header number converted by the rules of strtol (a_Signed) or strtoul on
// a 64-bit platform: leading white space, a sign, an optional 0x for base
// 16, digits up to the first other byte; no digits gives 0, a value out of
// range saturates.
struct sHeaderNumber {
  uint64_t m_Value = 0;      // the conversion's result (two's complement when signed)
  bool m_HasDigits = false;  // at least one digit of the base was read
  bool m_Negative = false;   // a minus sign before digits that are not all 0
  // The written number is one of 0 to 0xFFFFFFFF: header numbers are
  // unsigned 32-bit, and an update refuses a section with any other.
  bool m_FitsUnsigned32 = true;
};

// First position p >= a_From at which a_pKey occurs with at least one byte
// after it. Not found: records overflow and returns a_TextLength.
uint32_t findKey(const char* a_pText, uint32_t a_TextLength, uint32_t a_From, const char* a_pKey,
                 Status& a_rStatus);

// The bytes after the first occurrence of a_pKey up to the next CR LF (or the
// end of the text). On failure a_rValue is left unchanged.
void getKeyValue(const char* a_pText, uint32_t a_TextLength, const char* a_pKey,
                 std::string& a_rValue, Status& a_rStatus);

// Offset just after the first blank line ("\r\n\r\n"); at least one payload
// byte must follow. Not found: records overflow and returns a_TextLength.
uint32_t findPayloadOffset(const char* a_pText, uint32_t a_TextLength, Status& a_rStatus);

// What an earlier search of one text for the next match learnt: no match
// starts in [m_From, m_At), and one starts at m_At (or m_At is the text's
// length). Searches from nearby starts then need not run over that range
// again: every search of a header value may run to the end of the image, and
// an image of many sections would otherwise be read once per value.
struct sSearchMemo {
  bool m_Valid = false;
  uint32_t m_From = 0;
  uint32_t m_At = 0;
};

// End of the value that starts at a_Begin: the first CR LF at or after it,
// or a_TextLength. a_pMemo (optional) must always come with the same text.
uint32_t findValueEnd(const char* a_pText, uint32_t a_TextLength, uint32_t a_Begin,
                      sSearchMemo* a_pMemo = nullptr);

// First line feed at or after a_Begin, or a_TextLength; a_pMemo as above.
uint32_t findLineFeed(const char* a_pText, uint32_t a_TextLength, uint32_t a_Begin,
                      sSearchMemo* a_pMemo = nullptr);

// Flash ID of an update type value: kIssiFlashId or kSstFlashId for the two
// accepted texts (exactly, quotes included), 0 for anything else.
uint32_t flashIdOfUpdateType(const char* a_pValue, uint32_t a_Length);

// Splits an image at every "HeaderVersion::" and finds each section's update
// type (the first "UpdateType::" at or after its start), whatever it says.
// Records only invalid parameter and memory full.
void splitImageSections(const char* a_pImage, uint32_t a_Length,
                        std::vector<sSectionEntry>& a_rEntries, Status& a_rStatus);

// Appends one record per section, in image order. An update type other than
// the two accepted texts records not supported.
void scanImageSections(const char* a_pImage, uint32_t a_Length,
                       std::vector<sImageSection>& a_rSections, Status& a_rStatus);

// Payload of a section: from just after its header's blank line (searched
// from the section's start to the image's end) up to the section's end. A
// missing blank line, or one that runs past the section's end, records
// overflow and writes nothing; a section outside the image records invalid
// parameter. The payload may be empty (length 0).
// a_pBlankLine (optional) remembers the blank line found for one section
// (its offset, or "none") for the sections after it of the same image.
void findSectionPayload(const char* a_pImage, uint32_t a_Length, const sImageSection& a_rSection,
                        uint32_t* a_pPayloadStart, uint32_t* a_pPayloadLength, Status& a_rStatus,
                        sSearchMemo* a_pBlankLine = nullptr);

// Converts the bytes [a_pBegin, a_pEnd) (a NUL ends them too).
sHeaderNumber convertHeaderNumber(const char* a_pBegin, const char* a_pEnd, int a_Base,
                                  bool a_Signed);

// Header value conversions (strtol / strtoul rules: leading white space, a
// sign, an optional 0x for base 16; no digits gives 0).
// Signed conversion cut to 32 bits.
int32_t toSignedKeyValue(const std::string& a_rValue, int a_Base);
// Unsigned conversion cut to 32 bits.
uint32_t toUnsignedKeyValue(const std::string& a_rValue, int a_Base);
// Unsigned conversion at full width (the checksum is compared this way, so a
// value above 4294967295 never matches).
uint64_t toWideUnsignedKeyValue(const std::string& a_rValue, int a_Base);

}  // namespace nQVZEL_15_0
