#include "core/exchange/RegLoad.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <unordered_map>
#include <unordered_set>

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

constexpr std::string_view kClosingStart = "; End of export: ";

std::string Counted(std::size_t n, std::string_view word) {
    return std::to_string(n) + " " + std::string(word) + (n == 1 ? "" : "s");
}

// Reads "N key(s), M value(s)." after the closing line's start.
bool ParseClosingLine(std::string_view line, std::size_t& keys, std::size_t& values) {
    if (!line.starts_with(kClosingStart)) return false;
    line.remove_prefix(kClosingStart.size());
    auto number = [&](std::size_t& n) {
        std::size_t digits = 0;
        n = 0;
        while (digits < line.size() && digits < 18 && line[digits] >= '0' && line[digits] <= '9')
            n = n * 10 + static_cast<std::size_t>(line[digits++] - '0');
        line.remove_prefix(digits);
        return digits > 0;
    };
    auto word = [&](std::string_view w, std::string_view after) {
        if (!line.starts_with(w)) return false;
        line.remove_prefix(w.size());
        if (line.starts_with("s")) line.remove_prefix(1);
        if (!line.starts_with(after)) return false;
        line.remove_prefix(after.size());
        return true;
    };
    return number(keys) && word(" key", ", ") && number(values) && word(" value", ".") && line.empty();
}

// The lowered names of the values that the configuration tables read, and
// the examples' "Count": all a load keeps of a file's values beforehand.
const std::unordered_set<std::string>& TableValueNames() {
    static const std::unordered_set<std::string> names = [] {
        std::unordered_set<std::string> all = {"count"};
        for (int i = 1; i <= ConfigTables::kMaxSequences; ++i) all.insert("value" + std::to_string(i));
        for (int i = 1; i <= ConfigTables::kMaxTargets; ++i)
            for (const char* word : {"id", "name", "method"}) all.insert(word + std::to_string(i));
        return all;
    }();
    return names;
}

bool IsTableKey(const std::string& lowered) {
    static const std::string contain = codepage::LoweredAnsi(ContainKeyPath());
    static const std::string target = codepage::LoweredAnsi(TargetKeyPath());
    static const std::string examples = codepage::LoweredAnsi(ExamplesKeyPath());
    return lowered == contain || lowered == target || lowered == examples;
}

// Reads and checks what the reader meets, refusing every line a load must
// not take; keeps in the plan what a load needs beforehand, and hands every
// write the file asks for to visit.
class Checker {
  public:
    Checker(LoadPlan& plan, const LoadVisit& visit) : plan_(plan), visit_(visit) {}

    void Meet(const RegStatement& s) {
        using Kind = RegStatement::Kind;
        lastLine_ = std::max(lastLine_, s.line);
        if (closingLine_ != 0 && s.kind != Kind::kComment) afterClosing_ = true;
        switch (s.kind) {
            case Kind::kKey:
                keyOk_ = Key(s);
                return;
            case Kind::kDeleteKey:
                keyOk_ = false;
                return Refuse(s.line, "a deletion of a key ([-" + Excerpt(s.key) +
                                          "]) is refused: load only adds and replaces values");
            case Kind::kBadKeyLine:
            case Kind::kBadLine:
                if (s.kind == Kind::kBadKeyLine) keyOk_ = false;
                return Refuse(s.line, std::string(s.message));
            case Kind::kDeleteValue:
                return Refuse(s.line, "a deletion of a value (" + Quote(s.name) +
                                          "=-) is refused: load only adds and replaces values");
            case Kind::kValue:
                // The values of a refused key go unmentioned: its key line says it all.
                if (keyOk_) Value(s);
                return;
            case Kind::kComment:
                return Comment(s);
        }
    }

    // After the last statement: the counts, the examples, and whether the
    // file is whole. Fails when a file that announces its closing line lacks
    // it or disagrees with it.
    Status Finish() {
        plan_.lines = lastLine_;
        std::sort(keyHashes_.begin(), keyHashes_.end());
        plan_.keys =
            static_cast<std::size_t>(std::unique(keyHashes_.begin(), keyHashes_.end()) - keyHashes_.begin());
        keyHashes_ = {};
        auto& numbers = plan_.exampleNumbers;
        std::sort(numbers.begin(), numbers.end());
        const auto distinct = std::unique(numbers.begin(), numbers.end());
        if (distinct != numbers.end()) plan_.examplesInOrder = false;
        numbers.erase(distinct, numbers.end());
        numbers.shrink_to_fit();
        if (const auto count = plan_.tableValues.find(codepage::LoweredAnsi(ExamplesKeyPath()) + "\\count");
            count != plan_.tableValues.end())
            plan_.exampleCount = std::max(Registry::NumberOf(count->second.first, count->second.second), 0);
        const auto present =
            std::upper_bound(numbers.begin(), numbers.end(), plan_.exampleCount) - numbers.begin();
        plan_.missingExamples = plan_.exampleCount - static_cast<std::int64_t>(present);
        if (!announced_) return Status::Ok();

        std::string missing;
        if (plan_.missingExamples > 0)
            missing = "; of the " + Counted(static_cast<std::size_t>(plan_.exampleCount), "example") +
                      " its \"Count\" gives, " + std::to_string(plan_.missingExamples) + " are missing";
        if (closingLine_ == 0)
            return Status::InvalidInput(
                "the file ends at line " + std::to_string(lastLine_) +
                " without the closing line that its line 2 announces: it was cut short, and what followed "
                "line " +
                std::to_string(lastLine_) + " is missing" + missing);
        if (afterClosing_)
            return Status::InvalidInput("lines follow the closing line (line " +
                                        std::to_string(closingLine_) + "): the file is not one whole export");
        if (closingKeys_ != keysAtClosing_ || closingValues_ != valuesAtClosing_) {
            std::string why = "the closing line (line " + std::to_string(closingLine_) + ") counts " +
                              Counted(closingKeys_, "key") + " and " + Counted(closingValues_, "value") +
                              ", the file holds " + Counted(keysAtClosing_, "key") + " and " +
                              Counted(valuesAtClosing_, "value");
            if (closingKeys_ >= keysAtClosing_ && closingValues_ >= valuesAtClosing_)
                why += ": " + Counted(closingKeys_ - keysAtClosing_, "key") + " and " +
                       Counted(closingValues_ - valuesAtClosing_, "value") + " are missing" + missing;
            return Status::InvalidInput(why);
        }
        plan_.announced = true;
        return Status::Ok();
    }

  private:
    // Where a key lies among the examples.
    struct Place {
        std::int32_t example = 0;  // the example it is or lies below
        bool exampleKey = false;
        bool examplesKey = false;  // the examples key itself
        bool other = false;        // at or below a key of Examples that is no example
        std::string_view below;    // the path below the example's key
    };

    void Comment(const RegStatement& s) {
        if (s.line == 2 && s.text == kClosingLineFollows) announced_ = true;
        std::size_t keys = 0, values = 0;
        if (ParseClosingLine(s.text, keys, values)) {
            closingLine_ = s.line;
            closingKeys_ = keys;
            closingValues_ = values;
            keysAtClosing_ = plan_.keyLines;
            valuesAtClosing_ = plan_.valueLines;
            afterClosing_ = false;
        }
    }

    void Refuse(int line, std::string message) {
        ++plan_.problemCount;
        if (plan_.problems.size() < kMaxListedLoadProblems)
            plan_.problems.push_back({line, std::move(message)});
    }

    bool Refused(int line, std::string message) {
        Refuse(line, std::move(message));
        return false;
    }

    // Whether the key is taken; then it is the key of the values that follow.
    bool Key(const RegStatement& s) {
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

        keyPath_.assign(SplitRegKey(s.key).path);
        keyLowered_ = codepage::LowerAnsi(key.path);
        ++plan_.keyLines;
        keyHashes_.push_back(std::hash<std::string>()(keyLowered_));
        place_ = PlaceOf(levels, s.line);
        LoadWrite write;
        write.key = true;
        write.line = s.line;
        write.path = keyPath_;
        write.example = place_.example;
        write.exampleKey = place_.exampleKey;
        write.belowExample = place_.below;
        if (visit_) visit_(write);
        return true;
    }

    Place PlaceOf(const std::vector<std::string_view>& levels, int line) {
        Place place;
        const std::size_t base = BaseLevels().size();
        if (levels.size() <= base || codepage::LowerAnsi(levels[base]) != "examples") {
            currentExample_ = 0;
            return place;
        }
        if (levels.size() == base + 1) {
            currentExample_ = 0;
            place.examplesKey = true;
            return place;
        }
        const std::int64_t n = ExampleNumberOf(codepage::LowerAnsi(levels[base + 1]));
        if (n < 1 || n > std::numeric_limits<std::int32_t>::max()) {
            place.other = true;
            plan_.examplesInOrder = false;
            if (plan_.notAnExampleLine == 0) {
                plan_.notAnExampleLine = line;
                plan_.notAnExample = keyPath_;
            }
            currentExample_ = 0;
            return place;
        }
        place.example = static_cast<std::int32_t>(n);
        place.exampleKey = levels.size() == base + 2;
        // The UTF-8 path has the same levels: the part below the example's key.
        std::size_t cut = 0;
        for (std::size_t level = 0; level < base + 2 && cut != std::string::npos; ++level)
            cut = keyPath_.find('\\', cut + (level > 0 ? 1 : 0));
        if (cut != std::string::npos) place.below = std::string_view(keyPath_).substr(cut);
        if (place.exampleKey) {
            plan_.exampleNumbers.push_back(place.example);
            if (place.example > highest_) {
                highest_ = place.example;
                plan_.highestExampleLine = line;
                plan_.highestExample = keyPath_;
            }
            currentExample_ = place.example;
        } else if (place.example != currentExample_) {
            plan_.examplesInOrder = false;  // below an example whose key came earlier, or not yet
        }
        return place;
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
        const bool tableKey = IsTableKey(keyLowered_);
        const std::string lname =
            tableKey || place_.examplesKey ? codepage::LowerAnsi(s.nameBytes) : std::string();
        if (const std::size_t limit = TableTextLimit(lname); tableKey && limit != 0 && TextBytes(s) > limit)
            return Refuse(s.line, name() + " is longer than " + std::to_string(limit) +
                                      " characters: an example keeps it within a value name of at most " +
                                      std::to_string(Registry::kMaxValueBytes));
        ++plan_.valueLines;
        if (tableKey && TableValueNames().contains(lname))
            plan_.tableValues[keyLowered_ + "\\" + lname] = {s.type, std::string(s.bytes)};
        if (place_.examplesKey && lname != "count" && plan_.otherExamplesValueLine == 0) {
            plan_.otherExamplesValueLine = s.line;
            plan_.otherExamplesValue = s.name;
        }
        if (!visit_) return;
        LoadWrite write;
        write.line = s.line;
        write.path = keyPath_;
        write.name = s.name;
        write.nameBytes = s.nameBytes;
        write.type = s.type;
        write.bytes = s.bytes;
        visit_(write);
    }

    // The most bytes a text may have when it is a search sequence (a "Value..."
    // of the sequences' key) or a target identifier (an "Id..." of the
    // targets' key), whose examples' value names carry it; else 0.
    std::size_t TableTextLimit(const std::string& name) const {
        auto numbered = [&](std::string_view word) {
            return name.size() > word.size() && name.starts_with(word) &&
                   std::all_of(name.begin() + static_cast<std::ptrdiff_t>(word.size()), name.end(),
                               [](char c) { return c >= '0' && c <= '9'; });
        };
        static const std::string contain = codepage::LoweredAnsi(ContainKeyPath());
        static const std::string target = codepage::LoweredAnsi(TargetKeyPath());
        if (keyLowered_ == contain && numbered("value")) return kMaxSequenceBytes;
        if (keyLowered_ == target && numbered("id")) return kMaxTargetIdBytes;
        return 0;
    }

    // The length a text value reads as (one trailing zero dropped); 0 for other types.
    static std::size_t TextBytes(const RegStatement& s) {
        if (s.type != Registry::kTypeText || s.bytes.empty()) return 0;
        return s.bytes.size() - (s.bytes.back() == '\0' ? 1 : 0);
    }

    LoadPlan& plan_;
    const LoadVisit& visit_;
    bool keyOk_ = false;
    std::string keyPath_;     // the key met last: UTF-8, as the file spells it
    std::string keyLowered_;  // and lowered Windows-1251
    Place place_;
    std::int32_t currentExample_ = 0;  // the example whose keys are being met
    std::int32_t highest_ = 0;
    std::vector<std::uint64_t> keyHashes_;  // of every key met, to count the distinct ones
    int lastLine_ = 0;
    bool announced_ = false, afterClosing_ = false;
    int closingLine_ = 0;
    std::size_t closingKeys_ = 0, closingValues_ = 0, keysAtClosing_ = 0, valuesAtClosing_ = 0;
};

// Writes what a file asks for, as the load's mode says, inside the caller's
// write group. Each example key is made with all its values at once by the
// example store's writer when given one; everything else is written key by
// key and value by value. A failed write also fails the group's Commit
// (Registry), so the writer only keeps the first failure to stop writing
// after it.
class LoadWriter {
  public:
    LoadWriter(Registry& registry, LoadMode mode, std::int32_t stored, NewExampleKeys* examples)
        : registry_(registry), mode_(mode), stored_(stored), examples_(examples) {}

    void Meet(const LoadWrite& w) {
        if (w.key) return Key(w);
        if (skip_) return;
        ++values;
        if (!pending_) {
            if (status_) status_ = registry_.SetKeyValue(path_, w.name, w.type, w.bytes);
            return;
        }
        auto [name, added] = names_.try_emplace(std::string(w.nameBytes));
        if (added && status_) status_ = Registry::EncodeName(w.name, name->second);
        if (gathered_ == values_.size()) values_.emplace_back();
        Gathered& g = values_[gathered_++];
        g.name = &name->second;
        g.type = w.type;
        g.bytes.assign(w.bytes);
    }

    // Writes the example being gathered; the first failure of all.
    Status Finish() {
        FlushExample();
        return status_;
    }

    std::size_t keys = 0, values = 0;

  private:
    struct Gathered {
        const Registry::EncodedName* name = nullptr;
        std::int32_t type = 0;
        std::string bytes;
    };

    void Key(const LoadWrite& w) {
        FlushExample();
        skip_ = mode_ == LoadMode::kAppendExamples && w.example == 0;
        if (skip_) return;
        ++keys;
        if (mode_ == LoadMode::kAppendExamples) {
            path_ = ExamplesKeyPath() + "\\Example" + std::to_string(stored_ + w.example);
            path_ += w.belowExample;
        } else {
            path_.assign(w.path);
        }
        if (w.exampleKey && examples_) {
            const auto cut = path_.rfind('\\');
            parent_ = path_.substr(0, cut);
            if (status_) status_ = Registry::EncodeName(std::string_view(path_).substr(cut + 1), key_);
            number_ = stored_ + w.example;
            pending_ = true;
            return;
        }
        if (status_) status_ = registry_.OpenKey(path_);
    }

    void FlushExample() {
        if (!pending_) return;
        pending_ = false;
        // A later value of the same name wins; the store takes them in the
        // order of their lowered names.
        std::stable_sort(values_.begin(), values_.begin() + static_cast<std::ptrdiff_t>(gathered_),
                         [](const Gathered& a, const Gathered& b) { return a.name->lname < b.name->lname; });
        batch_.clear();
        for (std::size_t i = 0; i < gathered_; ++i) {
            if (i + 1 < gathered_ && values_[i + 1].name->lname == values_[i].name->lname) continue;
            batch_.push_back({values_[i].name, values_[i].type, values_[i].bytes});
        }
        gathered_ = 0;
        if (status_) status_ = examples_->Add(parent_, key_, number_, batch_);
        if (names_.size() > kMaxKeptNames) names_.clear();  // the names of a file without repeating names
    }

    static constexpr std::size_t kMaxKeptNames = 4096;

    Registry& registry_;
    const LoadMode mode_;
    const std::int32_t stored_;  // appended examples are numbered after it
    NewExampleKeys* const examples_;
    Status status_;
    bool skip_ = false;  // the key and its values are not written (appending: not an example)
    std::string path_;   // where the key met last is written
    // The example key whose values are being gathered.
    bool pending_ = false;
    std::string parent_;
    Registry::EncodedName key_;
    std::int32_t number_ = 0;
    std::vector<Gathered> values_;  // the first gathered_ of them are this example's
    std::size_t gathered_ = 0;
    std::vector<Registry::NewValue> batch_;
    std::unordered_map<std::string, Registry::EncodedName> names_;  // by Windows-1251 name
};

// The file's tables, read as the store reads its own.
TableReads FileTables(const LoadPlan& plan) {
    auto find = [&plan](const std::string& path, const std::string& name) {
        const auto v =
            plan.tableValues.find(codepage::LoweredAnsi(path) + "\\" + codepage::LoweredAnsi(name));
        return v == plan.tableValues.end() ? nullptr : &v->second;
    };
    return {[find](const std::string& path, const std::string& name, std::int32_t& value) {
                const auto* v = find(path, name);
                value = v ? Registry::NumberOf(v->first, v->second) : 0;
                return Status::Ok();
            },
            [find](const std::string& path, const std::string& name, std::string& text) {
                const auto* v = find(path, name);
                if (v && Registry::TextOf(v->first, v->second, text)) return Status::Ok();
                text.clear();
                return Status::NotFound("no such value");
            }};
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

Status CheckSameTables(const Registry& registry, const LoadPlan& plan) {
    ConfigTables fileState, storeState;
    if (Status s = LoadConfigurationTables(FileTables(plan), fileState); !s) return s;
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

// Checks, under the write lock, that the file's examples can be appended:
// stored is then the store's "Count", after which they are numbered.
Status CheckAppend(const Registry& registry, const LoadPlan& plan, std::int32_t& stored) {
    if (Status s = CheckSameTables(registry, plan); !s) return s;
    // Which keys of the file are its examples: Examples\ExampleN, N from 1 to
    // its count, and the keys below them. Anything else in "Examples" would
    // not be an example once renumbered, and is refused rather than dropped.
    const std::int32_t fileCount = plan.exampleCount;
    auto notOne = [&](int line, const std::string& path) {
        return Status::InvalidInput(AtLine(line) + "the key [" + Excerpt(path) +
                                    "] is not one of the file's examples 1 to " + std::to_string(fileCount) +
                                    "; only those can be appended");
    };
    if (plan.notAnExampleLine != 0) return notOne(plan.notAnExampleLine, plan.notAnExample);
    if (!plan.exampleNumbers.empty() && plan.exampleNumbers.back() > fileCount)
        return notOne(plan.highestExampleLine, plan.highestExample);
    if (plan.otherExamplesValueLine != 0)
        return Status::InvalidInput(AtLine(plan.otherExamplesValueLine) + "the value " +
                                    Quote(plan.otherExamplesValue) +
                                    " of Examples is not its \"Count\"; only examples can be appended");
    if (Status s = registry.GetKeyNumber(ExamplesKeyPath(), kCountValue, stored); !s) return s;
    stored = std::max(stored, 0);
    if (fileCount > std::numeric_limits<std::int32_t>::max() - stored)
        return Status::InvalidInput("the store cannot number that many more examples");
    return CheckNoExampleKeysAbove(registry, stored, fileCount);
}

// Whether two readings of a file agree on everything a load decided by.
bool SameFile(const LoadPlan& a, const LoadPlan& b) {
    return a.problemCount == b.problemCount && a.keyLines == b.keyLines && a.valueLines == b.valueLines &&
           a.keys == b.keys && a.tableValues == b.tableValues && a.exampleNumbers == b.exampleNumbers &&
           a.examplesInOrder == b.examplesInOrder && a.notAnExampleLine == b.notAnExampleLine &&
           a.otherExamplesValueLine == b.otherExamplesValueLine && a.announced == b.announced;
}

RegFileSource BytesSource(std::string_view bytes) {
    return [bytes](char* buffer, std::size_t size, std::size_t& got) mutable {
        got = std::min(size, bytes.size());
        if (got > 0) std::memcpy(buffer, bytes.data(), got);
        bytes.remove_prefix(got);
        return Status::Ok();
    };
}

}  // namespace

std::string ClosingLine(std::size_t keys, std::size_t values) {
    return std::string(kClosingStart) + Counted(keys, "key") + ", " + Counted(values, "value") + ".";
}

bool IsLoadableKeyName(std::string_view ansi) { return KeyNameProblem(ansi).empty(); }

bool IsLoadableValueName(std::string_view ansi) {
    return ansi.size() <= kMaxValueNameBytes &&
           ansi.find_first_of(std::string_view("\0\r\n", 3)) == ansi.npos;
}

Status PlanLoad(const RegFileSource& source, LoadPlan& plan, const LoadVisit& visit) {
    plan = LoadPlan();
    Checker checker(plan, visit);
    if (Status s = ReadRegStream(source, [&](const RegStatement& statement) { checker.Meet(statement); }); !s)
        return s;
    // A file cut short says so first: its last line is often refused too.
    if (Status s = checker.Finish(); !s) return s;
    if (plan.problemCount > 0)
        return Status::InvalidInput(std::to_string(plan.problemCount) +
                                    (plan.problemCount == 1 ? " line was refused" : " lines were refused"));
    return Status::Ok();
}

Status PlanLoad(std::string_view bytes, LoadPlan& plan, const LoadVisit& visit) {
    return PlanLoad(BytesSource(bytes), plan, visit);
}

Status ApplyLoad(Registry& registry, const LoadPlan& plan, const RegFileSource& source, LoadMode mode,
                 LoadOutcome& outcome) {
    outcome = LoadOutcome();
    if (plan.problemCount > 0) return Status::InvalidInput("the file has refused lines; nothing was written");
    Registry::WriteGroup group(registry);
    std::int32_t stored = 0;
    const std::string examples = ExamplesKeyPath();
    if (mode == LoadMode::kAppendExamples) {
        if (Status s = CheckAppend(registry, plan, stored); !s) return s;
    } else if (mode == LoadMode::kIntoStoreWithoutExamples) {
        // Checked under the write lock, so no example can arrive in between.
        std::int32_t count = 0;
        std::vector<std::string> names;
        if (Status s = registry.GetKeyNumber(examples, kCountValue, count); !s) return s;
        if (Status s = registry.SubkeyNames(examples, names); !s) return s;
        if (count > 0 || !names.empty()) {
            outcome.storeHasExamples = true;
            return Status::InvalidInput("the store already holds examples");
        }
    } else if (Status s = registry.DeleteKeyTree(kBaseKey); !s) {
        return group.Commit();
    }

    // No example key of the store is in the way now: a file that names each
    // of its example keys once, before the keys below it, has them made new.
    std::unique_ptr<NewExampleKeys> newExamples;
    if (plan.examplesInOrder) {
        newExamples = std::make_unique<NewExampleKeys>(registry);
        if (Status s = newExamples->status(); !s) return s;
    }
    LoadWriter writer(registry, mode, stored, newExamples.get());
    LoadPlan again;
    const Status read = PlanLoad(source, again, [&](const LoadWrite& w) { writer.Meet(w); });
    Status written = writer.Finish();
    if (written && newExamples) written = newExamples->Finish();
    if (!read && again.problemCount == 0 && !read.IsInvalidInput())
        return read;  // the file could not be read
    if (!read || !SameFile(plan, again))
        return Status::InvalidInput("the file changed while it was being loaded");
    if (!written) return written;
    if (mode == LoadMode::kAppendExamples && plan.exampleCount > 0)
        if (Status s = registry.SetKeyNumber(examples, kCountValue, stored + plan.exampleCount); !s) return s;
    if (Status s = group.Commit(); !s) return s;
    outcome.keys = mode == LoadMode::kAppendExamples ? writer.keys : plan.keys;
    outcome.values = writer.values;
    if (mode == LoadMode::kAppendExamples) {
        outcome.firstExample = stored + 1;
        outcome.exampleCount = plan.exampleCount;
    }
    return Status::Ok();
}

Status ApplyLoad(Registry& registry, const LoadPlan& plan, std::string_view bytes, LoadMode mode,
                 LoadOutcome& outcome) {
    return ApplyLoad(registry, plan, BytesSource(bytes), mode, outcome);
}

}  // namespace morvel
