# SPDX-License-Identifier: LGPL-2.1-or-later
set(l_Sources
  FirmwareImageTest.cpp ImageCheckTest.cpp ImageParsingReferenceTest.cpp ImagePayloadTest.cpp)
# libb64 is the reference of the payload decoder.
target_link_libraries(${l_Target} PRIVATE b64::b64)
