#include "regex/URegexTester.h"

#include "regex/URegExpr.h"

#include <exception>

namespace regex {

std::string RegexTesterOutput(const std::string& sample, const std::string& pattern,
                              const std::string& templ, bool lineByLine) {
    try {
        TRegExpr engine;
        engine.SetExpression(pattern);
        engine.SetModifierM(lineByLine);
        engine.SetModifierS(!lineByLine);
        if (engine.Exec(sample))
            return engine.Replace(sample, templ, true);
        return sample;
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown error";
    }
}

} // namespace regex
