// SPDX-License-Identifier: LGPL-2.1-or-later
#include "finder/DeviceSearch.h"

#include <algorithm>
#include <boost/make_shared.hpp>

#include "driver/tDeviceInterfaceIterator.h"
#include "status/JsonStatus.h"
#include "status/StatusCodes.h"

namespace nQVZEL_15_0 {

using nQvPxiDriverTools_1_0::cSlotPath;
using tIterator = nQVKORA000::tDeviceInterfaceIterator;

namespace {

// The record of one found device, in one allocation with its count.
template <typename tInfo>
boost::shared_ptr<tInfo> makeInfo(uint8_t a_Bus, uint8_t a_Device, uint8_t a_Function,
                                  std::vector<cSlotPath>& a_rSlotPaths) {
  boost::shared_ptr<tInfo> l_Info = boost::make_shared<tInfo>();
  l_Info->m_Bus = a_Bus;
  l_Info->m_Device = a_Device;
  l_Info->m_Function = a_Function;
  l_Info->m_SlotPaths.swap(a_rSlotPaths);
  return l_Info;
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
    l_Candidate.m_Info = makeInfo<sCommonDeviceInfo>(l_Bus, l_Device, l_Function, l_SlotPaths);
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
  const bool l_CheckSubsystem = (a_rRow.m_SubsystemVendorId != 0 || a_rRow.m_SubsystemId != 0);

  for (; !l_Iterator.atEnd(); l_Iterator.advance()) {
    Status l_Interface;
    const uint32_t l_Vid = l_Iterator.readBusU32(tIterator::kPciVendorId, l_Interface);
    const uint32_t l_Pid = l_Iterator.readBusU32(tIterator::kPciDeviceId, l_Interface);
    if (l_Interface.isFatal() || l_Vid != a_rRow.m_VendorId || l_Pid != a_rRow.m_DeviceId) {
      continue;
    }
    if (l_CheckSubsystem) {
      const uint32_t l_SsVid = l_Iterator.readBusU32(tIterator::kPciSubsystemVendorId, l_Interface);
      const uint32_t l_SsPid = l_Iterator.readBusU32(tIterator::kPciSubsystemId, l_Interface);
      if (l_Interface.isFatal() || l_SsVid != a_rRow.m_SubsystemVendorId ||
          l_SsPid != a_rRow.m_SubsystemId) {
        continue;
      }
    }
    // Everything that identifies the device, kept so that a device session
    // opens this entry and no other.
    nQVKORA000::sEntryIdentity l_Entry;
    l_Iterator.readIdentity(l_Entry, l_Interface);
    if (l_Interface.isFatal()) continue;
    const uint8_t l_Bus = static_cast<uint8_t>(l_Entry.m_Bus);
    const uint8_t l_Device = static_cast<uint8_t>(l_Entry.m_Device);
    const uint8_t l_Function = static_cast<uint8_t>(l_Entry.m_Function);

    // The device's own slot path: the bridge above its bus, one level down.
    uint32_t l_Bridge = 0;
    {
      JsonStatusScope l_Scope(l_Interface);
      a_rWrapper.FindParentBridgeForBus(l_Bus, l_Bridge, l_Scope.json());
    }
    cSlotPath l_Path;
    {
      JsonStatusScope l_Scope(l_Interface);
      a_rWrapper.GetBridgeSlotPath(l_Bridge, l_Path, l_Scope.json());
    }
    l_Path.PushDeviceFunction(l_Device, l_Function, l_Interface);

    std::vector<cSlotPath> l_SlotPaths = buildSlotPathList(l_Path, a_rRow, a_rWrapper, l_Interface);
    if (l_Interface.isFatal()) continue;

    boost::shared_ptr<sDeviceInterfaceIteratorInfo> l_Info =
        makeInfo<sDeviceInterfaceIteratorInfo>(l_Bus, l_Device, l_Function, l_SlotPaths);
    l_Info->m_Entry = std::move(l_Entry);
    sCandidate l_Candidate;
    l_Candidate.m_Info = l_Info;
    l_Candidate.m_InterfaceInfo = l_Info;
    l_Result.push_back(l_Candidate);
  }
  return l_Result;
}

}  // namespace nQVZEL_15_0
