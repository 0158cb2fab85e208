#include "core/attributes/FileExaminer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "core/attributes/HeaderFacts.h"
#include "core/platform/CodePage.h"
#include "core/platform/DosAttributes.h"
#include "core/platform/ExecutableType.h"
#include "core/store/StoreFiles.h"

namespace morvel {
namespace {

// Closes a descriptor on every path.
class FileHandle {
  public:
    explicit FileHandle(int fd) : fd_(fd) {}
    ~FileHandle() {
        if (fd_ >= 0) close(fd_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

// Reads up to n bytes at offset, retrying short reads and interruptions;
// returns how many bytes arrived (errors simply end the read).
std::size_t ReadFully(int fd, std::uint8_t* buf, std::size_t n, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t got = pread(fd, buf + done, n - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

std::uint8_t SizeClass(std::uint64_t size) {
    constexpr std::uint64_t kBounds[] = {1024, 10240, 102400, 1048576, 10485760, 104857600, 1073741824};
    std::uint8_t cls = 1;
    for (std::uint64_t bound : kBounds) {
        if (size < bound) return cls;
        ++cls;
    }
    return 8;
}

std::uint8_t TimeClass(int hour) {
    if (hour < 4) return 1;
    if (hour < 10) return 2;
    if (hour < 16) return 3;
    if (hour < 22) return 4;
    return 1;
}

std::uint8_t FirstSymbol(std::uint8_t c) {
    if (c == 's' || c == 'i') return 4;
    if (c == '~') return 5;
    if (c >= '0' && c <= '9') return 3;
    if (c >= 'a' && c <= 'z') return 1;
    if (c >= 224) return 2;
    return 6;
}

}  // namespace

FileExaminer::FileExaminer() : content_(kWindowSize, 0), lowered_(kWindowSize, 0) {}

const SequenceMatcher& FileExaminer::MatcherFor(const ConfigTables& tables) {
    const auto texts = SequenceList(tables);
    if (!matcher_ || matcher_->Texts() != texts) matcher_ = std::make_shared<SequenceMatcher>(texts);
    return *matcher_;
}

Status FileExaminer::ComputeFileAttributes(const std::string& path, const ConfigTables& tables) {
    // The path must name a file with an extension: a last "." after the last "/",
    // followed by at least one character.
    const auto dot = path.find_last_of('.');
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return Status::InvalidInput("the path names no folder");
    if (dot == std::string::npos || dot < slash)
        return Status::InvalidInput("the file name has no extension");
    if (dot + 1 >= path.size()) return Status::InvalidInput("the file name ends in \".\"");

    // Asked before the open: closing a descriptor of a store file would drop
    // the locks its connection holds.
    if (Status s = RefuseOpenStoreFile(path); !s) return s;
    // Without blocking, so that a pipe or device answers at once; only regular files are examined.
    const FileHandle file(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.get() < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) return Status::NotFound(std::strerror(error));
        return Status::IOError(std::strerror(error));
    }
    struct stat st;
    if (fstat(file.get(), &st) != 0) return Status::IOError(std::strerror(errno));
    if (!S_ISREG(st.st_mode))
        return Status::InvalidInput(S_ISDIR(st.st_mode) ? "it is a folder" : "it is not a regular file");
    // From here on the computation succeeds: read errors only leave fewer bytes to examine.
    const int fd = file.get();
    const auto size = static_cast<std::uint64_t>(st.st_size);
    const std::uint64_t capped = std::min<std::uint64_t>(size, kSizeCap);
    AttributeSlots v = vector_;
    v[slot::kSizeClass] = SizeClass(size);
    const auto cappedSize = static_cast<std::int32_t>(capped);

    // The content window: the whole file up to 1 MiB, else its first half-megabyte
    // and the half-megabyte (less one byte) before the capped size. Window offset
    // 524,288 receives no byte of the file and keeps what it held.
    std::uint8_t* window = content_.data();
    std::size_t headBytes;
    std::int32_t windowLength = 0;
    if (size <= static_cast<std::uint64_t>(kWindowSize)) {
        headBytes = ReadFully(fd, window, static_cast<std::size_t>(size), 0);
        windowLength = static_cast<std::int32_t>(headBytes);
    } else {
        headBytes = ReadFully(fd, window, kHalfWindow, 0);
        ReadFully(fd, window + kHalfWindow + 1, kHalfWindow - 1, capped - (kHalfWindow - 1));
        windowLength = kWindowSize;
    }

    // Last write, in UTC.
    struct tm t;
    if (gmtime_r(&st.st_mtim.tv_sec, &t) != nullptr) {
        const int year = t.tm_year + 1900;
        v[slot::kDay] = static_cast<std::uint8_t>(t.tm_mday);
        v[slot::kMonth] = static_cast<std::uint8_t>(t.tm_mon + 1);
        v[slot::kYear] = year >= 1900 && year <= 2155 ? static_cast<std::uint8_t>(year - 1900) : 0;
        v[slot::kWeekday] = static_cast<std::uint8_t>(t.tm_wday == 0 ? 7 : t.tm_wday);
        v[slot::kSystemFlag] = SystemFlag(fd);
        v[slot::kTimeOfDay] = TimeClass(t.tm_hour);
    } else {
        std::fill(v.begin() + slot::kDay, v.begin() + slot::kTimeOfDay + 1, 0);
    }

    // Extension and base name, in Windows-1251 and lowered.
    const std::string extension = codepage::LowerAnsi(codepage::ToAnsi(path.substr(dot + 1)));
    v[slot::kExtension] = extension == "exe" ? 1 : extension == "com" ? 2 : extension == "scr" ? 3 : 4;
    const std::string base = codepage::LowerAnsi(codepage::ToAnsi(path.substr(slash + 1, dot - slash - 1)));
    v[slot::kNameLength] = static_cast<std::uint8_t>(std::min<std::size_t>(base.size(), 255));
    v[slot::kFirstSymbol] = base.empty() ? 0 : FirstSymbol(static_cast<std::uint8_t>(base[0]));
    v[slot::kHasDigit] = v[slot::kHasRussianLetter] = v[slot::kHasSpecialCharacter] =
        v[slot::kHasLatinLetter] = kNo;
    for (char ch : base) {
        const auto c = static_cast<std::uint8_t>(ch);
        if (c >= '0' && c <= '9') {
            v[slot::kHasDigit] = kYes;
        } else if (c >= 224) {
            v[slot::kHasRussianLetter] = kYes;
        } else if (c >= 'a' && c <= 'z') {
            v[slot::kHasLatinLetter] = kYes;
        } else if (c != '~') {
            v[slot::kHasSpecialCharacter] = kYes;
        }
    }

    // The file's headers are read from the window where it holds them.
    const ReadAtFn read = [&](std::uint64_t offset, void* buf, std::size_t n) -> std::size_t {
        if (offset + n <= headBytes) {
            std::memcpy(buf, window + offset, n);
            return n;
        }
        return ReadFully(fd, static_cast<std::uint8_t*>(buf), n, offset);
    };
    // Executable type, from the file's headers.
    v[slot::kExecutableType] = 0;
    if (tables.PlatformVersion > 0) {
        const int type = QueryBinaryType(read, size, extension);
        v[slot::kExecutableType] = static_cast<std::uint8_t>(type < 0 ? 4 : type + 1);
    }

    // The INT 33h marker: the first CD 33 in the raw window, preceded within five
    // bytes by MOV AX (B8) or a short jump (EB).
    v[slot::kInt33Marker] = kNo;
    if (const std::int32_t p = FindPattern("\xCD\x33", window, windowLength); p >= 0) {
        for (std::int32_t i = p - 1; i >= 0 && i >= p - 5; --i)
            if (window[i] == 0xEB || window[i] == 0xB8) v[slot::kInt33Marker] = kYes;
    }

    // Header slots, after the sequences, whatever the setting: examples keep them.
    const HeaderCodes header = ReadHeaderFacts(read, size, window, windowLength);
    for (std::int32_t h = 1; h <= kHeaderSlotCount; ++h) v[HeaderSlot(tables, h)] = header[h - 1];

    // Sequence slots, on the lowered window.
    codepage::LowerBytes(window, lowered_.data(), static_cast<std::size_t>(windowLength));
    const SequenceMatcher& matcher = MatcherFor(tables);
    matcher.Scan(lowered_.data(), windowLength, scratch_, found_);
    for (std::size_t k = 0; k < found_.size(); ++k)
        v[SequenceSlot(static_cast<std::int32_t>(k) + 1)] = found_[k] ? kYes : kNo;

    std::string fingerprint;
    if (fingerprints_) fingerprint = DigestOf(fd, size, headBytes == size ? window : nullptr);

    vector_ = v;
    fingerprint_ = std::move(fingerprint);
    cappedFileSize_ = cappedSize;
    windowLength_ = windowLength;
    fresh_ = true;
    ++generation_;
    return Status::Ok();
}

// The digest of the file's size bytes: from whole when the window holds them
// all, else read in chunks. Empty when the file ends early or a read fails.
std::string FileExaminer::DigestOf(int fd, std::uint64_t size, const std::uint8_t* whole) {
    if (!sha_) sha_ = std::make_unique<Sha256>();
    sha_->Reset();
    if (whole) {
        sha_->Update(whole, static_cast<std::size_t>(size));
        return sha_->HexDigest();
    }
    constexpr std::size_t kChunk = 1 << 20;
    chunk_.resize(kChunk);
    for (std::uint64_t offset = 0; offset < size;) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, size - offset));
        const std::size_t got = ReadFully(fd, chunk_.data(), want, offset);
        if (got != want) return {};
        sha_->Update(chunk_.data(), got);
        offset += got;
    }
    return sha_->HexDigest();
}

}  // namespace morvel
