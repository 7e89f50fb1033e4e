// The platform hands the driver its locale, and the driver makes the C runtime follow it; in
// Russian that locale writes numbers with a decimal comma. The register reads only a point.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "host/driver_session.h"
#include "tests/support/fake_register.h"

namespace {

host::SessionOptions russianPlatform() {
  host::SessionOptions options;
  options.locale = u"ru_RU.UTF-8";
  return options;
}

class AmountsUnderRussianLocale : public ::testing::Test {
 protected:
  void SetUp() override {
    session.useRegister(reg.ip());
    if (std::localeconv()->decimal_point != std::string(","))
      GTEST_SKIP() << "SetLocale(\"ru_RU.UTF-8\") brought no decimal comma: the locale is not "
                      "installed (scripts/install-deps.sh generates it)";
  }
  // The locale belongs to the whole process; the tests after this one start from "C" again.
  void TearDown() override { std::setlocale(LC_ALL, "C"); }

  fake::FakeRegister reg;
  host::DriverSession session{russianPlatform()};
};

TEST_F(AmountsUnderRussianLocale, ASaleKeepsThePoint) {
  host::Params opening = session.params(6);
  opening.boolean(1, true).boolean(2, false).i4(4, 0).i4(5, 0);
  session.call(u"OpenCheck", opening);
  host::Params line = session.params(10);
  line.text(1, u"Сыр").r8(2, 1.5).r8(4, 12345.67).r8(6, 20).text(9, u"");
  session.call(u"PrintFiscalString", line);
  reg.clearRecord();
  host::Params close = session.params(5);
  close.r8(1, 12345.67).r8(2, 0.5).r8(3, 0).r8(4, 0);
  EXPECT_TRUE(session.call(u"CloseCheck", close).boolean());
  ASSERT_EQ(reg.requestCount(), 1u);
  EXPECT_EQ(reg.lastRequest().body.rfind(
                "key=60418253&tax=1&sale=12345.7&cash=12345.7&bank=0.5&itemdata=[", 0),
            0u)
      << reg.lastRequest().body;
}

TEST_F(AmountsUnderRussianLocale, ACashDocumentKeepsThePoint) {
  host::Params p = session.params(2);
  p.r8(1, -150.25);
  EXPECT_TRUE(session.call(u"CashInOutcome", p).boolean());
  ASSERT_EQ(reg.requestCount(), 1u);
  EXPECT_EQ(reg.lastRequest().target, "/apiwithdraw");
  EXPECT_EQ(reg.lastRequest().body, "key=60418253&cash=150.25");
}

}  // namespace
