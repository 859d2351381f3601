#include "ui/uFrmComm.h"

#include "ui/TNoticeEvent.h"
#include "ui/uPubFunc.h"

#include <QPalette>

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

bool TCommForm::event(QEvent* event)
{
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
