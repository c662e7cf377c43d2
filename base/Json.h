// A small, strict JSON reader (RFC 8259) and the pieces of a writer, for the files that
// installers write by hand or from scripts. Strict means: one value and nothing after it
// (white space aside), no comments, no trailing commas, no duplicate names in an object,
// valid UTF-8 only, no unpaired surrogates, no unescaped control characters, nesting at most
// JSON_MAX_DEPTH deep. A leading UTF-8 byte order mark is skipped, since common editors on
// Windows write one. Numbers keep their literal text, so that the reader of a value decides
// whether it is an integer, and how exactly it becomes a float.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tk::json {

inline constexpr size_t JSON_MAX_DEPTH = 64;

enum class Type { Null, Bool, Number, String, Array, Object };

struct Member;

struct Value {
    Type type = Type::Null;
    bool boolean = false;
    // Number: the literal as written ("-12.5e3"); String: the text, UTF-8.
    std::string text;
    std::vector<Value> items;    // Array
    std::vector<Member> members; // Object, in the order written
    // Where the value starts in the input: 1-based line and column (in bytes).
    size_t line = 0;
    size_t column = 0;

    // The member of an object with this name, or null.
    const Value* Find(std::string_view name) const;
};

struct Member {
    std::string name;
    Value value;
};

struct ParseError {
    size_t line = 0;
    size_t column = 0;
    std::string message; // Czech, for the user
};

// Parses the whole input. False on any fault; `error` then says where and what.
bool Parse(std::string_view input, Value& out, ParseError* error = nullptr);

// A string literal of UTF-8 text: quotes, backslash, control characters (C0, DEL and C1)
// escaped; everything else written as it is.
std::string Quote(std::string_view utf8);

// The name of a type in messages ("text", "číslo" ...).
const char* TypeName(Type type);

} // namespace tk::json
