// SPDX-License-Identifier: LGPL-2.1-or-later
// Each test of the INI engine gets a fresh document and a scratch directory.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "TempDir.h"
#include "config/IniEngine.h"

class cIniDocumentFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(m_Dir.Path().empty());
    m_pDocument = nQvPxiDriverTools_1_0::iniCreate();
    ASSERT_NE(m_pDocument, nullptr);
  }
  void TearDown() override { nQvPxiDriverTools_1_0::iniFree(m_pDocument); }

  // The value of a key, "<missing>" when there is none.
  static std::string Value(nQvPxiDriverTools_1_0::sIniDocument* a_pDocument, const char* a_pSection,
                           const char* a_pKey) {
    const char* l_pValue = nullptr;
    if (nQvPxiDriverTools_1_0::iniGetValue(a_pDocument, a_pSection, a_pKey, &l_pValue) !=
        nQvPxiDriverTools_1_0::kIniFound) {
      return "<missing>";
    }
    return l_pValue;
  }
  std::string Value(const char* a_pSection, const char* a_pKey) const {
    return Value(m_pDocument, a_pSection, a_pKey);
  }

  cTempDir m_Dir;
  nQvPxiDriverTools_1_0::sIniDocument* m_pDocument = nullptr;
};
