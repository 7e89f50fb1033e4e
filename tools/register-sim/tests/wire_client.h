// A client that sees the register's replies byte for byte, as the driver's head cut sees them.
#pragma once

#include <string>
#include <vector>

namespace simtest {

// The loopback addresses this test process may try for its register: 127.0.0.(100 + pid % 100)
// first, then the ones after it, so that test processes running side by side rarely meet.
std::vector<std::string> candidateAddresses();

// A POST to `target` as libcurl writes it, with "Connection: close" unless `keepAlive`.
std::string postRequest(const std::string& ip, const std::string& target, const std::string& body,
                        bool keepAlive = false);

// Opens a connection to ip:8080; -1 when nobody listens. Reads give up after a few seconds.
int connectTo(const std::string& ip);
void sendAll(int socket, const std::string& bytes);
// Everything until the peer closes or goes quiet for the read time-out.
std::string receiveAll(int socket);
// Reads until `bytes` holds `terminator` (or the peer closes); returns what came.
std::string receiveUntil(int socket, const std::string& terminator);

// One request on a connection of its own; the whole reply as it came.
std::string exchange(const std::string& ip, const std::string& target, const std::string& body);

}  // namespace simtest
