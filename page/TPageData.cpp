#include "page/TPageData.h"

#include "page/TInsituJsonReader.h"
#include "page/TListingReader.h"

#include <QByteArray>
#include <QRegularExpression>

#include <utility>

namespace {
struct Marker
{
    QLatin1String start;
    QLatin1String end;
    bool keepBrace;
};

// The entities a page title commonly holds; "&amp;" last, so "&amp;lt;" stays "&lt;".
const std::pair<QLatin1String, QLatin1String> Entities[] = {
    {QLatin1String("&lt;"), QLatin1String("<")},    {QLatin1String("&gt;"), QLatin1String(">")},
    {QLatin1String("&quot;"), QLatin1String("\"")}, {QLatin1String("&#39;"), QLatin1String("'")},
    {QLatin1String("&nbsp;"), QLatin1String(" ")},  {QLatin1String("&amp;"), QLatin1String("&")},
};

// A title is shown in one log line: longer ones are cut.
constexpr qsizetype MaxTitle = 200;

const Marker Markers[] = {
    {QLatin1String("g_page_config = "), QLatin1String("g_srp_loadCss();"), true},
    {QLatin1String("\"body\":"), QLatin1String("\"srpbase"), false},
};

// The length of the block that starts a cut: up to the last closing brace, with or without it.
qsizetype TrimmedLength(QStringView cut, bool keepBrace)
{
    const qsizetype brace = cut.lastIndexOf(QLatin1Char('}'));
    if (brace < 0) {
        return cut.size();
    }
    return keepBrace ? brace + 1 : brace;
}

const rapidjson::Value* Member(const rapidjson::Value* object, const char* name)
{
    return object != nullptr ? TListingReader::Member(*object, name) : nullptr;
}
} // namespace

TPageData::Block TPageData::Extract(QString page)
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
            // Cut in place: a page of many megabytes is never held twice.
            page.truncate(from + TrimmedLength(QStringView(page).mid(from, end - from), marker.keepBrace));
            page.remove(0, from);
            block.Text = std::move(page);
        }
        break;
    }
    if (block.Text.isEmpty()) {
        block.Title = Title(page);
        block.AsksLogin = block.Framing == NoFraming && AsksLogin(page);
    }
    return block;
}

bool TPageData::AsksLogin(QStringView page)
{
    static const QRegularExpression password(QStringLiteral(R"(<input\b[^>]*\btype\s*=\s*["']?password\b)"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression form(QStringLiteral(R"(<form\b[^>]*(login|log-in|signin|sign-in|登录))"),
                                         QRegularExpression::CaseInsensitiveOption);
    return password.match(page).hasMatch() || form.match(page).hasMatch();
}

QString TPageData::Title(QStringView page)
{
    const qsizetype open = page.indexOf(QLatin1String("<title"), 0, Qt::CaseInsensitive);
    if (open < 0) {
        return {};
    }
    const qsizetype from = page.indexOf(QLatin1Char('>'), open);
    if (from < 0) {
        return {};
    }
    const qsizetype to = page.indexOf(QLatin1String("</title"), from, Qt::CaseInsensitive);
    if (to < 0) {
        return {};
    }
    QString title = page.sliced(from + 1, qMin(to - from - 1, MaxTitle)).toString();
    for (const auto& [entity, text] : Entities) {
        title.replace(entity, text);
    }
    return title.simplified();
}

bool TPageData::Parse(QByteArray block, TParsed* parsed)
{
    parsed->Text = std::move(block);
    char* start = parsed->Text.data(); // detaches: the text is the parsed block's own
    const auto size = static_cast<size_t>(parsed->Text.size());
    return TInsituJsonReader::Parse(start, size, MaxDepth, &parsed->Document);
}

bool TPageData::Parse(QStringView block, TParsed* parsed)
{
    return Parse(block.toUtf8(), parsed);
}

bool TPageData::NestsWithin(QStringView block, int maxDepth)
{
    const QStringView value = block.trimmed();
    if (value.isEmpty() || (value.front() != u'[' && value.front() != u'{')) {
        return true; // a scalar first value nests nothing
    }
    int depth = 0;
    for (qsizetype i = value.data() - block.data(); i < block.size(); ++i) {
        const char16_t c = block[i].unicode();
        if (c == u'[' || c == u'{') {
            if (++depth > maxDepth) {
                return false;
            }
        } else if (c == u']' || c == u'}') {
            if (--depth <= 0) {
                return true; // the first value is complete: what follows is never read
            }
        } else if (c == u'"') {
            // To the closing quote: one not escaped by an odd run of backslashes.
            for (++i; i < block.size() && block[i] != u'"'; ++i) {
                if (block[i] == u'\\') {
                    ++i;
                }
            }
        }
    }
    return true;
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
