// The simulator over a real connection on its own loopback address: the reply's layout byte for
// byte, connections kept alive, the go-ahead for a long body, and faults as the driver meets
// them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "options.h"
#include "register_state.h"
#include "server.h"
#include "tape.h"
#include "wire_client.h"

namespace {

using simtest::exchange;

class WireTest : public ::testing::Test {
 protected:
  void TearDown() override { stop(); }

  // Listens on the first free address of this process's candidates and runs on a thread.
  void start() {
    tape = std::make_unique<sim::Tape>(paper, options.lineLength);
    cashRegister = std::make_unique<sim::Register>(options, *tape);
    for (const std::string& address : simtest::candidateAddresses()) {
      options.listen = address;
      try {
        server = std::make_unique<sim::Server>(options, *cashRegister, log);
        break;
      } catch (const std::runtime_error&) {
      }
    }
    ASSERT_TRUE(server) << "no loopback address free";
    ip = options.listen;
    finished = std::async(std::launch::async, [this] { server->run(); });
  }

  void stop() {
    if (!server) return;
    server->stop();
    finished.wait();
    server.reset();
  }

  // True when the server's run ended by itself within a few seconds.
  bool endsByItself() {
    return finished.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
  }

  std::string key() const { return "key=" + std::to_string(options.key); }

  sim::Options options;
  std::ostringstream paper, log;
  std::unique_ptr<sim::Tape> tape;
  std::unique_ptr<sim::Register> cashRegister;
  std::unique_ptr<sim::Server> server;
  std::future<void> finished;
  std::string ip;
};

// The reason text exactly as the driver's cut finds it: from 13 characters after "HTTP/1.1 "
// up to 15 characters before "Access".
std::string reasonAsTheDriverCutsIt(const std::string& head) {
  const size_t start = head.find("HTTP/1.1 ") + 13;
  const size_t access = head.find("Access");
  if (access == std::string::npos || access < 15) return "<no Access header>";
  return head.substr(start, access - 15);
}

TEST_F(WireTest, RepliesLeadWithTheStatusLineAndAccessControlHeader) {
  options.lastReceipt = 41;
  ASSERT_NO_FATAL_FAILURE(start());
  struct Case {
    std::string target, body, statusLine, bodyText;
  };
  const std::vector<Case> cases = {
      {"/apicheck", "key=1", "HTTP/1.1 400 incorrect-web-api-key", "Неверный ключ Web API"},
      {"/apicheck", key(), "HTTP/1.1 200 41", ""},
      {"/dolog?", "login=166&password=9&getApiKey = true",
       "HTTP/1.1 400 incorrect-login-or-password", "Неверный код или пароль администратора"},
      {"/dump/table/taxesbycode", key(), "HTTP/1.1 200 OK", R"({"20":"1","10":"2","0":"3"})"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target + " " + c.body);
    const std::string reply = exchange(ip, c.target, c.body);
    EXPECT_EQ(reply.rfind(c.statusLine + "\r\nAccess-Control-Allow-Origin: *\r\n", 0), 0u) << reply;
    EXPECT_EQ(reasonAsTheDriverCutsIt(reply), c.statusLine.substr(13));
    const size_t bodyStart = reply.find("\r\n\r\n");
    ASSERT_NE(bodyStart, std::string::npos);
    EXPECT_EQ(reply.substr(bodyStart + 4), c.bodyText);
    EXPECT_NE(reply.find("Content-Length: " + std::to_string(c.bodyText.size()) + "\r\n"),
              std::string::npos);
  }
}

TEST_F(WireTest, KeyRenewalOverTheWire) {
  options.firstIssuedKey = 31337;
  ASSERT_NO_FATAL_FAILURE(start());
  EXPECT_EQ(reasonAsTheDriverCutsIt(exchange(ip, "/apicheck", "key=5")), "incorrect-web-api-key");
  const std::string login = exchange(ip, "/dolog?", "login=166&password=1&getApiKey = true");
  EXPECT_EQ(login.substr(login.find("\r\n\r\n") + 4), "31337");
  EXPECT_EQ(reasonAsTheDriverCutsIt(exchange(ip, "/apicheck", "key=31337")), "0");
  EXPECT_NE(log.str().find("new key 31337"), std::string::npos) << log.str();
}

TEST_F(WireTest, OneConnectionCarriesManyRequests) {
  ASSERT_NO_FATAL_FAILURE(start());
  const int socket = simtest::connectTo(ip);
  ASSERT_GE(socket, 0);
  for (int i = 0; i < 3; ++i) {
    simtest::sendAll(socket, simtest::postRequest(ip, "/apicheck", key(), true));
    EXPECT_EQ(simtest::receiveUntil(socket, "\r\n\r\n").rfind("HTTP/1.1 200 0\r\n", 0), 0u);
  }
  simtest::sendAll(socket, simtest::postRequest(ip, "/apixreport", key(), false));
  EXPECT_EQ(simtest::receiveAll(socket).rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
  close(socket);
  stop();
  EXPECT_EQ(cashRegister->lastReceipt(), 0);
  EXPECT_NE(paper.str().find("X-ОТЧЕТ"), std::string::npos);
}

TEST_F(WireTest, ALongReceiptGetsTheGoAheadBeforeItsBody) {
  ASSERT_NO_FATAL_FAILURE(start());
  std::string items = "[";
  for (int i = 0; i < 40; ++i)
    items += R"({"name":"Товар )" + std::to_string(i) +
             R"(","price":"1","qty":"1","sum":"1","taxid":"1"},)";
  items += "]";
  const std::string body = key() + "&tax=1&sale=40&cash=40&itemdata=" + items;
  std::string request = simtest::postRequest(ip, "/api", body);
  const size_t headEnd = request.find("\r\n\r\n") + 2;
  request.insert(headEnd, "Expect: 100-continue\r\n");

  const int socket = simtest::connectTo(ip);
  ASSERT_GE(socket, 0);
  simtest::sendAll(socket, request.substr(0, request.size() - body.size()));
  EXPECT_EQ(simtest::receiveUntil(socket, "\r\n\r\n"), "HTTP/1.1 100 Continue\r\n\r\n");
  simtest::sendAll(socket, body);
  EXPECT_EQ(simtest::receiveAll(socket).rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
  close(socket);
  stop();
  EXPECT_EQ(cashRegister->lastReceipt(), 1);
}

TEST_F(WireTest, RefusedRequestGetsNoReplyAndIsNotCarriedOut) {
  options.fault.kind = sim::FaultKind::Refuse;
  ASSERT_NO_FATAL_FAILURE(start());
  EXPECT_EQ(exchange(ip, "/api", key() + "&itemdata=[]"), "");
  EXPECT_EQ(reasonAsTheDriverCutsIt(exchange(ip, "/apicheck", key())), "0");
  stop();
  EXPECT_EQ(cashRegister->lastReceipt(), 0);
  EXPECT_EQ(paper.str(), "");
}

// libcurl must see a broken reply as a failed transfer: a reply that ends after its status line
// but before the end of its head passes for a whole one, so the break falls in the body, or in
// the status line when there is no body.
TEST_F(WireTest, ReplyBrokenOffAfterTheSaleWasRegistered) {
  for (const bool renewKey : {false, true}) {
    SCOPED_TRACE(renewKey ? "the reply carries a new key" : "the reply has no body");
    options.fault.kind = sim::FaultKind::CloseMidReply;
    options.fault.times = 1;
    options.renewKeyOnDocuments = renewKey;
    options.firstIssuedKey = 1000000;
    ASSERT_NO_FATAL_FAILURE(start());
    const std::string broken = exchange(ip, "/api", key() + "&itemdata=[]");
    const std::string whole =
        exchange(ip, "/api", "key=" + std::to_string(cashRegister->key()) + "&itemdata=[]");
    ASSERT_FALSE(broken.empty());
    EXPECT_LT(broken.size(), whole.size());
    EXPECT_EQ(whole.compare(0, broken.size(), broken), 0) << "the first part of the same reply";
    const size_t headEnd = broken.find("\r\n\r\n");
    if (renewKey) {
      EXPECT_NE(headEnd, std::string::npos) << broken;
      EXPECT_EQ(broken.substr(headEnd + 4), "100") << "half of the key 1000000";
    } else {
      EXPECT_EQ(broken.find("\r\n"), std::string::npos) << broken;
    }
    stop();
    EXPECT_EQ(cashRegister->lastReceipt(), 2) << "the register printed both receipts";
  }
}

TEST_F(WireTest, RunEndsAfterTheRequestBound) {
  options.maxRequests = 2;
  ASSERT_NO_FATAL_FAILURE(start());
  exchange(ip, "/apicheck", key());
  EXPECT_FALSE(finished.wait_for(std::chrono::milliseconds(100)) == std::future_status::ready);
  exchange(ip, "/apicheck", "key=1");  // a refused request counts as answered
  EXPECT_TRUE(endsByItself());
  EXPECT_EQ(server->requestsAnswered(), 2);
}

TEST_F(WireTest, RunEndsAfterTheTimeBound) {
  options.exitAfterSeconds = 1;
  ASSERT_NO_FATAL_FAILURE(start());
  EXPECT_TRUE(endsByItself());
  EXPECT_EQ(simtest::connectTo(ip), -1) << "nobody listens any more";
}

}  // namespace
