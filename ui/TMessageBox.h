#pragma once

#include <QString>

#include <functional>

// Modal message boxes with a single OK button. Tests install a hook that takes the box's place,
// so that no test ever waits for a user.
class TMessageBox
{
public:
    enum Icon { Plain, Information, Warning, Critical };

    using Hook = std::function<void(Icon icon, const QString& caption, const QString& text)>;

    // Shows the box and returns when it has been closed.
    static void Show(Icon icon, const QString& caption, const QString& text);

    // Replaces every box until reset with an empty hook.
    static void SetTestHook(Hook hook);

    // A question with the buttons Yes and No, No the default; true for Yes. The ask hook takes its place
    // in tests; with only the box hook installed the question is recorded through it and answered No.
    using AskHook = std::function<bool(const QString& caption, const QString& text)>;
    static bool Ask(const QString& caption, const QString& text);
    static void SetAskHook(AskHook hook);
};
