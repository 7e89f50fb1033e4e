// The fake register itself, seen from a plain socket: every other test trusts what it records
// and how it answers, so a fault here would hide faults of the driver.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/fake_register.h"

namespace {

using ::testing::ElementsAre;
using ::testing::Pair;

// A client that writes exactly the bytes given and reads exactly what comes back; every read
// gives up after a few seconds, so a fault cannot hang the test.
class RawClient {
 public:
  explicit RawClient(const std::string& ip) : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
    timeval patience{5, 0};
    ::setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(8080);
    ::inet_pton(AF_INET, ip.c_str(), &address.sin_addr);
    connected_ = ::connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    connectError_ = connected_ ? 0 : errno;
  }
  ~RawClient() { ::close(socket_); }
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  bool connected() const { return connected_; }
  int connectError() const { return connectError_; }

  void send(const std::string& bytes) {
    for (size_t sent = 0; sent < bytes.size();) {
      const ssize_t now = ::send(socket_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      ASSERT_GT(now, 0);
      sent += static_cast<size_t>(now);
    }
  }

  // Up to `count` bytes; fewer when the register closes first.
  std::string receive(size_t count) {
    std::string bytes;
    char chunk[4096];
    while (bytes.size() < count) {
      const ssize_t now = ::recv(socket_, chunk, std::min(sizeof chunk, count - bytes.size()), 0);
      if (now <= 0) break;
      bytes.append(chunk, static_cast<size_t>(now));
    }
    return bytes;
  }

  // Everything until the register closes the connection; false when it kept it open.
  bool receiveUntilClosed(std::string* bytes) {
    char chunk[4096];
    for (;;) {
      const ssize_t now = ::recv(socket_, chunk, sizeof chunk, 0);
      if (now == 0) return true;
      if (now < 0) return false;
      bytes->append(chunk, static_cast<size_t>(now));
    }
  }

 private:
  int socket_;
  bool connected_ = false;
  int connectError_ = 0;
};

TEST(FakeRegister, ListensOnALoopbackAddressOfItsOwn) {
  fake::FakeRegister first;
  fake::FakeRegister second;

  EXPECT_NE(first.ip(), second.ip());
  for (const std::string& ip : {first.ip(), second.ip()}) {
    in_addr address{};
    ASSERT_EQ(::inet_pton(AF_INET, ip.c_str(), &address), 1) << ip;
    const uint32_t host = ntohl(address.s_addr);
    EXPECT_EQ(host >> 8, 0x7F0000u) << ip;
    EXPECT_GE(host & 0xFF, 2u) << ip;
    EXPECT_LE(host & 0xFF, 254u) << ip;
  }
}

TEST(FakeRegister, RecordsPipelinedRequestsByteForByteAndAnswersEachInTurn) {
  fake::FakeRegister cashRegister;
  cashRegister.enqueue(fake::Reply::status(400, "incorrect-web-api-key", "first"));
  cashRegister.enqueue(fake::Reply::ok("second"));
  const std::string body("key=1\0&print=\xD0\xA1", 15);
  const std::string first = "POST /api HTTP/1.1\r\nhost: x\r\nX-Later: 2\r\nAccept: */*\r\n" +
                            std::string("Content-Length: 15\r\n\r\n") + body;
  const std::string second =
      "POST /apicheck/getInfo?show=minimum HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n"
      "\r\n3\r\nkey\r\n2\r\n=7\r\n0\r\n\r\n";

  RawClient client(cashRegister.ip());
  ASSERT_TRUE(client.connected());
  client.send(first + second);
  const std::string expected = fake::Reply::status(400, "incorrect-web-api-key", "first").bytes +
                               fake::Reply::ok("second").bytes;
  EXPECT_EQ(client.receive(expected.size()), expected);

  const std::vector<fake::RecordedRequest> requests = cashRegister.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].target, "/api");
  EXPECT_THAT(requests[0].headers,
              ElementsAre(Pair("host", "x"), Pair("X-Later", "2"), Pair("Accept", "*/*"),
                          Pair("Content-Length", "15")));
  EXPECT_EQ(requests[0].header("HOST"), "x");
  EXPECT_EQ(requests[0].header("User-Agent"), "");
  EXPECT_EQ(requests[0].body, body);
  EXPECT_EQ(requests[0].raw, first);
  EXPECT_EQ(requests[1].target, "/apicheck/getInfo?show=minimum");
  EXPECT_EQ(requests[1].body, "key=7");
  EXPECT_EQ(requests[1].raw, second);
  EXPECT_EQ(requests[0].connection, 1u);
  EXPECT_EQ(requests[1].connection, 1u);
  EXPECT_EQ(cashRegister.connectionsAccepted(), 1u);
  EXPECT_EQ(cashRegister.targets(),
            (std::vector<std::string>{"/api", "/apicheck/getInfo?show=minimum"}));
  EXPECT_EQ(cashRegister.lastRequest().target, "/apicheck/getInfo?show=minimum");

  cashRegister.clearRecord();
  EXPECT_EQ(cashRegister.requestCount(), 0u);
  EXPECT_THROW(cashRegister.lastRequest(), std::exception);
}

TEST(FakeRegister, AnswersFromTheQueueThenTheHandlerThenTheDefault) {
  fake::FakeRegister cashRegister;
  cashRegister.setDefault(fake::Reply::status(503, "default"));
  RawClient client(cashRegister.ip());
  ASSERT_TRUE(client.connected());
  const auto exchange = [&](const std::string& path, const fake::Reply& expected) {
    client.send("POST " + path + " HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n");
    return client.receive(expected.bytes.size()) == expected.bytes;
  };

  EXPECT_TRUE(exchange("/one", fake::Reply::status(503, "default")));
  cashRegister.setHandler([&](const fake::RecordedRequest& request) {
    // The handler may look at the record while it answers.
    return fake::Reply::ok(request.target + std::to_string(cashRegister.requestCount()));
  });
  cashRegister.enqueue(fake::Reply::ok("queued"));
  EXPECT_TRUE(exchange("/two", fake::Reply::ok("queued")));
  EXPECT_TRUE(exchange("/three", fake::Reply::ok("/three3")));
}

struct ReplyEnd {
  const char* name;
  fake::Reply reply;
  std::string received;
};

TEST(FakeRegister, SendsWhatTheTestScriptedAndClosesWhenTold) {
  const std::string bytes = fake::Reply::ok(std::string("a\0b", 3)).bytes;
  fake::Reply closeAfter = fake::Reply::raw(bytes);
  closeAfter.closeAfter = true;
  fake::Reply cut = fake::Reply::raw(bytes);
  cut.cutAfter = 10;
  fake::Reply dripped = fake::Reply::raw(bytes);
  dripped.drip = std::chrono::milliseconds(1);
  dripped.closeAfter = true;
  const std::vector<ReplyEnd> ends = {
      {"closed after the reply", closeAfter, bytes},
      {"cut after ten bytes", cut, bytes.substr(0, 10)},
      {"dripped", dripped, bytes},
      {"hung up", fake::Reply::closed(), ""},
  };

  fake::FakeRegister cashRegister;
  for (const ReplyEnd& end : ends) {
    SCOPED_TRACE(end.name);
    cashRegister.enqueue(end.reply);
    RawClient client(cashRegister.ip());
    ASSERT_TRUE(client.connected());
    client.send("POST /api HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n");
    std::string received;
    EXPECT_TRUE(client.receiveUntilClosed(&received));
    EXPECT_EQ(received, end.received);
  }
  EXPECT_EQ(cashRegister.requestCount(), ends.size());
  EXPECT_EQ(cashRegister.connectionsAccepted(), ends.size());
}

TEST(FakeRegister, TellsAClientWithALargeBodyToGoOn) {
  fake::FakeRegister cashRegister;
  RawClient client(cashRegister.ip());
  ASSERT_TRUE(client.connected());
  client.send("POST /api HTTP/1.1\r\nHost: x\r\nContent-Length: 3\r\nExpect: 100-continue\r\n\r\n");
  const std::string goOn = "HTTP/1.1 100 Continue\r\n\r\n";
  EXPECT_EQ(client.receive(goOn.size()), goOn);
  client.send("abc");
  const std::string ok = fake::Reply::ok().bytes;
  EXPECT_EQ(client.receive(ok.size()), ok);
  EXPECT_EQ(cashRegister.lastRequest().body, "abc");
}

TEST(FakeRegister, GoesAwayAndComesBackOnTheSameAddress) {
  fake::FakeRegister cashRegister;
  const std::string ip = cashRegister.ip();
  const std::string request = "POST /apicheck HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n";
  const std::string ok = fake::Reply::ok().bytes;
  RawClient open(ip);
  ASSERT_TRUE(open.connected());
  open.send(request);
  ASSERT_EQ(open.receive(ok.size()), ok);  // kept open for the next request

  cashRegister.stop();
  std::string leftOver;
  EXPECT_TRUE(open.receiveUntilClosed(&leftOver)) << "an open connection outlived the register";
  RawClient refused(ip);
  EXPECT_FALSE(refused.connected());
  EXPECT_EQ(refused.connectError(), ECONNREFUSED);

  cashRegister.start();
  EXPECT_EQ(cashRegister.ip(), ip);
  RawClient again(ip);
  ASSERT_TRUE(again.connected());
  again.send(request);
  EXPECT_EQ(again.receive(ok.size()), ok);
  EXPECT_EQ(cashRegister.connectionsAccepted(), 2u);
}

}  // namespace
