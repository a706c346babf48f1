// Method rows of the accounting exports.
#include "method_table.h"

namespace kestrin {

void addAccountingMethods(MethodTable&) {}

}  // namespace kestrin
