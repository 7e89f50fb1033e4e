#include "server.h"

#include <atomic>
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>

namespace sim {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = net::ip::tcp;

namespace {

// The driver keeps one connection for a whole day; an idle one is let go after a while and the
// driver simply connects again.
constexpr auto kIdleConnection = std::chrono::minutes(5);
constexpr auto kTransfer = std::chrono::seconds(30);
constexpr size_t kLargestBody = 1 << 20;

// The reply as the register writes it. The driver cuts the reason phrase out of the head by
// where "Access" begins, so Access-Control-Allow-Origin must be the first header line.
std::string serialize(const Reply& reply, bool keepAlive) {
  http::response<http::string_body> response;
  response.version(11);
  response.result(static_cast<unsigned>(reply.status));
  response.reason(reply.reason);
  response.set("Access-Control-Allow-Origin", "*");
  response.set(http::field::content_type, reply.contentType);
  response.body() = reply.body;
  response.keep_alive(keepAlive);
  response.prepare_payload();
  std::ostringstream bytes;
  bytes << response;
  return bytes.str();
}

std::string serializeContinue() {
  http::response<http::empty_body> interim{http::status::continue_, 11};
  std::ostringstream bytes;
  bytes << interim;
  return bytes.str();
}

// Where a reply broken off mid-way ends: half-way through its body, or half-way through its
// status line when it has no body. libcurl takes a reply that ends anywhere between the status
// line and the end of the head as a whole one, so a break there would show the driver nothing.
size_t breakOffPoint(const std::string& reply) {
  const size_t headEnd = reply.find("\r\n\r\n");
  if (headEnd == std::string::npos) return reply.size() / 2;
  const size_t bodyStart = headEnd + 4;
  if (reply.size() > bodyStart) return bodyStart + (reply.size() - bodyStart) / 2;
  return reply.find("\r\n") / 2;
}

}  // namespace

struct Server::Impl {
  Impl(const Options& options, Register& cashRegister, std::ostream& log)
      : options(options),
        cashRegister(cashRegister),
        log(log),
        acceptor(context),
        deadline(context),
        signals(context) {}

  void accept();
  void answer(const Request& request, Reply& reply);
  void countAnswer();
  void shutDown();

  const Options& options;
  Register& cashRegister;
  std::ostream& log;
  net::io_context context;
  tcp::acceptor acceptor;
  net::steady_timer deadline;
  net::signal_set signals;
  std::atomic<int64_t> answered{0};
  bool stopping = false;
};

namespace {

class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(tcp::socket socket, Server::Impl& server) : stream_(std::move(socket)), server_(server) {
    beast::error_code ignored;
    const auto remote = stream_.socket().remote_endpoint(ignored);
    peer_ = ignored ? "?" : remote.address().to_string();
  }

  void start() { readHeader(); }

 private:
  void readHeader() {
    parser_.emplace();
    parser_->body_limit(kLargestBody);
    stream_.expires_after(kIdleConnection);
    http::async_read_header(stream_, buffer_, *parser_,
                            [self = shared_from_this()](beast::error_code error, size_t) {
                              if (!error) self->onHeader();
                            });
  }

  void onHeader() {
    // libcurl asks before sending a long body and waits a second for the go-ahead.
    if (beast::iequals(parser_->get()[http::field::expect], "100-continue")) {
      out_ = serializeContinue();
      stream_.expires_after(kTransfer);
      net::async_write(stream_, net::buffer(out_),
                       [self = shared_from_this()](beast::error_code error, size_t) {
                         if (!error) self->readBody();
                       });
      return;
    }
    readBody();
  }

  void readBody() {
    stream_.expires_after(kTransfer);
    http::async_read(stream_, buffer_, *parser_,
                     [self = shared_from_this()](beast::error_code error, size_t) {
                       if (!error) self->onRequest();
                     });
  }

  void onRequest() {
    const auto& message = parser_->get();
    Request request;
    request.method = std::string(message.method_string());
    request.target = std::string(message.target());
    request.body = message.body();
    request.peer = peer_;
    const bool keepAlive = message.keep_alive();

    Reply reply;
    server_.answer(request, reply);
    if (reply.delivery == Delivery::Drop) {
      close();
      server_.countAnswer();
      return;
    }
    out_ = serialize(reply, keepAlive);
    const bool breakOff = reply.delivery == Delivery::BreakOff;
    if (breakOff) out_.resize(breakOffPoint(out_));
    stream_.expires_after(kTransfer);
    net::async_write(
        stream_, net::buffer(out_),
        [self = shared_from_this(), keepAlive, breakOff](beast::error_code error, size_t) {
          self->server_.countAnswer();
          if (error || breakOff || !keepAlive || self->server_.stopping) {
            self->close();
            return;
          }
          self->readHeader();
        });
  }

  void close() {
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
    stream_.socket().close(ignored);
  }

  beast::tcp_stream stream_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::string_body>> parser_;
  std::string out_;
  std::string peer_;
  Server::Impl& server_;
};

}  // namespace

void Server::Impl::accept() {
  acceptor.async_accept([this](beast::error_code error, tcp::socket socket) {
    if (stopping) return;
    if (!error) std::make_shared<Session>(std::move(socket), *this)->start();
    accept();
  });
}

void Server::Impl::answer(const Request& request, Reply& reply) {
  reply = cashRegister.handle(request);
  if (options.quiet) return;
  log << request.peer << ' ' << request.method << ' ' << request.target << " -> " << reply.status
      << ' ' << reply.reason;
  if (!reply.note.empty()) log << " (" << reply.note << ')';
  log << std::endl;
}

void Server::Impl::countAnswer() {
  const int64_t count = ++answered;
  if (options.maxRequests > 0 && count >= options.maxRequests) shutDown();
}

void Server::Impl::shutDown() {
  if (stopping) return;
  stopping = true;
  beast::error_code ignored;
  acceptor.close(ignored);
  deadline.cancel();
  signals.cancel(ignored);
  context.stop();
}

Server::Server(const Options& options, Register& cashRegister, std::ostream& log)
    : impl_(std::make_unique<Impl>(options, cashRegister, log)) {
  beast::error_code error;
  const auto address = net::ip::make_address(options.listen, error);
  if (error) throw std::runtime_error("not an IP address: " + options.listen);
  const tcp::endpoint endpoint(address, kPort);
  auto& acceptor = impl_->acceptor;
  acceptor.open(endpoint.protocol(), error);
  // A simulator started again right after the last one must not wait for TIME_WAIT to pass.
  if (!error) acceptor.set_option(net::socket_base::reuse_address(true), error);
  if (!error) acceptor.bind(endpoint, error);
  if (!error) acceptor.listen(net::socket_base::max_listen_connections, error);
  if (!error) return;
  throw std::runtime_error("cannot listen on " + options.listen + ":" + std::to_string(kPort) +
                           ": " + error.message());
}

Server::~Server() = default;

void Server::run() {
  Impl& impl = *impl_;
  if (impl.options.exitAfterSeconds > 0) {
    impl.deadline.expires_after(std::chrono::seconds(impl.options.exitAfterSeconds));
    impl.deadline.async_wait([&impl](beast::error_code error) {
      if (!error) impl.shutDown();
    });
  }
  if (!impl.options.readyFile.empty()) {
    // Written whole under another name and renamed, so a script waiting for it never reads half.
    const std::string partial = impl.options.readyFile + ".partial";
    { std::ofstream(partial) << address() << '\n'; }
    if (std::rename(partial.c_str(), impl.options.readyFile.c_str()) != 0)
      throw std::runtime_error("cannot write the ready file " + impl.options.readyFile);
  }
  impl.accept();
  impl.context.run();
}

void Server::stop() {
  net::post(impl_->context, [this] { impl_->shutDown(); });
}

void Server::stopOnTerminationSignals() {
  Impl& impl = *impl_;
  impl.signals.add(SIGINT);
  impl.signals.add(SIGTERM);
  impl.signals.async_wait([&impl](beast::error_code error, int) {
    if (!error) impl.shutDown();
  });
}

std::string Server::address() const {
  beast::error_code error;
  const auto local = impl_->acceptor.local_endpoint(error);
  if (error) return impl_->options.listen + ":" + std::to_string(kPort);
  return local.address().to_string() + ":" + std::to_string(local.port());
}

int64_t Server::requestsAnswered() const { return impl_->answered; }

}  // namespace sim
