#pragma once

#include <QString>
#include <QVariant>

#include <rapidjson/fwd.h>

// Reads the members of a listing object of the marketplace's page data. A value that is not an
// object reads as an object without members.
class TListingReader
{
public:
    // A string unchanged; a number, true or false as its JSON text; missing or null as the empty text.
    static QString Text(const rapidjson::Value& listing, const char* key);
    // The text converted to a number by the locale's rules, else as a plain decimal number with the
    // locale's decimal separator; a null variant when both reject it (the empty text included).
    static QVariant Price(const rapidjson::Value& listing, const char* key);
    // A fixed-point amount with four decimals (halves to even): a number, a string holding only a
    // decimal number with "." (blanks before it allowed), true as 1; anything else 0.
    static double Amount(const rapidjson::Value& listing, const char* key);
    // A whole number: an integer unchanged, a fraction rounded (halves to even), a string holding only
    // a whole number (blanks before it allowed), true as 1; anything else 0.
    static qint64 Integer(const rapidjson::Value& listing, const char* key);

    // The member of an object by name; null when the value is no object or has no such member.
    static const rapidjson::Value* Member(const rapidjson::Value& object, const char* key);

    // The conversions on a value of its own, for callers that hold one already.
    static QString TextOf(const rapidjson::Value& value);
    static QVariant PriceOfText(const QString& text);
    static double AmountOf(const rapidjson::Value& value);
    static qint64 IntegerOf(const rapidjson::Value& value);
};
