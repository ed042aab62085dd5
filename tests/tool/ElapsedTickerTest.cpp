// SPDX-License-Identifier: LGPL-2.1-or-later
#include "cElapsedTicker.h"

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

namespace {

using nQvzelTool::cElapsedTicker;

TEST(ElapsedTicker, RewritesOneLineUntilStopped) {
  std::ostringstream l_Out;
  cElapsedTicker l_Ticker(l_Out, "writing, ", std::chrono::milliseconds(5));
  l_Ticker.start(true);
  std::this_thread::sleep_for(std::chrono::milliseconds(40));
  const double l_Seconds = l_Ticker.stop();
  const std::string l_Text = l_Out.str();
  EXPECT_GE(l_Seconds, 0.04);
  EXPECT_EQ(l_Text.rfind("\rwriting, 0 s elapsed", 0), 0u) << l_Text;
  EXPECT_NE(l_Text.find("\rwriting, ", 1), std::string::npos);  // rewritten at least once
  ASSERT_FALSE(l_Text.empty());
  EXPECT_EQ(l_Text.back(), '\n');
  // Nothing more once stopped, not even from the destructor.
  l_Ticker.stop();
  EXPECT_EQ(l_Out.str(), l_Text);
}

TEST(ElapsedTicker, SilentWhenNotShown) {
  std::ostringstream l_Out;
  {
    cElapsedTicker l_Ticker(l_Out, "writing, ", std::chrono::milliseconds(1));
    l_Ticker.start(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_GE(l_Ticker.stop(), 0.005);
  }
  EXPECT_EQ(l_Out.str(), "");
}

}  // namespace
