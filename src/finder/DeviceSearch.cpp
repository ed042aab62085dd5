// SPDX-License-Identifier: LGPL-2.1-or-later
#include "finder/DeviceSearch.h"

#include <algorithm>
#include <utility>

#include "driver/tDeviceInterfaceIterator.h"
#include "status/JsonStatus.h"
#include "status/StatusCodes.h"

namespace nQVZEL_15_0 {

using nQvPxiDriverTools_1_0::cSlotPath;
using tIterator = nQVKORA000::tDeviceInterfaceIterator;

namespace {

// True when the entry's PCI identifiers are the row's: vendor and device, and
// the subsystem when the row names one.
bool entryMatchesRow(tIterator& a_rIterator, const sModelEntry& a_rRow, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return false;
  const uint32_t l_Vid = a_rIterator.readBusU32(tIterator::kPciVendorId, a_rStatus);
  const uint32_t l_Pid = a_rIterator.readBusU32(tIterator::kPciDeviceId, a_rStatus);
  if (a_rStatus.isFatal() || l_Vid != a_rRow.m_VendorId || l_Pid != a_rRow.m_DeviceId) {
    return false;
  }
  if (a_rRow.m_SubsystemVendorId == 0 && a_rRow.m_SubsystemId == 0) return true;
  const uint32_t l_SsVid = a_rIterator.readBusU32(tIterator::kPciSubsystemVendorId, a_rStatus);
  const uint32_t l_SsPid = a_rIterator.readBusU32(tIterator::kPciSubsystemId, a_rStatus);
  return a_rStatus.isNotFatal() && l_SsVid == a_rRow.m_SubsystemVendorId &&
         l_SsPid == a_rRow.m_SubsystemId;
}

// The device's own slot path: the bridge above its bus, one level down.
cSlotPath ownSlotPath(const nQVKORA000::sEntryIdentity& a_rEntry,
                      nQvPciBrdWrapper_15_0::iPciBrdWrapper_sc& a_rWrapper, Status& a_rStatus) {
  cSlotPath l_Path;
  if (a_rStatus.isFatal()) return l_Path;
  uint32_t l_Bridge = 0;
  {
    JsonStatusScope l_Scope(a_rStatus);
    a_rWrapper.FindParentBridgeForBus(static_cast<uint8_t>(a_rEntry.m_Bus), l_Bridge,
                                      l_Scope.json());
  }
  {
    JsonStatusScope l_Scope(a_rStatus);
    a_rWrapper.GetBridgeSlotPath(l_Bridge, l_Path, l_Scope.json());
  }
  l_Path.PushDeviceFunction(static_cast<uint8_t>(a_rEntry.m_Device),
                            static_cast<uint8_t>(a_rEntry.m_Function), a_rStatus);
  return l_Path;
}

// The candidate of the entry a_rIterator stands on: one record, seen both as
// the common record and as the one that carries the entry. Empty when the
// entry is not the row's or a step fails.
sCandidate interfaceCandidate(tIterator& a_rIterator, const sModelEntry& a_rRow,
                              nQvPciBrdWrapper_15_0::iPciBrdWrapper_sc& a_rWrapper,
                              Status& a_rStatus) {
  if (!entryMatchesRow(a_rIterator, a_rRow, a_rStatus)) return sCandidate();
  // Everything that identifies the device, kept so that a device session
  // opens this entry and no other.
  nQVKORA000::sEntryIdentity l_Entry;
  a_rIterator.readIdentity(l_Entry, a_rStatus);
  const cSlotPath l_Path = ownSlotPath(l_Entry, a_rWrapper, a_rStatus);
  std::vector<cSlotPath> l_SlotPaths = buildSlotPathList(l_Path, a_rRow, a_rWrapper, a_rStatus);
  if (a_rStatus.isFatal()) return sCandidate();

  boost::shared_ptr<sDeviceInterfaceIteratorInfo> l_Info =
      makeDeviceInfo<sDeviceInterfaceIteratorInfo>(
          static_cast<uint8_t>(l_Entry.m_Bus), static_cast<uint8_t>(l_Entry.m_Device),
          static_cast<uint8_t>(l_Entry.m_Function), l_SlotPaths);
  l_Info->m_Entry = std::move(l_Entry);
  sCandidate l_Candidate;
  l_Candidate.m_Info = l_Info;
  l_Candidate.m_InterfaceInfo = l_Info;
  return l_Candidate;
}

}  // namespace

std::vector<cSlotPath> buildSlotPathList(const cSlotPath& a_rPath, const sModelEntry& a_rRow,
                                         nQvPciBrdWrapper_15_0::iPciBrdWrapper_sc& a_rWrapper,
                                         Status& a_rStatus) {
  std::vector<cSlotPath> l_List;
  if (a_rStatus.isFatal()) return l_List;
  if (a_rRow.m_SlotPathPatternCount == 0) {
    l_List.push_back(a_rPath);
    return l_List;
  }
  const size_t l_Count = std::min<size_t>(a_rRow.m_SlotPathPatternCount, kModelMaxSlotPathPatterns);
  for (size_t l_Index = 0; l_Index < l_Count; ++l_Index) {
    const char* l_pPattern = a_rRow.m_SlotPathPatterns[l_Index];
    cSlotPath l_Candidate(a_rPath);
    l_Candidate.ApplyRelativePath(l_pPattern ? l_pPattern : "", a_rStatus);
    if (a_rStatus.isFatal()) return l_List;
    // Patterns that name no existing bridge are left out silently.
    JsonStatus l_Probe;
    uint32_t l_Bridge = 0;
    a_rWrapper.FindBridgeBySlotPath(l_Candidate, l_Bridge, l_Probe);
    if (l_Probe.isNotFatal()) l_List.push_back(l_Candidate);
  }
  if (l_List.empty()) QVZ_SET_STATUS(a_rStatus, qvstatus::kInvalidParameter);
  return l_List;
}

tCandidateList searchByPciIds(const sModelEntry& a_rRow,
                              nQvPciBrdWrapper_15_0::iPciBrdWrapper_sc& a_rWrapper) {
  tCandidateList l_Result;
  Status l_Search;
  uint16_t l_Vid = a_rRow.m_VendorId;
  uint16_t l_Pid = a_rRow.m_DeviceId;
  uint16_t l_SsVid = a_rRow.m_SubsystemVendorId;
  uint16_t l_SsPid = a_rRow.m_SubsystemId;
  const bool l_UseSubsystem = (l_SsVid != 0 || l_SsPid != 0);

  std::vector<uint32_t> l_Bridges;
  {
    JsonStatusScope l_Scope(l_Search);
    a_rWrapper.FindBridgesByPciIds(&l_Vid, &l_Pid, l_UseSubsystem ? &l_SsVid : nullptr,
                                   l_UseSubsystem ? &l_SsPid : nullptr, l_Bridges, l_Scope.json());
  }
  if (l_Search.isFatal() || l_Bridges.empty()) return l_Result;

  for (uint32_t l_Bridge : l_Bridges) {
    uint8_t l_Bus = 0;
    uint8_t l_Device = 0;
    uint8_t l_Function = 0;
    {
      JsonStatusScope l_Scope(l_Search);
      a_rWrapper.GetBridgeAddress(l_Bridge, &l_Bus, &l_Device, &l_Function, l_Scope.json());
    }
    cSlotPath l_Path;
    {
      JsonStatusScope l_Scope(l_Search);
      a_rWrapper.GetBridgeSlotPath(l_Bridge, l_Path, l_Scope.json());
    }
    std::vector<cSlotPath> l_SlotPaths = buildSlotPathList(l_Path, a_rRow, a_rWrapper, l_Search);
    // The search's status keeps its first failure, so one failed bridge ends
    // collection for the rest of the row.
    if (l_Search.isFatal()) break;
    sCandidate l_Candidate;
    l_Candidate.m_Info =
        makeDeviceInfo<sCommonDeviceInfo>(l_Bus, l_Device, l_Function, l_SlotPaths);
    l_Result.push_back(l_Candidate);
  }
  return l_Result;
}

tCandidateList searchByInterfaces(const sModelEntry& a_rRow,
                                  nQvPciBrdWrapper_15_0::iPciBrdWrapper_sc& a_rWrapper) {
  tCandidateList l_Result;
  if (a_rRow.m_InterfaceName == nullptr) return l_Result;

  tIterator l_Iterator;
  {
    Status l_Start;
    l_Iterator.startIteration(a_rRow.m_InterfaceName, l_Start);
    if (l_Start.isFatal()) return l_Result;
  }
  for (; !l_Iterator.atEnd(); l_Iterator.advance()) {
    // Each interface has a status of its own: a failure skips that one only.
    Status l_Interface;
    const sCandidate l_Candidate = interfaceCandidate(l_Iterator, a_rRow, a_rWrapper, l_Interface);
    if (l_Candidate.m_Info) l_Result.push_back(l_Candidate);
  }
  return l_Result;
}

}  // namespace nQVZEL_15_0
