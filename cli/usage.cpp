// vokcli's help texts: the overview and one page per subcommand.
#include "cli/options.h"

namespace {

const char LinkHelp[] =
    "Link (every command that talks to the bus):\n"
    "  --port PORT        serial port (/dev/ttyUSB0, COM3) or network converter host:port\n"
    "  --converter N      converter type 0-7: 0 RS-232, 1 USB, 2 COM-side RS-485, 3 power line,\n"
    "                     4 network converter, 5 radio, 6 slow radio, 7 user reply wait\n"
    "                     (default 0 for a serial port, 4 for host:port)\n"
    "  --baud B           bus speed: 2400, 4800, 9600 (default), 19200, 38400\n"
    "  --wait MS          reply wait of converter type 7, 10-15000 ms\n"
    "  --config FILE      take the link from vokmon's vokcfg.cfg; the options above override it\n"
    "  --trace FILE       append a decoded log of every frame to FILE\n";

const char Overview[] =
    "usage: vokcli COMMAND [options]\n"
    "\n"
    "Commands:\n"
    "  search             find the modules on the bus (00-FF)\n"
    "  read ADDR          the units of a module with IDs and readings\n"
    "  watch ADDR         log a channel's readings to a CSV file at a fixed period\n"
    "  ids ADDR           the IDs of a module's units\n"
    "  export ADDR        write the sensor list file modelNN.txt as vokmon does\n"
    "  raw REQUEST        send one request (without its CR) and show the reply\n"
    "  discover           find network converters on this host's networks\n"
    "  monitor            poll the links of a plant file around the clock (vokcli monitor --help)\n"
    "  history            readings stored by the plant collector (vokcli history --help)\n"
    "\n"
    "Module addresses are hex as vokmon shows them: 01, 7F (also 7FH, 0x7F).\n"
    "vokcli COMMAND --help shows a command's options; vokcli --version the version.\n"
    "\n"
    "Exit codes: 0 done; 1 no reply (no module found, module silent); 2 bad command line or\n"
    "settings file; 3 port or converter cannot be opened; 4 unexpected reply; 5 file error\n"
    "(also standard output); 130 stopped by Ctrl-C (a second Ctrl-C ends at once).\n"
    "Set VOK_TRACE=FILE to get the same traffic log from vokmon and the vok3900d library.\n";

const char Search[] =
    "usage: vokcli search [--fast] [--json] [--quiet] LINK\n"
    "\n"
    "Probes every address 00-FF with the same waits as vokmon, then reads each module found.\n"
    "A reply from another address than the one probed is named, never listed as a module.\n"
    "A progress line (address, modules found, time left) shows on a terminal.\n"
    "  --fast             waits follow the measured reply time of the link instead of the fixed\n"
    "                     schedule; much quicker, but a module much slower to answer than the\n"
    "                     first one found may be missed: search without --fast to be sure\n"
    "  --json             the module table as JSON\n"
    "  --quiet            no progress line\n";

const char Read[] =
    "usage: vokcli read ADDR [--channel N|all] [--csv|--json] LINK\n"
    "\n"
    "Reads the module's parameters, then for each channel with units (or the one given) the\n"
    "unit IDs and the readings, decoded as vokmon's data display shows them.\n"
    "  --channel N|all    one channel 0-7, or all (default: every channel with units)\n"
    "  --csv, --json      CSV with a header row, or one JSON object per unit and line\n";

const char Watch[] =
    "usage: vokcli watch ADDR --channel N --period S --out FILE.csv [--count N] LINK\n"
    "\n"
    "Reads the channel every S seconds and appends one row per unit and reading to FILE.csv\n"
    "(written through at once; an existing file with the same header is continued). A failed\n"
    "readout leaves a row with its status and the link is opened again, with growing pauses\n"
    "while that fails. Ctrl-C ends the watch with a summary.\n"
    "  --count N          stop after N readings\n"
    "  --give-up-after S  end after S seconds without a reading (default: never)\n"
    "  --excel            start a new file with a UTF-8 byte order mark, for Excel\n"
    "  --quiet            no reading lines on the terminal\n";

const char Ids[] =
    "usage: vokcli ids ADDR [--channel N|all] [--csv|--json] LINK\n"
    "\n"
    "The 64-bit IDs of the module's units (with sort numbers where the module keeps them).\n";

const char Export[] =
    "usage: vokcli export ADDR [--dir DIR] LINK\n"
    "\n"
    "Writes the sensor list file modelNN.txt (NN: the address in decimal) that vokmon's save\n"
    "button writes, into DIR (default: the current directory).\n";

const char Raw[] =
    "usage: vokcli raw REQUEST [--json] LINK\n"
    "\n"
    "Sends REQUEST as typed with a CR added (e.g. '$01M', '#063') and shows the reply raw,\n"
    "as text and decoded, as vokmon's terminal does. Quote requests that hold $ or *.\n";

const char Discover[] =
    "usage: vokcli discover [--json]\n"
    "\n"
    "Asks on UDP port 30718, by broadcast on each of this host's networks (loopback excepted),\n"
    "for network converters, and lists their MAC and IP addresses, TCP ports and bus speeds.\n"
    "Nothing is changed on the converters.\n";

}  // namespace

const char *cli_usage(CliCommand command)
{
    switch (command) {
    case CLI_SEARCH: return Search;
    case CLI_READ: return Read;
    case CLI_WATCH: return Watch;
    case CLI_IDS: return Ids;
    case CLI_EXPORT: return Export;
    case CLI_RAW: return Raw;
    case CLI_DISCOVER: return Discover;
    default: return Overview;
    }
}

const char *cli_link_usage(void)
{
    return LinkHelp;
}
