#include "page/TListingReader.h"

#include "page/TInsituJsonReader.h"
#include "platform/AsciiBlank.h"

#include <QLocale>

#include <charconv>
#include <cmath>
#include <optional>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <string>
#include <string_view>

namespace {
// The range of the fixed-point amount: 64 bits of units of 1/10000.
constexpr double AmountLimit = 922337203685477.5807;
constexpr qint64 AmountScale = 10000;

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

// The decimal text of a JSON number with its exponent applied ("1.5e2" gives "150", "25e-3" gives "0.025"),
// digit for digit. Empty when the exponent puts the value beyond every amount; "0" when below every unit.
std::string WithoutExponent(std::string_view number)
{
    const size_t e = number.find_first_of("eE");
    if (e == std::string_view::npos) {
        return std::string(number);
    }
    const bool negative = !number.empty() && number.front() == '-';
    const std::string_view mantissa = number.substr(negative ? 1 : 0, e - (negative ? 1 : 0));
    const std::optional<qint64> exponent = ParseWhole(number.data() + e + 1, number.data() + number.size());
    const size_t dot = mantissa.find('.');
    std::string digits(mantissa.substr(0, dot));
    if (dot != std::string_view::npos) {
        digits += mantissa.substr(dot + 1);
    }
    const bool zero = digits.find_first_not_of('0') == std::string::npos;
    // An amount has at most 19 digits before the point and is rounded after the fourth behind it.
    constexpr qint64 Reach = 400;
    if (zero || (exponent && *exponent < -Reach) || (!exponent && number[e + 1] == '-')) {
        return "0";
    }
    if (!exponent || *exponent > Reach) {
        return {};
    }
    const qint64 point = static_cast<qint64>(dot == std::string_view::npos ? mantissa.size() : dot) + *exponent;
    std::string plain = negative ? "-" : "";
    if (point <= 0) {
        plain += "0." + std::string(static_cast<size_t>(-point), '0') + digits;
    } else if (point >= static_cast<qint64>(digits.size())) {
        plain += digits + std::string(static_cast<size_t>(point) - digits.size(), '0');
    } else {
        plain += digits.substr(0, static_cast<size_t>(point)) + "." + digits.substr(static_cast<size_t>(point));
    }
    return plain;
}

// A whole number from a double, halves to even; nothing when it does not fit 64 bits.
std::optional<qint64> Rounded(double value)
{
    const double rounded = std::nearbyint(value);
    if (!(rounded >= -9223372036854775808.0 && rounded < 9223372036854775808.0)) {
        return std::nullopt;
    }
    return static_cast<qint64>(rounded);
}

// The number a JSON number's text stands for, correctly rounded; nothing beyond the range of a double.
std::optional<double> NumberValue(const char* p, const char* end)
{
    double value = 0;
    const auto [last, ec] = std::from_chars(p, end, value);
    if (ec != std::errc() || last != end) {
        return std::nullopt;
    }
    return value;
}

// Writes a value as JSON text, a number of a parsed page as the text it had there.
class TPageWriter : public rapidjson::Writer<rapidjson::StringBuffer>
{
public:
    using Writer::Writer;
    bool String(const Ch* text, rapidjson::SizeType length, bool copy = false)
    {
        if (text[length] != '\0') {
            return RawValue(text, length, rapidjson::kNumberType);
        }
        return Writer::String(text, length, copy);
    }
};
} // namespace

const rapidjson::Value* TListingReader::Member(const rapidjson::Value& object, const char* key)
{
    if (!object.IsObject()) {
        return nullptr;
    }
    const auto it = object.FindMember(key);
    return it != object.MemberEnd() ? &it->value : nullptr;
}

QString TListingReader::TextOf(const rapidjson::Value& value)
{
    // A string, or a number of a parsed page, which keeps its text.
    if (value.IsString()) {
        return QString::fromUtf8(value.GetString(), static_cast<qsizetype>(value.GetStringLength()));
    }
    if (value.IsNull()) {
        return QString();
    }
    rapidjson::StringBuffer buffer;
    TPageWriter writer(buffer);
    value.Accept(writer);
    return QString::fromUtf8(buffer.GetString(), static_cast<qsizetype>(buffer.GetSize()));
}

// Plain decimal numbers: "." as the decimal point and no group separators ("1,234.5" is no number).
static const QLocale& PlainLocale()
{
    static const QLocale plain = [] {
        QLocale c = QLocale::c();
        c.setNumberOptions(QLocale::RejectGroupSeparator);
        return c;
    }();
    return plain;
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
        value = PlainLocale().toDouble(plain, &ok);
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
    if (TInsituJsonReader::IsNumberText(value)) {
        // Rounded from its decimal text, so the number 1.00005 gives what the text "1.00005" gives.
        const std::string plain = WithoutExponent({value.GetString(), value.GetStringLength()});
        const std::optional<qint64> units = ParseAmountUnits(plain.data(), plain.data() + plain.size());
        return units ? static_cast<double>(*units) / AmountScale : 0.0;
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
        return Rounded(value.GetDouble()).value_or(0);
    }
    if (TInsituJsonReader::IsNumberText(value)) {
        // A whole number as it stands; a fraction, an exponent or a whole number beyond 64 bits rounded.
        const char* text = value.GetString();
        const char* end = text + value.GetStringLength();
        if (const std::optional<qint64> whole = ParseWhole(text, end)) {
            return *whole;
        }
        const std::optional<double> number = NumberValue(text, end);
        return number ? Rounded(*number).value_or(0) : 0;
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

// A text of the form "123" or "12.50" (a minus before it allowed), which every locale's rule or the plain
// decimal rule reads as the same correctly rounded number: read here without making a text of it first.
static std::optional<double> PlainDecimal(const rapidjson::Value& value)
{
    if (!value.IsString()) {
        return std::nullopt;
    }
    const char* begin = value.GetString();
    const char* end = begin + value.GetStringLength();
    const char* p = begin + (begin != end && *begin == '-' ? 1 : 0);
    const auto digits = [&p, end]() {
        const char* first = p;
        while (p != end && *p >= '0' && *p <= '9') {
            ++p;
        }
        return p != first;
    };
    if (!digits() || (p != end && (*p++ != '.' || !digits())) || p != end) {
        return std::nullopt;
    }
    double number = 0;
    const std::from_chars_result read = std::from_chars(begin, end, number);
    if (read.ec != std::errc() || read.ptr != end || !std::isfinite(number)) {
        return std::nullopt;
    }
    return number;
}

QVariant TListingReader::Price(const rapidjson::Value& listing, const char* key)
{
    const rapidjson::Value* value = Member(listing, key);
    if (value == nullptr) {
        return QVariant();
    }
    const std::optional<double> plain = PlainDecimal(*value);
    return plain ? QVariant(*plain) : PriceOfText(TextOf(*value));
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
