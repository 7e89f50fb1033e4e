// The cashier's shift: opening it, the X report and the Z report.
#include "addin/component.h"
#include "addin/host_values.h"

bool Tavixfr::openShift(tVariant*, tVariant*) { return false; }
bool Tavixfr::printXReport(tVariant*) { return false; }
bool Tavixfr::printZReport(tVariant*) { return false; }
bool Tavixfr::printZReportProcedure() { return false; }
