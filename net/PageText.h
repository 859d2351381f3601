#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// A downloaded page as the program holds it.
namespace PageText {
// Decodes strict UTF-8 (one- to four-byte sequences) and turns every character that code page 936 lacks into
// "?", one "?" for each character. Empty when the bytes are not valid UTF-8: a missing or stray continuation
// byte, a sequence cut off by the end, an overlong form, a surrogate or a value beyond U+10FFFF.
std::optional<QString> FromUtf8(QByteArrayView utf8);
// The same for a body that is no longer needed: its memory is given back while it is decoded.
std::optional<QString> TakeFromUtf8(QByteArray utf8);
// Whether code page 936 holds the character.
bool InCodePage(char16_t c);
} // namespace PageText
