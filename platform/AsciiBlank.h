#pragma once

#include <QChar>

// The blanks that separate words in header lines, connection strings and JSON texts: a space or a tab.
inline bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

inline bool IsBlank(QChar c)
{
    return c.unicode() < 0x80 && IsBlank(static_cast<char>(c.unicode()));
}
