// Splits a text into the tokens between delimiter characters, as the mask box is split.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace engine {

class TStringTokenizer {
public:
    // Every byte of `delimiters` ends a token; empty tokens are dropped, so runs of delimiters
    // and delimiters at either end give nothing.
    TStringTokenizer(std::string_view text, std::string_view delimiters);

    std::vector<std::string> Tokens;
};

} // namespace engine
