// The names of the platform layer's temporary files, the same on every platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// The file-name limit of one component.
constexpr size_t kNameMax = 255;

// The temporary name for `target` (a last component) with `serial` as its number part:
// "." + target + "." + serial + ".fstmp", the target part shortened so the whole fits kNameMax.
std::string TempName(std::string_view target, std::uint64_t serial);

// The temporary files of every write of the platform layer have names of that form. Folder
// walks skip such names, so no search ever selects one.
bool IsReplaceTempName(std::string_view name);

} // namespace platform
