// The collection run behind the collect and stop buttons, and its log.
#include "app/TEnterFilter.h"
#include "app/TRunReason.h"
#include "app/TSearchKeyword.h"
#include "app/uMain.h"
#include "net/TPageDownload.h"
#include "storage/TPagePipeline.h"
#include "storage/uDataModule.h"
#include "ui/TApplication.h"
#include "ui/TMessageBox.h"
#include "ui/TNumberEdit.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTime>
#include <QTimer>

QString TMainForm::SearchUrl(const QString& host, const QString& keyword, int offset)
{
    QString url = QStringLiteral("http://") + host + QStringLiteral("/search?q=") + TSearchKeyword::Escape(keyword);
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

void TMainForm::WaitIn(QEventLoop& loop)
{
    if (m_closed) {
        return;
    }
    m_waitLoop = &loop;
    loop.exec();
    m_waitLoop = nullptr;
}

bool TMainForm::DownloadPage(const QString& url, QString* text, THttpResult* outcome)
{
    THttpOptions options;
    options.ConnectMs = m_params.ConnectTimeoutMs;
    options.SilenceMs = m_params.TimeoutMs;
    options.DeadlineMs = m_params.PageDeadlineMs;
    TPageDownload download;
    QEventLoop loop;
    bool finished = false;
    connect(&download, &TPageDownload::Finished, &loop, [&](const QString& page, const THttpResult& result) {
        *text = page;
        *outcome = result;
        finished = true;
        loop.quit();
    });
    download.Start(url, options);
    WaitIn(loop);
    return finished; // an unfinished download is given up as it goes out of scope
}

// A database that another writer holds (the engine waits up to its busy timeout) or a slow disk must not
// freeze the window, so the rows go to the file on a thread of their own while the window's events go on.
// Nothing changes the goods query meanwhile: the run waits here, the grid only reads it, and closing the
// window waits for the write before the file closes. The numbers the rows got are taken on this thread.
bool TMainForm::WriteGoodsRows(QString* error)
{
    std::vector<qint64> ids;
    bool written = false;
    QEventLoop loop;
    m_writer = std::thread([&] {
        written = m_dm->WriteGoodsRows(&ids, error);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(); // also ends when the application quits; the join below then waits for the write
    JoinWriter();
    if (written) {
        m_dm->TakeGoodsIds(ids);
    }
    return written;
}

void TMainForm::JoinWriter()
{
    if (m_writer.joinable()) {
        m_writer.join();
    }
}

bool TMainForm::Pause(int ms)
{
    if (ms > 0) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        WaitIn(loop);
    }
    return ProcessMessages();
}

bool TMainForm::KeywordIsSearchable(const QString& keyword)
{
    const QString missing = TSearchKeyword::MissingCharacter(keyword);
    if (missing.isEmpty()) {
        return true;
    }
    TMessageBox::Show(
        TMessageBox::Warning, QStringLiteral("警告"),
        QStringLiteral("关键字中的字符“%1”无法搜索：网站使用的 GBK 编码中没有这个字符。请删去或换掉它。").arg(missing));
    return false;
}

// The combo box holds the keyboard focus for its line edit (the line edit's focus proxy) and hands keys on to
// it directly, so a filter on the line edit alone never sees a key typed by the user: the filter watches both.
// It takes Enter, so the combo box neither inserts the keyword nor acts on it again.
void TMainForm::SetUpSearchBox()
{
    cbSearch->lineEdit()->setMaxLength(MaxKeywordLength);
    auto* enter = new TEnterFilter(cbSearch, [this]() {
        if (RzBitBtn1->isEnabled()) {
            RzBitBtn1Click();
        }
    });
    cbSearch->installEventFilter(enter);
    cbSearch->lineEdit()->installEventFilter(enter);
}

void TMainForm::ShowReason(const QString& cause, const QString& address)
{
    if (cause.isEmpty()) {
        RzStatusPane1->setText(m_statusHint);
        RzStatusPane1->setToolTip(QString());
        return;
    }
    const QString line = QStringLiteral("原因：") + cause;
    AddLog(line);
    if (!address.isEmpty()) {
        AddLog(QStringLiteral("转到的完整地址：") + address);
    }
    RzStatusPane1->setText(line);
    RzStatusPane1->setToolTip(line);
}

void TMainForm::SetRunning(bool running)
{
    m_running = running;
    RzBitBtn1->setEnabled(!running);
    RzBitBtn2->setEnabled(running);
    btnExport->setEnabled(!running);
}

void TMainForm::RzBitBtn1Click()
{
    if (m_running) {
        return; // a press during a run is ignored
    }
    if (!DatabaseReady() || !KeywordIsSearchable(cbSearch->currentText())) {
        return;
    }
    // However the run ends, the window is ready for the next one.
    SetRunning(true);
    const auto ended = qScopeGuard([this]() { SetRunning(false); });
    QString error;
    if (!m_dm->OpenGoodsQuery(&error)) {
        TApplication::HandleError(error);
        return;
    }
    ShowReason(QString());
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
        QString text;
        THttpResult download;
        DownloadPage(SearchUrl(m_params.Host, keyword, offset), &text, &download);
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
            ShowReason(TRunReason::Of(download, m_pageResult, m_params), TRunReason::FullAddress(download));
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
            ShowReason(TRunReason::Of(download, m_pageResult, m_params), TRunReason::FullAddress(download));
            break;
        }
        stored += count;
        SetRunProgress(QStringLiteral("第 %1/%2 页，已保存 %3 条").arg(page).arg(pageCount).arg(stored));
        AddLog(QStringLiteral("完成数据保存"));
        AddLog(QString());
        if (!Pause(m_params.PauseMs) || StopFlag) {
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
    TPagePipeline pipeline(*m_dm);
    pipeline.SetWriter([this](QString* failure) { return WriteGoodsRows(failure); });
    m_pageResult = pipeline.Store(keyword, block, PageFormat);
    if (m_pageResult.Failure == TPageFailure::StoreFailed) {
        *error = m_pageResult.Detail;
    }
    return m_pageResult.Stored;
}
