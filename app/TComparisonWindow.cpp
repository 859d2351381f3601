#include "app/TComparisonWindow.h"

#include "app/TComparisonModel.h"
#include "app/TDisplayText.h"
#include "app/TExportChoice.h"
#include "app/TExportDialog.h"
#include "app/THistoryWindow.h"
#include "app/TLibraryModel.h"
#include "app/TWindowPlace.h"
#include "library/TLibraryWorker.h"
#include "storage/TRunComparison.h"
#include "storage/TRunRecords.h"
#include "storage/engine/TRowSet.h"
#include "storage/engine/TRowSetModel.h"
#include "ui/TGoodsGrid.h"
#include "ui/TGridView.h"
#include "ui/TLinkDelegate.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QShortcut>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

#include <set>

namespace {
const QSize DefaultSize(1000, 680);
const char* const RunTitles[] = {"编号", "关键字", "开始", "结束", "页数", "行数", "结果", "原因"};

QPushButton* NewButton(QWidget* parent, const char* name, const QString& text)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    return button;
}

QTableWidgetItem* RunCell(const QString& text, const TRunRecord& run)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    item->setData(Qt::UserRole, run.Id);
    if (const QString unfit = TComparisonQuery::Unfit(run); !unfit.isEmpty()) {
        item->setForeground(QColor(128, 128, 128));
        item->setToolTip(unfit);
    }
    return item;
}

QString RunLabel(const TRunRecord& run)
{
    return QStringLiteral("运行 %1（%2）").arg(run.Id).arg(TDisplayText::Time(run.Started));
}
} // namespace

TComparisonWindow::TComparisonWindow(const QString& connectionString, ExportStarter startExport,
                                     TExportChoice* exportChoice, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_connectionString(connectionString)
    , m_worker(std::make_unique<TLibraryWorker>(connectionString))
    , m_startExport(std::move(startExport))
    , m_ownChoice(exportChoice == nullptr ? std::make_unique<TExportChoice>() : nullptr)
    , m_exportChoice(exportChoice != nullptr ? exportChoice : m_ownChoice.get())
{
    setObjectName("ComparisonWindow");
    setWindowTitle(QStringLiteral("比较两次采集"));
    CreateControls();
    TWindowPlace::CentreOnOwnerScreen(this, parent, DefaultSize);
}

// The worker ends before the controls it reports to; it drops every job that waits.
TComparisonWindow::~TComparisonWindow()
{
    m_worker.reset();
}

TComparisonWindow* TComparisonWindow::ShowFor(QWidget* owner, const QString& connectionString,
                                              ExportStarter startExport, TExportChoice* exportChoice,
                                              const QString& keyword)
{
    auto* window = owner->findChild<TComparisonWindow*>(QString(), Qt::FindDirectChildrenOnly);
    if (window == nullptr) {
        window = new TComparisonWindow(connectionString, std::move(startExport), exportChoice, owner);
    }
    if (!keyword.isEmpty()) {
        window->m_wantedKeyword = keyword;
    }
    window->Refresh();
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void TComparisonWindow::CreateControls()
{
    auto* top = new QHBoxLayout;
    auto* keywordLabel = new QLabel(QStringLiteral("关键字："), this);
    cbKeyword = new QComboBox(this);
    cbKeyword->setObjectName("cbKeyword");
    cbKeyword->setMinimumContentsLength(14);
    cbKeyword->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    btnCompareLatest = NewButton(this, "btnCompareLatest", QStringLiteral("比较最近两次完整采集"));
    top->addWidget(keywordLabel);
    top->addWidget(cbKeyword);
    top->addWidget(btnCompareLatest);
    top->addStretch(1);
    connect(cbKeyword, &QComboBox::activated, this, [this]() { CompareLatest(cbKeyword->currentText()); });
    connect(btnCompareLatest, &QPushButton::clicked, this, [this]() { CompareLatest(cbKeyword->currentText()); });

    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(CreateRunPane());
    splitter->addWidget(CreateChangePane());
    splitter->setStretchFactor(0, 2);
    splitter->setStretchFactor(1, 3);

    lblStatus = new QLabel(this);
    lblStatus->setObjectName("lblStatus");
    lblStatus->setWordWrap(true);
    lblStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    btnExport = NewButton(this, "btnExport", QStringLiteral("导出"));
    btnExport->setEnabled(false);
    connect(btnExport, &QPushButton::clicked, this, &TComparisonWindow::ExportClick);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lblStatus, 1);
    bottom->addWidget(btnExport);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(splitter, 1);
    layout->addLayout(bottom);
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
    auto* refresh = new QShortcut(QKeySequence(Qt::Key_F5), this);
    connect(refresh, &QShortcut::activated, this, &TComparisonWindow::Refresh);
}

QWidget* TComparisonWindow::CreateRunPane()
{
    auto* pane = new QWidget(this);
    auto* title = new QLabel(QStringLiteral("全部运行（最新的在前；灰色的运行没有完整结束，不能比较）"), pane);
    gridRuns = new QTableWidget(0, RunColumns, pane);
    gridRuns->setObjectName("gridRuns");
    QStringList titles;
    for (const char* text : RunTitles) {
        titles.append(QString::fromUtf8(text));
    }
    gridRuns->setHorizontalHeaderLabels(titles);
    gridRuns->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridRuns->setSelectionMode(QAbstractItemView::ExtendedSelection);
    gridRuns->verticalHeader()->hide();
    gridRuns->horizontalHeader()->setStretchLastSection(true);
    btnCompareRuns = NewButton(pane, "btnCompareRuns", QStringLiteral("比较所选的两次运行"));
    connect(btnCompareRuns, &QPushButton::clicked, this, &TComparisonWindow::CompareSelectedRuns);
    connect(gridRuns, &QTableWidget::itemSelectionChanged, this, &TComparisonWindow::RunSelectionChanged);
    auto* row = new QHBoxLayout;
    row->addWidget(title, 1);
    row->addWidget(btnCompareRuns);
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(row);
    layout->addWidget(gridRuns, 1);
    return pane;
}

QWidget* TComparisonWindow::CreateChangePane()
{
    auto* pane = new QWidget(this);
    lblCaption = new QLabel(pane);
    lblCaption->setObjectName("lblCaption");
    lblCaption->setWordWrap(true);
    cbKind = new QComboBox(pane);
    cbKind->setObjectName("cbKind");
    connect(cbKind, &QComboBox::activated, this, &TComparisonWindow::ApplyKind);
    auto* row = new QHBoxLayout;
    row->addWidget(lblCaption, 1);
    row->addWidget(new QLabel(QStringLiteral("显示："), pane));
    row->addWidget(cbKind);
    grid = new TGridView(pane);
    grid->setObjectName("grid");
    CreateGrid();
    ShowKindCounts();
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(row);
    layout->addWidget(grid, 1);
    return pane;
}

void TComparisonWindow::CreateGrid()
{
    TLinkDelegate* links = TGoodsGrid::Prepare(grid);
    m_model = new TComparisonModel(this);
    m_proxy = new QSortFilterProxyModel(this);
    m_proxy->setSourceModel(m_model);
    m_proxy->setSortRole(TComparisonModel::SortRole);
    m_proxy->setFilterRole(TComparisonModel::KindRole);
    m_proxy->setFilterKeyColumn(TComparisonModel::ColKind);
    grid->setModel(m_proxy);
    grid->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    grid->horizontalHeader()->setSortIndicatorShown(true);
    grid->setSortingEnabled(true);
    links->SetLinkColumns({TComparisonModel::ColLink});
    const int digit = grid->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    const std::pair<int, int> widths[]
        = {{TComparisonModel::ColKind, 6},  {TComparisonModel::ColTitle, 36},  {TComparisonModel::ColOld, 10},
           {TComparisonModel::ColNew, 10},  {TComparisonModel::ColChange, 10}, {TComparisonModel::ColPercent, 9},
           {TComparisonModel::ColItem, 12}, {TComparisonModel::ColLink, 34}};
    for (const auto& [column, characters] : widths) {
        grid->horizontalHeader()->resizeSection(column, characters * digit + 4);
    }
    const TGoodsGrid::RowPage rowPage = TGoodsGrid::DetailPageColumn(grid, TRowSetModel::FieldNameRole);
    TGoodsGrid::AttachActions(grid, rowPage, [this](QMenu* menu, const QModelIndex& index) {
        const QString key = m_proxy->index(index.row(), TComparisonModel::ColItem).data().toString();
        THistoryWindow::AddMenuEntry(menu, this, m_connectionString, {0, key});
    });
    connect(grid, &QTableView::clicked, this, &TComparisonWindow::OpenLinkCell);
    connect(grid, &QTableView::doubleClicked, this, &TComparisonWindow::OpenHistory);
}

void TComparisonWindow::WaitForWorker()
{
    m_worker->Wait();
}

void TComparisonWindow::Refresh()
{
    ShowStatus(QStringLiteral("正在读取运行记录…"), false);
    QPointer<TComparisonWindow> self(this);
    TLibraryWorker* worker = m_worker.get();
    m_worker->Post(this, [self, worker](TLibraryQuery& query) {
        QStringList keywords;
        std::vector<TRunRecord> runs;
        QString error = query.IsOpen() ? QString() : worker->NotOpenError();
        if (error.isEmpty()
            && (!TComparisonQuery::Keywords(query.Connection(), &keywords, &error)
                || !TComparisonQuery::Runs(query.Connection(), &runs, &error))
            && error.isEmpty()) {
            error = QStringLiteral("数据库没有回答");
        }
        QMetaObject::invokeMethod(
            self, [self, keywords, runs, error]() { self->TakeRuns(keywords, runs, error); }, Qt::QueuedConnection);
    });
}

void TComparisonWindow::TakeRuns(const QStringList& keywords, const std::vector<TRunRecord>& runs, const QString& error)
{
    if (!error.isEmpty()) {
        ShowStatus(QStringLiteral("无法读取运行记录：") + error, true);
        emit RunsLoaded();
        return;
    }
    const QString current = m_wantedKeyword.isEmpty() ? cbKeyword->currentText() : m_wantedKeyword;
    m_wantedKeyword.clear();
    cbKeyword->clear();
    cbKeyword->addItems(keywords);
    cbKeyword->setCurrentIndex(std::max<int>(0, static_cast<int>(keywords.indexOf(current))));
    m_runs = runs;
    const QSignalBlocker quiet(gridRuns); // the selection goes with the rows
    gridRuns->setRowCount(0);
    gridRuns->setRowCount(static_cast<int>(runs.size()));
    for (int row = 0; row < static_cast<int>(runs.size()); ++row) {
        const TRunRecord& run = runs[static_cast<size_t>(row)];
        const QStringList texts{QString::number(run.Id),
                                run.Keyword,
                                TDisplayText::Time(run.Started),
                                TDisplayText::Time(run.Finished),
                                QStringLiteral("%1/%2").arg(run.PagesRead).arg(run.PagesAsked),
                                QString::number(run.RowsStored),
                                TRunRecords::OutcomeText(run.Outcome),
                                run.Reason};
        for (int column = 0; column < RunColumns; ++column) {
            gridRuns->setItem(row, column, RunCell(texts.at(column), run));
        }
    }
    gridRuns->resizeColumnsToContents();
    ShowStatus(runs.empty() ? QStringLiteral("还没有运行记录：采集之后才能比较") : QString(), false);
    emit RunsLoaded();
    if (!keywords.isEmpty()) {
        CompareLatest(cbKeyword->currentText());
    }
}

void TComparisonWindow::CompareLatest(const QString& keyword)
{
    if (keyword.isEmpty()) {
        ShowStatus(QStringLiteral("请先选择关键字"), true);
        return;
    }
    Compare([keyword](TConnection* connection, TComparisonQuery::TResult* result, QString* error) {
        return TComparisonQuery::CompareLatest(connection, keyword, result, error);
    });
}

void TComparisonWindow::CompareRuns(qint64 first, qint64 second)
{
    Compare([first, second](TConnection* connection, TComparisonQuery::TResult* result, QString* error) {
        return TComparisonQuery::Compare(connection, first, second, result, error);
    });
}

// The comparison asked for before is no longer wanted: it ends, and only the newest one is shown.
void TComparisonWindow::Compare(std::function<bool(TConnection*, TComparisonQuery::TResult*, QString*)> work)
{
    const quint64 generation = ++m_generation;
    m_worker->Cancel(m_model);
    ShowStatus(QStringLiteral("正在比较…"), false);
    QPointer<TComparisonWindow> self(this);
    TLibraryWorker* worker = m_worker.get();
    m_worker->Post(m_model, [self, generation, work, worker](TLibraryQuery& query) {
        TComparisonQuery::TResult result;
        QString error = query.IsOpen() ? QString() : worker->NotOpenError();
        if (error.isEmpty() && !work(query.Connection(), &result, &error) && error.isEmpty()) {
            error = QStringLiteral("数据库没有回答");
        }
        QMetaObject::invokeMethod(
            self, [self, generation, result, error]() { self->TakeComparison(generation, result, error); },
            Qt::QueuedConnection);
    });
}

void TComparisonWindow::TakeComparison(quint64 generation, const TComparisonQuery::TResult& result,
                                       const QString& error)
{
    if (generation != m_generation || TLibraryModel::IsInterruption(error)) {
        return;
    }
    if (!error.isEmpty()) {
        // The changes shown before belong to other runs: they go, so nothing is mistaken for this comparison.
        m_result = TComparisonQuery::TResult();
        m_model->SetChanges({});
        lblCaption->clear();
        ShowKindCounts();
        btnExport->setEnabled(false);
        ShowStatus(QStringLiteral("无法比较：") + error, true);
        emit ComparisonShown();
        return;
    }
    m_result = result;
    m_model->SetChanges(result.Changes);
    SelectComparedRuns();
    const QString keyword = result.Newer.Keyword == result.Older.Keyword
        ? QStringLiteral("“%1”").arg(result.Newer.Keyword)
        : QStringLiteral("“%1”与“%2”").arg(result.Older.Keyword, result.Newer.Keyword);
    lblCaption->setText(
        QStringLiteral("关键字 %1：%2 → %3").arg(keyword, RunLabel(result.Older), RunLabel(result.Newer)));
    ShowKindCounts();
    btnExport->setEnabled(static_cast<bool>(m_startExport));
    ShowStatus(result.Changes.empty() ? QStringLiteral("两次运行之间没有变化") : QString(), false);
    emit ComparisonShown();
}

// The run list shows which two runs the changes are between.
void TComparisonWindow::SelectComparedRuns()
{
    const QSignalBlocker quiet(gridRuns); // no choice of the user's
    gridRuns->clearSelection();
    for (int row = 0; row < static_cast<int>(m_runs.size()); ++row) {
        const qint64 id = m_runs[static_cast<size_t>(row)].Id;
        if (id == m_result.Older.Id || id == m_result.Newer.Id) {
            gridRuns->selectionModel()->select(gridRuns->model()->index(row, 0),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
}

// The filter's entries say how many listings each kind has; the kind chosen stays.
void TComparisonWindow::ShowKindCounts()
{
    const QString chosen = cbKind->currentData().toString();
    const TRunComparison::TCounts counts = TRunComparison::Count(m_model->Changes());
    cbKind->clear();
    cbKind->addItem(QStringLiteral("全部变化（%1）").arg(m_model->Changes().size()), QString());
    const std::pair<TRunChange::Kind, int> kinds[] = {{TRunChange::New, counts.New},
                                                      {TRunChange::Gone, counts.Gone},
                                                      {TRunChange::Cheaper, counts.Cheaper},
                                                      {TRunChange::Dearer, counts.Dearer}};
    for (const auto& [kind, count] : kinds) {
        cbKind->addItem(QStringLiteral("%1（%2）").arg(TComparisonModel::KindText(kind)).arg(count),
                        TComparisonModel::KindName(kind));
    }
    cbKind->setCurrentIndex(std::max(0, cbKind->findData(chosen)));
    ApplyKind();
}

void TComparisonWindow::ApplyKind()
{
    const QString kind = cbKind->currentData().toString();
    m_proxy->setFilterRegularExpression(
        kind.isEmpty() ? QRegularExpression() : QRegularExpression(QLatin1Char('^') + kind + QLatin1Char('$')));
}

std::vector<TRunRecord> TComparisonWindow::SelectedRuns() const
{
    std::set<int> rows;
    for (const QModelIndex& index : gridRuns->selectionModel()->selectedRows()) {
        rows.insert(index.row());
    }
    std::vector<TRunRecord> runs;
    for (const int row : rows) {
        if (row >= 0 && static_cast<size_t>(row) < m_runs.size()) {
            runs.push_back(m_runs[static_cast<size_t>(row)]);
        }
    }
    return runs;
}

// A run that cannot be compared says so as soon as it is chosen.
void TComparisonWindow::RunSelectionChanged()
{
    for (const TRunRecord& run : SelectedRuns()) {
        if (const QString unfit = TComparisonQuery::Unfit(run); !unfit.isEmpty()) {
            ShowStatus(unfit, true);
            return;
        }
    }
    ShowStatus(QString(), false);
}

void TComparisonWindow::CompareSelectedRuns()
{
    const std::vector<TRunRecord> runs = SelectedRuns();
    if (runs.size() != 2) {
        ShowStatus(QStringLiteral("请在运行列表中选择两次运行（按住 Ctrl 点击）"), true);
        return;
    }
    for (const TRunRecord& run : runs) {
        if (const QString unfit = TComparisonQuery::Unfit(run); !unfit.isEmpty()) {
            ShowStatus(unfit, true);
            return;
        }
    }
    CompareRuns(runs[0].Id, runs[1].Id);
}

void TComparisonWindow::OpenLinkCell(const QModelIndex& index)
{
    QString error;
    if (index.isValid() && !TGoodsGrid::OpenLinkValue(index.data().toString(), &error)) {
        ShowStatus(QStringLiteral("无法打开网页：") + error, true);
    }
}

void TComparisonWindow::OpenHistory(const QModelIndex& index)
{
    if (!index.isValid() || !THistoryWindow::OpensHistory(index.data())) {
        return;
    }
    const QString key = m_proxy->index(index.row(), TComparisonModel::ColItem).data().toString();
    THistoryWindow::ShowFor(this, m_connectionString, {0, key});
}

// The rows as the grid shows them: the kind filtered by, in the grid's order, the columns in their order.
void TComparisonWindow::ExportClick()
{
    const int rows = m_proxy->rowCount();
    if (!m_startExport || rows == 0) {
        ShowStatus(QStringLiteral("没有可导出的变化"), true);
        return;
    }
    TExportDialog dialog(QStringList(), rows, this);
    dialog.rbTableRows->setEnabled(false); // the changes are no rows of the table
    if (!m_exportChoice->Ask(dialog, m_result.Newer.Keyword + QStringLiteral("_变化"))) {
        return;
    }
    TExportRequest request;
    request.RowSource = TExportRequest::GivenRows;
    request.FileFormat = dialog.Format();
    request.Path = dialog.Path();
    const QHeaderView* header = grid->horizontalHeader();
    std::vector<int> columns;
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (!header->isSectionHidden(logical)) {
            columns.push_back(logical);
            request.Columns.push_back(
                {m_model->headerData(logical, Qt::Horizontal, TRowSetModel::FieldNameRole).toString(),
                 m_model->headerData(logical, Qt::Horizontal).toString()});
        }
    }
    request.Rows.reserve(static_cast<size_t>(rows) * columns.size());
    for (int row = 0; row < rows; ++row) {
        for (const int column : columns) {
            request.Rows.push_back(m_proxy->index(row, column).data(TComparisonModel::ValueRole));
        }
    }
    m_startExport(std::move(request));
}

void TComparisonWindow::ShowStatus(const QString& text, bool failure)
{
    lblStatus->setStyleSheet(failure ? QStringLiteral("color: #c00000") : QString());
    lblStatus->setText(text);
    lblStatus->setToolTip(text);
}
