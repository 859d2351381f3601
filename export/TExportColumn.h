#pragma once

#include <QString>

// One column of an export: the table field it reads and the title its header cell shows.
struct TExportColumn
{
    QString Field;
    QString Title;
};
