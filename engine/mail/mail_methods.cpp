// Method rows of outbound mail.
#include "method_table.h"

namespace kestrin {

void addMailMethods(MethodTable&) {}

}  // namespace kestrin
