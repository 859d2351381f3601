#pragma once

#include "tests/app/TMainFormFixture.h"
#include "tests/app/TSearchPages.h"
#include "tests/support/TFakeMarketplace.h"

#include <QString>

#include <memory>

// Two days of one keyword's search page on the fake marketplace, collected in the main window: the first day's
// run, then set one day back, and the second day's. The second day: 一号 cheaper (100 → 85), 二号 dearer (50 →
// 55), 三号 gone, 五号 new, and a listing without an item number (known by its link's id 900, under another link
// the second day) unchanged. In the body framing no listing has an item number.
class TMarketDays
{
public:
    explicit TMarketDays(bool bodyFraming);
    ~TMarketDays();

    // Starts the server and the main window on empty data files; false when either did not start.
    bool Start();
    TMainForm* Form() const { return m_fixture->Form(); }
    TMainFormFixture* Fixture() const { return m_fixture.get(); }
    static const QString& Keyword();

    // Collects a day's page (0: the first day, set one day back afterwards; 1: the second) as a user does; the
    // run's id, 0 when it was not recorded complete.
    qint64 RunDay(int day);
    // Collects a page of these listings; the run's id, 0 when it was not recorded complete.
    qint64 RunListings(const QList<TSearchPages::TListing>& listings);
    // A run of two pages whose second page the server does not have: recorded as partial. Its id.
    qint64 RunPartial();

private:
    qint64 Collect(int pages);
    bool MoveBackADay(qint64 run);

    bool m_body;
    std::unique_ptr<TFakeMarketplace> m_server;
    std::unique_ptr<TMainFormFixture> m_fixture;
};
