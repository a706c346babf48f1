// Our own form of Ingram Micro's client library "IMDSI", with its three calls: sessions with the
// price-and-availability server over TCP. The server is named "host[:port]" ("[v6 address]:port"
// for IPv6), port kDefaultPort when none is given. A call sends the whole message and reads an
// answer of the same length into the same buffer, within a time-out.
//
// Client handles count up from 1 and are never reused within a process, so a stale handle can
// never reach another caller's session. The library is safe to use from several threads.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrin::imdsi {

inline constexpr const char* kDefaultPort = "7374";

// Statuses of Call_Server.
inline constexpr int16_t kStatusOk = 0;
inline constexpr int16_t kStatusUnknownClient = 1;  // no open session with that handle
inline constexpr int16_t kStatusBadMessage = 2;     // not 7,374 characters with its final NUL
inline constexpr int16_t kStatusSendFailed = 3;     // the connection is gone
inline constexpr int16_t kStatusTimedOut = 4;       // no whole answer within the call time-out
inline constexpr int16_t kStatusClosedEarly = 5;    // the server closed before the whole answer

struct Timeouts {
  std::chrono::milliseconds connect{5000};  // per address tried
  std::chrono::milliseconds call{15000};    // sending the message and receiving the answer
};

// Process-wide time-outs of the library (tests shorten them).
Timeouts timeouts();
void setTimeouts(const Timeouts& t);

// Splits "host", "host:port" or "[v6]:port"; false for an empty host or a malformed port.
bool splitServer(std::string_view server, std::string& host, std::string& port);

// Connects to the server; the handle of the new session, or 0 when the server cannot be reached.
// The region code is kept with the session.
int32_t Open_Client(const char* server, uint8_t region);
// Sends the NUL-terminated message (7,374 characters, its NUL included) and overwrites it with
// the answer. 0 on success; on failure one of the statuses above, the buffer unchanged. After a
// failed exchange the session answers every later call with kStatusSendFailed.
int16_t Call_Server(int32_t client, char* message);
// Ends the session; an unknown handle is ignored.
void Close_Client(int32_t client);

}  // namespace kestrin::imdsi
