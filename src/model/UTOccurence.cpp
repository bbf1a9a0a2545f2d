#include "model/UTOccurence.h"

namespace model {

const std::string& TOccurence::Text() const {
    static const std::string empty;
    return text_ ? *text_ : empty;
}

std::string TOccurence::OccurenceReportLine(std::string_view text, std::int32_t line,
                                            std::int32_t column) {
    std::string s = "Line: " + std::to_string(line) + ", Char: " + std::to_string(column) + ", [\"";
    s += text;
    s += "\"]";
    return s;
}

std::string TOccurence::OccurenceCaption(std::string_view text, std::int32_t line,
                                         std::int32_t column) {
    std::string s = "Line: " + std::to_string(static_cast<std::int64_t>(line) + 1) +
                    ", Pos: " + std::to_string(column) + ", \"";
    s += text;
    s += '"';
    return s;
}

} // namespace model
