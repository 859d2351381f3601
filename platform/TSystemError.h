#pragma once

#include <QString>

// The reason of a failed system call in Chinese, as the program shows it to the user.
class TSystemError
{
public:
    // The text for an errno value; an uncommon one keeps the system's own text after its number.
    static QString Text(int errnum);
    // The text for the current errno.
    static QString Last();
};
