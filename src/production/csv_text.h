#pragma once
// CSV lines for spreadsheets (RFC 4180 quoting, CR LF line ends). A field a
// spreadsheet would take for a formula (it begins with =, +, -, @, a tab or a
// CR) gets a leading apostrophe, so it shows as text instead of running.
#include <string>
#include <vector>

namespace px316t {

std::string csvLine(const std::vector<std::string>& fields);

} // namespace px316t
