// SPDX-License-Identifier: LGPL-2.1-or-later
// Random firmware images for property tests: mostly well-formed images for a
// given card, with deliberate faults in their headers and payloads, and
// random mutations of the bytes on top.
#pragma once

#include <random>
#include <string>

#include "imageOracle.h"

namespace qvzreliability {

// A new image aimed at a_rCard; a good share of them are fully valid.
std::string generateImage(std::mt19937& a_rRandom, const sCardState& a_rCard);

// The image with one to three random byte-level changes.
std::string mutateImage(std::mt19937& a_rRandom, std::string a_Image);

}  // namespace qvzreliability
