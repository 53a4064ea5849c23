// vokcli export: the sensor list file modelNN.txt exactly as vokmon's save button writes it.
#include <stdio.h>

#include <filesystem>
#include <system_error>

#include "app/state.h"
#include "cli/commands.h"
#include "cli/link_open.h"
#include "cli/module_load.h"
#include "cli/ui_console.h"
#include "display/sensor_list_file.h"

int cmd_export(const CliOptions *o, FILE *out, FILE *err)
{
    const char *dir = o->out ? o->out : ".";
    std::error_code ec;
    if (!std::filesystem::is_directory(std::filesystem::path(dir), ec)) {
        fprintf(err, "vokcli: %s is no directory: give --dir an existing directory\n", dir);
        return EXIT_USAGE;
    }
    const int rc = cli_open_module(o, err);
    if (rc != EXIT_OK) return rc;
    const Module &m = module_table.module[0];
    char path[CLI_PORT_MAX + 64];
    snprintf(path, sizeof path, "%s/model%02d.txt", dir, m.address);
    // The file goes where the features write files: the current directory.
    const std::filesystem::path back = std::filesystem::current_path(ec);
    std::filesystem::current_path(std::filesystem::path(dir), ec);
    ui_console_clear();
    const int r = export_sensor_list(nullptr);
    if (!back.empty()) std::filesystem::current_path(back, ec);
    cli_close_link();
    if (r == 1) {
        fprintf(err, "vokcli: module 0x%02X is a %s of type code %02X, for which no sensor list is kept\n", m.address,
                m.name, m.type_code & 0xFF);
        return EXIT_BAD_REPLY;
    }
    if (ui_console_message.count > 0 && r != 0) {
        fprintf(err, "vokcli: writing %s failed (%s): check the disk and the permissions\n", path, ui_console_message.text);
        return EXIT_FILE;
    }
    if (ui_console_message.count > 0 && std::string_view(ui_console_message.caption) == "ERROR!") {
        fprintf(err, "vokcli: cannot create %s: check the directory and its permissions\n", path);
        return EXIT_FILE;
    }
    fprintf(out, "%s\n", path);
    if (ui_console_message.count > 0) {
        fprintf(err, "vokcli: module 0x%02X did not answer every ID read on %s: the file shows -- for those IDs; try again\n",
                m.address, cli_link_text());
        return EXIT_NO_REPLY;
    }
    return EXIT_OK;
}
