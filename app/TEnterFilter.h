#pragma once

#include <QEvent>
#include <QKeyEvent>
#include <QObject>

#include <functional>

// Runs an action on Enter in the widget it watches and takes the key, so that no widget around it (a combo
// box around its line edit) acts on the same key again.
class TEnterFilter : public QObject
{
public:
    TEnterFilter(QObject* parent, std::function<void()> action)
        : QObject(parent)
        , m_action(std::move(action))
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                m_action();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_action;
};
