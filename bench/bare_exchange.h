// The yardstick of the exchange benchmark: the least a client can do to post a form to the
// register with libcurl. One easy handle, its options set once, kept alive between requests.
#pragma once

#include <string>

#include <curl/curl.h>

namespace bench {

class BareExchange {
 public:
  BareExchange(const std::string& ip, const std::string& path, const std::string& body);
  ~BareExchange();
  BareExchange(const BareExchange&) = delete;
  BareExchange& operator=(const BareExchange&) = delete;

  // One POST; true for status 200.
  bool post();

 private:
  CURL* handle_;
  std::string url_;
  std::string body_;
  std::string reply_;
};

}  // namespace bench
