// SPDX-License-Identifier: LGPL-2.1-or-later
#include "status/Exception.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

TEST(Exception, WhatIsTheDetailsText) {
  qverr::Exception l_Empty;
  EXPECT_STREQ(l_Empty.what(), "");
  const std::exception& l_rStd = l_Empty;
  EXPECT_STREQ(l_rStd.what(), "");

  JsonStatus l_Source;
  l_Source.setCodeAt(-52006, ErrorSite{"f.cpp", 3, "qvzelif", "k"});
  const std::string l_Details = l_Source.json;
  qverr::Exception l_Carrier(l_Source);
  EXPECT_EQ(l_Source.json, nullptr);  // taken over, not copied
  EXPECT_EQ(l_Carrier.status().code, -52006);
  EXPECT_EQ(std::string(l_Carrier.what()), l_Details);
  const qverr::ExceptionBase& l_rBase = l_Carrier;
  EXPECT_EQ(std::string(l_rBase.what()), l_Details);
  const std::exception& l_rAsStd = l_Carrier;
  EXPECT_EQ(std::string(l_rAsStd.what()), l_Details);

  const qverr::Exception l_Copy(l_Carrier);
  EXPECT_EQ(l_Copy.status().code, -52006);
  EXPECT_EQ(std::string(l_Copy.what()), l_Details);
  EXPECT_NE(l_Copy.status().json, l_Carrier.status().json);
}

TEST(ThrowingStatusScope, WarningDoesNotThrow) {
  EXPECT_NO_THROW({
    qverr::ThrowingStatusScope l_Scope;
    l_Scope.json().setCodeAt(4, QVZ_ERROR_SITE("warning"));
  });
  EXPECT_NO_THROW({ qverr::ThrowingStatusScope l_Scope; });
}

TEST(ThrowingStatusScope, ErrorThrowsTheStatus) {
  std::string l_Expected;
  try {
    qverr::ThrowingStatusScope l_Scope;
    JsonStatus& l_rJson = l_Scope;
    l_rJson.setCodeAt(-52008, ErrorSite{"path.cpp", 17, "qvzelif", "lookup"});
    l_Expected = l_rJson.json;
  } catch (const qverr::Exception& a_rException) {
    EXPECT_EQ(a_rException.status().code, -52008);
    EXPECT_EQ(std::string(a_rException.what()), l_Expected);
    EXPECT_NE(l_Expected.find("\"lookup\""), std::string::npos);
    return;
  }
  ADD_FAILURE() << "no exception thrown";
}

TEST(ThrowingStatusScope, NoThrowWhileUnwinding) {
  // Throwing here would call std::terminate; the first exception must arrive intact.
  try {
    qverr::ThrowingStatusScope l_Scope;
    l_Scope.json().setCodeAt(-52005, QVZ_ERROR_SITE("inner"));
    throw std::runtime_error("first");
  } catch (const std::runtime_error& a_rError) {
    EXPECT_STREQ(a_rError.what(), "first");
    return;
  } catch (...) {
    ADD_FAILURE() << "the scope's exception replaced the first";
    return;
  }
  ADD_FAILURE() << "no exception thrown";
}

}  // namespace
