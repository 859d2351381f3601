#pragma once

#include <QString>

#include <functional>

class QMenu;
class QModelIndex;
class QTableView;
class TLinkDelegate;

// What every grid of goods rows shares: the indicator column, read-only cells selected one by one or in
// blocks, movable columns, link styling, copying with titles on Ctrl+C, the cell menu and link clicks.
class TGoodsGrid
{
public:
    // The value of a row's detail page (the detail_url field) as the grid's model holds it.
    using RowPage = std::function<QString(int row)>;
    // Adds a window's own entries to the cell menu of a cell.
    using MenuEntries = std::function<void(QMenu* menu, const QModelIndex& index)>;

    // The row's detail page read from the grid's model: the column whose title answers fieldRole with
    // "detail_url", whatever its place.
    static RowPage DetailPageColumn(const QTableView* grid, int fieldRole);

    // Sets the grid up and installs the link delegate, which it returns; the caller marks the link columns.
    static TLinkDelegate* Prepare(QTableView* grid);
    // Ctrl+C and the cell menu on a right click.
    static void AttachActions(QTableView* grid, RowPage rowPage, MenuEntries entries = {});
    // The menu of a cell: copy, open the link in the system browser, copy the link, then the entries given. The
    // link is the cell's own when it holds one, else the row's detail page. The caller owns the menu.
    static QMenu* CreateCellMenu(QTableView* grid, const QModelIndex& index, const RowPage& rowPage,
                                 const MenuEntries& entries = {});
    // A value that is a link without its scheme ("//host/…") opens in the page viewer, modally, with "http:"
    // in front; any other value does nothing. False, with the reason, when the viewer could not show it.
    static bool OpenLinkValue(const QString& value, QString* error);
};
