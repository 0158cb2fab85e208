// A load on arbitrary bytes, without a store: whatever the file says, the
// writes it plans lie at or below HKEY_CURRENT_USER\SOFTWARE\Norwick\Morvel,
// and hold only what the store keeps exactly.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/exchange/RegLoad.h"
#include "core/platform/CodePage.h"
#include "core/store/Registry.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

bool Representable(const std::string& utf8) {
    return morvel::codepage::FromAnsi(morvel::codepage::ToAnsi(utf8)) == utf8;
}

// Checked level by level, without the load's own helpers.
bool InsideTheProgramsKey(const std::string& path) {
    const std::string base[] = {"software", "norwick", "morvel"};
    std::size_t level = 0, pos = 0;
    for (;;) {
        const auto cut = path.find('\\', pos);
        const std::string name = path.substr(pos, cut == std::string::npos ? std::string::npos : cut - pos);
        if (name.empty() || name == "." || name == ".." || !Representable(name)) return false;
        if (level < 3 && morvel::codepage::LoweredAnsi(name) != base[level]) return false;
        ++level;
        if (cut == std::string::npos) return level >= 3;
        pos = cut + 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    morvel::LoadPlan plan;
    const bool ok = morvel::PlanLoad(bytes, plan).ok();
    Check(plan.problems.size() <= morvel::kMaxListedLoadProblems &&
          plan.problems.size() <= plan.problemCount);
    if (!ok) return 0;
    Check(plan.problemCount == 0);
    for (const auto& key : plan.keys) Check(InsideTheProgramsKey(key.path));
    for (const auto& v : plan.values) {
        Check(v.key < plan.keys.size());
        Check(v.bytes.size() <= morvel::Registry::kMaxValueBytes);
        Check(Representable(v.name) && v.name.find_first_of(std::string("\0\r\n", 3)) == std::string::npos);
    }
    return 0;
}
