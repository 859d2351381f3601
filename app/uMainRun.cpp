// The collection run behind the collect and stop buttons, and its log.
#include "app/uMain.h"
#include "net/HttpGetString.h"
#include "storage/TPagePipeline.h"
#include "storage/uDataModule.h"
#include "ui/TApplication.h"
#include "ui/TNumberEdit.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QThread>
#include <QTime>

QString TMainForm::SearchUrl(const QString& host, const QString& keyword, int offset)
{
    QString url = QStringLiteral("http://") + host + QStringLiteral("/search?q=") + keyword;
    if (offset > 0) {
        url += QStringLiteral("&s=%1").arg(offset);
    }
    return url;
}

void TMainForm::AddLog(const QString& message)
{
    RzMemo2->appendPlainText(QTime::currentTime().toString(QStringLiteral("hh:mm:ss")) + QStringLiteral(":   ")
                             + message);
}

bool TMainForm::ProcessMessages()
{
    QCoreApplication::processEvents();
    return !m_closed;
}

void TMainForm::RzBitBtn1Click()
{
    if (m_running) {
        return; // a press during a run is ignored
    }
    // However the run ends, the window is ready for the next one.
    m_running = true;
    btnExport->setEnabled(false);
    const auto ended = qScopeGuard([this]() {
        m_running = false;
        btnExport->setEnabled(true);
    });
    QString error;
    if (!m_dm->OpenGoodsQuery(&error)) {
        TApplication::HandleError(error);
        return;
    }
    StopFlag = false;
    const int pageCount = edPageNum->ReadValue();
    AddLog(QStringLiteral("=======开始采集======="));
    const QString keyword = cbSearch->currentText();
    if (!CollectPages(keyword, pageCount)) {
        return; // storing failed: the error has been shown and the run ends without a closing line
    }
    AddLog(StopFlag ? QStringLiteral("=======中止采集=======") : QStringLiteral("=======完成采集======="));
}

bool TMainForm::CollectPages(const QString& keyword, int pageCount)
{
    int offset = 0;
    int stored = 0;
    for (int page = 1; page <= pageCount; ++page) {
        SetRunProgress(QStringLiteral("第 %1/%2 页，已保存 %3 条").arg(page).arg(pageCount).arg(stored));
        AddLog(QStringLiteral("正在采集第%1页").arg(page));
        QString text = HttpGetString(SearchUrl(m_params.Host, keyword, offset), m_params.TimeoutMs);
        AddLog(QStringLiteral("完成网络提取"));
        if (!ProcessMessages()) {
            break;
        }
        text = ExtractPageJson(std::move(text));
        if (!ProcessMessages()) {
            break;
        }
        if (text.isEmpty()) {
            AddLog(QStringLiteral("错误： ") + keyword);
            break;
        }
        QString error;
        const int count = StorePageJson(keyword, text, &error);
        if (!error.isEmpty()) {
            TApplication::HandleError(error);
            return false;
        }
        if (!ProcessMessages()) {
            break;
        }
        if (count <= 0) {
            AddLog(QStringLiteral("没有数据保存"));
            break;
        }
        stored += count;
        SetRunProgress(QStringLiteral("第 %1/%2 页，已保存 %3 条").arg(page).arg(pageCount).arg(stored));
        AddLog(QStringLiteral("完成数据保存"));
        AddLog(QString());
        QThread::msleep(static_cast<unsigned long>(m_params.PauseMs));
        if (!ProcessMessages() || StopFlag) {
            break;
        }
        offset += count;
    }
    SetRunProgress(QStringLiteral("本次采集共 %1 条").arg(stored));
    return true;
}

void TMainForm::RzBitBtn2Click()
{
    StopFlag = true;
}

QString TMainForm::ExtractPageJson(QString page)
{
    QString block;
    m_pageResult = TPagePipeline::Cut(std::move(page), &block);
    PageFormat = m_pageResult.Framing;
    return block;
}

int TMainForm::StorePageJson(const QString& keyword, const QString& block, QString* error)
{
    m_pageResult = TPagePipeline(*m_dm).Store(keyword, block, PageFormat);
    if (m_pageResult.Failure == TPageFailure::StoreFailed) {
        *error = m_pageResult.Detail;
    }
    return m_pageResult.Stored;
}
