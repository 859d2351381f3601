// The price history of a grid row's listing: the cell menu's entry 价格历史 and a double-click on a cell.
#include "app/THistoryWindow.h"
#include "app/uMain.h"
#include "page/TItemKey.h"
#include "storage/TRunSchema.h"
#include "storage/engine/TRowSet.h"
#include "storage/uConst.h"
#include "storage/uDBFunc.h"
#include "storage/uDataModule.h"

#include <QMenu>
#include <QSortFilterProxyModel>
#include <QTableView>

namespace {
QString Text(const TRowSet* rows, int row, const char* field)
{
    const int index = rows->FieldIndex(QLatin1String(field));
    return index >= 0 ? rows->Value(row, index).toString() : QString();
}
} // namespace

// The key the row was stored with; for a row keyed by its own id, that id's key once the row is written. A row
// without an item number or link that is not written yet names no listing.
QString TMainForm::ItemKeyOfRow(const QModelIndex& index) const
{
    const int row = m_sortModel->mapToSource(index).row();
    const TRowSet* rows = m_dm->qrGoodsList();
    if (row < 0 || row >= rows->RowCount()) {
        return QString();
    }
    if (const QString stored = Text(rows, row, TRunSchema::ItemKeyColumn); !stored.isEmpty()) {
        return stored;
    }
    const qint64 id = Text(rows, row, "id").toLongLong();
    const QString key
        = TItemKey::Of(Text(rows, row, "nid"), Text(rows, row, "detail_url"), Text(rows, row, "shopLink"), id);
    return id > 0 || !key.startsWith(QLatin1Char('#')) ? key : QString();
}

void TMainForm::AddHistoryEntry(QMenu* menu, const QModelIndex& index)
{
    THistoryWindow::AddMenuEntry(menu, this, TDBFunc::ConnectionString(DbPath, TDBFunc::Password()),
                                 {0, ItemKeyOfRow(index)});
}

void TMainForm::gridCellDoubleClick(const QModelIndex& index)
{
    if (!index.isValid() || !THistoryWindow::OpensHistory(index.data())) {
        return;
    }
    if (const QString key = ItemKeyOfRow(index); !key.isEmpty()) {
        THistoryWindow::ShowFor(this, TDBFunc::ConnectionString(DbPath, TDBFunc::Password()), {0, key});
    }
}
