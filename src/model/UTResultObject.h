// Base of the folder and file objects that result-tree nodes own. Counts live instances so
// tests can check that clearing a tree frees every object exactly once.
#pragma once

#include <cstdint>

namespace model {

class TResultObject {
public:
    TResultObject() { ++live_; }
    TResultObject(const TResultObject&) { ++live_; }
    TResultObject& operator=(const TResultObject&) = default;
    virtual ~TResultObject() { --live_; }

    static std::int64_t LiveCount() { return live_; }

private:
    static inline std::int64_t live_ = 0;
};

} // namespace model
