#include "storage/engine/TDerivedKeys.h"

#include "storage/engine/TPbkdf2Sha512.h"

#include <QCryptographicHash>
#include <QFile>

#include <atomic>
#include <future>
#include <map>
#include <mutex>
#include <openssl/crypto.h>
#include <openssl/rand.h>

namespace {
const int KeyBytes = 32;
const char PlainHeader[] = "SQLite format 3"; // with its terminating zero: the first 16 bytes of a plain file

std::mutex Lock;
std::map<QByteArray, std::shared_future<QByteArray>> Keys; // by a hash of the password and the salt
std::atomic<int> DerivedCount{0};

QByteArray Derive(const QByteArray& password, const QByteArray& salt)
{
    QByteArray key = TPbkdf2Sha512::Derive(password, salt, TDerivedKeys::Iterations, KeyBytes);
    ++DerivedCount;
    const QByteArray raw = "x'" + key.toHex().toUpper() + '\'';
    OPENSSL_cleanse(key.data(), static_cast<size_t>(key.size()));
    return raw;
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

QByteArray TDerivedKeys::NewFileKey(const QByteArray& password)
{
    QByteArray salt(SaltBytes, Qt::Uninitialized);
    if (RAND_bytes(reinterpret_cast<unsigned char*>(salt.data()), SaltBytes) != 1) {
        return {};
    }
    QByteArray key = RawKey(password, salt);
    key.chop(1); // the closing quote: the salt follows the key
    return key + salt.toHex().toUpper() + '\'';
}

bool TDerivedKeys::IsRawKey(const QByteArray& password)
{
    return password.size() >= 3 && password.startsWith("x'") && password.endsWith('\'');
}

int TDerivedKeys::Derivations()
{
    return DerivedCount;
}
