#include "ui/TGoodsGrid.h"

#include "ui/TGridCopy.h"
#include "ui/TIndicatorHeader.h"
#include "ui/TLinkDelegate.h"
#include "ui/TSystemBrowser.h"
#include "ui/uWebForm.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QMenu>
#include <QShortcut>
#include <QTableView>

TLinkDelegate* TGoodsGrid::Prepare(QTableView* grid)
{
    auto* indicator = new TIndicatorHeader(grid);
    grid->setVerticalHeader(indicator);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    grid->setShowGrid(true);
    grid->setWordWrap(false);
    grid->horizontalHeader()->setSectionsMovable(true);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    grid->horizontalHeader()->setHighlightSections(false);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 4);
    auto* delegate = new TLinkDelegate(grid);
    grid->setItemDelegate(delegate);
    return delegate;
}

void TGoodsGrid::AttachActions(QTableView* grid, RowPage rowPage, MenuEntries entries)
{
    auto* copy = new QShortcut(QKeySequence::Copy, grid);
    copy->setContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(copy, &QShortcut::activated, grid, [grid]() { TGridCopy::CopySelection(grid); });
    grid->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(grid, &QTableView::customContextMenuRequested, grid, [grid, rowPage, entries](const QPoint& pos) {
        const QModelIndex index = grid->indexAt(pos);
        if (!index.isValid()) {
            return;
        }
        QMenu* menu = CreateCellMenu(grid, index, rowPage, entries);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(grid->viewport()->mapToGlobal(pos));
    });
}

QMenu* TGoodsGrid::CreateCellMenu(QTableView* grid, const QModelIndex& index, const RowPage& rowPage,
                                  const MenuEntries& entries)
{
    auto* menu = new QMenu(grid);
    menu->setObjectName("CellMenu");
    if (!grid->selectionModel()->isSelected(index)) {
        // The menu acts on the cell it was opened on, alone.
        grid->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    }
    QAction* copy = menu->addAction(QStringLiteral("复制"), grid, [grid]() { TGridCopy::CopySelection(grid); });
    copy->setObjectName("actCopy");
    QUrl link = TSystemBrowser::LinkOf(index.data().toString());
    if (!link.isValid() && rowPage) {
        link = TSystemBrowser::LinkOf(rowPage(index.row()));
    }
    QAction* open = menu->addAction(QStringLiteral("在浏览器中打开"), grid, [link]() { TSystemBrowser::Open(link); });
    open->setObjectName("actOpenInBrowser");
    open->setEnabled(link.isValid());
    QAction* copyLink = menu->addAction(QStringLiteral("复制链接"), grid,
                                        [link]() { QApplication::clipboard()->setText(link.toString()); });
    copyLink->setObjectName("actCopyLink");
    copyLink->setEnabled(link.isValid());
    if (entries) {
        entries(menu, index);
    }
    return menu;
}

bool TGoodsGrid::OpenLinkValue(const QString& value, QString* error)
{
    if (!value.startsWith(QLatin1String("//"))) {
        return true;
    }
    TWebForm viewer;
    return viewer.ShowPage(QStringLiteral("http:") + value, error);
}

TGoodsGrid::RowPage TGoodsGrid::DetailPageColumn(const QTableView* grid, int fieldRole)
{
    return [grid, fieldRole](int row) {
        const QAbstractItemModel* model = grid->model();
        for (int column = 0; model != nullptr && column < model->columnCount(); ++column) {
            if (model->headerData(column, Qt::Horizontal, fieldRole).toString() == QLatin1String("detail_url")) {
                return model->index(row, column).data().toString();
            }
        }
        return QString();
    };
}
