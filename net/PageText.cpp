#include "net/PageText.h"

#include "platform/CodePage.h"

#include <QList>

#include <bitset>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// Which characters of the Basic Multilingual Plane survive a trip through code page 936 unchanged. Built once
// from the code page itself, so a page is converted in a single pass instead of being encoded and decoded. All
// characters go through the code page in one text, each followed by a line feed: the code page keeps the line
// feed as the byte 0x0A, which never occurs inside a two-byte character, so the pieces line up again.
class TRepertoire
{
public:
    TRepertoire()
    {
        QString probe;
        probe.reserve(2 * 0x10000);
        for (char32_t c = 0x80; c < 0x10000; ++c) {
            if (!IsSurrogate(c))
                probe.append(QChar(char16_t(c))).append(u'\n');
        }
        const QString back = CodePage::ToUnicode(CodePage::FromUnicode(probe));
        const QList<QStringView> pieces = QStringView(back).split(u'\n');
        for (char32_t c = 0; c < 0x80; ++c)
            m_held[c] = true;
        qsizetype k = 0;
        for (char32_t c = 0x80; c < 0x10000; ++c) {
            if (IsSurrogate(c))
                continue;
            m_held[c] = k < pieces.size() && pieces[k].size() == 1 && pieces[k][0] == QChar(char16_t(c));
            ++k;
        }
    }
    bool Holds(char16_t c) const { return m_held[c]; }

private:
    static bool IsSurrogate(char32_t c) { return c >= 0xD800 && c < 0xE000; }

    std::bitset<0x10000> m_held;
};

const TRepertoire& Repertoire()
{
    static const TRepertoire repertoire;
    return repertoire;
}

bool IsContinuation(uchar b)
{
    return (b & 0xC0) == 0x80;
}

// Decodes the sequence that starts at bytes[i] and advances i past it; returns a negative value when malformed.
char32_t DecodeSequence(const uchar* bytes, qsizetype size, qsizetype& i)
{
    const uchar lead = bytes[i];
    int length;
    char32_t min;
    char32_t cp;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, min = 0x80, cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, min = 0x800, cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, min = 0x10000, cp = lead & 0x07;
    } else {
        return char32_t(-1);
    }
    if (size - i < length)
        return char32_t(-1);
    for (int k = 1; k < length; ++k) {
        if (!IsContinuation(bytes[i + k]))
            return char32_t(-1);
        cp = (cp << 6) | (bytes[i + k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000))
        return char32_t(-1);
    i += length;
    return cp;
}

bool IsAscii8(const uchar* bytes)
{
    quint64 word;
    std::memcpy(&word, bytes, sizeof(word));
    return (word & 0x8080808080808080ULL) == 0;
}

// How many bytes from p on are ASCII, up to size.
qsizetype AsciiRun(const uchar* p, qsizetype size)
{
    qsizetype k = 0;
#ifdef __SSE2__
    while (k + 16 <= size) {
        const auto mask
            = static_cast<unsigned>(_mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k))));
        if (mask != 0) {
            return k + __builtin_ctz(mask);
        }
        k += 16;
    }
#endif
    while (k + 8 <= size && IsAscii8(p + k)) {
        k += 8;
    }
    while (k < size && p[k] < 0x80) {
        ++k;
    }
    return k;
}

} // namespace

namespace PageText {

bool InCodePage(char16_t c)
{
    return Repertoire().Holds(c);
}

// Gives the memory of the bytes before end back to the system; the caller never reads them again.
static void ReleaseConsumed(const uchar* bytes, qsizetype end, qsizetype* released)
{
    static const auto pageSize = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto from = (reinterpret_cast<uintptr_t>(bytes + *released) + pageSize - 1) & ~(pageSize - 1);
    const auto to = reinterpret_cast<uintptr_t>(bytes + end) & ~(pageSize - 1);
    if (to > from) {
        madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
    }
    *released = end;
}

static std::optional<QString> Decode(QByteArrayView utf8, bool release)
{
    constexpr qsizetype ReleaseStep = 4 << 20;
    const TRepertoire& repertoire = Repertoire();
    const auto* bytes = reinterpret_cast<const uchar*>(utf8.data());
    const qsizetype size = utf8.size();
    QString text(size, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    qsizetype n = 0;
    qsizetype released = 0;
    for (qsizetype i = 0; i < size;) {
        if (release && i - released >= ReleaseStep) {
            ReleaseConsumed(bytes, i, &released);
        }
        // Pages are mostly ASCII: a run is widened in one go, up to the next release.
        const qsizetype stop = release ? qMin(size, released + ReleaseStep) : size;
        const qsizetype run = AsciiRun(bytes + i, stop - i);
        for (qsizetype k = 0; k < run; ++k)
            out[n + k] = bytes[i + k];
        n += run;
        i += run;
        if (i >= stop)
            continue; // the end, or the next release is due
        const char32_t cp = DecodeSequence(bytes, size, i);
        if (cp == char32_t(-1))
            return std::nullopt;
        out[n++] = cp < 0x10000 && repertoire.Holds(char16_t(cp)) ? char16_t(cp) : u'?';
    }
    text.truncate(n);
    return text;
}

std::optional<QString> FromUtf8(QByteArrayView utf8)
{
    return Decode(utf8, false);
}

std::optional<QString> TakeFromUtf8(QByteArray utf8)
{
    // A large body is let go while it is decoded, so it and its text are never both held whole.
    return Decode(utf8, utf8.isDetached());
}

} // namespace PageText
