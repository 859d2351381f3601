#pragma once

#include <QString>
#include <QVariant>

// How one listing differs between two runs.
struct TRunChange
{
    enum Kind { New, Gone, Cheaper, Dearer };
    Kind Change = New;
    QString ItemKey, Title, DetailUrl; // of the newer sighting (of the older one for Gone); DetailUrl: its page
                                       // (the detail link, else the listing link)
    QVariant OldPrice, NewPrice; // view_price; null where none
};
