// Orders: numbering, saving a session's cart as an order (its lines and its order row in one
// transaction), status changes and deletion.
#include <array>
#include <vector>

#include "db/transaction.h"
#include "error_modes.h"
#include "kestrin/ecat.h"
#include "numbering.h"
#include "text.h"

namespace kestrin {

namespace {

// Payment methods whose orders wait for the payment to be confirmed; their card numbers are
// kept only to the last four characters.
bool isConfirmedPayment(const std::string& cardType) {
  static constexpr std::array<const char*, 4> kMethods = {"MasterCard", "Visa", "American Express",
                                                          "ACH"};
  for (const char* method : kMethods) {
    if (cardType == method) return true;
  }
  return false;
}

std::string lastFour(const std::string& cardNumber) {
  const std::string number = trim(cardNumber);
  return number.size() <= 4 ? number : number.substr(number.size() - 4);
}

// A cart line as it becomes an order line; price and quantity are numbers read back from the
// cart and written bare.
struct OrderLine {
  std::string partno;
  std::string descr;
  double price = 0;
  double qty = 0;
};

}  // namespace

std::string eCat::OrderGetNextOrderID(const std::string& siteID, const std::string& sitePassword) {
  opendb(false, siteID, sitePassword);
  std::string id = orders::nextId(conn, sql, orders::kOrderIds);
  closedb();
  return id;
}

bool eCat::OrderSave(double GrandTotal, double TotalBeforeTaxes, double SubTotal,
                     const std::string& CardType, const std::string& sessionid, float handling,
                     const std::string& customerid, const std::string& CCNumber,
                     const std::string& CCExpire, const std::string& CKNumber,
                     const std::string& CKABARouting, const std::string& CKBankName, float ShipCost,
                     const std::string& ShipMethod, const std::string& ShipCompany,
                     const std::string& ShipName, const std::string& ShipAddress,
                     const std::string& shipCity, const std::string& ShipState,
                     const std::string& ShipZip, const std::string& ShipCountry,
                     const std::string& CCBankName, const std::string& CCbankPhone,
                     const std::string& PONum, const std::string& siteID,
                     const std::string& sitePassword) {
  const std::string session = sessionid, customer = customerid, cardType = CardType,
                    cardNumber = CCNumber, cardExpire = CCExpire, checkNumber = CKNumber,
                    checkRouting = CKABARouting, checkBank = CKBankName, shipMethod = ShipMethod,
                    shipCompany = ShipCompany, shipName = ShipName, shipAddress = ShipAddress,
                    city = shipCity, shipState = ShipState, shipZip = ShipZip,
                    shipCountry = ShipCountry, cardBank = CCBankName, cardBankPhone = CCbankPhone,
                    poNumber = PONum, id = siteID, password = sitePassword;
  std::string orderId = OrderGetNextOrderID(id, password);
  opendb(false, id, password);

  // Everything is read before the transaction begins, so that the transaction only writes.
  sql =
      "select products.grp as grp,cart.partno as partno,cart.descr as descr, cart.price as "
      "price, cart.qty as qty from cart,products where sessionid='" +
      sqlEscape(session) + "' and products.part_num = cart.partno";
  std::vector<OrderLine> lines;
  std::vector<std::string> groups;
  for (db::Recordset line = conn.execute(sql); !line.eof(); line.moveNext()) {
    lines.push_back({line.field("partno").text(), line.field("descr").text(),
                     finiteNumber(line.field("price").number()),
                     finiteNumber(line.field("qty").number())});
    groups.push_back(line.field("grp").text());
  }
  // The cost of a line is its price without the group's markup, counted once whatever the
  // quantity.
  double linesCost = 0;
  for (size_t i = 0; i < lines.size(); ++i)
    linesCost += roundHalfEven(lines[i].price / getRates(groups[i]), 2);

  const bool confirmedPayment = isConfirmedPayment(cardType);
  const std::string status = confirmedPayment ? "Pending" : "New-Unpaid";
  const std::string storedCardNumber = confirmedPayment ? lastFour(cardNumber) : cardNumber;
  const std::string today = shortDate(localNow());
  auto quoted = [](const std::string& value) { return "'" + sqlEscape(value) + "'"; };

  orders::storeUnderNextId(conn, sql, orders::kOrderIds, orderId, [&](const std::string& order) {
    for (const OrderLine& line : lines) {
      sql = "insert into orderdetail (detailid,partno,descr,price,qty,status) VALUES ('" +
            sqlEscape(order) + "','" + sqlEscape(line.partno) + "','" + sqlEscape(line.descr) +
            "'," + numberText(line.price) + "," + numberText(line.qty) + ",'New')";
      conn.execute(sql);
    }
    sql =
        "insert into orderinfo (orderid,customerid,total,paymethod,ccnumber,"
        "expiration,cknumber,ckabarouti,ckbankname,status,notes,profit,"
        "date,tax,shipcost,smethod,shipcompan,shipname,"
        "shipaddres,shipcity,shipstate,shipzip,shipcountr,handling,ccbankname,ccbankphone,"
        "ponum) VALUES (" +
        quoted(order) + "," + quoted(customer) + "," + plainMoney(finiteNumber(GrandTotal)) + "," +
        quoted(cardType) + "," + quoted(storedCardNumber) + "," + quoted(cardExpire) + "," +
        quoted(checkNumber) + "," + quoted(checkRouting) + "," + quoted(checkBank) + "," +
        quoted(status) + ",' '," + numberText(finiteNumber(SubTotal - linesCost)) + "," +
        quoted(today) + "," + plainMoney(finiteNumber(GrandTotal - TotalBeforeTaxes)) + "," +
        singleText(static_cast<float>(finiteNumber(ShipCost))) + "," + quoted(shipMethod) + "," +
        quoted(shipCompany) + "," + quoted(shipName) + "," + quoted(trim(shipAddress)) + "," +
        quoted(city) + "," + quoted(shipState) + "," + quoted(shipZip) + "," + quoted(shipCountry) +
        "," + singleText(static_cast<float>(finiteNumber(handling))) + "," + quoted(cardBank) +
        "," + quoted(cardBankPhone) + "," + quoted(poNumber) + ")";
    conn.execute(sql);
  });
  closedb();
  return !currentError().isSet();
}

bool eCat::OrderUpdateStatus(const std::string& orderid, std::string& Status,
                             const std::string& siteID, const std::string& sitePassword) {
  const std::string order = orderid, status = Status;
  opendb(false, siteID, sitePassword);
  sql = "update orderinfo set status='" + sqlEscape(status) + "' where " + "orderid='" +
        sqlEscape(order) + "'";
  conn.execute(sql);
  closedb();
  return !currentError().isSet();
}

bool eCat::OrderDelete(const std::string& orderid, const std::string& siteID,
                       const std::string& sitePassword) {
  const std::string order = sqlEscape(orderid);
  opendb(false, siteID, sitePassword);
  {
    // An order goes with all its lines or not at all.
    db::Transaction tx(conn);
    sql = "delete orderinfo where orderid='" + order + "'";
    conn.execute(sql);
    sql = "delete orderdetail where detailid='" + order + "'";
    conn.execute(sql);
    tx.commit();
  }
  closedb();
  return !currentError().isSet();
}

}  // namespace kestrin
