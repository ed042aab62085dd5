// SPDX-License-Identifier: LGPL-2.1-or-later
// Every check a firmware update makes before its driver request, in the
// update's order and with its codes: the section split, the section for the
// card's flash, the header against the card, the payload's decoding, length
// and checksum. Bytes in, findings out; the card's values come through
// iImageCard, so the library asks its driver and the tool passes values it
// read through the exported functions, and both get the same verdict.
#pragma once

#include <cstdint>
#include <memory>

#include "FirmwareImage.h"
#include "ImagePayload.h"
#include "Status.h"

namespace nQVZEL_15_0 {

// The header keys an update reads, in the order it reads them.
enum eImageKey : uint32_t {
  kKeyHeaderVersion,
  kKeySubsystemId,
  kKeyPinOutAddr,
  kKeyPinOutVer,
  kKeyOffset,
  kKeyVersion,
  kKeyByteCount,
  kKeyCrc,
  kImageKeyCount
};

// How an update converts one key's value.
struct sImageKey {
  const char* m_pKey;
  int m_Base;
  bool m_Signed;
};

extern const sImageKey kImageKeys[kImageKeyCount];

// One header value as an update reads it: the key is searched from the
// section's start to the end of the image.
struct sHeaderValue {
  bool m_Found = false;
  uint32_t m_KeyOffset = 0;  // the key's offset in the image
  uint32_t m_Begin = 0;      // the value's bytes [m_Begin, m_End) in the image
  uint32_t m_End = 0;
  sHeaderNumber m_Number;  // converted by the key's rules
  // The value as the update keeps it: cut to 32 bits.
  uint32_t cut() const { return static_cast<uint32_t>(m_Number.m_Value); }
};

// What an update has learnt about one section.
struct sSectionCheck {
  sImageSection m_Section{0, 0, 0};
  sHeaderValue m_Values[kImageKeyCount];
  int32_t m_PayloadCode = qvstatus::kSuccess;  // why the payload cannot be found
  uint32_t m_PayloadStart = 0;
  uint32_t m_PayloadLength = 0;  // Base64 characters
  bool m_Decoded = false;
  uint32_t m_DecodedLength = 0;
  uint32_t m_ComputedCrc = 0;
  std::unique_ptr<uint8_t[]> m_pBytes;  // the decoded firmware, when kept
};

// Remembers where each key was last found, so that reading the headers of
// all sections in image order stays linear although every search may run to
// the end of the image.
struct sKeyMemo {
  bool m_Searched[kImageKeyCount] = {};
  sHeaderValue m_Last[kImageKeyCount];
  sSearchMemo m_ValueEnd;   // the last CR LF search of a value's end
  sSearchMemo m_BlankLine;  // the last search of a header's blank line
};

// The card's values, read when the update needs them.
class iImageCard {
 public:
  virtual ~iImageCard() = default;
  virtual uint32_t flashId(Status& a_rStatus) = 0;
  virtual uint32_t subsystemId(Status& a_rStatus) = 0;
  virtual uint32_t installedVersion(Status& a_rStatus) = 0;
};

// A card whose values are known beforehand.
class cKnownCard : public iImageCard {
 public:
  cKnownCard(uint32_t a_FlashId, uint32_t a_SubsystemId, uint32_t a_InstalledVersion)
      : m_FlashId(a_FlashId),
        m_SubsystemId(a_SubsystemId),
        m_InstalledVersion(a_InstalledVersion) {}
  uint32_t flashId(Status&) override { return m_FlashId; }
  uint32_t subsystemId(Status&) override { return m_SubsystemId; }
  uint32_t installedVersion(Status&) override { return m_InstalledVersion; }

 private:
  uint32_t m_FlashId;
  uint32_t m_SubsystemId;
  uint32_t m_InstalledVersion;
};

// The image check of one update: which check refused it, and what the
// driver request carries when none did.
enum class eImageStep {
  kNone,           // every check passed
  kSections,       // the split (no section, an update type missing or unknown)
  kFlashType,      // no section for the card's flash
  kHeaderVersion,  // missing, out of range, or not the supported version
  kSubsystem,      // missing, out of range, or not the card's
  kHeaderValues,   // a pin-out, offset or version value missing or out of range
  kVersion,        // not newer and not forced
  kCountAndCrc,    // byte count or checksum missing or out of range
  kPayload,        // no empty line inside the section, or no payload
  kByteCount,      // decoded length differs from the byte count (or is 0)
  kChecksum,       // checksum differs
  kCard            // a read of the card's values failed
};

struct sImageWrite {
  eImageStep m_Step = eImageStep::kNone;
  sSectionCheck m_Check;  // the selected section, when one was
  uint32_t m_SectionIndex = 0;
  uint32_t m_PinOutAddr = 0;
  uint32_t m_PinOutVer = 0;
  uint32_t m_Offset = 0;
};

// A buffer for an image or its payload (null when there is no memory). A
// large one is asked to be backed by huge pages: tens of megabytes of fresh
// memory otherwise take one page fault per 4 KiB, which costs as much as
// decoding into it.
std::unique_ptr<uint8_t[]> allocateImageBuffer(size_t a_Size);

// Reads every header value of a section and finds its payload; decodes
// nothing. a_pMemo (optional) carries searches over to the next section.
void readSectionCheck(const char* a_pImage, uint32_t a_Length, const sImageSection& a_rSection,
                      sSectionCheck& a_rCheck, sKeyMemo* a_pMemo = nullptr);

// Decodes the section's payload into one buffer and computes its checksum;
// keeps the bytes when a_KeepBytes. Records -52005 for an empty payload and
// -52000 when the buffer cannot be had.
void decodeSectionPayload(const char* a_pImage, sSectionCheck& a_rCheck, bool a_KeepBytes,
                          Status& a_rStatus);

// The checks of one chosen section against a card, from the header version
// on (reads the card's subsystem ID and installed version through a_rCard).
// Decodes the payload unless a_rWrite.m_Check already holds it decoded.
void checkSectionForCard(const char* a_pImage, uint32_t a_Force, iImageCard& a_rCard,
                         sImageWrite& a_rWrite, Status& a_rStatus);

// Every check of an update in its order; on success a_rWrite holds the
// decoded firmware and the values for the driver request.
void checkImageForCard(const char* a_pImage, uint32_t a_Length, uint32_t a_Force,
                       iImageCard& a_rCard, sImageWrite& a_rWrite, Status& a_rStatus);

}  // namespace nQVZEL_15_0
