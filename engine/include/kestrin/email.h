// EMAIL: a public class of the engine kept for the pages that create it; it has no members.
// Mail goes out through eCat::sendEmail.
#pragma once

namespace kestrin {

class EMAIL {};

}  // namespace kestrin
