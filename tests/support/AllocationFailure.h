// SPDX-License-Identifier: LGPL-2.1-or-later
// Makes the non-throwing array allocations of a test program fail on demand,
// so that the code's handling of a full memory can be tested. The program
// that links this replaces the global nothrow operator new[] (the form the
// library's non-throwing allocations use); while nothing is armed it
// allocates as usual.
#pragma once

namespace qvztest {

// After a_Count more successful non-throwing array allocations every further
// one fails; a negative count turns failures off again.
void failAllocationsAfter(long a_Count);

}  // namespace qvztest
