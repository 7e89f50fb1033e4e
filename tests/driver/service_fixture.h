// What the service operations' tests share: a fake register that answers a script of replies in
// order, a fresh component per case, and the record of what crossed the wire and what the
// cashier was shown, in UTF-8 so that a failure reads plainly.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "host/driver_session.h"
#include "tests/support/fake_register.h"

namespace service {

// One request as the register received it.
struct Sent {
  std::string target;
  std::string body;
  bool operator==(const Sent& other) const { return target == other.target && body == other.body; }
};

inline std::ostream& operator<<(std::ostream& out, const Sent& sent) {
  return out << sent.target << " <" << sent.body << ">";
}

// (source, text) of each message the driver posted; every one must carry code 1005, status 0.
using Messages = std::vector<std::pair<std::string, std::string>>;

// The key the worker starts with, before any setting, profile or renewal touches it.
inline constexpr int32_t kInitialKey = 60418253;
inline const std::string kInitialKeyBody = "key=60418253";
inline const std::u16string kKeyValueName = u"iApiKey:0";

class ServiceTest : public ::testing::Test {
 protected:
  ServiceTest() {
    register_.setHandler([this](const fake::RecordedRequest&) {
      std::lock_guard<std::mutex> lock(scriptLock_);
      if (script_.empty()) return fake::Reply::status(500, "unscripted");
      fake::Reply next = script_.front();
      script_.pop_front();
      return next;
    });
  }

  // The register answers the next requests with these replies, in order; any request beyond
  // them gets a 500 "unscripted". The record of earlier requests is dropped.
  void answers(std::vector<fake::Reply> replies) {
    std::lock_guard<std::mutex> lock(scriptLock_);
    script_.assign(replies.begin(), replies.end());
    register_.clearRecord();
  }

  // A fresh component talking to this test's register; the settings are the driver's own.
  std::unique_ptr<host::DriverSession> newSession(host::SessionOptions options = {}) {
    auto session = std::make_unique<host::DriverSession>(options);
    session->useRegister(register_.ip());
    return session;
  }

  std::vector<Sent> sent() const {
    std::vector<Sent> all;
    for (const fake::RecordedRequest& request : register_.requests())
      all.push_back({request.target, request.body});
    return all;
  }

  static Messages messagesOf(const host::DriverSession& session) {
    Messages all;
    for (const host::PostedMessage& message : session.connection.messages) {
      EXPECT_EQ(message.code, 1005);
      EXPECT_EQ(message.status, 0);
      all.emplace_back(host::u8(message.source), host::u8(message.text));
    }
    return all;
  }

  // The dialogs the cashier saw, "?" before a question and "!" before a notice.
  static std::vector<std::string> dialogsOf(const host::DriverSession& session) {
    std::vector<std::string> all;
    for (const host::Dialog& dialog : session.messageBox.dialogs)
      all.push_back((dialog.kind == host::Dialog::Confirm ? "?" : "!") + host::u8(dialog.text));
    return all;
  }

  // The key the profile holds, or nothing.
  static bool storedKey(const host::DriverSession& session, int32_t& key) {
    if (!session.connection.hasProfileValue(kKeyValueName)) return false;
    const tVariant value = session.connection.profileValue(kKeyValueName);
    if (value.vt != VTYPE_I4) return false;
    key = value.value.lVal;
    return true;
  }

  // The body of the next keyed request: it shows the key the worker holds now. An X report is
  // the plainest keyed request; the cashier says it did not print.
  std::string nextKeyedBody(host::DriverSession& session) {
    answers({fake::Reply::ok()});
    host::Params ignored = session.params(1);
    session.call(u"PrintXReport", ignored);
    const std::vector<Sent> all = sent();
    return all.size() == 1 ? all[0].body : "<" + std::to_string(all.size()) + " requests>";
  }

  fake::FakeRegister register_;

 private:
  std::mutex scriptLock_;
  std::deque<fake::Reply> script_;
};

// The reply the register gives a request it accepts, with a body.
inline fake::Reply accepted(const std::string& body = "") { return fake::Reply::ok(body); }
// The reply with which the register refuses a request: its error code as the reason phrase.
inline fake::Reply refused(const std::string& code, const std::string& body = "") {
  return fake::Reply::status(400, code, body);
}

}  // namespace service
