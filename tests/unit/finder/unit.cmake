# SPDX-License-Identifier: LGPL-2.1-or-later
set(l_Sources ExportsTest.cpp ManagerLockTest.cpp PortListTest.cpp SlotPathListTest.cpp)
