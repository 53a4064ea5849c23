// JSON with lines: nlohmann parses, then a walk over the accepted text maps pointers to lines.
#include "json/json_lines.h"

#include <ctype.h>
#include <string.h>

namespace {

struct Walk {
    const std::string &s;
    size_t i;
    int line;
    std::map<std::string, int> *lines;
    int dup_line;
    std::string dup_key;
    int deep_line;  // where the nesting first went past JSON_DEPTH_MAX
};

void skip_space(Walk &w)
{
    while (w.i < w.s.size() && isspace((unsigned char)w.s[w.i])) {
        if (w.s[w.i] == '\n') w.line++;
        w.i++;
    }
}

// A string token at w.i, unescaped by the parser itself so keys match the parsed object's.
std::string string_token(Walk &w)
{
    const size_t start = w.i++;
    while (w.i < w.s.size() && w.s[w.i] != '"') w.i += w.s[w.i] == '\\' ? 2 : 1;
    w.i++;
    return nlohmann::json::parse(w.s.substr(start, w.i - start)).get<std::string>();
}

std::string pointer_part(const std::string &key)
{
    std::string out;
    for (char c : key) {
        if (c == '~') out += "~0";
        else if (c == '/') out += "~1";
        else out += c;
    }
    return out;
}

void value(Walk &w, const std::string &pointer, int depth)
{
    skip_space(w);
    w.lines->operator[](pointer) = w.line;
    const char c = w.s[w.i];
    if ((c == '{' || c == '[') && depth >= JSON_DEPTH_MAX) {
        // Refused, so the walk need not go deeper (nor the stack with it).
        if (!w.deep_line) w.deep_line = w.line;
        w.i = w.s.size();
    } else if (c == '{' || c == '[') {
        const char close = c == '{' ? '}' : ']';
        w.i++;
        std::map<std::string, int> keys;
        for (int index = 0;; ++index) {
            skip_space(w);
            if (w.i >= w.s.size() || w.s[w.i] == close) break;
            if (w.s[w.i] == ',') {
                w.i++;
                skip_space(w);
            }
            if (c == '{') {
                const int key_line = w.line;
                const std::string key = string_token(w);
                if (!keys.emplace(key, key_line).second && !w.dup_line) {
                    w.dup_line = key_line;
                    w.dup_key = key;
                }
                skip_space(w);
                w.i++;  // ':'
                value(w, pointer + "/" + pointer_part(key), depth + 1);
            } else {
                value(w, pointer + "/" + std::to_string(index), depth + 1);
            }
        }
        w.i++;
    } else if (c == '"') {
        string_token(w);
    } else {
        while (w.i < w.s.size() && !strchr(",]} \t\r\n", w.s[w.i])) w.i++;
    }
}

// The line of byte offset `end` (nlohmann's count of characters read, the offending one last).
int line_at(const std::string &text, size_t end)
{
    const size_t upto = end > 0 && end - 1 < text.size() ? end - 1 : text.size();
    int line = 1;
    for (size_t k = 0; k < upto; ++k)
        if (text[k] == '\n') line++;
    return line;
}

// Where a parse that refused a value (a number too large for a double) stopped: nlohmann's
// exception for it carries no position, its event interface does.
struct Stop : nlohmann::json_sax<nlohmann::json> {
    size_t at = 0;
    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t &) override { return true; }
    bool string(string_t &) override { return true; }
    bool binary(binary_t &) override { return true; }
    bool start_object(std::size_t) override { return true; }
    bool key(string_t &) override { return true; }
    bool end_object() override { return true; }
    bool start_array(std::size_t) override { return true; }
    bool end_array() override { return true; }
    bool parse_error(std::size_t position, const std::string &, const nlohmann::detail::exception &) override
    {
        at = position;
        return false;
    }
};

// nlohmann's message without its "[json.exception.parse_error.101] parse error at line 1, column 2: ".
std::string reason(const char *what)
{
    const std::string why = what;
    for (const char *from : {"syntax error", "] "}) {
        const size_t at = why.find(from);
        if (at != std::string::npos) return why.substr(at + (from[0] == ']' ? 2 : 0));
    }
    return why;
}

template <class Json>
int read_lines(const std::string &text, JsonLinesOf<Json> *doc, int *fault_line, std::string *fault)
{
    doc->line.clear();
    doc->twice.clear();
    try {
        doc->root = Json::parse(text);
    } catch (const nlohmann::json::parse_error &e) {
        *fault_line = line_at(text, e.byte);
        *fault = "not valid JSON: " + reason(e.what());
        return -1;
    } catch (const nlohmann::json::exception &e) {
        Stop stop;
        nlohmann::json::sax_parse(text, &stop);
        *fault_line = line_at(text, stop.at);
        *fault = "not valid JSON: " + reason(e.what());
        return -1;
    }
    // A byte order mark is skipped by the parse, so by the walk too.
    const size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    Walk w{text, start, 1, &doc->line, 0, "", 0};
    value(w, "", 0);
    if (w.deep_line) {
        *fault_line = w.deep_line;
        *fault = "nested deeper than " + std::to_string((int)JSON_DEPTH_MAX) + " levels";
        return -1;
    }
    if (w.dup_line) {
        *fault_line = w.dup_line;
        *fault = "key '" + w.dup_key + "' given twice in the same object";
        doc->twice = w.dup_key;
        return -1;
    }
    return 0;
}

}  // namespace

int json_read_lines(const std::string &text, JsonLines *doc, int *fault_line, std::string *fault)
{
    return read_lines(text, doc, fault_line, fault);
}

int json_read_lines(const std::string &text, OrderedJsonLines *doc, int *fault_line, std::string *fault)
{
    return read_lines(text, doc, fault_line, fault);
}

int json_line_of(const std::map<std::string, int> &line, const std::string &pointer)
{
    std::string p = pointer;
    for (;;) {
        const auto it = line.find(p);
        if (it != line.end()) return it->second;
        const size_t slash = p.rfind('/');
        if (slash == std::string::npos) return 1;
        p.erase(slash);
    }
}
std::string json_place(const std::string &pointer)
{
    std::string out;
    size_t at = 1;
    while (at <= pointer.size() && !pointer.empty()) {
        size_t end = pointer.find('/', at);
        if (end == std::string::npos) end = pointer.size();
        std::string part = pointer.substr(at, end - at);
        const bool index = !part.empty() && part.find_first_not_of("0123456789") == std::string::npos;
        if (index) out += "[" + part + "]";
        else out += (out.empty() ? "" : ".") + part;
        at = end + 1;
    }
    return out.empty() ? "the file" : out;
}
