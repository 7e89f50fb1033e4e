// The register names its error in the reason phrase, and GetLastError shows the cashier what the
// cut gives. Whatever head arrives, the cut must stay inside one line of it; for a head laid out
// as the register lays it out, or with its headers in another order or another HTTP version, it
// must give exactly the phrase the register sent.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "device/http_worker.h"

namespace {

[[noreturn]] void fail(const char* what, const std::string& head, const std::string& phrase) {
  std::fprintf(stderr, "%s\n--- head (%zu bytes) ---\n", what, head.size());
  std::fwrite(head.data(), 1, head.size(), stderr);
  std::fprintf(stderr, "\n--- phrase (%zu bytes) ---\n", phrase.size());
  std::fwrite(phrase.data(), 1, phrase.size(), stderr);
  std::fputc('\n', stderr);
  std::abort();
}

bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

std::string oneLine(std::string text) {
  for (char& c : text)
    if (isLineEnd(c)) c = ' ';
  return text;
}

// A header name made of letters, digits and '-', as field names are; never empty.
std::string headerName(FuzzedDataProvider& input) {
  static const char kTokenChars[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-";
  std::string name;
  const size_t length = input.ConsumeIntegralInRange<size_t>(1, 24);
  for (size_t i = 0; i < length; ++i)
    name += kTokenChars[input.ConsumeIntegralInRange<size_t>(0, sizeof kTokenChars - 2)];
  return name;
}

// A head as the register lays it out, its status line followed by the CORS header, or as
// something in its place may: HTTP/1.0 or 1.1, the headers in any order, bare LF line ends,
// interim 100 replies in front.
std::string someRegisterHead(FuzzedDataProvider& input, std::string& phrase) {
  const bool usualLayout = input.ConsumeBool();
  const char* lineEnd = usualLayout || input.ConsumeBool() ? "\r\n" : "\n";
  const char* version = usualLayout || input.ConsumeBool() ? "HTTP/1.1 " : "HTTP/1.0 ";

  std::vector<std::string> headers;
  const int others = input.ConsumeIntegralInRange(0, 4);
  for (int i = 0; i < others; ++i) {
    const std::string name = headerName(input);
    headers.push_back(name + ": " + oneLine(input.ConsumeRandomLengthString(40)));
  }
  const std::string cors = "Access-Control-Allow-Origin: *";
  if (usualLayout) {
    headers.insert(headers.begin(), cors);
  } else if (input.ConsumeBool()) {
    headers.insert(headers.begin() + input.ConsumeIntegralInRange<size_t>(0, headers.size()), cors);
  }

  std::string head;
  const int interim = input.ConsumeIntegralInRange(0, 2);
  for (int i = 0; i < interim; ++i)
    head += std::string("HTTP/1.1 100 Continue") + lineEnd + lineEnd;
  const int status = input.ConsumeIntegralInRange(100, 999);
  phrase = oneLine(input.ConsumeRandomLengthString(80));
  head += version + std::to_string(status) + " " + phrase + lineEnd;
  for (const std::string& header : headers) head += header + lineEnd;
  head += lineEnd;
  return head;
}

void checkAnyHead(const std::string& head) {
  const std::string phrase = reasonPhraseOf(head);
  for (char c : phrase)
    if (isLineEnd(c)) fail("the reason phrase runs over a line end", head, phrase);
  if (head.find(phrase) == std::string::npos)
    fail("the reason phrase is not a part of the head", head, phrase);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  checkAnyHead(std::string(reinterpret_cast<const char*>(data), size));

  FuzzedDataProvider input(data, size);
  std::string sent;
  const std::string head = someRegisterHead(input, sent);
  const std::string phrase = reasonPhraseOf(head);
  if (phrase != sent) fail("the register's phrase did not come back", head, phrase);
  checkAnyHead(head);
  return 0;
}
