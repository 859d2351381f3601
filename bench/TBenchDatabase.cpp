#include "bench/TBenchDatabase.h"

#include "storage/TLibrarySchema.h"
#include "storage/engine/TConnection.h"

namespace TBenchDatabase {

bool FillGoods(TConnection* connection, int rows, QString* error)
{
    // Rows about the size of real ones, generated inside the engine so that filling a million takes seconds.
    const QString insert
        = QStringLiteral(
              "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
              "INSERT INTO goodslist (keyname, title, pic_url, detail_url, view_price, view_fee, item_loc, user_id, "
              "nick, shopLink, comment_count) "
              "SELECT '办公桌', '办公桌 实木 简约 现代 电脑桌 家用 书桌 ' || i, '//img.example/bao/uploaded/' || i || "
              "'.jpg', "
              "'//item.example/item.htm?id=' || (600000000 + i), i % 1000 + 0.5, 0.0, '浙江 杭州', 18482 + i, "
              "'店主' || i, '//store.example/shop/view_shop.htm?user_number_id=' || i, i % 5000 FROM n")
              .arg(rows);
    if (!connection->Execute(QStringLiteral("BEGIN"), error)) {
        return false;
    }
    if (!connection->Execute(insert, error)) {
        QString ignored;
        connection->Execute(QStringLiteral("ROLLBACK"), &ignored);
        return false;
    }
    // Filled in one statement, the search index is many segments: it is merged as an upgrade merges it, so
    // that the writes measured afterwards meet the index a real file has.
    return connection->Execute(QStringLiteral("COMMIT"), error) && TLibrarySchema::MergeSearchIndex(connection, error);
}

} // namespace TBenchDatabase
