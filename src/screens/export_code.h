// The hi-score export code: the best score of a table rearranged into a short
// string that the player types in on the maker's web site.
#pragma once

#include <cstdint>
#include <string>

// 18 characters for every score above 2435 and up to 999999, e.g. 5000 with
// prefix "001" and variant "10" gives "0503010!01001088!1".
std::u16string BuildExportCode(std::int32_t score, const std::u16string& prefix,
                               const std::u16string& variant);
