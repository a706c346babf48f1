// Method rows of stock checks, price-and-availability client and URL fetch.
#include "method_table.h"

namespace kestrin {

void addDistributorMethods(MethodTable&) {}

}  // namespace kestrin
