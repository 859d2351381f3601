#include "library/TLibraryFilter.h"

#include <cmath>

namespace {
// A bound that is no finite number (infinity, NaN) would reach SQL as a word it cannot read.
bool IsFiniteOrNull(const QVariant& price)
{
    return price.isNull() || std::isfinite(price.toDouble());
}
} // namespace

bool TLibraryFilter::Validate(QString* error) const
{
    if (!IsFiniteOrNull(MinPrice) || !IsFiniteOrNull(MaxPrice)) {
        *error = QStringLiteral("价格范围只能是有限的数字，请改正价格范围");
        return false;
    }
    if (!MinPrice.isNull() && !MaxPrice.isNull() && MinPrice.toDouble() > MaxPrice.toDouble()) {
        *error = QStringLiteral("最低价 %1 高于最高价 %2，请改正价格范围")
                     .arg(MinPrice.toDouble())
                     .arg(MaxPrice.toDouble());
        return false;
    }
    if (CollectFrom.isValid() && CollectTo.isValid() && CollectFrom > CollectTo) {
        *error = QStringLiteral("起始日期 %1 晚于结束日期 %2，请改正日期范围")
                     .arg(CollectFrom.toString(Qt::ISODate), CollectTo.toString(Qt::ISODate));
        return false;
    }
    return true;
}
