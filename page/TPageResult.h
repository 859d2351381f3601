#pragma once

#include "page/TPageData.h"

#include <QString>

// Why a page gave no rows.
enum class TPageFailure {
    None, // the listing array went to the store and was written; an empty array is no failure
    NoBlock, // no marker of either framing: not a search result page (Detail: the page's title, if it has one)
    LoginPage, // no marker of either framing, and the page asks for a login (Detail: its title, if it has one)
    CutOff, // a start marker without its end marker after it: the page ends early or lost its data
    NotParsed, // the block is no complete JSON value, or it nests deeper than TPageData::MaxDepth
    NoListings, // the block parsed but holds no listing array where its framing keeps one
    StoreFailed, // the store refused the listings or the write failed (Detail: the store's message)
};

// The outcome of one page.
struct TPageResult
{
    int Stored = 0; // elements of the listing array handed to the store, one row each; 0 on every failure
    qint32 Framing = TPageData::NoFraming; // the framing the page was read in
    TPageFailure Failure = TPageFailure::None;
    QString Detail; // what the user can act on, for the failures that name one; empty otherwise

    bool Ok() const { return Failure == TPageFailure::None; }
};
