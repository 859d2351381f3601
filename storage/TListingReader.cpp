#include "storage/TListingReader.h"

#include <QLocale>

#include <cmath>
#include <optional>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace {
// The range of the fixed-point amount: 64 bits of units of 1/10000.
constexpr double AmountLimit = 922337203685477.5807;
constexpr qint64 AmountScale = 10000;

const rapidjson::Value* Member(const rapidjson::Value& listing, const char* key)
{
    if (!listing.IsObject()) {
        return nullptr;
    }
    const auto it = listing.FindMember(key);
    return it != listing.MemberEnd() ? &it->value : nullptr;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Skips blanks and an optional sign; returns whether the number is negative.
bool SkipBlanksAndSign(const char** p, const char* end)
{
    while (*p < end && IsBlank(**p)) {
        ++*p;
    }
    const bool negative = *p < end && **p == '-';
    if (*p < end && (**p == '-' || **p == '+')) {
        ++*p;
    }
    return negative;
}

// Adds a digit to a magnitude; false on overflow.
bool AddDigit(quint64* value, char digit, quint64 limit)
{
    const quint64 d = static_cast<quint64>(digit - '0');
    if (*value > (limit - d) / 10) {
        return false;
    }
    *value = *value * 10 + d;
    return true;
}

std::optional<qint64> ParseWhole(const char* p, const char* end)
{
    const bool negative = SkipBlanksAndSign(&p, end);
    if (p == end) {
        return std::nullopt;
    }
    quint64 value = 0;
    const quint64 limit = negative ? quint64(INT64_MAX) + 1 : quint64(INT64_MAX);
    for (; p < end; ++p) {
        if (!IsDigit(*p) || !AddDigit(&value, *p, limit)) {
            return std::nullopt;
        }
    }
    return negative ? static_cast<qint64>(0 - value) : static_cast<qint64>(value);
}

// Whether the digits dropped past the fourth decimal round the units up: above one half, or exactly
// one half with odd units.
bool RoundsUp(const char* dropped, const char* end, quint64 units)
{
    if (dropped == end || *dropped < '5') {
        return false;
    }
    if (*dropped > '5') {
        return true;
    }
    for (const char* p = dropped + 1; p < end; ++p) {
        if (*p != '0') {
            return true;
        }
    }
    return (units & 1) != 0;
}

// A plain decimal number with "." to units of 1/10000, exactly.
std::optional<qint64> ParseAmountUnits(const char* p, const char* end)
{
    const bool negative = SkipBlanksAndSign(&p, end);
    const quint64 limit = quint64(INT64_MAX);
    quint64 units = 0;
    int digits = 0;
    for (; p < end && IsDigit(*p); ++p, ++digits) {
        if (!AddDigit(&units, *p, limit)) {
            return std::nullopt;
        }
    }
    int decimals = 0;
    const char* dropped = end;
    if (p < end && *p == '.') {
        for (++p; p < end && IsDigit(*p); ++p, ++digits) {
            if (decimals == 4) {
                dropped = dropped == end ? p : dropped;
                continue;
            }
            if (!AddDigit(&units, *p, limit)) {
                return std::nullopt;
            }
            ++decimals;
        }
    }
    if (p != end || digits == 0) {
        return std::nullopt;
    }
    for (; decimals < 4; ++decimals) {
        if (!AddDigit(&units, '0', limit)) {
            return std::nullopt;
        }
    }
    if (RoundsUp(dropped, end, units)) {
        if (units == limit) {
            return std::nullopt;
        }
        ++units;
    }
    return negative ? -static_cast<qint64>(units) : static_cast<qint64>(units);
}
} // namespace

QString TListingReader::TextOf(const rapidjson::Value& value)
{
    if (value.IsString()) {
        return QString::fromUtf8(value.GetString(), static_cast<qsizetype>(value.GetStringLength()));
    }
    if (value.IsNull()) {
        return QString();
    }
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    value.Accept(writer);
    return QString::fromUtf8(buffer.GetString(), static_cast<qsizetype>(buffer.GetSize()));
}

QVariant TListingReader::PriceOfText(const QString& text)
{
    static const QLocale locale = [] {
        QLocale system = QLocale::system();
        // "1.250" must never read as 1250 where "." groups thousands.
        system.setNumberOptions(QLocale::RejectGroupSeparator);
        return system;
    }();
    bool ok = false;
    double value = locale.toDouble(text, &ok);
    if (!ok) {
        QString plain = text.trimmed();
        plain.replace(locale.decimalPoint(), QLatin1String("."));
        value = QLocale::c().toDouble(plain, &ok);
    }
    if (!ok || !std::isfinite(value)) {
        return QVariant();
    }
    return QVariant(value);
}

double TListingReader::AmountOf(const rapidjson::Value& value)
{
    if (value.IsBool()) {
        return value.GetBool() ? 1.0 : 0.0;
    }
    if (value.IsNumber()) {
        const double number = value.GetDouble();
        if (!(std::fabs(number) <= AmountLimit)) {
            return 0.0;
        }
        return std::nearbyint(number * AmountScale) / AmountScale;
    }
    if (value.IsString()) {
        const char* text = value.GetString();
        const std::optional<qint64> units = ParseAmountUnits(text, text + value.GetStringLength());
        return units ? static_cast<double>(*units) / AmountScale : 0.0;
    }
    return 0.0;
}

qint64 TListingReader::IntegerOf(const rapidjson::Value& value)
{
    if (value.IsBool()) {
        return value.GetBool() ? 1 : 0;
    }
    if (value.IsInt64()) {
        return value.GetInt64();
    }
    if (value.IsDouble()) {
        const double rounded = std::nearbyint(value.GetDouble());
        const bool fits = rounded >= -9223372036854775808.0 && rounded < 9223372036854775808.0;
        return fits ? static_cast<qint64>(rounded) : 0;
    }
    if (value.IsString()) {
        const char* text = value.GetString();
        return ParseWhole(text, text + value.GetStringLength()).value_or(0);
    }
    return 0;
}

QString TListingReader::Text(const rapidjson::Value& listing, const char* key)
{
    const rapidjson::Value* value = Member(listing, key);
    return value != nullptr ? TextOf(*value) : QString();
}

QVariant TListingReader::Price(const rapidjson::Value& listing, const char* key)
{
    const rapidjson::Value* value = Member(listing, key);
    return value != nullptr ? PriceOfText(TextOf(*value)) : QVariant();
}

double TListingReader::Amount(const rapidjson::Value& listing, const char* key)
{
    const rapidjson::Value* value = Member(listing, key);
    return value != nullptr ? AmountOf(*value) : 0.0;
}

qint64 TListingReader::Integer(const rapidjson::Value& listing, const char* key)
{
    const rapidjson::Value* value = Member(listing, key);
    return value != nullptr ? IntegerOf(*value) : 0;
}
