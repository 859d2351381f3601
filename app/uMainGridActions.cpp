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
    TGoodsGrid::AttachActions(grid, TGoodsGrid::DetailPageColumn(grid, TRowSetModel::FieldNameRole),
                              [this](QMenu* menu, const QModelIndex& index) { AddHistoryEntry(menu, index); });
}

QMenu* TMainForm::CreateCellMenu(const QModelIndex& index)
{
    return TGoodsGrid::CreateCellMenu(grid, index, TGoodsGrid::DetailPageColumn(grid, TRowSetModel::FieldNameRole),
                                      [this](QMenu* menu, const QModelIndex& cell) { AddHistoryEntry(menu, cell); });
}

void TMainForm::SetRunProgress(const QString& text)
{
    RunProgressPane->setText(text);
}
