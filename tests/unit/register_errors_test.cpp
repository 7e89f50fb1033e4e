// The register's error codes and what the cashier reads for each, and the code the worker sets
// itself when it has no HTTP client.
#include <gtest/gtest.h>

#include <string>

#include "device/http_worker.h"
#include "tests/support/fake_register.h"
#include "tests/support/register_error_texts.h"

namespace {

using expected::CodeCase;

// Texts that are no code of the table, letter case and near-misses included.
const std::vector<CodeCase> kCodes = expected::withTextsShownAsTheyCame({
    "old-web-api-key",
    "errorHead",
    "error CURL",
    "not found IP Tavix",
    "OK",
    "",
    "Incorrect-Web-Api-Key",
    "SHIFT-GT-24H",
    "check-printer ",
    "check-printe",
    "tax-invalid-num",
    "Смена закрыта",
});

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
