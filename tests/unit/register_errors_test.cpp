// The register's error codes and what the cashier reads for each, and the code the worker sets
// itself when it has no HTTP client.
#include <gtest/gtest.h>

#include <string>

#include "device/http_worker.h"
#include "tests/support/fake_register.h"

namespace {

struct CodeCase {
  const char* code;
  const char* message;
};

// Written out from the register's list of codes, not from the driver's table.
const CodeCase kCodes[] = {
    {"incorrect-web-api-key", "Ошибка api-ключа"},
    {"tavix-is-blocked", "ОФД заблокировал Tavix"},
    {"check-external-printer", "Нет связи с внешним принтером"},
    {"check-printer", "Ошибка принтера"},
    {"check-printer-or-batt", "Нет бумаги или низкий заряд батареи"},
    {"shift-gt-7days", "Смена открыта более 7 дней"},
    {"shift-gt-24h", "Смена открыта более 24 часа"},
    {"error IP Tavix",
     "Ошибка IP Tavix, укажите в параметрах правильный IP адрес или включите на устройстве ФР "
     "режим"},
    {"tax-invlid-num", "Неправильный код налога, укажите в параметрах правильную цифру"},
    // Texts that are no code of the table are shown as they came.
    {"old-web-api-key", "old-web-api-key"},
    {"errorHead", "errorHead"},
    {"error CURL", "error CURL"},
    {"not found IP Tavix", "not found IP Tavix"},
    {"OK", "OK"},
    {"", ""},
    {"Incorrect-Web-Api-Key", "Incorrect-Web-Api-Key"},
    {"SHIFT-GT-24H", "SHIFT-GT-24H"},
    {"check-printer ", "check-printer "},
    {"check-printe", "check-printe"},
    {"tax-invalid-num", "tax-invalid-num"},
    {"Смена закрыта", "Смена закрыта"},
};

TEST(LastErrorMessage, MatchesACodeOnlyByteForByte) {
  httpWorker worker;
  for (const CodeCase& c : kCodes) {
    SCOPED_TRACE(c.code);
    worker.settings.errorHead = c.code;
    EXPECT_EQ(worker.lastErrorMessage(), c.message);
    EXPECT_EQ(worker.settings.errorHead, c.code);
  }
}

TEST(LastErrorMessage, BeforeAnyExchangeIsTheInitialText) {
  httpWorker worker;
  EXPECT_EQ(worker.lastErrorMessage(), "errorHead");
}

// Non-ASCII bytes (a refused login's body) go to the cashier as they are; the text routines
// render them as UTF-8.
TEST(LastErrorMessage, PassesRegisterTextsThroughUnchanged) {
  httpWorker worker;
  worker.settings.errorHead = "Неверный пароль \xFF\xC3";
  EXPECT_EQ(worker.lastErrorMessage(), "Неверный пароль \xFF\xC3");
}

TEST(LastErrorMessage, AWorkerWithoutAnHttpClientReportsErrorCurl) {
  fake::FakeRegister reg;
  httpWorker worker;
  worker.settings.ip = reg.ip();
  // As if curl_easy_init had failed when the worker was made.
  curl_easy_cleanup(worker.curlHandle);
  worker.curlHandle = nullptr;
  worker.curlReady = false;

  EXPECT_FALSE(worker.sendKeyed("/apicheck"));
  EXPECT_EQ(worker.settings.errorHead, "error CURL");
  EXPECT_EQ(worker.settings.errorBody, "curl_easy_init() failed");
  EXPECT_EQ(worker.lastErrorMessage(), "error CURL");
  EXPECT_EQ(reg.requestCount(), 0u);
}

}  // namespace
