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
// Offset just after the first empty line ("\r\n\r\n"), when a payload follows.
bool imagePayloadOffset(const char* a_pText, uint32_t a_Length, uint32_t& a_rOffset);
// Decodes a_Count Base64 characters into a_pOut (room for a_Count bytes);
// returns the number of bytes written.
uint32_t imageDecode(const char* a_pText, uint8_t* a_pOut, uint32_t a_Count);
// The image checksum of a_Length bytes.
uint32_t imageCrc(const uint8_t* a_pData, uint32_t a_Length);
// Runs the library's section scan; returns its status code.
int32_t imageScanSections(const char* a_pImage, uint32_t a_Length);

}  // namespace nQvzelTool
