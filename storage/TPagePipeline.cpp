#include "storage/TPagePipeline.h"

#include "storage/uDataModule.h"

#include <rapidjson/document.h>

namespace {
TPageResult Failed(qint32 framing, TPageFailure failure, QString detail = {})
{
    return {0, framing, failure, std::move(detail)};
}
} // namespace

TPagePipeline::TPagePipeline(TDM& dm)
    : m_dm(dm)
{
}

void TPagePipeline::SetWriter(Writer writer)
{
    m_writer = std::move(writer);
}

TPageResult TPagePipeline::Run(const QString& keyword, QString page)
{
    QString block;
    const TPageResult cut = Cut(std::move(page), &block);
    if (!cut.Ok()) {
        return cut;
    }
    return Store(keyword, block, cut.Framing);
}

TPageResult TPagePipeline::Cut(QString page, QString* block)
{
    TPageData::Block cut = TPageData::Extract(std::move(page));
    *block = std::move(cut.Text);
    if (!block->isEmpty()) {
        return {0, cut.Framing, TPageFailure::None, {}};
    }
    if (cut.Framing == TPageData::NoFraming) {
        return Failed(cut.Framing, cut.AsksLogin ? TPageFailure::LoginPage : TPageFailure::NoBlock,
                      std::move(cut.Title));
    }
    return Failed(cut.Framing, TPageFailure::CutOff);
}

TPageResult TPagePipeline::RunUtf8(const QString& keyword, QByteArray page)
{
    TPageData::Utf8Block cut = TPageData::ExtractUtf8(std::move(page));
    if (!cut.IsEmpty()) {
        return StoreUtf8(keyword, std::move(cut.Page), cut.Start, cut.Framing);
    }
    if (cut.Framing == TPageData::NoFraming) {
        return Failed(cut.Framing, cut.AsksLogin ? TPageFailure::LoginPage : TPageFailure::NoBlock,
                      std::move(cut.Title));
    }
    return Failed(cut.Framing, TPageFailure::CutOff);
}

TPageResult TPagePipeline::Store(const QString& keyword, const QString& block, qint32 framing)
{
    // A large block is converted only when its nesting allows it to parse: the text is held by the caller
    // meanwhile, and a hostile block would cost its size twice over.
    constexpr qsizetype LargeBlock = 4 << 20;
    if (block.size() > LargeBlock && !TPageData::NestsWithin(block, TPageData::MaxDepth)) {
        return Failed(framing, TPageFailure::NotParsed);
    }
    return StoreUtf8(keyword, block.toUtf8(), 0, framing);
}

TPageResult TPagePipeline::StoreUtf8(const QString& keyword, QByteArray text, qsizetype from, qint32 framing)
{
    TPageData::TParsed parsed;
    if (!TPageData::Parse(std::move(text), from, &parsed)) {
        return Failed(framing, TPageFailure::NotParsed);
    }
    const rapidjson::Value* listings = TPageData::ListingArray(parsed.Document, framing);
    if (listings == nullptr) {
        return Failed(framing, TPageFailure::NoListings);
    }
    QString error;
    const bool saved = framing == TPageData::PageConfigFraming ? m_dm.SaveAuctionList(keyword, *listings, &error)
                                                               : m_dm.SaveItemList(keyword, *listings, &error);
    if (!saved || !(m_writer ? m_writer(&error) : m_dm.ApplyGoodsRows(&error))) {
        return Failed(framing, TPageFailure::StoreFailed, error);
    }
    return {static_cast<int>(listings->Size()), framing, TPageFailure::None, {}};
}
