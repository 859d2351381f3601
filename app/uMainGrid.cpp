// The goods grid: binding to the goods query, column styles and layout, the find dialog and link clicks.
#include "app/uMain.h"
#include "storage/engine/TRowSet.h"
#include "storage/engine/TRowSetModel.h"
#include "storage/uDataModule.h"
#include "ui/TApplication.h"
#include "ui/TFindDialog.h"
#include "ui/TGoodsGrid.h"
#include "ui/TGridView.h"
#include "ui/TIndicatorHeader.h"
#include "ui/TLinkDelegate.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QShortcut>
#include <QSortFilterProxyModel>
#include <QTableView>

namespace {
// The fields the grid shows, one column each; the query's other fields have none.
const QStringList GridFields = {"title",    "pic_url", "detail_url", "view_price", "view_fee",     "reserve_price",
                                "item_loc", "user_id", "nick",       "shopLink",   "comment_count"};
const QStringList LinkFields = {QStringLiteral("pic_url"), QStringLiteral("detail_url"), QStringLiteral("shopLink")};
} // namespace

void TMainForm::CreateGrid()
{
    grid = new TGridView(this);
    grid->setObjectName("grid");
    m_linkDelegate = TGoodsGrid::Prepare(grid);
    TRowSet* query = m_dm->qrGoodsList();
    for (int field = 0; field < query->FieldCount(); ++field) {
        query->SetVisible(field, GridFields.contains(query->Field(field).Name));
    }
    // Sorting by a click on a column title works on a proxy, so the query keeps its rows in their order.
    m_sortModel = new QSortFilterProxyModel(this);
    m_sortModel->setSourceModel(m_dm->dsGoodsList());
    grid->setModel(m_sortModel);
    grid->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    grid->horizontalHeader()->setSortIndicatorShown(true);
    grid->setSortingEnabled(true);
    connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& current) {
        static_cast<TIndicatorHeader*>(grid->verticalHeader())->SetCurrentRow(current.row());
    });
    connect(grid, &QTableView::clicked, this, &TMainForm::gridCellClick);
    connect(grid, &QTableView::doubleClicked, this, &TMainForm::gridCellDoubleClick);
    // Connected after the proxy's own handler, so the new rows are already mapped when this runs.
    connect(m_dm->dsGoodsList(), &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int, int last) { MakeRowCurrent(last); });
    QAbstractItemModel* model = m_sortModel;
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, &TMainForm::KeepColumnLayout);
    connect(model, &QAbstractItemModel::modelReset, this, &TMainForm::ApplyColumnLayout);
    auto* find = new QShortcut(QKeySequence::Find, grid);
    find->setContext(Qt::WidgetWithChildrenShortcut);
    connect(find, &QShortcut::activated, this, &TMainForm::ShowFindDialog);
    CreateGridActions();
    ApplyColumnLayout();
}

// The last appended row becomes the current one and is scrolled into view, so rows are seen as they arrive.
// The current column stays; without one, the leftmost column the user sees.
void TMainForm::MakeRowCurrent(int sourceRow)
{
    const QModelIndex current = grid->currentIndex();
    const int column = current.isValid() ? current.column() : grid->horizontalHeader()->logicalIndex(0);
    const QModelIndex index = m_sortModel->mapFromSource(m_dm->dsGoodsList()->index(sourceRow, qMax(0, column)));
    if (!index.isValid()) {
        return;
    }
    grid->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    grid->scrollTo(index);
}

QString TMainForm::ColumnField(int column) const
{
    return grid->model()->headerData(column, Qt::Horizontal, TRowSetModel::FieldNameRole).toString();
}

void TMainForm::KeepColumnLayout()
{
    m_gridColumns = grid->model()->columnCount();
    m_gridState = grid->horizontalHeader()->saveState();
}

// Reopening the goods query keeps the user's column order and widths; a new set of columns starts
// with the widths its fields give.
void TMainForm::ApplyColumnLayout()
{
    QHeaderView* header = grid->horizontalHeader();
    const int count = grid->model()->columnCount();
    QSet<int> links;
    for (int column = 0; column < count; ++column) {
        if (LinkFields.contains(ColumnField(column))) {
            links.insert(column);
        }
    }
    m_linkDelegate->SetLinkColumns(links);
    if (count > 0 && count == m_gridColumns && header->restoreState(m_gridState)) {
        return;
    }
    SetDisplayWidths();
}

void TMainForm::SetDisplayWidths()
{
    const int digit = grid->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    QAbstractItemModel* model = grid->model();
    for (int column = 0; column < model->columnCount(); ++column) {
        const int characters = model->headerData(column, Qt::Horizontal, TRowSetModel::DisplayWidthRole).toInt();
        if (characters > 0) {
            grid->horizontalHeader()->resizeSection(column, characters * digit + 4);
        }
    }
}

void TMainForm::ShowFindDialog()
{
    if (m_findDialog == nullptr) {
        m_findDialog = new TFindDialog(grid, this);
    }
    m_findDialog->Open();
}

void TMainForm::gridCellClick(const QModelIndex& index)
{
    if (grid->model()->rowCount() == 0 || !index.isValid()) {
        return;
    }
    QString error;
    if (!TGoodsGrid::OpenLinkValue(index.data(Qt::DisplayRole).toString(), &error)) {
        TApplication::HandleError(error);
    }
}
