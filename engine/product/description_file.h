// The item description file of a distributor product: a text file of delimited items in the
// site's folder admin/productDescription, named after the part number.
#pragma once

#include <string>

namespace kestrin::product {

// aPath + "/admin/productDescription/" + trimmed part number + ".descr", or empty text when the
// request cannot name a file of that folder: no site folder given, a ".." in it, or a part number
// holding "/" or a NUL byte.
std::string descriptionFilePath(const std::string& aPath, const std::string& partno);

// Whether something exists at `path`: a file, a folder, or a name in a folder the engine may not
// look into (which then cannot be read).
bool descriptionFileExists(const std::string& path);

// The file's items, in order, one blank between two items (so "Cable, 6 ft" reads "Cable 6 ft",
// as a line end in HTML text does), each CR LF inside an item written "<br>". Raises the
// path/file access error (75) when the file cannot be read.
std::string readDescriptionFile(const std::string& path);

}  // namespace kestrin::product
