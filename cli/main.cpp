// vokcli: the module bus from a terminal, on Linux and Windows.
#include <stdio.h>
#include <string.h>

#include "cli/commands.h"
#include "platform/console.h"
#include "vok_version.h"

int main(int argc, char **argv)
{
    console_utf8();  // before any output, --version and usage included
    if (argc == 2 && strcmp(argv[1], "--version") == 0) {
        printf("vokcli %s\n", VOK_VERSION);
        return 0;
    }
    return cli_main(argc, argv, stdout, stderr);
}
