// Takes the HTTP client away from the driver: while a NoHttpClient lives, every component the
// driver creates finds libcurl unable to give it an easy handle, as on a machine whose libcurl
// cannot start. The test binary's own curl_easy_init stands in front of libcurl's for the loaded
// driver (the binary exports it) and hands on to libcurl's at all other times.
#pragma once

class NoHttpClient {
 public:
  NoHttpClient();
  ~NoHttpClient();
  NoHttpClient(const NoHttpClient&) = delete;
  NoHttpClient& operator=(const NoHttpClient&) = delete;
};
