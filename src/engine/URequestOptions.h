// Kept for callers that still spell the request's options through these helpers.
#pragma once

#include "UTSearchOptions.h"
#include "UTSearchRequest.h"

namespace engine {

inline const ::TSearchOptions* RequestOptions(const ::TSearchOptions& options) {
    return &options;
}

} // namespace engine
