// Method rows of the product page, options and gallery.
#include "method_table.h"

namespace kestrin {

void addProductMethods(MethodTable&) {}

}  // namespace kestrin
