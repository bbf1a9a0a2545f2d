// Translation of a parsed pattern into PCRE2 syntax with the engine's meaning, and the literal
// that every match must contain (the search's prefilter).
#pragma once

#include "regex/URegexParser.h"

#include <string>
#include <string_view>

namespace regex {

struct TRxTranslation {
    // For an 8-bit PCRE2 compiled with DOTALL and nothing else: every modifier of the dialect is
    // already resolved into the pattern.
    std::string Pcre2Pattern;
    int GroupCount = 0;
    std::string Literal;
    bool LiteralCaseless = false;
    // No match can hold a CR or an LF, and none depends on where the text starts or ends or
    // on its line structure: every match lies inside one line, and is found the same in that
    // line alone.
    bool WithinLines = false;
};

std::string EmitPcre2(const TRxTree& tree);

// Conservative: every match contains the literal (ignoring ASCII case when caseless); empty
// when nothing certain can be said.
void RequiredLiteral(const TRxTree& tree, std::string& literal, bool& caseless);

// Conservative (false when unsure): no node can consume a CR or an LF, and the pattern has no
// anchor (^ $ \A \Z). Word boundaries pass: a line's edge is a non-word byte, whether it is a
// break or the end of the text.
bool StaysWithinLines(const TRxNode& n);

// Parses (throwing ERegExpr on a pattern error) and translates.
TRxTranslation TranslateRegex(std::string_view pattern, const TRxModifiers& start);

} // namespace regex
