// The test host's own bookkeeping. Every leak and bad free the driver tests report is counted
// here, and every profile value the driver reads comes from here, so these must not be wrong.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "host/driver_session.h"

namespace {

void* allocate(host::TrackingMemory& memory, unsigned long size) {
  void* block = nullptr;
  EXPECT_TRUE(memory.AllocMemory(&block, size));
  return block;
}

TEST(TrackingMemory, CountsLiveBlocksAndEveryFreeOfABlockThatIsNotLive) {
  host::TrackingMemory memory;
  void* first = allocate(memory, 4);
  void* second = allocate(memory, 0);
  EXPECT_EQ(memory.liveBlocks(), 2u);
  EXPECT_EQ(memory.sizeOf(first), 4u);
  EXPECT_TRUE(memory.owns(second));

  void* copy = first;
  memory.FreeMemory(&first);
  EXPECT_EQ(first, nullptr);
  memory.FreeMemory(&copy);  // the same block again
  char foreign[4];
  void* notOurs = foreign;
  memory.FreeMemory(&notOurs);
  void* nothing = nullptr;
  memory.FreeMemory(&nothing);  // harmless, as free(nullptr) is

  EXPECT_EQ(memory.badFrees(), 2u);
  EXPECT_EQ(memory.liveBlocks(), 1u);
  EXPECT_EQ(memory.allocations(), 2u);
  EXPECT_FALSE(memory.owns(copy));
}

TEST(TrackingMemory, AFailedAllocationLeavesNoBlock) {
  host::TrackingMemory memory;
  memory.failAllocations(true);
  void* block = &memory;
  EXPECT_FALSE(memory.AllocMemory(&block, 8));
  EXPECT_EQ(block, nullptr);
  EXPECT_EQ(memory.liveBlocks(), 0u);
  memory.failAllocations(false);
  EXPECT_NE(allocate(memory, 8), nullptr);
}

TEST(TrackingMemory, SeesAWriteOnePastTheEnd) {
  host::TrackingMemory memory;
  auto* text = static_cast<char16_t*>(allocate(memory, 3 * sizeof(char16_t)));
  std::memcpy(text, u"abc", 3 * sizeof(char16_t));
  EXPECT_EQ(memory.overruns(), 0u);
  text[3] = 0;  // the zero there was no room for
  EXPECT_EQ(memory.overruns(), 1u);
  void* block = text;
  memory.FreeMemory(&block);
  EXPECT_EQ(memory.overruns(), 1u);  // still told after the block is gone
}

TEST(Params, GivesBackTheDriversTextsButNeverItsOwn) {
  host::TrackingMemory memory;
  {
    host::Params values(3, &memory);
    values.text(0, u"typed by the cashier");
    const WCHAR_T* typed = values[0].value.wstr.pwstrVal;
    // What the driver does with an out-argument: a block of the platform's memory.
    for (size_t i : {1u, 2u}) {
      values[i].vt = VTYPE_PWSTR;
      values[i].value.wstr.pwstrVal = static_cast<WCHAR_T*>(allocate(memory, 2));
      values[i].value.wstr.pwstrVal[0] = 0;
    }
    values.i4(1, 5);  // overwriting a driver's text gives it back
    EXPECT_EQ(memory.liveBlocks(), 1u);
    EXPECT_EQ(values.textAt(0), u"typed by the cashier");
    EXPECT_EQ(values[0].value.wstr.pwstrVal, typed);
  }
  EXPECT_EQ(memory.liveBlocks(), 0u);
  EXPECT_EQ(memory.badFrees(), 0u);
}

TEST(Params, AStrayTextPointerCountsAsABadFree) {
  host::TrackingMemory memory;
  static char16_t driversOwn[] = u"static";
  {
    host::Params values(1, &memory);
    values[0].vt = VTYPE_PWSTR;
    values[0].value.wstr.pwstrVal = driversOwn;
  }
  EXPECT_EQ(memory.badFrees(), 1u);
}

TEST(HostConnection, ReadGivesTheStoredValueAsStoredOrNothing) {
  host::HostConnection connection;
  std::u16string name = u"iApiKey:0";
  tVariant value{};
  value.vt = VTYPE_EMPTY;
  EXPECT_FALSE(connection.Read(name.data(), &value, nullptr, nullptr));
  EXPECT_EQ(value.vt, VTYPE_EMPTY);

  tVariant stored{};
  stored.vt = VTYPE_UI4;
  stored.value.ulVal = 60418253;
  connection.storeProfileValue(name, stored);
  EXPECT_TRUE(connection.Read(name.data(), &value, nullptr, nullptr));
  EXPECT_EQ(value.vt, VTYPE_UI4);
  EXPECT_EQ(value.value.ulVal, 60418253u);

  connection.failRead = true;
  EXPECT_FALSE(connection.Read(name.data(), &value, nullptr, nullptr));
  EXPECT_EQ(connection.reads, 3u);
}

TEST(HostConnection, WriteKeepsItsOwnCopyOfAText) {
  host::HostConnection connection;
  std::u16string name = u"note";
  std::u16string text = u"first";
  tVariant value{};
  value.vt = VTYPE_PWSTR;
  value.value.wstr.pwstrVal = text.data();
  value.value.wstr.wstrLen = static_cast<uint32_t>(text.size());
  EXPECT_TRUE(connection.Write(name.data(), &value));
  text = u"XXXXX";  // the writer's buffer changes after the call
  const tVariant kept = connection.profileValue(name);
  ASSERT_EQ(kept.vt, VTYPE_PWSTR);
  EXPECT_EQ(std::u16string(kept.value.wstr.pwstrVal), u"first");

  connection.failWrite = true;
  EXPECT_FALSE(connection.Write(name.data(), &value));
  EXPECT_EQ(std::u16string(connection.profileValue(name).value.wstr.pwstrVal), u"first");
  EXPECT_EQ(connection.writes, 2u);
  EXPECT_EQ(connection.profileValue(u"absent").vt, VTYPE_EMPTY);
}

TEST(ScriptedMessageBox, AnswersInTurnThenWithTheDefault) {
  host::ScriptedMessageBox box;
  box.answer(true);
  box.answer(false);
  box.defaultAnswer = true;
  bool answers[3];
  for (bool& answer : answers) {
    tVariant value{};
    EXPECT_TRUE(box.Confirm(u"Закрыть смену?", &value));
    EXPECT_EQ(value.vt, VTYPE_BOOL);
    answer = value.value.bVal;
  }
  EXPECT_TRUE(answers[0]);
  EXPECT_FALSE(answers[1]);
  EXPECT_TRUE(answers[2]);
  EXPECT_TRUE(box.Alert(u"Отчет напечатан"));
  ASSERT_EQ(box.dialogs.size(), 4u);
  EXPECT_EQ(box.dialogs[3].kind, host::Dialog::Alert);
  EXPECT_EQ(box.dialogs[3].text, u"Отчет напечатан");
}

TEST(HostText, ConvertsBothWaysAndShowsWhatCannotBeConverted) {
  EXPECT_EQ(host::u16("Чек \xF0\x9F\x98\x80"), u"Чек \xD83D\xDE00");
  EXPECT_EQ(host::u8(u"Чек \xD83D\xDE00"), "Чек \xF0\x9F\x98\x80");
  EXPECT_EQ(host::u16("a\xFF"
                      "b\xE2\x82"),
            u"a\xFFFD"
            u"b\xFFFD");
  EXPECT_EQ(host::u8(u"a\xDC00"
                     u"b\xD800"),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD");
}

}  // namespace
