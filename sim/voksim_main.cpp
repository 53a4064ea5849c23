// voksim's entry point.
#include <cstdio>

#include "sim/voksim.h"

int main(int argc, char **argv)
{
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
