// A downloaded page through everything the run does with it: decoding, cutting out the data block, parsing,
// storing the listings of either framing and the write into the database.
#include "collect/TPagePipeline.h"
#include "net/PageText.h"
#include "storage/engine/TConnection.h"
#include "storage/uDataModule.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

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
    std::optional<QString> page
        = PageText::FromUtf8(QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    if (!page) {
        return 0;
    }
    TDM& dm = Store().dm;
    QString error;
    if (!dm.OpenGoodsQuery(&error)) {
        qFatal("cannot open the goods query: %s", qPrintable(error));
    }
    QString block;
    TPageResult result = TPagePipeline::Cut(std::move(*page), &block);
    if (result.Ok()) {
        result = TPagePipeline(dm).Store(QStringLiteral("办公桌"), block, result.Framing);
    }
    if (result.Failure == TPageFailure::StoreFailed) {
        qFatal("the write failed: %s", qPrintable(result.Detail));
    }
    return 0;
}
