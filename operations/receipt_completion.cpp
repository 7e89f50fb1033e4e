// Ending a receipt: CloseCheck sends it to the register, CancelCheck drops it.
#include "addin/component.h"
#include "addin/host_values.h"

bool Tavixfr::closeCheck(tVariant*, tVariant*, tVariant*, tVariant*, tVariant*) { return false; }
bool Tavixfr::cancelCheck(tVariant*) { return false; }
