#include "bench/bare_exchange.h"

#include <stdexcept>

namespace bench {

namespace {

size_t keepReply(char* data, size_t size, size_t count, void* reply) {
  static_cast<std::string*>(reply)->append(data, size * count);
  return size * count;
}

}  // namespace

BareExchange::BareExchange(const std::string& ip, const std::string& path, const std::string& body)
    : handle_(curl_easy_init()), url_(ip + path), body_(body) {
  if (handle_ == nullptr) throw std::runtime_error("curl_easy_init failed");
  // The same URL form and port as the driver's, so both requests carry the same bytes.
  curl_easy_setopt(handle_, CURLOPT_URL, url_.c_str());
  curl_easy_setopt(handle_, CURLOPT_PORT, 8080L);
  curl_easy_setopt(handle_, CURLOPT_POSTFIELDS, body_.c_str());
  curl_easy_setopt(handle_, CURLOPT_WRITEFUNCTION, keepReply);
  curl_easy_setopt(handle_, CURLOPT_WRITEDATA, &reply_);
  // Loopback only, whatever proxy the environment names.
  curl_easy_setopt(handle_, CURLOPT_PROXY, "");
  curl_easy_setopt(handle_, CURLOPT_NOSIGNAL, 1L);
}

BareExchange::~BareExchange() { curl_easy_cleanup(handle_); }

bool BareExchange::post() {
  reply_.clear();
  if (curl_easy_perform(handle_) != CURLE_OK) return false;
  long status = 0;
  curl_easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &status);
  return status == 200;
}

}  // namespace bench
