// A load on arbitrary bytes, without a store: whatever the file says, the
// writes it asks for lie at or below HKEY_CURRENT_USER\SOFTWARE\Norwick\Morvel,
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
    bool inside = true;
    const bool ok = morvel::PlanLoad(bytes, plan, [&](const morvel::LoadWrite& w) {
                        if (w.key) {
                            inside = inside && InsideTheProgramsKey(std::string(w.path));
                            return;
                        }
                        inside =
                            inside && w.bytes.size() <= morvel::Registry::kMaxValueBytes &&
                            Representable(std::string(w.name)) &&
                            w.name.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
                    }).ok();
    Check(plan.problems.size() <= morvel::kMaxListedLoadProblems &&
          plan.problems.size() <= plan.problemCount);
    if (!ok) return 0;
    Check(plan.problemCount == 0);
    Check(inside);
    Check(plan.missingExamples >= 0 && plan.missingExamples <= plan.exampleCount);
    return 0;
}
