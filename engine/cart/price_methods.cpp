// Method rows of the price methods.
#include "method_table.h"

namespace kestrin {

void addPriceMethods(MethodTable& t) { (void)t; }

}  // namespace kestrin
