#pragma once

#include <QVariant>
#include <QVariantList>

// A row of the library's view: its values in the order of the view's columns, the value it is sorted by and its
// key (the id of a stored row, the position of a grouped one).
struct TLibraryRow
{
    QVariantList Values;
    QVariant SortValue;
    qint64 Key = 0;
};
