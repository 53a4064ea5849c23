// JSON text read with the line of every value, so a configuration error can name its line.
// The parse itself is nlohmann's; a second pass over the (then known good) text records where
// each value starts and refuses a key given twice, which the parse would silently collapse.
#ifndef VOK_JSON_JSON_LINES_H
#define VOK_JSON_JSON_LINES_H

#include <map>
#include <string>

#include <nlohmann/json.hpp>

// Objects keep their keys sorted (nlohmann::json) or in file order (nlohmann::ordered_json).
template <class Json>
struct JsonLinesOf {
    Json root;
    std::map<std::string, int> line;  // JSON pointer ("/links/0/baud") -> line of its value
    std::string twice;                // the key given twice, when that is the fault
};
typedef JsonLinesOf<nlohmann::json> JsonLines;
typedef JsonLinesOf<nlohmann::ordered_json> OrderedJsonLines;

// Deepest nesting of arrays and objects accepted.
enum { JSON_DEPTH_MAX = 64 };

// Parses `text`. 0 with `doc` filled; -1 with *fault_line (1-based) and *fault a short
// reason ("not valid JSON: ...", "key 'x' given twice", "nested deeper than 64 levels").
int json_read_lines(const std::string &text, JsonLines *doc, int *fault_line, std::string *fault);
int json_read_lines(const std::string &text, OrderedJsonLines *doc, int *fault_line, std::string *fault);

// Line of the value at `pointer`, or of the nearest enclosing value that has one (1 at worst).
int json_line_of(const std::map<std::string, int> &line, const std::string &pointer);
template <class Json>
int json_line_of(const JsonLinesOf<Json> *doc, const std::string &pointer)
{
    return json_line_of(doc->line, pointer);
}

// "/links/0/baud" -> "links[0].baud", as messages name a place in the file.
std::string json_place(const std::string &pointer);

#endif
