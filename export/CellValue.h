#pragma once

#include <QVariant>

// How the writers see a cell value.
namespace CellValue {
// Whether a value is written as a number rather than as text.
inline bool IsNumber(const QVariant& cell)
{
    switch (cell.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

// Whether a value is written as a date and time (a local time).
inline bool IsDateTime(const QVariant& cell)
{
    return cell.metaType().id() == QMetaType::QDateTime;
}

// The text of a value written as text; byte strings from the database are UTF-8.
inline QString Text(const QVariant& cell)
{
    if (cell.metaType().id() == QMetaType::QByteArray) {
        return QString::fromUtf8(cell.toByteArray());
    }
    return cell.toString();
}
} // namespace CellValue
