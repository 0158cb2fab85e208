#include "core/platform/WholeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace morvel {
namespace {

// The first piece of room for an input whose size is not known beforehand.
constexpr std::size_t kFirstPiece = std::size_t{64} << 10;

Status TooLarge(const char* what, std::size_t limit) {
    const std::string size = limit % (std::size_t{1} << 20) == 0
                                 ? std::to_string(limit >> 20) + " MB"
                                 : std::to_string(limit) + (limit == 1 ? " byte" : " bytes");
    return Status::InvalidInput(std::string(what) + " is larger than " + size);
}

// The room for the next read: the size the input announced (plus one byte,
// to meet its end without growing), or twice what it holds; never more than
// the limit and the byte that shows the input is too large.
std::size_t NextRoom(std::size_t held, std::size_t announced, std::size_t limit) {
    const std::size_t most = limit == std::string::npos ? limit : limit + 1;
    const std::size_t wanted = held < announced ? announced + 1 : std::max(held * 2, kFirstPiece);
    return std::min(wanted, most);
}

class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

Status ReadWholeFile(const std::string& path, std::size_t limit, std::string& bytes) {
    bytes.clear();
    const Descriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        const int error = errno;
        const std::string why = path + ": " + std::strerror(error);
        return error == ENOENT || error == ENOTDIR ? Status::NotFound(why) : Status::IOError(why);
    }
    struct stat st;
    if (fstat(file.get(), &st) != 0) return Status::IOError(path + ": " + std::strerror(errno));
    if (S_ISDIR(st.st_mode)) return Status::InvalidInput(path + " is a folder");
    const std::size_t announced =
        S_ISREG(st.st_mode) && st.st_size > 0 ? static_cast<std::size_t>(st.st_size) : 0;
    if (announced > limit) return TooLarge("the file", limit);

    std::string data;
    std::size_t held = 0;
    for (;;) {
        if (held == data.size()) {
            if (held > limit) break;
            data.resize(NextRoom(held, announced, limit));
        }
        const ssize_t got = read(file.get(), data.data() + held, data.size() - held);
        if (got < 0) {
            if (errno == EINTR) continue;
            return Status::IOError(path + " could not be read: " + std::strerror(errno));
        }
        if (got == 0) break;
        held += static_cast<std::size_t>(got);
    }
    if (held > limit) return TooLarge("the file", limit);
    data.resize(held);
    bytes = std::move(data);
    return Status::Ok();
}

Status ReadWholeStream(std::istream& in, std::size_t limit, std::string& bytes) {
    bytes.clear();
    std::string data;
    std::size_t held = 0;
    while (in && held <= limit) {
        data.resize(NextRoom(held, 0, limit));
        in.read(data.data() + held, static_cast<std::streamsize>(data.size() - held));
        held += static_cast<std::size_t>(in.gcount());
    }
    if (in.bad()) return Status::IOError("the input could not be read");
    if (held > limit) return TooLarge("the input", limit);
    data.resize(held);
    bytes = std::move(data);
    return Status::Ok();
}

}  // namespace morvel
