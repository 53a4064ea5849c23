// vokcli: the module bus from a terminal, on Linux and Windows.
#include <stdio.h>

#include "cli/commands.h"

int main(int argc, char **argv)
{
    return cli_main(argc, argv, stdout, stderr);
}
