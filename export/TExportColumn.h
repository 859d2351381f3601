#pragma once

#include <QString>

// One column of an export: the table field it reads and the title its header cell shows. A time column holds stored
// times (ISO 8601 texts), written as the local date and time they stand for: date cells in a workbook.
struct TExportColumn
{
    QString Field;
    QString Title;
    bool Time = false;
};
