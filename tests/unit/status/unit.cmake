# SPDX-License-Identifier: LGPL-2.1-or-later
set(l_Sources
  AllocationTest.cpp ExceptionTest.cpp JsonStatusTest.cpp JsonzReaderTest.cpp JsonzWriterTest.cpp
  StatusConversionTest.cpp StatusStringTest.cpp StatusTest.cpp)
