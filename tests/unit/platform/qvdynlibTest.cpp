// SPDX-License-Identifier: LGPL-2.1-or-later
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "platform/qvdynlib.h"
#include "status/StatusCodes.h"

namespace {

std::string textOf(const JsonStatus& a_rStatus) {
  return a_rStatus.json ? std::string(a_rStatus.json) : std::string();
}

// The whole details text of a failed load or look-up, members in order.
std::string detailsPattern(const std::string& a_rDebug, const std::string& a_rKey,
                           const std::string& a_rValue) {
  return R"(\{"error_constant":"qvkoraerr_invalidParameter","file":"[^"]*qvdynlib\.cpp",)"
         R"("line":[0-9]+,"component":"qvzelif",)"
         R"("qvdynlib_debug":\{"debug":")" +
         a_rDebug + R"(",")" + a_rKey + R"(":")" + a_rValue +
         R"("\},"internal_error":\{"api":"dlerror","string":"[^"]*"\}\})";
}

TEST(QvDynLib, FlagsAreNowAndGlobal) { EXPECT_EQ(258, kQvDynLibFlags); }

TEST(QvDynLib, MissingLibraryIsReportedWithThePathAsGiven) {
  JsonStatus l_Status;
  EXPECT_EQ(nullptr, qvdynlib_load("libqvz-not-there.so.3", kQvDynLibFlags, l_Status));
  EXPECT_EQ(qvstatus::kInvalidParameter, l_Status.code);
  EXPECT_TRUE(std::regex_match(textOf(l_Status),
                               std::regex(detailsPattern("failed to qvdynlib_load library", "path",
                                                         "libqvz-not-there\\.so\\.3"))))
      << textOf(l_Status);
  // The loader's message names the library and its error state is cleared.
  EXPECT_NE(std::string::npos, textOf(l_Status).find("libqvz-not-there.so.3: cannot open"));
  EXPECT_EQ(nullptr, dlerror());
}

TEST(QvDynLib, MissingSymbolIsReportedByName) {
  JsonStatus l_Status;
  void* l_pLibrary = qvdynlib_load("libc.so.6", kQvDynLibFlags, l_Status);
  ASSERT_NE(nullptr, l_pLibrary);
  EXPECT_NE(nullptr, qvdynlib_getSymbol(l_pLibrary, "malloc", l_Status));
  EXPECT_EQ(0, l_Status.code);

  EXPECT_EQ(nullptr, qvdynlib_getSymbol(l_pLibrary, "qvz_no_such_symbol", l_Status));
  EXPECT_EQ(qvstatus::kInvalidParameter, l_Status.code);
  EXPECT_TRUE(std::regex_match(
      textOf(l_Status),
      std::regex(detailsPattern("failed to get symbol", "qvdynlib_symbol", "qvz_no_such_symbol"))))
      << textOf(l_Status);
  EXPECT_NE(std::string::npos, textOf(l_Status).find("undefined symbol: qvz_no_such_symbol"));
  EXPECT_EQ(nullptr, dlerror());
  EXPECT_EQ(0, qvdynlib_unload(l_pLibrary));
}

TEST(QvDynLib, NullHandleDoesNotSearchTheWholeProcess) {
  // dlsym(NULL, ...) would find malloc anywhere in the process.
  JsonStatus l_Status;
  EXPECT_EQ(nullptr, qvdynlib_getSymbol(nullptr, "malloc", l_Status));
  EXPECT_EQ(qvstatus::kInvalidParameter, l_Status.code);
  EXPECT_NE(std::string::npos, textOf(l_Status).find(R"("qvdynlib_symbol":"malloc")"));
  EXPECT_NE(0, qvdynlib_unload(nullptr));
}

TEST(QvDynLib, FailedStatusMakesNoLoaderCall) {
  JsonStatus l_Status;
  l_Status.setCode(qvstatus::kNotFound);
  const std::string l_Before = textOf(l_Status);
  // Not loaded by anything else in this program; still unloaded afterwards.
  EXPECT_EQ(nullptr, qvdynlib_load("libqvrelocations.so.0", kQvDynLibFlags, l_Status));
  EXPECT_EQ(nullptr, dlopen("libqvrelocations.so.0", RTLD_NOW | RTLD_NOLOAD));

  JsonStatus l_Clean;
  void* l_pLibrary = qvdynlib_load("libc.so.6", kQvDynLibFlags, l_Clean);
  ASSERT_NE(nullptr, l_pLibrary);
  EXPECT_EQ(nullptr, qvdynlib_getSymbol(l_pLibrary, "malloc", l_Status));
  EXPECT_EQ(qvstatus::kNotFound, l_Status.code);
  EXPECT_EQ(l_Before, textOf(l_Status));
  qvdynlib_unload(l_pLibrary);
}

TEST(QvDynLib, ErrorDisplacesWarningAndLongDetailsGrowTheBuffer) {
  JsonStatus l_Status;
  l_Status.setCode(7);
  const std::string l_Long = "lib" + std::string(1500, 'q') + ".so";
  EXPECT_EQ(nullptr, qvdynlib_load(l_Long.c_str(), kQvDynLibFlags, l_Status));
  EXPECT_EQ(qvstatus::kInvalidParameter, l_Status.code);
  EXPECT_NE(std::string::npos, textOf(l_Status).find(R"("path":")" + l_Long + R"(")"));
  EXPECT_EQ('}', textOf(l_Status).back());
}

}  // namespace
