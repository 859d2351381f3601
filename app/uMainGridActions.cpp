// Working with the grid's cells: copying, the cell menu, and the run's progress in the status bar.
#include "app/uMain.h"
#include "ui/TGridCopy.h"
#include "ui/TSystemBrowser.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QShortcut>
#include <QTableView>

void TMainForm::CreateGridActions()
{
    auto* copy = new QShortcut(QKeySequence::Copy, grid);
    copy->setContext(Qt::WidgetWithChildrenShortcut);
    connect(copy, &QShortcut::activated, this, [this]() { TGridCopy::CopySelection(grid); });
    grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(grid, &QTableView::customContextMenuRequested, this, &TMainForm::ShowCellMenu);
}

QMenu* TMainForm::CreateCellMenu(const QModelIndex& index)
{
    auto* menu = new QMenu(grid);
    menu->setObjectName("CellMenu");
    if (!grid->selectionModel()->isSelected(index)) {
        // The menu acts on the cell it was opened on, alone.
        grid->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    }
    QAction* copy = menu->addAction(QStringLiteral("复制"), this, [this]() { TGridCopy::CopySelection(grid); });
    copy->setObjectName("actCopy");
    const QUrl link = TSystemBrowser::LinkOf(index.data().toString());
    QAction* open = menu->addAction(QStringLiteral("在浏览器中打开"), this, [link]() { TSystemBrowser::Open(link); });
    open->setObjectName("actOpenInBrowser");
    open->setEnabled(link.isValid());
    QAction* copyLink = menu->addAction(QStringLiteral("复制链接"), this,
                                        [link]() { QApplication::clipboard()->setText(link.toString()); });
    copyLink->setObjectName("actCopyLink");
    copyLink->setEnabled(link.isValid());
    return menu;
}

void TMainForm::ShowCellMenu(const QPoint& pos)
{
    const QModelIndex index = grid->indexAt(pos);
    if (!index.isValid()) {
        return;
    }
    QMenu* menu = CreateCellMenu(index);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(grid->viewport()->mapToGlobal(pos));
}

void TMainForm::SetRunProgress(const QString& text)
{
    RunProgressPane->setText(text);
}
