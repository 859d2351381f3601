#pragma once

#include "net/THttpResult.h"
#include "page/TPageResult.h"

#include <QString>

struct TRunParams;

// Why a page of a run gave no rows, in words a user can act on: what the download learned (its failure, the
// status code, a redirect's target) and what the page held (a title, a block cut off).
class TRunReason
{
public:
    // Empty when there is nothing to report: the page gave rows, its listing array was empty (the normal end
    // of the results), the store failed (its message is shown on its own) or the window closed.
    static QString Of(const THttpResult& download, const TPageResult& page, const TRunParams& params);
    // The whole address of a redirect whose cause shows it shortened, for the log; empty otherwise.
    static QString FullAddress(const THttpResult& download);
    // A redirect's target as the cause shows it: whole when it is short, else its scheme and host.
    static QString ShownAddress(const QByteArray& location);

private:
    static QString OfDownload(const THttpResult& download, const TRunParams& params);
    static QString OfStatus(const THttpResult& download, const TPageResult& page);
    static QString OfPage(const TPageResult& page);
};
