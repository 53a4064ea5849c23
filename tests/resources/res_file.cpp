// Compiled resource file reader: walks the resource headers and decodes DIALOG and
// DIALOGEX templates.
#include "tests/resources/res_file.h"

#include <stdexcept>

namespace res {
namespace {

class Reader {
public:
    Reader(const uint8_t *p, size_t n) : p_(p), n_(n) {}
    size_t pos() const { return pos_; }
    void seek(size_t at)
    {
        if (at > n_) throw std::runtime_error("resource: seek past the end");
        pos_ = at;
    }
    void align4() { seek(std::min(n_, (pos_ + 3) & ~size_t(3))); }
    uint16_t u16()
    {
        need(2);
        uint16_t v = (uint16_t)(p_[pos_] | p_[pos_ + 1] << 8);
        pos_ += 2;
        return v;
    }
    uint32_t u32()
    {
        uint32_t lo = u16();
        return lo | (uint32_t)u16() << 16;
    }
    // A zero-terminated UTF-16 string, as UTF-8.
    std::string wstr()
    {
        std::string out;
        for (;;) {
            uint32_t c = u16();
            if (c == 0) return out;
            if (c >= 0xD800 && c < 0xDC00) c = 0x10000 + ((c - 0xD800) << 10) + (u16() - 0xDC00);
            append_utf8(out, c);
        }
    }
    // sz_Or_Ord: an ordinal (0xFFFF, n) or a string. Returns the ordinal or -1.
    int sz_or_ord(std::string *text)
    {
        uint16_t first = u16();
        if (first == 0xFFFF) return u16();
        pos_ -= 2;
        std::string s = wstr();
        if (text) *text = s;
        return -1;
    }

private:
    void need(size_t k) const
    {
        if (pos_ + k > n_) throw std::runtime_error("resource: truncated");
    }
    static void append_utf8(std::string &out, uint32_t c)
    {
        if (c < 0x80) {
            out += (char)c;
        } else if (c < 0x800) {
            out += (char)(0xC0 | c >> 6);
            out += (char)(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += (char)(0xE0 | c >> 12);
            out += (char)(0x80 | ((c >> 6) & 0x3F));
            out += (char)(0x80 | (c & 0x3F));
        } else {
            out += (char)(0xF0 | c >> 18);
            out += (char)(0x80 | ((c >> 12) & 0x3F));
            out += (char)(0x80 | ((c >> 6) & 0x3F));
            out += (char)(0x80 | (c & 0x3F));
        }
    }
    const uint8_t *p_;
    size_t n_;
    size_t pos_ = 0;
};

const uint32_t DS_SETFONT = 0x40;

Dialog read_template(int id, const uint8_t *p, size_t n)
{
    Reader r(p, n);
    Dialog d;
    d.id = id;
    const bool ex = n >= 4 && p[0] == 1 && p[1] == 0 && p[2] == 0xFF && p[3] == 0xFF;
    uint32_t style;
    if (ex) {
        r.u16();
        r.u16();
        r.u32();  // help id
        r.u32();  // extended style
        style = r.u32();
    } else {
        style = r.u32();
        r.u32();
    }
    const int count = r.u16();
    for (int k = 0; k < 4; ++k) r.u16();  // x, y, cx, cy
    r.sz_or_ord(nullptr);                 // menu
    r.sz_or_ord(nullptr);                 // class
    d.caption = r.wstr();
    if (style & DS_SETFONT) {
        r.u16();  // point size
        if (ex) {
            r.u16();  // weight
            r.u16();  // italic, charset
        }
        r.wstr();
    }
    for (int i = 0; i < count; ++i) {
        r.align4();
        Control c;
        if (ex) {
            r.u32();  // help id
            r.u32();  // extended style
            c.style = r.u32();
        } else {
            c.style = r.u32();
            r.u32();
        }
        for (int k = 0; k < 4; ++k) r.u16();
        if (ex) {
            c.id = (int)(int32_t)r.u32();
        } else {
            c.id = r.u16();
            if (c.id == 0xFFFF) c.id = -1;
        }
        std::string class_name;
        const int class_ord = r.sz_or_ord(&class_name);
        const int title_ord = r.sz_or_ord(&c.text);
        if (title_ord >= 0) c.text = "#" + std::to_string(title_ord);
        const int extra = r.u16();
        r.seek(r.pos() + (size_t)extra);
        c.kind = control_kind(class_ord, class_name, c.style);
        d.controls.push_back(c);
    }
    return d;
}

}  // namespace

std::string control_kind(int class_ordinal, const std::string &class_name, uint32_t style)
{
    const bool pushlike = style & 0x1000;
    switch (class_ordinal) {
    case 0x80:  // button
        switch (style & 0xF) {
        case 0: return "push";
        case 1: return "defpush";
        case 2: case 3: return pushlike ? "pushcheck" : "check";
        case 5: case 6: return "check3";
        case 4: case 9: return pushlike ? "pushradio" : "radio";
        case 7: return "group";
        case 0xB: return "ownerdraw";
        default: return "button";
        }
    case 0x81:  // edit
        return (style & 0x800) ? "readonly-edit" : "edit";
    case 0x82:  // static
        switch (style & 0x1F) {
        case 0: case 1: case 2: case 0xB: case 0xC: return "label";
        case 3: return "icon";
        case 0xE: return "image";
        default: return "frame";
        }
    case 0x83:  // list box: multiple or extended selection
        return (style & (0x8 | 0x800)) ? "multilist" : "list";
    case 0x84:
        return (style & 1) ? "vscroll" : "hscroll";
    case 0x85:
        switch (style & 3) {
        case 3: return "droplist";
        case 2: return "dropdown";
        default: return "combo";
        }
    default:
        return class_name.empty() ? "class#" + std::to_string(class_ordinal) : class_name;
    }
}

std::map<int, Dialog> read_dialogs(const std::vector<uint8_t> &image)
{
    std::map<int, Dialog> out;
    Reader r(image.data(), image.size());
    while (r.pos() + 8 <= image.size()) {
        const size_t start = r.pos();
        const uint32_t data_size = r.u32();
        const uint32_t header_size = r.u32();
        std::string type_name, name_text;
        const int type = r.sz_or_ord(&type_name);
        const int name = r.sz_or_ord(&name_text);
        const size_t data = start + header_size;
        if (header_size < 8 || data + data_size > image.size())
            throw std::runtime_error("resource: bad header");
        if (type == 5 && name >= 0) out[name] = read_template(name, image.data() + data, data_size);
        r.seek(data + data_size);
        r.align4();
    }
    return out;
}

}  // namespace res
