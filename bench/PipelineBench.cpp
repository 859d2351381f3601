// Figures for the page pipeline (everything between the download and the pause), for the write of one page
// into a large table, for the database open and for the download itself over loopback.
#include "bench/TBenchDatabase.h"
#include "bench/TBenchPages.h"
#include "collect/TCollectionRun.h"
#include "net/HttpGetString.h"
#include "net/PageText.h"
#include "page/TListingArray.h"
#include "page/TPageData.h"
#include "storage/engine/TConnection.h"
#include "storage/engine/TRowSet.h"
#include "storage/uDataModule.h"
#include "tests/support/TFakeMarketplace.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <map>
#include <memory>
#include <rapidjson/document.h>

namespace {
const QString Keyword = QStringLiteral("办公桌");

struct TPage
{
    QByteArray bytes;
    QString text;
    TPageData::Block block;
};

// 0: the saved page, 1: the generated 44-listing page.
const TPage& Page(int which)
{
    static const std::array<TPage, 2> pages = [] {
        std::array<TPage, 2> result;
        result[0].bytes = TBenchPages::FixturePage();
        result[1].bytes = TBenchPages::GeneratedPage();
        for (TPage& page : result) {
            page.text = PageText::FromUtf8(page.bytes).value_or(QString());
            page.block = TPageData::Extract(page.text);
        }
        return result;
    }();
    return pages.at(static_cast<size_t>(which));
}

void Describe(benchmark::State& state, int which)
{
    state.SetLabel(which == 0 ? "saved page" : "generated page");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * Page(which).bytes.size());
}

QTemporaryDir& WorkDir()
{
    static QTemporaryDir dir;
    return dir;
}

// A data module on a database file of its own in the work folder, with rowsBefore listings in goodslist.
std::unique_ptr<TDM> OpenModule(const QString& name, int rowsBefore = 0)
{
    const QString path = WorkDir().filePath(name);
    const bool fill = !QFile::exists(path) && rowsBefore > 0;
    auto dm = std::make_unique<TDM>();
    QString error;
    if (!dm->OpenDatabase(path, &error) || (fill && !TBenchDatabase::FillGoods(dm->conn(), rowsBefore, &error))
        || !dm->OpenGoodsQuery(&error)) {
        qFatal("cannot prepare %s: %s", qPrintable(path), qPrintable(error));
    }
    return dm;
}

const rapidjson::Value& Listings(const rapidjson::Document& document)
{
    const rapidjson::Value* listings = TPageData::ListingArray(document, TPageData::PageConfigFraming);
    if (listings == nullptr) {
        qFatal("the page holds no listings");
    }
    return *listings;
}

void Reopen(TDM& dm)
{
    QString error;
    if (!dm.OpenGoodsQuery(&error)) {
        qFatal("cannot reopen the goods query: %s", qPrintable(error));
    }
}

void Save(TDM& dm, const rapidjson::Value& listings)
{
    QString error;
    if (!dm.SaveAuctionList(Keyword, TListingArray(listings), &error)) {
        qFatal("cannot store: %s", qPrintable(error));
    }
}

void Apply(TDM& dm)
{
    QString error;
    if (!dm.ApplyGoodsRows(&error)) {
        qFatal("cannot apply: %s", qPrintable(error));
    }
}

void BM_PageText(benchmark::State& state)
{
    const int which = static_cast<int>(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(PageText::FromUtf8(Page(which).bytes));
    }
    Describe(state, which);
}

void BM_Extract(benchmark::State& state)
{
    const int which = static_cast<int>(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(TPageData::Extract(Page(which).text));
    }
    Describe(state, which);
}

void BM_Parse(benchmark::State& state)
{
    const int which = static_cast<int>(state.range(0));
    for (auto _ : state) {
        TPageData::TParsed parsed;
        benchmark::DoNotOptimize(TPageData::Parse(Page(which).block.Text, &parsed));
    }
    Describe(state, which);
}

void BM_Store(benchmark::State& state)
{
    const int which = static_cast<int>(state.range(0));
    TPageData::TParsed parsed;
    TPageData::Parse(Page(which).block.Text, &parsed);
    const rapidjson::Document& document = parsed.Document;
    const auto dm = OpenModule(QStringLiteral("store.db"));
    for (auto _ : state) {
        state.PauseTiming();
        Reopen(*dm);
        state.ResumeTiming();
        Save(*dm, Listings(document));
    }
    Describe(state, which);
}

void BM_Apply(benchmark::State& state)
{
    const int which = static_cast<int>(state.range(0));
    TPageData::TParsed parsed;
    TPageData::Parse(Page(which).block.Text, &parsed);
    const rapidjson::Document& document = parsed.Document;
    const auto dm = OpenModule(QStringLiteral("apply.db"));
    for (auto _ : state) {
        state.PauseTiming();
        Reopen(*dm);
        Save(*dm, Listings(document));
        state.ResumeTiming();
        Apply(*dm);
    }
    Describe(state, which);
}

// Runs a page through the collection run's own steps, as the program does once a page has downloaded: the
// body decoded to text (characters code page 936 lacks become "?"), the data block cut out, its listings
// stored in the goods query and written to the data module's file on the writer's thread.
void RunPipeline(benchmark::State& state, TDM& dm)
{
    const int which = static_cast<int>(state.range(0));
    TCollectionRun run(dm);
    QString error;
    for (auto _ : state) {
        state.PauseTiming();
        Reopen(dm);
        QByteArray body = Page(which).bytes;
        body.detach(); // a downloaded body is the download's own
        state.ResumeTiming();
        QString block = run.ExtractPageJson(PageText::TakeFromUtf8(std::move(body)).value_or(QString()));
        if (run.StorePageJson(Keyword, block, run.LastPage().Framing, &error) == 0) {
            state.SkipWithError("the page stored no listings");
            break;
        }
    }
    Describe(state, which);
}

// What a page costs from the downloaded bytes to the durable commit.
void BM_Pipeline(benchmark::State& state)
{
    RunPipeline(state, *OpenModule(QStringLiteral("pipeline.db")));
}

// The same into a file without the listings library's upkeep (its search index, the index's triggers and the
// sort indexes), as a file of the schema before the library stored pages: what the page's own work costs.
void BM_PipelineUnindexed(benchmark::State& state)
{
    // A file of its own for every call: reopened, a file without the index would get it back.
    static int calls = 0;
    const auto dm = OpenModule(QStringLiteral("pipeline-unindexed-%1.db").arg(++calls));
    QString error;
    for (const char* sql :
         {"DROP TRIGGER goodslist_fts_insert", "DROP TRIGGER goodslist_fts_delete", "DROP TRIGGER goodslist_fts_update",
          "DROP TABLE goodslist_fts", "DROP INDEX goodslist_keyname", "DROP INDEX goodslist_view_price",
          "DROP INDEX goodslist_comment_count", "DROP INDEX goodslist_collect_time"}) {
        if (!dm->conn()->Execute(QString::fromLatin1(sql), &error)) {
            qFatal("cannot drop the library's upkeep: %s", qPrintable(error));
        }
    }
    RunPipeline(state, *dm);
}

// The write of one 44-listing page into a table that holds range(0) rows already.
void BM_ApplyIntoTable(benchmark::State& state)
{
    const int rowsBefore = static_cast<int>(state.range(0));
    TPageData::TParsed parsed;
    TPageData::Parse(Page(1).block.Text, &parsed);
    const rapidjson::Document& document = parsed.Document;
    const auto dm = OpenModule(QStringLiteral("table-%1.db").arg(rowsBefore), rowsBefore);
    for (auto _ : state) {
        state.PauseTiming();
        Reopen(*dm);
        Save(*dm, Listings(document));
        state.ResumeTiming();
        Apply(*dm);
    }
    state.SetLabel(QStringLiteral("%1 rows before").arg(rowsBefore).toStdString());
}

// Reopening an existing file in the same process: the key derived at the first opening is kept, so this is the
// schema check and the version read.
void BM_OpenDatabase(benchmark::State& state)
{
    OpenModule(QStringLiteral("open.db"));
    for (auto _ : state) {
        TDM dm;
        QString error;
        if (!dm.OpenDatabase(WorkDir().filePath(QStringLiteral("open.db")), &error)) {
            qFatal("cannot open: %s", qPrintable(error));
        }
    }
}

void BM_HttpGetString(benchmark::State& state)
{
    const QByteArray body = TBenchPages::TextBody(static_cast<int>(state.range(0)));
    TFakeMarketplace server;
    if (!server.Start()) {
        qFatal("cannot start the loopback server");
    }
    server.ServePage("/search?q=x", body);
    const QString url = server.Url(QStringLiteral("/search?q=x"));
    for (auto _ : state) {
        const QString text = HttpGetString(url, 10000);
        if (text.isEmpty()) {
            state.SkipWithError("the download failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * body.size());
}
} // namespace

BENCHMARK(BM_PageText)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Extract)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Parse)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Store)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Apply)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Pipeline)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PipelineUnindexed)->Arg(0)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ApplyIntoTable)->Arg(0)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenDatabase)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_HttpGetString)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // "--write-pages=FOLDER" only writes the two pages, for the comparison scraper.
    const QString writePages = QStringLiteral("--write-pages=");
    for (const QString& argument : app.arguments()) {
        if (argument.startsWith(writePages)) {
            return TBenchPages::WritePages(argument.mid(writePages.size())) ? 0 : 1;
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
