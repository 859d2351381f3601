#pragma once

#include <QByteArray>

// PBKDF2 with HMAC-SHA512 (RFC 8018), the cipher library's key derivation, computed from the two hash states
// of the HMAC pads straight through the SHA-512 block function: each iteration is exactly two block
// transforms, without the per-iteration set-up of the general HMAC interface (a third less time for the
// 256 000 iterations every start pays for). The result is bit for bit that of the general derivation.
class TPbkdf2Sha512
{
public:
    // The first keyBytes bytes of the derived key; empty when iterations or keyBytes is below 1.
    static QByteArray Derive(const QByteArray& password, const QByteArray& salt, int iterations, int keyBytes);
};
