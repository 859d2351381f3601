#pragma once

#include <QString>

// The keyword of a search as it goes into the search URL.
class TSearchKeyword
{
public:
    // The keyword with its control characters, blanks, DEL and "#%&+<> percent-encoded (upper-case hex), so
    // that they can neither split the request line nor change the query. Every other character is kept; the
    // download sends it as its code page 936 bytes.
    static QString Escape(const QString& keyword);
    // The first character of a text that code page 936 lacks, which no search can carry; empty when the code
    // page holds them all.
    static QString MissingCharacter(const QString& text);
};
