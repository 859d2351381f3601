#include "storage/engine/TDerivedKeys.h"

#include <QCryptographicHash>
#include <QFile>

#include <atomic>
#include <future>
#include <map>
#include <mutex>
#include <openssl/crypto.h>
#include <openssl/evp.h>

namespace {
const int KeyBytes = 32;
const char PlainHeader[] = "SQLite format 3"; // with its terminating zero: the first 16 bytes of a plain file

std::mutex Lock;
std::map<QByteArray, std::shared_future<QByteArray>> Keys; // by a hash of the password and the salt
std::atomic<int> DerivedCount{0};

QByteArray Derive(const QByteArray& password, const QByteArray& salt)
{
    unsigned char key[KeyBytes];
    const bool ok
        = PKCS5_PBKDF2_HMAC(password.constData(), static_cast<int>(password.size()),
                            reinterpret_cast<const unsigned char*>(salt.constData()), static_cast<int>(salt.size()),
                            TDerivedKeys::Iterations, EVP_sha512(), KeyBytes, key)
        == 1;
    ++DerivedCount;
    // A failed derivation yields a key that opens nothing; the caller then opens with the password itself.
    const QByteArray raw = ok ? QByteArray(reinterpret_cast<const char*>(key), KeyBytes) : QByteArray(KeyBytes, 0);
    OPENSSL_cleanse(key, sizeof key);
    return "x'" + raw.toHex().toUpper() + '\'';
}
} // namespace

QByteArray TDerivedKeys::ReadSalt(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray salt = file.read(SaltBytes);
    if (salt.size() != SaltBytes || salt == QByteArray(PlainHeader, SaltBytes)) {
        return {};
    }
    return salt;
}

QByteArray TDerivedKeys::RawKey(const QByteArray& password, const QByteArray& salt)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(password);
    hash.addData(salt);
    const QByteArray id = hash.result();
    std::promise<QByteArray> derived;
    std::shared_future<QByteArray> key;
    bool first = false;
    {
        std::lock_guard<std::mutex> lock(Lock);
        const auto found = Keys.find(id);
        if (found != Keys.end()) {
            key = found->second;
        } else {
            key = derived.get_future().share();
            Keys.emplace(id, key);
            first = true;
        }
    }
    if (first) {
        derived.set_value(Derive(password, salt)); // outside the lock: other files' keys are not held up
    }
    return key.get();
}

bool TDerivedKeys::IsRawKey(const QByteArray& password)
{
    return password.size() >= 3 && password.startsWith("x'") && password.endsWith('\'');
}

int TDerivedKeys::Derivations()
{
    return DerivedCount;
}
