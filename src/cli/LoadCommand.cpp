// morvel-cli load: reads a registry-editor file (an export of this or another
// store, the starter configuration, a file written by hand or by a registry
// editor) into the program's key.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/Commands.h"
#include "core/exchange/RegLoad.h"
#include "core/store/StoreFiles.h"

namespace morvel {
namespace {

// The file a load reads twice, piece by piece: a file is read again from its
// start (and must not have changed in between); standard input and a pipe,
// which cannot go back, are copied aside while they are read the first time.
class LoadInput {
  public:
    LoadInput(const std::string& path, std::istream& in) : path_(path), in_(in) {}
    ~LoadInput() {
        if (fd_ >= 0) close(fd_);
        if (copy_) std::fclose(copy_);
    }
    LoadInput(const LoadInput&) = delete;
    LoadInput& operator=(const LoadInput&) = delete;

    bool Open() {
        if (path_ == "-") {
            copy_ = std::tmpfile();
            return copy_ != nullptr;
        }
        fd_ = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0 || fstat(fd_, &first_) != 0) return false;
        if (!S_ISREG(first_.st_mode)) copy_ = std::tmpfile();
        return S_ISREG(first_.st_mode) || copy_ != nullptr;
    }

    RegFileSource FirstPass() {
        if (!copy_) return Source();
        return [this](char* buffer, std::size_t size, std::size_t& got) {
            if (fd_ >= 0) {
                if (Status s = ReadFile(buffer, size, got); !s) return s;
            } else {
                in_.read(buffer, static_cast<std::streamsize>(size));
                got = static_cast<std::size_t>(in_.gcount());
                if (in_.bad()) return Status::IOError("standard input could not be read");
            }
            if (got > 0 && std::fwrite(buffer, 1, got, copy_) != got)
                return Status::IOError("the input could not be kept for the second reading: " +
                                       std::string(std::strerror(errno)));
            return Status::Ok();
        };
    }

    // Goes back to the start; fails when the file changed after the first reading.
    Status SecondPass() {
        if (copy_) {
            if (std::fflush(copy_) != 0 || std::fseek(copy_, 0, SEEK_SET) != 0)
                return Status::IOError("the input could not be kept for the second reading");
            return Status::Ok();
        }
        struct stat now {};
        if (lseek(fd_, 0, SEEK_SET) != 0 || fstat(fd_, &now) != 0)
            return Status::IOError(std::string("the file could not be read again: ") + std::strerror(errno));
        if (now.st_size != first_.st_size || now.st_mtim.tv_sec != first_.st_mtim.tv_sec ||
            now.st_mtim.tv_nsec != first_.st_mtim.tv_nsec)
            return Status::InvalidInput("the file changed while it was being loaded");
        return Status::Ok();
    }

    RegFileSource Source() {
        if (copy_) {
            return [this](char* buffer, std::size_t size, std::size_t& got) {
                got = std::fread(buffer, 1, size, copy_);
                return std::ferror(copy_) ? Status::IOError("the copy of the input could not be read")
                                          : Status::Ok();
            };
        }
        return
            [this](char* buffer, std::size_t size, std::size_t& got) { return ReadFile(buffer, size, got); };
    }

  private:
    Status ReadFile(char* buffer, std::size_t size, std::size_t& got) const {
        for (;;) {
            const ssize_t n = read(fd_, buffer, size);
            if (n >= 0) {
                got = static_cast<std::size_t>(n);
                return Status::Ok();
            }
            if (errno != EINTR)
                return Status::IOError(std::string("the file could not be read: ") + std::strerror(errno));
        }
    }

    const std::string& path_;
    std::istream& in_;
    int fd_ = -1;
    struct stat first_ {};
    std::FILE* copy_ = nullptr;
};

class LoadCommand : public StoreCommand {
  public:
    explicit LoadCommand(CLI::App& app) {
        command_ = app.add_subcommand(
            "load", "Load a registry-editor file (REGEDIT4 or version 5.00) into SOFTWARE\\Norwick\\Morvel");
        command_->add_option("FILE", file_, "The .reg file (- for standard input)")->required();
        auto* replace =
            command_->add_flag("--replace", replace_,
                               "Make the program's key exactly the file's content (its examples included)");
        command_
            ->add_flag("--append-examples", append_,
                       "Add only the file's examples, numbered after the store's (same tables needed)")
            ->excludes(replace);
    }

    int Run(Registry& registry, std::istream& in, std::ostream& out, std::ostream& err) override {
        const std::string shown = file_ == "-" ? std::string("standard input") : file_;
        if (const std::string why = file_ == "-" ? "" : UnreadableInput(file_); !why.empty()) {
            err << "morvel-cli: cannot read " << shown << ": " << why << "; nothing was loaded\n";
            return 1;
        }
        LoadInput input(file_, in);
        if (!input.Open()) {
            err << "morvel-cli: cannot read " << shown << "\n";
            return 1;
        }
        // Checked whole first, then read again and written.
        LoadPlan plan;
        Status s = PlanLoad(input.FirstPass(), plan);
        for (const auto& p : plan.problems) err << shown << ":" << p.line << ": " << p.message << "\n";
        if (plan.problemCount > plan.problems.size())
            err << shown << ": " << plan.problemCount - plan.problems.size() << " more lines refused\n";
        const LoadMode mode = replace_  ? LoadMode::kReplace
                              : append_ ? LoadMode::kAppendExamples
                                        : LoadMode::kIntoStoreWithoutExamples;
        LoadOutcome outcome;
        if (s) s = input.SecondPass();
        if (s) s = ApplyLoad(registry, plan, input.Source(), mode, outcome);
        if (!s) {
            err << "morvel-cli: " << shown << ": " << s.message();
            if (outcome.storeHasExamples)
                err << " (--replace makes the program's key the file's content, --append-examples adds the "
                       "file's examples after them)";
            err << "; nothing was loaded\n";
            return 1;
        }
        // A file without a closing line may be cut short: what it lacks is said.
        if (plan.missingExamples > 0)
            err << "morvel-cli: " << shown << ": " << plan.missingExamples << " of the " << plan.exampleCount
                << " examples up to the file's \"Count\" are missing; the others were loaded\n";
        if (mode == LoadMode::kAppendExamples) {
            done_ = "appended " + std::to_string(outcome.exampleCount) +
                    (outcome.exampleCount == 1 ? " example" : " examples");
            if (outcome.exampleCount > 0) done_ += ": Example" + std::to_string(outcome.firstExample);
            if (outcome.exampleCount > 1)
                done_ += " to Example" + std::to_string(outcome.firstExample + outcome.exampleCount - 1);
        } else {
            done_ = "loaded " + std::to_string(outcome.values) +
                    (outcome.values == 1 ? " value" : " values") + " into " + std::to_string(outcome.keys) +
                    (outcome.keys == 1 ? " key" : " keys") +
                    (mode == LoadMode::kReplace ? ", in place of everything the store held" : "");
        }
        out << done_ << "\n";
        return 0;
    }

  private:
    std::string file_;
    bool replace_ = false;
    bool append_ = false;
};

}  // namespace

std::unique_ptr<StoreCommand> MakeLoadCommand(CLI::App& app) { return std::make_unique<LoadCommand>(app); }

}  // namespace morvel
