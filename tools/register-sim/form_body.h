// The register reads the driver's form bodies as they come: values raw, never URL-encoded, so
// a print text may hold "&" and "=". The fields are found by their known names in their fixed
// order, and the print text, always last, runs to the end of the body.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace sim {

// The key of a keyed request: "key=N" at the start of the body, or "&key=N" as the short device
// information sends it. Empty when the body carries none.
std::string keyOf(const std::string& body);

// The print text that rides along with a keyed request ("key=N&print=..."), empty when none.
std::string printTextOf(const std::string& body);

// "name=value" fields split on "&", names and values trimmed of blanks: the administrator
// login "login=N&password=M&getApiKey = true" is written with blanks around one "=".
std::optional<std::string> simpleField(const std::string& body, const std::string& name);

struct SaleForm {
  std::string key;
  std::optional<std::string> tax;
  bool isReturn = false;
  std::optional<std::string> amount;  // sale= or saleReturn=
  std::optional<std::string> cash, bank, tara, credit;
  std::optional<std::string> itemData;
  std::optional<std::string> print;
};

// The sale's fields in the order key, tax, sale|saleReturn, cash, bank, tara, credit, itemdata,
// print. Nothing when the body holds anything else, or the known fields out of order.
std::optional<SaleForm> parseSaleForm(const std::string& body);

struct Item {
  std::string name;
  double price = 0, quantity = 0, sum = 0;
  std::string taxId;
  std::string excise;
};

// The item array as the driver builds it: every object followed by a comma, the last one too,
// so "[{...},{...},]" is accepted as well as plain JSON. Each member is a JSON string; numbers
// must be finite. Nothing when the text is no such array.
std::optional<std::vector<Item>> parseItemArray(const std::string& text);

// A decimal amount as the driver writes it ("101", "12345.7", "1.23457e+06"); nothing for any
// other text, "inf" and "nan" included.
std::optional<double> parseAmount(const std::string& text);

}  // namespace sim
