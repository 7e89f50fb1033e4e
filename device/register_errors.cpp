// The register names its error in the reason phrase; the cashier reads it in Russian.
#include "device/http_worker.h"

namespace {

struct ErrorMessage {
  const char* code;
  const char* message;
};

// The order in which the codes are tried; a code matches only byte for byte.
constexpr ErrorMessage kMessages[] = {
    {"incorrect-web-api-key", "Ошибка api-ключа"},
    {"tavix-is-blocked", "ОФД заблокировал Tavix"},
    {"check-external-printer", "Нет связи с внешним принтером"},
    {"check-printer", "Ошибка принтера"},
    {"check-printer-or-batt", "Нет бумаги или низкий заряд батареи"},
    {"shift-gt-7days", "Смена открыта более 7 дней"},
    {"shift-gt-24h", "Смена открыта более 24 часа"},
    {"error IP Tavix",
     "Ошибка IP Tavix, укажите в параметрах правильный IP адрес или включите на устройстве ФР "
     "режим"},
    {"tax-invlid-num", "Неправильный код налога, укажите в параметрах правильную цифру"},
};

}  // namespace

std::string httpWorker::lastErrorMessage() const {
  for (const ErrorMessage& row : kMessages)
    if (settings.errorHead == row.code) return row.message;
  // Any other text is shown as it came: the register's own phrase, the body of a refused login,
  // or the field's initial text.
  return settings.errorHead;
}
