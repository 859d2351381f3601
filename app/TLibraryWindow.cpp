#include "app/TLibraryWindow.h"

#include "app/TComparisonWindow.h"
#include "app/TExportDialog.h"
#include "app/THistoryWindow.h"
#include "app/TLibraryModel.h"
#include "app/TLibraryState.h"
#include "app/TPriceChart.h"
#include "app/TWindowBounds.h"
#include "library/TLibraryWorker.h"
#include "storage/engine/TRowSet.h"
#include "storage/engine/TRowSetModel.h"
#include "storage/uDataModule.h"
#include "ui/TGoodsGrid.h"
#include "ui/TGridView.h"
#include "ui/TIndicatorHeader.h"
#include "ui/TLinkDelegate.h"
#include "ui/TMessageBox.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>
#include <set>

namespace {
const int TypingPauseMs = 250;
const QStringList LinkFields = {QStringLiteral("pic_url"), QStringLiteral("detail_url"), QStringLiteral("shopLink")};
// In the view by seller, a click on the seller narrows the rows to it.
const QString SellerLinkField = QStringLiteral("nick");
const int TimeWidth = 17; // "yyyy-MM-dd HH:mm"
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
    columns.push_back({QStringLiteral("collect_time"), QStringLiteral("采集时间"), TimeWidth});
    return columns;
}

std::vector<TLibraryModel::TColumn> SellerColumns(const TDM* dm)
{
    return {{QStringLiteral("nick"), TitleOf(dm, QStringLiteral("nick"))},
            {QStringLiteral("user_id"), TitleOf(dm, QStringLiteral("user_id"))},
            {QStringLiteral("listings"), QStringLiteral("商品数"), 8},
            {QStringLiteral("sightings"), QStringLiteral("次数"), 8},
            {QStringLiteral("min_price"), QStringLiteral("最低价"), 12},
            {QStringLiteral("median_price"), QStringLiteral("中位价"), 12},
            {QStringLiteral("max_price"), QStringLiteral("最高价"), 12},
            {QStringLiteral("comments"), QStringLiteral("评价总数"), 10},
            {QStringLiteral("collect_time"), QStringLiteral("最近采集"), TimeWidth}};
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

QDateEdit* NewDateEdit(QWidget* parent, const char* name)
{
    auto* edit = new QDateEdit(QDate::currentDate(), parent);
    edit->setObjectName(name);
    edit->setCalendarPopup(true);
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    return edit;
}

// A price bound as typed: null when empty; not ok unless it is a finite number ("inf" and "nan" are none).
QVariant PriceOf(const QLineEdit* edit, bool* ok)
{
    const QString text = edit->text().trimmed();
    *ok = true;
    if (text.isEmpty()) {
        return QVariant();
    }
    const double value = QLocale::c().toDouble(text, ok);
    *ok = *ok && std::isfinite(value);
    return *ok ? QVariant(value) : QVariant();
}

// A price bound as the box shows it; empty for none.
QString PriceText(const QVariant& price)
{
    return price.isNull() ? QString() : QLocale::c().toString(price.toDouble(), 'g', QLocale::FloatingPointShortest);
}

// The text of a keyword in the keyword list; the rows stored without one have an entry of their own.
QString KeywordTitle(const QString& keyword, qint64 rows)
{
    return QStringLiteral("%1（%2）").arg(keyword.isEmpty() ? QStringLiteral("（无关键字）") : keyword).arg(rows);
}

// The outer frame of a shown window on each side; none for a window not shown.
QMargins FrameOf(const QWidget* window)
{
    if (window == nullptr || !window->isVisible()) {
        return {};
    }
    const QRect inner = window->geometry();
    const QRect outer = window->frameGeometry();
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom()};
}
} // namespace

TLibraryWindow::TLibraryWindow(const TDM* dm, const QString& connectionString, ExportStarter startExport,
                               QWidget* parent, std::unique_ptr<TLibraryWorker> worker, TExportChoice* exportChoice)
    : QWidget(parent, Qt::Window)
    , m_connectionString(connectionString)
    , m_worker(worker != nullptr ? std::move(worker) : std::make_unique<TLibraryWorker>(connectionString))
    , m_startExport(std::move(startExport))
    , m_exportChoice(exportChoice != nullptr ? exportChoice : &m_ownChoice)
{
    setObjectName("LibraryWindow");
    setWindowTitle(QStringLiteral("数据库"));
    m_rowColumns = RowColumns(dm);
    m_model = new TLibraryModel(m_worker.get(), m_rowColumns, GroupColumns(dm), SellerColumns(dm), this);
    CreateControls();
    CreateGrid(dm);
    const TLibraryState state = TLibraryState::Load();
    RestoreState(state);
    FitToScreen(state.Size);
    QPointer<TLibraryWindow> self(this);
    m_worker->Keep([self](TLibraryQuery& query) {
        const TLibrarySql::TSchema schema = query.Schema();
        QMetaObject::invokeMethod(
            self, [self, schema]() { self->m_schema = schema; }, Qt::QueuedConnection);
    });
    RefreshAll();
}

// The worker ends before the model it reports to; it drops every job that waits. A window closed with the program
// keeps its state too.
TLibraryWindow::~TLibraryWindow()
{
    if (isVisible()) {
        SaveState();
    }
    m_worker.reset();
}

void TLibraryWindow::closeEvent(QCloseEvent* event)
{
    SaveState();
    QWidget::closeEvent(event);
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
    splitter->setChildrenCollapsible(false);
    grid = new TGridView(splitter);
    grid->setObjectName("grid");
    chart = new TPriceChart(splitter);
    splitter->addWidget(grid);
    splitter->addWidget(chart);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    layout->addWidget(splitter, 1);
    layout->addWidget(CreateActionBar());
    m_applyTimer = new QTimer(this);
    m_applyTimer->setSingleShot(true);
    m_applyTimer->setInterval(TypingPauseMs);
    connect(m_applyTimer, &QTimer::timeout, this, &TLibraryWindow::ApplyFilter);
    CreateShortcuts();
}

void TLibraryWindow::CreateShortcuts()
{
    const auto add = [this](const QKeySequence& keys, auto action) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, action);
    };
    add(QKeySequence(Qt::Key_F5), &TLibraryWindow::RefreshAll);
    add(QKeySequence::Find, [this]() {
        edSearch->setFocus(Qt::ShortcutFocusReason);
        edSearch->selectAll();
    });
    add(QKeySequence(Qt::Key_Escape), &QWidget::close);
}

// Two rows, so that nothing overlaps on a small screen: the search, the keyword and the view; then the price
// range, the location, the days of collection and the seller the rows are narrowed to.
QWidget* TLibraryWindow::CreateFilterBar()
{
    auto* bar = new QWidget(this);
    bar->setObjectName("filterBar");
    edSearch = NewEdit(bar, "edSearch", QStringLiteral("搜索标题、旺旺昵称、地点"), 0);
    edSearch->setMinimumWidth(MinSearchWidth);
    cbKeyword = new QComboBox(bar);
    cbKeyword->setObjectName("cbKeyword");
    cbKeyword->setMinimumContentsLength(14);
    cbKeyword->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cbKeyword->addItem(QStringLiteral("全部关键字"));
    chkGroup = new QCheckBox(QStringLiteral("合并相同商品"), bar);
    chkGroup->setObjectName("chkGroup");
    chkSellers = new QCheckBox(QStringLiteral("按卖家"), bar);
    chkSellers->setObjectName("chkSellers");
    chkSellers->setToolTip(
        QStringLiteral("每个卖家一行：商品数、次数、最低价、中位价、最高价、评价总数；点击卖家只看该卖家的行"));
    btnRefresh = NewButton(bar, "btnRefresh", QStringLiteral("刷新"));
    btnRefresh->setToolTip(QStringLiteral("重新读取数据库（F5）"));
    edMinPrice = NewEdit(bar, "edMinPrice", QStringLiteral("最低价"), 80);
    edMaxPrice = NewEdit(bar, "edMaxPrice", QStringLiteral("最高价"), 80);
    edLocation = NewEdit(bar, "edLocation", QStringLiteral("地点"), 110);
    chkDate = new QCheckBox(QStringLiteral("采集日期"), bar);
    chkDate->setObjectName("chkDate");
    deFrom = NewDateEdit(bar, "deFrom");
    deTo = NewDateEdit(bar, "deTo");
    btnSeller = NewButton(bar, "btnSeller", QString());
    btnSeller->setToolTip(QStringLiteral("只显示这个卖家的行；点击取消"));
    btnSeller->setMaximumWidth(160);
    btnSeller->hide();
    auto* rows = new QVBoxLayout(bar);
    rows->setContentsMargins(0, 0, 0, 0);
    auto* first = new QHBoxLayout;
    first->addWidget(edSearch, 1);
    for (QWidget* widget : std::initializer_list<QWidget*>{cbKeyword, chkGroup, chkSellers, btnRefresh}) {
        first->addWidget(widget);
    }
    auto* second = new QHBoxLayout;
    auto* dash = new QLabel(QStringLiteral("–"), bar);
    dash->setObjectName("lblPriceDash");
    auto* dateDash = new QLabel(QStringLiteral("至"), bar);
    dateDash->setObjectName("lblDateDash");
    for (QWidget* widget : std::initializer_list<QWidget*>{edMinPrice, dash, edMaxPrice, edLocation, chkDate, deFrom,
                                                           dateDash, deTo, btnSeller}) {
        second->addWidget(widget);
    }
    second->addStretch(1);
    rows->addLayout(first);
    rows->addLayout(second);
    ConnectFilterBar();
    return bar;
}

void TLibraryWindow::ConnectFilterBar()
{
    for (QLineEdit* edit : {edSearch, edMinPrice, edMaxPrice, edLocation}) {
        connect(edit, &QLineEdit::textChanged, this, &TLibraryWindow::ScheduleApply);
    }
    connect(cbKeyword, &QComboBox::activated, this, &TLibraryWindow::ApplyFilter);
    connect(chkDate, &QCheckBox::toggled, this, &TLibraryWindow::ApplyFilter);
    for (QDateEdit* edit : {deFrom, deTo}) {
        connect(edit, &QDateEdit::dateChanged, this, [this]() {
            if (chkDate->isChecked()) {
                ApplyFilter();
            }
        });
    }
    connect(chkGroup, &QCheckBox::toggled, this, &TLibraryWindow::ApplyFilter);
    connect(chkSellers, &QCheckBox::toggled, this, [this](bool sellers) {
        chkGroup->setEnabled(!sellers); // a seller's row stands for its listings already
        ApplyFilter();
    });
    connect(btnSeller, &QPushButton::clicked, this, [this]() {
        m_seller = TSeller();
        ShowSeller();
        ApplyFilter();
    });
    connect(btnRefresh, &QPushButton::clicked, this, &TLibraryWindow::RefreshAll);
}

// The status line, and beside it what acts on the rows.
QWidget* TLibraryWindow::CreateActionBar()
{
    auto* bar = new QWidget(this);
    bar->setObjectName("actionBar");
    lblStatus = new QLabel(bar);
    lblStatus->setObjectName("lblStatus");
    lblStatus->setWordWrap(true);
    // However long a message is, it never widens the window.
    lblStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    btnCompare = NewButton(bar, "btnCompare", QStringLiteral("比较"));
    btnCompare->setToolTip(QStringLiteral("比较一个关键字的两次采集：新增、消失、降价、涨价的商品"));
    btnExport = NewButton(bar, "btnExport", QStringLiteral("导出"));
    btnDelete = NewButton(bar, "btnDelete", QStringLiteral("删除所选"));
    btnDeleteKeyword = NewButton(bar, "btnDeleteKeyword", QStringLiteral("删除该关键字"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(lblStatus, 1);
    for (QPushButton* button : {btnCompare, btnExport, btnDelete, btnDeleteKeyword}) {
        row->addWidget(button);
    }
    connect(btnCompare, &QPushButton::clicked, this, &TLibraryWindow::CompareClick);
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
    TGoodsGrid::AttachActions(grid, TGoodsGrid::DetailPageColumn(grid, TRowSetModel::FieldNameRole),
                              [this](QMenu* menu, const QModelIndex& index) {
                                  const qint64 id = m_model->RowValue(index.row(), QStringLiteral("id")).toLongLong();
                                  THistoryWindow::AddMenuEntry(menu, this, m_connectionString, {id, QString()});
                              });
    connect(grid, &QTableView::doubleClicked, this, &TLibraryWindow::OpenHistory);
    connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& current) {
        static_cast<TIndicatorHeader*>(grid->verticalHeader())->SetCurrentRow(current.row());
    });
    connect(grid, &QTableView::clicked, this, &TLibraryWindow::OpenLinkCell);
    connect(m_model, &QAbstractItemModel::modelReset, this, &TLibraryWindow::ViewReset);
    connect(m_model, &TLibraryModel::CountsChanged, this, &TLibraryWindow::ShowCounts);
    connect(m_model, &TLibraryModel::QueryFailed, this, &TLibraryWindow::ShowError);
    MarkLinkColumns();
}

// Opens at the size it had when it was last closed (else its default size) where the screen of its parent (else
// the primary screen) has room, centred on that screen; on a smaller screen it takes the screen's available area.
void TLibraryWindow::FitToScreen(QSize size)
{
    const QWidget* anchor = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
    const QScreen* screen = anchor != nullptr ? anchor->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, DefaultWidth, DefaultHeight);
    const QMargins frame = FrameOf(anchor);
    if (!size.isValid() || size.isEmpty()) {
        size = QSize(DefaultWidth, DefaultHeight);
    }
    TWindowBounds::TBounds wanted;
    wanted.Width = size.width();
    wanted.Height = size.height();
    wanted.Left = area.center().x() - (size.width() + frame.left() + frame.right()) / 2;
    wanted.Top = area.center().y() - (size.height() + frame.top() + frame.bottom()) / 2;
    const TWindowBounds::TPlacement placement = TWindowBounds::FitToArea(wanted, frame, area, minimumSizeHint());
    move(placement.Pos);
    resize(placement.Size);
}

// The controls as they were left; the first view is read with them. Nothing is applied while they are set.
void TLibraryWindow::RestoreState(const TLibraryState& state)
{
    const QSignalBlocker quietSearch(edSearch);
    const QSignalBlocker quietMin(edMinPrice);
    const QSignalBlocker quietMax(edMaxPrice);
    const QSignalBlocker quietLocation(edLocation);
    const QSignalBlocker quietDate(chkDate);
    const QSignalBlocker quietFrom(deFrom);
    const QSignalBlocker quietTo(deTo);
    const QSignalBlocker quietGroup(chkGroup);
    const QSignalBlocker quietSellers(chkSellers);
    edSearch->setText(state.Search);
    // The keyword list is read later; until then the kept keyword is its only entry.
    if (state.ByKeyword) {
        cbKeyword->addItem(state.Keyword.isEmpty() ? QStringLiteral("（无关键字）") : state.Keyword, state.Keyword);
        cbKeyword->setCurrentIndex(1);
    }
    edMinPrice->setText(state.MinPrice);
    edMaxPrice->setText(state.MaxPrice);
    edLocation->setText(state.Location);
    chkDate->setChecked(state.ByDate);
    if (state.From.isValid() && state.To.isValid()) {
        deFrom->setDate(state.From);
        deTo->setDate(state.To);
    }
    m_seller = {state.BySeller, state.SellerId, state.SellerNick};
    ShowSeller();
    chkGroup->setChecked(state.Merged);
    chkSellers->setChecked(state.Sellers);
    chkGroup->setEnabled(!state.Sellers);
    m_model->SetSort(state.Sort);
}

// The view as it was last read is kept, not what was typed since: a price that is no number, refused with a
// message, is not kept to refuse the next opening's first view.
void TLibraryWindow::SaveState() const
{
    const TLibraryFilter& filter = m_model->Filter();
    TLibraryState state;
    state.Search = filter.Search;
    state.ByKeyword = filter.ByKeyword;
    state.Keyword = filter.Keyword;
    state.MinPrice = PriceText(filter.MinPrice);
    state.MaxPrice = PriceText(filter.MaxPrice);
    state.Location = filter.Location;
    state.ByDate = filter.CollectFrom.isValid();
    state.From = deFrom->date();
    state.To = deTo->date();
    state.BySeller = filter.BySeller;
    state.SellerId = filter.SellerId;
    state.SellerNick = filter.SellerNick;
    state.Merged = m_model->Grouping() == TLibraryGrouping::Listings
        || (m_model->Grouping() == TLibraryGrouping::Sellers && chkGroup->isChecked());
    state.Sellers = m_model->Grouping() == TLibraryGrouping::Sellers;
    state.Sort = m_model->Sort();
    state.Size = isMaximized() || isFullScreen() ? normalGeometry().size() : size();
    state.Save();
}

void TLibraryWindow::ViewReset()
{
    MarkLinkColumns();
    ShowSortIndicator();
}

void TLibraryWindow::MarkLinkColumns()
{
    QSet<int> links;
    const int digit = grid->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    const bool sellers = m_model->Grouping() == TLibraryGrouping::Sellers;
    for (int column = 0; column < m_model->columnCount(); ++column) {
        const QString field = m_model->FieldOfColumn(column);
        if (sellers ? field == SellerLinkField : LinkFields.contains(field)) {
            links.insert(column);
        }
        const int characters = m_model->headerData(column, Qt::Horizontal, TRowSetModel::DisplayWidthRole).toInt();
        grid->horizontalHeader()->resizeSection(column, characters * digit + 4);
    }
    m_linkDelegate->SetLinkColumns(links);
}

// The indicator follows the column the rows are sorted by, wherever the view shows it.
void TLibraryWindow::ShowSortIndicator()
{
    QHeaderView* header = grid->horizontalHeader();
    const TLibrarySort& sort = m_model->Sort();
    const QSignalBlocker quiet(header); // the rows are already read in this order
    header->setSortIndicator(m_model->ColumnOfField(sort.Column),
                             sort.Descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void TLibraryWindow::OpenLinkCell(const QModelIndex& index)
{
    if (!index.isValid() || !m_model->IsLoaded(index.row())) {
        return;
    }
    if (m_model->Grouping() == TLibraryGrouping::Sellers) {
        if (m_model->FieldOfColumn(index.column()) == SellerLinkField) {
            NarrowToSeller(index.row());
        }
        return;
    }
    QString error;
    if (!TGoodsGrid::OpenLinkValue(index.data().toString(), &error)) {
        ShowError(QStringLiteral("无法打开网页：") + error);
    }
}

void TLibraryWindow::OpenHistory(const QModelIndex& index)
{
    const qint64 id = m_model->RowValue(index.row(), QStringLiteral("id")).toLongLong();
    if (index.isValid() && id > 0 && THistoryWindow::OpensHistory(index.data())) {
        THistoryWindow::ShowFor(this, m_connectionString, {id, QString()});
    }
}

void TLibraryWindow::CompareClick()
{
    const TLibraryFilter& filter = m_model->Filter();
    TComparisonWindow::ShowFor(this, m_connectionString, m_startExport, m_exportChoice,
                               filter.ByKeyword ? filter.Keyword : QString());
}

// The query that runs is for text that is no longer there: it ends at once, and the new view is read after
// the typing pause. A filter that cannot be applied leaves the view as it is and says why.
void TLibraryWindow::ScheduleApply()
{
    TLibraryFilter filter;
    QString error;
    if (!ReadFilter(&filter, &error)) {
        m_applyTimer->stop();
        ShowError(error);
        return;
    }
    m_model->Interrupt();
    m_worker->Cancel(chart);
    m_applyTimer->start();
}

bool TLibraryWindow::ReadFilter(TLibraryFilter* filter, QString* error) const
{
    filter->Search = edSearch->text();
    filter->ByKeyword = cbKeyword->currentIndex() > 0;
    filter->Keyword = filter->ByKeyword ? cbKeyword->currentData().toString() : QString();
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
    if (chkDate->isChecked()) {
        filter->CollectFrom = deFrom->date();
        filter->CollectTo = deTo->date();
    }
    filter->BySeller = m_seller.On;
    filter->SellerId = m_seller.Id;
    filter->SellerNick = m_seller.Nick;
    return filter->Validate(error);
}

TLibraryGrouping TLibraryWindow::Grouping() const
{
    if (chkSellers->isChecked()) {
        return TLibraryGrouping::Sellers;
    }
    return chkGroup->isChecked() ? TLibraryGrouping::Listings : TLibraryGrouping::Rows;
}

// A seller's row stands for its stored rows: they are shown, narrowed to it, in the view of rows (or of listings).
void TLibraryWindow::NarrowToSeller(int row)
{
    m_seller.On = true;
    m_seller.Id = m_model->RowValue(row, QStringLiteral("user_id")).toString();
    m_seller.Nick = m_model->RowValue(row, QStringLiteral("nick")).toString();
    ShowSeller();
    {
        const QSignalBlocker quiet(chkSellers);
        chkSellers->setChecked(false);
    }
    chkGroup->setEnabled(true);
    ApplyFilter();
}

void TLibraryWindow::ShowSeller()
{
    const QString name = m_seller.Nick.isEmpty() ? m_seller.Id : m_seller.Nick;
    const QString text = QStringLiteral("卖家：%1 ✕").arg(name);
    btnSeller->setText(btnSeller->fontMetrics().elidedText(text, Qt::ElideMiddle, btnSeller->maximumWidth() - 16));
    btnSeller->setVisible(m_seller.On);
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
    m_model->SetView(filter, Grouping());
    btnDelete->setEnabled(Grouping() != TLibraryGrouping::Sellers);
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
    } else if (m_model->Grouping() == TLibraryGrouping::Sellers) {
        text = QStringLiteral("共 %1 个卖家，%2 个商品")
                   .arg(total)
                   .arg(listings < 0 ? QStringLiteral("…") : QString::number(listings));
    } else {
        text = QStringLiteral("共 %1 条，%2 个商品")
                   .arg(total)
                   .arg(listings < 0 ? QStringLiteral("…") : QString::number(listings));
    }
    ShowStatus(text, false);
}

// A failure stays in the status line until the next view is read.
void TLibraryWindow::ShowError(const QString& error)
{
    if (TLibraryModel::IsInterruption(error)) {
        return; // a newer query took its place
    }
    m_error = error;
    ShowStatus(error, true);
}

void TLibraryWindow::ShowStatus(const QString& text, bool failure)
{
    lblStatus->setStyleSheet(failure ? QStringLiteral("color: #c00000") : QString());
    lblStatus->setText(text);
    lblStatus->setToolTip(text);
}

void TLibraryWindow::LoadKeywords()
{
    const quint64 generation = ++m_keywordsGeneration;
    QPointer<TLibraryWindow> self(this);
    TLibraryWorker* worker = m_worker.get();
    m_worker->Keep([self, generation, worker](TLibraryQuery& query) {
        std::vector<std::pair<QString, qint64>> keywords;
        QString error = query.IsOpen() ? QString() : worker->NotOpenError();
        const bool ok = error.isEmpty() && query.Keywords(&keywords, &error);
        QMetaObject::invokeMethod(
            self,
            [self, generation, keywords, ok, error]() {
                if (generation != self->m_keywordsGeneration) {
                    return;
                }
                if (ok) {
                    self->TakeKeywords(keywords);
                } else {
                    self->ShowError(QStringLiteral("无法读取关键字列表：") + error);
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
    int index = filtered ? -1 : 0;
    for (const auto& [keyword, rows] : keywords) {
        cbKeyword->addItem(KeywordTitle(keyword, rows), QString(keyword.isNull() ? QStringLiteral("") : keyword));
        if (filtered && keyword == current) {
            index = cbKeyword->count() - 1;
        }
    }
    // The list opens as wide as its longest keyword; the box itself keeps its width.
    cbKeyword->view()->setMinimumWidth(std::min(cbKeyword->view()->sizeHintForColumn(0) + 24, 600));
    cbKeyword->setCurrentIndex(std::max(index, 0));
    if (index < 0) {
        ApplyFilter(); // the keyword is gone
    }
}

void TLibraryWindow::LoadPrices()
{
    chart->SetBusy();
    const quint64 generation = ++m_pricesGeneration;
    const bool listings = Grouping() == TLibraryGrouping::Listings;
    QPointer<TLibraryWindow> self(this);
    TLibraryWorker* worker = m_worker.get();
    m_worker->Post(chart, [self, generation, listings, worker](TLibraryQuery& query) {
        std::vector<double> prices;
        QString error = query.IsOpen() ? QString() : worker->NotOpenError();
        const bool ok = error.isEmpty() && query.Prices(&prices, &error);
        const TPriceStats stats = ok ? TPriceStats::FromSorted(prices) : TPriceStats();
        QMetaObject::invokeMethod(
            self,
            [self, generation, stats, ok, error, listings]() {
                if (generation != self->m_pricesGeneration || TLibraryModel::IsInterruption(error)) {
                    return;
                }
                if (ok) {
                    self->chart->SetStats(stats, listings);
                    return;
                }
                self->chart->SetFailed();
                self->ShowError(QStringLiteral("无法统计价格：") + error);
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
    if (m_model->Grouping() == TLibraryGrouping::Sellers) {
        return; // a seller's row is no row to delete: the button is off
    }
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
    const QString question = keyword.isEmpty()
        ? QStringLiteral("删除没有关键字的全部行？此操作不能撤销。")
        : QStringLiteral("删除关键字“%1”的全部行？此操作不能撤销。").arg(keyword);
    if (!TMessageBox::Ask(QStringLiteral("删除"), question)) {
        return;
    }
    RunDelete([keyword](TLibraryQuery& query, qint64* deleted, QString* error) {
        return query.DeleteKeyword(keyword, deleted, error);
    });
}

// The reads that wait would only be read again after the deletion: they end now, and everything is read
// anew once it is done, whether it went through or not.
void TLibraryWindow::RunDelete(std::function<bool(TLibraryQuery&, qint64*, QString*)> work)
{
    m_model->Interrupt();
    m_worker->Cancel(chart);
    QPointer<TLibraryWindow> self(this);
    TLibraryWorker* worker = m_worker.get();
    m_worker->Keep([self, work, worker](TLibraryQuery& query) {
        qint64 deleted = 0;
        QString error = query.IsOpen() ? QString() : worker->NotOpenError();
        const bool ok = error.isEmpty() && work(query, &deleted, &error);
        QMetaObject::invokeMethod(
            self, [self, ok, deleted, error]() { self->DeleteFinished(ok, deleted, error); }, Qt::QueuedConnection);
    });
}

void TLibraryWindow::DeleteFinished(bool ok, qint64 deleted, const QString& error)
{
    RefreshAll();
    if (!ok) {
        const QString why = error.isEmpty() ? QStringLiteral("数据库没有回答") : error;
        ShowError(QStringLiteral("删除失败，没有删除任何行：") + why);
        TMessageBox::Show(TMessageBox::Critical, QStringLiteral("删除失败"),
                          QStringLiteral("没有删除任何行。\n原因：%1").arg(why));
        return;
    }
    ShowStatus(QStringLiteral("已删除 %1 行").arg(deleted), false);
}

QString TLibraryWindow::ExportKeyword() const
{
    const TLibraryFilter& filter = m_model->Filter();
    return filter.ByKeyword && !filter.Keyword.isEmpty() ? filter.Keyword : filter.Search.trimmed();
}

void TLibraryWindow::ExportClick()
{
    if (!m_startExport) {
        return;
    }
    QStringList keywords;
    for (int i = 1; i < cbKeyword->count(); ++i) {
        if (const QString keyword = cbKeyword->itemData(i).toString(); !keyword.isEmpty()) {
            keywords.append(keyword);
        }
    }
    const qint64 total = std::max<qint64>(m_model->TotalRows(), 0);
    TExportDialog dialog(keywords, static_cast<int>(std::min<qint64>(total, std::numeric_limits<int>::max())), this);
    if (!m_exportChoice->Ask(dialog, ExportKeyword())) {
        return;
    }
    TExportRequest request;
    request.FileFormat = dialog.Format();
    request.Path = dialog.Path();
    const bool grouped = m_model->Grouping() != TLibraryGrouping::Rows;
    const bool viewRows = dialog.Source() == TExportRequest::GivenRows;
    request.Columns = ExportColumns(viewRows);
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
    ExportGroupedRows(std::move(request));
}

// The grid's columns in their order; the table's own rows have no grouped columns, and rows stored take the columns
// of the view of rows where a row of the view stands for a seller. Times of collection become date cells.
std::vector<TExportColumn> TLibraryWindow::ExportColumns(bool viewRows) const
{
    std::vector<TExportColumn> columns;
    const auto add = [&columns](const QString& field, const QString& title) {
        columns.push_back({field, title, field == QLatin1String("collect_time")});
    };
    if (!viewRows && m_model->Grouping() == TLibraryGrouping::Sellers) {
        for (const TLibraryModel::TColumn& column : m_rowColumns) {
            add(column.Field, column.Title);
        }
        return columns;
    }
    const QHeaderView* header = grid->horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        const QString field = m_model->FieldOfColumn(logical);
        if (!header->isSectionHidden(logical) && (viewRows || TLibraryQuery::Columns().contains(field))) {
            add(field, m_model->headerData(logical, Qt::Horizontal).toString());
        }
    }
    return columns;
}

// A grouped view exists only on the worker's connection: its rows travel with the request.
void TLibraryWindow::ExportGroupedRows(TExportRequest request)
{
    request.RowSource = TExportRequest::GivenRows;
    const QStringList* names = &TLibraryQuery::ColumnsOf(m_model->Grouping());
    QPointer<TLibraryWindow> self(this);
    TLibraryWorker* worker = m_worker.get();
    auto shared = std::make_shared<TExportRequest>(std::move(request));
    m_worker->Keep([self, shared, worker, names](TLibraryQuery& query) {
        std::vector<TLibraryQuery::TRow> rows;
        QString error = query.IsOpen() ? QString() : worker->NotOpenError();
        const bool ok = error.isEmpty() && query.PageAt(0, std::numeric_limits<int>::max(), &rows, &error);
        for (const TLibraryQuery::TRow& row : rows) {
            for (const TExportColumn& column : shared->Columns) {
                shared->Rows.push_back(row.Values.value(names->indexOf(column.Field)));
            }
        }
        QMetaObject::invokeMethod(
            self,
            [self, shared, ok, error]() {
                if (ok) {
                    self->m_startExport(std::move(*shared));
                } else {
                    self->ShowError(QStringLiteral("无法导出：") + error);
                }
            },
            Qt::QueuedConnection);
    });
}
