// SPDX-License-Identifier: LGPL-2.1-or-later
// The escapes that keep texts from outside the tool (a device, the
// controller file, an image file, an argument) from steering a terminal or
// breaking a metrics file. No dependency beyond the standard library, so
// that a fuzz target can build it alone.
#pragma once

#include <cstddef>
#include <string>

namespace nQvzelTool {

// a_rText with every control character, every bidirectional control
// (U+202A to U+202E, U+2066 to U+2069) and every byte that is not part of
// printable UTF-8 written as a visible escape (\n, \r, \t, \x1B, a
// bidirectional control as its three \xNN bytes), so that such a text cannot
// move the cursor, steer the terminal or reorder what is shown. The result
// is printable UTF-8. Escaping an escaped text changes nothing.
std::string displayText(const std::string& a_rText);

// a_rText cut to its first a_Limit bytes (never inside a UTF-8 sequence)
// and "..." when it was longer; for arguments quoted in messages.
std::string shortText(const std::string& a_rText, size_t a_Limit = 40);

// An argument or name quoted in a message: in single quotes, cut to a short
// prefix so that a long argument cannot drown the sentence.
std::string quotedArgument(const std::string& a_rText);

// A label value of the Prometheus text format: the display text of
// a_rText (valid UTF-8 without control characters) with backslash and
// double quote escaped as the exposition format asks.
std::string metricsLabelValue(const std::string& a_rText);

}  // namespace nQvzelTool
