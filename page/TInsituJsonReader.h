#pragma once

#include <cstddef>
#include <rapidjson/document.h>

// Parses JSON text in place into a document: strings are decoded where they stand and numbers keep their own
// text, so the document's strings and numbers point into the text, which must outlive the document.
//
// Any valid JSON text parses: numbers of any size (their text is kept, nothing is converted), and an escaped
// surrogate without its partner, which reads as U+FFFD. Text after the first complete value is ignored.
// Arrays and objects nested deeper than maxDepth do not parse, so a block of endless brackets costs neither
// stack nor memory. The text is taken to be valid UTF-8.
class TInsituJsonReader
{
public:
    // text[size] must be a NUL byte. False when the text does not start with a complete JSON value.
    static bool Parse(char* text, size_t size, int maxDepth, rapidjson::Document* document);

    // Whether a value of a document parsed here holds a number: its text stands as it did in the JSON
    // text. Such a value reads as a string whose text is not NUL-terminated; every other string of a
    // document is. Holds for the values inside arrays and objects.
    static bool IsNumberText(const rapidjson::Value& value)
    {
        return value.IsString() && value.GetString()[value.GetStringLength()] != '\0';
    }
};
