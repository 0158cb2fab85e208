#include "core/platform/Sha256.h"

#include <openssl/evp.h>

namespace morvel {

struct Sha256::Context {
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    ~Context() { EVP_MD_CTX_free(ctx); }
};

Sha256::Sha256() : context_(std::make_unique<Context>()) { Reset(); }
Sha256::~Sha256() = default;

void Sha256::Reset() {
    failed_ = context_->ctx == nullptr || EVP_DigestInit_ex(context_->ctx, EVP_sha256(), nullptr) != 1;
}

void Sha256::Update(const std::uint8_t* data, std::size_t n) {
    if (!failed_ && n > 0) failed_ = EVP_DigestUpdate(context_->ctx, data, n) != 1;
}

std::string Sha256::HexDigest() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (failed_ || EVP_DigestFinal_ex(context_->ctx, digest, &length) != 1) {
        failed_ = true;
        return {};
    }
    failed_ = true;  // finished: Reset before the next use
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(length * 2);
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 15];
    }
    return hex;
}

}  // namespace morvel
