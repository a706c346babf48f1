#include "smtp_transport.h"

#include <curl/curl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

#include "kestrin/error.h"

namespace kestrin::mail {

namespace {

const char* const kSource = "kestrin.SMTP";

struct EasyDeleter {
  void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
struct ListDeleter {
  void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
using Easy = std::unique_ptr<CURL, EasyDeleter>;
using List = std::unique_ptr<curl_slist, ListDeleter>;

bool isHostNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_';
}
bool isIpv6Char(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' ||
         c == '.';
}

[[noreturn]] void refuseServer(std::string_view value) {
  raise(kErrInvalidCall,
        "The SMTP server \"" + std::string(value) +
            "\" is not a host name or address, optionally followed by :port",
        "kestrin.EMAIL");
}

// The machine's name for EHLO, when it is a usable host name.
std::string ehloName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0 || !*name) return {};
  std::string s = name;
  return std::all_of(s.begin(), s.end(), isHostNameChar) ? s : std::string();
}

void initCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Upload {
  std::string_view rest;
};

size_t readChunk(char* buffer, size_t size, size_t count, void* data) {
  auto* upload = static_cast<Upload*>(data);
  size_t n = std::min(size * count, upload->rest.size());
  std::memcpy(buffer, upload->rest.data(), n);
  upload->rest.remove_prefix(n);
  return n;
}

std::string failureText(CURLcode code, const char* detail) {
  std::string text = curl_easy_strerror(code);
  std::string more = detail;
  while (!more.empty() && (more.back() == '\n' || more.back() == '\r')) more.pop_back();
  if (!more.empty() && more != text) text += " (" + more + ")";
  return text;
}

}  // namespace

SmtpServer parseSmtpServer(std::string_view value) {
  std::string_view v = value;
  while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
  while (!v.empty() && (v.back() == ' ' || v.back() == '\t')) v.remove_suffix(1);

  SmtpServer server;
  std::string_view port;
  if (v.starts_with('[')) {
    size_t close = v.find(']');
    if (close == std::string_view::npos) refuseServer(value);
    server.host = std::string(v.substr(1, close - 1));
    std::string_view after = v.substr(close + 1);
    if (!after.empty()) {
      if (!after.starts_with(':')) refuseServer(value);
      port = after.substr(1);
    }
    if (server.host.empty() || !std::all_of(server.host.begin(), server.host.end(), isIpv6Char))
      refuseServer(value);
  } else if (std::count(v.begin(), v.end(), ':') > 1) {
    server.host = std::string(v);  // a bare IPv6 address
    if (!std::all_of(server.host.begin(), server.host.end(), isIpv6Char)) refuseServer(value);
  } else {
    size_t colon = v.find(':');
    server.host = std::string(v.substr(0, colon));
    if (colon != std::string_view::npos) port = v.substr(colon + 1);
    if (server.host.empty() || !std::all_of(server.host.begin(), server.host.end(), isHostNameChar))
      refuseServer(value);
  }
  if (port.data() != nullptr) {
    if (port.empty() || port.size() > 5 ||
        !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }))
      refuseServer(value);
    server.port = std::stoi(std::string(port));
    if (server.port < 1 || server.port > 65535) refuseServer(value);
  }
  return server;
}

void sendOverSmtp(const SmtpServer& server, const SmtpAccount& account, const OutgoingMail& mail) {
  initCurlOnce();
  Easy easy(curl_easy_init());
  if (!easy) raise(kErrMailNotSent, "Could not start the SMTP client", kSource);
  CURL* h = easy.get();

  const bool ipv6 = server.host.find(':') != std::string::npos;
  const std::string url = "smtp://" + (ipv6 ? "[" + server.host + "]" : server.host) + ":" +
                          std::to_string(server.port) + "/" + ehloName();

  List recipients;
  for (const std::string& r : mail.recipients) {
    curl_slist* grown = curl_slist_append(recipients.get(), r.c_str());
    if (!grown) raise(kErrMailNotSent, "Out of memory for the recipient list", kSource);
    (void)recipients.release();
    recipients.reset(grown);
  }
  const std::string sender = "<" + mail.sender + ">";
  Upload upload{mail.text};
  char detail[CURL_ERROR_SIZE] = {};

  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "smtp");
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, kReplyTimeoutSeconds);
  curl_easy_setopt(h, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_TRY));
  if (!account.user.empty() || !account.password.empty()) {
    curl_easy_setopt(h, CURLOPT_USERNAME, account.user.c_str());
    curl_easy_setopt(h, CURLOPT_PASSWORD, account.password.c_str());
  }
  curl_easy_setopt(h, CURLOPT_MAIL_FROM, sender.c_str());
  curl_easy_setopt(h, CURLOPT_MAIL_RCPT, recipients.get());
  curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(h, CURLOPT_READFUNCTION, readChunk);
  curl_easy_setopt(h, CURLOPT_READDATA, &upload);
  curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(mail.text.size()));
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, detail);

  const CURLcode code = curl_easy_perform(h);
  if (code != CURLE_OK) raise(kErrMailNotSent, failureText(code, detail), kSource);
}

}  // namespace kestrin::mail
