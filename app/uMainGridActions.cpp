// Working with the grid's cells: copying, the cell menu, and the run's progress in the status bar.
#include "app/uMain.h"
#include "ui/TGoodsGrid.h"

#include <QLabel>
#include <QMenu>
#include <QTableView>

void TMainForm::CreateGridActions()
{
    TGoodsGrid::AttachActions(grid);
}

QMenu* TMainForm::CreateCellMenu(const QModelIndex& index)
{
    return TGoodsGrid::CreateCellMenu(grid, index);
}

void TMainForm::SetRunProgress(const QString& text)
{
    RunProgressPane->setText(text);
}
