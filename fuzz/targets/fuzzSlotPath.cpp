// SPDX-License-Identifier: LGPL-2.1-or-later
// Fuzz target: slot path parsing from any text, the text round trip, copies
// and relative patterns. The input's first line is the slot path text, the
// rest a relative pattern.
#include <vector>

#include "config/cSlotPath.h"
#include "fuzzCheck.h"

using namespace nQvPxiDriverTools_1_0;

namespace {

// The codes of a path, front first, read through its text form.
std::string textOf(const cSlotPath& a_rPath) {
  Status l_Status;
  std::string l_Text;
  a_rPath.GetText(l_Text, l_Status);
  FUZZ_CHECK(l_Status.isNotFatal());
  return l_Text;
}

// Every text the formatter writes parses back to the same path, and has the
// shape MRhh: followed by comma-separated pairs of upper-case hex digits.
void checkRoundTrip(const cSlotPath& a_rPath) {
  const std::string l_Text = textOf(a_rPath);
  FUZZ_CHECK(l_Text.size() >= 5 && l_Text.compare(0, 2, "MR") == 0 && l_Text[4] == ':');
  const size_t l_Count = a_rPath.GetDeviceFunctionCount();
  FUZZ_CHECK(l_Text.size() == (l_Count == 0 ? 5 : 5 + 3 * l_Count - 1));

  Status l_Status;
  cSlotPath l_Back(l_Text.c_str(), l_Status);
  FUZZ_CHECK(l_Status.isNotFatal());
  FUZZ_CHECK(l_Back.GetRootBus() == a_rPath.GetRootBus());
  FUZZ_CHECK(l_Back.GetDeviceFunctionCount() == l_Count);
  FUZZ_CHECK(textOf(l_Back) == l_Text);

  // The front code is the first pair after the colon.
  Status l_FrontStatus;
  const int l_Front = a_rPath.GetFrontDeviceFunction(l_FrontStatus);
  if (l_Count == 0) {
    FUZZ_CHECK(l_Front == -1 && l_FrontStatus.code == qvstatus::kSlotPathEmpty);
  } else {
    FUZZ_CHECK(l_Front == static_cast<int>(std::stoul(l_Text.substr(5, 2), nullptr, 16)));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* a_pData, size_t a_Size) {
  if (a_Size > 4096) return 0;
  std::string l_PathText;
  std::string l_Pattern;
  qvzfuzz::splitOnce(a_pData, a_Size, "\n", l_PathText, l_Pattern);
  // The parser takes a C text: it ends at the first NUL.
  l_PathText.resize(strnlen(l_PathText.c_str(), l_PathText.size()));
  const std::unique_ptr<char[]> l_Text = qvzfuzz::terminatedCopy(
      reinterpret_cast<const uint8_t*>(l_PathText.data()), l_PathText.size());

  Status l_ParseStatus;
  cSlotPath l_Path(l_Text.get(), l_ParseStatus);
  if (l_ParseStatus.isFatal()) FUZZ_CHECK(l_ParseStatus.code == qvstatus::kSlotPathSyntax);
  // Parse failures never make the path itself unusable.
  FUZZ_CHECK(l_Path.GetOwnStatus().isNotFatal());
  checkRoundTrip(l_Path);

  // Copies are equal and independent of the original.
  cSlotPath l_Copy(l_Path);
  FUZZ_CHECK(textOf(l_Copy) == textOf(l_Path));
  std::vector<cSlotPath> l_Paths(3, l_Path);
  l_Paths.push_back(l_Copy);

  Status l_PatternStatus;
  l_Copy.ApplyRelativePath(l_Pattern, l_PatternStatus);
  if (l_PatternStatus.isFatal()) {
    FUZZ_CHECK(l_PatternStatus.code == qvstatus::kSlotPathSyntax ||
               l_PatternStatus.code == qvstatus::kSlotPathEmpty);
  }
  FUZZ_CHECK(l_Copy.GetOwnStatus().isNotFatal());
  checkRoundTrip(l_Copy);
  for (const cSlotPath& l_rPath : l_Paths) FUZZ_CHECK(textOf(l_rPath) == textOf(l_Path));

  // Assigning back and forth keeps both usable.
  l_Paths[0] = l_Copy;
  FUZZ_CHECK(textOf(l_Paths[0]) == textOf(l_Copy));
  return 0;
}
