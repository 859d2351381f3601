#include "app/TPageData.h"

#include <QByteArray>

namespace {
struct Marker
{
    QLatin1String start;
    QLatin1String end;
    bool keepBrace;
};

const Marker Markers[] = {
    {QLatin1String("g_page_config = "), QLatin1String("g_srp_loadCss();"), true},
    {QLatin1String("\"body\":"), QLatin1String("\"srpbase"), false},
};

QStringView TrimAtLastBrace(QStringView cut, bool keepBrace)
{
    const qsizetype brace = cut.lastIndexOf(QLatin1Char('}'));
    if (brace < 0) {
        return cut;
    }
    return cut.left(keepBrace ? brace + 1 : brace);
}

const rapidjson::Value* Member(const rapidjson::Value* object, const char* name)
{
    if (object == nullptr || !object->IsObject()) {
        return nullptr;
    }
    const auto it = object->FindMember(name);
    return it == object->MemberEnd() ? nullptr : &it->value;
}
} // namespace

TPageData::Block TPageData::Extract(const QString& page)
{
    Block block;
    for (qint32 framing = PageConfigFraming; framing <= BodyFraming; ++framing) {
        const Marker& marker = Markers[framing];
        const qsizetype start = page.indexOf(marker.start);
        if (start < 0) {
            continue;
        }
        block.Framing = framing;
        const qsizetype from = start + marker.start.size();
        const qsizetype end = page.indexOf(marker.end);
        if (end > from) {
            // The block is copied once, after trimming: pages run to several hundred kilobytes.
            block.Text = TrimAtLastBrace(QStringView(page).sliced(from, end - from), marker.keepBrace).toString();
        }
        break;
    }
    return block;
}

bool TPageData::Parse(const QString& block, rapidjson::Document* document)
{
    const QByteArray utf8 = block.toUtf8();
    document->Parse<rapidjson::kParseStopWhenDoneFlag | rapidjson::kParseIterativeFlag>(utf8.constData(), utf8.size());
    return !document->HasParseError();
}

const rapidjson::Value* TPageData::ListingArray(const rapidjson::Value& document, qint32 framing)
{
    const rapidjson::Value* array = nullptr;
    if (framing == PageConfigFraming) {
        array = Member(Member(Member(Member(&document, "mods"), "itemlist"), "data"), "auctions");
    } else if (framing == BodyFraming) {
        array = &document;
    }
    return array != nullptr && array->IsArray() ? array : nullptr;
}
