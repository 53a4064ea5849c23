// Output helpers of vokcli: the escaping rules of the formats it writes.
#include "cli/output.h"

#include <string.h>

void json_string(FILE *f, const char *s)
{
    fputc('"', f);
    for (const unsigned char *p = (const unsigned char *)s; *p; ++p) {
        if (*p == '"' || *p == '\\') fprintf(f, "\\%c", *p);
        else if (*p == '\n') fputs("\\n", f);
        else if (*p == '\r') fputs("\\r", f);
        else if (*p < 0x20 || *p == 0x7F) fprintf(f, "\\u%04x", *p);
        else fputc(*p, f);
    }
    fputc('"', f);
}

void csv_field(FILE *f, const char *s)
{
    if (!strpbrk(s, ",\"\r\n")) {
        fputs(s, f);
        return;
    }
    fputc('"', f);
    for (const char *p = s; *p; ++p) {
        if (*p == '"') fputc('"', f);
        fputc(*p, f);
    }
    fputc('"', f);
}

const char *hex_bytes(const uint8_t *p, int n, char sep, char *out, int cap)
{
    int k = 0;
    out[0] = 0;
    for (int i = 0; i < n && k + 4 < cap; ++i) {
        if (i && sep) out[k++] = sep;
        k += snprintf(out + k, (size_t)(cap - k), "%02X", p[i]);
    }
    return out;
}

const char *frame_text(const uint8_t *p, int n, char *out, int cap)
{
    int k = 0;
    out[0] = 0;
    for (int i = 0; i < n && k + 5 < cap; ++i) {
        if (p[i] == '\r') k += snprintf(out + k, (size_t)(cap - k), "\\r");
        else if (p[i] >= 0x20 && p[i] < 0x7F && p[i] != '\\') out[k++] = (char)p[i], out[k] = 0;
        else k += snprintf(out + k, (size_t)(cap - k), "\\x%02X", p[i]);
    }
    return out;
}

const char *mode_text(int mode)
{
    return mode == 0 ? "search" : mode == 1 ? "storage" : "normal";
}

const char *clean_text(const char *s, char *out, int cap)
{
    int k = 0;
    for (; s[k] && k < cap - 1; ++k) out[k] = (s[k] >= 0x20 && s[k] < 0x7F) ? s[k] : '?';
    out[k] = 0;
    return out;
}
