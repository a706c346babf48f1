// URL::GetURL over libcurl. The internet session is a curl multi handle, the request an easy
// handle driven by it, so that the body is read as it arrives, 4,096 bytes per read.
#include "kestrin/url.h"

#include <curl/curl.h>

#include <cstring>
#include <memory>
#include <mutex>

#include "error_modes.h"
#include "text.h"

namespace kestrin {

namespace {

constexpr int32_t kErrInternet = static_cast<int32_t>(0x800403E8);
const char* const kSource = "kestrin.URL";
constexpr size_t kReadSize = 4096;
constexpr size_t kMaxBody = size_t{256} << 20;

constexpr long kConnectTimeoutSeconds = 30;
// A transfer that delivers nothing for this long is given up.
constexpr long kStallSeconds = 60;

struct MultiDeleter {
  void operator()(CURLM* m) const { curl_multi_cleanup(m); }
};

// The internet session: curl's multi handle.
std::unique_ptr<CURLM, MultiDeleter> openSession() {
  static std::once_flag once;
  static CURLcode init = CURLE_OK;
  std::call_once(once, [] { init = curl_global_init(CURL_GLOBAL_DEFAULT); });
  if (init != CURLE_OK) return nullptr;
  return std::unique_ptr<CURLM, MultiDeleter>(curl_multi_init());
}

// One request on a session: started by open(), read by read(), closed by its destructor.
class Request {
 public:
  explicit Request(CURLM* session) : session_(session) {}
  ~Request() {
    if (easy_) {
      curl_multi_remove_handle(session_, easy_);
      curl_easy_cleanup(easy_);
    }
  }
  Request(const Request&) = delete;
  Request& operator=(const Request&) = delete;

  // Starts the transfer and waits for its first body bytes or its end; false when the address
  // cannot be opened.
  bool open(const std::string& url) {
    easy_ = curl_easy_init();
    if (!easy_) return false;
    curl_easy_setopt(easy_, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy_, CURLOPT_USERAGENT, "kestrin");
    curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy_, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &Request::onBody);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
    if (curl_multi_add_handle(session_, easy_) != CURLM_OK) return false;
    while (pending_.empty() && pump()) {
    }
    return !pending_.empty() || result_ == CURLE_OK;
  }

  // Up to n bytes of the body; 0 at its end, and when the transfer broke off.
  size_t read(char* buf, size_t n) {
    while (pending_.size() - taken_ < n && pump()) {
    }
    const size_t count = std::min(n, pending_.size() - taken_);
    std::memcpy(buf, pending_.data() + taken_, count);
    taken_ += count;
    if (taken_ == pending_.size()) {
      pending_.clear();
      taken_ = 0;
    }
    return count;
  }

  // The transfer ended with a failure.
  bool brokeOff() const { return finished_ && result_ != CURLE_OK; }

 private:
  static size_t onBody(char* data, size_t, size_t n, void* self) {
    static_cast<Request*>(self)->pending_.append(data, n);
    return n;
  }

  // Moves the transfer on; false once it has ended.
  bool pump() {
    if (finished_) return false;
    int running = 0;
    if (curl_multi_perform(session_, &running) != CURLM_OK) {
      finished_ = true;
      result_ = CURLE_RECV_ERROR;
      return false;
    }
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(session_, &left)) {
      if (msg->msg == CURLMSG_DONE) {
        finished_ = true;
        result_ = msg->data.result;
      }
    }
    if (finished_) return false;
    if (running > 0) curl_multi_poll(session_, nullptr, 0, 1000, nullptr);
    return true;
  }

  CURLM* session_;
  CURL* easy_ = nullptr;
  std::string pending_;
  size_t taken_ = 0;
  bool finished_ = false;
  CURLcode result_ = CURLE_OK;
};

}  // namespace

std::string URL::GetURL(const std::string& URL) {
  const std::string address = URL;
  std::string body;
  std::unique_ptr<CURLM, MultiDeleter> session;
  std::unique_ptr<Request> request;
  return withHandler(
      [&] {
        if (address.empty()) raise(kErrInvalidCall, "Invalid procedure call or argument", kSource);
        session = openSession();
        if (!session)
          raise(kErrInternet, "An error occurred calling InternetOpen function", kSource);
        request = std::make_unique<Request>(session.get());
        if (!request->open(address)) {
          raise(kErrInternet, "An error occurred calling InternetOpenUrl function", kSource);
        }
        char buffer[kReadSize];
        for (size_t n; (n = request->read(buffer, sizeof buffer)) > 0;) {
          if (body.size() + n > kMaxBody) {
            raise(kErrInternet,
                  "The answer is larger than " + countText(static_cast<double>(kMaxBody)) +
                      " bytes; the rest was not read",
                  kSource);
          }
          body.append(buffer, n);
        }
        if (request->brokeOff()) {
          raise(kErrInternet, "An error occurred calling InternetReadFile function", kSource);
        }
        request.reset();
        session.reset();
        return body;
      },
      [&] {
        // The request closes before the session.
        request.reset();
        session.reset();
        return body + currentError().description;
      });
}

}  // namespace kestrin
