#pragma once

#include <rapidjson/document.h>

// Builds a document like the document's own handler, but stops the parse once arrays and objects nest
// deeper than a limit, so a hostile block of endless brackets costs neither stack nor memory.
class TDepthLimitedHandler
{
public:
    using Ch = rapidjson::Document::Ch;

    TDepthLimitedHandler(rapidjson::Document& document, int maxDepth)
        : m_document(document)
        , m_maxDepth(maxDepth)
    {
    }

    bool Null() { return m_document.Null(); }
    bool Bool(bool b) { return m_document.Bool(b); }
    bool Int(int i) { return m_document.Int(i); }
    bool Uint(unsigned i) { return m_document.Uint(i); }
    bool Int64(int64_t i) { return m_document.Int64(i); }
    bool Uint64(uint64_t i) { return m_document.Uint64(i); }
    bool Double(double d) { return m_document.Double(d); }
    bool RawNumber(const Ch* str, rapidjson::SizeType length, bool copy)
    {
        return m_document.RawNumber(str, length, copy);
    }
    bool String(const Ch* str, rapidjson::SizeType length, bool copy) { return m_document.String(str, length, copy); }
    bool Key(const Ch* str, rapidjson::SizeType length, bool copy) { return m_document.Key(str, length, copy); }
    bool StartObject() { return Enter() && m_document.StartObject(); }
    bool EndObject(rapidjson::SizeType count)
    {
        --m_depth;
        return m_document.EndObject(count);
    }
    bool StartArray() { return Enter() && m_document.StartArray(); }
    bool EndArray(rapidjson::SizeType count)
    {
        --m_depth;
        return m_document.EndArray(count);
    }

private:
    bool Enter() { return ++m_depth <= m_maxDepth; }

    rapidjson::Document& m_document;
    int m_maxDepth;
    int m_depth = 0;
};
