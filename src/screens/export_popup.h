// The export popup's code for a table on the current screen.
#pragma once

#include <cstdint>
#include <string>

// The code for the best score of table 1..3 as this screen shows it (the small
// screen has its own variant for Hard and Melvoria); empty while that score does
// not beat the table's best default score, and for any other table number.
std::u16string ExportCodeFor(std::int32_t table);
