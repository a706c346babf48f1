// The simulated QuickBooks answering a qbXML request text against a company file.
//
// As QuickBooks does, it first checks the whole message set: text that is not XML, a missing or
// unsupported <?qbxml version?>, a QBXMLMsgsRq without a valid onError, and a request whose
// elements are unknown, repeated or out of the schema's order refuse the whole set (an error,
// not a status). Then each request is answered with a status:
//
//   0     the record was added; the response carries it
//   3000  a ListID that is no ListID
//   3010, 3020, 3040, 3050  a flag, date, amount or quantity that cannot be read
//   3070  a text longer than its field allows
//   3080  a required field missing (a name that is empty or blank counts as missing)
//   3100  a name already in use (customers and vendors share one name space; items another)
//   3140  a reference that names nothing
//   3180  an invoice without lines
//   1030  a request the simulator does not answer
//
// With onError stopOnError, the requests after a failed one are not answered.
#pragma once

#include <string>

#include "company_file.h"

namespace kestrin::qbsim {

std::string processRequest(CompanyFile& file, const std::string& request);

}  // namespace kestrin::qbsim
