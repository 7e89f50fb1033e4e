// One HTTP exchange with the register: what goes on the wire, and what the worker keeps of the
// reply in every shape a register, a broken one included, can give it.
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "device/http_worker.h"
#include "tests/support/fake_register.h"

namespace {

using ::testing::UnorderedElementsAre;

const char kUnreachableHead[] = "error IP Tavix";
const char kUnreachableBody[] = "not found IP Tavix";

// The register's own layout: the reason phrase on the status line, "Access" on the next line.
fake::Reply registerReply(int code, const std::string& phrase, const std::string& body) {
  return fake::Reply::status(code, phrase, body);
}

fake::Reply raw(const std::string& bytes, bool closeAfter = false) {
  fake::Reply reply = fake::Reply::raw(bytes);
  reply.closeAfter = closeAfter;
  return reply;
}

// The connection closes `missing` bytes before the end of the reply.
fake::Reply brokenOff(fake::Reply reply, size_t missing) {
  reply.cutAfter = reply.bytes.size() - missing;
  return reply;
}

fake::Reply dripped(fake::Reply reply) {
  reply.drip = std::chrono::milliseconds(1);
  return reply;
}

class HttpExchange : public ::testing::Test {
 protected:
  HttpExchange() { worker.settings.ip = cashRegister.ip(); }

  fake::FakeRegister cashRegister;
  httpWorker worker;
};

struct ReplyShape {
  const char* name;
  fake::Reply reply;
  bool result;
  std::string errorHead;
  std::string errorBody;
};

TEST_F(HttpExchange, KeepsTheReasonPhraseAndBodyOfEveryReplyShape) {
  const std::vector<ReplyShape> shapes = {
      {"200 OK with Access next", registerReply(200, "OK", "60418254"), true, "OK", "60418254"},
      {"200 with an empty body", registerReply(200, "OK", ""), true, "OK", ""},
      {"the register's error code", registerReply(400, "incorrect-web-api-key", "key rejected"),
       false, "incorrect-web-api-key", "key rejected"},
      {"201 is not success", registerReply(201, "Created", "made"), false, "Created", "made"},
      {"a phrase of several words", registerReply(500, "Internal Server Error", ""), false,
       "Internal Server Error", ""},
      {"no Access header at all", raw("HTTP/1.1 400 shift-gt-24h\r\nContent-Length: 4\r\n\r\nlong"),
       false, "shift-gt-24h", "long"},
      {"Access after other headers",
       raw("HTTP/1.1 400 old-web-api-key\r\nContent-Type: text/plain\r\nContent-Length: 3\r\n"
           "Access-Control-Allow-Origin: *\r\n\r\nold"),
       false, "old-web-api-key", "old"},
      {"an interim 100 before the final reply",
       raw("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 400 incorrect-web-api-key\r\n"
           "Access-Control-Allow-Origin: *\r\nContent-Length: 2\r\n\r\nno"),
       false, "incorrect-web-api-key", "no"},
      {"an HTTP/1.0 reply read to its close",
       raw("HTTP/1.0 200 OK\r\nAccess-Control-Allow-Origin: *\r\n\r\n60418255", true), true, "OK",
       "60418255"},
      {"a status line without reason phrase",
       raw("HTTP/1.1 200\r\nAccess-Control-Allow-Origin: *\r\nContent-Length: 2\r\n\r\n17"), true,
       "", "17"},
      {"a NUL in the body", registerReply(200, "OK", std::string("12\0tail", 7)), true, "OK", "12"},
      {"a phrase in non-ASCII bytes, kept as they came",
       registerReply(400, "\xD0\xBE\xD1\x88\xD0\xB8\xD0\xB1\xD0\xBA\xD0\xB0 \xFF", "x"), false,
       "\xD0\xBE\xD1\x88\xD0\xB8\xD0\xB1\xD0\xBA\xD0\xB0 \xFF", "x"},
      {"a reply dripped byte by byte", dripped(registerReply(400, "no-paper", "slow")), false,
       "no-paper", "slow"},
      {"a 200 broken off in its body: carried out, nothing read from the body",
       brokenOff(registerReply(200, "OK", "0123456789"), 4), true, "OK", ""},
      {"a reply broken off in its status line", brokenOff(registerReply(200, "OK", "60418254"), 68),
       false, kUnreachableHead, kUnreachableBody},
      {"a register that hangs up without a word", fake::Reply::closed(), false, kUnreachableHead,
       kUnreachableBody},
  };

  for (const ReplyShape& shape : shapes) {
    SCOPED_TRACE(shape.name);
    // A worker of its own: a fresh connection, so that a register hanging up is not taken
    // for a stale keep-alive connection and the request retried.
    httpWorker fresh;
    fresh.settings.ip = cashRegister.ip();
    cashRegister.enqueue(shape.reply);

    EXPECT_EQ(fresh.sendRequest("key=60418253", "/apicheck"), shape.result);
    EXPECT_EQ(fresh.settings.errorHead, shape.errorHead);
    EXPECT_EQ(fresh.settings.errorBody, shape.errorBody);
  }
  EXPECT_EQ(cashRegister.requestCount(), shapes.size());
}

TEST_F(HttpExchange, AHugeBodyArrivesWholeAndTheNextReplyIsNotMixedWithIt) {
  std::string huge(16 * 1024 * 1024, 'x');
  for (size_t at = 0; at < huge.size(); at += 4096) huge[at] = static_cast<char>('a' + at % 26);
  cashRegister.enqueue(fake::Reply::ok(huge));
  cashRegister.enqueue(fake::Reply::ok("17"));

  ASSERT_TRUE(worker.sendRequest("key=1", "/apicheck/getInfo"));
  EXPECT_TRUE(worker.settings.errorBody == huge)
      << "got " << worker.settings.errorBody.size() << " bytes";
  ASSERT_TRUE(worker.sendRequest("key=1", "/apicheck"));
  EXPECT_EQ(worker.settings.errorBody, "17");
}

TEST_F(HttpExchange, ARegisterThatIsGoneIsUnreachableAndComesBackOnTheSameHandle) {
  cashRegister.stop();
  worker.settings.errorHead = "from before";

  EXPECT_FALSE(worker.sendRequest("key=1", "/apicheck"));
  EXPECT_EQ(worker.settings.errorHead, kUnreachableHead);
  EXPECT_EQ(worker.settings.errorBody, kUnreachableBody);

  cashRegister.start();
  cashRegister.enqueue(fake::Reply::ok("back"));
  EXPECT_TRUE(worker.sendRequest("key=1", "/apicheck"));
  EXPECT_EQ(worker.settings.errorHead, "OK");
  EXPECT_EQ(worker.settings.errorBody, "back");
}

TEST_F(HttpExchange, ARegisterRestartedBetweenExchangesIsReachedOnANewConnection) {
  ASSERT_TRUE(worker.sendRequest("key=1", "/apicheck"));
  cashRegister.stop();
  cashRegister.start();

  EXPECT_TRUE(worker.sendRequest("key=2", "/apicheck"));
  EXPECT_EQ(cashRegister.lastRequest().body, "key=2");
  EXPECT_EQ(cashRegister.connectionsAccepted(), 2u);
}

struct AddressCase {
  const char* name;
  std::string ip;
  bool reachesRegister;
};

TEST_F(HttpExchange, TheAddressAsTheCashierWroteItReachesPort8080OverPlainHttpOnly) {
  // A local file where a file:// address would find it: the driver must never read it.
  const std::string directory = ::testing::TempDir() + "tavix-http-exchange";
  ASSERT_EQ(std::system(("mkdir -p '" + directory + "'").c_str()), 0);
  std::ofstream(directory + "/apicheck") << "local file";

  const std::vector<AddressCase> addresses = {
      {"the bare address", cashRegister.ip(), true},
      {"with a scheme of http", "http://" + cashRegister.ip(), true},
      {"with another port, which 8080 replaces", cashRegister.ip() + ":9999", true},
      {"https", "https://" + cashRegister.ip(), false},
      {"a local file", "file://" + directory, false},
  };
  cashRegister.setDefault(fake::Reply::ok("60418254"));
  for (const AddressCase& address : addresses) {
    SCOPED_TRACE(address.name);
    cashRegister.clearRecord();
    const size_t connectionsBefore = cashRegister.connectionsAccepted();
    httpWorker fresh;
    fresh.settings.ip = address.ip;

    EXPECT_EQ(fresh.sendRequest("key=1", "/apicheck"), address.reachesRegister);
    if (address.reachesRegister) {
      EXPECT_EQ(cashRegister.requestCount(), 1u);
      EXPECT_EQ(fresh.settings.errorBody, "60418254");
    } else {
      EXPECT_EQ(fresh.settings.errorHead, kUnreachableHead);
      EXPECT_EQ(fresh.settings.errorBody, kUnreachableBody);
      EXPECT_EQ(cashRegister.connectionsAccepted(), connectionsBefore) << "a connection was made";
    }
  }
}

// Sets an environment variable for one test and puts the old value back.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST_F(HttpExchange, AProxyInTheEnvironmentIsNotUsedForTheRegister) {
  // A shop computer may have a proxy set for its browser; the register sits on the shop's own
  // network and the driver takes its settings from the platform alone.
  fake::FakeRegister proxy;
  const std::string proxyUrl = "http://" + proxy.ip() + ":8080";
  ScopedEnvironment httpProxy("http_proxy", proxyUrl.c_str());
  ScopedEnvironment allProxy("ALL_PROXY", proxyUrl.c_str());
  ScopedEnvironment noProxy("no_proxy", nullptr);
  ScopedEnvironment noProxyUpper("NO_PROXY", nullptr);

  httpWorker fresh;
  fresh.settings.ip = cashRegister.ip();
  EXPECT_TRUE(fresh.sendRequest("key=1", "/apicheck"));
  EXPECT_EQ(cashRegister.requestCount(), 1u);
  EXPECT_EQ(proxy.connectionsAccepted(), 0u);
}

TEST_F(HttpExchange, TheSecondExchangeStartsCleanOnTheSameConnection) {
  cashRegister.enqueue(registerReply(400, "incorrect-web-api-key", "a long first body"));
  cashRegister.enqueue(registerReply(200, "OK", ""));

  EXPECT_FALSE(worker.sendRequest("key=1&print=the first receipt's text", "/api"));
  EXPECT_TRUE(worker.sendRequest("key=2", "/apicheck"));

  EXPECT_EQ(worker.settings.errorHead, "OK");
  EXPECT_EQ(worker.settings.errorBody, "");
  const std::vector<fake::RecordedRequest> requests = cashRegister.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].target, "/apicheck");
  EXPECT_EQ(requests[1].body, "key=2");
  EXPECT_EQ(requests[1].header("Content-Length"), "5");
  // libcurl keeps the connection across its handle's reset: one connection for a whole day.
  EXPECT_EQ(cashRegister.connectionsAccepted(), 1u);
  EXPECT_EQ(requests[0].connection, requests[1].connection);
}

TEST_F(HttpExchange, AReplyBrokenOffLeavesNothingBehindForTheNext) {
  cashRegister.enqueue(brokenOff(fake::Reply::status(400, "no-paper", "half of a long body"), 5));
  cashRegister.enqueue(fake::Reply::ok("17"));

  EXPECT_FALSE(worker.sendRequest("key=1", "/apixreport"));
  EXPECT_TRUE(worker.sendRequest("key=1", "/apicheck"));
  EXPECT_EQ(worker.settings.errorHead, "OK");
  EXPECT_EQ(worker.settings.errorBody, "17");
}

std::vector<std::string> lowerCaseNames(const fake::RecordedRequest& request) {
  std::vector<std::string> names;
  for (const auto& field : request.headers) {
    std::string name = field.first;
    for (char& letter : name) letter = static_cast<char>(std::tolower(letter));
    names.push_back(name);
  }
  return names;
}

TEST_F(HttpExchange, PostsTheFormBodyRawWithLibcurlsDefaultHeadersOnly) {
  // Nothing is escaped: "&", "=", "+", "%" and the cashier's letters reach the register as written.
  const std::string body =
      "key=60418253&print=\xD0\xA1\xD1\x8B\xD1\x80 & milk=1+1 100%\n"
      "--open-cash--";
  ASSERT_TRUE(worker.sendRequest(body, "/apicheck/getInfo?show=minimum"));

  const fake::RecordedRequest request = cashRegister.lastRequest();
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.target, "/apicheck/getInfo?show=minimum");
  EXPECT_EQ(request.body, body);
  EXPECT_EQ(request.header("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(request.header("Content-Length"), std::to_string(body.size()));
  EXPECT_EQ(request.header("Host"), cashRegister.ip() + ":8080");
  EXPECT_THAT(lowerCaseNames(request),
              UnorderedElementsAre("host", "accept", "content-length", "content-type"));
  EXPECT_EQ(request.raw.substr(0, 46), "POST /apicheck/getInfo?show=minimum HTTP/1.1\r\n");
  EXPECT_EQ(request.raw.substr(request.raw.size() - body.size()), body);
}

struct BodyCase {
  const char* name;
  std::string given;
  std::string onTheWire;
};

TEST_F(HttpExchange, TheBodyGoesUpToItsFirstNul) {
  const std::vector<BodyCase> bodies = {
      {"a NUL inside", std::string("key=1\0&print=x", 14), "key=1"},
      {"a NUL first", std::string("\0key=1", 6), ""},
      {"an empty body", "", ""},
  };
  for (const BodyCase& body : bodies) {
    SCOPED_TRACE(body.name);
    ASSERT_TRUE(worker.sendRequest(body.given, "/api"));
    const fake::RecordedRequest request = cashRegister.lastRequest();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.body, body.onTheWire);
    EXPECT_EQ(request.header("Content-Length"), std::to_string(body.onTheWire.size()));
  }
}

TEST_F(HttpExchange, AWorkerWithoutAHandleSendsNothing) {
  // The worker owns its handle: release it here and leave none for the destructor to free.
  curl_easy_cleanup(worker.curlHandle);
  worker.curlHandle = nullptr;

  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_FALSE(worker.sendRequest("key=1", "/apicheck"));
    EXPECT_EQ(worker.settings.errorHead, "error CURL");
    EXPECT_EQ(worker.settings.errorBody, "curl_easy_init() failed");
  }
  EXPECT_EQ(cashRegister.connectionsAccepted(), 0u);
  EXPECT_EQ(cashRegister.requestCount(), 0u);
}

TEST_F(HttpExchange, AWorkerOutlivingAnotherStillReachesTheRegister) {
  auto first = std::make_unique<httpWorker>();
  httpWorker second;
  second.settings.ip = cashRegister.ip();
  first.reset();

  EXPECT_TRUE(second.sendRequest("key=1", "/apicheck"));
  EXPECT_EQ(cashRegister.requestCount(), 1u);
}

struct HeadCase {
  const char* name;
  std::string head;
  std::string phrase;
};

TEST(ReasonPhraseOf, IsThePhraseOfTheFinalStatusLineCutAtItsLineEnd) {
  const std::vector<HeadCase> heads = {
      {"the register's layout", "HTTP/1.1 200 OK\r\nAccess-Control-Allow-Origin: *\r\n\r\n", "OK"},
      {"an error code",
       "HTTP/1.1 400 incorrect-web-api-key\r\nAccess-Control-Allow-Origin: *\r\n"
       "Content-Length: 5\r\n\r\n",
       "incorrect-web-api-key"},
      {"no Access header", "HTTP/1.1 400 shift-gt-24h\r\nContent-Length: 0\r\n\r\n",
       "shift-gt-24h"},
      {"Access later", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nAccess-Control: *\r\n\r\n", "OK"},
      {"after an interim 100",
       "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 400 old-web-api-key\r\nAccess: *\r\n\r\n",
       "old-web-api-key"},
      {"after two interim replies",
       "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 102 Processing\r\n\r\nHTTP/1.1 200 OK\r\n\r\n", "OK"},
      {"HTTP/1.0", "HTTP/1.0 200 OK\r\n\r\n", "OK"},
      {"HTTP/2", "HTTP/2 404 not-found\r\n\r\n", "not-found"},
      {"several words", "HTTP/1.1 500 Internal Server Error\r\n\r\n", "Internal Server Error"},
      {"a status line alone, no line end", "HTTP/1.1 200 OK", "OK"},
      {"bare line feeds", "HTTP/1.1 200 OK\nAccess: *\n\n", "OK"},
      {"no reason phrase", "HTTP/1.1 200\r\nAccess: *\r\n\r\n", ""},
      {"a blank where the phrase would be", "HTTP/1.1 200 \r\n\r\n", ""},
      {"no code either", "HTTP/1.1\r\n\r\n", ""},
      {"HTTP/ inside a header value", "HTTP/1.1 200 OK\r\nVia: HTTP/1.1 999 proxy\r\n\r\n", "OK"},
      {"non-ASCII bytes kept", "HTTP/1.1 400 \xD0\xBE\xD1\x88\xFF\r\n\r\n", "\xD0\xBE\xD1\x88\xFF"},
      {"no status line", "Content-Length: 0\r\n\r\n", ""},
      {"nothing at all", "", ""},
  };
  for (const HeadCase& head : heads) {
    EXPECT_EQ(reasonPhraseOf(head.head), head.phrase) << head.name;
  }
}

}  // namespace
