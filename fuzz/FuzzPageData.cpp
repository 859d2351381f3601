// A downloaded page through everything the run does with it: decoding, cutting out the data block, parsing,
// storing the listings of either framing and the write into the database.
#include "app/TPageData.h"
#include "net/PageText.h"
#include "storage/engine/TConnection.h"
#include "storage/uDataModule.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <rapidjson/document.h>

namespace {
struct TStore
{
    QTemporaryDir dir;
    TDM dm;
};

TStore& Store()
{
    static TStore* store = [] {
        auto* created = new TStore;
        QString error;
        if (!created->dm.OpenDatabase(created->dir.filePath(QStringLiteral("fuzz.db")), &error)) {
            qFatal("cannot open the database: %s", qPrintable(error));
        }
        // Durability is no concern here; a sync per input would make the run a test of the disk.
        created->dm.conn()->Execute(QStringLiteral("PRAGMA synchronous = OFF"), &error);
        return created;
    }();
    return *store;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::optional<QString> page
        = PageText::FromUtf8(QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    if (!page) {
        return 0;
    }
    const TPageData::Block block = TPageData::Extract(*page);
    rapidjson::Document document;
    if (block.Text.isEmpty() || !TPageData::Parse(block.Text, &document)) {
        return 0;
    }
    const rapidjson::Value* listings = TPageData::ListingArray(document, block.Framing);
    if (listings == nullptr) {
        return 0;
    }
    TDM& dm = Store().dm;
    QString error;
    if (!dm.OpenGoodsQuery(&error)) {
        qFatal("cannot open the goods query: %s", qPrintable(error));
    }
    const bool saved = block.Framing == TPageData::PageConfigFraming
        ? dm.SaveAuctionList(QStringLiteral("办公桌"), *listings, &error)
        : dm.SaveItemList(QStringLiteral("办公桌"), *listings, &error);
    if (saved && !dm.ApplyGoodsRows(&error)) {
        qFatal("the write failed: %s", qPrintable(error));
    }
    return 0;
}
