#include "device/http_worker.h"

#include <cstring>

namespace {

// The reply's head and body, one pair for the whole library: exchanges never overlap.
std::string replyHead;
std::string replyBody;

// libcurl's global state lives from the first live worker to the last. The platform creates and
// destroys components on its calling thread, so a plain count suffices.
int liveWorkers = 0;

constexpr long kRegisterPort = 8080;
// Only setting up the connection is bounded: a sale that has reached the register may take long
// to print, and cutting it off would leave the cashier not knowing whether it was registered.
constexpr long kConnectTimeoutSeconds = 10;

size_t writeCallback(char* data, size_t size, size_t count, void* buffer) {
  if (buffer == nullptr) return 0;
  const size_t bytes = size * count;
  static_cast<std::string*>(buffer)->append(data, bytes);
  return bytes;
}

// A register that once sent a huge body does not keep the till's memory after it.
void emptyReplyBuffers() {
  constexpr size_t kKeptCapacity = 64 * 1024;
  for (std::string* buffer : {&replyHead, &replyBody}) {
    if (buffer->capacity() > kKeptCapacity) {
      std::string().swap(*buffer);
    } else {
      buffer->clear();
    }
  }
}

// What every exchange with the register has in common, set once on the worker's handle, which
// keeps its options from one exchange to the next; an exchange sets only its URL, its body and
// whether it needs a fresh connection. Resetting the handle and setting all of this again after
// every exchange cost more than the rest of the driver's work on a request.
void setCommonOptions(CURL* handle) {
#if LIBCURL_VERSION_NUM >= 0x075500
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http");
#else
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP));
#endif
  curl_easy_setopt(handle, CURLOPT_PORT, kRegisterPort);
  curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, writeCallback);
  curl_easy_setopt(handle, CURLOPT_HEADERDATA, &replyHead);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, writeCallback);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &replyBody);
  // The platform is a multi-threaded process: a signal-based resolver time-out could crash it.
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  // The register sits on the shop's own network: a proxy that the till's environment names for
  // browsing (http_proxy, ALL_PROXY) must not carry its sales. An empty proxy means none.
  curl_easy_setopt(handle, CURLOPT_PROXY, "");
}

std::string upToFirstNul(const std::string& text) { return std::string(text.c_str()); }

bool startsWith(const std::string& text, size_t at, const char* prefix) {
  return text.compare(at, std::strlen(prefix), prefix) == 0;
}

}  // namespace

WorkerSettings::WorkerSettings()
    : ip("192.168.1.100"),
      key(60418253),
      login(166),
      password(1),
      lineLength(24),
      noFiskal(false),
      multiTax(false),
      taxMap("{\"12\":1,\"0\":2}"),
      errorBody("errorBody"),
      errorHead("errorHead") {}

ReceiptState::ReceiptState()
    // No receipt is open until OpenCheck opens one: a CloseCheck before it must not register a
    // phantom sale.
    : saleReturn(false),
      fiscal(false),
      total(0),
      cash(0),
      bank(0),
      tara(0),
      credit(0),
      cashAmount(0),
      taxCode(1) {}

httpWorker::httpWorker() : curlHandle(nullptr), curlReady(false) {
  if (liveWorkers++ == 0) curl_global_init(CURL_GLOBAL_DEFAULT);
  curlHandle = curl_easy_init();
  curlReady = curlHandle != nullptr;
  if (curlReady) setCommonOptions(curlHandle);
}

httpWorker::~httpWorker() {
  if (curlHandle != nullptr) curl_easy_cleanup(curlHandle);
  if (--liveWorkers == 0) curl_global_cleanup();
}

std::string reasonPhraseOf(const std::string& head) {
  // libcurl hands over every head it receives, interim 1xx replies included, one after the
  // other; the final status line is the last line that opens with "HTTP/".
  size_t statusLine = std::string::npos;
  for (size_t line = 0; line < head.size();) {
    if (startsWith(head, line, "HTTP/")) statusLine = line;
    const size_t end = head.find('\n', line);
    if (end == std::string::npos) break;
    line = end + 1;
  }
  if (statusLine == std::string::npos) return std::string();

  const size_t lineEnd = head.find_first_of("\r\n", statusLine);
  const std::string line = head.substr(
      statusLine, lineEnd == std::string::npos ? std::string::npos : lineEnd - statusLine);
  // "HTTP/1.1 400 incorrect-web-api-key": version, blank, code, blank, phrase.
  const size_t afterVersion = line.find(' ');
  if (afterVersion == std::string::npos) return std::string();
  const size_t afterCode = line.find(' ', afterVersion + 1);
  if (afterCode == std::string::npos) return std::string();
  return line.substr(afterCode + 1);
}

bool httpWorker::sendRequest(const std::string& body, const std::string& path,
                             Connection connection) {
  const std::string url = settings.ip + path;

  if (curlHandle == nullptr) {
    settings.errorHead = "error CURL";
    settings.errorBody = "curl_easy_init() failed";
    return false;
  }

  replyBody.clear();
  replyHead.clear();

  curl_easy_setopt(curlHandle, CURLOPT_URL, url.c_str());
  // The form text goes up to its first NUL byte, as a C string. libcurl keeps only the pointer;
  // every exchange sets its own body before the transfer.
  curl_easy_setopt(curlHandle, CURLOPT_POSTFIELDS, body.c_str());
  curl_easy_setopt(curlHandle, CURLOPT_FRESH_CONNECT, connection == Connection::Fresh ? 1L : 0L);

  if (curl_easy_perform(curlHandle) != CURLE_OK) {
    // A reply that broke off after its status line of 200 still tells that the register has
    // carried the request out: calling a registered sale or cash document a failure would have
    // the cashier make it twice. Its body did not arrive whole, so nothing is read from it (a
    // key cut short is no key).
    long status = 0;
    curl_easy_getinfo(curlHandle, CURLINFO_RESPONSE_CODE, &status);
    if (status == 200) {
      settings.errorHead = upToFirstNul(reasonPhraseOf(replyHead));
      settings.errorBody.clear();
      replyBodyWhole_ = false;
      emptyReplyBuffers();
      return true;
    }
    settings.errorHead = "error IP Tavix";
    settings.errorBody = "not found IP Tavix";
    emptyReplyBuffers();
    return false;
  }

  long status = 0;
  curl_easy_getinfo(curlHandle, CURLINFO_RESPONSE_CODE, &status);

  settings.errorHead = upToFirstNul(reasonPhraseOf(replyHead));
  settings.errorBody = upToFirstNul(replyBody);
  replyBodyWhole_ = true;

  emptyReplyBuffers();
  return status == 200;
}
