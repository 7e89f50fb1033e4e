#include "tests/support/fake_register.h"

#include <unistd.h>

#include <array>
#include <deque>
#include <future>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <system_error>
#include <thread>

#include <boost/asio.hpp>
#include <boost/beast/core/string.hpp>
#include <boost/beast/http.hpp>

namespace fake {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = boost::beast::http;
using tcp = asio::ip::tcp;

constexpr unsigned short kRegisterPort = 8080;
// 127.0.0.1 is left to whatever else runs on the machine; 255 is not a host.
constexpr unsigned kFirstHost = 2;
constexpr unsigned kLastHost = 254;
constexpr unsigned kHostCount = kLastHost - kFirstHost + 1;

// A long print text or a day's item array still fits; a runaway client does not eat the machine.
constexpr std::uint64_t kBodyLimit = std::uint64_t{1} << 30;
constexpr std::uint32_t kHeadLimit = 1 << 20;

const char kContinue[] = "HTTP/1.1 100 Continue\r\n\r\n";

std::string loopbackAddress(unsigned host) { return "127.0.0." + std::to_string(host); }

}  // namespace

std::string RecordedRequest::header(const std::string& name) const {
  for (const auto& field : headers) {
    if (beast::iequals(field.first, name)) return field.second;
  }
  return std::string();
}

Reply Reply::status(int code, const std::string& phrase, const std::string& body) {
  Reply reply;
  reply.bytes =
      "HTTP/1.1 " + std::to_string(code) + " " + phrase +
      "\r\nAccess-Control-Allow-Origin: *\r\nContent-Length: " + std::to_string(body.size()) +
      "\r\n\r\n" + body;
  return reply;
}

Reply Reply::ok(const std::string& body) { return status(200, "OK", body); }

Reply Reply::raw(const std::string& bytes) {
  Reply reply;
  reply.bytes = bytes;
  return reply;
}

Reply Reply::closed() {
  Reply reply;
  reply.hangUp = true;
  return reply;
}

namespace {

class Connection;

// The register's state. FakeRegister::Impl is this under the name the header gives it; the
// connections reach it under its own name.
struct RegisterState {
  RegisterState() : work(asio::make_work_guard(io)), acceptor(io), fallback(Reply::ok()) {}

  // Everything that touches a socket runs on the register's own thread; the test's thread
  // hands work over and waits for it.
  template <typename Work>
  void onRegisterThread(Work work) {
    if (io.get_executor().running_in_this_thread()) {
      work();
      return;
    }
    std::promise<void> done;
    asio::post(io, [&] {
      try {
        work();
        done.set_value();
      } catch (...) {
        done.set_exception(std::current_exception());
      }
    });
    done.get_future().get();
  }

  boost::system::error_code listen(const std::string& address);
  void acceptNext();
  void closeEverything();

  // Keeps the request in the record and decides what the register does with it.
  Reply answer(RecordedRequest request);
  size_t nextConnectionNumber() {
    std::lock_guard<std::mutex> lock(mutex);
    return ++accepted;
  }

  asio::io_context io;
  asio::executor_work_guard<asio::io_context::executor_type> work;
  tcp::acceptor acceptor;
  // Bumped on every stop, so an accept completed just before it is not taken for a new one.
  unsigned generation = 0;
  std::set<std::shared_ptr<Connection>> connections;
  std::string ip;
  std::thread thread;

  mutable std::mutex mutex;
  std::vector<RecordedRequest> record;
  std::deque<Reply> queue;
  std::function<Reply(const RecordedRequest&)> handler;
  Reply fallback;
  size_t accepted = 0;
};

// One accepted connection: reads requests one after the other (keep-alive, pipelined ones
// included) and answers each the way the test scripted.
class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(RegisterState& owner, tcp::socket socket, size_t number)
      : owner_(owner), socket_(std::move(socket)), timer_(owner.io), number_(number) {}

  void begin() { process(); }

  void close() {
    boost::system::error_code ignored;
    timer_.cancel();
    socket_.shutdown(tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
  }

 private:
  using Parser = http::request_parser<http::string_body>;

  void process() {
    for (;;) {
      if (!parser_) startRequest();
      if (!pending_.empty()) {
        beast::error_code error;
        const size_t used = parser_->put(asio::buffer(pending_), error);
        raw_.append(pending_, 0, used);
        pending_.erase(0, used);
        if (error && error != http::error::need_more) {
          finish();  // not HTTP: a real register would drop it too
          return;
        }
        if (parser_->is_done()) {
          reply(owner_.answer(takeRequest()));
          return;
        }
        if (!error && used > 0) continue;
      }
      // libcurl holds a large body back until it hears "go on" (or a second has passed).
      if (parser_->is_header_done() && !continueSent_ &&
          beast::iequals(parser_->get()[http::field::expect], "100-continue")) {
        continueSent_ = true;
        send(asio::buffer(kContinue, sizeof kContinue - 1), [this] { process(); });
        return;
      }
      readMore();
      return;
    }
  }

  void startRequest() {
    parser_.emplace();
    parser_->eager(true);
    parser_->body_limit(kBodyLimit);
    parser_->header_limit(kHeadLimit);
    raw_.clear();
    continueSent_ = false;
  }

  RecordedRequest takeRequest() {
    const auto& message = parser_->get();
    RecordedRequest request;
    request.method = std::string(message.method_string());
    request.target = std::string(message.target());
    for (const auto& field : message) {
      request.headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
    }
    request.body = message.body();
    request.raw = std::move(raw_);
    request.connection = number_;
    parser_.reset();
    return request;
  }

  void readMore() {
    socket_.async_read_some(asio::buffer(chunk_),
                            [self = shared_from_this()](beast::error_code error, size_t bytes) {
                              if (error) {
                                self->finish();
                                return;
                              }
                              self->pending_.append(self->chunk_.data(), bytes);
                              self->process();
                            });
  }

  void reply(Reply reply) {
    if (reply.hangUp) {
      finish();
      return;
    }
    const bool cut = reply.cutAfter < reply.bytes.size();
    outgoing_ = cut ? reply.bytes.substr(0, reply.cutAfter) : std::move(reply.bytes);
    const bool closeAfter = reply.closeAfter || cut;
    auto afterReply = [this, closeAfter] {
      if (closeAfter) {
        finish();
      } else {
        process();  // the next request on the same connection
      }
    };
    if (reply.drip.count() > 0) {
      drip(0, reply.drip, afterReply);
    } else {
      send(asio::buffer(outgoing_), afterReply);
    }
  }

  template <typename Then>
  void send(asio::const_buffer bytes, Then then) {
    asio::async_write(socket_, bytes,
                      [self = shared_from_this(), then](beast::error_code error, size_t) {
                        if (error) {
                          self->finish();
                          return;
                        }
                        then();
                      });
  }

  template <typename Then>
  void drip(size_t at, std::chrono::milliseconds pause, Then then) {
    if (at == outgoing_.size()) {
      then();
      return;
    }
    asio::async_write(
        socket_, asio::buffer(&outgoing_[at], 1),
        [self = shared_from_this(), at, pause, then](beast::error_code error, size_t) {
          if (error) {
            self->finish();
            return;
          }
          self->timer_.expires_after(pause);
          self->timer_.async_wait([self, at, pause, then](beast::error_code error) {
            if (error) {
              self->finish();
              return;
            }
            self->drip(at + 1, pause, then);
          });
        });
  }

  // Closes the connection and lets the register forget it.
  void finish() {
    close();
    owner_.connections.erase(shared_from_this());
  }

  RegisterState& owner_;
  tcp::socket socket_;
  asio::steady_timer timer_;
  const size_t number_;
  std::array<char, 64 * 1024> chunk_;
  std::string pending_;  // received, not yet parsed
  std::string raw_;      // the bytes of the request being parsed
  std::optional<Parser> parser_;
  bool continueSent_ = false;
  std::string outgoing_;
};

boost::system::error_code RegisterState::listen(const std::string& address) {
  boost::system::error_code error;
  const tcp::endpoint endpoint(asio::ip::make_address_v4(address), kRegisterPort);
  acceptor.open(endpoint.protocol(), error);
  // A register restarted on its address must not wait for the old connections' TIME_WAIT. On
  // Linux this still refuses a second listener on the same address, which is what we rely on
  // to find a free one.
  if (!error) acceptor.set_option(asio::socket_base::reuse_address(true), error);
  if (!error) acceptor.bind(endpoint, error);
  if (!error) acceptor.listen(asio::socket_base::max_listen_connections, error);
  if (error) {
    boost::system::error_code ignored;
    acceptor.close(ignored);
    return error;
  }
  acceptNext();
  return error;
}

void RegisterState::acceptNext() {
  acceptor.async_accept([this, started = generation](beast::error_code error, tcp::socket socket) {
    if (started != generation || !acceptor.is_open()) return;
    if (!error) {
      auto connection =
          std::make_shared<Connection>(*this, std::move(socket), nextConnectionNumber());
      connections.insert(connection);
      connection->begin();
    }
    acceptNext();
  });
}

void RegisterState::closeEverything() {
  ++generation;
  boost::system::error_code ignored;
  acceptor.close(ignored);
  for (const auto& connection : connections) connection->close();
  connections.clear();
}

Reply RegisterState::answer(RecordedRequest request) {
  std::function<Reply(const RecordedRequest&)> answering;
  {
    std::lock_guard<std::mutex> lock(mutex);
    record.push_back(request);
    if (!queue.empty()) {
      Reply next = std::move(queue.front());
      queue.pop_front();
      return next;
    }
    if (!handler) return fallback;
    answering = handler;
  }
  // The handler runs unlocked, so it may look at the record or script further replies.
  try {
    return answering(request);
  } catch (...) {
    return Reply::status(500, "fake-register-handler-threw");
  }
}

}  // namespace

struct FakeRegister::Impl : RegisterState {};

FakeRegister::FakeRegister() : impl_(std::make_unique<Impl>()) {
  impl_->thread = std::thread([impl = impl_.get()] { impl->io.run(); });
  try {
    impl_->onRegisterThread([impl = impl_.get()] {
      const unsigned first = static_cast<unsigned>(::getpid()) % kHostCount;
      for (unsigned attempt = 0; attempt < kHostCount; ++attempt) {
        const std::string address = loopbackAddress(kFirstHost + (first + attempt) % kHostCount);
        const boost::system::error_code error = impl->listen(address);
        if (!error) {
          impl->ip = address;
          return;
        }
        if (error != asio::error::address_in_use) {
          throw std::system_error(error.value(), std::system_category(),
                                  "fake register cannot listen on " + address + ":8080");
        }
      }
      throw std::runtime_error("fake register: every 127.0.0.X:8080 is taken");
    });
  } catch (...) {
    impl_->work.reset();
    impl_->io.stop();
    impl_->thread.join();
    throw;
  }
}

FakeRegister::~FakeRegister() {
  impl_->onRegisterThread([impl = impl_.get()] { impl->closeEverything(); });
  impl_->work.reset();
  impl_->io.stop();
  impl_->thread.join();
}

const std::string& FakeRegister::ip() const { return impl_->ip; }

void FakeRegister::enqueue(Reply reply) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->queue.push_back(std::move(reply));
}

void FakeRegister::setHandler(std::function<Reply(const RecordedRequest&)> handler) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->handler = std::move(handler);
}

void FakeRegister::setDefault(Reply reply) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->fallback = std::move(reply);
}

std::vector<RecordedRequest> FakeRegister::requests() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->record;
}

size_t FakeRegister::requestCount() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->record.size();
}

RecordedRequest FakeRegister::lastRequest() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  if (impl_->record.empty()) throw std::logic_error("the fake register has received no request");
  return impl_->record.back();
}

std::vector<std::string> FakeRegister::targets() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  std::vector<std::string> paths;
  paths.reserve(impl_->record.size());
  for (const auto& request : impl_->record) paths.push_back(request.target);
  return paths;
}

size_t FakeRegister::connectionsAccepted() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->accepted;
}

void FakeRegister::clearRecord() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->record.clear();
}

void FakeRegister::stop() {
  impl_->onRegisterThread([impl = impl_.get()] { impl->closeEverything(); });
}

void FakeRegister::start() {
  impl_->onRegisterThread([impl = impl_.get()] {
    if (impl->acceptor.is_open()) return;
    const boost::system::error_code error = impl->listen(impl->ip);
    if (error) {
      throw std::system_error(error.value(), std::system_category(),
                              "fake register cannot listen again on " + impl->ip + ":8080");
    }
  });
}

}  // namespace fake
