#pragma once

class QMenu;
class QModelIndex;
class QTableView;
class TLinkDelegate;

// What every grid of goods rows shares: the indicator column, read-only cells selected one by one or in
// blocks, movable columns, link styling, copying with titles on Ctrl+C and the cell menu.
class TGoodsGrid
{
public:
    // Sets the grid up and installs the link delegate, which it returns; the caller marks the link columns.
    static TLinkDelegate* Prepare(QTableView* grid);
    // Ctrl+C and the cell menu on a right click.
    static void AttachActions(QTableView* grid);
    // The menu of a cell: copy, open the link in the system browser, copy the link. The caller owns it.
    static QMenu* CreateCellMenu(QTableView* grid, const QModelIndex& index);
};
