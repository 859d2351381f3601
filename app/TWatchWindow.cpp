#include "app/TWatchWindow.h"

#include "app/TWatchScheduler.h"
#include "collect/TSearchKeyword.h"
#include "storage/TAlerts.h"
#include "storage/TRunComparison.h"
#include "storage/TRunRecords.h"
#include "storage/TWatchList.h"
#include "ui/TMessageBox.h"
#include "ui/TSystemBrowser.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
QString Shown(const QString& isoTime)
{
    const QDateTime time = QDateTime::fromString(isoTime, Qt::ISODate);
    return time.isValid() ? time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")) : isoTime;
}

QString PriceText(const QVariant& price)
{
    return price.isNull() ? QStringLiteral("—") : QString::number(price.toDouble(), 'f', 2);
}

QTableWidgetItem* Cell(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

QTableWidget* NewGrid(QWidget* parent, const char* name, const QStringList& titles)
{
    auto* grid = new QTableWidget(0, static_cast<int>(titles.size()), parent);
    grid->setObjectName(name);
    grid->setHorizontalHeaderLabels(titles);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setStretchLastSection(true);
    return grid;
}
} // namespace

TWatchWindow::TWatchWindow(TConnection* connection, TWatchScheduler* scheduler, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_connection(connection)
    , m_scheduler(scheduler)
{
    setObjectName("WatchWindow");
    setWindowTitle(QStringLiteral("监控"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(CreateForm());
    layout->addWidget(CreateWatchGrid(), 3);
    layout->addWidget(new QLabel(QStringLiteral("提醒（最新的在前）"), this));
    layout->addWidget(CreateAlertGrid(), 2);
    lblStatus = new QLabel(this);
    lblStatus->setObjectName("lblStatus");
    layout->addWidget(lblStatus);
    resize(900, 560);
    connect(m_scheduler, &TWatchScheduler::WatchRan, this, &TWatchWindow::Refresh);
    Refresh();
}

QWidget* TWatchWindow::CreateForm()
{
    auto* form = new QWidget(this);
    auto* row = new QHBoxLayout(form);
    row->setContentsMargins(0, 0, 0, 0);
    edKeyword = new QLineEdit(form);
    edKeyword->setObjectName("edKeyword");
    edKeyword->setPlaceholderText(QStringLiteral("关键字"));
    edKeyword->setMaxLength(100);
    edKeyword->setMinimumWidth(160);
    spPages = new QSpinBox(form);
    spPages->setObjectName("spPages");
    spPages->setRange(1, 100);
    spPages->setValue(3);
    spPages->setSuffix(QStringLiteral(" 页"));
    spEvery = new QDoubleSpinBox(form);
    spEvery->setObjectName("spEvery");
    spEvery->setRange(0.5, 168);
    spEvery->setSingleStep(0.5);
    spEvery->setDecimals(1);
    spEvery->setValue(24);
    spEvery->setPrefix(QStringLiteral("每 "));
    spEvery->setSuffix(QStringLiteral(" 小时"));
    chkDrop = new QCheckBox(QStringLiteral("降价至少"), form);
    chkDrop->setObjectName("chkDrop");
    spDrop = new QDoubleSpinBox(form);
    spDrop->setObjectName("spDrop");
    spDrop->setRange(0.1, 100);
    spDrop->setValue(10);
    spDrop->setSuffix(QStringLiteral(" %"));
    chkBelow = new QCheckBox(QStringLiteral("价格不高于"), form);
    chkBelow->setObjectName("chkBelow");
    spBelow = new QDoubleSpinBox(form);
    spBelow->setObjectName("spBelow");
    spBelow->setRange(0, 1e9);
    spBelow->setDecimals(2);
    btnAdd = new QPushButton(QStringLiteral("添加"), form);
    btnAdd->setObjectName("btnAdd");
    connect(btnAdd, &QPushButton::clicked, this, &TWatchWindow::AddClick);
    for (QWidget* widget :
         {static_cast<QWidget*>(edKeyword), static_cast<QWidget*>(spPages), static_cast<QWidget*>(spEvery),
          static_cast<QWidget*>(chkDrop), static_cast<QWidget*>(spDrop), static_cast<QWidget*>(chkBelow),
          static_cast<QWidget*>(spBelow), static_cast<QWidget*>(btnAdd)}) {
        row->addWidget(widget);
    }
    row->addStretch();
    return form;
}

QWidget* TWatchWindow::CreateWatchGrid()
{
    auto* box = new QWidget(this);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    gridWatches = NewGrid(box, "gridWatches",
                          {QStringLiteral("编号"), QStringLiteral("关键字"), QStringLiteral("页数"),
                           QStringLiteral("间隔（小时）"), QStringLiteral("降价提醒"), QStringLiteral("低价提醒"),
                           QStringLiteral("启用"), QStringLiteral("上次运行"), QStringLiteral("结果"),
                           QStringLiteral("条数"), QStringLiteral("变化")});
    connect(gridWatches, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (!m_filling && item->column() == ColEnabled) {
            EnabledChanged(item->row());
        }
    });
    layout->addWidget(gridWatches);
    auto* buttons = new QHBoxLayout;
    btnRunNow = new QPushButton(QStringLiteral("立即运行"), box);
    btnRunNow->setObjectName("btnRunNow");
    btnRemove = new QPushButton(QStringLiteral("删除"), box);
    btnRemove->setObjectName("btnRemove");
    connect(btnRunNow, &QPushButton::clicked, this, &TWatchWindow::RunNowClick);
    connect(btnRemove, &QPushButton::clicked, this, &TWatchWindow::RemoveClick);
    buttons->addWidget(btnRunNow);
    buttons->addWidget(btnRemove);
    buttons->addStretch();
    layout->addLayout(buttons);
    return box;
}

QWidget* TWatchWindow::CreateAlertGrid()
{
    gridAlerts
        = NewGrid(this, "gridAlerts",
                  {QStringLiteral("时间"), QStringLiteral("关键字"), QStringLiteral("标题"), QStringLiteral("原价"),
                   QStringLiteral("现价"), QStringLiteral("规则"), QStringLiteral("链接")});
    connect(gridAlerts, &QTableWidget::cellClicked, this, &TWatchWindow::AlertClicked);
    return gridAlerts;
}

void TWatchWindow::Say(const QString& text)
{
    lblStatus->setText(text);
}

void TWatchWindow::Refresh()
{
    ShowWatches();
    ShowAlerts();
}

void TWatchWindow::ShowWatches()
{
    QString error;
    m_watches.clear();
    if (!TWatchList(m_connection).List(&m_watches, &error)) {
        Say(QStringLiteral("无法读取监控：") + error);
        return;
    }
    m_filling = true;
    gridWatches->setRowCount(static_cast<int>(m_watches.size()));
    for (int row = 0; row < gridWatches->rowCount(); ++row) {
        ShowWatch(row, m_watches[static_cast<size_t>(row)]);
    }
    m_filling = false;
}

void TWatchWindow::ShowWatch(int row, const TWatch& watch)
{
    gridWatches->setItem(row, ColId, Cell(QString::number(watch.Id)));
    gridWatches->setItem(row, ColKeyword, Cell(watch.Keyword));
    gridWatches->setItem(row, ColPages, Cell(QString::number(watch.Pages)));
    gridWatches->setItem(row, ColEvery, Cell(QString::number(watch.EveryHours)));
    gridWatches->setItem(
        row, ColDrop,
        Cell(watch.DropPercent.isNull() ? QString() : QString::number(watch.DropPercent.toDouble()) + "%"));
    gridWatches->setItem(row, ColBelow, Cell(watch.BelowPrice.isNull() ? QString() : PriceText(watch.BelowPrice)));
    auto* enabled = Cell(QString());
    enabled->setFlags(enabled->flags() | Qt::ItemIsUserCheckable);
    enabled->setCheckState(watch.Enabled ? Qt::Checked : Qt::Unchecked);
    gridWatches->setItem(row, ColEnabled, enabled);
    ShowLastRun(row, watch.LastRunId);
}

void TWatchWindow::ShowLastRun(int row, qint64 runId)
{
    TRunRecord run;
    QString error;
    if (runId == 0 || !TRunRecords(m_connection).Find(runId, &run, &error)) {
        for (int column : {ColLastRun, ColOutcome, ColRows, ColChanges}) {
            gridWatches->setItem(row, column, Cell(runId == 0 ? QStringLiteral("—") : error));
        }
        return;
    }
    gridWatches->setItem(row, ColLastRun, Cell(Shown(run.Started)));
    QTableWidgetItem* outcome = Cell(TRunRecords::OutcomeText(run.Outcome));
    outcome->setToolTip(run.Reason);
    gridWatches->setItem(row, ColOutcome, outcome);
    gridWatches->setItem(row, ColRows, Cell(QString::number(run.RowsStored)));
    QString changes = QStringLiteral("—");
    TRunRecord previous;
    std::vector<TRunChange> list;
    if (run.Outcome == QLatin1String("complete")
        && TRunRecords(m_connection).PreviousComplete(run.Keyword, run.Id, &previous, &error) && previous.Id != 0
        && TRunComparison::Compare(m_connection, previous.Id, run.Id, &list, &error)) {
        const TRunComparison::TCounts counts = TRunComparison::Count(list);
        changes = QStringLiteral("新增 %1，消失 %2，降价 %3，涨价 %4")
                      .arg(counts.New)
                      .arg(counts.Gone)
                      .arg(counts.Cheaper)
                      .arg(counts.Dearer);
    }
    gridWatches->setItem(row, ColChanges, Cell(changes));
}

void TWatchWindow::ShowAlerts()
{
    std::vector<TAlert> alerts;
    QString error;
    if (!TAlerts(m_connection).List(&alerts, &error)) {
        Say(QStringLiteral("无法读取提醒：") + error);
        return;
    }
    gridAlerts->setRowCount(static_cast<int>(alerts.size()));
    for (int row = 0; row < gridAlerts->rowCount(); ++row) {
        const TAlert& alert = alerts[static_cast<size_t>(row)];
        gridAlerts->setItem(row, 0, Cell(Shown(alert.Raised)));
        gridAlerts->setItem(row, 1, Cell(alert.Keyword));
        gridAlerts->setItem(row, 2, Cell(alert.Title));
        gridAlerts->setItem(row, 3, Cell(PriceText(alert.OldPrice)));
        gridAlerts->setItem(row, 4, Cell(PriceText(alert.NewPrice)));
        gridAlerts->setItem(
            row, 5, Cell(alert.Rule == QLatin1String("drop") ? QStringLiteral("降价") : QStringLiteral("低价")));
        QTableWidgetItem* link = Cell(alert.DetailUrl);
        link->setForeground(palette().link());
        gridAlerts->setItem(row, 6, link);
    }
}

void TWatchWindow::AlertClicked(int row, int column)
{
    const QTableWidgetItem* item = gridAlerts->item(row, 6);
    if (column != 6 || item == nullptr || item->text().isEmpty()) {
        return;
    }
    const QUrl url = TSystemBrowser::LinkOf(item->text());
    if (url.isEmpty() || !TSystemBrowser::Open(url)) {
        Say(QStringLiteral("无法打开链接：没有可以打开网页的程序。"));
    }
}

void TWatchWindow::AddClick()
{
    TWatch watch;
    watch.Keyword = edKeyword->text();
    watch.Pages = spPages->value();
    watch.EveryHours = spEvery->value();
    watch.DropPercent = chkDrop->isChecked() ? QVariant(spDrop->value()) : QVariant();
    watch.BelowPrice = chkBelow->isChecked() ? QVariant(spBelow->value()) : QVariant();
    QString error;
    const QString missing = TSearchKeyword::MissingCharacter(watch.Keyword);
    if (!missing.isEmpty()) {
        error = QStringLiteral("关键字中的字符“%1”无法搜索：网站使用的 GBK 编码中没有这个字符。").arg(missing);
    } else if (TWatchList::Validate(watch, &error) && TWatchList(m_connection).Add(watch, &error) != 0) {
        edKeyword->clear();
        Refresh();
        Say(QStringLiteral("已添加监控：") + watch.Keyword);
        m_scheduler->Check();
        return;
    }
    TMessageBox::Show(TMessageBox::Warning, QStringLiteral("监控"), error);
}

qint64 TWatchWindow::SelectedWatch() const
{
    const int row = gridWatches->currentRow();
    return row >= 0 && row < static_cast<int>(m_watches.size()) ? m_watches[static_cast<size_t>(row)].Id : 0;
}

void TWatchWindow::RunNowClick()
{
    const qint64 id = SelectedWatch();
    QString error;
    if (id == 0) {
        Say(QStringLiteral("请先选中一个监控。"));
    } else if (!m_scheduler->RunNow(id, &error)) {
        Say(error);
    }
}

void TWatchWindow::RemoveClick()
{
    const qint64 id = SelectedWatch();
    QString error;
    if (id == 0) {
        Say(QStringLiteral("请先选中一个监控。"));
        return;
    }
    if (!TMessageBox::Ask(QStringLiteral("监控"), QStringLiteral("删除这个监控？它的采集记录和提醒会保留。"))) {
        return;
    }
    if (!TWatchList(m_connection).Remove(id, &error)) {
        Say(QStringLiteral("无法删除监控：") + error);
        return;
    }
    Refresh();
    m_scheduler->Check();
}

void TWatchWindow::EnabledChanged(int row)
{
    if (row < 0 || row >= static_cast<int>(m_watches.size())) {
        return;
    }
    TWatch watch = m_watches[static_cast<size_t>(row)];
    watch.Enabled = gridWatches->item(row, ColEnabled)->checkState() == Qt::Checked;
    QString error;
    if (!TWatchList(m_connection).Update(watch, &error)) {
        Say(QStringLiteral("无法保存监控：") + error);
        return;
    }
    m_watches[static_cast<size_t>(row)] = watch;
    m_scheduler->Check();
}
