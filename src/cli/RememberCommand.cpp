// morvel-cli remember: stores files as new examples with the values given as
// ID=VALUE (ID up to the first "=", the value after it exactly).
//
// One file (`remember FILE ID=VALUE...`) is remembered as the classification
// window remembers it, and its number printed. Folders and lists (-r, --from
// and the other batch options) give many files: each is examined on the
// batch's workers and becomes one new example, all in one write group,
// numbered in input order; each stored file's path and number are printed.
// A file that cannot be examined stops the command before anything is
// stored, unless --skip-errors, which stores the others and lists it.
#include <algorithm>
#include <atomic>
#include <filesystem>

#include "cli/BatchRunner.h"
#include "cli/Commands.h"
#include "core/attributes/FileExaminer.h"
#include "core/examples/ExampleStore.h"
#include "core/store/KeyPaths.h"

namespace morvel {
namespace {

class RememberCommand : public StoreCommand {
  public:
    explicit RememberCommand(CLI::App& app) {
        command_ = app.add_subcommand("remember", "Store files as new examples and print their numbers");
        AddBatchOptions(command_, batch_);
        command_->get_option("PATH")->description(
            "Files and folders to store, then the files' value for each target as ID=VALUE");
        command_->add_flag("--skip-errors", skipErrors_,
                           "Store the files that can be examined and list the others");
    }

    int Run(Registry& registry, std::istream& in, std::ostream& out, std::ostream& err) override {
        ConfigTables tables;
        if (Status s = LoadTables(registry, tables); !s) return Report(err, s);
        std::vector<std::string> assignments;
        SplitArguments(assignments);
        std::vector<RememberedValue> values;
        if (!ReadValues(tables, assignments, values, err)) return 1;
        if (IsOneFile()) return RememberOne(registry, tables, values, out, err);
        if (batch_.inputs.paths.empty() && batch_.inputs.from.empty()) {
            err << "morvel-cli: remember needs files, folders or --from\n";
            return 2;
        }
        std::vector<std::string> files;
        if (const int status = CollectBatchFiles(batch_, "remember", in, files, err)) return status;
        return RememberMany(registry, tables, files, values, out, err);
    }

  private:
    // The values come last: the arguments from the end that hold a "=" are
    // ID=VALUE, the others paths. Without --from the first argument is a
    // path whatever it holds, as the file of `remember FILE` always was.
    void SplitArguments(std::vector<std::string>& assignments) {
        auto& args = batch_.inputs.paths;
        std::size_t first = args.size();
        const std::size_t firstValue = batch_.inputs.from.empty() ? 1 : 0;
        while (first > firstValue && args[first - 1].find('=') != std::string::npos) --first;
        assignments.assign(args.begin() + static_cast<std::ptrdiff_t>(std::min(first, args.size())),
                           args.end());
        args.resize(std::min(first, args.size()));
    }

    // Refused, with nothing stored: an argument that is no ID=VALUE, an
    // unknown identifier, a target given twice, or a value the store cannot hold.
    static bool ReadValues(const ConfigTables& tables, const std::vector<std::string>& assignments,
                           std::vector<RememberedValue>& values, std::ostream& err) {
        const auto targets = TargetList(tables);
        for (const std::string& a : assignments) {
            const auto eq = a.find('=');
            RememberedValue v{a.substr(0, eq), a.substr(eq + 1)};
            if (std::none_of(targets.begin(), targets.end(),
                             [&](const TargetEntry& t) { return t.Id == v.Id; })) {
                err << "morvel-cli: no target has the identifier \"" << v.Id << "\"; nothing was stored\n";
                return false;
            }
            if (std::any_of(values.begin(), values.end(),
                            [&](const RememberedValue& w) { return w.Id == v.Id; })) {
                err << "morvel-cli: a value for \"" << v.Id << "\" is given twice; nothing was stored\n";
                return false;
            }
            values.push_back(std::move(v));
        }
        return true;
    }

    // One file named on its own: remembered as the window remembers it.
    bool IsOneFile() const {
        const auto& paths = batch_.inputs.paths;
        std::error_code ec;
        return paths.size() == 1 && batch_.inputs.from.empty() && !batch_.inputs.recursive &&
               !std::filesystem::is_directory(paths.front(), ec);
    }

    int RememberOne(Registry& registry, const ConfigTables& tables,
                    const std::vector<RememberedValue>& values, std::ostream& out, std::ostream& err) {
        const std::string& file = batch_.inputs.paths.front();
        FileExaminer examiner;
        examiner.TakeFingerprints(true);
        if (const Status s = ExamineInput(examiner, file, tables); !s) {
            err << "morvel-cli: " << file << ": " << s.message() << "; nothing was stored\n";
            return 1;
        }
        ExampleStore store(registry);
        std::int32_t number = 0;
        if (Status s = store.Remember(tables, examiner.AttributeVector(), examiner.AttributesFresh(), values,
                                      &number, examiner.Fingerprint());
            !s)
            return Report(err, s);
        done_ = "stored " + file + " as example " + std::to_string(number);
        out << number << "\n";
        return 0;
    }

    int RememberMany(Registry& registry, const ConfigTables& tables, const std::vector<std::string>& files,
                     const std::vector<RememberedValue>& values, std::ostream& out, std::ostream& err) {
        for (const auto& v : values)
            if (Status s = Registry::CheckText("the value for target \"" + v.Id + "\"", v.Text); !s)
                return Report(err, s.Prefixed("nothing was stored: "));
        // Examined on the workers; once a file fails without --skip-errors,
        // the files after it are not examined.
        const auto matcher = std::make_shared<const SequenceMatcher>(SequenceList(tables));
        std::vector<std::unique_ptr<FileExaminer>> examiners(BatchWorkers(batch_));
        std::vector<AttributeSlots> vectors(files.size());
        std::vector<std::string> fingerprints(files.size());
        std::vector<char> examined(files.size(), 0);
        std::atomic<bool> stopped = false;
        const int status = RunBatch(batch_, files, out, err, [&](std::size_t i, unsigned worker) {
            FileResult result;
            if (stopped) return result;
            auto& examiner = examiners[worker];
            if (!examiner) {
                examiner = std::make_unique<FileExaminer>();
                examiner->UseMatcher(matcher);
                examiner->TakeFingerprints(true);
            }
            if (const Status s = ExamineInput(*examiner, files[i], tables); !s) {
                result.error = "morvel-cli: " + files[i] + ": " + s.message() +
                               (skipErrors_ ? "; skipped" : "; nothing was stored");
                if (!skipErrors_) stopped = true;
                return result;
            }
            vectors[i] = examiner->AttributeVector();
            fingerprints[i] = examiner->Fingerprint();
            examined[i] = 1;
            return result;
        });
        if (stopped) return 1;

        ExampleBatch batch;
        const std::int32_t slots = std::clamp(ExampleSlotCount(tables), 0, ConfigTables::kMaxAttributes);
        for (std::int32_t s = 1; s <= slots; ++s) batch.numberNames.push_back(tables.AttributeNames[s]);
        for (const auto& v : values) batch.textNames.push_back(std::string(kTargetPrefix) + v.Id);
        batch.textNames.emplace_back(kFingerprintValue);
        std::vector<std::size_t> stored;
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (!examined[i]) continue;
            stored.push_back(i);
            batch.numbers.insert(batch.numbers.end(), vectors[i].begin() + 1, vectors[i].begin() + 1 + slots);
            for (const auto& v : values) batch.texts.push_back(v.Text);
            batch.texts.push_back(fingerprints[i]);
            ++batch.rows;
        }
        ExampleStore store(registry);
        std::int32_t first = 0;
        if (Status s = store.Append(batch, &first); !s)
            return Report(err, s.Prefixed("nothing was stored: "));
        if (!stored.empty())
            done_ = "stored " + std::to_string(stored.size()) + " examples, numbers " +
                    std::to_string(first) + " to " +
                    std::to_string(first + static_cast<std::int32_t>(stored.size()) - 1);
        for (std::size_t n = 0; n < stored.size(); ++n)
            out << files[stored[n]] << "\t" << first + static_cast<std::int32_t>(n) << "\n";
        return status;
    }

    BatchOptions batch_;
    bool skipErrors_ = false;
};

}  // namespace

std::unique_ptr<StoreCommand> MakeRememberCommand(CLI::App& app) {
    return std::make_unique<RememberCommand>(app);
}

}  // namespace morvel
