#pragma once

#include <string>

namespace lectoria::tools {

// A small valid one-page PDF whose page shows `title`, with a correct cross-reference table.
// The title must be plain ASCII; parentheses and backslashes are escaped.
std::string MakeSamplePdf(const std::string& title);

} // namespace lectoria::tools
