// sendEmail against a real SMTP server on loopback, and its failures.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "kestrin/ecat.h"
#include "kestrin/email.h"
#include "kestrin/methods.h"
#include "site_fixture.h"
#include "smtp_peer.h"

namespace kestrin {
namespace {

using testing::SiteFixture;
using testing::SmtpPeer;

constexpr const char* kUser = "shop@mail.test";
constexpr const char* kPassword = "Wx7;pl'4";

// A TCP port on 127.0.0.1 that is bound but, unless asked to listen, refuses connections. A
// listening one completes the handshake and then never says a word.
class LoopbackSocket {
 public:
  explicit LoopbackSocket(bool listening) {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (bind(fd_, reinterpret_cast<sockaddr*>(&a), len) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0 ||
        (listening && listen(fd_, 4) != 0)) {
      ADD_FAILURE() << "cannot set up a loopback socket";
    }
    port_ = ntohs(a.sin_port);
  }
  ~LoopbackSocket() { close(fd_); }
  std::string server() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  int fd_ = -1;
  int port_ = 0;
};

class SendEmailTest : public testing::SiteTest {
 protected:
  void SetUp() override {
    SiteTest::SetUp();
    site.setPreference("smtpserver", peer.server());
    site.setPreference("smtpusername", kUser);
    site.setPreference("smtppassword", kPassword);
  }

  std::string send(const std::string& to, const std::string& subject, const std::string& body,
                   bool html, const std::string& cc = "", const std::string& attach = "",
                   const std::string& from = "Harrow Computers <sales@harrow.test>") {
    return cat.sendEmail(to, from, subject, body, html, cc, attach, SiteFixture::kSiteId,
                         SiteFixture::kPassword);
  }

  // The failure text's tail for the account of SetUp.
  std::string accountTail(const std::string& server) const {
    return std::string(" ::smtp:") + server + " ::username:" + kUser + " ::password:********";
  }

  SmtpPeer peer{kUser, kPassword};
  eCat cat;
};

TEST_F(SendEmailTest, HtmlMessageArrivesAsAnHtmlPartAfterLoggingIn) {
  EXPECT_EQ(send("Ann Lee <ann@example.test>", "Your order S10001", "<p>Thank you!</p>", true),
            "Passed");
  ASSERT_EQ(peer.messages().size(), 1u);
  EXPECT_EQ(peer.messages()[0],
            "auth: shop@mail.test Wx7;pl'4\n"
            "mail from: sales@harrow.test\n"
            "rcpt to: ann@example.test\n"
            "header To: Ann Lee <ann@example.test>\n"
            "header From: Harrow Computers <sales@harrow.test>\n"
            "header Subject: Your order S10001\n"
            "content type: text/html\n"
            "body:\n"
            "<p>Thank you!</p>\n");
}

TEST_F(SendEmailTest, BodyKindCopyAndAttachment) {
  struct Case {
    const char* name;
    bool html;
    const char* cc;
    const char* attach;
    const char* expected;
  };
  const Case cases[] = {
      {"plain, no copy", false, "", "",
       "auth: shop@mail.test Wx7;pl'4\nmail from: sales@harrow.test\nrcpt to: ann@example.test\n"
       "header To: ann@example.test\nheader From: Harrow Computers <sales@harrow.test>\n"
       "header Subject: Hello\ncontent type: text/plain\nbody:\nLine one\nLine two\n"},
      {"html with a copy", true, "boss@harrow.test", "",
       "auth: shop@mail.test Wx7;pl'4\nmail from: sales@harrow.test\nrcpt to: ann@example.test\n"
       "rcpt to: boss@harrow.test\nheader To: ann@example.test\n"
       "header From: Harrow Computers <sales@harrow.test>\nheader Cc: boss@harrow.test\n"
       "header Subject: Hello\ncontent type: text/html\nbody:\nLine one\nLine two\n"},
      {"an attachment changes nothing", false, "", "/srv/shop/invoice.pdf",
       "auth: shop@mail.test Wx7;pl'4\nmail from: sales@harrow.test\nrcpt to: ann@example.test\n"
       "header To: ann@example.test\nheader From: Harrow Computers <sales@harrow.test>\n"
       "header Subject: Hello\ncontent type: text/plain\nbody:\nLine one\nLine two\n"},
  };
  size_t sent = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(send("ann@example.test", "Hello", "Line one\nLine two", c.html, c.cc, c.attach),
              "Passed");
    ASSERT_EQ(peer.messages().size(), ++sent);
    EXPECT_EQ(peer.messages().back(), c.expected);
  }
}

TEST_F(SendEmailTest, EveryAddressOfToAndCcReceivesTheMessage) {
  EXPECT_EQ(send("a@example.test; b@example.test,\"Doe, John\" <john@example.test>", "Stock", "In",
                 false, "c@example.test;Dee <d@example.test>"),
            "Passed");
  ASSERT_EQ(peer.messages().size(), 1u);
  const std::string m = peer.messages()[0];
  EXPECT_NE(m.find("rcpt to: a@example.test\nrcpt to: b@example.test\n"
                   "rcpt to: john@example.test\nrcpt to: c@example.test\n"
                   "rcpt to: d@example.test\n"),
            std::string::npos)
      << m;
  EXPECT_NE(
      m.find("header To: a@example.test, b@example.test, \"Doe, John\" <john@example.test>\n"),
      std::string::npos)
      << m;
  EXPECT_NE(m.find("header Cc: c@example.test, Dee <d@example.test>\n"), std::string::npos) << m;
}

TEST_F(SendEmailTest, TextBeyondPlainAsciiArrivesIntact) {
  const std::string longLine(300, 'x');
  const std::string body = "Prix : 12,50 \xE2\x82\xAC\r\n.a line that starts with a dot\n" +
                           longLine + "\n= sign and trailing blank \nend";
  const std::string subject =
      "Commande confirm\xC3\xA9"
      "e \xE2\x80\x94 merci " +
      std::string(60, 'z') + " \xC3\xA9t\xC3\xA9";
  EXPECT_EQ(send("ann@example.test", subject, body, false), "Passed");
  ASSERT_EQ(peer.messages().size(), 1u);
  const std::string m = peer.messages()[0];
  EXPECT_NE(m.find("header Subject: " + subject + "\n"), std::string::npos) << m;
  EXPECT_NE(m.find("body:\nPrix : 12,50 \xE2\x82\xAC\n.a line that starts with a dot\n" + longLine +
                   "\n= sign and trailing blank \nend\n"),
            std::string::npos)
      << m;
}

TEST_F(SendEmailTest, LineBreakInAHeaderFieldIsRefusedAndNothingIsSent) {
  struct Case {
    const char* field;
    std::string to, from, cc, subject;
  };
  const std::string ok = "ann@example.test";
  const std::string from = "sales@harrow.test";
  const Case cases[] = {
      {"To", ok + "\r\nBcc: victim@example.test", from, "", "Hi"},
      {"From", ok, from + "\nBcc: victim@example.test", "", "Hi"},
      {"CC", ok, from, "boss@harrow.test\rBcc: victim@example.test", "Hi"},
      {"Subject", ok, from, "", "Hi\r\nBcc: victim@example.test"},
      {"Subject", ok, from, "", std::string("Hi\0there", 8)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    EXPECT_EQ(send(c.to, c.subject, "Body", false, c.cc, "", c.from),
              std::string("Not OK: Error: The ") + c.field +
                  " field holds a line break or another control character; the message was not "
                  "sent" +
                  accountTail(peer.server()));
  }
  EXPECT_TRUE(peer.messages().empty());
}

// Whatever a page passes, the server sees one message, for the recipients the page named, and
// never an SMTP command or header of the value's making.
TEST_F(SendEmailTest, HostileValuesNeverReachFurtherRecipients) {
  const std::string smuggled =
      "\r\n.\r\nMAIL FROM:<x@evil.test>\r\nRCPT TO:<victim@evil.test>\r\nDATA\r\nspam\r\n.\r\n";
  const std::vector<std::string> corpus = {
      smuggled,
      "\n.\nRCPT TO:<victim@evil.test>\n",
      "ann@example.test>\r\nRCPT TO:<victim@evil.test",
      "ann@example.test> SIZE=1 NOTIFY=SUCCESS,FAILURE ORCPT=rfc822;victim@evil.test",
      std::string("ann@example.test\0victim@evil.test", 33),
      "=?UTF-8?B?QmNjOiB2aWN0aW1AZXZpbC50ZXN0?=",
      "'; drop table preferences; --",
      std::string(5000, 'x') + "@example.test",
  };
  enum Field { To, From, Cc, Subject, Body };
  for (Field field : {To, From, Cc, Subject, Body}) {
    for (const std::string& value : corpus) {
      SCOPED_TRACE(std::to_string(field) + ": " + value.substr(0, 60));
      const size_t before = peer.messages().size();
      const std::string result = cat.sendEmail(
          field == To ? value : "ann@example.test", field == From ? value : "sales@harrow.test",
          field == Subject ? value : "Hi", field == Body ? value : "Body", false,
          field == Cc ? value : "", "", SiteFixture::kSiteId, SiteFixture::kPassword);
      EXPECT_TRUE(result == "Passed" || result.starts_with("Not OK: Error: ")) << result;
      const std::vector<std::string> messages = peer.messages();
      ASSERT_LE(messages.size(), before + 1);
      if (messages.size() == before + 1) {
        EXPECT_EQ(result, "Passed");
        const std::string& m = messages.back();
        EXPECT_EQ(m.find("rcpt to: victim@evil.test\n"), std::string::npos) << m;
        EXPECT_EQ(m.find("mail from: x@evil.test\n"), std::string::npos) << m;
        if (field == Subject || field == Body) {
          EXPECT_TRUE(
              m.starts_with("auth: shop@mail.test Wx7;pl'4\nmail from: sales@harrow.test\n"
                            "rcpt to: ann@example.test\nheader To: ann@example.test\n"))
              << m;
        }
      }
    }
  }
  EXPECT_EQ(site.value(testing::Database::Main, "select count(*) from preferences"), "3");
}

TEST_F(SendEmailTest, MissingAddressesAreRefused) {
  struct Case {
    const char* to;
    const char* cc;
    const char* from;
    const char* description;
  };
  const Case cases[] = {
      {"", "", "sales@harrow.test", "At least one recipient is required, but none were found."},
      {" ; , ", "", "sales@harrow.test",
       "At least one recipient is required, but none were found."},
      {"ann@example.test", "", "",
       "At least one of the From or Sender fields is required, and neither was found."},
      {"Ann Lee", "", "sales@harrow.test",
       "The address \"Ann Lee\" in the To field is not a mail address"},
      {"ann@example.test", "<>", "sales@harrow.test",
       "The address \"<>\" in the CC field is not a mail address"},
      {"ann.example.test", "", "sales@harrow.test",
       "The address \"ann.example.test\" in the To field is not a mail address"},
      {"ann@example.test", "", "Harrow <@harrow.test>",
       "The address \"Harrow <@harrow.test>\" in the From field is not a mail address"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    EXPECT_EQ(send(c.to, "Hi", "Body", false, c.cc, "", c.from),
              std::string("Not OK: Error: ") + c.description + accountTail(peer.server()));
  }
  EXPECT_TRUE(peer.messages().empty());
}

TEST_F(SendEmailTest, ARejectedRecipientFailsTheMessage) {
  const std::string result = send("ann@example.test, rejected@example.test", "Hi", "Body", false);
  EXPECT_TRUE(result.starts_with("Not OK: Error: ")) << result;
  EXPECT_NE(result.find("550"), std::string::npos) << result;
  EXPECT_TRUE(result.ends_with(accountTail(peer.server()))) << result;
  EXPECT_TRUE(peer.messages().empty());
}

TEST_F(SendEmailTest, RejectedLoginFailsAndNamesTheAccountButNotThePassword) {
  site.setPreference("smtppassword", "not-the-password");
  const std::string result = send("ann@example.test", "Hi", "Body", false);
  EXPECT_TRUE(result.starts_with("Not OK: Error: Login denied")) << result;
  EXPECT_TRUE(result.ends_with(accountTail(peer.server()))) << result;
  EXPECT_EQ(result.find("not-the-password"), std::string::npos);
  EXPECT_TRUE(peer.messages().empty());
}

TEST_F(SendEmailTest, RefusedConnection) {
  LoopbackSocket closed(false);
  site.setPreference("smtpserver", closed.server());
  const std::string result = send("ann@example.test", "Hi", "Body", false);
  EXPECT_TRUE(result.starts_with("Not OK: Error: Couldn't connect to server")) << result;
  EXPECT_TRUE(result.ends_with(accountTail(closed.server()))) << result;
}

// The reserved top-level domain never resolves; a resolver that does not answer at all runs
// into the connection time-out instead.
TEST_F(SendEmailTest, UnknownHost) {
  site.setPreference("smtpserver", "mail.kestrin.invalid");
  const std::string result = send("ann@example.test", "Hi", "Body", false);
  EXPECT_TRUE(result.starts_with("Not OK: Error: Couldn't resolve host name") ||
              result.starts_with("Not OK: Error: Timeout was reached"))
      << result;
  EXPECT_TRUE(result.ends_with(accountTail("mail.kestrin.invalid"))) << result;
}

// Takes the ten seconds of the connection time-out: the server accepts and never greets.
TEST_F(SendEmailTest, SilentServerTimesOut) {
  LoopbackSocket silent(true);
  site.setPreference("smtpserver", silent.server());
  const std::string result = send("ann@example.test", "Hi", "Body", false);
  EXPECT_TRUE(result.starts_with("Not OK: Error: Timeout was reached")) << result;
  EXPECT_TRUE(result.ends_with(accountTail(silent.server()))) << result;
}

TEST_F(SendEmailTest, MissingPreferencesReadAsNotAvailable) {
  site.exec(testing::Database::Main, "delete from preferences");
  EXPECT_EQ(send("ann@example.test", "Hi", "Body", false),
            "Not OK: Error: The SMTP server \"n/a\" is not a host name or address, optionally "
            "followed by :port ::smtp:n/a ::username:n/a ::password:n/a");

  site.setPreference("smtpserver", "mail.harrow.test:smtp");
  site.setPreference("smtpusername", "");
  site.setPreference("smtppassword", "");
  EXPECT_EQ(send("ann@example.test", "Hi", "Body", false),
            "Not OK: Error: The SMTP server \"mail.harrow.test:smtp\" is not a host name or "
            "address, optionally followed by :port ::smtp:mail.harrow.test:smtp ::username: "
            "::password:");
}

TEST_F(SendEmailTest, WrongSitePasswordFailsTheFirstPreferenceRead) {
  EXPECT_EQ(cat.sendEmail("ann@example.test", "sales@harrow.test", "Hi", "Body", false, "", "",
                          SiteFixture::kSiteId, "wrong"),
            "Not OK: Error: Operation is not allowed when the object is closed. ::smtp: "
            "::username: ::password:");
  EXPECT_TRUE(peer.messages().empty());
}

TEST_F(SendEmailTest, TheSmtpPasswordIsNotLeftInStrR) {
  EXPECT_EQ(send("ann@example.test", "Hi", "Body", false), "Passed");
  EXPECT_EQ(cat.strR, "");
  site.setPreference("smtppassword", "wrong");
  send("ann@example.test", "Hi", "Body", false);
  EXPECT_EQ(cat.strR, "");
}

TEST_F(SendEmailTest, ReachableThroughTheMethodTable) {
  const MethodInfo* m = findMethod("sendEmail");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->peerPreference, "smtpserver");
  std::vector<Variant> args;
  const std::vector<std::string> values = {
      "ann@example.test",   "sales@harrow.test",   "Hi", "<b>x</b>", "True", "", "",
      SiteFixture::kSiteId, SiteFixture::kPassword};
  ASSERT_EQ(m->args.size(), values.size());
  for (size_t i = 0; i < values.size(); ++i) {
    args.push_back(convertArgument(m->args[i].kind, values[i]));
  }
  EXPECT_EQ(m->invoke(cat, args).text(), "Passed");
  ASSERT_EQ(peer.messages().size(), 1u);
  EXPECT_NE(peer.messages()[0].find("content type: text/html\n"), std::string::npos);
  [[maybe_unused]] EMAIL mailObject;  // the public class exists and has no members
}

}  // namespace
}  // namespace kestrin
