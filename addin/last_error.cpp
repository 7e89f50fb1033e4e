// GetLastError: the description of the last failure travels in the parameter, the value is 0.
#include "addin/component.h"
#include "addin/host_values.h"

void Tavixfr::writeLastErrorText(tVariant* description) {
  // A refused login leaves the register's UTF-8 explanation in errorHead; it is shown as such.
  returnUtf8Text(memoryManager, description, worker->lastErrorMessage());
}

bool Tavixfr::getLastError(tVariant* result, tVariant* description) {
  if (result == nullptr) return true;
  returnTaggedInt(result, 0, VTYPE_INT);
  writeLastErrorText(description);
  return true;
}
