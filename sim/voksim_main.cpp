// voksim's entry point.
#include <cstdio>
#include <cstring>

#include "sim/voksim.h"
#include "vok_version.h"
#ifdef _WIN32
#include "platform/console.h"
#endif

int main(int argc, char **argv)
{
#ifdef _WIN32
    console_utf8();  // bus files may name modules in Chinese; "list" prints them
#endif
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("voksim %s\n", VOK_VERSION);
            return 0;
        }
    }
    voksim::Options o;
    std::string err;
    if (!voksim::parse_options(argc, argv, o, err)) {
        if (!err.empty())
            std::fprintf(stderr, "voksim: %s\n", err.c_str());
        std::fputs(voksim::usage(), err.empty() ? stdout : stderr);
        return err.empty() ? 0 : 2;
    }
    voksim::World w;
    if (!voksim::build_world(o, w, err)) {
        std::fprintf(stderr, "voksim: %s\n", err.c_str());
        return 1;
    }
    return voksim::host_run(w, o);
}
