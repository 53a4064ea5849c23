// Recursive-descent JSON reader with line tracking (objects keep their key order).
#include "sim/json.h"

#include <cstdlib>

#include "sim/sim.h"

namespace sim {

JValue::JValue() = default;
JValue::JValue(const JValue &) = default;
JValue::JValue(JValue &&) noexcept = default;
JValue &JValue::operator=(const JValue &) = default;
JValue &JValue::operator=(JValue &&) noexcept = default;
JValue::~JValue() = default;

const JValue *JValue::get(const std::string &key) const
{
    for (const auto &kv : obj)
        if (kv.first == key)
            return &kv.second;
    return nullptr;
}

namespace {

struct Parser {
    const std::string &s;
    const std::string &file;
    size_t i = 0;
    int line = 1;
    int depth = 0;

    [[noreturn]] void fail(const std::string &what) { throw BusFileError(file, line, what); }

    void skip()
    {
        while (i < s.size()) {
            const char c = s[i];
            if (c == '\n') {
                line++;
                i++;
            } else if (c == ' ' || c == '\t' || c == '\r') {
                i++;
            } else {
                break;
            }
        }
    }

    void expect(char c, const char *what)
    {
        skip();
        if (i >= s.size() || s[i] != c)
            fail(std::string("expected ") + what);
        i++;
    }

    std::string string_body()
    {
        // at the opening quote
        i++;
        std::string out;
        while (true) {
            if (i >= s.size())
                fail("unterminated string");
            const char c = s[i++];
            if (c == '"')
                return out;
            if (c == '\n')
                fail("line break inside a string");
            if (c != '\\') {
                out += c;
                continue;
            }
            if (i >= s.size())
                fail("unterminated string");
            const char e = s[i++];
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                if (i + 4 > s.size())
                    fail("bad \\u escape");
                const unsigned cp = (unsigned)std::strtoul(s.substr(i, 4).c_str(), nullptr, 16);
                i += 4;
                // UTF-8 of the basic plane (surrogate pairs are not needed in bus files)
                if (cp < 0x80) {
                    out += (char)cp;
                } else if (cp < 0x800) {
                    out += (char)(0xC0 | (cp >> 6));
                    out += (char)(0x80 | (cp & 0x3F));
                } else {
                    out += (char)(0xE0 | (cp >> 12));
                    out += (char)(0x80 | ((cp >> 6) & 0x3F));
                    out += (char)(0x80 | (cp & 0x3F));
                }
                break;
            }
            default:
                fail(std::string("bad escape \\") + e);
            }
        }
    }

    JValue value()
    {
        skip();
        if (i >= s.size())
            fail("unexpected end of file");
        if (++depth > 64)
            fail("nesting too deep");
        JValue v;
        v.line = line;
        const char c = s[i];
        if (c == '{') {
            v.type = JValue::Object;
            i++;
            skip();
            if (i < s.size() && s[i] == '}') {
                i++;
            } else {
                while (true) {
                    skip();
                    if (i >= s.size() || s[i] != '"')
                        fail("expected a key in quotes");
                    const int key_line = line;
                    std::string key = string_body();
                    for (const auto &kv : v.obj)
                        if (kv.first == key) {
                            line = key_line;
                            fail("duplicate key \"" + key + "\"");
                        }
                    expect(':', "':' after a key");
                    JValue item = value();
                    v.obj.emplace_back(std::move(key), std::move(item));
                    skip();
                    if (i < s.size() && s[i] == ',') {
                        i++;
                        continue;
                    }
                    expect('}', "',' or '}'");
                    break;
                }
            }
        } else if (c == '[') {
            v.type = JValue::Array;
            i++;
            skip();
            if (i < s.size() && s[i] == ']') {
                i++;
            } else {
                while (true) {
                    v.arr.push_back(value());
                    skip();
                    if (i < s.size() && s[i] == ',') {
                        i++;
                        continue;
                    }
                    expect(']', "',' or ']'");
                    break;
                }
            }
        } else if (c == '"') {
            v.type = JValue::String;
            v.str = string_body();
        } else if (s.compare(i, 4, "true") == 0) {
            v.type = JValue::Bool;
            v.b = true;
            i += 4;
        } else if (s.compare(i, 5, "false") == 0) {
            v.type = JValue::Bool;
            i += 5;
        } else if (s.compare(i, 4, "null") == 0) {
            i += 4;
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            const char *begin = s.c_str() + i;
            char *end = nullptr;
            v.type = JValue::Number;
            v.num = std::strtod(begin, &end);
            if (end == begin)
                fail("bad number");
            i += (size_t)(end - begin);
        } else {
            fail(std::string("unexpected character '") + c + "'");
        }
        depth--;
        return v;
    }
};

}  // namespace

JValue json_parse(const std::string &text, const std::string &file)
{
    Parser p{text, file};
    JValue v = p.value();
    p.skip();
    if (p.i != text.size())
        p.fail("text after the end of the document");
    return v;
}

}  // namespace sim
