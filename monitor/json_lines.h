// JSON text read with the line of every value, so a configuration error can name its line.
// The parse itself is nlohmann's; a second pass over the (then known good) text records where
// each value starts and refuses a key given twice, which the parse would silently collapse.
#ifndef VOK_MONITOR_JSON_LINES_H
#define VOK_MONITOR_JSON_LINES_H

#include <map>
#include <string>

#include <nlohmann/json.hpp>

typedef struct JsonLines {
    nlohmann::json root;
    std::map<std::string, int> line;  // JSON pointer ("/links/0/baud") -> line of its value
} JsonLines;

// Parses `text`. 0 with `doc` filled; -1 with *fault_line (1-based) and *fault a short
// reason ("not valid JSON: ...", "key 'x' given twice").
int json_read_lines(const std::string &text, JsonLines *doc, int *fault_line, std::string *fault);

// Line of the value at `pointer`, or of the nearest enclosing value that has one (1 at worst).
int json_line_of(const JsonLines *doc, const std::string &pointer);

// "/links/0/baud" -> "links[0].baud", as messages name a place in the file.
std::string json_place(const std::string &pointer);

#endif
