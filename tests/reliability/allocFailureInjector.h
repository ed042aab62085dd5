// SPDX-License-Identifier: LGPL-2.1-or-later
// Allocation failure injection for one shared library of the process.
//
// The test program replaces malloc, calloc, realloc, free and every form of
// operator new and delete. An allocation counts as the library's when the
// first caller outside the C and C++ runtimes (found by walking the stack)
// lies in that library: so the library's own malloc and new calls count, and
// so do allocations the C and C++ runtimes make on its behalf (string growth,
// fopen, glob), while the test program, the simulated companions and the
// dynamic linker (loading a library) are left alone. While armed, the n-th
// counted allocation fails.
//
// Every allocation still goes to the allocator that comes next (LeakSanitizer's
// when the program is linked with -fsanitize=leak).
#pragma once

#include <cstddef>
#include <cstdint>

namespace qvzreliability {

// Finds the code of the object whose file name contains a_pLibraryName and of
// the runtimes; starts tracking the library's live blocks. Call once, early.
bool injectorStart(const char* a_pLibraryName);

// Counts the library's allocations from now on; the a_FailAt-th fails
// (0: none fails), and with a_AndLater every one after it as well.
void injectorArm(uint64_t a_FailAt, bool a_AndLater = false);
void injectorDisarm();
// Library allocations counted since the last injectorArm.
uint64_t injectorCount();
// True when the armed failure has happened.
bool injectorFailed();
// Blocks the library allocated (since injectorStart) that are not freed yet.
size_t injectorLiveBlocks();

}  // namespace qvzreliability
