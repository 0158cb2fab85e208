// Sha256: the SHA-256 digest of a stream of bytes, through OpenSSL. Stored
// examples keep the digest of their file's contents, so that a file already
// taught can be told again whatever its name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace morvel {

class Sha256 {
  public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    // Starts a new digest.
    void Reset();
    void Update(const std::uint8_t* data, std::size_t n);
    // The digest of everything given since Reset, as 64 lowercase hex
    // digits; empty when the library failed. Reset before the next use.
    std::string HexDigest();

  private:
    struct Context;
    std::unique_ptr<Context> context_;
    bool failed_ = false;
};

}  // namespace morvel
