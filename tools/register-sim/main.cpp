// tavix-register-sim: a Tavix register's Web API on port 8080, for demos, training and tests.
#include <exception>
#include <iostream>

#include "options.h"
#include "register_state.h"
#include "server.h"
#include "tape.h"

int main(int argc, char** argv) {
  sim::Options options;
  switch (sim::parseOptions(argc, argv, options, std::cerr)) {
    case sim::ParseOutcome::Help:
      sim::printUsage(std::cout, argv[0]);
      return 0;
    case sim::ParseOutcome::BadUsage:
      return 2;
    case sim::ParseOutcome::Run:
      break;
  }
  try {
    sim::Tape tape(std::cout, options.lineLength);
    sim::Register cashRegister(options, tape);
    sim::Server server(options, cashRegister, std::cerr);
    server.stopOnTerminationSignals();
    if (!options.quiet)
      std::cerr << "register listening on " << server.address() << ", key " << cashRegister.key()
                << ", shift " << cashRegister.shiftNumber()
                << (options.oldShift ? " (open more than 24 hours)" : "") << std::endl;
    server.run();
    tape.finish();
    if (!options.quiet)
      std::cerr << "register stopped after " << server.requestsAnswered() << " requests"
                << std::endl;
  } catch (const std::exception& error) {
    std::cerr << argv[0] << ": " << error.what() << std::endl;
    return 1;
  }
  return 0;
}
