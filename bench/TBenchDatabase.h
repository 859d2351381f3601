#pragma once

#include <QString>

class TConnection;

// Bulk content for the size-independence measurements.
namespace TBenchDatabase {
// Adds rows listings to goodslist in one transaction; false with the provider's message.
bool FillGoods(TConnection* connection, int rows, QString* error);
} // namespace TBenchDatabase
