// SPDX-License-Identifier: LGPL-2.1-or-later
// cElapsedTicker: while a long blocking call runs, a second thread rewrites
// one line on the terminal with the seconds elapsed.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>

namespace nQvzelTool {

class cElapsedTicker {
 public:
  // a_rLabel is printed before the seconds; a_Interval is the time between
  // two updates of the line.
  cElapsedTicker(std::ostream& a_rOut, std::string a_Label,
                 std::chrono::milliseconds a_Interval = std::chrono::seconds(1));
  ~cElapsedTicker();
  cElapsedTicker(const cElapsedTicker&) = delete;
  cElapsedTicker& operator=(const cElapsedTicker&) = delete;

  // Starts the clock, and the printing thread when a_Show is true.
  void start(bool a_Show);
  // Stops both; returns the seconds elapsed since start.
  double stop();

 private:
  void run();
  void printLine();

  std::ostream& m_rOut;
  std::string m_Label;
  std::chrono::milliseconds m_Interval;
  std::chrono::steady_clock::time_point m_Start;
  std::mutex m_Mutex;
  std::condition_variable m_Wake;
  bool m_Stop = false;
  std::thread m_Thread;
};

}  // namespace nQvzelTool
