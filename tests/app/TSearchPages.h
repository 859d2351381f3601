#pragma once

#include <QByteArray>

// Search result pages as the marketplace sends them, with listings in the page-config framing.
namespace TSearchPages {
// A page of count listings numbered from first (0 listings give an empty array).
QByteArray Page(int count, int first = 0);
// The target of the search for a keyword of letters, digits and blanks, and an offset: the keyword as code page
// bytes, its blanks as "%20".
QByteArray Target(const QString& keyword, int offset);
} // namespace TSearchPages
