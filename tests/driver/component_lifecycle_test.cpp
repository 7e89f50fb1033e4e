// The component between its creation and its destruction, before any driver method: what it
// takes from the platform, what it names itself, and that it gives back all of the platform's
// memory.
#include <string>

#include <gtest/gtest.h>

#include "host/driver_session.h"

namespace {

host::SessionOptions bare() {
  host::SessionOptions options;
  options.withMemory = false;
  options.withConnection = false;
  return options;
}

TEST(ComponentLifecycle, InitRegistersTheProfileAndAnswersTrue) {
  host::DriverSession session(bare());
  EXPECT_TRUE(session.component()->Init(&session.connection));
  EXPECT_EQ(session.connection.registeredProfile, u"TAVIXfr");
}

TEST(ComponentLifecycle, InitWithoutAConnectionAnswersFalse) {
  host::DriverSession session(bare());
  EXPECT_FALSE(session.component()->Init(nullptr));
  EXPECT_TRUE(session.connection.registeredProfile.empty());
}

TEST(ComponentLifecycle, SetMemManagerAnswersWhetherThereIsAManager) {
  host::DriverSession session(bare());
  EXPECT_FALSE(session.component()->setMemManager(nullptr));
  EXPECT_TRUE(session.component()->setMemManager(&session.memory));
}

TEST(ComponentLifecycle, GetInfoIs2000BeforeAndAfterInit) {
  host::DriverSession session(bare());
  EXPECT_EQ(session.component()->GetInfo(), 2000);
  session.component()->Init(&session.connection);
  EXPECT_EQ(session.component()->GetInfo(), 2000);
  session.component()->Done();
  EXPECT_EQ(session.component()->GetInfo(), 2000);
}

TEST(ComponentLifecycle, RegisterExtensionAsWritesTheNameIntoAPlatformBlock) {
  host::DriverSession session;
  WCHAR_T* name = nullptr;
  ASSERT_TRUE(session.component()->RegisterExtensionAs(&name));
  ASSERT_NE(name, nullptr);
  ASSERT_TRUE(session.memory.owns(name));
  const std::u16string expected = u"ViziziDIdovud";
  EXPECT_EQ(session.memory.sizeOf(name), (expected.size() + 1) * sizeof(WCHAR_T));
  EXPECT_EQ(host::textOf(name, &session.memory), expected);
  EXPECT_EQ(name[expected.size()], 0);
  session.memory.FreeMemory(reinterpret_cast<void**>(&name));
}

TEST(ComponentLifecycle, RegisterExtensionAsWithoutMemoryAnswersFalse) {
  host::SessionOptions options;
  options.withMemory = false;
  host::DriverSession session(options);
  WCHAR_T* name = nullptr;
  EXPECT_FALSE(session.component()->RegisterExtensionAs(&name));
  EXPECT_EQ(name, nullptr);
}

TEST(ComponentLifecycle, RegisterExtensionAsWithAFailedAllocationStillAnswersTrue) {
  host::DriverSession session;
  session.memory.failAllocations(true);
  WCHAR_T* name = nullptr;
  EXPECT_TRUE(session.component()->RegisterExtensionAs(&name));
  EXPECT_EQ(name, nullptr);
}

TEST(ComponentLifecycle, TheComponentHasNoProperties) {
  host::DriverSession session;
  IComponentBase& component = *session.component();
  EXPECT_EQ(component.GetNProps(), 0);
  for (const char16_t* name : {u"", u"Version", u"GetVersion", u"Ipdest"})
    EXPECT_EQ(component.FindProp(name), -1) << host::u8(name);
  for (long index : {0L, 1L, -1L}) {
    for (long language : {0L, 1L}) {
      EXPECT_EQ(component.GetPropName(index, language), nullptr)
          << "index " << index << ", language " << language;
    }
  }
  tVariant value{};
  value.vt = VTYPE_I4;
  value.value.lVal = 17;
  EXPECT_FALSE(component.GetPropVal(0, &value));
  EXPECT_FALSE(component.SetPropVal(0, &value));
  EXPECT_EQ(value.vt, VTYPE_I4);
  EXPECT_EQ(value.value.lVal, 17);
  EXPECT_FALSE(component.IsPropReadable(0));
  EXPECT_FALSE(component.IsPropWritable(0));
  EXPECT_EQ(session.memory.allocations(), 1u);  // the extension name, nothing more
}

// The platform frees every text it was handed; after DestroyObject no block of its memory may
// be left, and the component must never have freed one of them itself.
TEST(ComponentLifecycle, NoPlatformBlockOutlivesTheComponent) {
  host::DriverSession session;
  {
    IComponentBase& component = *session.component();
    for (long index = 0; index < component.GetNMethods(); ++index) {
      for (long language : {0L, 1L}) {
        void* name = const_cast<WCHAR_T*>(component.GetMethodName(index, language));
        ASSERT_NE(name, nullptr);
        session.memory.FreeMemory(&name);
      }
    }
    host::Params none = session.params(0);
    EXPECT_EQ(session.call(u"GetVersion", none).text, u"3.0");
    host::Params description = session.params(7);
    session.call(u"GetDescription", description);
    host::Params settings = session.params(1);
    session.call(u"GetParameters", settings);
  }  // the platform is done with the values and frees their texts

  EXPECT_EQ(session.destroy(), 0);
  EXPECT_EQ(session.memory.liveBlocks(), 0u);
  EXPECT_EQ(session.memory.badFrees(), 0u);
  EXPECT_EQ(session.memory.overruns(), 0u);
}

}  // namespace
