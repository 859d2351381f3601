#include "page/TPageData.h"

#include <QTest>

class TestPageData : public QObject
{
    Q_OBJECT

private slots:
    void extract_data();
    void extract();
    void listingArray_data();
    void listingArray();
    void textsArriveAsUtf8();
    void nestsWithin_data();
    void nestsWithin();
    void title_data();
    void title();
};

void TestPageData::extract_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("block");
    QTest::addColumn<int>("framing");
    QTest::newRow("no marker") << "<html>nothing</html>"
                               << "" << -1;
    QTest::newRow("page config, semicolon and blanks dropped")
        << "x g_page_config = {\"a\":{\"b\":1}};\n   g_srp_loadCss(); y"
        << "{\"a\":{\"b\":1}}" << 0;
    QTest::newRow("page config without end marker") << "g_page_config = {\"a\":1};"
                                                    << "" << 0;
    QTest::newRow("page config, end before start") << "g_srp_loadCss(); g_page_config = {}"
                                                   << "" << 0;
    QTest::newRow("page config wins over body") << "\"body\":[1]}\"srpbase g_page_config = {\"k\":2} g_srp_loadCss();"
                                                << "{\"k\":2}" << 0;
    QTest::newRow("page config, cut without brace") << "g_page_config = [1,2] g_srp_loadCss();"
                                                    << "[1,2] " << 0;
    QTest::newRow("body, brace and comma dropped") << "{\"body\":[{\"x\":1}]},\"srpbase\":1"
                                                   << "[{\"x\":1}]" << 1;
    QTest::newRow("body without end marker") << "{\"body\":[1,2]}"
                                             << "" << 1;
    QTest::newRow("body, end before start") << "\"srpbase\" \"body\":[1]}"
                                            << "" << 1;
    QTest::newRow("body, empty cut") << "\"body\":\"srpbase"
                                     << "" << 1;
    QTest::newRow("first markers count") << "g_page_config = {\"n\":1} g_srp_loadCss(); g_page_config = {}"
                                         << "{\"n\":1}" << 0;
}

void TestPageData::extract()
{
    QFETCH(QString, page);
    QFETCH(QString, block);
    QFETCH(int, framing);
    const TPageData::Block result = TPageData::Extract(page);
    QCOMPARE(result.Text, block);
    QCOMPARE(result.Framing, framing);
}

void TestPageData::listingArray_data()
{
    QTest::addColumn<QString>("block");
    QTest::addColumn<int>("framing");
    QTest::addColumn<int>("length"); // -1: no array
    QTest::newRow("auctions") << "{\"mods\":{\"itemlist\":{\"data\":{\"auctions\":[{},{}]}}}}" << 0 << 2;
    QTest::newRow("trailing text ignored")
        << "{\"mods\":{\"itemlist\":{\"data\":{\"auctions\":[{}]}}}} junk;" << 0 << 1;
    QTest::newRow("empty auctions") << "{\"mods\":{\"itemlist\":{\"data\":{\"auctions\":[]}}}}" << 0 << 0;
    QTest::newRow("no auctions") << "{\"mods\":{\"itemlist\":{\"data\":{}}}}" << 0 << -1;
    QTest::newRow("auctions not an array") << "{\"mods\":{\"itemlist\":{\"data\":{\"auctions\":{}}}}}" << 0 << -1;
    QTest::newRow("itemlist not an object") << "{\"mods\":{\"itemlist\":[1]}}" << 0 << -1;
    QTest::newRow("body array") << "[{\"a\":1},{\"a\":2},{\"a\":3}] trailing" << 1 << 3;
    QTest::newRow("body object") << "{\"a\":1}" << 1 << -1;
    QTest::newRow("does not parse") << "{\"mods\":" << 0 << -1;
    QTest::newRow("empty block") << "" << 1 << -1;
    QTest::newRow("nested as deep as allowed") << QString(512, '[') + QString(512, ']') << 1 << 1;
    QTest::newRow("nested too deep") << QString(513, '[') + QString(513, ']') << 1 << -1;
    QTest::newRow("deep nesting inside a listing")
        << "[{\"a\":" + QString(600, '[') + QString(600, ']') + "}]" << 1 << -1;
}

void TestPageData::listingArray()
{
    QFETCH(QString, block);
    QFETCH(int, framing);
    QFETCH(int, length);
    TPageData::TParsed document;
    const bool parsed = TPageData::Parse(block, &document);
    const rapidjson::Value* array = parsed ? TPageData::ListingArray(document.Document, framing) : nullptr;
    QCOMPARE(array == nullptr ? -1 : static_cast<int>(array->Size()), length);
}

void TestPageData::textsArriveAsUtf8()
{
    TPageData::TParsed document;
    QVERIFY(TPageData::Parse(QStringLiteral("[{\"t\":\"办公桌 \\u00e9\\ud83d\\ude00\"}]"), &document));
    const rapidjson::Value& title = document.Document[0]["t"];
    QCOMPARE(QString::fromUtf8(title.GetString(), title.GetStringLength()), QStringLiteral("办公桌 é\U0001F600"));
}

void TestPageData::title_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("title");
    QTest::newRow("plain") << "<html><title>淘宝网 - 登录</title>"
                           << "淘宝网 - 登录";
    QTest::newRow("letter case, attributes, blanks") << "<TITLE id=t>\n  a\t b  </Title>"
                                                     << "a b";
    QTest::newRow("entities once") << "<title>&lt;x&gt; &amp;lt; &quot;&#39;&nbsp;y</title>"
                                   << "<x> &lt; \"' y";
    QTest::newRow("first title") << "<title>one</title><title>two</title>"
                                 << "one";
    QTest::newRow("no closing tag") << "<title>open"
                                    << "";
    QTest::newRow("none") << "<html></html>"
                          << "";
    QTest::newRow("long title cut") << "<title>" + QString(300, 'x') + "</title>" << QString(200, 'x');
}

void TestPageData::title()
{
    QFETCH(QString, page);
    QFETCH(QString, title);
    QCOMPARE(TPageData::Title(page), title);
}

void TestPageData::nestsWithin_data()
{
    QTest::addColumn<QString>("block");
    QTest::addColumn<int>("maxDepth");
    QTest::addColumn<bool>("within");
    QTest::newRow("as deep as allowed") << "[{\"a\":[1]}]" << 3 << true;
    QTest::newRow("one deeper") << "[{\"a\":[1]}]" << 2 << false;
    QTest::newRow("brackets in strings") << "[\"[[{{\"]" << 1 << true;
    QTest::newRow("escaped quote in a string") << "[\"\\\"[[\"]" << 1 << true;
    QTest::newRow("escaped backslash ends the string") << "[\"\\\\\",[[]]]" << 1 << false;
    QTest::newRow("text after the value") << "[1] [[[[" << 1 << true;
    QTest::newRow("text after a scalar") << " 1 [[[[" << 1 << true;
}

void TestPageData::nestsWithin()
{
    QFETCH(QString, block);
    QFETCH(int, maxDepth);
    QTEST(TPageData::NestsWithin(block, maxDepth), "within");
}

QTEST_GUILESS_MAIN(TestPageData)
#include "TestPageData.moc"
