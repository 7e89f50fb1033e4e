// Documents outside a receipt: cash in and out, slip lines, the drawer, the line length.
#include "addin/component.h"
#include "addin/host_values.h"

bool Tavixfr::cashInOutcome(tVariant*, tVariant*) { return false; }
bool Tavixfr::getLineLength(tVariant*, tVariant*) { return false; }
bool Tavixfr::printNonFiscalString(tVariant*, tVariant*) { return false; }
bool Tavixfr::printBarCode(tVariant*) { return false; }
bool Tavixfr::openCashDrawer(tVariant*) { return false; }
