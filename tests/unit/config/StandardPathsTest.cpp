// SPDX-License-Identifier: LGPL-2.1-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ChildProcess.h"
#include "config/StandardPaths.h"
#include "status/Exception.h"
#include "status/StatusCodes.h"

namespace {

using tContents = std::vector<std::pair<std::string, std::string>>;

constexpr size_t kEntries = 19;

bool startsWith(const std::string& a_rText, const std::string& a_rStart) {
  return a_rText.compare(0, a_rStart.size(), a_rStart) == 0;
}

// Where each directory sits: a root, or a directory below (or equal to, for
// an empty leaf) another entry. A wrong default breaks one of these.
struct sPlace {
  const char* m_pName;
  const char* m_pParent;  // null for a root
  const char* m_pLeaf;    // the root itself for a root
};

const sPlace kLayout[] = {
    {"prefixdir", nullptr, "/usr"},
    {"sysconfdir", nullptr, "/etc"},
    {"localstatedir", nullptr, "/var"},
    {"execprefixdir", "prefixdir", ""},
    {"bindir", "execprefixdir", "bin"},
    {"sbindir", "execprefixdir", "sbin"},
    {"libdir", "execprefixdir", "lib"},
    {"lib32dir", "libdir", ""},
    {"lib64dir", "execprefixdir", "lib64"},
    {"nativelibdir", "lib64dir", ""},
    {"libexecdir", "execprefixdir", "libexec"},
    {"includedir", "prefixdir", "include"},
    {"datarootdir", "prefixdir", "share"},
    {"datadir", "datarootdir", ""},
    {"docdir", "datarootdir", "doc"},
    {"sharedstatedir", "localstatedir", "lib"},
    {"runstatedir", "localstatedir", "run"},
    {"initddir", "sysconfdir", "init.d"},
};

std::string valueOf(const tContents& a_rContents, const std::string& a_rName) {
  for (const auto& l_rEntry : a_rContents) {
    if (l_rEntry.first == a_rName) return l_rEntry.second;
  }
  ADD_FAILURE() << "no entry " << a_rName;
  return std::string();
}

// The table's defaults: nineteen distinct names, each an absolute path
// without empty, "." or ".." components, laid out as kLayout says; the
// multiarch directory is a "-linux-gnu" triplet below libdir.
void expectDefaultLayout(const tContents& a_rDefaults) {
  ASSERT_EQ(kEntries, a_rDefaults.size());
  std::set<std::string> l_Names;
  for (const auto& l_rEntry : a_rDefaults) {
    SCOPED_TRACE(l_rEntry.first + " = " + l_rEntry.second);
    EXPECT_TRUE(l_Names.insert(l_rEntry.first).second);
    const std::string& l_rPath = l_rEntry.second;
    EXPECT_TRUE(startsWith(l_rPath, "/"));
    EXPECT_EQ(std::string::npos, (l_rPath + "/").find("//"));
    EXPECT_EQ(std::string::npos, (l_rPath + "/").find("/./"));
    EXPECT_EQ(std::string::npos, (l_rPath + "/").find("/../"));
  }
  for (const sPlace& l_rPlace : kLayout) {
    SCOPED_TRACE(l_rPlace.m_pName);
    const std::string l_Value = valueOf(a_rDefaults, l_rPlace.m_pName);
    if (l_rPlace.m_pParent == nullptr) {
      EXPECT_EQ(l_rPlace.m_pLeaf, l_Value);
      continue;
    }
    const std::string l_Leaf = l_rPlace.m_pLeaf;
    const std::string l_Parent = valueOf(a_rDefaults, l_rPlace.m_pParent);
    EXPECT_EQ(l_Leaf.empty() ? l_Parent : l_Parent + "/" + l_Leaf, l_Value);
  }
  const std::string l_LibDir = valueOf(a_rDefaults, "libdir") + "/";
  const std::string l_MultiArch = valueOf(a_rDefaults, "multiarchlibdir");
  EXPECT_TRUE(startsWith(l_MultiArch, l_LibDir)) << l_MultiArch;
  const std::string l_Triplet = l_MultiArch.substr(std::min(l_LibDir.size(), l_MultiArch.size()));
  EXPECT_EQ(std::string::npos, l_Triplet.find('/')) << l_MultiArch;
  EXPECT_GT(l_Triplet.size(), std::strlen("-linux-gnu"));
  EXPECT_EQ(l_Triplet.rfind("-linux-gnu"), l_Triplet.size() - std::strlen("-linux-gnu"))
      << l_MultiArch;
}

std::string lookUp(const StandardPaths& a_rTable, const char* a_pName, JsonStatus& a_rStatus) {
  JsonStatus l_Strings;
  StatusString l_Name(a_pName, l_Strings);
  StatusString l_Value("<untouched>", l_Strings);
  getStandardPath(a_rTable, l_Name, l_Value, a_rStatus);
  return l_Value.c_str();
}

// The current values of the table, in order.
tContents contents(const StandardPaths& a_rTable) {
  tContents l_Contents;
  for (size_t l_Index = 0; l_Index < a_rTable.size(); ++l_Index) {
    l_Contents.emplace_back(a_rTable.entry(l_Index).m_Name.c_str(),
                            a_rTable.entry(l_Index).m_Value.c_str());
  }
  return l_Contents;
}

// The values the table's entries were created with, in order.
tContents defaults(const StandardPaths& a_rTable) {
  tContents l_Defaults;
  for (size_t l_Index = 0; l_Index < a_rTable.size(); ++l_Index) {
    l_Defaults.emplace_back(a_rTable.entry(l_Index).m_Name.c_str(),
                            a_rTable.entry(l_Index).m_Default.c_str());
  }
  return l_Defaults;
}

// a_Contents with the value of a_rName replaced.
tContents replaced(tContents a_Contents, const std::string& a_rName, const std::string& a_rValue) {
  for (auto& l_rEntry : a_Contents) {
    if (l_rEntry.first == a_rName) l_rEntry.second = a_rValue;
  }
  return a_Contents;
}

// Sets relocation variables for one test and clears them afterwards.
class cRelocations {
 public:
  explicit cRelocations(std::initializer_list<std::pair<std::string, std::string>> a_Variables)
      : cRelocations(tContents(a_Variables)) {}
  explicit cRelocations(tContents a_Variables) : m_Variables(std::move(a_Variables)) {
    for (const auto& l_rVariable : m_Variables) {
      setenv(l_rVariable.first.c_str(), l_rVariable.second.c_str(), 1);
    }
  }
  ~cRelocations() {
    for (const auto& l_rVariable : m_Variables) unsetenv(l_rVariable.first.c_str());
  }

 private:
  std::vector<std::pair<std::string, std::string>> m_Variables;
};

// Tables built here find libqvrelocations.so.0 through the test's library path.
TEST(StandardPaths, NothingRelocatedGivesTheDefaults) {
  JsonStatus l_Status;
  StandardPaths l_Table(l_Status);
  EXPECT_EQ(0, l_Status.code);
  expectDefaultLayout(defaults(l_Table));
  EXPECT_EQ(defaults(l_Table), contents(l_Table));
}

TEST(StandardPaths, RelocationReachesEveryEntry) {
  JsonStatus l_Status;
  const tContents l_Defaults = defaults(StandardPaths(l_Status));
  tContents l_Variables;
  tContents l_Expected;
  for (const auto& l_rEntry : l_Defaults) {
    std::string l_Variable = "QVRELOC_";
    for (char l_Char : l_rEntry.first) l_Variable += static_cast<char>(std::toupper(l_Char));
    l_Variables.emplace_back(l_Variable, "/moved/" + l_rEntry.first);
    l_Expected.emplace_back(l_rEntry.first, "/moved/" + l_rEntry.first);
  }
  cRelocations l_Env(l_Variables);
  StandardPaths l_Table(l_Status);
  EXPECT_EQ(0, l_Status.code);
  EXPECT_EQ(l_Expected, contents(l_Table));
  EXPECT_EQ(l_Defaults, defaults(l_Table));
}

TEST(StandardPaths, RelocatedNameChangesOnlyItsEntry) {
  cRelocations l_Env({{"QVRELOC_SHAREDSTATEDIR", "/opt/qvz/state"}});
  JsonStatus l_Status;
  StandardPaths l_Table(l_Status);
  EXPECT_EQ(0, l_Status.code);
  EXPECT_EQ(replaced(defaults(l_Table), "sharedstatedir", "/opt/qvz/state"), contents(l_Table));
  // The creation value stays.
  EXPECT_STREQ("/var/lib", l_Table.entry(10).m_Default.c_str());
  EXPECT_EQ("/opt/qvz/state", lookUp(l_Table, "sharedstatedir", l_Status));
}

TEST(StandardPaths, FailedQueryStopsRelocationAndFailsTheTable) {
  // bindir comes before the failing name, datadir after it.
  cRelocations l_Env({{"QVRELOC_FAIL", "sbindir"},
                      {"QVRELOC_BINDIR", "/opt/bin"},
                      {"QVRELOC_DATADIR", "/opt/share"}});
  JsonStatus l_Status;
  StandardPaths l_Table(l_Status);
  EXPECT_EQ(qvstatus::kNotFound, l_Status.code);
  EXPECT_EQ(replaced(defaults(l_Table), "bindir", "/opt/bin"), contents(l_Table));
  // The code is recorded alone, without details.
  EXPECT_TRUE(l_Status.json == nullptr || std::string(l_Status.json) == "{}");
}

TEST(StandardPaths, PathTooLongForTheQueryBufferFailsTheQuery) {
  cRelocations l_Env({{"QVRELOC_DOCDIR", "/" + std::string(300, 'd')}});
  JsonStatus l_Status;
  StandardPaths l_Table(l_Status);
  EXPECT_EQ(qvstatus::kNotFound, l_Status.code);
  EXPECT_EQ(defaults(l_Table), contents(l_Table));
}

TEST(StandardPaths, LookUpMatchesWholeNamesOnly) {
  JsonStatus l_Status;
  StandardPaths l_Table(l_Status);
  for (const char* l_pName : {"libdi", "libdirx", "LIBDIR", ""}) {
    JsonStatus l_Lookup;
    EXPECT_EQ("<untouched>", lookUp(l_Table, l_pName, l_Lookup)) << l_pName;
    EXPECT_EQ(qvstatus::kSystemError, l_Lookup.code) << l_pName;
  }
  EXPECT_EQ("/usr/lib", lookUp(l_Table, "libdir", l_Status));
  EXPECT_EQ("/usr/lib64", lookUp(l_Table, "lib64dir", l_Status));

  JsonStatus l_Failed;
  l_Failed.setCode(qvstatus::kInternal);
  EXPECT_EQ("<untouched>", lookUp(l_Table, "libdir", l_Failed));
  EXPECT_EQ(qvstatus::kInternal, l_Failed.code);
}

// The process-wide table is built while the program loads, with the
// environment the process started with; each case gets a process of its own.
TEST(StandardPathsInstance, DefaultsWithoutTheRelocationLibrary) {
  qvztest::expectChildPasses("DefaultsWithoutLibrary",
                             {"LD_LIBRARY_PATH=/nonexistent", "QVRELOC_SHAREDSTATEDIR=/x"});
}
QVZ_CHILD_CASE(DefaultsWithoutLibrary) {
  JsonStatus l_Status;
  const StandardPaths& l_rTable = StandardPaths::instance(l_Status);
  EXPECT_EQ(0, l_Status.code);
  expectDefaultLayout(defaults(l_rTable));
  EXPECT_EQ(defaults(l_rTable), contents(l_rTable));
  std::string l_Dir;
  getSharedStateDir(l_Dir);
  EXPECT_EQ("/var/lib", l_Dir);
}

TEST(StandardPathsInstance, RelocatedSharedStateDir) {
  qvztest::expectChildPasses("RelocatedSharedStateDir",
                             {"QVRELOC_SHAREDSTATEDIR=/srv/qvz", "QVRELOC_FAIL="});
}
QVZ_CHILD_CASE(RelocatedSharedStateDir) {
  // Changing the environment now has no effect: the table was built at load time.
  setenv("QVRELOC_SHAREDSTATEDIR", "/elsewhere", 1);
  std::string l_Dir;
  getSharedStateDir(l_Dir);
  EXPECT_EQ("/srv/qvz", l_Dir);
  JsonStatus l_First, l_Second;
  EXPECT_EQ(&StandardPaths::instance(l_First), &StandardPaths::instance(l_Second));
}

TEST(StandardPathsInstance, FailedTableFailsEveryLookUp) {
  qvztest::expectChildPasses("FailedTable",
                             {"QVRELOC_FAIL=prefixdir", "QVRELOC_SHAREDSTATEDIR=/srv/qvz"});
}
QVZ_CHILD_CASE(FailedTable) {
  for (int l_Caller = 0; l_Caller < 2; ++l_Caller) {
    JsonStatus l_Status;
    const StandardPaths& l_rTable = StandardPaths::instance(l_Status);
    EXPECT_EQ(qvstatus::kNotFound, l_Status.code);
    // Relocation stopped at the first name: every default is in place.
    expectDefaultLayout(defaults(l_rTable));
    EXPECT_EQ(defaults(l_rTable), contents(l_rTable));
    EXPECT_EQ("<untouched>", lookUp(l_rTable, "sharedstatedir", l_Status));
  }
  std::string l_Dir = "<untouched>";
  try {
    getSharedStateDir(l_Dir);
    ADD_FAILURE() << "no exception";
  } catch (const qverr::Exception& l_rException) {
    EXPECT_EQ(qvstatus::kNotFound, l_rException.status().code);
  }
  // The value (none) was stored before the exception left.
  EXPECT_EQ("", l_Dir);
}

}  // namespace
