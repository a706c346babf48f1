#include "db/dialect.h"

#include <gtest/gtest.h>

#include "kestrin/error.h"

namespace kestrin::db {
namespace {

TEST(DialectTest, RewritesTheClassicForms) {
  struct Case {
    const char* classic;
    const char* translated;
  };
  const Case cases[] = {
      // Unchanged statements stay byte for byte.
      {"select * from comcat where grp='A1' ", "select * from comcat where grp='A1' "},
      {"SELECT descr,grp FROM comgrp WHERE (grp='a' or grp='b') order by descr",
       "SELECT descr,grp FROM comgrp WHERE (grp='a' or grp='b') order by descr"},
      // Concatenated string literals become one literal (a LIKE prefix can then use an index).
      {"select * from p where (x like '%' + 'modem' + '%' ) ORDER BY a",
       "select * from p where (x like '%modem%' ) ORDER BY a"},
      {"select grp from p where descr like 'Tell' + '%' order by grp",
       "select grp from p where descr like 'Tell%' order by grp"},
      {"select 'O''K' +'x' + /* note */ N'it''s', 'a'+'b'", "select 'O''Kxit''s', 'ab'"},
      {"select 'a' + '' + 'b' + qty", "select 'ab' + qty"},
      // A + between other operands is arithmetic and stays.
      {"select qty + 1, 'a' + qty from t", "select qty + 1, 'a' + qty from t"},
      // delete without from.
      {"delete orderinfo where orderid='S10001'", "delete from orderinfo where orderid='S10001'"},
      {"DELETE FROM orderinfo where orderid='x'", "DELETE FROM orderinfo where orderid='x'"},
      {"delete orderdetail where detailid='a'; delete orderinfo where orderid='a'",
       "delete from orderdetail where detailid='a'; delete from orderinfo where orderid='a'"},
      // N'' literals.
      {"select N'text', n'x', N'it''s'", "select 'text', 'x', 'it''s'"},
      {"select Nx from t where N = 'a'", "select Nx from t where N = 'a'"},
      // Nothing inside a literal is touched.
      {"select 'a'' + ''b', 'delete t where' from t",
       "select 'a'' + ''b', 'delete t where' from t"},
      {"select '--not a comment' from t -- a comment", "select '--not a comment' from t  "},
      {"select 1 /* note */ from t", "select 1   from t"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.classic);
    TranslatedSql t = translateClassicSql(c.classic);
    EXPECT_FALSE(t.call.has_value());
    EXPECT_EQ(t.text, c.translated);
  }
}

TEST(DialectTest, TopBecomesALimitAtTheEndOfItsSelect) {
  struct Case {
    const char* classic;
    const char* translated;
  };
  const Case cases[] = {
      {"select top 5 * from t order by a", "select * from t order by a limit 5"},
      {"SELECT DISTINCT TOP (3) grp FROM products;", "SELECT DISTINCT grp FROM products limit 3;"},
      {"select a from t where b in (select top 1 b from u order by c) order by a",
       "select a from t where b in (select b from u order by c limit 1) order by a"},
      // Not a select's top: a column of that name.
      {"select top from t where top = 1", "select top from t where top = 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.classic);
    EXPECT_EQ(translateClassicSql(c.classic).text, c.translated);
  }
}

TEST(DialectTest, PostgreSqlRewrites) {
  struct Case {
    const char* rule;
    const char* classic;
    const char* translated;
  };
  const Case cases[] = {
      {"like ignores case, takes any type and no escape character",
       "select * from p where descr like '%modem%' and x not LIKE 'a\\b%'",
       "select * from p where descr::text ilike '%modem%' escape '' and x::text not ILIKE "
       "'a\\b%' escape ''"},
      {"a qualified column, a concatenated pattern",
       "select 1 from p where (products.descr like '%' + 'key' + '%' ) order by a",
       "select 1 from p where (products.descr::text ilike '%key%' escape '' ) order by a NULLS "
       "FIRST"},
      {"a function's result, a pattern with its own escape",
       "select 1 from p where lower(a) like 'x!%' escape '!'",
       "select 1 from p where lower(a)::text ilike 'x!%' escape '!'"},
      {"integers compared become untyped literals",
       "select * from p where status = 1 and qty>=-2 and 5 < cost and id in (1, 2,3)",
       "select * from p where status = '1' and qty>='-2' and '5' < cost and id in ('1', "
       "'2','3')"},
      {"arithmetic, fractions and limits stay",
       "select * from p where qty = 2 * x and cost > 0.5 and a = b - 1 limit 15",
       "select * from p where qty = 2 * x and cost > 0.5 and a = b - 1 limit 15"},
      {"an update's assignments take the column's type too", "update t set qty=4,a='x' where b=7",
       "update t set qty='4',a='x' where b='7'"},
      {"NULL sorts lowest", "select a from t order by a, b desc, c asc",
       "select a from t order by a NULLS FIRST, b desc NULLS LAST, c asc NULLS FIRST"},
      {"in subqueries and before limits",
       "select a from (select a from t order by a) s order by 1 limit 3",
       "select a from (select a from t order by a NULLS FIRST) s order by 1 NULLS FIRST limit 3"},
      {"an ordering that says where NULL goes is kept", "select a from t order by a nulls last",
       "select a from t order by a nulls last"},
      {"distinct rows come in the order of their columns",
       "select distinct grp,descr from comgrp where grp <> 'dummy' ;",
       "select distinct grp,descr from comgrp where grp <> 'dummy' ORDER BY 1 NULLS FIRST, 2 "
       "NULLS FIRST ;"},
      {"a distinct with its own order keeps it", "select distinct a from t order by a desc",
       "select distinct a from t order by a desc NULLS LAST"},
      {"a distinct with a limit is kept", "select distinct a, b from t limit 2",
       "select distinct a, b from t limit 2"},
      {"a distinct of every column is kept", "select distinct * from t",
       "select distinct * from t"},
      {"a compound distinct is kept", "select distinct a from t union select b from u",
       "select distinct a from t union select b from u"},
      {"a distinct subquery is kept", "select a from t where b in (select distinct b from u)",
       "select a from t where b in (select distinct b from u)"},
      {"a distinct in a batch is kept", "select distinct a from t; select 1",
       "select distinct a from t; select 1"},
      {"quoted names are the server's lower-case names", "select [vend_Code], \"Descr\" from manuf",
       "select \"vend_code\", \"descr\" from manuf"},
      {"text inside literals is untouched",
       "select 'a like b', '= 1', 'order by x' from t where a = 'top 5'",
       "select 'a like b', '= 1', 'order by x' from t where a = 'top 5'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rule);
    TranslatedSql t = translateClassicSql(c.classic, SqlFlavor::PostgreSQL);
    EXPECT_FALSE(t.call.has_value());
    EXPECT_EQ(t.text, c.translated);
  }
}

TEST(DialectTest, RowCountsAndWindowsOfTranslatedQueries) {
  EXPECT_EQ(rowCountStatement("select a from t order by a"), "SELECT count(*) from t");
  EXPECT_EQ(rowCountStatement("select distinct a from t"),
            "SELECT count(*) FROM (select distinct a from t) AS kx_rows");
  EXPECT_EQ(windowStatement("select a from t order by a;", "30", "15"),
            "select a from t order by a LIMIT 15 OFFSET 30");
  EXPECT_EQ(windowStatement("select a from t order by a limit 5", "$2", "$1"),
            "SELECT * FROM (select a from t order by a limit 5) AS kx_rows LIMIT $1 OFFSET $2");
  // Pages of a distinct query without an order hold each row once: it is ordered by its columns.
  EXPECT_EQ(windowStatement("select distinct t.a as x, f(b, c) from t", "0", "15"),
            "select distinct t.a as x, f(b, c) from t ORDER BY 1, 2 LIMIT 15 OFFSET 0");
  EXPECT_EQ(windowStatement("select distinct a, b from t", "0", "15", SqlFlavor::PostgreSQL),
            "select distinct a, b from t ORDER BY 1 NULLS FIRST, 2 NULLS FIRST LIMIT 15 OFFSET 0");
  EXPECT_EQ(windowStatement("select distinct * from t", "0", "15"),
            "select distinct * from t LIMIT 15 OFFSET 0");
}

TEST(DialectTest, BareProcedureCallsBecomeCallsWithValues) {
  struct Case {
    const char* classic;
    const char* name;
    std::vector<Variant> args;
  };
  const Case cases[] = {
      {"kx_getpref 'gfontName'", "kx_getpref", {Variant("gfontName")}},
      {"kx_getpref 'x''; delete from preferences; --'",
       "kx_getpref",
       {Variant("x'; delete from preferences; --")}},
      {"kx_catdescr 'A1','010'", "kx_catdescr", {Variant("A1"), Variant("010")}},
      {"kx_cartUpdate 'P1','S1',3,2.50,'1'",
       "kx_cartUpdate",
       {Variant("P1"), Variant("S1"), Variant(int64_t{3}), Variant(2.5), Variant("1")}},
      {"kx_x -5, N'y', NULL;", "kx_x", {Variant(int64_t{-5}), Variant("y"), Variant::null()}},
      {"  exec kx_getMarkup 'm001'", "kx_getMarkup", {Variant("m001")}},
      {"kx_cartTotal", "kx_cartTotal", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.classic);
    TranslatedSql t = translateClassicSql(c.classic);
    ASSERT_TRUE(t.call.has_value());
    EXPECT_EQ(t.call->name, c.name);
    EXPECT_EQ(t.call->args, c.args);
  }
}

TEST(DialectTest, MalformedCallsAreStatementErrors) {
  const char* cases[] = {
      "kx_getpref 'a' 'b'",  // missing comma
      "kx_getpref 'a',",     // missing argument
      "kx_getpref grp",      // a column is no value
      "kx_getpref 'a'; delete from preferences",
      "kx_getpref ('a')",
  };
  for (const char* c : cases) {
    SCOPED_TRACE(c);
    try {
      translateClassicSql(c);
      ADD_FAILURE() << "accepted";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), kErrStatement);
      EXPECT_EQ(e.source(), "kestrin.SQL");
    }
  }
}

TEST(DialectTest, StatementsSplitOnlyAtSemicolonsOutsideLiteralsNamesAndComments) {
  using List = std::vector<std::string>;
  EXPECT_EQ(splitStatements("select 1"), List{"select 1"});
  EXPECT_EQ(splitStatements("select 1; ;  select 'a;b' ;"), (List{"select 1", "  select 'a;b' "}));
  EXPECT_EQ(splitStatements("select [a;b], \"c;d\" -- ; x\n from t /* ; */"),
            List{"select [a;b], \"c;d\"  \n from t  "});
  EXPECT_EQ(splitStatements("select N'x;y'; delete t"), (List{"select N'x;y'", " delete t"}));
  EXPECT_EQ(splitStatements(" ; \n"), List{});
  // An unterminated literal keeps the rest of the text.
  EXPECT_EQ(splitStatements("select 'a; drop table t"), List{"select 'a; drop table t"});

  EXPECT_NO_THROW(requireSingleStatement("select 'a;b';"));
  try {
    requireSingleStatement("select 1; select 2");
    ADD_FAILURE() << "two statements passed";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrStatement);
  }
}

TEST(DialectTest, NulCharacterIsRejected) {
  EXPECT_THROW(translateClassicSql(std::string("select 'a\0' from t", 18)), Error);
}

TEST(DialectTest, CountingStatementsOfPlainQueries) {
  struct Case {
    const char* query;
    const char* counting;  // nullptr: counted as a subquery
  };
  const Case cases[] = {
      {"SELECT products.grp as grp, (select 1) as x FROM products,manuf WHERE (a='1') and b <> ')' "
       "ORDER BY "
       "products.vend_code,products.cost",
       "SELECT count(*) FROM products,manuf WHERE (a='1') and b <> ')'"},
      {"select * from t where x in (select y from u order by y)",
       "SELECT count(*) from t where x in (select y from u order by y)"},
      {"select a from t;", "SELECT count(*) from t"},
      {"SELECT distinct grp FROM products ORDER BY grp", nullptr},
      {"select grp, count(*) from products group by grp", nullptr},
      {"select a from t union select a from u", nullptr},
      {"select a from t limit 5", nullptr},
      {"select 1", nullptr},
      {"update t set a=1", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query);
    std::optional<std::string> counting = countingStatement(c.query);
    if (c.counting) {
      ASSERT_TRUE(counting.has_value());
      EXPECT_EQ(*counting, c.counting);
    } else {
      EXPECT_FALSE(counting.has_value());
    }
  }
}

TEST(DialectTest, StripStatementEnd) {
  EXPECT_EQ(stripStatementEnd("select 1 ;  \n"), "select 1");
  EXPECT_EQ(stripStatementEnd("select 1"), "select 1");
}

}  // namespace
}  // namespace kestrin::db
