#include "ui/uPubFunc.h"

#include "platform/CodePage.h"
#include "ui/TNoticeEvent.h"

#include <QCoreApplication>
#include <QThread>

TPubFunc* PubFunc = nullptr;

namespace {
TPubFunc::BoxShower BoxShowerOf = nullptr; // constant-initialised: a registration at static start-up finds it
} // namespace

void TPubFunc::SetBoxShower(BoxShower shower)
{
    BoxShowerOf = shower;
}

namespace {
const char* const CaptionInformation = "提示";
const char* const CaptionWarning = "警告";
} // namespace

void InitPubFunc()
{
    if (PubFunc == nullptr) {
        PubFunc = new TPubFunc;
    }
}

void DonePubFunc()
{
    delete PubFunc;
    PubFunc = nullptr;
}

void TPubFunc::SetMainWindow(QObject* window)
{
    m_mainWindow = window;
    m_hasMainWindow = window != nullptr;
}

void TPubFunc::ShowNotice(const QString& text)
{
    if (m_sink) {
        m_sink(text);
    } else if (m_hasMainWindow) {
        SendCopyData(m_mainWindow, text, NoticeWarning);
    } else {
        ShowMsgBox(text, NoticeWarning);
    }
}

bool TPubFunc::SendCopyData(QObject* window, const QString& text, int kind)
{
    if (window == nullptr) {
        return false;
    }
    QByteArray buffer = NoticeBuffer(text);
    QPointer<QObject> target(window);
    auto deliver = [target, kind, buffer]() {
        if (target) {
            TNoticeEvent event(static_cast<quint32>(kind), buffer);
            QCoreApplication::sendEvent(target, &event);
        }
    };
    if (QThread::currentThread() == window->thread()) {
        deliver();
        return !target.isNull();
    }
    return QMetaObject::invokeMethod(window, deliver, Qt::BlockingQueuedConnection);
}

void TPubFunc::ShowMsgBox(const QString& text, int kind)
{
    if (kind != NoticeInformation && kind != NoticeWarning) {
        return;
    }
    const QString caption = QString::fromUtf8(kind == NoticeInformation ? CaptionInformation : CaptionWarning);
    if (BoxShowerOf != nullptr) {
        BoxShowerOf(kind, caption, text);
    } else {
        qWarning("%s: %s", qUtf8Printable(caption), qUtf8Printable(text));
    }
}

QString TPubFunc::NoticeText(const QByteArray& buffer)
{
    const qsizetype end = buffer.indexOf('\0');
    return CodePage::ToUnicode(end < 0 ? buffer : buffer.left(end));
}

QByteArray TPubFunc::NoticeBuffer(const QString& text)
{
    QByteArray buffer = CodePage::FromUnicode(text);
    buffer.append('\0');
    return buffer;
}
