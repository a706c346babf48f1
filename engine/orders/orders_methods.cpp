// Method rows of customers, orders and order history.
#include "method_table.h"

namespace kestrin {

void addOrderMethods(MethodTable&) {}

}  // namespace kestrin
