// A fresh, uniquely named folder under the system's temporary folder, on every platform.
#pragma once

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

inline std::string MakeScratchFolder(const std::string& prefix) {
    std::random_device random;
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    for (int attempt = 0; attempt < 100 && !ec; ++attempt) {
        const std::filesystem::path p = base / (prefix + std::to_string(random()));
        if (std::filesystem::create_directory(p, ec)) {
            return p.string();
        }
    }
    throw std::runtime_error("cannot create a scratch folder");
}
