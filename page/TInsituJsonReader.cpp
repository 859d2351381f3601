#include "page/TInsituJsonReader.h"

#include <cstdint>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <cstring>
#include <vector>

namespace {
using rapidjson::SizeType;

constexpr uint64_t Ones = 0x0101010101010101ULL;
constexpr uint64_t Highs = 0x8080808080808080ULL;

// Whether one of the eight bytes ends or escapes the plain run of a string: a quote, a backslash or a
// control character.
bool HasSpecial(uint64_t word)
{
    const uint64_t quotes = word ^ (Ones * '"');
    const uint64_t slashes = word ^ (Ones * '\\');
    const uint64_t zeroQuote = (quotes - Ones) & ~quotes;
    const uint64_t zeroSlash = (slashes - Ones) & ~slashes;
    const uint64_t control = (word - Ones * 0x20) & ~word;
    return ((zeroQuote | zeroSlash | control) & Highs) != 0;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Four hex digits at p; -1 when they are not.
long Hex4(const char* p)
{
    long value = 0;
    for (int i = 0; i < 4; ++i) {
        const int digit = HexValue(p[i]);
        if (digit < 0) {
            return -1;
        }
        value = value * 16 + digit;
    }
    return value;
}

char* PutUtf8(char* out, unsigned long cp)
{
    if (cp < 0x80) {
        *out++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        *out++ = static_cast<char>(0xC0 | (cp >> 6));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (cp >> 12));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (cp >> 18));
        *out++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

class TParser
{
public:
    TParser(char* text, size_t size, int maxDepth, rapidjson::Document& document)
        : m_p(text)
        , m_end(text + size)
        , m_maxDepth(maxDepth)
        , m_document(document)
    {
    }

    bool Run()
    {
        for (;;) {
            SkipBlanks();
            const TStep step = Value();
            if (step == TStep::Failed) {
                return false;
            }
            if (step == TStep::Opened) {
                continue; // the first value inside the container is due
            }
            // After a complete value: close what ends here, until a comma asks for the next value.
            for (;;) {
                if (m_open.empty()) {
                    return true;
                }
                TContainer& top = m_open.back();
                ++top.count;
                SkipBlanks();
                if (*m_p == ',') {
                    ++m_p;
                    if (top.isObject && !MemberName()) {
                        return false;
                    }
                    break;
                }
                if (*m_p != (top.isObject ? '}' : ']')) {
                    return false;
                }
                ++m_p;
                Close(top.isObject, top.count);
                m_open.pop_back();
            }
        }
    }

private:
    enum class TStep { Failed, Complete, Opened };

    struct TContainer
    {
        bool isObject;
        SizeType count;
    };

    void SkipBlanks()
    {
        while (*m_p == ' ' || *m_p == '\n' || *m_p == '\r' || *m_p == '\t') {
            ++m_p;
        }
    }

    static TStep Done(bool ok) { return ok ? TStep::Complete : TStep::Failed; }

    // One value, or the opening of a container whose values follow.
    TStep Value()
    {
        switch (*m_p) {
        case '{':
            return Open(true);
        case '[':
            return Open(false);
        case '"': {
            SizeType length = 0;
            const char* text = String(&length);
            return Done(text != nullptr && m_document.String(text, length, false));
        }
        case 't':
            return Done(Literal("true", 4) && m_document.Bool(true));
        case 'f':
            return Done(Literal("false", 5) && m_document.Bool(false));
        case 'n':
            return Done(Literal("null", 4) && m_document.Null());
        default:
            return Done(Number());
        }
    }

    void Close(bool isObject, SizeType count) { isObject ? m_document.EndObject(count) : m_document.EndArray(count); }

    TStep Open(bool isObject)
    {
        if (static_cast<int>(m_open.size()) >= m_maxDepth) {
            return TStep::Failed;
        }
        ++m_p;
        isObject ? m_document.StartObject() : m_document.StartArray();
        SkipBlanks();
        if (*m_p == (isObject ? '}' : ']')) {
            ++m_p;
            Close(isObject, 0);
            return TStep::Complete;
        }
        m_open.push_back({isObject, 0});
        return isObject && !MemberName() ? TStep::Failed : TStep::Opened;
    }

    bool MemberName()
    {
        SkipBlanks();
        if (*m_p != '"') {
            return false;
        }
        SizeType length = 0;
        const char* name = String(&length);
        if (name == nullptr) {
            return false;
        }
        m_document.Key(name, length, false);
        SkipBlanks();
        if (*m_p != ':') {
            return false;
        }
        ++m_p;
        return true;
    }

    bool Literal(const char* word, size_t length)
    {
        if (static_cast<size_t>(m_end - m_p) < length || std::memcmp(m_p, word, length) != 0) {
            return false;
        }
        m_p += length;
        return true;
    }

    bool Digits()
    {
        if (!IsDigit(*m_p)) {
            return false;
        }
        while (IsDigit(*m_p)) {
            ++m_p;
        }
        return true;
    }

    // A number by the JSON grammar; its text is kept as it stands.
    bool Number()
    {
        const char* start = m_p;
        if (*m_p == '-') {
            ++m_p;
        }
        if (*m_p == '0') {
            ++m_p;
        } else if (!Digits()) {
            return false;
        }
        if (*m_p == '.') {
            ++m_p;
            if (!Digits()) {
                return false;
            }
        }
        if (*m_p == 'e' || *m_p == 'E') {
            ++m_p;
            if (*m_p == '+' || *m_p == '-') {
                ++m_p;
            }
            if (!Digits()) {
                return false;
            }
        }
        return m_document.RawNumber(start, static_cast<SizeType>(m_p - start), false);
    }

    // Moves over the run of plain string bytes at the reading position, copying them to out (once an escape
    // has shortened the string), and returns the new end of the output.
    char* PlainRun(char* out)
    {
#ifdef __SSE2__
        const __m128i quote = _mm_set1_epi8('"');
        const __m128i slash = _mm_set1_epi8('\\');
        const __m128i control = _mm_set1_epi8(0x1F);
        while (m_end - m_p >= 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m_p));
            const __m128i special
                = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, quote), _mm_cmpeq_epi8(bytes, slash)),
                               _mm_cmpeq_epi8(_mm_max_epu8(bytes, control), control));
            const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(special));
            if (mask == 0) {
                if (out != m_p) {
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), bytes);
                }
                out += 16;
                m_p += 16;
                continue;
            }
            const auto plain = static_cast<size_t>(__builtin_ctz(mask));
            if (out != m_p) {
                std::memmove(out, m_p, plain);
            }
            m_p += plain;
            return out + plain;
        }
#endif
        while (m_end - m_p >= 8) {
            uint64_t word;
            std::memcpy(&word, m_p, sizeof(word));
            if (HasSpecial(word)) {
                break;
            }
            if (out != m_p) {
                std::memmove(out, m_p, sizeof(word));
            }
            out += 8;
            m_p += 8;
        }
        return out;
    }

    // Decodes the string at the quote in place and NUL-terminates it; null when it is not a valid string.
    const char* String(SizeType* length)
    {
        char* head = ++m_p;
        char* out = head;
        for (;;) {
            out = PlainRun(out);
            const char c = *m_p;
            if (c == '"') {
                ++m_p;
                *out = '\0';
                *length = static_cast<SizeType>(out - head);
                return head;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                return nullptr; // a control character, the end of the text included
            }
            if (c == '\\') {
                out = Escape(out);
                if (out == nullptr) {
                    return nullptr;
                }
                continue;
            }
            *out++ = c;
            ++m_p;
        }
    }

    // The escape at the backslash, written at out; null when it is not valid.
    char* Escape(char* out)
    {
        const char e = m_p[1];
        char decoded = 0;
        switch (e) {
        case '"':
        case '\\':
        case '/':
            decoded = e;
            break;
        case 'b':
            decoded = '\b';
            break;
        case 'f':
            decoded = '\f';
            break;
        case 'n':
            decoded = '\n';
            break;
        case 'r':
            decoded = '\r';
            break;
        case 't':
            decoded = '\t';
            break;
        default:
            break;
        }
        if (decoded != 0) {
            *out++ = decoded;
            m_p += 2;
            return out;
        }
        if (e != 'u') {
            return nullptr;
        }
        const long unit = Hex4(m_p + 2);
        if (unit < 0) {
            return nullptr;
        }
        m_p += 6;
        unsigned long cp = static_cast<unsigned long>(unit);
        if (cp >= 0xD800 && cp <= 0xDBFF && m_p[0] == '\\' && m_p[1] == 'u') {
            const long low = Hex4(m_p + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<unsigned long>(low) - 0xDC00);
                m_p += 6;
            }
        }
        if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD; // a surrogate without its partner
        }
        return PutUtf8(out, cp);
    }

    char* m_p;
    char* m_end;
    int m_maxDepth;
    rapidjson::Document& m_document;
    std::vector<TContainer> m_open;
};
} // namespace

bool TInsituJsonReader::Parse(char* text, size_t size, int maxDepth, rapidjson::Document* document)
{
    bool parsed = false;
    auto generate = [&](rapidjson::Document& target) {
        TParser parser(text, size, maxDepth, target);
        parsed = parser.Run();
        return parsed;
    };
    document->Populate(generate);
    return parsed;
}
