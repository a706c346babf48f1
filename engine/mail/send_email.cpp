// sendEmail: one message through the site's SMTP server with the account of its preferences.
#include <cstdio>
#include <ctime>
#include <random>

#include "error_modes.h"
#include "kestrin/ecat.h"
#include "mail/mail_message.h"
#include "mail/smtp_transport.h"

namespace kestrin {

namespace {

// The failure text names the server and the account, never the password itself.
std::string maskedPassword(const std::string& password) {
  if (password.empty() || password == "n/a") return password;  // nothing stored: say so
  return "********";
}

// Unique enough for a Message-ID's left side: the time and 64 random bits.
std::string uniqueMessagePart() {
  std::random_device seed;
  std::mt19937_64 random((static_cast<uint64_t>(seed()) << 32) ^ seed());
  char unique[48];
  std::snprintf(unique, sizeof unique, "%llx.%016llx",
                static_cast<unsigned long long>(std::time(nullptr)),
                static_cast<unsigned long long>(random()));
  return unique;
}

}  // namespace

std::string eCat::sendEmail(const std::string& strTo, const std::string& strFrom,
                            const std::string& strSubject, const std::string& strMessage,
                            bool strHTML, const std::string& strCC, const std::string& strAttach,
                            const std::string& siteID, const std::string& sitePassword) {
  // Copies first: the preference reads below overwrite strR, which a caller may have passed.
  const mail::MailRequest request{strTo, strFrom, strCC, strSubject, strMessage, strHTML};
  const std::string id = siteID;
  const std::string password = sitePassword;
  (void)strAttach;  // accepted for the pages that pass one; no attachment is sent

  std::string server, account, secret;
  std::string result = withHandler(
      [&] {
        server = getPref("smtpserver", "", id, password);
        account = getPref("smtpusername", "", id, password);
        secret = getPref("smtppassword", "", id, password);

        const mail::OutgoingMail mail =
            mail::composeMail(request, std::time(nullptr), uniqueMessagePart());
        const mail::SmtpServer peer = mail::parseSmtpServer(server);
        mail::sendOverSmtp(peer, {account, secret}, mail);
        return std::string("Passed");
      },
      [&] {
        return "Not OK: Error: " + currentError().description + " ::smtp:" + server +
               " ::username:" + account + " ::password:" + maskedPassword(secret);
      });
  // The last read left the SMTP password in strR; a page must not be able to write it out.
  strR.clear();
  return result;
}

}  // namespace kestrin
