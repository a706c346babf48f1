// A transaction on an open Connection: begun on construction, rolled back on destruction unless
// committed, so that a failure between the statements of one change leaves none of them written.
#pragma once

#include "kestrin/db.h"

namespace kestrin::db {

class Transaction {
 public:
  explicit Transaction(Connection& conn) : conn_(&conn) { conn_->execute("BEGIN TRANSACTION"); }
  ~Transaction() { rollback(); }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  void commit() {
    conn_->execute("COMMIT TRANSACTION");
    conn_ = nullptr;
  }
  // Undoes what the transaction wrote; never throws (a connection that broke has nothing to
  // undo). Safe to call more than once.
  void rollback() noexcept {
    if (!conn_) return;
    Connection* conn = conn_;
    conn_ = nullptr;
    try {
      conn->execute("ROLLBACK TRANSACTION");
    } catch (...) {  // NOLINT(bugprone-empty-catch): the database ends the transaction itself
    }
  }

 private:
  Connection* conn_;
};

}  // namespace kestrin::db
