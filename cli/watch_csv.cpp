// The CSV log of vokcli watch: checked before the link is opened, so a bad --out costs one
// line and no bus traffic; resumed across runs.
#include "cli/watch_csv.h"

#include <errno.h>
#include <string.h>
#include <time.h>

#include <chrono>
#include <filesystem>
#include <system_error>

const char WatchHeader[] = "time,elapsed_s,module,channel,unit,id,reading,value,status";

namespace {

const char Bom[] = "\xEF\xBB\xBF";
enum { HEADER_READ_MAX = 256 };

// The offset of the local time from UTC at `t`, in seconds.
long utc_offset_s(time_t t, struct tm *local)
{
#ifdef _WIN32
    localtime_s(local, &t);
    struct tm copy = *local;
    return (long)(_mkgmtime(&copy) - t);
#else
    localtime_r(&t, local);
    return local->tm_gmtoff;
#endif
}

// Checks the first line of an existing file and cuts a last row left half-written. 0 when
// the file can be continued, else -1 after an error line.
int check_existing(const char *path, uintmax_t size, FILE *err)
{
    FILE *f = fopen(path, "rb");
    if (!f) {
        fprintf(err, "vokcli: cannot read %s (%s): check its permissions\n", path, strerror(errno));
        return -1;
    }
    char first[HEADER_READ_MAX] = "";
    const int got_line = fgets(first, sizeof first, f) != nullptr;
    // The end of the last complete row: the last newline, read from the tail in one block.
    long last_newline = -1;
    const long end = (long)size;
    char tail[4096];
    for (long at = end; at > 0 && last_newline < 0;) {
        const long from = at > (long)sizeof tail ? at - (long)sizeof tail : 0;
        if (fseek(f, from, SEEK_SET) != 0) break;
        const size_t n = fread(tail, 1, (size_t)(at - from), f);
        if (n != (size_t)(at - from)) break;
        for (long k = (long)n - 1; k >= 0; --k)
            if (tail[k] == '\n') {
                last_newline = from + k;
                break;
            }
        at = from;
    }
    fclose(f);
    first[strcspn(first, "\r\n")] = 0;
    const char *line = strncmp(first, Bom, 3) == 0 ? first + 3 : first;
    if (!got_line || strcmp(line, WatchHeader) != 0) {
        fprintf(err, "vokcli: %s is no watch file of vokcli (its first line is not \"%s\"): give a new file\n", path,
                WatchHeader);
        return -1;
    }
    std::error_code ec;
    if (last_newline + 1 < end) std::filesystem::resize_file(std::filesystem::path(path), (uintmax_t)(last_newline + 1), ec);
    return 0;
}

}  // namespace

FILE *watch_csv_open(const char *path, int excel, FILE *err)
{
    std::error_code ec;
    const std::filesystem::path p(path);
    const std::filesystem::file_status st = std::filesystem::status(p, ec);
    if (std::filesystem::is_directory(st)) {
        fprintf(err, "vokcli: --out %s is a directory: give a file name, e.g. %s/watch.csv\n", path, path);
        return nullptr;
    }
    // Only a regular file can be checked and continued; a device (/dev/null, a pipe) is
    // written as a new file.
    std::error_code size_ec;
    const uintmax_t size = std::filesystem::is_regular_file(st) ? std::filesystem::file_size(p, size_ec) : 0;
    if (size_ec) {
        fprintf(err, "vokcli: cannot read %s (%s): check its permissions\n", path, size_ec.message().c_str());
        return nullptr;
    }
    if (size > 0 && check_existing(path, size, err) != 0) return nullptr;
    FILE *f = fopen(path, "ab");
    if (!f) {
        fprintf(err, "vokcli: cannot write %s (%s): check the directory and its permissions\n", path, strerror(errno));
        return nullptr;
    }
    if (size == 0) {
        if (excel) fputs(Bom, f);
        fprintf(f, "%s\n", WatchHeader);
    }
    if (fflush(f) != 0 || ferror(f)) {
        fprintf(err, "vokcli: cannot write %s (%s): check the free space on its disk\n", path, strerror(errno));
        fclose(f);
        return nullptr;
    }
    return f;
}

void watch_stamp(char *out, int cap)
{
    const long long ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    const time_t t = (time_t)(ms / 1000);
    struct tm local;
    long off = utc_offset_s(t, &local);
    char base[24];
    if (!strftime(base, sizeof base, "%Y-%m-%dT%H:%M:%S", &local)) {
        snprintf(out, (size_t)cap, "-");
        return;
    }
    const char sign = off < 0 ? '-' : '+';
    if (off < 0) off = -off;
    snprintf(out, (size_t)cap, "%s.%03d%c%02ld:%02ld", base, (int)(ms % 1000), sign, off / 3600, off / 60 % 60);
}

void watch_csv_gap(FILE *csv, const char *stamp, double elapsed_s, int address, int channel, const char *status)
{
    fprintf(csv, "%s,%.3f,%02X,%d,,,,,%s\n", stamp, elapsed_s, address & 0xFF, channel, status);
}
