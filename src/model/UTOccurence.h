#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace model {

// One match as the search hands it over. The line text is shared by every occurrence of the
// same line, so a line with thousands of matches is held once; the result tree keeps its own
// compact copy.
class TOccurence {
public:
    TOccurence() = default;
    TOccurence(std::shared_ptr<const std::string> text, std::int32_t line, std::int32_t column,
               std::int32_t length)
        : text_(std::move(text)), Line(line), Column(column), Length(length) {}

    const std::string& Text() const;
    void SetText(std::string text) { text_ = std::make_shared<const std::string>(std::move(text)); }
    void SetSharedText(std::shared_ptr<const std::string> text) { text_ = std::move(text); }
    const std::shared_ptr<const std::string>& SharedText() const { return text_; }

private:
    std::shared_ptr<const std::string> text_;

public:
    std::int32_t Line = 0;   // from 0
    std::int32_t Column = 0; // from 1
    std::int32_t Length = 0;

    // "Line: 0, Char: 1, [\"text\"]"
    std::string ReportLine() const { return OccurenceReportLine(Text(), Line, Column); }
    // "Line: 1, Pos: 1, \"text\""
    std::string Caption() const { return OccurenceCaption(Text(), Line, Column); }

    static std::string OccurenceReportLine(std::string_view text, std::int32_t line,
                                           std::int32_t column);
    static std::string OccurenceCaption(std::string_view text, std::int32_t line,
                                        std::int32_t column);
};

} // namespace model
