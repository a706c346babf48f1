// QuickBooks as the engine reaches it on this platform (internal to the engine's accounting).
#pragma once

#include <memory>

#include "kestrin/qbxml.h"

namespace kestrin {

// A transport to the company-file simulator; a session on it opens the file it names.
std::unique_ptr<qbxml::Transport> engineTransport();

}  // namespace kestrin
