#include "ImageFormat.h"

#include "device/FirmwareImage.h"
#include "device/ImagePayload.h"

namespace nQvzelTool {

namespace fw = nQVZEL_15_0;

const char* const kImageSectionKey = fw::kHeaderVersionKey;
const char* const kImageUpdateTypeKey = fw::kUpdateTypeKey;
const char* const kImageSubsystemKey = fw::kSubSystemIdKey;
const char* const kImagePinOutAddrKey = fw::kPinOutAddrKey;
const char* const kImagePinOutVerKey = fw::kPinOutVerKey;
const char* const kImageOffsetKey = fw::kOffsetKey;
const char* const kImageVersionKey = fw::kVersionKey;
const char* const kImageByteCountKey = fw::kByteCountKey;
const char* const kImageCrcKey = fw::kCrcKey;
const char* const kImageSstType = fw::kSstUpdateType;
const char* const kImageIssiType = fw::kIssiUpdateType;
const uint32_t kImageSstFlashId = fw::kSstFlashId;
const uint32_t kImageIssiFlashId = fw::kIssiFlashId;
const int32_t kImageHeaderVersion = fw::kSupportedHeaderVersion;

bool imageFindKey(const char* a_pText, uint32_t a_Length, uint32_t a_From, const char* a_pKey,
                  uint32_t& a_rPosition) {
  Status l_Status;
  const uint32_t l_Position = fw::findKey(a_pText, a_Length, a_From, a_pKey, l_Status);
  if (l_Status.isFatal()) return false;
  a_rPosition = l_Position;
  return true;
}

bool imageKeyValue(const char* a_pText, uint32_t a_Length, const char* a_pKey,
                   std::string& a_rValue) {
  Status l_Status;
  fw::getKeyValue(a_pText, a_Length, a_pKey, a_rValue, l_Status);
  return l_Status.isNotFatal();
}

bool imageSectionPayload(const char* a_pImage, uint32_t a_Length, uint32_t a_Start, uint32_t a_End,
                         uint32_t& a_rPayloadStart, uint32_t& a_rPayloadLength) {
  Status l_Status;
  const fw::sImageSection l_Section{a_Start, a_End, 0};
  fw::findSectionPayload(a_pImage, a_Length, l_Section, &a_rPayloadStart, &a_rPayloadLength,
                         l_Status);
  return l_Status.isNotFatal();
}

uint32_t imageDecode(const char* a_pText, uint8_t* a_pOut, uint32_t a_Count) {
  if (a_Count == 0) return 0;
  Status l_Status;
  return static_cast<uint32_t>(fw::decodePayload(a_pText, a_pOut, a_Count, l_Status));
}

uint32_t imageCrc(const uint8_t* a_pData, uint32_t a_Length) {
  return fw::computeImageCrc(a_pData, a_Length);
}

int32_t imageScanSections(const char* a_pImage, uint32_t a_Length) {
  Status l_Status;
  std::vector<fw::sImageSection> l_Sections;
  fw::scanImageSections(a_pImage, a_Length, l_Sections, l_Status);
  return l_Status.result();
}

int32_t imageSignedValue(const std::string& a_rValue, int a_Base) {
  return fw::toSignedKeyValue(a_rValue, a_Base);
}

uint32_t imageUnsignedValue(const std::string& a_rValue, int a_Base) {
  return fw::toUnsignedKeyValue(a_rValue, a_Base);
}

uint64_t imageWideUnsignedValue(const std::string& a_rValue, int a_Base) {
  return fw::toWideUnsignedKeyValue(a_rValue, a_Base);
}

}  // namespace nQvzelTool
