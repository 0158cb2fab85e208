// The commands of morvel-cli, one file each. To add a command: write a
// StoreCommand subclass in a file of its own, add its Make function here and
// to the list in Cli.cpp, and its source to CMakeLists.txt.
#pragma once

#include <memory>

#include "cli/StoreCommand.h"

namespace morvel {

std::unique_ptr<StoreCommand> MakeDumpCommand(CLI::App& app);              // dump [KEYPATH]
std::unique_ptr<StoreCommand> MakeSequencesCommand(CLI::App& app);         // sequences [set TEXT...]
std::unique_ptr<StoreCommand> MakeTargetsCommand(CLI::App& app);           // targets [add | delete]
std::unique_ptr<StoreCommand> MakeHeaderAttributesCommand(CLI::App& app);  // header-attributes [on|off]
std::unique_ptr<StoreCommand> MakeAttributesCommand(CLI::App& app);        // attributes PATH...
std::unique_ptr<StoreCommand> MakeClassifyCommand(CLI::App& app);          // classify PATH...
std::unique_ptr<StoreCommand> MakeRememberCommand(CLI::App& app);          // remember FILE ID=VALUE...
std::unique_ptr<StoreCommand> MakeExplainCommand(CLI::App& app);           // explain FILE...
std::unique_ptr<StoreCommand> MakeReviewCommand(CLI::App& app);            // review PATH...
std::unique_ptr<StoreCommand> MakeEvaluateCommand(CLI::App& app);          // evaluate
std::unique_ptr<StoreCommand> MakeRankCommand(CLI::App& app);              // rank
std::unique_ptr<StoreCommand> MakeExportCommand(CLI::App& app);            // export --format csv|arff|reg
std::unique_ptr<StoreCommand> MakeImportCommand(CLI::App& app);            // import --format csv FILE
std::unique_ptr<StoreCommand> MakeLanguageCommand(CLI::App& app);          // language import FILE
std::unique_ptr<StoreCommand> MakeLoadCommand(CLI::App& app);              // load FILE.reg
std::unique_ptr<StoreCommand> MakeBackupCommand(CLI::App& app);            // backup FILE

}  // namespace morvel
