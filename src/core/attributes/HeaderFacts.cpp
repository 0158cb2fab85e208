#include "core/attributes/HeaderFacts.h"

namespace morvel {

HeaderCodes ReadHeaderFacts(const ReadAtFn&, std::uint64_t, const std::uint8_t*, std::int32_t) { return {}; }

}  // namespace morvel
