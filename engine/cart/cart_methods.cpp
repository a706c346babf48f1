// Method rows of the cart steps and cart display.
#include "method_table.h"

namespace kestrin {

void addCartMethods(MethodTable&) {}

}  // namespace kestrin
