#pragma once

#include <QString>

class QTableView;

// The selected cells of a table view as text for the clipboard: the column titles, then one line per row,
// in the order the user sees rows and columns.
struct TGridCopy
{
    QString Text; // tab-separated
    QString Html; // a table, for spreadsheets

    static TGridCopy FromSelection(const QTableView* view);
    // Puts both forms on the system clipboard; false when nothing is selected.
    static bool CopySelection(const QTableView* view);
};
