#include "collect/TPagePipeline.h"

#include "page/TPageListings.h"
#include "storage/uDataModule.h"

TPagePipeline::TPagePipeline(TDM& dm)
    : m_dm(dm)
{
}

void TPagePipeline::SetWriter(Writer writer)
{
    m_writer = std::move(writer);
}

TPageResult TPagePipeline::Cut(QString page, QString* block)
{
    return TPageListings::Cut(std::move(page), block);
}

TPageResult TPagePipeline::Store(const QString& keyword, const QString& block, qint32 framing)
{
    TPageListings page;
    TPageResult result = page.Read(block, framing);
    if (!result.Ok()) {
        return result;
    }
    const TListingArray listings = page.Listings();
    QString error;
    const bool saved = framing == TPageData::PageConfigFraming ? m_dm.SaveAuctionList(keyword, listings, &error)
                                                               : m_dm.SaveItemList(keyword, listings, &error);
    if (!saved || !(m_writer ? m_writer(&error) : m_dm.ApplyGoodsRows(&error))) {
        return {0, framing, TPageFailure::StoreFailed, error};
    }
    result.Stored = listings.Size();
    return result;
}
