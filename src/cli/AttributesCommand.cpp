// morvel-cli attributes: the attribute vector of each file, one line each
// (or one JSON object per line), in input order.
#include <nlohmann/json.hpp>

#include "cli/BatchRunner.h"
#include "cli/Commands.h"
#include "cli/JsonPath.h"
#include "core/attributes/FileExaminer.h"

namespace morvel {
namespace {

class AttributesCommand : public StoreCommand {
  public:
    explicit AttributesCommand(CLI::App& app) {
        command_ = app.add_subcommand("attributes", "Print the attribute vector of each file, one line each");
        command_->add_flag("--json", json_, "JSON Lines: path, ok, size, window, vector (or error)");
        AddBatchOptions(command_, batch_);
    }

    int Run(Registry& registry, std::istream& in, std::ostream& out, std::ostream& err) override {
        ConfigTables tables;
        if (Status s = LoadTables(registry, tables); !s) return Report(err, s);
        std::vector<std::string> files;
        if (const int status = CollectBatchFiles(batch_, "attributes", in, files, err)) return status;

        const auto matcher = std::make_shared<const SequenceMatcher>(SequenceList(tables));
        std::vector<std::unique_ptr<FileExaminer>> examiners(BatchWorkers(batch_));
        // The general slots and the sequences, then the header slots while they are on.
        const int slots = tables.AttributeCount;
        return RunBatch(batch_, files, out, err, [&](std::size_t i, unsigned worker) {
            auto& examiner = examiners[worker];
            if (!examiner) {
                examiner = std::make_unique<FileExaminer>();
                examiner->UseMatcher(matcher);
            }
            const std::string& path = files[i];
            const Status examined = ExamineInput(*examiner, path, tables);
            FileResult result;
            if (!examined) result.error = "morvel-cli: " + path + ": " + examined.message();
            const AttributeSlots& vector = examiner->AttributeVector();
            if (json_) {
                nlohmann::ordered_json json = JsonPath(path);
                json["ok"] = examined.ok();
                if (examined) {
                    json["size"] = examiner->CappedFileSize();
                    json["window"] = examiner->WindowLength();
                    json["vector"] = std::vector<int>(vector.begin() + 1, vector.begin() + 1 + slots);
                    if (tables.HeaderAttributes) {
                        // The header slots by name, with what each code means.
                        nlohmann::ordered_json header;
                        for (std::int32_t h = 1; h <= kHeaderSlotCount; ++h) {
                            const std::int32_t slot = HeaderSlot(tables, h);
                            const std::string& name = tables.AttributeNames[slot];
                            header[name] = {{"value", vector[slot]},
                                            {"meaning", ValueMeaning(name, vector[slot])}};
                        }
                        json["header"] = std::move(header);
                    }
                } else {
                    json["error"] = examined.message();
                }
                result.output = json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
            } else if (examined) {
                result.output = path + '\t';
                for (int s = 1; s <= slots; ++s) {
                    if (s > 1) result.output += ' ';
                    result.output += std::to_string(vector[s]);
                }
            } else {
                result.output = path + "\terror: " + examined.message();
            }
            result.output += "\n";
            return result;
        });
    }

  private:
    BatchOptions batch_;
    bool json_ = false;
};

}  // namespace

std::unique_ptr<StoreCommand> MakeAttributesCommand(CLI::App& app) {
    return std::make_unique<AttributesCommand>(app);
}

}  // namespace morvel
