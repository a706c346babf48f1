// A QuickBooks company file, kept in SQLite: the lists (customers, vendors, items, accounts,
// sales tax codes, ship methods, terms), the invoices, the qbXML versions the simulated
// QuickBooks understands and the sessions that are open on the file.
//
// Every list element and transaction is stored with the record QuickBooks returns for it (its
// ...Ret element as XML text), so a response carries exactly what was stored, and with the name
// that makes it unique: customers and vendors share one name space, all items another; names are
// compared without regard to ASCII letter case, as QuickBooks does.
//
// Sessions are rows of the file, so that any process can tell how many are open; a session whose
// process has ended no longer counts.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestrin/qbxml.h"

struct sqlite3;

namespace kestrin::qbsim {

// The versions a new company file reports.
inline constexpr const char* kDefaultVersions = "1.0,1.1,2.0,2.1";
// Source of the simulator's errors.
inline constexpr const char* kSource = "qbsim";

// Creates the company file `path` with its seeded lists (accounts Sales, Cost of Goods Sold,
// Current Asset and Other Expenses; sales tax codes TAX and NON; the usual ship methods and
// terms). Fails with kErrQbCompanyFile when the file exists or cannot be made.
void createCompanyFile(const std::string& path, const std::string& versions = kDefaultVersions);

// "1.0,1.1, 2.0" as a list; each entry must be a version number such as 2.1 (error 5 otherwise).
std::vector<std::string> parseVersionList(std::string_view text);

// A stored list element or transaction.
struct StoredElement {
  std::string id;         // ListID or TxnID
  std::string kind;       // "Customer", "ItemInventory", "Invoice", ...
  std::string name;       // the list name; an invoice's RefNumber
  std::string ret;        // the record as QuickBooks returns it, XML text
  std::string nameSpace;  // empty for transactions
};

struct SqliteCloser {
  void operator()(sqlite3* db) const;
};

class CompanyFile {
 public:
  // Opens an existing company file; kErrQbCompanyFile when it is missing or not a company file.
  explicit CompanyFile(const std::string& path);

  const std::string& path() const { return path_; }

  std::vector<std::string> supportedVersions();
  void setSupportedVersions(const std::vector<std::string>& versions);
  std::string setting(const std::string& key);

  // ---- Sessions ----
  std::string beginSession(const std::string& appName, qbxml::ENOpenMode mode);
  bool sessionOpen(const std::string& ticket);
  void endSession(const std::string& ticket);
  // Sessions open on the file by processes that are still running.
  int openSessions();

  // ---- Elements ----
  // The element of a name space with that name (any letter case), optionally of one kind.
  std::optional<StoredElement> findByName(std::string_view nameSpace, std::string_view name,
                                          std::string_view kind = {});
  std::optional<StoredElement> findById(std::string_view id);
  // Every element of the given kinds, in the order they were added.
  std::vector<StoredElement> elements(const std::vector<std::string>& kinds);
  long long count(std::string_view kind);

  // A new ListID ("80000001-1765432100") or TxnID ("1A-1765432100") and the time it is made;
  // call inside a write transaction.
  struct NewId {
    std::string id;
    std::string timeCreated;   // 2026-12-09T05:46:11-05:00
    std::string editSequence;  // seconds since the epoch
    long long number = 0;      // the counter, for transaction numbers
  };
  NewId newId(bool transaction);
  // Stores an element whose id came from `id`. `nameSpace` is empty for transactions.
  void insert(const NewId& id, const StoredElement& element, std::string_view nameSpace);

  // A write transaction: BEGIN IMMEDIATE now, ROLLBACK at destruction unless committed.
  class Transaction {
   public:
    explicit Transaction(CompanyFile& file);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

   private:
    CompanyFile& file_;
    bool done_ = false;
  };

  void exec(const std::string& sql);

 private:
  std::string path_;
  std::unique_ptr<sqlite3, SqliteCloser> db_;
};

// Open sessions of the file at `path` (0 for a file that cannot be opened).
int openSessionCount(const std::string& path);

}  // namespace kestrin::qbsim
