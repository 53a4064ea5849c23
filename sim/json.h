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

    // Defined in json.cpp, where the pair type of `obj` is complete (clang with libstdc++
    // refuses to instantiate them inside the class).
    JValue();
    JValue(const JValue &);
    JValue(JValue &&) noexcept;
    JValue &operator=(const JValue &);
    JValue &operator=(JValue &&) noexcept;
    ~JValue();

    const JValue *get(const std::string &key) const;
};

// Parses text; throws BusFileError(file, line, what) on malformed JSON.
JValue json_parse(const std::string &text, const std::string &file);

}  // namespace sim

#endif
