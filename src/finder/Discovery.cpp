// SPDX-License-Identifier: LGPL-2.1-or-later
#include "finder/Discovery.h"

#include <boost/make_shared.hpp>
#include <new>

#include "device/cPxi1ZelControllerDevice.h"
#include "device/cUpstreamZelDevice.h"
#include "device/sModelEntry.h"
#include "device/tInterfaceProxy_Cyclone4UpstreamZEL.h"
#include "finder/ControllerFile.h"
#include "finder/DeviceSearch.h"
#include "finder/PortList.h"
#include "status/Exception.h"
#include "status/JsonStatus.h"
#include "status/StatusCodes.h"

namespace nQVZEL_15_0 {

using nQvPciBrdWrapper_15_0::cPciBrdWrapper_sc;

namespace {

boost::shared_ptr<iZelDevice> createController(cPciBrdWrapper_sc& a_rWrapper,
                                               const sModelEntry& a_rRow,
                                               const sCandidate& a_rCandidate, Status& a_rStatus) {
  return boost::make_shared<cPxi1ZelControllerDevice>(&a_rWrapper, &a_rRow, a_rCandidate.m_Info,
                                                      a_rStatus);
}

boost::shared_ptr<iZelDevice> createUpstream(cPciBrdWrapper_sc& a_rWrapper,
                                             const sModelEntry& a_rRow,
                                             const sCandidate& a_rCandidate, Status& a_rStatus) {
  tPortList l_Ports = buildPortList(*a_rCandidate.m_Info, a_rRow, a_rWrapper, a_rStatus);
  // The driver connection is opened only by a device session.
  boost::shared_ptr<tInterfaceProxy_Cyclone4UpstreamZEL> l_Proxy =
      boost::make_shared<tInterfaceProxy_Cyclone4UpstreamZEL>();
  // Only a device found through a device interface has an entry (and with
  // it a serial number).
  const nQVKORA000::sEntryIdentity* l_pEntry =
      a_rCandidate.m_InterfaceInfo ? &a_rCandidate.m_InterfaceInfo->m_Entry : nullptr;
  return boost::make_shared<cUpstreamZelDevice>(&a_rWrapper, &a_rRow, a_rCandidate.m_Info, l_Ports,
                                                l_pEntry, l_Proxy, a_rStatus);
}

// Finds the devices of one row and appends one device object per candidate
// that could be built; each candidate has a status of its own.
void discoverRow(const sModelEntry& a_rRow, cPciBrdWrapper_sc& a_rWrapper, tDeviceList& a_rList,
                 Status& a_rStatus) {
  if (a_rStatus.isFatal()) return;

  bool l_IsController = false;
  tCandidateList l_Candidates;
  switch (a_rRow.m_Kind) {
    case kModelKindController:
    case kModelKindPxi1Controller:
      l_IsController = true;
      l_Candidates = a_rRow.m_FindByPciIds == 1 ? searchByPciIds(a_rRow, a_rWrapper)
                                                : searchByInterfaces(a_rRow, a_rWrapper);
      break;
    case kModelKindUpstreamByPciIds:
      l_Candidates = searchByPciIds(a_rRow, a_rWrapper);
      break;
    case kModelKindUpstreamByInterface:
      l_Candidates = searchByInterfaces(a_rRow, a_rWrapper);
      break;
    default:
      return;
  }

  for (const sCandidate& l_rCandidate : l_Candidates) {
    Status l_Device;
    boost::shared_ptr<iZelDevice> l_Object =
        l_IsController ? createController(a_rWrapper, a_rRow, l_rCandidate, l_Device)
                       : createUpstream(a_rWrapper, a_rRow, l_rCandidate, l_Device);
    if (l_Device.isNotFatal()) a_rList.push_back(l_Object);
  }
}

void buildList(tDeviceList& a_rList, cPciBrdWrapper_sc& a_rWrapper, Status& a_rStatus) {
  {
    JsonStatusScope l_Scope(a_rStatus);
    a_rWrapper.OpenSession(0, l_Scope.json());
  }
  for (size_t l_Row = 0; l_Row < kModelTableRowCount; ++l_Row) {
    discoverRow(g_ModelTable[l_Row], a_rWrapper, a_rList, a_rStatus);
  }
}

}  // namespace

void discover(boost::shared_ptr<tDeviceList>& a_rList,
              boost::shared_ptr<cPciBrdWrapper_sc>& a_rWrapper, Status& a_rStatus) {
  if (a_rStatus.isFatal()) return;
  try {
    a_rList = boost::make_shared<tDeviceList>();
    {
      JsonStatusScope l_Scope(a_rStatus);
      a_rWrapper = boost::make_shared<cPciBrdWrapper_sc>(l_Scope.json());
    }
    if (a_rStatus.isNotFatal()) buildList(*a_rList, *a_rWrapper, a_rStatus);
    // The controller file uses statuses of its own and runs whenever a
    // wrapper exists; its controllers follow every table-found device.
    addControllersFromFile(*a_rList, *a_rWrapper);
  } catch (const std::bad_alloc&) {
    QVZ_SET_STATUS(a_rStatus, qvstatus::kMemoryFull);
  } catch (const qverr::Exception& l_rException) {
    Status l_Thrown;
    jsonToStatus(l_rException.status(), l_Thrown);
    if (l_Thrown.isNotFatal()) QVZ_SET_STATUS(l_Thrown, qvstatus::kInternal);
    a_rStatus.merge(l_Thrown);
  }
}

}  // namespace nQVZEL_15_0
