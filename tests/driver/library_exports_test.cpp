// The four functions through which the platform lists, creates and destroys components, and the
// library's dynamic symbol table, which must offer those four and nothing that could clash with
// another add-in loaded into the same process.
#include <climits>
#include <cstdio>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "host/driver_session.h"

namespace {

std::set<std::string> definedDynamicSymbols(const std::string& library) {
  const std::string command = "nm -D --defined-only '" + library + "' 2>&1";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return {};
  std::set<std::string> names;
  char line[4096];
  while (std::fgets(line, sizeof line, pipe.get()) != nullptr) {
    // "<address> <kind> <name>"; the name is the last field.
    std::istringstream fields(line);
    std::string field, last;
    while (fields >> field) last = field;
    if (!last.empty()) names.insert(last);
  }
  return names;
}

TEST(LibraryExports, TheDynamicSymbolTableHoldsExactlyThePlatformsFourFunctions) {
  const std::set<std::string> expected{"DestroyObject", "GetClassNames", "GetClassObject",
                                       "SetPlatformCapabilities"};
  EXPECT_EQ(definedDynamicSymbols(host::DriverLibrary::defaultPath()), expected);
}

TEST(LibraryExports, GetClassNamesNamesTheOneComponent) {
  host::DriverLibrary library;
  const WCHAR_T* names = library.getClassNames();
  ASSERT_NE(names, nullptr);
  EXPECT_EQ(std::u16string(names), u"Tavixfr");
  // The same buffer for the library's whole life.
  EXPECT_EQ(library.getClassNames(), names);
}

TEST(LibraryExports, GetClassObjectCreatesTheComponentWhateverNameIsAsked) {
  host::DriverLibrary library;
  const char16_t* requested[] = {u"Tavixfr", u"SomeOtherClass", u"", nullptr};
  for (const char16_t* name : requested) {
    SCOPED_TRACE(name == nullptr ? "null name" : host::u8(name));
    IComponentBase* component = nullptr;
    const long answer = library.getClassObject(name, &component);
    ASSERT_NE(component, nullptr);
    EXPECT_EQ(answer, static_cast<long>(reinterpret_cast<intptr_t>(component)));
    EXPECT_EQ(component->GetInfo(), 2000);
    EXPECT_EQ(library.destroyObject(&component), 0);
    EXPECT_EQ(component, nullptr);
  }
}

TEST(LibraryExports, GetClassObjectIntoAnOccupiedPointerCreatesNothing) {
  host::DriverLibrary library;
  IComponentBase* component = nullptr;
  ASSERT_NE(library.getClassObject(u"Tavixfr", &component), 0);
  IComponentBase* const first = component;

  EXPECT_EQ(library.getClassObject(u"Tavixfr", &component), 0);
  EXPECT_EQ(component, first);
  EXPECT_EQ(component->GetInfo(), 2000);
  EXPECT_EQ(library.destroyObject(&component), 0);
}

TEST(LibraryExports, DestroyObjectTwiceAnswersMinusOneTheSecondTime) {
  host::DriverLibrary library;
  IComponentBase* component = nullptr;
  library.getClassObject(u"Tavixfr", &component);
  EXPECT_EQ(library.destroyObject(&component), 0);
  EXPECT_EQ(component, nullptr);
  EXPECT_EQ(library.destroyObject(&component), -1);
  EXPECT_EQ(library.destroyObject(nullptr), -1);
}

TEST(LibraryExports, SetPlatformCapabilitiesAnswersOneForEveryLevel) {
  host::DriverLibrary library;
  for (int level : {INT_MIN, -1, 0, 1, 2, 3, 1000, INT_MAX})
    EXPECT_EQ(library.setPlatformCapabilities(level), 1) << "level " << level;
}

}  // namespace
