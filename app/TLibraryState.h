#pragma once

#include "library/TLibraryFilter.h"

#include <QDate>
#include <QSize>
#include <QString>

// What the library window keeps from one opening to the next, the program's restarts included: its filters as
// they were entered, what a row stands for, the sort and the window's size. It lives in the user's configuration
// folder (mercatix/library.ini under $XDG_CONFIG_HOME, else ~/.config), apart from the settings file beside the
// database, which keeps what it always kept.
struct TLibraryState
{
    QString Search;
    bool ByKeyword = false;
    QString Keyword;
    QString MinPrice; // as typed
    QString MaxPrice;
    QString Location;
    bool ByDate = false;
    QDate From;
    QDate To;
    bool BySeller = false;
    QString SellerId;
    QString SellerNick;
    bool Merged = false;
    bool Sellers = false;
    TLibrarySort Sort = TLibrarySort::Newest();
    QSize Size; // invalid: the window's default size

    static QString Path();
    // What was kept; the defaults when nothing was, or what was kept cannot be read.
    static TLibraryState Load();
    // False when the file cannot be written.
    bool Save() const;
};
