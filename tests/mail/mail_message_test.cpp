// Composing the message text: address lists, header encoding and the quoted-printable body.
#include "mail_message.h"

#include <gtest/gtest.h>

#include "kestrin/error.h"
#include "smtp_transport.h"

namespace kestrin::mail {
namespace {

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  size_t at = 0;
  for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
    out.push_back(text.substr(at, end - at));
  if (at < text.size()) out.push_back(text.substr(at));
  return out;
}

TEST(MailMessage, AddressListsAndTheirAddresses) {
  struct Case {
    const char* list;
    std::vector<std::string> items;
    std::vector<std::string> addresses;
  };
  const Case cases[] = {
      {"a@x.test", {"a@x.test"}, {"a@x.test"}},
      {" a@x.test ;b@x.test,, c@x.test; ",
       {"a@x.test", "b@x.test", "c@x.test"},
       {"a@x.test", "b@x.test", "c@x.test"}},
      {"\"Doe, John; Jr\" <j@x.test>, Ann <a@x.test>",
       {"\"Doe, John; Jr\" <j@x.test>", "Ann <a@x.test>"},
       {"j@x.test", "a@x.test"}},
      {"<odd,one@x.test>", {"<odd,one@x.test>"}, {"odd,one@x.test"}},
      {"", {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list);
    const std::vector<std::string> items = splitAddressList(c.list);
    EXPECT_EQ(items, c.items);
    std::vector<std::string> addresses;
    for (const std::string& i : items) addresses.push_back(addressOf(i));
    EXPECT_EQ(addresses, c.addresses);
  }
}

TEST(MailMessage, QuotedPrintableKeepsLinesShortAndSafe) {
  struct Case {
    std::string body;
    std::string encoded;
  };
  const Case cases[] = {
      {"plain", "plain\r\n"},
      {"a\nb\rc\r\nd\n", "a\r\nb\r\nc\r\nd\r\n"},
      {"1 = 2", "1 =3D 2\r\n"},
      {"trailing \t\nnext", "trailing =09\r\nnext\r\n"},
      {".dot\n..two", "=2Edot\r\n=2E.two\r\n"},
      {"caf\xC3\xA9", "caf=C3=A9\r\n"},
      {std::string(80, 'a'), std::string(75, 'a') + "=\r\n" + std::string(5, 'a') + "\r\n"},
      // A dot that a soft break brings to the start of a line is encoded too.
      {std::string(75, 'a') + ".b", std::string(75, 'a') + "=\r\n=2Eb\r\n"},
      {"", "\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    EXPECT_EQ(quotedPrintable(c.body), c.encoded);
  }
}

TEST(MailMessage, HeaderTextIsEncodedOnlyWhenItMustBe) {
  EXPECT_EQ(encodeHeaderText("Your order S10001"), "Your order S10001");
  EXPECT_EQ(encodeHeaderText("caf\xC3\xA9"), "=?UTF-8?B?Y2Fmw6k=?=");
  EXPECT_EQ(encodeHeaderText("=?x?"), "=?UTF-8?B?PT94Pw==?=");

  // 44 ASCII bytes, then a two-byte character that would straddle the 45-byte word limit.
  const std::string text = std::string(44, 'a') + "\xC3\xA9" + "b";
  const std::vector<std::string> words = lines(encodeHeaderText(text));
  ASSERT_EQ(words.size(), 2u);
  std::string aaa;  // base64 of "aaa"
  for (int i = 0; i < 14; ++i) aaa += "YWFh";
  EXPECT_EQ(words[0], "=?UTF-8?B?" + aaa + "YWE=?=");
  EXPECT_EQ(words[1], " =?UTF-8?B?w6li?=");
  for (const std::string& w : words) EXPECT_LE(w.size(), 76u);
}

TEST(MailMessage, ComposedMessage) {
  const MailRequest request{
      "Ann <ann@x.test>; bob@x.test", "Shop <sales@shop.test>", "", "Hello", "<p>Hi</p>", true};
  const OutgoingMail mail = composeMail(request, 0, "abc");
  EXPECT_EQ(mail.sender, "sales@shop.test");
  EXPECT_EQ(mail.recipients, (std::vector<std::string>{"ann@x.test", "bob@x.test"}));
  std::vector<std::string> l = lines(mail.text);
  ASSERT_EQ(l.size(), 10u);
  EXPECT_TRUE(l[0].starts_with("Date: ")) << l[0];
  l.erase(l.begin());
  EXPECT_EQ(l, (std::vector<std::string>{
                   "From: Shop <sales@shop.test>",
                   "To: Ann <ann@x.test>, bob@x.test",
                   "Subject: Hello",
                   "Message-ID: <abc@shop.test>",
                   "MIME-Version: 1.0",
                   "Content-Type: text/html; charset=UTF-8",
                   "Content-Transfer-Encoding: quoted-printable",
                   "",
                   "<p>Hi</p>",
               }));
}

TEST(MailMessage, LongAddressListsAreFolded) {
  std::string to;
  for (int i = 0; i < 10; ++i) to += "customer" + std::to_string(i) + "@example.test;";
  const OutgoingMail mail = composeMail({to, "s@shop.test", "", "Hi", "x", false}, 0, "id");
  for (const std::string& l : lines(mail.text)) EXPECT_LE(l.size(), 78u) << l;
  EXPECT_EQ(mail.recipients.size(), 10u);
}

TEST(SmtpServerValue, HostAndOptionalPort) {
  struct Case {
    const char* value;
    const char* host;
    int port;
  };
  const Case cases[] = {
      {"mail.harrow.test", "mail.harrow.test", 25},
      {" 127.0.0.1:2525 ", "127.0.0.1", 2525},
      {"[::1]:587", "::1", 587},
      {"[::1]", "::1", 25},
      {"fe80::1", "fe80::1", 25},
      {"smtp_relay", "smtp_relay", 25},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    const SmtpServer s = parseSmtpServer(c.value);
    EXPECT_EQ(s.host, c.host);
    EXPECT_EQ(s.port, c.port);
  }
  for (const char* bad : {"n/a", "", "host:", "host:0", "host:65536", "host:25x", "a b",
                          "user@host", "[::1", "[::1]x", "host/path", "[]"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(parseSmtpServer(bad), Error);
  }
}

}  // namespace
}  // namespace kestrin::mail
