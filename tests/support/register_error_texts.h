// The register's error codes and the message the cashier reads for each, written out from the
// register's list of codes rather than taken from the driver's table, so a test compares the two.
#pragma once

#include <vector>

namespace expected {

struct CodeCase {
  const char* code;
  const char* message;
};

inline const std::vector<CodeCase> kRegisterMessages = {
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

// The table's codes followed by texts that are no code of it, each shown as it came.
inline std::vector<CodeCase> withTextsShownAsTheyCame(const std::vector<const char*>& texts) {
  std::vector<CodeCase> cases = kRegisterMessages;
  for (const char* text : texts) cases.push_back({text, text});
  return cases;
}

}  // namespace expected
