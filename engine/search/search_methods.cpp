// Method rows of searches and the filter form.
#include "method_table.h"

namespace kestrin {

void addSearchMethods(MethodTable&) {}

}  // namespace kestrin
