// Every command of the console against the register simulator, end to end: the console loads the
// library of this build, the driver talks HTTP to the simulator, and the test reads what the
// technician reads (the platform calls, messages, dialogs, the exit status) and what the customer
// would get (the simulator's paper tape).
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "console_harness.h"

namespace console_test {
namespace {

// "{ip}" in an expectation stands for the simulator's address.
std::string withAddress(std::string text, const std::string& ip) {
  for (size_t at = text.find("{ip}"); at != std::string::npos; at = text.find("{ip}", at))
    text.replace(at, 4, ip);
  return text;
}

std::vector<std::string> withAddress(std::vector<std::string> texts, const std::string& ip) {
  for (std::string& text : texts) text = withAddress(text, ip);
  return texts;
}

struct ConsoleCase {
  const char* what;
  std::vector<std::string> simulator;  // the simulator's options
  std::vector<std::string> console;    // the console's arguments after --ip and --key
  int exitCode;
  std::vector<std::string> shown;     // each must appear in the console's output
  std::vector<std::string> tape;      // each must appear on the paper tape
  std::vector<std::string> notShown;  // none may appear in the console's output
};

// ctest lists each case by its name, not by its bytes.
void PrintTo(const ConsoleCase& row, std::ostream* out) { *out << row.what; }

class ConsoleCommand : public testing::TestWithParam<ConsoleCase> {};

TEST_P(ConsoleCommand, DrivesTheRegisterAndShowsWhatHappened) {
  const ConsoleCase& row = GetParam();
  RegisterSimulator simulator(row.simulator);
  ASSERT_SIMULATOR_RUNNING(simulator);

  // The key the simulator starts with, as the platform's form offers it by default.
  std::vector<std::string> arguments{"--ip", simulator.ip(), "--key", "60418253"};
  arguments.insert(arguments.end(), row.console.begin(), row.console.end());
  const Finished run = runConsole(withAddress(arguments, simulator.ip()));

  ASSERT_FALSE(run.timedOut);
  EXPECT_EQ(run.exitCode, row.exitCode) << run.out << run.err;
  EXPECT_EQ(run.err, "");
  for (const std::string& expected : withAddress(row.shown, simulator.ip()))
    EXPECT_NE(run.out.find(expected), std::string::npos) << "missing: " << expected << "\n"
                                                         << run.out;
  for (const std::string& unexpected : withAddress(row.notShown, simulator.ip()))
    EXPECT_EQ(run.out.find(unexpected), std::string::npos) << "shown: " << unexpected << "\n"
                                                           << run.out;
  const std::string tape = simulator.tape();
  for (const std::string& expected : row.tape)
    EXPECT_NE(tape.find(expected), std::string::npos) << "not on the tape: " << expected << "\n"
                                                      << tape;
}

const ConsoleCase kCases[] = {
    {"Version", {}, {"version"}, 0, {"> GetVersion() -> \"3.0\"\n"}, {}, {"SetParameter", "Open"}},
    {"Methods",
     {},
     {"methods"},
     0,
     {"> GetNMethods() -> 22\n",
      "0 GetVersion / ПолучитьНомерВерсии, 0 parameters, returns a value",
      "13 OpenCheck / ОткрытьЧек, 6 parameters, returns a value",
      "21 OpenCashDrawer / ОткрытьДенежныйЯщик, 1 parameter, returns a value"},
     {},
     {"> SetParameter(", "> Open(", "(none)"}},
    {"Describe",
     {},
     {"describe"},
     0,
     {"GetDescription(out name, out description, out equipment-type", "name = \"ViziziDIdovud\"",
      "equipment-type = \"ФискальныйРегистратор\"", "interface-revision = 2006",
      "download-url = \"\""},
     {},
     {}},
    {"ParamsReadAsTheFormShowsThem",
     {},
     {"params"},
     0,
     {"> GetParameters(out settings) -> true; settings = \"<?xml version=\\\"1.0\\\"",
      "Eprint (Number, default 24): Кол-во символов в строке   [--line-length N]",
      "choices: 24 = нормальный 24 символа; 32 = маленький 32 символа;", "Ipdest (String, default ",
      "MultiTax (Boolean, default false)", "[--slip-printer]"},
     {},
     {}},
    {"Actions",
     {},
     {"actions"},
     0,
     {"ShiftID: Номер текущей смены   [action ShiftID]",
      "applicationVersion: Номер текущей прошивки   [action applicationVersion]"},
     {},
     {}},
    {"SettingsGoBeforeTheFirstCallThatNeedsThem",
     {},
     {"--line-length", "32", "--tax", "2", "line-length"},
     0,
     {"> SetParameter(name=\"Ipdest\", value=\"{ip}\") -> true\n"
      "> SetParameter(name=\"Eprint\", value=32) -> true\n"
      "> SetParameter(name=\"WebapiTAVIX\", value=60418253) -> true\n"
      "> SetParameter(name=\"TaxTavix\", value=2) -> true\n"
      "> GetLineLength(device=\"{ip}\", out line-length) -> true; line-length = 32\n"},
     {},
     {"Open("}},
    {"OpenWithAnEmptyProfile",
     {},
     {"open"},
     0,
     {"> Open(out device)\n"
      "    [message] «Tavix» Not Read apikey, add api_key from setting\n"
      "  -> true; device = \"{ip}\"\n"},
     {},
     {}},
    {"TestWithTheRegistersKey",
     {},
     {"test"},
     0,
     {"> DeviceTest(out description, _) -> true; description = \"Api-key загружен, Tavix готов "
      "к работе\"\n",
      "> Close(device=\"{ip}\") -> true\n"},
     {},
     {}},
    {"TestRenewsARejectedKey",
     {"--key", "111", "--issue-key", "4242"},
     {"test"},
     0,
     {"description = \"Tavix готов к работе, Web-Api ключ перезагружен по паролю "
      "администратора\""},
     {},
     {}},
    {"TestWithMultiTaxLoadsTheTaxTable",
     {"--firmware", "102305"},
     {"--multitax", "test"},
     0,
     {"> SetParameter(name=\"MultiTax\", value=true) -> true",
      "коды налогов загружены, Tavix готов к работе. key - 60418253 код налога{"},
     {},
     {}},
    {"OpenShiftShowsTheTestAsAMessage",
     {},
     {"open-shift"},
     0,
     {"> OpenShift(description=\"\")\n"
      "    [message] «Tavix open shift » Api-key загружен, Tavix готов к работе\n"
      "  -> true; description = \"Api-key загружен, Tavix готов к работе\"\n"},
     {},
     {}},
    {"XReportConfirmedByYes",
     {},
     {"--yes", "x-report"},
     0,
     {"> PrintXReport(device=\"{ip}\")\n"
      "    [question] X-Отчет напечатался? (yes/no) yes (--yes)\n"
      "  -> true\n"},
     {"X-ОТЧЕТ"},
     {}},
    {"XReportDeniedByNo",
     {},
     {"--no", "x-report"},
     1,
     {"[question] X-Отчет напечатался? (yes/no) no (--no)\n  -> false\n"},
     {"X-ОТЧЕТ"},
     {}},
    {"ZReportWithoutATerminalIsAnsweredNo",
     {},
     {"z-report"},
     1,
     {"[question] Z-Отчет напечатался? (yes/no) no (no terminal to ask"},
     {"Z-ОТЧЕТ", "СМЕНА ЗАКРЫТА"},
     {}},
    {"SaleOfCyrillicItemsPaidInCashAndCard",
     {},
     {"sale", "Хлеб ржаной:1:120", "Молоко 3,2%:2:91:12", "Сыр:0.35:105.7", "--cash", "200",
      "--card", "116.7"},
     0,
     {"> OpenCheck(device=\"{ip}\", fiscal=true, return=false, cancel-opened=false, out "
      "receipt-number, out shift-number) -> true; receipt-number = 1, shift-number = 1\n",
      "> PrintFiscalString(device=\"{ip}\", name=\"Хлеб ржаной\", quantity=1, price=120, sum=120, "
      "department=1, tax=0, _, _, excise=\"\") -> true\n",
      "name=\"Молоко 3,2%\", quantity=2, price=45.5, sum=91, department=1, tax=12,",
      "> CloseCheck(device=\"{ip}\", cash=200, card=116.7, credit=0, tara=0) -> true\n"},
     {"КАССОВЫЙ ЧЕК", "ПРИХОД", "1.Хлеб ржаной", "2.Молоко 3 2", "3.Сыр", "НАЛИЧНЫМИ",
      "БЕЗНАЛИЧНЫМИ", "316.70"},
     {}},
    {"SaleWithoutPaymentIsPaidInCash",
     {},
     {"sale", "Хлеб:2:240"},
     0,
     {"> CloseCheck(device=\"{ip}\", cash=240, card=0, credit=0, tara=0) -> true\n"},
     {"НАЛИЧНЫМИ"},
     {"БЕЗНАЛИЧНЫМИ"}},
    {"Return",
     {},
     {"return", "Молоко:1:45.5", "--card", "45.5"},
     0,
     {"fiscal=true, return=true,", "CloseCheck(device=\"{ip}\", cash=0, card=45.5,"},
     {"ВОЗВРАТ ПРИХОДА", "1.Молоко"},
     {}},
    {"CashIn",
     {},
     {"cash-in", "5000"},
     0,
     {"> CashInOutcome(device=\"{ip}\", amount=5000) -> true\n"},
     {"ВНЕСЕНИЕ", "5000.00"},
     {}},
    {"CashOutIsANegativeAmount",
     {},
     {"cash-in", "1000", "cash-out", "150.5"},
     0,
     {"> CashInOutcome(device=\"{ip}\", amount=-150.5) -> true\n"},
     {"ВЫПЛАТА", "150.50"},
     {}},
    {"SlipOnTheSlipPrinter",
     {},
     {"--slip-printer", "slip", "Спасибо за покупку"},
     0,
     {"> SetParameter(name=\"NoFiskal\", value=true) -> true\n",
      "> PrintNonFiscalString(device=\"{ip}\", text=\"Спасибо за покупку\") -> true\n"},
     {"Спасибо за покупку"},
     {"without --slip-printer"}},
    {"SlipWithoutTheSlipPrinterPrintsNothing",
     {},
     {"slip", "Спасибо"},
     0,
     {"# without --slip-printer (NoFiskal) the driver prints no slip lines\n"},
     {},
     {}},
    {"DrawerOfThePrinterAttachedToTheRegister",
     {"--line-length", "42"},
     {"--line-length", "42", "drawer"},
     0,
     {"> OpenCashDrawer(device=\"{ip}\") -> true\n"},
     {"(cash drawer opened)"},
     {}},
    {"DrawerWithoutAnExternalPrinter",
     {},
     {"drawer"},
     1,
     {"> OpenCashDrawer(device=\"{ip}\")\n"
      "    [message] «Tavix» Денежный ящик открывает только внешний принтер подключенный к "
      "Tavix\n"
      "  -> false\n"},
     {},
     {"cash drawer opened"}},
    {"ActionShiftID",
     {"--shift", "7"},
     {"action", "ShiftID"},
     0,
     {"> DoAdditionalAction(action=\"ShiftID\")\n"
      "    [message] «Номер текущей смены » 7\n"
      "  -> true\n"},
     {},
     {}},
    {"ARefusedSaleAndTheLastError",
     {"--fault", "code:check-printer"},
     {"--keep-going", "sale", "Хлеб:1:120", "last-error", "cancel"},
     1,
     {"CloseCheck(device=\"{ip}\", cash=120, card=0, credit=0, tara=0) -> false\n",
      "> GetLastError(out description) -> 0; description = \"Ошибка принтера\"\n",
      "> CancelCheck(device=\"{ip}\") -> true\n"},
     {},
     {"КАССОВЫЙ ЧЕК"}},
    {"ALongShiftClosedAtTheCashiersWord",
     {"--old-shift"},
     {"--yes", "sale", "Хлеб:1:120"},
     1,
     {"    [question] Смена на кассовом аппарате отрыта более 24 часов. Закрыть смену "
      "сейчас?(не рекомендуется) (yes/no) yes (--yes)\n",
      "    [alert] Z-Отчет напечатался?\n"},
     {"Z-ОТЧЕТ"},
     {}},
    {"TheSequenceStopsAtTheFirstFalseAnswer",
     {},
     {"--no", "x-report", "z-report"},
     1,
     {"== x-report\n",
      "# the driver answered false to 'x-report'; the remaining commands are "
      "skipped (--keep-going runs them)\n",
      "> Close(device=\"{ip}\") -> true\n"},
     {},
     {"PrintZReport", "== z-report"}},
    {"AShopsDay",
     {"--key", "111", "--issue-key", "9001"},
     {"--yes", "test", "open-shift", "sale", "Хлеб ржаной:1:120", "Молоко:2:91:12", "--cash", "200",
      "--card", "11", "return", "Молоко:1:45.5:12", "cash-in", "5000", "x-report", "z-report"},
     0,
     {"Web-Api ключ перезагружен по паролю администратора", "> CloseCheck(",
      "PrintZReport(device=\"{ip}\")"},
     {"КАССОВЫЙ ЧЕК", "ВОЗВРАТ ПРИХОДА", "ВНЕСЕНИЕ", "X-ОТЧЕТ", "Z-ОТЧЕТ", "СМЕНА ЗАКРЫТА"},
     {"-> false"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, ConsoleCommand, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.what); });

// Nothing listens on this loopback address: the driver's own code for a register that does not
// answer, and its words for it.
TEST(ConsoleUnreachableRegister, TestFailsWithTheDriversWordsForIt) {
  const Finished run = runConsole({"--ip", "127.1.2.3", "--key", "60418253", "test", "last-error"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.out.find("DeviceTest(out description, _) -> false; description = \"Ошибка IP "
                         "Tavix, укажите в параметрах правильный IP адрес"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(run.out.find("GetLastError"), std::string::npos) << "skipped after a false answer";
}

// The cashier at the terminal: the question waits for what is typed.
TEST(ConsoleTerminal, AQuestionIsAnsweredAtTheTerminal) {
  RegisterSimulator simulator;
  ASSERT_SIMULATOR_RUNNING(simulator);
  const Finished run = runConsole({"--ip", simulator.ip(), "--key", "60418253", "x-report"},
                                  Input::Terminal, "да\n");
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("[question] X-Отчет напечатался? (yes/no) yes\n  -> true\n"),
            std::string::npos)
      << run.out;
}

TEST(ConsoleTerminal, AnEmptyAnswerAtTheTerminalIsNo) {
  RegisterSimulator simulator;
  ASSERT_SIMULATOR_RUNNING(simulator);
  const Finished run =
      runConsole({"--ip", simulator.ip(), "--key", "60418253", "x-report"}, Input::Terminal, "\n");
  EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
  EXPECT_NE(run.out.find("(yes/no) no (no answer)\n"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace console_test
