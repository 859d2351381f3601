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
} // namespace CellValue
