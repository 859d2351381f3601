#include "storage/engine/TPbkdf2Sha512.h"

// The block function is the only way into SHA-512 without the general interface's per-call set-up; it is
// kept by the library for this kind of use although it is marked as deprecated.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <QtEndian>

#include <array>
#include <cstring>
#include <openssl/crypto.h>
#include <openssl/sha.h>

namespace {
constexpr int BlockBytes = SHA512_CBLOCK; // 128
constexpr int DigestBytes = SHA512_DIGEST_LENGTH; // 64
constexpr int Words = DigestBytes / 8;

using TWords = std::array<SHA_LONG64, Words>;

// The hash states after the inner and the outer pad of the key: the start of every HMAC with that key.
struct TPads
{
    SHA512_CTX Inner;
    SHA512_CTX Outer;
};

TPads PadsFor(const QByteArray& password)
{
    unsigned char key[BlockBytes] = {};
    if (password.size() > BlockBytes) {
        SHA512(reinterpret_cast<const unsigned char*>(password.constData()), static_cast<size_t>(password.size()), key);
    } else {
        std::memcpy(key, password.constData(), static_cast<size_t>(password.size()));
    }
    unsigned char inner[BlockBytes];
    unsigned char outer[BlockBytes];
    for (int i = 0; i < BlockBytes; ++i) {
        inner[i] = key[i] ^ 0x36;
        outer[i] = key[i] ^ 0x5c;
    }
    TPads pads;
    SHA512_Init(&pads.Inner);
    SHA512_Update(&pads.Inner, inner, BlockBytes);
    SHA512_Init(&pads.Outer);
    SHA512_Update(&pads.Outer, outer, BlockBytes);
    OPENSSL_cleanse(key, sizeof key);
    OPENSSL_cleanse(inner, sizeof inner);
    OPENSSL_cleanse(outer, sizeof outer);
    return pads;
}

// U1 = HMAC(password, salt || INT(index)), the general way: the salt has any length.
void FirstRound(const TPads& pads, const QByteArray& salt, quint32 index, unsigned char* digest)
{
    const unsigned char counter[4] = {static_cast<unsigned char>(index >> 24), static_cast<unsigned char>(index >> 16),
                                      static_cast<unsigned char>(index >> 8), static_cast<unsigned char>(index)};
    SHA512_CTX hash = pads.Inner;
    SHA512_Update(&hash, salt.constData(), static_cast<size_t>(salt.size()));
    SHA512_Update(&hash, counter, sizeof counter);
    SHA512_Final(digest, &hash);
    hash = pads.Outer;
    SHA512_Update(&hash, digest, DigestBytes);
    SHA512_Final(digest, &hash);
    OPENSSL_cleanse(&hash, sizeof hash);
}

// The word whose bytes in memory are value's big-endian form, as the block function reads its input.
SHA_LONG64 BigEndian(SHA_LONG64 value)
{
    return qToBigEndian<quint64>(value);
}

// The block that hashes a 64-byte message after a pad: the message, the end marker and the length in bits of
// pad and message. Its first eight words are the message, set by the caller.
std::array<SHA_LONG64, BlockBytes / 8> MessageBlock()
{
    std::array<SHA_LONG64, BlockBytes / 8> block{};
    block[Words] = BigEndian(0x8000000000000000ULL);
    block[block.size() - 1] = BigEndian(static_cast<SHA_LONG64>(BlockBytes + DigestBytes) * 8);
    return block;
}

// T = U1 ^ U2 ^ ... ^ Uc for one block of the key, into out (DigestBytes bytes).
void DeriveBlock(const TPads& pads, const QByteArray& salt, int iterations, quint32 index, unsigned char* out)
{
    unsigned char first[DigestBytes];
    FirstRound(pads, salt, index, first);
    auto block = MessageBlock();
    TWords sum;
    for (int i = 0; i < Words; ++i) {
        std::memcpy(&block[i], first + 8 * i, 8); // the digest's bytes, as the block takes them
        sum[i] = qFromBigEndian<quint64>(block[i]); // the digest word as a number
    }
    SHA512_CTX inner = pads.Inner;
    SHA512_CTX outer = pads.Outer;
    for (int n = 1; n < iterations; ++n) {
        std::memcpy(inner.h, pads.Inner.h, sizeof inner.h);
        SHA512_Transform(&inner, reinterpret_cast<const unsigned char*>(block.data()));
        for (int i = 0; i < Words; ++i) {
            block[i] = BigEndian(inner.h[i]);
        }
        std::memcpy(outer.h, pads.Outer.h, sizeof outer.h);
        SHA512_Transform(&outer, reinterpret_cast<const unsigned char*>(block.data()));
        for (int i = 0; i < Words; ++i) {
            block[i] = BigEndian(outer.h[i]);
            sum[i] ^= outer.h[i];
        }
    }
    for (int i = 0; i < Words; ++i) {
        const SHA_LONG64 bytes = BigEndian(sum[i]);
        std::memcpy(out + 8 * i, &bytes, 8);
    }
    OPENSSL_cleanse(first, sizeof first);
    OPENSSL_cleanse(block.data(), sizeof block);
    OPENSSL_cleanse(sum.data(), sizeof sum);
    OPENSSL_cleanse(&inner, sizeof inner);
    OPENSSL_cleanse(&outer, sizeof outer);
}
} // namespace

QByteArray TPbkdf2Sha512::Derive(const QByteArray& password, const QByteArray& salt, int iterations, int keyBytes)
{
    if (iterations < 1 || keyBytes < 1) {
        return {};
    }
    TPads pads = PadsFor(password);
    QByteArray key(keyBytes, Qt::Uninitialized);
    unsigned char block[DigestBytes];
    quint32 index = 1;
    for (int done = 0; done < keyBytes; done += DigestBytes, ++index) {
        DeriveBlock(pads, salt, iterations, index, block);
        std::memcpy(key.data() + done, block, static_cast<size_t>(qMin(DigestBytes, keyBytes - done)));
    }
    OPENSSL_cleanse(block, sizeof block);
    OPENSSL_cleanse(&pads, sizeof pads);
    return key;
}
