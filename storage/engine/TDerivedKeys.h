#pragma once

#include <QByteArray>
#include <QString>

// Keys derived from a password and the salt at the start of an encrypted file, kept for the life of the process:
// every further connection to the same file opens with the raw key instead of deriving it again, and a
// connection that asks while another derives the same key waits for that one. The derivation is the cipher
// library's own default (PBKDF2-HMAC-SHA512 over the file's salt, 256 000 iterations, a 256-bit key), so files
// are read and written exactly as with the password.
class TDerivedKeys
{
public:
    static constexpr int SaltBytes = 16;
    static constexpr int Iterations = 256000;

    // The salt the file starts with; empty for a shorter file or a database that is not encrypted.
    static QByteArray ReadSalt(const QString& path);
    // The key for the password and salt in the form the cipher library takes as a raw key ("x'<hex>'").
    static QByteArray RawKey(const QByteArray& password, const QByteArray& salt);
    // The key for a new file: a fresh random salt and the key derived for it, in the form the cipher library
    // takes to create a file with that salt ("x'<key hex><salt hex>'"). The key is kept like RawKey's, so the
    // new file's later connections open without deriving it again. Empty when no random salt can be had.
    static QByteArray NewFileKey(const QByteArray& password);
    // A password in the form the cipher library may take as a raw key; it is passed on as it is, never cached.
    static bool IsRawKey(const QByteArray& password);
    // How many keys were derived so far.
    static int Derivations();
};
