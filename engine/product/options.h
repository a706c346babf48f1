// The options a shop product offers on its order form (sizes, colours, styles, textures,
// flavours, packaging, single or multiple, gender, and a picture of the gallery), and the reading
// of their tables. The product page writes the selectors; the cart turns the chosen row ids of a
// line back into their descriptions. Everything here reads the main database.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestrin/db.h"

namespace kestrin::product {

struct OptionKind {
  const char* table;       // option table; also the form field and the cart column ("prSizes")
  const char* flagColumn;  // products column that offers the kind when it is 1 ("showSizes")
  const char* label;       // row label of the order form ("Sizes:")
  const char* prompt;      // first entry of the drop-down list, value "0"
  const char* cartLabel;   // label of a chosen option in the cart's plain listing ("Size - ")
};

inline constexpr int kListKinds = 8;

// The eight list kinds, in the order the order form and the cart write them.
inline constexpr std::array<OptionKind, kListKinds> kOptionKinds = {{
    {"prSizes", "showSizes", "Sizes:", "--- Select Size --", "Size - "},
    {"prColors", "showColors", "Colors:", "--- Select Color --", "Color - "},
    {"prStyles", "showStyles", "Styles:", "--- Select Style --", "Style - "},
    {"prTextures", "showTextures", "Textures:", "--- Select Texture --", "Texture - "},
    {"prFlavors", "showFlavors", "Flavors:", "--- Select Flavor --", "Flavor - "},
    {"prPackaging", "showPackaging", "Packaging:", "--- Select Packaging --", "Packaging - "},
    {"prSingle", "showSingle", "Single/Multiple:", "--- Select Single/Multiple --",
     "Single/Multiple - "},
    {"prGender", "showGender", "Gender:", "--- Select Gender --", "Gender - "},
}};

// The picture kind: chosen from the product's gallery (table pictures), posted as prPicture.
inline constexpr const char* kPictureTable = "pictures";
inline constexpr const char* kPictureField = "prPicture";
inline constexpr const char* kPictureFlag = "showPicture";

// The kinds a product offers. A product without a products row offers none.
struct OfferedOptions {
  std::array<bool, kListKinds> lists{};
  bool picture = false;
};

// Reads the nine flags of `partno` with one statement on `conn` (left in `sql`).
OfferedOptions readOfferedOptions(db::Connection& conn, std::string& sql,
                                  const std::string& partno);

struct OptionRow {
  std::string id;  // the value the form posts
  std::string descr;
};

// The rows of one list kind for `partno`, in the order of their descriptions.
std::vector<OptionRow> readOptionRows(db::Connection& conn, std::string& sql,
                                      const std::string& partno, const OptionKind& kind);

// A row id as a request or a cart line gives it: a whole number, blanks around it allowed.
// Anything else (empty text, a sign, decimals, letters, SQL) is no id.
std::optional<long long> parseOptionId(std::string_view text);

// The description of row `id` of an option table (or of pictures), as stored; nothing when the
// table has no such row.
std::optional<std::string> optionDescr(db::Connection& conn, std::string& sql,
                                       std::string_view table, long long id);

}  // namespace kestrin::product
