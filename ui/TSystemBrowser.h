#pragma once

#include <QUrl>

#include <functional>

// Opens addresses in the user's own programs: web pages in the browser, folders in the file manager. Tests
// install a hook that takes the programs' place.
class TSystemBrowser
{
public:
    using Hook = std::function<bool(const QUrl& url)>;

    // False, after a box that says so and what the user can do, when no program opened the address.
    static bool Open(const QUrl& url);
    static void SetTestHook(Hook hook);

    // The address a cell value stands for: "http:" in front of a value without its scheme ("//host/…"),
    // the value itself when it is an http or https address; empty for anything else.
    static QUrl LinkOf(const QString& value);
};
