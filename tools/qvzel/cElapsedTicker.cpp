// SPDX-License-Identifier: LGPL-2.1-or-later
#include "cElapsedTicker.h"

namespace nQvzelTool {

cElapsedTicker::cElapsedTicker(std::ostream& a_rOut, std::string a_Label,
                               std::chrono::milliseconds a_Interval)
    : m_rOut(a_rOut), m_Label(std::move(a_Label)), m_Interval(a_Interval) {}

cElapsedTicker::~cElapsedTicker() { stop(); }

void cElapsedTicker::start(bool a_Show) {
  m_Start = std::chrono::steady_clock::now();
  m_Stop = false;
  if (a_Show) m_Thread = std::thread(&cElapsedTicker::run, this);
}

double cElapsedTicker::stop() {
  const bool l_Running = m_Thread.joinable();
  {
    std::lock_guard<std::mutex> l_Lock(m_Mutex);
    m_Stop = true;
  }
  m_Wake.notify_all();
  if (l_Running) {
    m_Thread.join();
    printLine();
    m_rOut << '\n' << std::flush;
  }
  const std::chrono::duration<double> l_Elapsed = std::chrono::steady_clock::now() - m_Start;
  return l_Elapsed.count();
}

void cElapsedTicker::printLine() {
  const auto l_Seconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - m_Start);
  m_rOut << '\r' << m_Label << l_Seconds.count() << " s elapsed" << std::flush;
}

void cElapsedTicker::run() {
  std::unique_lock<std::mutex> l_Lock(m_Mutex);
  while (!m_Stop) {
    printLine();
    m_Wake.wait_for(l_Lock, m_Interval, [this] { return m_Stop; });
  }
}

}  // namespace nQvzelTool
