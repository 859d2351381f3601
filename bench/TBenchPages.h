#pragma once

#include <QByteArray>
#include <QString>

// The search pages the benchmarks feed through the page pipeline, as the bytes a download delivers.
namespace TBenchPages {
// The saved 2018 page-config statement wrapped in a script element that ends with the closing marker.
QByteArray FixturePage();
// A page of the given number of listings shaped like the saved ones, filled with other page modules and
// markup until it holds at least targetBytes.
QByteArray GeneratedPage(int listings = 44, int targetBytes = 300 * 1024);
// A valid UTF-8 body of exactly size bytes (mixed ASCII and Chinese text).
QByteArray TextBody(int size);
// Writes fixture.html and generated.html into a folder; false when a file cannot be written.
bool WritePages(const QString& folder);
} // namespace TBenchPages
