// A stand-in for the register on its own loopback address, port 8080. It records every request
// byte for byte and answers each with scripted raw bytes, so a test can see exactly what crossed
// the wire and can make the register answer in any shape, broken ones included.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace fake {

struct RecordedRequest {
  std::string method;  // "POST"
  std::string target;  // the path with its query, "/apicheck/getInfo?show=minimum"
  std::vector<std::pair<std::string, std::string>> headers;  // in the order received
  std::string body;                                          // exactly the body bytes
  std::string raw;                                           // the whole request as received
  size_t connection = 0;  // which accepted connection carried it (1, 2, ...)

  std::string header(const std::string& name) const;  // "" when absent; name without case
};

// What the register does with one request.
struct Reply {
  std::string bytes;  // sent as they are: status line(s), headers, body
  // Close the connection once the bytes are sent (otherwise it stays open for keep-alive).
  bool closeAfter = false;
  // Send only the first `cutAfter` bytes, then close (a reply broken off).
  size_t cutAfter = std::string::npos;
  // Pause between single bytes (a slow register dripping its reply).
  std::chrono::milliseconds drip{0};
  // Answer nothing and close at once. On a connection that carried an earlier request libcurl
  // takes this for a stale keep-alive connection and sends the request once more on a new one,
  // so the register sees it twice and the retry takes the next answer.
  bool hangUp = false;

  // "HTTP/1.1 <code> <phrase>\r\nAccess-Control-Allow-Origin: *\r\n" + Content-Length + body,
  // the layout the register itself uses.
  static Reply status(int code, const std::string& phrase, const std::string& body = "");
  static Reply ok(const std::string& body = "");  // 200 OK
  static Reply raw(const std::string& bytes);
  static Reply closed();  // hangUp
};

class FakeRegister {
 public:
  // Binds 127.0.0.X:8080 with X chosen from the process id, trying further addresses when one
  // is taken, and starts answering on a thread of its own.
  FakeRegister();
  ~FakeRegister();
  FakeRegister(const FakeRegister&) = delete;
  FakeRegister& operator=(const FakeRegister&) = delete;

  const std::string& ip() const;  // "127.0.0.X"

  // Answers, in order of precedence: the queue (first in, first out), then the handler, then
  // the default (initially Reply::ok()). The handler runs on the register's thread, after the
  // request is in the record; it may call this object, except stop() and start().
  void enqueue(Reply reply);
  void setHandler(std::function<Reply(const RecordedRequest&)> handler);
  void setDefault(Reply reply);

  std::vector<RecordedRequest> requests() const;
  size_t requestCount() const;
  RecordedRequest lastRequest() const;       // throws when there is none
  std::vector<std::string> targets() const;  // the paths of all requests, in order
  size_t connectionsAccepted() const;        // since construction, stop() and start() included
  void clearRecord();                        // forgets the requests; the connection count stays

  // The register goes away (the address stops listening, open connections are closed) and comes
  // back on the same address.
  void stop();
  void start();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace fake
