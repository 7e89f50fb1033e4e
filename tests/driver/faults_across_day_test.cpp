// What goes wrong in the course of a shop's day, through the loaded library: the register
// vanishes in the middle of a receipt and comes back, the platform's profile will not keep the
// key, the register renews its key between two calls, and a connection is never answered at
// all. Nothing is lost, nothing is made twice, and the till never hangs.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "host/driver_session.h"
#include "tests/support/fake_register.h"

namespace {

using fake::Reply;
using host::u16;
using host::u8;

constexpr int32_t kInitialKey = 60418253;
const std::u16string kUnreachable =
    u"Ошибка IP Tavix, укажите в параметрах правильный IP адрес или включите на устройстве ФР "
    u"режим";

using Messages = std::vector<std::pair<std::string, std::string>>;

// A till: one component at a register, and the calls of a receipt as the platform makes them.
class Till {
 public:
  explicit Till(const std::string& ip) { session.useRegister(ip); }

  bool call(const std::u16string& method, size_t count,
            const std::function<void(host::Params&)>& fill = nullptr) {
    host::Params values = session.params(count);
    if (fill) fill(values);
    const host::CallResult result = session.call(method, values);
    EXPECT_TRUE(result.called) << u8(method);
    return result.boolean();
  }

  bool openCheck() {
    return call(u"OpenCheck", 6,
                [](host::Params& p) { p.boolean(1, true).boolean(2, false).i4(4, 0).i4(5, 0); });
  }
  bool printItem(const std::u16string& name, double quantity, double sum) {
    return call(u"PrintFiscalString", 10, [&](host::Params& p) {
      p.text(1, name).r8(2, quantity).r8(4, sum).r8(6, 20).text(9, u"");
    });
  }
  bool closeCheck(double cash) {
    return call(u"CloseCheck", 5, [cash](host::Params& p) { p.r8(1, cash); });
  }
  // The receipt every case of this file sells.
  void breadAndSalt() {
    ASSERT_TRUE(openCheck());
    ASSERT_TRUE(printItem(u"Хлеб", 1, 91));
    ASSERT_TRUE(printItem(u"Соль", 2, 10));
  }

  Messages messages() const {
    Messages all;
    for (const host::PostedMessage& message : session.connection.messages)
      all.emplace_back(u8(message.source), u8(message.text));
    return all;
  }

  int32_t storedKey() const {
    const tVariant value = session.connection.profileValue(u"iApiKey:0");
    return value.vt == VTYPE_I4 ? value.value.lVal : -1;
  }

  host::DriverSession session;
};

std::vector<std::string> bodiesTo(const fake::FakeRegister& cashRegister,
                                  const std::string& target) {
  std::vector<std::string> bodies;
  for (const fake::RecordedRequest& request : cashRegister.requests())
    if (request.target == target) bodies.push_back(request.body);
  return bodies;
}

// The sale a working register receives for the receipt of Till::breadAndSalt.
std::string saleOfAnUntroubledDay() {
  fake::FakeRegister cashRegister;
  Till till(cashRegister.ip());
  till.breadAndSalt();
  EXPECT_TRUE(till.closeCheck(101));
  const std::vector<std::string> sales = bodiesTo(cashRegister, "/api");
  EXPECT_EQ(sales.size(), 1u);
  return sales.empty() ? "" : sales.front();
}

// ---------------------------------------------------------------------------------------------
// The register goes away in the middle of a receipt

struct Outage {
  const char* label;
  // Takes the register away (or breaks its answer) before the given CloseCheck attempt, counted
  // from 0; brings it back before the attempt that is to succeed.
  std::function<void(fake::FakeRegister&, int attempt)> during;
  int failedAttempts;
  int salesTheRegisterHeard;  // sale requests that reached the register, the good one included
};

TEST(FaultsAcrossTheDay, AReceiptOutlivesTheRegistersAbsenceAndIsSoldOnceAndWhole) {
  const std::string expectedSale = saleOfAnUntroubledDay();
  ASSERT_FALSE(expectedSale.empty());

  const auto goneFor = [](int attempts) {
    return [attempts](fake::FakeRegister& r, int attempt) {
      if (attempt == 0) r.stop();
      if (attempt == attempts) r.start();
    };
  };
  const auto answersSaleWith = [](std::vector<Reply> replies) {
    return [replies](fake::FakeRegister& r, int attempt) {
      if (attempt < static_cast<int>(replies.size())) r.enqueue(replies[attempt]);
    };
  };
  Reply brokenRefusal = Reply::status(400, "check-printer", "0123456789");
  brokenRefusal.cutAfter = brokenRefusal.bytes.size() - 4;
  const std::vector<Outage> outages = {
      {"gone when the receipt is closed", goneFor(1), 1, 1},
      {"gone for three attempts", goneFor(3), 3, 1},
      {"hangs up on the sale without a word", answersSaleWith({Reply::closed()}), 1, 2},
      {"breaks its refusal off, then hangs up", answersSaleWith({brokenRefusal, Reply::closed()}),
       2, 3},
  };
  for (const Outage& outage : outages) {
    SCOPED_TRACE(outage.label);
    fake::FakeRegister cashRegister;
    Till till(cashRegister.ip());
    till.breadAndSalt();
    cashRegister.clearRecord();

    for (int attempt = 0; attempt < outage.failedAttempts; ++attempt) {
      outage.during(cashRegister, attempt);
      EXPECT_FALSE(till.closeCheck(101)) << "attempt " << attempt;
      EXPECT_EQ(till.session.lastError(), kUnreachable);
    }
    outage.during(cashRegister, outage.failedAttempts);
    EXPECT_TRUE(till.closeCheck(101));

    // Every sale the register heard is the very receipt, closed once; the good one was last.
    const std::vector<std::string> sales = bodiesTo(cashRegister, "/api");
    EXPECT_EQ(sales.size(), static_cast<size_t>(outage.salesTheRegisterHeard));
    for (const std::string& sale : sales) EXPECT_EQ(sale, expectedSale);
    EXPECT_TRUE(till.messages().empty());

    // Sold: nothing is left to sell again.
    cashRegister.clearRecord();
    EXPECT_TRUE(till.closeCheck(101));
    EXPECT_EQ(cashRegister.requestCount(), 0u);
  }
}

TEST(FaultsAcrossTheDay, TheRegisterRestartsBetweenReceiptsAndTheDayGoesOn) {
  fake::FakeRegister cashRegister;
  Till till(cashRegister.ip());
  const std::string expectedSale = saleOfAnUntroubledDay();
  for (int receipt = 0; receipt < 3; ++receipt) {
    SCOPED_TRACE("receipt " + std::to_string(receipt));
    cashRegister.clearRecord();
    till.breadAndSalt();
    EXPECT_TRUE(till.closeCheck(101));
    EXPECT_EQ(bodiesTo(cashRegister, "/api"), std::vector<std::string>{expectedSale});
    // The kept connection dies with the register; the next receipt needs a new one.
    cashRegister.stop();
    cashRegister.start();
  }
  EXPECT_GE(cashRegister.connectionsAccepted(), 3u);
}

// ---------------------------------------------------------------------------------------------
// The profile will not keep the key

struct RefusedStore {
  const char* label;
  std::function<bool(Till&)> operation;
  std::string target;
  Reply reply;
  bool result;
  Messages messages;
  std::string nextKey;  // the key the next request carries: the renewed one stays in memory
};

TEST(FaultsAcrossTheDay, AProfileThatRefusesTheKeyDoesNotUndoWhatTheRegisterDid) {
  const Messages notStored = {{"Tavix", "Not Write apikey"}};
  const std::vector<RefusedStore> cases = {
      {"a sale that renews the key",
       [](Till& t) {
         t.breadAndSalt();
         return t.closeCheck(101);
       },
       "/api", Reply::ok("5555"), true, notStored, "key=5555"},
      {"a sale that keeps the key",
       [](Till& t) {
         t.breadAndSalt();
         return t.closeCheck(101);
       },
       "/api", Reply::ok(), true, notStored, "key=60418253"},
      {"a cash deposit that renews the key",
       [](Till& t) { return t.call(u"CashInOutcome", 2, [](host::Params& p) { p.r8(1, 500); }); },
       "/apideposit", Reply::ok("6666"), true, notStored, "key=6666"},
      {"a cash withdrawal",
       [](Till& t) { return t.call(u"CashInOutcome", 2, [](host::Params& p) { p.r8(1, -20); }); },
       "/apiwithdraw", Reply::ok(), true, notStored, "key=60418253"},
      // The connection test is there to prove the key reaches the profile.
      {"the connection test", [](Till& t) { return t.call(u"DeviceTest", 2); }, "/apicheck",
       Reply::ok(), false, notStored, "key=60418253"},
  };
  for (const RefusedStore& c : cases) {
    SCOPED_TRACE(c.label);
    fake::FakeRegister cashRegister;
    cashRegister.setHandler([&c](const fake::RecordedRequest& request) {
      return request.target == c.target ? c.reply : Reply::ok();
    });
    Till till(cashRegister.ip());
    till.session.connection.failWrite = true;
    EXPECT_EQ(c.operation(till), c.result);
    EXPECT_EQ(till.messages(), c.messages);
    EXPECT_EQ(bodiesTo(cashRegister, c.target).size(), 1u) << "made once";

    cashRegister.clearRecord();
    EXPECT_TRUE(till.closeCheck(101));  // a sale done empties the receipt: nothing to send
    EXPECT_EQ(cashRegister.requestCount(), 0u);
    till.session.messageBox.answer(true);
    EXPECT_TRUE(till.call(u"PrintXReport", 1));
    EXPECT_EQ(bodiesTo(cashRegister, "/apixreport"), std::vector<std::string>{c.nextKey});
  }
}

// ---------------------------------------------------------------------------------------------
// The register renews its key between two calls

// A register that takes only its current key and gives a new one to the administrator.
class KeyCheckingRegister {
 public:
  KeyCheckingRegister() {
    register_.setHandler([this](const fake::RecordedRequest& request) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (request.target == "/dolog?") {
        current_ = renewed_;
        return Reply::ok(std::to_string(current_));
      }
      if (keyOf(request.body) != current_) return Reply::status(400, "old-web-api-key");
      if (request.target == "/api" && handOut_ != 0) {
        current_ = handOut_;
        handOut_ = 0;
        return Reply::ok(std::to_string(current_));
      }
      return Reply::ok();
    });
  }

  // The register renews its key on its own (a technician at its menu, its nightly routine):
  // the key the till holds is old now, and the administrator's login gives `next`.
  void renewOnItsOwn(int32_t next) {
    std::lock_guard<std::mutex> lock(mutex_);
    current_ = -1;
    renewed_ = next;
  }
  // The register hands `next` out with its reply to the next sale.
  void handOutWithTheNextSale(int32_t next) {
    std::lock_guard<std::mutex> lock(mutex_);
    handOut_ = next;
  }

  fake::FakeRegister register_;

 private:
  static int32_t keyOf(const std::string& body) {
    const size_t at = body.find("key=");
    return at == std::string::npos ? 0 : std::atoi(body.c_str() + at + 4);
  }

  std::mutex mutex_;
  int32_t current_ = kInitialKey;
  int32_t renewed_ = kInitialKey;
  int32_t handOut_ = 0;
};

// The body of a sale without its key: what must not change between the two attempts.
std::string withoutKey(const std::string& body) { return body.substr(body.find('&')); }

TEST(FaultsAcrossTheDay, AKeyRenewedBetweenReceiptsCostsOneRepeatedCloseCheckAndNoSecondSale) {
  KeyCheckingRegister keyed;
  Till till(keyed.register_.ip());
  till.breadAndSalt();
  ASSERT_TRUE(till.closeCheck(101));

  keyed.renewOnItsOwn(9001);
  keyed.register_.clearRecord();
  // The receipt opens whatever the register says; the sale meets the old key.
  till.breadAndSalt();
  EXPECT_FALSE(till.closeCheck(101));
  EXPECT_EQ(till.messages(),
            (Messages{{"Повторите операцию. Получен и записан новый ключ ", "9001"}}));
  EXPECT_EQ(till.storedKey(), 9001);
  EXPECT_TRUE(till.closeCheck(101));

  const std::vector<std::string> sales = bodiesTo(keyed.register_, "/api");
  ASSERT_EQ(sales.size(), 2u);
  EXPECT_EQ(sales[0].substr(0, sales[0].find('&')), "key=60418253");
  EXPECT_EQ(sales[1].substr(0, sales[1].find('&')), "key=9001");
  EXPECT_EQ(withoutKey(sales[1]), withoutKey(sales[0]));
  EXPECT_EQ(bodiesTo(keyed.register_, "/dolog?").size(), 1u);
}

TEST(FaultsAcrossTheDay, AKeyHandedOutWithASaleIsTheKeyOfTheNextCall) {
  KeyCheckingRegister keyed;
  Till till(keyed.register_.ip());
  keyed.handOutWithTheNextSale(7007);
  till.breadAndSalt();
  ASSERT_TRUE(till.closeCheck(101));
  EXPECT_EQ(till.storedKey(), 7007);

  keyed.register_.clearRecord();
  till.breadAndSalt();
  EXPECT_TRUE(till.closeCheck(101));
  EXPECT_EQ(keyed.register_.targets(),
            (std::vector<std::string>{"/apicheck", "/api"}));  // no refusal, no login
  EXPECT_TRUE(till.messages().empty());
}

TEST(FaultsAcrossTheDay, AKeyRenewedBeforeAnXReportCostsOneRepeatedReport) {
  KeyCheckingRegister keyed;
  Till till(keyed.register_.ip());
  ASSERT_TRUE(till.call(u"DeviceTest", 2));
  keyed.renewOnItsOwn(4711);
  till.session.messageBox.answer(true);

  EXPECT_FALSE(till.call(u"PrintXReport", 1));  // the connection test renews the key
  EXPECT_EQ(till.storedKey(), 4711);
  EXPECT_TRUE(till.call(u"PrintXReport", 1));

  // The register printed one X report: the one it accepted.
  EXPECT_EQ(bodiesTo(keyed.register_, "/apixreport"),
            (std::vector<std::string>{"key=60418253", "key=4711"}));
  std::vector<std::string> dialogs;
  for (const host::Dialog& dialog : till.session.messageBox.dialogs)
    dialogs.push_back(u8(dialog.text));
  EXPECT_EQ(dialogs, (std::vector<std::string>{"Повторите операцию", "X-Отчет напечатался?"}));
}

// ---------------------------------------------------------------------------------------------
// A connection that is never answered

// Runs a command, quietly; true when it succeeded.
bool run(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// True when a connection to `address`:8080, made from the calling thread, is still not set up
// after a second: the SYN goes unanswered.
bool connectHangs(const std::string& address) {
  const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
  if (probe < 0) return false;
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(8080);
  ::inet_pton(AF_INET, address.c_str(), &peer.sin_addr);
  bool hangs = false;
  if (::connect(probe, reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0 &&
      errno == EINPROGRESS) {
    pollfd wait{probe, POLLOUT, 0};
    hangs = ::poll(&wait, 1, 1000) == 0;
  }
  ::close(probe);
  return hangs;
}

// A place where connections are never answered, on this test's own ground: a network namespace
// of its own whose loopback drops every packet to port 8080, or, where the test may not make
// one, a listener on a loopback address of its own whose accept queue is full, so the kernel
// drops each further SYN.
class SilentPeer {
 public:
  SilentPeer() {
    if (makeNamespace()) return;
    if (fillListener()) return;
    why_ =
        "neither a network namespace (needs CAP_NET_ADMIN, ip and nft or iptables) nor a "
        "full listener could make a connection hang";
  }
  ~SilentPeer() {
    for (int fd : sockets_) ::close(fd);
    if (namespaceFd_ >= 0) ::close(namespaceFd_);
    if (!namespace_.empty()) run("ip netns del " + namespace_);
  }

  bool ready() const { return !address_.empty(); }
  const std::string& why() const { return why_; }
  const std::string& address() const { return address_; }
  const char* how() const { return namespace_.empty() ? "full accept queue" : "network namespace"; }

  // Makes the calling thread's connections go where this peer is.
  bool enter() const { return namespaceFd_ < 0 || ::setns(namespaceFd_, CLONE_NEWNET) == 0; }

 private:
  bool makeNamespace() {
    const std::string name = "tavix-connect-" + std::to_string(::getpid());
    if (!run("ip netns add " + name)) return false;
    namespace_ = name;
    const std::string in = "ip netns exec " + name + " ";
    const bool dropping =
        run("ip -n " + name + " link set lo up") &&
        ((run(in + "nft add table inet tavix") &&
          run(in + "nft add chain inet tavix input '{ type filter hook input priority 0; }'") &&
          run(in + "nft add rule inet tavix input tcp dport 8080 drop")) ||
         run(in + "iptables -A INPUT -p tcp --dport 8080 -j DROP"));
    namespaceFd_ = ::open(("/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
    if (!dropping || namespaceFd_ < 0) return false;
    // Probe from a thread inside the namespace, as the driver's calls will be made.
    bool hangs = false;
    std::thread([&] { hangs = enter() && connectHangs("127.0.0.2"); }).join();
    if (!hangs) return false;
    address_ = "127.0.0.2";
    return true;
  }

  bool fillListener() {
    if (namespaceFd_ >= 0) ::close(namespaceFd_);
    namespaceFd_ = -1;
    if (!namespace_.empty()) run("ip netns del " + namespace_);
    namespace_.clear();
    // An address away from the ones the fake registers of parallel tests start from.
    for (unsigned step = 0; step < 64; ++step) {
      const std::string address = "127.0.0." + std::to_string(2 + (::getpid() + 128 + step) % 253);
      const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
      sockaddr_in local{};
      local.sin_family = AF_INET;
      local.sin_port = htons(8080);
      ::inet_pton(AF_INET, address.c_str(), &local.sin_addr);
      if (::bind(listener, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
          ::listen(listener, 0) != 0) {
        ::close(listener);
        continue;
      }
      sockets_.push_back(listener);
      // Connections nobody accepts fill the queue; then SYNs go unanswered.
      for (int filler = 0; filler < 8 && !connectHangs(address); ++filler) {
        const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        ::connect(client, reinterpret_cast<sockaddr*>(&local), sizeof local);
        sockets_.push_back(client);
      }
      if (!connectHangs(address)) return false;
      address_ = address;
      return true;
    }
    return false;
  }

  std::string namespace_;
  int namespaceFd_ = -1;
  std::vector<int> sockets_;
  std::string address_;
  std::string why_;
};

// The one case of this file that takes time: the connect time-out itself, about ten seconds.
TEST(FaultsAcrossTheDay, AConnectionNeverAnsweredEndsWithinTheConnectTimeOut) {
  SilentPeer peer;
  if (!peer.ready()) GTEST_SKIP() << peer.why();

  bool entered = false;
  bool result = true;
  std::u16string description;
  std::u16string lastError;
  std::chrono::steady_clock::duration took{};
  std::thread platformThread([&] {
    entered = peer.enter();
    if (!entered) return;
    host::DriverSession session;
    session.useRegister(peer.address());
    host::Params values = session.params(2);
    const auto start = std::chrono::steady_clock::now();
    result = session.call(u"DeviceTest", values).boolean();
    took = std::chrono::steady_clock::now() - start;
    description = values.textAt(0);
    lastError = session.lastError();
  });
  platformThread.join();
  ASSERT_TRUE(entered);

  const double seconds = std::chrono::duration<double>(took).count();
  std::cout << "[ connect  ] unanswered connection (" << peer.how() << ") given up after "
            << seconds << " s" << std::endl;
  EXPECT_FALSE(result);
  EXPECT_EQ(description, kUnreachable);
  EXPECT_EQ(lastError, kUnreachable);
  // The time-out is ten seconds; far beyond it, the till would hang.
  EXPECT_GE(seconds, 9.0) << "the connection did not hang: the case proves nothing";
  EXPECT_LT(seconds, 20.0) << "the connect time-out did not end the wait";
}

}  // namespace
