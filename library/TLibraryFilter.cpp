#include "library/TLibraryFilter.h"

bool TLibraryFilter::Validate(QString* error) const
{
    if (!MinPrice.isNull() && !MaxPrice.isNull() && MinPrice.toDouble() > MaxPrice.toDouble()) {
        *error = QStringLiteral("最低价 %1 高于最高价 %2，请改正价格范围")
                     .arg(MinPrice.toDouble())
                     .arg(MaxPrice.toDouble());
        return false;
    }
    return true;
}
