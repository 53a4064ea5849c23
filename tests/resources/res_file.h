// Reader of a compiled resource file (.res): the dialog templates it holds, control by
// control, with each control's kind worked out from its window class and style bits.
#ifndef VOK_TESTS_RES_FILE_H
#define VOK_TESTS_RES_FILE_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace res {

struct Control {
    int id = 0;            // -1 for IDC_STATIC (0xFFFF in a plain template)
    std::string kind;      // push, defpush, radio, pushradio, check, group, label, image, ...
    std::string text;      // UTF-8; an ordinal title (an image's resource) as "#n"
    uint32_t style = 0;
};

struct Dialog {
    int id = 0;
    std::string caption;   // UTF-8
    std::vector<Control> controls;
};

// Kind of a control from its class (ordinal 0x80..0x85 or a class name) and style.
std::string control_kind(int class_ordinal, const std::string &class_name, uint32_t style);

// Dialog templates (type 5, numeric names) of a .res image, by id. Throws std::runtime_error
// on a malformed file.
std::map<int, Dialog> read_dialogs(const std::vector<uint8_t> &image);

}  // namespace res

#endif
