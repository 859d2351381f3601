#include "page/TPageListings.h"

namespace {
TPageResult Failed(qint32 framing, TPageFailure failure, QString detail = {})
{
    return {0, framing, failure, std::move(detail)};
}
} // namespace

TPageResult TPageListings::Cut(QString page, QString* block)
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

TPageResult TPageListings::Read(const QString& block, qint32 framing)
{
    m_listings = nullptr;
    // A large block is converted only when its nesting allows it to parse: the text is held by the caller
    // meanwhile, and a hostile block would cost its size twice over.
    constexpr qsizetype LargeBlock = 4 << 20;
    if (block.size() > LargeBlock && !TPageData::NestsWithin(block, TPageData::MaxDepth)) {
        return Failed(framing, TPageFailure::NotParsed);
    }
    if (!TPageData::Parse(block.toUtf8(), &m_parsed)) {
        return Failed(framing, TPageFailure::NotParsed);
    }
    m_listings = TPageData::ListingArray(m_parsed.Document, framing);
    if (m_listings == nullptr) {
        return Failed(framing, TPageFailure::NoListings);
    }
    return {0, framing, TPageFailure::None, {}};
}

TListingArray TPageListings::Listings() const
{
    return TListingArray(m_listings != nullptr ? *m_listings : m_parsed.Document);
}
