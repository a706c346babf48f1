#include "filters.h"

#include "text.h"

namespace kestrin {

namespace {

size_t partsNeeded(FilterKind kind) {
  switch (kind) {
    case FilterKind::GRPCAT:
      return 2;
    case FilterKind::GRPCATSUB:
      return 3;
    default:
      return 1;
  }
}

}  // namespace

const char* filterKindName(FilterKind kind) {
  switch (kind) {
    case FilterKind::GRP:
      return "GRP";
    case FilterKind::GRPCAT:
      return "GRPCAT";
    case FilterKind::GRPCATSUB:
      return "GRPCATSUB";
    case FilterKind::MANUF:
      return "MANUF";
    case FilterKind::PRODUCT:
      return "PRODUCT";
  }
  return "";
}

std::vector<std::string> filterKeyParts(FilterKind kind, const std::string& items) {
  std::string key = textBefore(items, "::");
  std::vector<std::string> parts;
  if (partsNeeded(kind) == 1) {
    parts.push_back(trim(key));
  } else {
    for (const std::string& p : split(key, "|")) parts.push_back(trim(p));
  }
  if (parts.size() < partsNeeded(kind)) return {};
  return parts;
}

FilterTerm menuFilterTerm(FilterKind kind) {
  switch (kind) {
    case FilterKind::GRPCAT:
      return [](const auto& p) { return " and cat <> '" + p[1] + "'"; };
    case FilterKind::GRPCATSUB:
      return [](const auto& p) { return " and sub <> '" + p[2] + "'"; };
    case FilterKind::MANUF:
      return [](const auto& p) { return " and manuf.vend_code <> '" + p[0] + "'"; };
    default:
      return fullFilterTerm(kind);
  }
}

FilterTerm fullFilterTerm(FilterKind kind) {
  switch (kind) {
    case FilterKind::GRP:
      return [](const auto& p) { return " and grp <> '" + p[0] + "'"; };
    case FilterKind::GRPCAT:
      return [](const auto& p) { return " and grp <> '" + p[0] + "' and cat <> '" + p[1] + "'"; };
    case FilterKind::GRPCATSUB:
      return [](const auto& p) {
        return " and grp <> '" + p[0] + "' and cat <> '" + p[1] + "' and sub <> '" + p[2] + "'";
      };
    case FilterKind::MANUF:
      return [](const auto& p) { return " and products.vend_code <> '" + p[0] + "'"; };
    case FilterKind::PRODUCT:
      return [](const auto& p) { return " and products.part_num <> '" + p[0] + "'"; };
  }
  return {};
}

std::string filterClause(db::Connection& conn, db::Recordset& rows, std::string& sql,
                         FilterKind kind, const FilterTerm& term, FilterSource source) {
  sql = std::string(source == FilterSource::Procedure ? "kx_getfilters '"
                                                      : "select * from filters where cat='") +
        filterKindName(kind) + "'";
  rows = conn.executeCached(sql);
  std::string clause;
  for (; !rows.eof(); rows.moveNext()) {
    std::vector<std::string> parts = filterKeyParts(kind, rows.field("items").text());
    if (parts.empty()) continue;
    for (std::string& p : parts) p = sqlEscape(p);
    clause += term(parts);
  }
  return clause;
}

std::string fullFilterClause(db::Connection& conn, db::Recordset& rows, std::string& sql,
                             FilterSource source) {
  std::string clause;
  for (FilterKind kind : {FilterKind::GRP, FilterKind::GRPCAT, FilterKind::GRPCATSUB,
                          FilterKind::MANUF, FilterKind::PRODUCT}) {
    clause += filterClause(conn, rows, sql, kind, fullFilterTerm(kind), source);
  }
  return clause;
}

}  // namespace kestrin
