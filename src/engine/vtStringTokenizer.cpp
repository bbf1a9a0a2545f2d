#include "engine/vtStringTokenizer.h"

namespace engine {

TStringTokenizer::TStringTokenizer(std::string_view text, std::string_view delimiters) {
    std::string token;
    for (const char c : text) {
        if (delimiters.find(c) != std::string_view::npos) {
            if (!token.empty()) {
                Tokens.push_back(std::move(token));
                token.clear();
            }
        } else {
            token.push_back(c);
        }
    }
    if (!token.empty()) {
        Tokens.push_back(std::move(token));
    }
}

} // namespace engine
