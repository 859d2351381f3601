#pragma once

#include "export/TExportColumn.h"

#include <QString>
#include <QVariant>

#include <vector>

// What an export writes and where: the rows given (a copy of the grid's rows) or the rows of the table
// goodslist, optionally those of one keyword only, as CSV or as an Excel workbook.
struct TExportRequest
{
    enum Source { GivenRows, TableRows };
    enum Format { Csv, Xlsx };

    Source RowSource = GivenRows;
    Format FileFormat = Xlsx;
    QString Path;
    std::vector<TExportColumn> Columns; // in the order of the file's columns
    // GivenRows: row after row, one value per column.
    std::vector<QVariant> Rows;
    // TableRows: the database the job opens its own connection to, and the optional keyword filter.
    QString ConnectionString;
    bool FilterKeyword = false;
    QString Keyword;
    // TableRows: a further condition on the rows, " and ..." with its values written in (a filtered view).
    QString TableCondition;
};
