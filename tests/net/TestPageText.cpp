#include "net/PageText.h"
#include "platform/CodePage.h"

#include <QTest>

class TestPageText : public QObject
{
    Q_OBJECT

private slots:
    void fromUtf8_data();
    void fromUtf8();
    void keepsExactlyWhatTheCodePageHolds();
    void bodyGivenUpWhileDecodedGivesTheSameText();
};

void TestPageText::fromUtf8_data()
{
    QTest::addColumn<QByteArray>("utf8");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("text");

    QTest::newRow("empty") << QByteArray() << true << QString();
    QTest::newRow("one to three bytes") << QByteArray("a\xC3\xA9\xE5\xA5\xBD") << true << QString::fromUtf8("aé好");
    QTest::newRow("control bytes and NUL")
        << QByteArray("a\0\tb\x7F", 5) << true << QString::fromLatin1("a\0\tb\x7F", 5);
    QTest::newRow("four bytes become one ?")
        << QByteArray("\xF0\x9F\x98\x80|\xF4\x8F\xBF\xBF") << true << QStringLiteral("?|?");
    QTest::newRow("Hangul is not in the code page") << QByteArray("\xED\x95\x9C") << true << QStringLiteral("?");
    QTest::newRow("cut off two-byte") << QByteArray("ab\xC3") << false << QString();
    QTest::newRow("cut off four-byte") << QByteArray("ab\xF0\x9F\x98") << false << QString();
    QTest::newRow("missing continuation") << QByteArray("\xE5\x41\x42") << false << QString();
    QTest::newRow("stray continuation") << QByteArray("a\x80z") << false << QString();
    QTest::newRow("overlong two-byte") << QByteArray("\xC0\xAF") << false << QString();
    QTest::newRow("overlong three-byte") << QByteArray("\xE0\x80\xAF") << false << QString();
    QTest::newRow("overlong four-byte") << QByteArray("\xF0\x8F\xBF\xBF") << false << QString();
    QTest::newRow("smallest four-byte") << QByteArray("\xF0\x90\x80\x80") << true << QStringLiteral("?");
    QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << false << QString();
    QTest::newRow("beyond U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << false << QString();
    QTest::newRow("byte FF") << QByteArray("\xFF") << false << QString();
    // Runs of ASCII are taken eight bytes at a time: characters and faults on either side of such runs.
    QTest::newRow("ASCII runs around a character") << QByteArray("0123456789abc\xE5\xA5\xBD"
                                                                 "012345678")
                                                   << true << QString::fromUtf8("0123456789abc好012345678");
    QTest::newRow("ASCII run up to the end")
        << QByteArray("0123456789abcdef") << true << QStringLiteral("0123456789abcdef");
    QTest::newRow("ASCII runs after a replaced character")
        << QByteArray("\xED\x95\x9C"
                      "0123456789abcdef0123456789abcdef01234"
                      "\xE5\xA5\xBD"
                      "0123456789abcdefXYZ")
        << true << QString::fromUtf8("?0123456789abcdef0123456789abcdef01234好0123456789abcdefXYZ");
    QTest::newRow("stray continuation after a run") << QByteArray("01234567\x80") << false << QString();
    QTest::newRow("cut off after a run") << QByteArray("0123456789abcde\xE5\xA5") << false << QString();
}

void TestPageText::fromUtf8()
{
    QFETCH(QByteArray, utf8);
    QFETCH(bool, ok);
    QFETCH(QString, text);

    const std::optional<QString> result = PageText::FromUtf8(utf8);

    QCOMPARE(result.has_value(), ok);
    if (ok)
        QCOMPARE(*result, text);
}

// Every character of the Basic Multilingual Plane that is kept must survive the code page unchanged, and every
// character turned into "?" must be one the code page cannot hold.
void TestPageText::keepsExactlyWhatTheCodePageHolds()
{
    QString all;
    for (char32_t c = 1; c < 0x10000; ++c) {
        if (c < 0xD800 || c >= 0xE000)
            all.append(QChar(char16_t(c)));
    }
    const std::optional<QString> text = PageText::FromUtf8(all.toUtf8());
    QVERIFY(text);
    QCOMPARE(text->size(), all.size());

    QString kept;
    QString replaced;
    for (qsizetype i = 0; i < all.size(); ++i)
        (text->at(i) == all[i] ? kept : replaced).append(all[i]);
    replaced.remove(u'?');

    QVERIFY(kept.size() > 20000);
    QCOMPARE(CodePage::ToUnicode(CodePage::FromUnicode(kept)), kept);
    const QByteArray lacking = CodePage::FromUnicode(replaced);
    QCOMPARE(lacking.count('?'), lacking.size());
}

// A large body is given back to the system in 4 MiB steps while it is decoded: characters that straddle a step,
// replaced ones among them, and ASCII runs up to a step decode as they do from a body that is kept.
void TestPageText::bodyGivenUpWhileDecodedGivesTheSameText()
{
    constexpr qsizetype Step = 4 << 20;
    QByteArray body(3 * Step + 100, 'a');
    const QByteArray good = "\xE5\xA5\xBD";
    const QByteArray lacking = "\xED\x95\x9C";
    for (const qsizetype at : {Step - 1, Step + 16, 2 * Step - 2, 2 * Step + 1, 3 * Step - 3}) {
        body.replace(at, 3, at % 2 == 0 ? good : lacking);
    }
    const std::optional<QString> kept = PageText::FromUtf8(body);
    QVERIFY(kept);
    QCOMPARE(kept->count(QLatin1Char('?')), 3);
    QByteArray taken = body;
    taken.detach();
    const std::optional<QString> decoded = PageText::TakeFromUtf8(std::move(taken));
    QVERIFY(decoded);
    QCOMPARE(*decoded, *kept);
    QByteArray broken = body;
    broken[2 * Step + 8] = '\x80'; // a stray continuation byte after the second step
    QVERIFY(!PageText::TakeFromUtf8(std::move(broken)));
}

QTEST_GUILESS_MAIN(TestPageText)
#include "TestPageText.moc"
