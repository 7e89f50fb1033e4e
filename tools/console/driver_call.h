// One call of a driver method as the platform makes it: the values it passes, each with the name
// the integrator knows it by, the call through the method interface, and the values the driver
// wrote back, all shown in the transcript.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/driver_session.h"
#include "transcript.h"

namespace console {

class DriverCall {
 public:
  // `count` is the number of values the method declares; those not set stay empty (the driver
  // does not read them) and show as "_".
  DriverCall(host::DriverSession& session, std::u16string method, size_t count);

  DriverCall& text(size_t index, const std::string& name, const std::string& utf8);
  DriverCall& number(size_t index, const std::string& name, double value);
  DriverCall& integer(size_t index, const std::string& name, int32_t value);
  DriverCall& flag(size_t index, const std::string& name, bool value);
  // A value the driver writes: passed empty, shown after the call.
  DriverCall& out(size_t index, const std::string& name);
  // An integer the driver writes: the platform passes a number there.
  DriverCall& outInteger(size_t index, const std::string& name);
  // A text the driver reads and may replace.
  DriverCall& inOutText(size_t index, const std::string& name, const std::string& utf8);

  // Calls the method as a function with a result value and shows it. Answers what the driver
  // answered: the Boolean result, or for a method whose result is not a Boolean (GetVersion,
  // GetLastError) whether the call itself went through.
  bool run(Transcript& transcript);

  // After run(): what the driver left.
  std::string textAt(size_t index) const;
  int32_t integerAt(size_t index) const;
  const host::CallResult& result() const { return result_; }

 private:
  struct Shown {
    std::string name;
    std::string passed;  // "" for a value the driver only writes
    bool comesBack = false;
  };

  std::string callLine() const;
  std::string outcomeLine();

  host::DriverSession& session_;
  std::u16string method_;
  host::Params params_;
  std::vector<Shown> shown_;
  host::CallResult result_;
};

// A platform value as the integrator reads it: true, 42, 12.5, "text", or "empty".
std::string showValue(const tVariant& value, const std::u16string& text);

}  // namespace console
