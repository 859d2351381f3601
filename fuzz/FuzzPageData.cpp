// A downloaded page through everything the run does with it: decoding, cutting out the data block, parsing,
// storing the listings of either framing and the write into the database.
#include "net/PageText.h"
#include "storage/TPagePipeline.h"
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
    const TPageResult result = TPagePipeline(dm).Run(QStringLiteral("办公桌"), std::move(*page));
    if (result.Failure == TPageFailure::StoreFailed) {
        qFatal("the write failed: %s", qPrintable(result.Detail));
    }
    // The page held as UTF-8 bytes must give the same outcome.
    const std::optional<QByteArray> held
        = PageText::HeldUtf8(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    if (!held) {
        qFatal("the bytes decode as text but not as UTF-8");
    }
    const TPageResult again = TPagePipeline(dm).RunUtf8(QStringLiteral("办公桌"), *held);
    if (again.Stored != result.Stored || again.Failure != result.Failure || again.Framing != result.Framing) {
        qFatal("the UTF-8 page gave another outcome than its text");
    }
    return 0;
}
