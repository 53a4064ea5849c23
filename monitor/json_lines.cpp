// JSON with lines: nlohmann parses, then a walk over the accepted text maps pointers to lines.
#include "monitor/json_lines.h"

#include <ctype.h>
#include <string.h>

namespace {

struct Walk {
    const std::string &s;
    size_t i;
    int line;
    JsonLines *doc;
    int dup_line;
    std::string dup_key;
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

void value(Walk &w, const std::string &pointer)
{
    skip_space(w);
    w.doc->line[pointer] = w.line;
    const char c = w.s[w.i];
    if (c == '{' || c == '[') {
        const char close = c == '{' ? '}' : ']';
        w.i++;
        std::map<std::string, int> keys;
        for (int index = 0;; ++index) {
            skip_space(w);
            if (w.s[w.i] == close) break;
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
                value(w, pointer + "/" + pointer_part(key));
            } else {
                value(w, pointer + "/" + std::to_string(index));
            }
        }
        w.i++;
    } else if (c == '"') {
        string_token(w);
    } else {
        while (w.i < w.s.size() && !strchr(",]} \t\r\n", w.s[w.i])) w.i++;
    }
}

}  // namespace

int json_read_lines(const std::string &text, JsonLines *doc, int *fault_line, std::string *fault)
{
    doc->line.clear();
    try {
        doc->root = nlohmann::json::parse(text);
    } catch (const nlohmann::json::parse_error &e) {
        const size_t upto = e.byte > 0 && e.byte - 1 < text.size() ? e.byte - 1 : text.size();
        *fault_line = 1;
        for (size_t k = 0; k < upto; ++k)
            if (text[k] == '\n') (*fault_line)++;
        // nlohmann's text after its position prefix: "syntax error while parsing ... ".
        std::string why = e.what();
        const size_t at = why.find("syntax error");
        *fault = "not valid JSON: " + (at == std::string::npos ? why : why.substr(at));
        return -1;
    }
    Walk w{text, 0, 1, doc, 0, ""};
    value(w, "");
    if (w.dup_line) {
        *fault_line = w.dup_line;
        *fault = "key '" + w.dup_key + "' given twice in the same object";
        return -1;
    }
    return 0;
}

int json_line_of(const JsonLines *doc, const std::string &pointer)
{
    std::string p = pointer;
    for (;;) {
        const auto it = doc->line.find(p);
        if (it != doc->line.end()) return it->second;
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
