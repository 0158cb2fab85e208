#include "core/exchange/RegLoad.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

#include "core/config/ConfigTables.h"
#include "core/examples/ExampleStore.h"
#include "core/exchange/RegFile.h"
#include "core/platform/CodePage.h"
#include "core/store/KeyPaths.h"

namespace morvel {
namespace {

constexpr std::string_view kRoot = "HKEY_CURRENT_USER";

// The levels of a backslash path, empty ones included.
std::vector<std::string_view> Levels(std::string_view path) {
    std::vector<std::string_view> levels;
    for (std::size_t pos = 0;;) {
        const auto cut = path.find('\\', pos);
        levels.push_back(
            path.substr(pos, cut == std::string_view::npos ? std::string_view::npos : cut - pos));
        if (cut == std::string_view::npos) return levels;
        pos = cut + 1;
    }
}

const std::vector<std::string>& BaseLevels() {
    static const std::vector<std::string> levels = [] {
        std::vector<std::string> lowered;
        for (const auto level : Levels(kBaseKey)) lowered.push_back(codepage::LoweredAnsi(level));
        return lowered;
    }();
    return levels;
}

bool SameAsciiWord(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto up = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
               return up(x) == up(y);
           });
}

std::string Quote(std::string_view text) {
    // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on a
    // short literal + std::string.
    std::string quoted(1, '"');
    quoted += Excerpt(text);
    quoted += '"';
    return quoted;
}

// Why a load refuses a key name (Windows-1251), or nothing when it takes it.
std::string KeyNameProblem(std::string_view ansi) {
    if (ansi.empty()) return "an empty level";
    if (ansi == "." || ansi == "..") return "the level \"" + std::string(ansi) + "\"";
    if (ansi.size() > kMaxKeyNameBytes)
        return "a level longer than " + std::to_string(kMaxKeyNameBytes) + " characters";
    if (ansi.front() == ' ' || ansi.back() == ' ') return "a level that starts or ends with a blank";
    if (std::any_of(ansi.begin(), ansi.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
        return "a level with a control character";
    return {};
}

// Turns what the reader meets into the plan, refusing every line a load must not take.
class Planner {
  public:
    explicit Planner(LoadPlan& plan) : plan_(plan) {}

    void Meet(const RegStatement& s) {
        using Kind = RegStatement::Kind;
        switch (s.kind) {
            case Kind::kKey:
                key_ = Key(s);
                return;
            case Kind::kDeleteKey:
                key_ = kNoKey;
                return Refuse(s.line, "a deletion of a key ([-" + Excerpt(s.key) +
                                          "]) is refused: load only adds and replaces values");
            case Kind::kBadKeyLine:
            case Kind::kBadLine:
                if (s.kind == Kind::kBadKeyLine) key_ = kNoKey;
                return Refuse(s.line, std::string(s.message));
            case Kind::kDeleteValue:
                return Refuse(s.line, "a deletion of a value (" + Quote(s.name) +
                                          "=-) is refused: load only adds and replaces values");
            case Kind::kValue:
                // The values of a refused key go unmentioned: its key line says it all.
                if (key_ != kNoKey) Value(s);
                return;
        }
    }

  private:
    static constexpr std::size_t kNoKey = static_cast<std::size_t>(-1);

    void Refuse(int line, std::string message) {
        ++plan_.problemCount;
        if (plan_.problems.size() < kMaxListedLoadProblems)
            plan_.problems.push_back({line, std::move(message)});
    }

    // The key's position in the plan, or kNoKey when it is refused.
    std::size_t Key(const RegStatement& s) {
        auto refuse = [&](const std::string& why) {
            return Refused(s.line, "the key [" + Excerpt(s.key) + "] " + why);
        };
        static const std::string outside = std::string(kRoot) + "\\" + std::string(kBaseKey);
        const RegKeyPath key = SplitRegKey(s.keyBytes);
        if (!SameAsciiWord(key.root, kRoot))
            return refuse("is not under " + std::string(kRoot) + ": load writes only below " + outside);
        if (!s.representable) return refuse("holds characters that Windows-1251 lacks");
        const auto levels = Levels(key.path);
        if (levels.size() > kMaxKeyDepth)
            return refuse("lies more than " + std::to_string(kMaxKeyDepth) + " levels deep");
        for (const auto level : levels)
            if (const std::string problem = KeyNameProblem(level); !problem.empty())
                return refuse("has " + problem);
        const auto& base = BaseLevels();
        if (levels.size() < base.size() ||
            !std::equal(base.begin(), base.end(), levels.begin(),
                        [](const std::string& b, std::string_view l) { return b == codepage::LowerAnsi(l); }))
            return refuse("lies outside " + outside + "; load writes nothing else");
        const auto [it, added] = index_.emplace(codepage::LowerAnsi(key.path), plan_.keys.size());
        if (added) plan_.keys.push_back({s.line, std::string(SplitRegKey(s.key).path)});
        return it->second;
    }

    std::size_t Refused(int line, std::string message) {
        Refuse(line, std::move(message));
        return kNoKey;
    }

    void Value(const RegStatement& s) {
        auto name = [&] {
            return s.name.empty() ? std::string("the default value") : "the value " + Quote(s.name);
        };
        if (!s.representable) return Refuse(s.line, name() + " holds characters that Windows-1251 lacks");
        if (!IsLoadableValueName(s.nameBytes))
            return Refuse(s.line,
                          "a value name longer than " + std::to_string(kMaxValueNameBytes) + " characters");
        if (s.bytes.size() > Registry::kMaxValueBytes)
            return Refuse(s.line, name() + " holds " + std::to_string(s.bytes.size()) +
                                      " bytes; the store keeps at most " +
                                      std::to_string(Registry::kMaxValueBytes));
        if (const std::size_t limit = TableTextLimit(s); limit != 0 && TextBytes(s) > limit)
            return Refuse(s.line, name() + " is longer than " + std::to_string(limit) +
                                      " characters: an example keeps it within a value name of at most " +
                                      std::to_string(Registry::kMaxValueBytes));
        plan_.values.push_back({s.line, key_, std::string(s.name), s.type, std::string(s.bytes)});
    }

    // The most bytes a text may have when it is a search sequence (a "Value..."
    // of the sequences' key) or a target identifier (an "Id..." of the
    // targets' key), whose examples' value names carry it; else 0.
    std::size_t TableTextLimit(const RegStatement& s) const {
        const std::string key = codepage::LoweredAnsi(plan_.keys[key_].path);
        const std::string name = codepage::LoweredAnsi(s.name);
        auto numbered = [&](std::string_view word) {
            return name.size() > word.size() && name.starts_with(word) &&
                   std::all_of(name.begin() + static_cast<std::ptrdiff_t>(word.size()), name.end(),
                               [](char c) { return c >= '0' && c <= '9'; });
        };
        static const std::string contain = codepage::LoweredAnsi(ContainKeyPath());
        static const std::string target = codepage::LoweredAnsi(TargetKeyPath());
        if (key == contain && numbered("value")) return kMaxSequenceBytes;
        if (key == target && numbered("id")) return kMaxTargetIdBytes;
        return 0;
    }

    // The length a text value reads as (one trailing zero dropped); 0 for other types.
    static std::size_t TextBytes(const RegStatement& s) {
        if (s.type != Registry::kTypeText || s.bytes.empty()) return 0;
        return s.bytes.size() - (s.bytes.back() == '\0' ? 1 : 0);
    }

    LoadPlan& plan_;
    std::size_t key_ = kNoKey;
    std::unordered_map<std::string, std::size_t> index_;  // lowered path -> position in keys
};

// The one place where a load writes: the keys in the file's order (so a
// level named twice keeps the spelling the file gives it first), then the
// values with their exact types and bytes.
// Writes a plan's keys and values inside the caller's write group. A failed
// write also fails the group's Commit (Registry), so the writer only keeps
// the first failure to stop writing after it.
class PlanWriter {
  public:
    explicit PlanWriter(Registry& registry) : registry_(registry) {}
    void Key(const std::string& path) {
        if (status_) status_ = registry_.OpenKey(path);
        ++keys;
    }
    void Value(const std::string& path, const LoadValue& v) {
        if (status_) status_ = registry_.SetKeyValue(path, v.name, v.type, v.bytes);
        ++values;
    }
    void Number(const std::string& path, std::string_view name, std::int32_t number) {
        if (status_) status_ = registry_.SetKeyNumber(path, name, number);
    }
    std::size_t keys = 0, values = 0;

  private:
    Registry& registry_;
    Status status_;
};

// The values of a plan as the store's reads would see them once written.
class PlanReader {
  public:
    explicit PlanReader(const LoadPlan& plan) {
        for (std::size_t k = 0; k < plan.keys.size(); ++k) keys_.emplace(Lowered(plan.keys[k].path), k);
        for (const auto& v : plan.values) last_[Slot(v.key, codepage::LoweredAnsi(v.name))] = &v;
    }
    std::int32_t Number(const std::string& path, std::string_view name) const {
        const LoadValue* v = Find(path, name);
        return v ? Registry::NumberOf(v->type, v->bytes) : 0;
    }
    void Text(const std::string& path, std::string_view name, std::string& text) const {
        const LoadValue* v = Find(path, name);
        if (!v || !Registry::TextOf(v->type, v->bytes, text)) text.clear();
    }

  private:
    static std::string Lowered(std::string_view path) { return codepage::LoweredAnsi(path); }
    static std::string Slot(std::size_t key, const std::string& lname) {
        return std::to_string(key) + '\\' + lname;
    }
    const LoadValue* Find(const std::string& path, std::string_view name) const {
        const auto key = keys_.find(Lowered(path));
        if (key == keys_.end()) return nullptr;
        const auto v = last_.find(Slot(key->second, codepage::LoweredAnsi(name)));
        return v == last_.end() ? nullptr : v->second;
    }
    std::unordered_map<std::string, std::size_t> keys_;
    std::unordered_map<std::string, const LoadValue*> last_;
};

// The search sequences and targets that the program would load from the plan
// once written: the store's reading of its configuration tables (counts kept
// within the capacities, a missing text read as empty).
void TablesOf(const PlanReader& file, ConfigTables& state) {
    const std::string contain = ContainKeyPath();
    state.SequenceCount = std::clamp(file.Number(contain, "Count"), 0, ConfigTables::kMaxSequences);
    for (int i = 1; i <= state.SequenceCount; ++i)
        file.Text(contain, "Value" + std::to_string(i), state.SequenceTable[i]);
    const std::string target = TargetKeyPath();
    state.TargetCount = std::clamp(file.Number(target, "Count"), 0, ConfigTables::kMaxTargets);
    for (int i = 1; i <= state.TargetCount; ++i) {
        const std::string n = std::to_string(i);
        file.Text(target, "Id" + n, state.TargetTable[i].Id);
        file.Text(target, "Name" + n, state.TargetTable[i].Name);
        file.Text(target, "Method" + n, state.TargetTable[i].Method);
    }
}

// Says how two tables differ, or nothing when they are equal.
template <typename Row, typename Show>
std::string Difference(const std::string& what, const std::vector<Row>& file, const std::vector<Row>& store,
                       Show show) {
    if (file == store) return {};
    std::string text = "the file's " + what + " differ from the store's: ";
    for (std::size_t i = 0; i < std::min(file.size(), store.size()); ++i)
        if (!(file[i] == store[i]))
            return text + "number " + std::to_string(i + 1) + " is " + show(file[i]) + " in the file and " +
                   show(store[i]) + " in the store";
    return text + "the file has " + std::to_string(file.size()) + ", the store " +
           std::to_string(store.size());
}

Status CheckSameTables(const Registry& registry, const PlanReader& file) {
    ConfigTables fileState, storeState;
    TablesOf(file, fileState);
    if (Status s = LoadConfigurationTables(registry, storeState); !s) return s;
    std::string why = Difference("search sequences", SequenceList(fileState), SequenceList(storeState),
                                 [](const std::string& s) { return Quote(s); });
    if (why.empty())
        why = Difference("targets", TargetList(fileState), TargetList(storeState), [](const TargetEntry& t) {
            return Quote(t.Id) + " (" + t.Name + ", " + t.Method + ")";
        });
    return why.empty() ? Status::Ok()
                       : Status::InvalidInput(why + "; appended examples need the same tables");
}

std::string AtLine(int line) { return "line " + std::to_string(line) + ": "; }

Status AppendExamples(Registry& registry, const LoadPlan& plan, LoadOutcome& outcome) {
    const PlanReader file(plan);
    if (Status s = CheckSameTables(registry, file); !s) return s;
    const std::string examples = ExamplesKeyPath();
    const std::int32_t fileCount = std::max(file.Number(examples, "Count"), 0);

    // Which keys of the file are its examples: Examples\ExampleN, N from 1 to
    // its count, and the keys below them. Anything else in "Examples" would
    // not be an example once renumbered, and is refused rather than dropped.
    const std::size_t base = BaseLevels().size();
    std::vector<std::int64_t> numberOf(plan.keys.size(), 0);
    std::vector<std::string> restOf(plan.keys.size());
    std::size_t examplesKey = static_cast<std::size_t>(-1);
    for (std::size_t k = 0; k < plan.keys.size(); ++k) {
        const auto levels = Levels(plan.keys[k].path);
        if (levels.size() <= base || codepage::LoweredAnsi(levels[base]) != "examples") continue;
        if (levels.size() == base + 1) {
            examplesKey = k;
            continue;
        }
        const std::int64_t n = ExampleNumberOf(codepage::LoweredAnsi(levels[base + 1]));
        if (n < 1 || n > fileCount)
            return Status::InvalidInput(AtLine(plan.keys[k].line) + "the key [" + Excerpt(plan.keys[k].path) +
                                        "] is not one of the file's examples 1 to " +
                                        std::to_string(fileCount) + "; only those can be appended");
        numberOf[k] = n;
        for (std::size_t i = base + 2; i < levels.size(); ++i) (restOf[k] += '\\') += levels[i];
    }
    for (const auto& v : plan.values)
        if (v.key == examplesKey && codepage::LoweredAnsi(v.name) != "count")
            return Status::InvalidInput(AtLine(v.line) + "the value " + Quote(v.name) +
                                        " of Examples is not its \"Count\"; only examples can be appended");

    // Read under the write lock: no other program takes these numbers meanwhile.
    std::int32_t stored = 0;
    if (Status s = registry.GetKeyNumber(examples, "Count", stored); !s) return s;
    stored = std::max(stored, 0);
    if (fileCount > std::numeric_limits<std::int32_t>::max() - stored)
        return Status::InvalidInput("the store cannot number that many more examples");
    // A key above "Count" left by an earlier program would mix its old values
    // into an appended example; such a store is refused rather than changed.
    std::vector<std::string> names;
    if (Status s = registry.SubkeyNames(examples, names); !s) return s;
    for (const std::string& name : names) {
        const std::int64_t n = ExampleNumberOf(codepage::LoweredAnsi(name));
        if (n > stored && n <= static_cast<std::int64_t>(stored) + fileCount)
            return Status::InvalidInput("the store already holds a key " + name +
                                        " above its example count " + std::to_string(stored));
    }

    PlanWriter writer(registry);
    auto pathOf = [&](std::size_t k) {
        return examples + "\\Example" + std::to_string(stored + numberOf[k]) + restOf[k];
    };
    for (std::size_t k = 0; k < plan.keys.size(); ++k)
        if (numberOf[k] > 0) writer.Key(pathOf(k));
    for (const auto& v : plan.values)
        if (numberOf[v.key] > 0) writer.Value(pathOf(v.key), v);
    if (fileCount > 0) writer.Number(examples, "Count", stored + fileCount);
    outcome.keys = writer.keys;
    outcome.values = writer.values;
    outcome.firstExample = stored + 1;
    outcome.exampleCount = fileCount;
    return Status::Ok();
}

}  // namespace

bool IsLoadableKeyName(std::string_view ansi) { return KeyNameProblem(ansi).empty(); }

bool IsLoadableValueName(std::string_view ansi) {
    return ansi.size() <= kMaxValueNameBytes &&
           ansi.find_first_of(std::string_view("\0\r\n", 3)) == ansi.npos;
}

Status PlanLoad(std::string_view bytes, LoadPlan& plan) {
    plan = LoadPlan();
    if (bytes.size() > kMaxLoadFileBytes)
        return Status::InvalidInput("the file is larger than " + std::to_string(kMaxLoadFileBytes >> 20) +
                                    " MB");
    Planner planner(plan);
    if (Status s = ReadRegFile(bytes, [&](const RegStatement& statement) { planner.Meet(statement); }); !s)
        return s;
    if (plan.problemCount > 0)
        return Status::InvalidInput(std::to_string(plan.problemCount) +
                                    (plan.problemCount == 1 ? " line was refused" : " lines were refused"));
    return Status::Ok();
}

Status ApplyLoad(Registry& registry, const LoadPlan& plan, LoadMode mode, LoadOutcome& outcome) {
    outcome = LoadOutcome();
    if (plan.problemCount > 0) return Status::InvalidInput("the file has refused lines; nothing was written");
    Registry::WriteGroup group(registry);
    LoadOutcome result;
    if (mode == LoadMode::kAppendExamples) {
        if (Status s = AppendExamples(registry, plan, result); !s) return s;
    } else {
        const std::string examples = ExamplesKeyPath();
        // Checked under the write lock, so no example can arrive in between.
        if (mode == LoadMode::kIntoStoreWithoutExamples) {
            std::int32_t count = 0;
            std::vector<std::string> names;
            if (Status s = registry.GetKeyNumber(examples, "Count", count); !s) return s;
            if (Status s = registry.SubkeyNames(examples, names); !s) return s;
            if (count > 0 || !names.empty()) {
                outcome.storeHasExamples = true;
                return Status::InvalidInput("the store already holds examples");
            }
        }
        if (mode == LoadMode::kReplace)
            if (Status s = registry.DeleteKeyTree(kBaseKey); !s) return group.Commit();
        PlanWriter writer(registry);
        for (const auto& key : plan.keys) writer.Key(key.path);
        for (const auto& v : plan.values) writer.Value(plan.keys[v.key].path, v);
        result.keys = writer.keys;
        result.values = writer.values;
    }
    if (Status s = group.Commit(); !s) return s;
    outcome = result;
    return Status::Ok();
}

}  // namespace morvel
