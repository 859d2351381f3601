#include "app/THistoryWindow.h"

#include "app/TDisplayText.h"
#include "app/THistoryChart.h"
#include "app/TLibraryModel.h"
#include "app/TWindowPlace.h"
#include "library/TLibraryWorker.h"
#include "storage/TRunRecords.h"
#include "ui/TGoodsGrid.h"
#include "ui/TGridView.h"
#include "ui/TSystemBrowser.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace {
const QSize DefaultSize(780, 580);

QStandardItem* Cell(const QString& text, bool number = false)
{
    auto* item = new QStandardItem(text);
    item->setEditable(false);
    if (number) {
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    return item;
}

QString RunText(const TListingHistory::TSighting& sighting)
{
    if (sighting.RunId == 0) {
        return QStringLiteral("（无运行记录）");
    }
    return TRunRecords::OutcomeText(sighting.Outcome);
}

QString Summary(const TListingHistory& history)
{
    const auto time
        = [](const QString& iso) { return iso.isEmpty() ? QStringLiteral("时间不详") : TDisplayText::Time(iso); };
    if (history.Sightings.empty()) {
        return QStringLiteral("没有这个商品的采集记录");
    }
    if (history.SeenOnce()) {
        const TListingHistory::TSighting& only = history.Sightings.front();
        return QStringLiteral("只采集到一次：%1，价格 %2").arg(time(only.CollectTime), TDisplayText::Price(only.Price));
    }
    return QStringLiteral("首次采集 %1　最近采集 %2　最低价 %3　最高价 %4　共 %5 次采集")
        .arg(time(history.FirstTime), time(history.LastTime), TDisplayText::Price(history.Lowest),
             TDisplayText::Price(history.Highest))
        .arg(history.Sightings.size());
}
} // namespace

THistoryWindow::THistoryWindow(const QString& connectionString, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_worker(std::make_unique<TLibraryWorker>(connectionString))
{
    setObjectName("HistoryWindow");
    setWindowTitle(QStringLiteral("价格历史"));
    CreateControls();
    TWindowPlace::CentreOnOwnerScreen(this, parent, DefaultSize);
}

// The worker ends before the controls it reports to; it drops every job that waits.
THistoryWindow::~THistoryWindow()
{
    m_worker.reset();
}

void THistoryWindow::CreateControls()
{
    lblTitle = new QLabel(this);
    lblTitle->setObjectName("lblTitle");
    lblTitle->setTextFormat(Qt::PlainText);
    lblTitle->setWordWrap(true);
    QFont bold = lblTitle->font();
    bold.setBold(true);
    lblTitle->setFont(bold);
    lblSummary = new QLabel(this);
    lblSummary->setObjectName("lblSummary");
    lblSummary->setWordWrap(true);
    chart = new THistoryChart(this);
    grid = new TGridView(this);
    grid->setObjectName("grid");
    TGoodsGrid::Prepare(grid);
    m_rows = new QStandardItemModel(0, ColumnCount, this);
    m_rows->setHorizontalHeaderLabels({QStringLiteral("采集时间"), QStringLiteral("价格"), QStringLiteral("运费"),
                                       QStringLiteral("评价数"), QStringLiteral("关键字"), QStringLiteral("运行结果")});
    grid->setModel(m_rows);
    grid->horizontalHeader()->setStretchLastSection(true);
    TGoodsGrid::AttachActions(grid, [this](int row) {
        if (row < 0 || static_cast<size_t>(row) >= m_history.Sightings.size()) {
            return QString();
        }
        const TListingHistory::TSighting& sighting = m_history.Sightings[static_cast<size_t>(row)];
        return sighting.DetailUrl.isEmpty() ? sighting.ShopLink : sighting.DetailUrl;
    });
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(chart);
    splitter->addWidget(grid);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    lblStatus = new QLabel(this);
    lblStatus->setObjectName("lblStatus");
    lblStatus->setWordWrap(true);
    lblStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    btnOpenPage = new QPushButton(QStringLiteral("打开详情页"), this);
    btnOpenPage->setObjectName("btnOpenPage");
    btnOpenPage->setEnabled(false);
    connect(btnOpenPage, &QPushButton::clicked, this, &THistoryWindow::OpenPage);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lblStatus, 1);
    bottom->addWidget(btnOpenPage);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblTitle);
    layout->addWidget(lblSummary);
    layout->addWidget(splitter, 1);
    layout->addLayout(bottom);
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
}

THistoryWindow* THistoryWindow::ShowFor(QWidget* owner, const QString& connectionString,
                                        const THistoryQuery::TTarget& target)
{
    auto* window = owner->findChild<THistoryWindow*>(QString(), Qt::FindDirectChildrenOnly);
    if (window == nullptr) {
        window = new THistoryWindow(connectionString, owner);
    }
    window->Load(target);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

QAction* THistoryWindow::AddMenuEntry(QMenu* menu, QWidget* owner, const QString& connectionString,
                                      const THistoryQuery::TTarget& target)
{
    menu->addSeparator();
    QAction* action = menu->addAction(QStringLiteral("价格历史"), owner, [owner, connectionString, target]() {
        ShowFor(owner, connectionString, target);
    });
    action->setObjectName("actHistory");
    action->setEnabled(target.RowId > 0 || !target.ItemKey.isEmpty());
    return action;
}

bool THistoryWindow::OpensHistory(const QVariant& value)
{
    return !TSystemBrowser::LinkOf(value.toString()).isValid();
}

void THistoryWindow::WaitForWorker()
{
    m_worker->Wait();
}

void THistoryWindow::Load(const THistoryQuery::TTarget& target)
{
    const quint64 generation = ++m_generation;
    m_loaded = false;
    m_worker->Cancel(this); // the listing asked for before is no longer wanted
    chart->SetBusy();
    ShowStatus(QStringLiteral("正在读取…"), false);
    QPointer<THistoryWindow> self(this);
    TLibraryWorker* worker = m_worker.get();
    m_worker->Post(this, [self, generation, target, worker](TLibraryQuery& query) {
        TListingHistory history;
        QString error = query.IsOpen() ? QString() : worker->NotOpenError();
        if (error.isEmpty() && !THistoryQuery::Read(query.Connection(), target, &history, &error) && error.isEmpty()) {
            error = QStringLiteral("数据库没有回答");
        }
        QMetaObject::invokeMethod(
            self, [self, generation, history, error]() { self->Take(generation, history, error); },
            Qt::QueuedConnection);
    });
}

void THistoryWindow::Take(quint64 generation, const TListingHistory& history, const QString& error)
{
    if (generation != m_generation || TLibraryModel::IsInterruption(error)) {
        return; // a newer listing took its place
    }
    m_loaded = true;
    if (!error.isEmpty()) {
        m_history = TListingHistory();
        m_rows->setRowCount(0);
        chart->SetFailed();
        lblSummary->clear();
        btnOpenPage->setEnabled(false);
        ShowStatus(QStringLiteral("无法读取价格历史：") + error, true);
    } else {
        m_history = history;
        ShowHistory();
        ShowStatus(QString(), false);
    }
    emit Loaded();
}

void THistoryWindow::ShowHistory()
{
    const QString title = m_history.Sightings.empty() ? QString() : m_history.Sightings.back().Title;
    lblTitle->setText(title.isEmpty() ? QStringLiteral("（无标题）") : title);
    setWindowTitle(title.isEmpty() ? QStringLiteral("价格历史") : QStringLiteral("价格历史 - ") + title);
    lblSummary->setText(Summary(m_history));
    chart->SetHistory(m_history);
    m_rows->setRowCount(0);
    for (const TListingHistory::TSighting& sighting : m_history.Sightings) {
        auto* outcome = Cell(RunText(sighting));
        outcome->setToolTip(sighting.Reason);
        m_rows->appendRow({Cell(TDisplayText::Time(sighting.CollectTime)),
                           Cell(TDisplayText::Price(sighting.Price), true),
                           Cell(TDisplayText::Price(sighting.Fee), true),
                           Cell(sighting.Comments.isNull() ? QString() : sighting.Comments.toString(), true),
                           Cell(sighting.Keyword), outcome});
    }
    grid->resizeColumnsToContents();
    btnOpenPage->setEnabled(TSystemBrowser::LinkOf(m_history.PageLink()).isValid());
}

void THistoryWindow::ShowStatus(const QString& text, bool failure)
{
    lblStatus->setStyleSheet(failure ? QStringLiteral("color: #c00000") : QString());
    lblStatus->setText(text);
    lblStatus->setToolTip(text);
}

// A link without its scheme opens in the page viewer, as a click on a grid's link cell does; any other page
// in the user's browser.
void THistoryWindow::OpenPage()
{
    const QString link = m_history.PageLink();
    QString error;
    const bool opened = link.startsWith(QLatin1String("//")) ? TGoodsGrid::OpenLinkValue(link, &error)
                                                             : TSystemBrowser::Open(TSystemBrowser::LinkOf(link));
    if (!opened && !error.isEmpty()) {
        ShowStatus(QStringLiteral("无法打开网页：") + error, true);
    }
}
