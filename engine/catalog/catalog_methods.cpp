// Method rows of the catalog navigation methods.
#include "method_table.h"

namespace kestrin {

void addCatalogMethods(MethodTable& t) { (void)t; }

}  // namespace kestrin
