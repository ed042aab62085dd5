// SPDX-License-Identifier: LGPL-2.1-or-later
// qvzel diagnose [--json]: why a device is or is not listed on this machine.
#include <cstdio>

#include "Commands.h"
#include "Diagnosis.h"
#include "Format.h"
#include "JsonRenderer.h"
#include "cJsonWriter.h"
#include "cStandardOutput.h"
#include "qvzelif_status.h"

namespace nQvzelTool {

namespace {

std::string idText(uint16_t a_Vendor, uint16_t a_Device) {
  char l_Text[16];
  std::snprintf(l_Text, sizeof(l_Text), "%04x:%04x", a_Vendor, a_Device);
  return l_Text;
}

// What a model row is searched by: "PCI IDs 12d8:e112, subsystem 1f3c:4130",
// after "driver interfaces nQVZEL_1_0_Pxi4120 with" for a row found through
// the driver.
std::string searchText(const sModelRow& a_rRow) {
  std::string l_Text = a_rRow.m_FindByPciIds
                           ? ""
                           : std::string("driver interfaces ") + a_rRow.m_pInterface + " with ";
  l_Text += "PCI IDs " + idText(a_rRow.m_VendorId, a_rRow.m_DeviceId);
  if (a_rRow.m_SubsystemVendorId != 0 || a_rRow.m_SubsystemId != 0) {
    l_Text += ", subsystem " + idText(a_rRow.m_SubsystemVendorId, a_rRow.m_SubsystemId);
  }
  return l_Text;
}

std::string foundText(const sModelCheck& a_rModel) {
  if (!a_rModel.m_Searched) {
    return a_rModel.m_pRow->m_FindByPciIds ? "not searched: the PCI bridge library is not usable"
                                           : "not searched: no kernel driver tree";
  }
  if (a_rModel.m_Code < 0) return "the search failed with " + statusText(a_rModel.m_Code);
  return a_rModel.m_Found == 0 ? std::string("none found")
                               : std::to_string(a_rModel.m_Found) + " found";
}

// One line "label: text", wrapped with its later lines indented.
void say(std::ostream& a_rOut, const std::string& a_rLabel, const std::string& a_rText,
         size_t a_Columns) {
  a_rOut << wrapText(a_rLabel, displayText(a_rText), "    ", a_Columns);
}

void renderText(const sDiagnosis& a_rD, std::ostream& a_rOut, size_t a_Columns) {
  const sBridgeLibraryCheck& l_rBridge = a_rD.m_Bridge;
  a_rOut << "PCI bridge library (" << l_rBridge.m_File << ")\n";
  if (!l_rBridge.m_Loaded) {
    say(a_rOut, "  ",
        "not found: " + l_rBridge.m_LoadError + ". Install the package " + l_rBridge.m_Package +
            " (or your site's PCI bridge library); "
            "without it nothing is listed.",
        a_Columns);
  } else {
    say(a_rOut, "  ", "loaded from " + l_rBridge.m_Path, a_Columns);
    if (!l_rBridge.m_MissingEntryPoints.empty()) {
      std::string l_Names;
      for (const std::string& l_rName : l_rBridge.m_MissingEntryPoints) {
        l_Names += (l_Names.empty() ? "" : ", ") + l_rName;
      }
      say(a_rOut, "  ", "it lacks the entry points " + l_Names + "; the library cannot use it.",
          a_Columns);
    } else if (l_rBridge.m_SessionCode < 0) {
      say(a_rOut, "  ", "opening a session failed with " + statusText(l_rBridge.m_SessionCode),
          a_Columns);
    } else {
      say(a_rOut, "  ", "every entry point present, a session opens", a_Columns);
    }
  }

  const sDriverCheck& l_rDriver = a_rD.m_Driver;
  a_rOut << "\nKernel driver (" << l_rDriver.m_Root << ")\n";
  if (!l_rDriver.m_Present) {
    say(a_rOut, "  ",
        l_rDriver.m_Problem +
            "; upstream cards and controllers found through "
            "driver interfaces are not listed, and no card can be opened.",
        a_Columns);
  } else {
    say(a_rOut, "  ",
        "loaded: " + std::to_string(l_rDriver.m_DeviceDirectories) + " device directories, " +
            std::to_string(l_rDriver.m_Interfaces.size()) + " interfaces",
        a_Columns);
    for (const auto& l_rClass : l_rDriver.m_Classes) {
      say(a_rOut, "  ", l_rClass.first + ": " + std::to_string(l_rClass.second), a_Columns);
    }
  }

  a_rOut << "\nDevice files\n";
  if (l_rDriver.m_Interfaces.empty()) say(a_rOut, "  ", "none: no driver interface", a_Columns);
  for (const sInterfaceCheck& l_rInterface : l_rDriver.m_Interfaces) {
    std::string l_Text = l_rInterface.m_Directory + "/" + l_rInterface.m_Class + "\\" +
                         l_rInterface.m_Instance + ": ";
    if (!l_rInterface.m_DeviceFile.empty()) l_Text += l_rInterface.m_DeviceFile + ", ";
    l_Text += l_rInterface.m_Problem.empty() ? "readable and writable" : l_rInterface.m_Problem;
    say(a_rOut, "  ", l_Text, a_Columns);
  }

  const sControllerFileCheck& l_rFile = a_rD.m_ControllerFile;
  a_rOut << "\nController file (" << displayText(l_rFile.m_Path) << ")\n";
  if (!l_rFile.m_Present) {
    say(a_rOut, "  ", "absent: no controller beyond the model table is added (not an error)",
        a_Columns);
  } else if (l_rFile.m_Readable) {
    std::string l_Sections;
    for (const std::string& l_rSection : l_rFile.m_Sections) {
      l_Sections += (l_Sections.empty() ? " [" : ", [") + l_rSection + "]";
    }
    say(a_rOut, "  ", std::to_string(l_rFile.m_Sections.size()) + " sections" + l_Sections,
        a_Columns);
  }
  for (const std::string& l_rProblem : l_rFile.m_Problems) {
    say(a_rOut, "  problem: ", l_rProblem, a_Columns);
  }

  a_rOut << "\nModel table: what was searched and found\n";
  for (const sModelCheck& l_rModel : a_rD.m_Models) {
    say(a_rOut, "  ",
        std::string(l_rModel.m_pRow->m_pModel) + " (" +
            (l_rModel.m_pRow->m_Upstream ? "upstream" : "controller") + "), " +
            searchText(*l_rModel.m_pRow) + ": " + foundText(l_rModel),
        a_Columns);
  }

  a_rOut << "\nList\n";
  if (a_rD.m_List.m_Code < 0) {
    say(a_rOut, "  ", "cannot be opened: " + statusText(a_rD.m_List.m_Code), a_Columns);
  } else {
    say(a_rOut, "  ",
        std::to_string(a_rD.m_List.m_Upstream) + " upstream link devices, " +
            std::to_string(a_rD.m_List.m_Controllers) + " link controllers" +
            (a_rD.m_List.m_Unknown != 0
                 ? ", " + std::to_string(a_rD.m_List.m_Unknown) + " unreadable"
                 : std::string()),
        a_Columns);
  }
}

void stringOrNull(cJsonWriter& a_rJson, const char* a_pKey, const std::string& a_rText) {
  a_rJson.key(a_pKey);
  a_rText.empty() ? a_rJson.null() : a_rJson.value(a_rText);
}

void statusOrNull(cJsonWriter& a_rJson, const char* a_pKey, int32_t a_Code) {
  a_rJson.key(a_pKey);
  if (a_Code >= 0) {
    a_rJson.null();
    return;
  }
  writeStatus(a_rJson, a_Code);
}

void strings(cJsonWriter& a_rJson, const char* a_pKey, const std::vector<std::string>& a_rList) {
  a_rJson.key(a_pKey);
  a_rJson.beginArray();
  for (const std::string& l_rText : a_rList) a_rJson.value(l_rText);
  a_rJson.endArray();
}

std::string renderJson(const sDiagnosis& a_rD) {
  cJsonWriter l_Json;
  l_Json.beginObject();
  l_Json.key("format");
  l_Json.value("qvzel-diagnosis");
  l_Json.key("layoutVersion");
  l_Json.value(kJsonLayoutVersion);

  const sBridgeLibraryCheck& l_rBridge = a_rD.m_Bridge;
  l_Json.key("bridgeLibrary");
  l_Json.beginObject();
  l_Json.key("file");
  l_Json.value(l_rBridge.m_File);
  l_Json.key("package");
  l_Json.value(l_rBridge.m_Package);
  l_Json.key("loaded");
  l_Json.boolean(l_rBridge.m_Loaded);
  stringOrNull(l_Json, "path", l_rBridge.m_Path);
  stringOrNull(l_Json, "loadError", l_rBridge.m_LoadError);
  strings(l_Json, "missingEntryPoints", l_rBridge.m_MissingEntryPoints);
  statusOrNull(l_Json, "sessionStatus", l_rBridge.m_SessionCode);
  l_Json.endObject();

  const sDriverCheck& l_rDriver = a_rD.m_Driver;
  l_Json.key("driver");
  l_Json.beginObject();
  l_Json.key("root");
  l_Json.value(l_rDriver.m_Root);
  l_Json.key("loaded");
  l_Json.boolean(l_rDriver.m_Present);
  stringOrNull(l_Json, "problem", l_rDriver.m_Problem);
  l_Json.key("deviceDirectories");
  l_Json.value(static_cast<uint64_t>(l_rDriver.m_DeviceDirectories));
  l_Json.key("classes");
  l_Json.beginArray();
  for (const auto& l_rClass : l_rDriver.m_Classes) {
    l_Json.beginObject();
    l_Json.key("class");
    l_Json.value(l_rClass.first);
    l_Json.key("interfaces");
    l_Json.value(static_cast<uint64_t>(l_rClass.second));
    l_Json.endObject();
  }
  l_Json.endArray();
  l_Json.key("interfaces");
  l_Json.beginArray();
  for (const sInterfaceCheck& l_rInterface : l_rDriver.m_Interfaces) {
    l_Json.beginObject();
    l_Json.key("directory");
    l_Json.value(l_rInterface.m_Directory);
    l_Json.key("class");
    l_Json.value(l_rInterface.m_Class);
    l_Json.key("instance");
    l_Json.value(l_rInterface.m_Instance);
    stringOrNull(l_Json, "deviceFile", l_rInterface.m_DeviceFile);
    l_Json.key("exists");
    l_Json.boolean(l_rInterface.m_Exists);
    l_Json.key("readable");
    l_Json.boolean(l_rInterface.m_Readable);
    l_Json.key("writable");
    l_Json.boolean(l_rInterface.m_Writable);
    stringOrNull(l_Json, "problem", l_rInterface.m_Problem);
    l_Json.endObject();
  }
  l_Json.endArray();
  l_Json.endObject();

  const sControllerFileCheck& l_rFile = a_rD.m_ControllerFile;
  l_Json.key("controllerFile");
  l_Json.beginObject();
  l_Json.key("path");
  l_Json.value(l_rFile.m_Path);
  l_Json.key("present");
  l_Json.boolean(l_rFile.m_Present);
  l_Json.key("readable");
  l_Json.boolean(l_rFile.m_Readable);
  strings(l_Json, "sections", l_rFile.m_Sections);
  strings(l_Json, "problems", l_rFile.m_Problems);
  l_Json.endObject();

  l_Json.key("models");
  l_Json.beginArray();
  for (const sModelCheck& l_rModel : a_rD.m_Models) {
    const sModelRow& l_rRow = *l_rModel.m_pRow;
    l_Json.beginObject();
    l_Json.key("model");
    l_Json.value(l_rRow.m_pModel);
    l_Json.key("kind");
    l_Json.value(l_rRow.m_Upstream ? "upstream" : "controller");
    l_Json.key("searchedBy");
    l_Json.value(l_rRow.m_FindByPciIds ? "pciIds" : "driverInterface");
    l_Json.key("search");
    l_Json.value(searchText(l_rRow));
    l_Json.key("searched");
    l_Json.boolean(l_rModel.m_Searched);
    statusOrNull(l_Json, "status", l_rModel.m_Code);
    l_Json.key("found");
    l_Json.value(static_cast<uint64_t>(l_rModel.m_Found));
    l_Json.endObject();
  }
  l_Json.endArray();

  l_Json.key("list");
  l_Json.beginObject();
  statusOrNull(l_Json, "openStatus", a_rD.m_List.m_Code);
  l_Json.key("upstream");
  l_Json.value(static_cast<uint64_t>(a_rD.m_List.m_Upstream));
  l_Json.key("controllers");
  l_Json.value(static_cast<uint64_t>(a_rD.m_List.m_Controllers));
  l_Json.key("unreadable");
  l_Json.value(static_cast<uint64_t>(a_rD.m_List.m_Unknown));
  l_Json.endObject();
  l_Json.endObject();
  return l_Json.text();
}

}  // namespace

int runDiagnose(const sOptions& a_rOptions, std::ostream& a_rOut, std::ostream& a_rErr) {
  (void)a_rErr;
  const sDiagnosis l_Diagnosis = diagnose();
  if (a_rOptions.m_Json) {
    a_rOut << renderJson(l_Diagnosis);
  } else {
    renderText(l_Diagnosis, a_rOut, cStandardOutput::columns());
  }
  return kExitSuccess;
}

}  // namespace nQvzelTool
