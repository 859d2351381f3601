#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

// Raises notices: modal boxes of kind 1 (information, "提示") or 2 (warning, "警告").
// A warning is routed through the main window once it exists, so it is shown on the GUI thread
// whichever thread raised it; the raiser waits until the box has been closed.
class TPubFunc
{
public:
    static constexpr int NoticeInformation = 1;
    static constexpr int NoticeWarning = 2;

    void ShowNotice(const QString& text);
    // Sends the notice message to a window and returns when its handler has finished.
    // Returns false when the window no longer exists.
    bool SendCopyData(QObject* window, const QString& text, int kind);
    void ShowMsgBox(const QString& text, int kind);

    // The window that receives notices from the moment its creation has completed.
    void SetMainWindow(QObject* window);
    // Shows the boxes of ShowMsgBox: TMessageBox registers itself wherever the window library is linked in. Without
    // one, a notice goes to the error output.
    using BoxShower = void (*)(int kind, const QString& caption, const QString& text);
    static void SetBoxShower(BoxShower shower);
    // A program without windows takes its notices here (to its error output) instead of in boxes.
    void SetNoticeSink(std::function<void(const QString& text)> sink) { m_sink = std::move(sink); }

    // The text a notice buffer carries: its bytes before the first zero byte, never past its end.
    static QString NoticeText(const QByteArray& buffer);
    // The buffer for a text: its bytes in the program's code page and one zero byte.
    static QByteArray NoticeBuffer(const QString& text);

private:
    QPointer<QObject> m_mainWindow;
    std::function<void(const QString& text)> m_sink;
    bool m_hasMainWindow = false;
};

extern TPubFunc* PubFunc;

void InitPubFunc();
void DonePubFunc();
