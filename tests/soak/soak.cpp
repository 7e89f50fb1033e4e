// The soak: a long day at one till. One component sells receipt after receipt (OpenCheck, three
// PrintFiscalString, CloseCheck) to a register that answers at once, the way the platform
// keeps a driver loaded from opening to closing time. At the end every receipt must have been
// sold exactly once and whole, no block of the platform's memory may be left live, and the
// resident size must be where it was after a warm-up. Leaks of the driver's own heap are the
// business of the leak checker it runs under (LeakSanitizer in the sanitizer build, valgrind in
// scripts/soak.sh).
//
//   tavix_soak [receipts]      10,000 receipts unless told otherwise
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "host/driver_session.h"
#include "tests/support/fake_register.h"

#if defined(__has_include)
#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
#endif
#endif
#ifndef RUNNING_ON_VALGRIND
#define RUNNING_ON_VALGRIND 0
#endif

namespace {

constexpr long kWarmUpReceipts = 200;
// The allocator may round a little up or down over a day; a leak of one small block per
// receipt would already be several times this over 10,000 receipts.
constexpr long kFlatResidentKiB = 1024;

// The resident size from /proc/self/statm (its second field, in pages).
long residentKiB() {
  std::ifstream statm("/proc/self/statm");
  long total = 0;
  long resident = 0;
  statm >> total >> resident;
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

// Both the sanitizers' quarantine and valgrind's hold freed memory back for a while, so the
// resident size says nothing about the driver there; their own leak checks speak instead.
const char* residentSizeNotJudged() {
#if defined(__SANITIZE_ADDRESS__)
  return "AddressSanitizer keeps freed memory in quarantine";
#else
  if (RUNNING_ON_VALGRIND) return "valgrind keeps freed memory back and has its own heap";
  return nullptr;
#endif
}

class Till {
 public:
  Till() {
    session_.useRegister(register_.ip());
    open_.empty(0).boolean(1, true).boolean(2, false).empty(3).i4(4, 0).i4(5, 0);
    close_.empty(0).r8(1, 300).r8(2, 0).r8(3, 0).r8(4, 0);
  }

  // One receipt: true when every call answered as it should and the register heard one sale.
  bool sellOne(long receipt) {
    bool good = call(u"OpenCheck", open_);
    for (int line = 0; line < 3; ++line) {
      host::Params item = session_.params(10);
      item.empty(0).text(1, kItemNames[line]).r8(2, line + 1).r8(3, 0).r8(4, 100).i4(5, 1);
      item.r8(6, 20).empty(7).empty(8).text(9,
                                            line == 2 ? u"010460406000600021N4N57RSCBUZTQ" : u"");
      good = call(u"PrintFiscalString", item) && good;
    }
    good = call(u"CloseCheck", close_) && good;

    // The same receipt every time: every sale on the wire is the first one, byte for byte.
    const std::vector<fake::RecordedRequest> heard = register_.requests();
    register_.clearRecord();  // the register's record is not the driver's memory
    size_t sales = 0;
    for (const fake::RecordedRequest& request : heard) {
      if (request.target != "/api") continue;
      ++sales;
      if (firstSale_.empty()) firstSale_ = request.body;
      if (request.body != firstSale_) {
        std::cerr << "receipt " << receipt << ": the sale differs from the first one\n";
        good = false;
      }
    }
    if (sales != 1) {
      std::cerr << "receipt " << receipt << ": the register heard " << sales << " sales\n";
      good = false;
    }
    salesHeard_ += sales;
    if (session_.memory.liveBlocks() > mostLiveBlocks_)
      mostLiveBlocks_ = session_.memory.liveBlocks();
    return good;
  }

  // The component goes as the platform lets it go at closing time.
  void close() { session_.destroy(); }

  const host::TrackingMemory& memory() const { return session_.memory; }
  size_t messages() const { return session_.connection.messages.size(); }
  size_t salesHeard() const { return salesHeard_; }
  size_t mostLiveBlocks() const { return mostLiveBlocks_; }
  size_t saleBytes() const { return firstSale_.size(); }

 private:
  bool call(const std::u16string& method, host::Params& values) {
    const host::CallResult result = session_.call(method, values);
    return result.called && result.boolean();
  }

  static constexpr const char16_t* kItemNames[] = {u"Хлеб ржаной", u"Молоко 3,2% 1л",
                                                   u"Сигареты (маркированные)"};

  fake::FakeRegister register_;
  host::DriverSession session_;
  host::Params open_{6, &session_.memory};
  host::Params close_{5, &session_.memory};
  std::string firstSale_;
  size_t salesHeard_ = 0;
  size_t mostLiveBlocks_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  const long receipts = argc > 1 ? std::atol(argv[1]) : 10000;
  if (receipts < 1) {
    std::cerr << "usage: tavix_soak [receipts]\n";
    return 2;
  }
  const long residentAtStart = residentKiB();
  long failures = 0;
  long residentAfterWarmUp = 0;
  long residentAtEnd = 0;
  size_t liveBlocks = 0;
  size_t badFrees = 0;
  size_t overruns = 0;
  size_t salesHeard = 0;
  size_t mostLiveBlocks = 0;
  size_t messages = 0;
  size_t saleBytes = 0;
  try {
    Till till;
    for (long i = 0; i < kWarmUpReceipts; ++i)
      if (!till.sellOne(-1 - i)) ++failures;
    residentAfterWarmUp = residentKiB();
    for (long i = 0; i < receipts; ++i)
      if (!till.sellOne(i)) ++failures;
    residentAtEnd = residentKiB();
    messages = till.messages();
    salesHeard = till.salesHeard();
    mostLiveBlocks = till.mostLiveBlocks();
    saleBytes = till.saleBytes();
    till.close();
    liveBlocks = till.memory().liveBlocks();
    badFrees = till.memory().badFrees();
    overruns = till.memory().overruns();
  } catch (const std::exception& e) {
    std::cerr << "the soak stopped: " << e.what() << "\n";
    return 1;
  }

  const long growth = residentAtEnd - residentAfterWarmUp;
  const char* notJudged = residentSizeNotJudged();
  std::cout << "soak receipts:            " << receipts << " (after " << kWarmUpReceipts
            << " to warm up), " << salesHeard << " sales heard, " << saleBytes << " bytes each\n"
            << "receipts not as defined:  " << failures << "\n"
            << "messages to the cashier:  " << messages << "\n"
            << "live platform blocks:     " << liveBlocks << " at the end (at most "
            << mostLiveBlocks << " between receipts), bad frees " << badFrees << ", overruns "
            << overruns << "\n"
            << "RSS at start:             " << residentAtStart << " kB\n"
            << "RSS after the warm-up:    " << residentAfterWarmUp << " kB\n"
            << "RSS at the end:           " << residentAtEnd << " kB\n"
            << "RSS growth after warm-up: " << growth << " kB ";
  if (notJudged != nullptr) {
    std::cout << "(not judged: " << notJudged << ")\n";
  } else {
    std::cout << (growth < kFlatResidentKiB ? "(flat)" : "(NOT flat)") << "\n";
  }

  const bool sound = failures == 0 && messages == 0 &&
                     salesHeard == static_cast<size_t>(receipts + kWarmUpReceipts) &&
                     liveBlocks == 0 && mostLiveBlocks == 0 && badFrees == 0 && overruns == 0 &&
                     (notJudged != nullptr || growth < kFlatResidentKiB);
  std::cout << (sound ? "soak: passed" : "soak: FAILED") << std::endl;
  return sound ? 0 : 1;
}
