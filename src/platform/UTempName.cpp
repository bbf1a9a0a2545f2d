#include "platform/UTempName.h"

namespace platform {

namespace {

constexpr std::string_view kSuffix = ".fstmp";

} // namespace

std::string TempName(std::string_view target, std::uint64_t serial) {
    const std::string number = std::to_string(serial);
    const size_t room = kNameMax - 2 - number.size() - kSuffix.size();
    std::string name = ".";
    name.append(target.substr(0, room));
    name += '.';
    name += number;
    name.append(kSuffix);
    return name;
}

bool IsReplaceTempName(std::string_view name) {
    if (name.size() < 1 + 1 + 1 + 1 + kSuffix.size() || name[0] != '.' ||
        name.substr(name.size() - kSuffix.size()) != kSuffix) {
        return false;
    }
    const std::string_view rest = name.substr(1, name.size() - 1 - kSuffix.size());
    const size_t dot = rest.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == rest.size() ||
        rest.size() - dot - 1 > 20) {
        return false;
    }
    return rest.substr(dot + 1).find_first_not_of("0123456789") == std::string_view::npos;
}

} // namespace platform
