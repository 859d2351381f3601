#include "app/TLibraryWindow.h"

#include "app/TExportDialog.h"
#include "app/TLibraryModel.h"
#include "app/TPriceChart.h"
#include "library/TLibraryWorker.h"
#include "storage/engine/TRowSet.h"
#include "storage/engine/TRowSetModel.h"
#include "storage/uDataModule.h"
#include "ui/TGoodsGrid.h"
#include "ui/TGridView.h"
#include "ui/TIndicatorHeader.h"
#include "ui/TLinkDelegate.h"
#include "ui/TMessageBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDoubleValidator>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <set>

namespace {
const int TypingPauseMs = 250;
const QStringList LinkFields = {QStringLiteral("pic_url"), QStringLiteral("detail_url"), QStringLiteral("shopLink")};
const QStringList GridFields = {"title",    "pic_url", "detail_url", "view_price", "view_fee",     "reserve_price",
                                "item_loc", "user_id", "nick",       "shopLink",   "comment_count"};

QString TitleOf(const TDM* dm, const QString& field)
{
    const TRowSet* query = dm->qrGoodsList();
    const int index = query->FieldIndex(field);
    return index >= 0 ? query->Field(index).DisplayName() : field;
}

std::vector<TLibraryModel::TColumn> RowColumns(const TDM* dm)
{
    std::vector<TLibraryModel::TColumn> columns;
    for (const QString& field : GridFields) {
        columns.push_back({field, TitleOf(dm, field)});
    }
    columns.push_back({QStringLiteral("keyname"), QStringLiteral("关键字")});
    columns.push_back({QStringLiteral("collect_time"), QStringLiteral("采集时间"), 25});
    return columns;
}

std::vector<TLibraryModel::TColumn> GroupColumns(const TDM* dm)
{
    std::vector<TLibraryModel::TColumn> columns = RowColumns(dm);
    columns.insert(columns.begin() + 1,
                   {{QStringLiteral("sightings"), QStringLiteral("次数"), 8},
                    {QStringLiteral("min_price"), QStringLiteral("最低价"), 12},
                    {QStringLiteral("max_price"), QStringLiteral("最高价"), 12}});
    for (TLibraryModel::TColumn& column : columns) {
        if (column.Field == QLatin1String("view_price")) {
            column.Title = QStringLiteral("最新价");
        } else if (column.Field == QLatin1String("collect_time")) {
            column.Title = QStringLiteral("最近采集");
        }
    }
    return columns;
}

QLineEdit* NewEdit(QWidget* parent, const char* name, const QString& placeholder, int width)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setPlaceholderText(placeholder);
    edit->setClearButtonEnabled(true);
    if (width > 0) {
        edit->setFixedWidth(width);
    }
    return edit;
}

QPushButton* NewButton(QWidget* parent, const char* name, const QString& text)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    return button;
}

QVariant PriceOf(const QLineEdit* edit, bool* ok)
{
    const QString text = edit->text().trimmed();
    *ok = true;
    if (text.isEmpty()) {
        return QVariant();
    }
    const double value = QLocale::c().toDouble(text, ok);
    return *ok ? QVariant(value) : QVariant();
}
} // namespace

TLibraryWindow::TLibraryWindow(const TDM* dm, const QString& connectionString, ExportStarter startExport,
                               QWidget* parent, std::unique_ptr<TLibraryWorker> worker)
    : QWidget(parent, Qt::Window)
    , m_connectionString(connectionString)
    , m_worker(worker != nullptr ? std::move(worker) : std::make_unique<TLibraryWorker>(connectionString))
    , m_startExport(std::move(startExport))
{
    setObjectName("LibraryWindow");
    setWindowTitle(QStringLiteral("数据库"));
    resize(1100, 640);
    m_model = new TLibraryModel(m_worker.get(), RowColumns(dm), GroupColumns(dm), this);
    CreateControls();
    CreateGrid(dm);
    QPointer<TLibraryWindow> self(this);
    m_worker->Keep([self](TLibraryQuery& query) {
        const TLibrarySql::TSchema schema = query.Schema();
        QMetaObject::invokeMethod(
            self, [self, schema]() { self->m_schema = schema; }, Qt::QueuedConnection);
    });
    RefreshAll();
}

// The worker ends before the model it reports to.
TLibraryWindow::~TLibraryWindow()
{
    m_worker->Cancel();
    m_worker.reset();
}

void TLibraryWindow::WaitForWorker()
{
    m_worker->Wait();
}

void TLibraryWindow::CreateControls()
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(CreateFilterBar());
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName("splitter");
    grid = new TGridView(splitter);
    grid->setObjectName("grid");
    chart = new TPriceChart(splitter);
    splitter->addWidget(grid);
    splitter->addWidget(chart);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    layout->addWidget(splitter, 1);
    lblStatus = new QLabel(this);
    lblStatus->setObjectName("lblStatus");
    layout->addWidget(lblStatus);
    m_applyTimer = new QTimer(this);
    m_applyTimer->setSingleShot(true);
    m_applyTimer->setInterval(TypingPauseMs);
    connect(m_applyTimer, &QTimer::timeout, this, &TLibraryWindow::ApplyFilter);
    auto* refresh = new QShortcut(QKeySequence(Qt::Key_F5), this);
    refresh->setContext(Qt::WindowShortcut);
    connect(refresh, &QShortcut::activated, this, &TLibraryWindow::RefreshAll);
}

QWidget* TLibraryWindow::CreateFilterBar()
{
    auto* bar = new QWidget(this);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    edSearch = NewEdit(bar, "edSearch", QStringLiteral("搜索标题、旺旺昵称、地点"), 0);
    cbKeyword = new QComboBox(bar);
    cbKeyword->setObjectName("cbKeyword");
    cbKeyword->setMinimumContentsLength(14);
    cbKeyword->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    cbKeyword->addItem(QStringLiteral("全部关键字"));
    edMinPrice = NewEdit(bar, "edMinPrice", QStringLiteral("最低价"), 70);
    edMaxPrice = NewEdit(bar, "edMaxPrice", QStringLiteral("最高价"), 70);
    edLocation = NewEdit(bar, "edLocation", QStringLiteral("地点"), 90);
    chkDate = new QCheckBox(QStringLiteral("采集日期"), bar);
    chkDate->setObjectName("chkDate");
    deDate = new QDateEdit(QDate::currentDate(), bar);
    deDate->setObjectName("deDate");
    deDate->setCalendarPopup(true);
    deDate->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    chkGroup = new QCheckBox(QStringLiteral("合并相同商品"), bar);
    chkGroup->setObjectName("chkGroup");
    btnRefresh = NewButton(bar, "btnRefresh", QStringLiteral("刷新"));
    btnRefresh->setToolTip(QStringLiteral("重新读取数据库（F5）"));
    btnExport = NewButton(bar, "btnExport", QStringLiteral("导出"));
    btnDelete = NewButton(bar, "btnDelete", QStringLiteral("删除所选"));
    btnDeleteKeyword = NewButton(bar, "btnDeleteKeyword", QStringLiteral("删除该关键字"));
    for (QWidget* widget : std::initializer_list<QWidget*>{edSearch, cbKeyword, edMinPrice, new QLabel("–", bar),
                                                           edMaxPrice, edLocation, chkDate, deDate, chkGroup,
                                                           btnRefresh, btnExport, btnDelete, btnDeleteKeyword}) {
        row->addWidget(widget, widget == edSearch ? 1 : 0);
    }
    for (QLineEdit* edit : {edSearch, edMinPrice, edMaxPrice, edLocation}) {
        connect(edit, &QLineEdit::textChanged, this, &TLibraryWindow::ScheduleApply);
    }
    connect(cbKeyword, &QComboBox::activated, this, &TLibraryWindow::ApplyFilter);
    connect(chkDate, &QCheckBox::toggled, this, &TLibraryWindow::ApplyFilter);
    connect(deDate, &QDateEdit::dateChanged, this, [this]() {
        if (chkDate->isChecked()) {
            ApplyFilter();
        }
    });
    connect(chkGroup, &QCheckBox::toggled, this, &TLibraryWindow::ApplyFilter);
    connect(btnRefresh, &QPushButton::clicked, this, &TLibraryWindow::RefreshAll);
    connect(btnExport, &QPushButton::clicked, this, &TLibraryWindow::ExportClick);
    connect(btnDelete, &QPushButton::clicked, this, &TLibraryWindow::DeleteClick);
    connect(btnDeleteKeyword, &QPushButton::clicked, this, &TLibraryWindow::DeleteKeywordClick);
    return bar;
}

void TLibraryWindow::CreateGrid(const TDM* dm)
{
    Q_UNUSED(dm);
    m_linkDelegate = TGoodsGrid::Prepare(grid);
    grid->setModel(m_model);
    grid->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    grid->horizontalHeader()->setSortIndicatorShown(true);
    grid->setSortingEnabled(true);
    TGoodsGrid::AttachActions(grid);
    connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& current) {
        static_cast<TIndicatorHeader*>(grid->verticalHeader())->SetCurrentRow(current.row());
    });
    connect(m_model, &QAbstractItemModel::modelReset, this, &TLibraryWindow::MarkLinkColumns);
    connect(m_model, &TLibraryModel::CountsChanged, this, &TLibraryWindow::ShowCounts);
    connect(m_model, &TLibraryModel::QueryFailed, this, &TLibraryWindow::ShowError);
    MarkLinkColumns();
}

void TLibraryWindow::MarkLinkColumns()
{
    QSet<int> links;
    const int digit = grid->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    for (int column = 0; column < m_model->columnCount(); ++column) {
        if (LinkFields.contains(m_model->FieldOfColumn(column))) {
            links.insert(column);
        }
        const int characters = m_model->headerData(column, Qt::Horizontal, TRowSetModel::DisplayWidthRole).toInt();
        grid->horizontalHeader()->resizeSection(column, characters * digit + 4);
    }
    m_linkDelegate->SetLinkColumns(links);
}

void TLibraryWindow::ScheduleApply()
{
    m_worker->Cancel(); // the query that runs is for text that is no longer there
    m_applyTimer->start();
}

bool TLibraryWindow::ReadFilter(TLibraryFilter* filter, QString* error) const
{
    filter->Search = edSearch->text();
    filter->ByKeyword = cbKeyword->currentIndex() > 0;
    filter->Keyword = cbKeyword->currentData().toString();
    bool ok = false;
    filter->MinPrice = PriceOf(edMinPrice, &ok);
    if (!ok) {
        *error = QStringLiteral("最低价“%1”不是数字").arg(edMinPrice->text());
        return false;
    }
    filter->MaxPrice = PriceOf(edMaxPrice, &ok);
    if (!ok) {
        *error = QStringLiteral("最高价“%1”不是数字").arg(edMaxPrice->text());
        return false;
    }
    filter->Location = edLocation->text();
    filter->CollectDate = chkDate->isChecked() ? deDate->date() : QDate();
    return filter->Validate(error);
}

void TLibraryWindow::ApplyFilter()
{
    m_applyTimer->stop();
    TLibraryFilter filter;
    QString error;
    if (!ReadFilter(&filter, &error)) {
        ShowError(error); // the grid keeps the view it had
        return;
    }
    m_error.clear();
    m_model->SetView(filter, chkGroup->isChecked());
    LoadPrices();
}

// The rows first: the keyword list waits behind the first page.
void TLibraryWindow::RefreshAll()
{
    ApplyFilter();
    LoadKeywords();
}

void TLibraryWindow::ShowCounts()
{
    if (!m_error.isEmpty()) {
        return;
    }
    const qint64 total = m_model->TotalRows();
    const qint64 listings = m_model->Listings();
    QString text;
    if (total < 0) {
        text = QStringLiteral("正在查询…");
    } else if (m_model->Grouped()) {
        text = QStringLiteral("共 %1 个商品（相同商品已合并）").arg(total);
    } else {
        text = QStringLiteral("共 %1 条，%2 个商品")
                   .arg(total)
                   .arg(listings < 0 ? QStringLiteral("…") : QString::number(listings));
    }
    lblStatus->setStyleSheet(QString());
    lblStatus->setText(text);
}

void TLibraryWindow::ShowError(const QString& error)
{
    if (error == QLatin1String("interrupted")) {
        return; // a newer query took its place
    }
    m_error = error;
    lblStatus->setStyleSheet(QStringLiteral("color: #c00000"));
    lblStatus->setText(error);
}

void TLibraryWindow::LoadKeywords()
{
    const quint64 generation = ++m_keywordsGeneration;
    QPointer<TLibraryWindow> self(this);
    m_worker->Keep([self, generation](TLibraryQuery& query) {
        std::vector<std::pair<QString, qint64>> keywords;
        QString error;
        if (!query.IsOpen() || !query.Keywords(&keywords, &error)) {
            return;
        }
        QMetaObject::invokeMethod(
            self,
            [self, generation, keywords]() {
                if (generation == self->m_keywordsGeneration) {
                    self->TakeKeywords(keywords);
                }
            },
            Qt::QueuedConnection);
    });
}

void TLibraryWindow::TakeKeywords(const std::vector<std::pair<QString, qint64>>& keywords)
{
    const QString current = cbKeyword->currentData().toString();
    const bool filtered = cbKeyword->currentIndex() > 0;
    cbKeyword->clear();
    qint64 all = 0;
    for (const auto& [keyword, rows] : keywords) {
        all += rows;
    }
    cbKeyword->addItem(QStringLiteral("全部关键字（%1）").arg(all));
    for (const auto& [keyword, rows] : keywords) {
        cbKeyword->addItem(QStringLiteral("%1（%2）").arg(keyword).arg(rows), keyword);
    }
    const int index = filtered ? cbKeyword->findData(current) : 0;
    cbKeyword->setCurrentIndex(std::max(index, 0));
    if (filtered && index < 0) {
        ApplyFilter(); // the keyword is gone
    }
}

void TLibraryWindow::LoadPrices()
{
    chart->SetBusy();
    const quint64 generation = ++m_pricesGeneration;
    QPointer<TLibraryWindow> self(this);
    m_worker->Post([self, generation](TLibraryQuery& query) {
        std::vector<double> prices;
        QString error;
        if (!query.IsOpen() || !query.Prices(&prices, &error)) {
            return;
        }
        const TPriceStats stats = TPriceStats::FromSorted(prices);
        QMetaObject::invokeMethod(
            self,
            [self, generation, stats]() {
                if (generation == self->m_pricesGeneration) {
                    self->chart->SetStats(stats);
                }
            },
            Qt::QueuedConnection);
    });
}

std::vector<int> TLibraryWindow::SelectedRows() const
{
    std::set<int> rows;
    for (const QModelIndex& index : grid->selectionModel()->selectedIndexes()) {
        if (m_model->IsLoaded(index.row())) {
            rows.insert(index.row());
        }
    }
    return {rows.begin(), rows.end()};
}

void TLibraryWindow::DeleteClick()
{
    const std::vector<int> rows = SelectedRows();
    if (rows.empty()) {
        ShowError(QStringLiteral("没有选中的行"));
        return;
    }
    const bool grouped = m_model->Grouped();
    const QString question = grouped
        ? QStringLiteral("删除所选 %1 个商品的全部采集记录？此操作不能撤销。").arg(rows.size())
        : QStringLiteral("删除所选的 %1 行？此操作不能撤销。").arg(rows.size());
    if (!TMessageBox::Ask(QStringLiteral("删除"), question)) {
        return;
    }
    std::vector<qint64> ids;
    QStringList items;
    for (const int row : rows) {
        ids.push_back(m_model->RowValue(row, QStringLiteral("id")).toLongLong());
        items.append(m_model->RowValue(row, QStringLiteral("item")).toString());
    }
    RunDelete([grouped, ids, items](TLibraryQuery& query, qint64* deleted, QString* error) {
        return grouped ? query.DeleteListings(items, deleted, error) : query.DeleteIds(ids, deleted, error);
    });
}

void TLibraryWindow::DeleteKeywordClick()
{
    if (cbKeyword->currentIndex() <= 0) {
        ShowError(QStringLiteral("请先在关键字列表中选择要删除的关键字"));
        return;
    }
    const QString keyword = cbKeyword->currentData().toString();
    if (!TMessageBox::Ask(QStringLiteral("删除"),
                          QStringLiteral("删除关键字“%1”的全部行？此操作不能撤销。").arg(keyword))) {
        return;
    }
    RunDelete([keyword](TLibraryQuery& query, qint64* deleted, QString* error) {
        return query.DeleteKeyword(keyword, deleted, error);
    });
}

void TLibraryWindow::RunDelete(std::function<bool(TLibraryQuery&, qint64*, QString*)> work)
{
    m_worker->Cancel();
    QPointer<TLibraryWindow> self(this);
    m_worker->Keep([self, work](TLibraryQuery& query) {
        qint64 deleted = 0;
        QString error;
        const bool ok = query.IsOpen() && work(query, &deleted, &error);
        QMetaObject::invokeMethod(
            self,
            [self, ok, deleted, error]() {
                if (!ok) {
                    TMessageBox::Show(TMessageBox::Critical, QStringLiteral("删除失败"), error);
                    return;
                }
                self->RefreshAll();
                self->lblStatus->setText(QStringLiteral("已删除 %1 行").arg(deleted));
            },
            Qt::QueuedConnection);
    });
}

void TLibraryWindow::ExportClick()
{
    if (!m_startExport) {
        return;
    }
    QStringList keywords;
    for (int i = 1; i < cbKeyword->count(); ++i) {
        keywords.append(cbKeyword->itemData(i).toString());
    }
    const qint64 total = std::max<qint64>(m_model->TotalRows(), 0);
    TExportDialog dialog(keywords, static_cast<int>(std::min<qint64>(total, std::numeric_limits<int>::max())), this);
    if (!dialog.Run()) {
        return;
    }
    TExportRequest request;
    request.FileFormat = dialog.Format();
    request.Path = dialog.Path();
    const QHeaderView* header = grid->horizontalHeader();
    const bool grouped = m_model->Grouped();
    const bool viewRows = dialog.Source() == TExportRequest::GivenRows;
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        const QString field = m_model->FieldOfColumn(logical);
        // The table's own rows have no grouped columns.
        if (!header->isSectionHidden(logical) && (viewRows || TLibraryQuery::Columns().contains(field))) {
            request.Columns.push_back({field, m_model->headerData(logical, Qt::Horizontal).toString()});
        }
    }
    request.RowSource = TExportRequest::TableRows;
    request.ConnectionString = m_connectionString;
    if (!viewRows) {
        request.FilterKeyword = dialog.FilterKeyword();
        request.Keyword = dialog.Keyword();
        m_startExport(std::move(request));
        return;
    }
    if (!grouped) {
        request.TableCondition = TLibrarySql::Where(m_model->Filter(), m_schema).Literal(" and ");
        m_startExport(std::move(request));
        return;
    }
    // The grouped view exists only on the worker's connection: its rows travel with the request.
    request.RowSource = TExportRequest::GivenRows;
    QPointer<TLibraryWindow> self(this);
    auto shared = std::make_shared<TExportRequest>(std::move(request));
    m_worker->Keep([self, shared](TLibraryQuery& query) {
        std::vector<TLibraryQuery::TRow> rows;
        QString error;
        if (!query.IsOpen() || !query.PageAt(0, std::numeric_limits<int>::max(), &rows, &error)) {
            return;
        }
        const QStringList& names = TLibraryQuery::GroupColumns();
        for (const TLibraryQuery::TRow& row : rows) {
            for (const TExportColumn& column : shared->Columns) {
                shared->Rows.push_back(row.Values.value(names.indexOf(column.Field)));
            }
        }
        QMetaObject::invokeMethod(
            self, [self, shared]() { self->m_startExport(std::move(*shared)); }, Qt::QueuedConnection);
    });
}
