#include "model/UTOccurence.h"

namespace model {

const std::string& TOccurence::Text() const {
    static const std::string empty;
    return text_ ? *text_ : empty;
}

std::string TOccurence::ReportLine() const {
    std::string s = "Line: " + std::to_string(Line) + ", Char: " + std::to_string(Column) + ", [\"";
    s += Text();
    s += "\"]";
    return s;
}

std::string TOccurence::Caption() const {
    std::string s = "Line: " + std::to_string(static_cast<std::int64_t>(Line) + 1) +
                    ", Pos: " + std::to_string(Column) + ", \"";
    s += Text();
    s += '"';
    return s;
}

} // namespace model
