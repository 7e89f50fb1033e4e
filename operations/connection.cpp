// Open, Close and DeviceTest: the link to the register and the key it accepts.
#include "addin/component.h"
#include "addin/host_values.h"

bool Tavixfr::open(tVariant*, tVariant*) { return false; }
bool Tavixfr::close(tVariant*) { return false; }
bool Tavixfr::deviceTest(tVariant*, tVariant*) { return false; }
bool Tavixfr::runDeviceTest(tVariant*) { return false; }
