// SPDX-License-Identifier: LGPL-2.1-or-later
#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "ChildProcess.h"
#include "config/StandardPaths.h"
#include "status/Exception.h"
#include "status/StatusCodes.h"

namespace {

const std::vector<std::pair<std::string, std::string>> kDefaults = {
    {"prefixdir", "/usr"},
    {"execprefixdir", "/usr"},
    {"bindir", "/usr/bin"},
    {"sbindir", "/usr/sbin"},
    {"libdir", "/usr/lib"},
    {"lib32dir", "/usr/lib"},
    {"lib64dir", "/usr/lib64"},
    {"nativelibdir", "/usr/lib64"},
    {"multiarchlibdir", "/usr/lib/x86_64-linux-gnu"},
    {"libexecdir", "/usr/libexec"},
    {"sharedstatedir", "/var/lib"},
    {"datarootdir", "/usr/share"},
    {"datadir", "/usr/share"},
    {"sysconfdir", "/etc"},
    {"localstatedir", "/var"},
    {"runstatedir", "/var/run"},
    {"includedir", "/usr/include"},
    {"docdir", "/usr/share/doc"},
    {"initddir", "/etc/init.d"},
};

std::string lookUp(const StandardPaths& a_rTable, const char* a_pName, JsonStatus& a_rStatus) {
  JsonStatus l_Strings;
  StatusString l_Name(a_pName, l_Strings);
  StatusString l_Value("<untouched>", l_Strings);
  getStandardPath(a_rTable, l_Name, l_Value, a_rStatus);
  return l_Value.c_str();
}

// The current values of the table, in order.
std::vector<std::pair<std::string, std::string>> contents(const StandardPaths& a_rTable) {
  std::vector<std::pair<std::string, std::string>> l_Contents;
  for (size_t l_Index = 0; l_Index < a_rTable.size(); ++l_Index) {
    l_Contents.emplace_back(a_rTable.entry(l_Index).m_Name.c_str(),
                            a_rTable.entry(l_Index).m_Value.c_str());
  }
  return l_Contents;
}

// Sets relocation variables for one test and clears them afterwards.
class cRelocations {
 public:
  explicit cRelocations(std::initializer_list<std::pair<std::string, std::string>> a_Variables)
      : m_Variables(a_Variables) {
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
  EXPECT_EQ(kDefaults, contents(l_Table));
}

TEST(StandardPaths, RelocatedNameChangesOnlyItsEntry) {
  cRelocations l_Env({{"QVRELOC_SHAREDSTATEDIR", "/opt/qvz/state"}});
  JsonStatus l_Status;
  StandardPaths l_Table(l_Status);
  EXPECT_EQ(0, l_Status.code);
  auto l_Expected = kDefaults;
  l_Expected[10].second = "/opt/qvz/state";
  EXPECT_EQ(l_Expected, contents(l_Table));
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
  auto l_Expected = kDefaults;
  l_Expected[2].second = "/opt/bin";
  EXPECT_EQ(l_Expected, contents(l_Table));
  // The code is recorded alone, without details.
  EXPECT_TRUE(l_Status.json == nullptr || std::string(l_Status.json) == "{}");
}

TEST(StandardPaths, PathTooLongForTheQueryBufferFailsTheQuery) {
  cRelocations l_Env({{"QVRELOC_DOCDIR", "/" + std::string(300, 'd')}});
  JsonStatus l_Status;
  StandardPaths l_Table(l_Status);
  EXPECT_EQ(qvstatus::kNotFound, l_Status.code);
  EXPECT_EQ(kDefaults, contents(l_Table));
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
  EXPECT_EQ(kDefaults, contents(l_rTable));
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
    EXPECT_EQ(kDefaults, contents(l_rTable));
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
