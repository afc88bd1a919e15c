#pragma once

#include <string_view>

namespace quillon {

// Whether text is a well-formed URL reference: non-empty, only characters a
// URL may contain, and every percent sign followed by two hex digits.
bool isParseableUrl(std::string_view text);

} // namespace quillon
