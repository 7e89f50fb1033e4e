// The register's HTTP side on port 8080: connections kept alive as the driver keeps them, the
// "Expect: 100-continue" of a long receipt answered, every reply laid out as the register lays
// it out, and the run bounded by a request count or a time when asked.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

#include "options.h"
#include "register_state.h"

namespace sim {

class Server {
 public:
  // Listens on `options.listen`, port 8080, at once; throws std::runtime_error with the reason
  // when the address cannot be had.
  Server(const Options& options, Register& cashRegister, std::ostream& log);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Answers until stop(), a termination signal (when asked for), the request bound or the time
  // bound. Writes the ready file first.
  void run();
  // From any thread.
  void stop();
  void stopOnTerminationSignals();

  std::string address() const;  // "127.0.0.1:8080"
  int64_t requestsAnswered() const;

  static constexpr unsigned short kPort = 8080;

  struct Impl;  // known only to server.cpp, where the connections reach it

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace sim
