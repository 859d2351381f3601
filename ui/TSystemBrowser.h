#pragma once

#include <QUrl>

#include <functional>

// Opens addresses in the user's own web browser. Tests install a hook that takes the browser's place.
class TSystemBrowser
{
public:
    using Hook = std::function<bool(const QUrl& url)>;

    static bool Open(const QUrl& url);
    static void SetTestHook(Hook hook);

    // The address a cell value stands for: "http:" in front of a value without its scheme ("//host/…"),
    // the value itself when it is an http or https address; empty for anything else.
    static QUrl LinkOf(const QString& value);
};
