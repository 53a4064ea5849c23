// A small JSON reader that keeps the line of every value, so bus-file errors can name it.
#ifndef VOK_SIM_JSON_H
#define VOK_SIM_JSON_H

#include <string>
#include <utility>
#include <vector>

namespace sim {

struct JValue {
    enum Type { Null, Bool, Number, String, Array, Object } type = Null;
    bool b = false;
    double num = 0;
    std::string str;
    std::vector<JValue> arr;
    std::vector<std::pair<std::string, JValue>> obj;
    int line = 1;

    const JValue *get(const std::string &key) const;
};

// Parses text; throws BusFileError(file, line, what) on malformed JSON.
JValue json_parse(const std::string &text, const std::string &file);

}  // namespace sim

#endif
