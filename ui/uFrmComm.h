#pragma once

#include <QWidget>

class QEventLoop;

// The common look of every window, and the handler of the notice message.
class TCommForm : public QWidget
{
    Q_OBJECT

public:
    explicit TCommForm(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~TCommForm() override;

    // "宋体" at a character height of 15 pixels; fontconfig substitutes an installed CJK font.
    static QFont WindowFont();

    // Shows the window application-modal and returns when it has closed: the result given to Done, or
    // ModalCancel when it was closed some other way (its close button, Esc).
    int ShowModal();
    // Sets the result of ShowModal and closes the window.
    void Done(int result);
    static constexpr int ModalCancel = 0;
    static constexpr int ModalOk = 1;

protected:
    bool event(QEvent* event) override;
    // Moves the window so that it stands centred over its parent's window.
    void PlaceOverParent();

private:
    QEventLoop* m_modalLoop = nullptr;
    int m_modalResult = ModalCancel;
};
