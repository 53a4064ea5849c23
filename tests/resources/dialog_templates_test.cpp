// vokmon's dialog templates, as compiled, against the expected tables in dialogs/*.txt.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "tests/resources/res_file.h"

namespace {

struct Row {
    int id;
    std::string kind, text;
    std::string where;  // file:line
};
struct Expected {
    int id;
    std::string caption, where;
    std::vector<Row> rows;
};

// "text" with \" and \\ escapes, and \r \n for the line breaks of multi-line statics;
// returns false when the quotes are not closed.
bool quoted(std::istream &in, std::string &out)
{
    in >> std::ws;
    if (in.get() != '"') return false;
    out.clear();
    for (int c; (c = in.get()) != EOF;) {
        if (c == '"') return true;
        if (c == '\\') {
            c = in.get();
            if (c == 'r') c = '\r';
            else if (c == 'n') c = '\n';
        }
        out += (char)c;
    }
    return false;
}

std::vector<Expected> read_tables(const std::filesystem::path &dir)
{
    std::vector<Expected> all;
    std::vector<std::filesystem::path> files;
    for (const auto &e : std::filesystem::directory_iterator(dir))
        if (e.path().extension() == ".txt") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    for (const auto &f : files) {
        std::ifstream in(f);
        std::string line;
        for (int n = 1; std::getline(in, line); ++n) {
            const std::string where = f.filename().string() + ":" + std::to_string(n);
            std::istringstream s(line);
            std::string first;
            if (!(s >> first) || first[0] == '#') continue;
            if (first == "dialog") {
                Expected d;
                d.where = where;
                if (!(s >> d.id) || !quoted(s, d.caption)) ADD_FAILURE() << where << ": bad dialog line";
                all.push_back(d);
                continue;
            }
            Row r;
            r.where = where;
            if (all.empty() || !(std::istringstream(first) >> r.id) || !(s >> r.kind) || !quoted(s, r.text)) {
                ADD_FAILURE() << where << ": bad row '" << line << "'";
                continue;
            }
            all.back().rows.push_back(r);
        }
    }
    return all;
}

std::map<int, res::Dialog> compiled()
{
    std::ifstream in(VOK_RES_FILE, std::ios::binary);
    std::vector<uint8_t> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return res::read_dialogs(image);
}

std::string describe(const res::Control &c)
{
    return std::to_string(c.id) + " " + c.kind + " \"" + c.text + "\"";
}

}  // namespace

TEST(DialogTemplates, EveryListedDialogMatchesItsTable)
{
    const auto dialogs = compiled();
    const auto tables = read_tables(VOK_DIALOG_TABLES);
    ASSERT_FALSE(tables.empty());
    std::set<int> listed;
    for (const Expected &e : tables) {
        SCOPED_TRACE(e.where);
        EXPECT_TRUE(listed.insert(e.id).second) << "dialog " << e.id << " listed twice";
        auto it = dialogs.find(e.id);
        if (it == dialogs.end()) {
            ADD_FAILURE() << "dialog " << e.id << " is not in the resource file";
            continue;
        }
        const res::Dialog &d = it->second;
        EXPECT_EQ(d.caption, e.caption) << "caption of dialog " << e.id;
        std::vector<bool> used(d.controls.size(), false);
        for (const Row &r : e.rows) {
            int found = -1, same_id = 0;
            for (size_t k = 0; k < d.controls.size(); ++k) {
                const res::Control &c = d.controls[k];
                if (c.id != r.id) continue;
                ++same_id;
                if (used[k]) continue;
                if (found < 0 && (r.id != -1 || (c.kind == r.kind && c.text == r.text))) found = (int)k;
            }
            if (found < 0) {
                ADD_FAILURE() << r.where << ": dialog " << e.id << " has no control " << r.id << " " << r.kind
                              << " \"" << r.text << "\"";
                continue;
            }
            used[(size_t)found] = true;
            const res::Control &c = d.controls[(size_t)found];
            if (r.id != -1) EXPECT_EQ(same_id, 1) << r.where << ": id " << r.id << " used by more than one control";
            EXPECT_EQ(c.kind, r.kind) << r.where << ": kind of control " << r.id;
            EXPECT_EQ(c.text, r.text) << r.where << ": text of control " << r.id;
        }
        for (size_t k = 0; k < d.controls.size(); ++k)
            if (!used[k] && d.controls[k].id != -1)
                ADD_FAILURE() << "dialog " << e.id << ": control without a row: " << describe(d.controls[k]);
    }
    for (const auto &[id, d] : dialogs)
        if (!listed.count(id)) ADD_FAILURE() << "dialog " << id << " \"" << d.caption << "\" has no table in dialogs/";
}

// The decoder itself, on templates built here: both template forms, ordinal titles, and the
// style bits that tell kinds apart.
TEST(DialogTemplates, ReaderDecodesBothTemplateForms)
{
    auto u16 = [](std::vector<uint8_t> &v, unsigned x) {
        v.push_back((uint8_t)x);
        v.push_back((uint8_t)(x >> 8));
    };
    auto u32 = [&](std::vector<uint8_t> &v, uint32_t x) {
        u16(v, x & 0xFFFF);
        u16(v, x >> 16);
    };
    auto wstr = [&](std::vector<uint8_t> &v, const std::u16string &s) {
        for (char16_t c : s) u16(v, c);
        u16(v, 0);
    };
    auto pad = [](std::vector<uint8_t> &v) {
        while (v.size() % 4) v.push_back(0);
    };
    // DIALOGEX with a font, one push-like radio with a string title, one bitmap static.
    std::vector<uint8_t> ex;
    u16(ex, 1), u16(ex, 0xFFFF), u32(ex, 0), u32(ex, 0), u32(ex, 0x80C80040), u16(ex, 2);
    for (int k = 0; k < 4; ++k) u16(ex, 10);
    u16(ex, 0), u16(ex, 0), wstr(ex, u"数据"), u16(ex, 9), u16(ex, 400), u16(ex, 0), wstr(ex, u"MS Shell Dlg");
    pad(ex), u32(ex, 0), u32(ex, 0), u32(ex, 0x50011009);
    for (int k = 0; k < 4; ++k) u16(ex, 1);
    u32(ex, 1024), u16(ex, 0xFFFF), u16(ex, 0x80), wstr(ex, u"CH0"), u16(ex, 0);
    pad(ex), u32(ex, 0), u32(ex, 0), u32(ex, 0x5000000E);
    for (int k = 0; k < 4; ++k) u16(ex, 1);
    u32(ex, 1410), u16(ex, 0xFFFF), u16(ex, 0x82), u16(ex, 0xFFFF), u16(ex, 1007), u16(ex, 0);
    // Plain DIALOG without a font: a static whose id is 0xFFFF and a multiple-selection list.
    std::vector<uint8_t> plain;
    u32(plain, 0x80C80000), u32(plain, 0), u16(plain, 2);
    for (int k = 0; k < 4; ++k) u16(plain, 10);
    u16(plain, 0), u16(plain, 0), wstr(plain, u"T");
    pad(plain), u32(plain, 0x50000000), u32(plain, 0);
    for (int k = 0; k < 4; ++k) u16(plain, 1);
    u16(plain, 0xFFFF), u16(plain, 0xFFFF), u16(plain, 0x82), wstr(plain, u"a\"b"), u16(plain, 0);
    pad(plain), u32(plain, 0x50000009), u32(plain, 0);
    for (int k = 0; k < 4; ++k) u16(plain, 1);
    u16(plain, 1021), u16(plain, 0xFFFF), u16(plain, 0x83), u16(plain, 0), u16(plain, 0);

    std::vector<uint8_t> file(32, 0);  // the empty leading entry
    file[4] = 32, file[8] = 0xFF, file[9] = 0xFF, file[12] = 0xFF, file[13] = 0xFF;
    for (auto [id, body] : {std::pair{111, &ex}, std::pair{7, &plain}}) {
        pad(file);
        u32(file, (uint32_t)body->size()), u32(file, 32);
        u16(file, 0xFFFF), u16(file, 5), u16(file, 0xFFFF), u16(file, (unsigned)id);
        u32(file, 0), u16(file, 0x1030), u16(file, 0x804), u32(file, 0), u32(file, 0);
        file.insert(file.end(), body->begin(), body->end());
    }
    const auto d = res::read_dialogs(file);
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d.at(111).caption, "数据");
    ASSERT_EQ(d.at(111).controls.size(), 2u);
    EXPECT_EQ(describe(d.at(111).controls[0]), "1024 pushradio \"CH0\"");
    EXPECT_EQ(describe(d.at(111).controls[1]), "1410 image \"#1007\"");
    ASSERT_EQ(d.at(7).controls.size(), 2u);
    EXPECT_EQ(describe(d.at(7).controls[0]), "-1 label \"a\"b\"");
    EXPECT_EQ(describe(d.at(7).controls[1]), "1021 multilist \"\"");

    file.resize(file.size() - 3);  // a cut file is refused, not read past its end
    EXPECT_THROW(res::read_dialogs(file), std::runtime_error);
}
