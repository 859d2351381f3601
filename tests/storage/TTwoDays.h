#pragma once

#include "tests/storage/TRunStore.h"

// Two days of one keyword's listings. The second day: 1 cheaper by 15 %, 2 dearer, 3 gone, 4 unchanged, 5 new,
// 6 cheaper by 13.3 % from above 40 to below, 7 cheaper by 8 %, 8 cheaper by exactly 10 %; 900 has no item number
// and is known by its detail link's id, unchanged. Listing 1 is seen twice on the first day: its first row counts.
inline QList<QByteArray> FirstDay()
{
    return {Auctions({{"1", "一号", "100.00"}, {"2", "二号", "50.00"}, {"3", "三号", "30.00"}}),
            Auctions({{"4", "四号", "20.00"},
                      {"6", "六号", "45.00"},
                      {"7", "七号", "50.00"},
                      {"8", "八号", "100.00"},
                      {"1", "一号", "99.00"},
                      {nullptr, "无编号", "60.00", "//item.taobao.com/item.htm?id=900"}})};
}

inline QList<QByteArray> SecondDay()
{
    return {Auctions({{"1", "一号", "85.00"}, {"2", "二号", "55.00"}, {"4", "四号", "20.00"}, {"5", "五号", "9.90"}}),
            Auctions({{"6", "六号", "39.00"},
                      {"7", "七号", "46.00"},
                      {"8", "八号", "90.00"},
                      {nullptr, "无编号", "60.00", "//detail.tmall.com/item.htm?id=900&spm=1"}})};
}

inline const QString& Keyword()
{
    static const QString keyword = QStringLiteral("连衣裙");
    return keyword;
}
