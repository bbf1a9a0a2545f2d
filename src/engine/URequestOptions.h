// The one crossing point between a request and its attribute options. The request names the
// options type by a forward declaration of its own, while the options class is declared at
// global scope; until the two declarations agree these helpers convert between them. The
// conversions go through `const void*` and back to the object's real type, so they are exact;
// once the declarations agree they are identities.
#pragma once

#include "UTSearchOptions.h"
#include "UTSearchRequest.h"

namespace engine {

using TRequestOptionsPtr = decltype(TSearchRequest::Options);

// What a request stores to refer to `options`.
inline TRequestOptionsPtr RequestOptions(const ::TSearchOptions& options) {
    return static_cast<TRequestOptionsPtr>(static_cast<const void*>(&options));
}

// The options a request refers to; null when it refers to none.
inline const ::TSearchOptions* OptionsOf(const TSearchRequest& request) {
    return static_cast<const ::TSearchOptions*>(static_cast<const void*>(request.Options));
}

} // namespace engine
