// The firmware image operations of the library's core, as the image checker
// uses them: plain results instead of a status record. This is the tool's only
// use of the core; everything else goes through qvzelif.h.
#pragma once

#include <cstdint>
#include <string>

namespace nQvzelTool {

// Offset of the first occurrence of a_pKey at or after a_From that leaves a
// byte after it; false when there is none.
bool imageFindKey(const char* a_pText, uint32_t a_Length, uint32_t a_From, const char* a_pKey,
                  uint32_t& a_rPosition);
// The text after the first a_pKey up to the next CR LF (or the end).
bool imageKeyValue(const char* a_pText, uint32_t a_Length, const char* a_pKey,
                   std::string& a_rValue);
// Start and length of the payload of the section [a_Start, a_End) of an
// image: from after its header's empty line to the section's end. False when
// the empty line is missing or lies past the section's end.
bool imageSectionPayload(const char* a_pImage, uint32_t a_Length, uint32_t a_Start, uint32_t a_End,
                         uint32_t& a_rPayloadStart, uint32_t& a_rPayloadLength);
// Decodes a_Count Base64 characters into a_pOut (room for a_Count bytes);
// returns the number of bytes written (0 for no characters).
uint32_t imageDecode(const char* a_pText, uint8_t* a_pOut, uint32_t a_Count);
// The image checksum of a_Length bytes.
uint32_t imageCrc(const uint8_t* a_pData, uint32_t a_Length);
// Runs the library's section scan; returns its status code.
int32_t imageScanSections(const char* a_pImage, uint32_t a_Length);

// Header value conversions exactly as an update makes them.
int32_t imageSignedValue(const std::string& a_rValue, int a_Base);
uint32_t imageUnsignedValue(const std::string& a_rValue, int a_Base);
uint64_t imageWideUnsignedValue(const std::string& a_rValue, int a_Base);

// Header keys, update types and flash identifiers of the image format.
extern const char* const kImageSectionKey;
extern const char* const kImageUpdateTypeKey;
extern const char* const kImageSubsystemKey;
extern const char* const kImagePinOutAddrKey;
extern const char* const kImagePinOutVerKey;
extern const char* const kImageOffsetKey;
extern const char* const kImageVersionKey;
extern const char* const kImageByteCountKey;
extern const char* const kImageCrcKey;
extern const char* const kImageSstType;
extern const char* const kImageIssiType;
extern const uint32_t kImageSstFlashId;
extern const uint32_t kImageIssiFlashId;
extern const int32_t kImageHeaderVersion;

}  // namespace nQvzelTool
