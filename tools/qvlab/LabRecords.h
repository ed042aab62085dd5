// SPDX-License-Identifier: LGPL-2.1-or-later
// LabRecords: turns the kernel lab's system text (host slots, cards, their
// ports and cables, chassis with their controllers and slots) into the
// records the lab module builds its PCI functions from, parents first. The
// text describes hardware; every identifier, capability and link value of a
// record follows from it. docs/kernel-lab.md describes the sections.
#pragma once

#include <string>
#include <vector>

#include "cSystemText.h"
#include "qvlab_uapi.h"

namespace nQvlabTool {

// False with a message naming the section (and line) at the first fault.
bool buildLabRecords(const cSystemText& a_rText, std::vector<qvlab_function>& a_rRecords,
                     std::string& a_rError);

// The record of the card function that holds the flash of the card named
// a_rName: the record itself when it has one, else the one below it.
const qvlab_function* findFlashRecord(const std::vector<qvlab_function>& a_rRecords,
                                      const std::string& a_rName);

}  // namespace nQvlabTool
