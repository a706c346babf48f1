// Sequential ids of customers ("C10001" upwards) and orders ("S10001" upwards): the next id
// follows the highest one stored, and taking it is safe when several requests take one at once.
#pragma once

#include <string>

#include "db/transaction.h"
#include "kestrin/db.h"
#include "kestrin/error.h"

namespace kestrin::orders {

// How an id sequence is read: its column, the statement that lists the ids in text order, the
// statement start that finds one id ("... where id='"), the prefix letter and the first id.
struct IdSequence {
  const char* column;
  const char* listing;
  const char* lookup;
  char prefix;
  const char* first;
};

inline constexpr IdSequence kCustomerIds{
    "customerid", "select customerid from customer order by customerid",
    "select customerid from customer where customerid='", 'C', "C10001"};
inline constexpr IdSequence kOrderIds{"orderid", "select orderid from orderinfo order by orderid",
                                      "select orderid from orderinfo where orderid='", 'S',
                                      "S10001"};

// The id after the last one that `seq.listing` returns on `conn` (statement left in `sql`):
// the five characters after its first read as a number, plus one, behind the prefix. The first
// id when there is none. A last id whose digits are not a number fails (type mismatch).
std::string nextId(db::Connection& conn, std::string& sql, const IdSequence& seq);

// The id is stored already.
bool idTaken(db::Connection& conn, std::string& sql, const IdSequence& seq, const std::string& id);

// Writes a record under `id` with `write(id)` in one transaction. When the write fails because
// another request stored the same id meanwhile (the id column is a unique key), everything
// written is undone and the write runs again under the next id; any other failure is undone
// and raised, as is a violated key when the id is not stored (another key of the record was the
// cause). Returns the id the record was stored under.
template <class Write>
std::string storeUnderNextId(db::Connection& conn, std::string& sql, const IdSequence& seq,
                             std::string id, Write&& write) {
  // Each round lets at least one of the competing requests through, so a few rounds suffice
  // for any number of them; the limit only keeps a broken table from looping for ever.
  constexpr int kAttempts = 1000;
  for (int attempt = 1;; ++attempt) {
    try {
      db::Transaction tx(conn);
      write(id);
      tx.commit();
      return id;
    } catch (const Error& e) {
      if (e.number() != kErrIntegrity || attempt == kAttempts || !idTaken(conn, sql, seq, id))
        throw;
    }
    id = nextId(conn, sql, seq);
  }
}

}  // namespace kestrin::orders
