// Collecting a receipt: OpenCheck and one PrintFiscalString per item.
#include "addin/component.h"
#include "addin/host_values.h"

void Tavixfr::resetReceipt() {}
bool Tavixfr::openCheck(tVariant*, tVariant*, tVariant*, tVariant*, tVariant*) { return false; }
bool Tavixfr::printFiscalString(tVariant*, tVariant*, tVariant*, tVariant*, tVariant*, tVariant*) {
  return false;
}
