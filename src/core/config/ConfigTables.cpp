#include "core/config/ConfigTables.h"

#include <algorithm>
#include <tuple>
#include <unordered_set>

#include "core/config/AttributeFamilies.h"
#include "core/platform/CodePage.h"
#include "core/platform/Excerpt.h"
#include "core/store/KeyPaths.h"

namespace morvel {
namespace {

std::int32_t ClampCount(std::int32_t count, std::int32_t capacity) { return std::clamp(count, 0, capacity); }

// As Registry::CheckText, with a limit of most bytes for a text that an
// example's value name carries; a text over it is named by its start.
Status CheckTableText(const std::string& what, std::string_view text, std::size_t most) {
    if (Status s = Registry::CheckText(what, text); !s) return s;
    if (codepage::ToAnsi(text).size() > most)
        return Status::InvalidInput(what + " \"" + Excerpt(text) + "\" is longer than " +
                                    std::to_string(most) + " characters");
    return Status::Ok();
}

}  // namespace

void BuildAttributeNames(ConfigTables& tables) {
    std::int32_t count = 0;
    for (const AttributeFamily& family : AttributeFamilies()) {
        const std::string prefix(family.prefix);
        switch (family.naming) {
            case AttributeFamily::Naming::kNumbered:
                for (std::size_t i = 1; i <= family.slotCodes.size(); ++i)
                    tables.AttributeNames[++count] = prefix + std::to_string(i);
                break;
            case AttributeFamily::Naming::kSequenceText:
                for (std::int32_t i = 1; i <= tables.SequenceCount; ++i)
                    tables.AttributeNames[++count] = prefix + tables.SequenceTable[i];
                break;
            case AttributeFamily::Naming::kWords:
                for (const SlotCodes& codes : family.slotCodes)
                    tables.AttributeNames[++count] = prefix + std::string(codes.word);
                break;
        }
    }
    tables.AttributeCount = tables.HeaderAttributes ? count : count - ConfigTables::kHeaderSlots;
}

Status SaveHeaderAttributes(Registry& registry, ConfigTables& tables, bool on) {
    Registry::WriteGroup group(registry);
    static_cast<void>(registry.SetKeyNumber(AttributesKeyPath(), kHeaderAttributesValue, on ? 1 : 0));
    if (Status s = group.Commit(); !s) return s;
    tables.HeaderAttributes = on;
    BuildAttributeNames(tables);
    return Status::Ok();
}

Status LoadConfigurationTables(const Registry& registry, ConfigTables& tables) {
    Registry::ReadSnapshot snapshot(registry);
    return LoadConfigurationTables(
        TableReads{[&](const std::string& path, const std::string& name, std::int32_t& value) {
                       return registry.GetKeyNumber(path, name, value);
                   },
                   [&](const std::string& path, const std::string& name, std::string& text) {
                       return registry.GetKeyText(path, name, text);
                   }},
        tables);
}

Status LoadConfigurationTables(const TableReads& reads, ConfigTables& tables) {
    // A missing text reads as empty; any other failure ends the load.
    auto text = [&](const std::string& path, const std::string& name, std::string& into) {
        Status read = reads.text(path, name, into);
        return read.IsNotFound() ? Status::Ok() : read;
    };

    const std::string contain = ContainKeyPath();
    std::int32_t count = 0;
    if (Status s = reads.number(contain, std::string(kCountValue), count); !s) return s;
    tables.SequenceCount = ClampCount(count, ConfigTables::kMaxSequences);
    for (int i = 1; i <= tables.SequenceCount; ++i)
        if (Status s = text(contain, SequenceValueName(i), tables.SequenceTable[i]); !s) return s;
    std::int32_t header = 0;
    if (Status s = reads.number(AttributesKeyPath(), std::string(kHeaderAttributesValue), header); !s)
        return s;
    tables.HeaderAttributes = header == 1;

    BuildAttributeNames(tables);

    const std::string target = TargetKeyPath();
    if (Status s = reads.number(target, std::string(kCountValue), count); !s) return s;
    tables.TargetCount = ClampCount(count, ConfigTables::kMaxTargets);
    for (int i = 1; i <= tables.TargetCount; ++i) {
        auto& t = tables.TargetTable[i];
        for (auto [name, into] : {std::pair{TargetIdValueName(i), &t.Id},
                                  {TargetNameValueName(i), &t.Name},
                                  {TargetMethodValueName(i), &t.Method}})
            if (Status s = text(target, name, *into); !s) return s;
    }
    return Status::Ok();
}

std::vector<std::string> SequenceList(const ConfigTables& tables) {
    return {tables.SequenceTable.begin() + 1, tables.SequenceTable.begin() + 1 + tables.SequenceCount};
}

std::vector<TargetEntry> TargetList(const ConfigTables& tables) {
    return {tables.TargetTable.begin() + 1, tables.TargetTable.begin() + 1 + tables.TargetCount};
}

std::vector<std::string> DistinctSequences(const std::vector<std::string>& rows) {
    std::vector<std::string> taken;
    std::unordered_set<std::string> seen;
    for (const auto& row : rows) {
        if (row.empty()) continue;
        if (seen.insert(codepage::LoweredAnsi(row)).second) taken.push_back(row);
    }
    return taken;
}

Status SaveSequenceTable(Registry& registry, ConfigTables& tables, const std::vector<std::string>& rows) {
    const auto sequences = DistinctSequences(rows);
    if (sequences.size() > static_cast<std::size_t>(ConfigTables::kMaxSequences))
        return Status::InvalidInput("At most " + std::to_string(ConfigTables::kMaxSequences) +
                                    " search sequences can be kept; the list has " +
                                    std::to_string(sequences.size()) + ".");
    // Refused before anything is written, and named as the user knows it.
    for (const auto& text : sequences)
        if (Status s = CheckTableText("the search sequence", text, kMaxSequenceBytes); !s) return s;
    Registry::WriteGroup group(registry);
    const std::string contain = ContainKeyPath();
    // A failed write fails the group's Commit: writing stops at it.
    Status written = registry.SetKeyNumber(contain, kCountValue, static_cast<std::int32_t>(sequences.size()));
    for (std::size_t i = 0; i < sequences.size() && written; ++i)
        written =
            registry.SetKeyText(contain, SequenceValueName(static_cast<std::int32_t>(i + 1)), sequences[i]);
    if (Status s = group.Commit(); !s) return s;
    tables.SequenceCount = static_cast<std::int32_t>(sequences.size());
    for (std::size_t i = 0; i < sequences.size(); ++i) tables.SequenceTable[i + 1] = sequences[i];
    BuildAttributeNames(tables);
    return Status::Ok();
}

Status SaveTargetTable(Registry& registry, ConfigTables& tables, const std::vector<TargetEntry>& rows) {
    if (rows.size() > static_cast<std::size_t>(ConfigTables::kMaxTargets))
        return Status::InvalidInput("At most " + std::to_string(ConfigTables::kMaxTargets) +
                                    " target attributes can be kept; the list has " +
                                    std::to_string(rows.size()) + ".");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string which = " of target " + std::to_string(i + 1);
        for (auto [what, text, limit] : {std::tuple{"the identifier", &rows[i].Id, kMaxTargetIdBytes},
                                         std::tuple{"the name", &rows[i].Name, Registry::kMaxValueBytes},
                                         std::tuple{"the method", &rows[i].Method, Registry::kMaxValueBytes}})
            if (Status s = CheckTableText(what + which, *text, limit); !s) return s;
    }
    Registry::WriteGroup group(registry);
    const std::string target = TargetKeyPath();
    // A failed write fails the group's Commit: writing stops at it.
    Status written = registry.SetKeyNumber(target, kCountValue, static_cast<std::int32_t>(rows.size()));
    for (std::size_t i = 0; i < rows.size() && written; ++i) {
        const auto n = static_cast<std::int32_t>(i + 1);
        if (written) written = registry.SetKeyText(target, TargetIdValueName(n), rows[i].Id);
        if (written) written = registry.SetKeyText(target, TargetNameValueName(n), rows[i].Name);
        if (written) written = registry.SetKeyText(target, TargetMethodValueName(n), rows[i].Method);
    }
    if (Status s = group.Commit(); !s) return s;
    tables.TargetCount = static_cast<std::int32_t>(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) tables.TargetTable[i + 1] = rows[i];
    return Status::Ok();
}

std::string JoinArguments(const std::vector<std::string>& args) {
    std::string joined;
    for (const auto& a : args) {
        if (&a != &args.front()) joined += ' ';
        joined += a;
    }
    return joined;
}

}  // namespace morvel
