#pragma once

#include <QByteArray>
#include <QString>

#include <rapidjson/document.h>

// The listing data a search page embeds: a page-config object literal (framing 0) or a "body" array (framing 1).
class TPageData
{
public:
    static constexpr qint32 NoFraming = -1;
    static constexpr qint32 PageConfigFraming = 0;
    static constexpr qint32 BodyFraming = 1;
    // Deeper nesting than any real page has; a block nested deeper does not parse.
    static constexpr int MaxDepth = 512;

    struct Block
    {
        QString Text; // empty when no block was found
        qint32 Framing = NoFraming;
        QString Title; // the page's <title> when no block was cut out, so a failure can say what the page was
        bool AsksLogin = false; // no block was cut out and the page is a login page (AsksLogin)
    };

    // Cuts the data block out of a page by its markers. Never fails.
    static Block Extract(QString page);

    // Whether a page asks for a login: it holds a password field or a form whose attributes name a login.
    static bool AsksLogin(QStringView page);

    // The text of a page's first <title> element, blanks collapsed and the common entities decoded; empty
    // when the page has none.
    static QString Title(QStringView page);

    // A parsed block. The document's strings and numbers point into Text, which is kept with it.
    struct TParsed
    {
        QByteArray Text;
        rapidjson::Document Document;
    };

    // Parses a block of UTF-8 text in place; text after the first complete value is ignored. False when it
    // does not parse or nests deeper than MaxDepth. Numbers keep their own text (TInsituJsonReader).
    static bool Parse(QByteArray block, TParsed* parsed);
    static bool Parse(QStringView block, TParsed* parsed);

    // Whether the first value of a block nests no deeper than maxDepth, read by its brackets alone (strings
    // skipped); a quick check that spares converting a large block that cannot parse.
    static bool NestsWithin(QStringView block, int maxDepth);

    // The listing array of a framing: mods.itemlist.data.auctions, or the document itself.
    // Null when the path is missing or does not lead to an array.
    static const rapidjson::Value* ListingArray(const rapidjson::Value& document, qint32 framing);
};
