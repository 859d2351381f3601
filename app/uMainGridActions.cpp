// Working with the grid's cells: copying, the cell menu, and the run's progress in the status bar.
#include "app/uMain.h"
#include "storage/engine/TRowSet.h"
#include "storage/engine/TRowSetModel.h"
#include "ui/TGoodsGrid.h"

#include <QLabel>
#include <QMenu>
#include <QTableView>

void TMainForm::CreateGridActions()
{
    TGoodsGrid::AttachActions(grid, TGoodsGrid::DetailPageColumn(grid, TRowSetModel::FieldNameRole));
}

QMenu* TMainForm::CreateCellMenu(const QModelIndex& index)
{
    return TGoodsGrid::CreateCellMenu(grid, index, TGoodsGrid::DetailPageColumn(grid, TRowSetModel::FieldNameRole));
}

void TMainForm::SetRunProgress(const QString& text)
{
    RunProgressPane->setText(text);
}
