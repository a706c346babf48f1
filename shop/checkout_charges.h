// The checkout's charges, kept as site preferences (the admin's preferences page edits them):
// a shipping charge per shipment and per started pound for UPS Ground (the faster methods cost
// a multiple of it), a handling charge per order and a tax rate in percent of the goods.
#pragma once

#include <string>

#include "text.h"

namespace kestrin::shop {

struct ChargePreference {
  const char* name;
  const char* label;
  double fallback;  // when not set, or not a number of 0 or more
};

inline constexpr ChargePreference kChargePreferences[] = {
    {"shipBaseCharge", "Shipping charge per shipment (UPS Ground), $", 5.0},
    {"shipPerPound", "Shipping charge per started pound (UPS Ground), $", 0.5},
    {"handlingCharge", "Handling charge per order, $", 0.0},
    {"taxRate", "Tax rate, percent of the goods", 0.0},
};

// A stored charge as a number: the text when it is a number of 0 or more, else nothing.
inline bool chargeValue(const std::string& text, double& into) {
  std::string v = trim(text);
  if (!isNumeric(v) || std::stod(v) < 0) return false;
  into = std::stod(v);
  return true;
}

}  // namespace kestrin::shop
