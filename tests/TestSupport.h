// Small helpers shared by the tests: temporary folders and files.
#pragma once

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace morvel::test {

// A fresh folder below the system's temporary folder, removed with its contents.
class TempDir {
  public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "morvel-test-XXXXXX").string();
        path_ = mkdtemp(tmpl.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    std::string Store() const { return path_ + "/store.sqlite"; }

  private:
    std::string path_;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// UTF-8 -> UTF-16LE with the byte-order mark first, as the registry editor
// writes its version 5.00 files.
inline std::string Utf16(const std::string& utf8) {
    std::string out = "\xFF\xFE";
    auto unit = [&](char32_t u) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>((u >> 8) & 0xFF));
    };
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char c = utf8[i];
        const int len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        char32_t cp = len == 1 ? c : len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
        for (int k = 1; k < len; ++k) cp = (cp << 6) | (utf8[i + k] & 0x3F);
        i += len;
        if (cp >= 0x10000) {
            unit(0xD800 + ((cp - 0x10000) >> 10));
            unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            unit(cp);
        }
    }
    return out;
}

// Makes a file read-only for the life of the object: by its mode, and where
// the mode does not stop this process (root), by the file system's immutable
// flag. ok() is false when neither works here.
class ReadOnlyFile {
  public:
    explicit ReadOnlyFile(std::string path) : path_(std::move(path)) {
        chmod(path_.c_str(), 0400);
        if (access(path_.c_str(), W_OK) != 0) {
            ok_ = true;
            return;
        }
        const int fd = open(path_.c_str(), O_RDONLY);
        int flags = 0;
        if (fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            immutable_ = ok_ = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        if (fd >= 0) close(fd);
    }
    ~ReadOnlyFile() {
        if (immutable_) {
            const int fd = open(path_.c_str(), O_RDONLY);
            int flags = 0;
            if (fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
                flags &= ~FS_IMMUTABLE_FL;
                ioctl(fd, FS_IOC_SETFLAGS, &flags);
            }
            if (fd >= 0) close(fd);
        }
        chmod(path_.c_str(), 0600);
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    bool ok() const { return ok_; }

  private:
    std::string path_;
    bool ok_ = false;
    bool immutable_ = false;
};

}  // namespace morvel::test
