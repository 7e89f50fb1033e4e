// The driver's own service actions, offered by the platform as additional actions.
#include "addin/component.h"
#include "addin/host_values.h"

bool Tavixfr::getAdditionalActions(tVariant*, tVariant*) { return false; }
bool Tavixfr::doAdditionalAction(tVariant*, tVariant*) { return false; }
