#include "ui/uFrmComm.h"

#include "ui/TNoticeEvent.h"
#include "ui/uPubFunc.h"

#include <QEventLoop>
#include <QPalette>
#include <QPointer>

TCommForm::TCommForm(QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags)
{
    setObjectName("CommForm");
    setWindowTitle("CommForm");
    setFont(WindowFont());
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    setPalette(pal);
    move(288, 151);
    resize(870, 500);
}

QFont TCommForm::WindowFont()
{
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(15);
    font.setStyleHint(QFont::AnyStyle, QFont::PreferMatch);
    return font;
}

int TCommForm::ShowModal()
{
    m_modalResult = ModalCancel;
    setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    m_modalLoop = &loop;
    const QPointer<TCommForm> self(this);
    show();
    if (isVisible()) {
        loop.exec(QEventLoop::DialogExec);
    }
    if (self.isNull()) {
        return ModalCancel; // destroyed while shown
    }
    m_modalLoop = nullptr;
    return m_modalResult;
}

TCommForm::~TCommForm()
{
    if (m_modalLoop != nullptr) {
        m_modalLoop->quit();
    }
}

void TCommForm::Done(int result)
{
    m_modalResult = result;
    close();
}

void TCommForm::PlaceOverParent()
{
    const QWidget* parent = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
    if (parent != nullptr) {
        move(parent->frameGeometry().center() - rect().center());
    }
}

bool TCommForm::event(QEvent* event)
{
    // Closed or hidden (not merely minimised, which leaves it visible): the modal call returns.
    if (event->type() == QEvent::Hide && m_modalLoop != nullptr && !isVisible()) {
        m_modalLoop->quit();
    }
    if (event->type() != TNoticeEvent::EventType()) {
        return QWidget::event(event);
    }
    auto* notice = static_cast<TNoticeEvent*>(event);
    const quint32 kind = notice->Kind();
    if ((kind == TPubFunc::NoticeInformation || kind == TPubFunc::NoticeWarning) && PubFunc != nullptr) {
        PubFunc->ShowMsgBox(TPubFunc::NoticeText(notice->Buffer()), static_cast<int>(kind));
    }
    event->accept();
    return true;
}
