// Helpers shared by the engine's tests.
#pragma once

#include "regex/URegExpr.h"

#include <string>
#include <utility>
#include <vector>

// Every match as (MatchPos[0], MatchLen[0]), enumerated with Exec and ExecNext.
inline std::vector<std::pair<int, int>>
AllMatches(const std::string& pattern, const std::string& input, bool caseless = false) {
    regex::TRegExpr r;
    r.SetExpression(pattern);
    r.SetModifierI(caseless);
    std::vector<std::pair<int, int>> out;
    if (r.Exec(input)) {
        do
            out.emplace_back(r.MatchPos(0), r.MatchLen(0));
        while (r.ExecNext());
    }
    return out;
}

inline bool Matches(const std::string& pattern, const std::string& input, bool caseless = false) {
    regex::TRegExpr r;
    r.SetExpression(pattern);
    r.SetModifierI(caseless);
    return r.Exec(input);
}

using TMatchList = std::vector<std::pair<int, int>>;
