#include "wire_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <boost/beast/http.hpp>
#include <sstream>

namespace simtest {

namespace http = boost::beast::http;

std::vector<std::string> candidateAddresses() {
  std::vector<std::string> addresses;
  const int first = static_cast<int>(getpid() % 100);
  for (int step = 0; step < 100; ++step)
    addresses.push_back("127.0.0." + std::to_string(100 + (first + step) % 100));
  return addresses;
}

std::string postRequest(const std::string& ip, const std::string& target, const std::string& body,
                        bool keepAlive) {
  http::request<http::string_body> request{http::verb::post, target, 11};
  request.set(http::field::host, ip + ":8080");
  request.set(http::field::accept, "*/*");
  request.set(http::field::content_type, "application/x-www-form-urlencoded");
  request.body() = body;
  request.keep_alive(keepAlive);
  request.prepare_payload();
  std::ostringstream bytes;
  bytes << request;
  return bytes.str();
}

int connectTo(const std::string& ip) {
  const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
  if (socket < 0) return -1;
  timeval patience{5, 0};
  setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
  setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(8080);
  inet_pton(AF_INET, ip.c_str(), &address.sin_addr);
  if (connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(socket);
    return -1;
  }
  return socket;
}

void sendAll(int socket, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t written = send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (written <= 0) return;
    sent += static_cast<size_t>(written);
  }
}

std::string receiveAll(int socket) { return receiveUntil(socket, std::string()); }

std::string receiveUntil(int socket, const std::string& terminator) {
  std::string bytes;
  char chunk[4096];
  while (terminator.empty() || bytes.find(terminator) == std::string::npos) {
    const ssize_t got = recv(socket, chunk, sizeof chunk, 0);
    if (got <= 0) break;
    bytes.append(chunk, static_cast<size_t>(got));
  }
  return bytes;
}

std::string exchange(const std::string& ip, const std::string& target, const std::string& body) {
  const int socket = connectTo(ip);
  if (socket < 0) return "";
  sendAll(socket, postRequest(ip, target, body));
  std::string reply = receiveAll(socket);
  close(socket);
  return reply;
}

}  // namespace simtest
