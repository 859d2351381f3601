#pragma once

#include <QString>

#include <functional>

// Modal message boxes: a notice with a single OK button, or a question with two buttons. Tests install a hook
// that takes the box's place, so that no test ever waits for a user.
class TMessageBox
{
public:
    enum Icon { Plain, Information, Warning, Critical };

    using Hook = std::function<void(Icon icon, const QString& caption, const QString& text)>;
    // Answers a question in a test: true for the first button.
    using AskHook = std::function<bool(const QString& caption, const QString& text)>;

    // Shows the box and returns when it has been closed.
    static void Show(Icon icon, const QString& caption, const QString& text);

    // Asks a question; true when the user chose the first button (yes), false for the second or on closing the box.
    static bool Ask(Icon icon, const QString& caption, const QString& text, const QString& yes, const QString& no,
                    bool yesIsDefault = true);

    // Replaces every box until reset with an empty hook. Without an ask hook, a question goes to this hook and
    // is answered with the second button.
    static void SetTestHook(Hook hook);

    // A question with the buttons 是 and 否, 否 the default (for destructive actions); true for 是.
    static bool Ask(const QString& caption, const QString& text);
    static void SetAskHook(AskHook hook);
};
