// Storage and history: what is written reads back through `history` byte for byte, a readout
// is stored whole or not at all (constraint failure, full disk, kill -9), write faults are
// told apart, and a restart continues the same file.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include <sqlite3.h>

#include "monitor/history.h"
#include "monitor/store.h"

namespace fs = std::filesystem;

namespace {

const int64_t T0 = 1796601600000;  // 2026-12-07T00:00:00Z

struct StoreTest : ::testing::Test {
    fs::path dir;
    std::string db;
    char error[STORE_ERROR_MAX] = "";

    void SetUp() override
    {
        char tmpl[] = "/tmp/vok-store-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        db = (dir / "plant.db").string();
    }
    void TearDown() override
    {
        store_close();
        fs::remove_all(dir);
    }

    // A readout of `n` units at T0 + `at` s; unit k reads 20 + k + at/10, unit 1 has no value.
    int write(const char *link, int module, int at, int n = 3)
    {
        std::vector<StoreReading> u((size_t)n);
        for (int k = 0; k < n; ++k) {
            StoreReading &r = u[(size_t)k];
            r = StoreReading{};
            r.position = k;
            if (k != 2) snprintf(r.unit_id, sizeof r.unit_id, "28FF00000000%02X%02X", module & 0xFF, k & 0xFF);
            r.raw[0] = (uint8_t)k;
            r.raw[3] = 0xA5;
            r.has_value = k != 1;
            r.value = 20 + k + at / 10.0;
            snprintf(r.text, sizeof r.text, k == 1 ? "OPEN, \"x\"" : "%.2f℃", r.value);
        }
        const StoreReadout ro{T0 + at * 1000LL, link, module, 2, READOUT_OK, n, u.data()};
        return store_write_readout(&ro, error, sizeof error);
    }

    int count(const char *sql)
    {
        sqlite3 *h = nullptr;
        sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt *st = nullptr;
        int n = -1;
        if (sqlite3_prepare_v2(h, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
            n = sqlite3_column_int(st, 0);
        sqlite3_finalize(st);
        sqlite3_close(h);
        return n;
    }

    std::string history(std::vector<const char *> args, int *rc = nullptr)
    {
        args.insert(args.begin(), {"--db", db.c_str()});
        HistoryQuery q;
        char err[HISTORY_ERROR_MAX] = "";
        char *text = nullptr;
        size_t len = 0;
        FILE *out = open_memstream(&text, &len);
        int r = history_parse((int)args.size(), const_cast<char **>(args.data()), T0 + 3600000, &q, err, sizeof err);
        if (r == HISTORY_OK) r = history_run(&q, out, err, sizeof err);
        fclose(out);
        std::string s(text, len);
        free(text);
        if (rc) *rc = r;
        return r == HISTORY_OK ? s : std::string("error: ") + err;
    }
};

TEST_F(StoreTest, ReadingsAndAlarmsReadBackAsWritten)
{
    ASSERT_EQ(store_open(db.c_str(), error, sizeof error), STORE_OK) << error;
    ASSERT_EQ(write("store-1", 0x01, 0), STORE_OK) << error;
    ASSERT_EQ(write("cold", 0x7F, 5, 1), STORE_OK) << error;
    const StoreAlarm a{T0 + 6000, "store-1", 1, 2, 0, "28FF000000000100", "high", 1, 1, 31.5, 30, "above 30"};
    ASSERT_EQ(store_write_alarm(&a, error, sizeof error), STORE_OK) << error;
    const StoreAlarm down{T0 + 7000, "cold", -1, -1, -1, nullptr, "link_down", 0, 0, 0, 0, "link back"};
    ASSERT_EQ(store_write_alarm(&down, error, sizeof error), STORE_OK) << error;
    store_close();

    EXPECT_EQ(history({"--csv"}),
              "time,link,module,channel,position,id,raw,value,reading\n"
              "2026-12-07T00:00:00.000Z,store-1,01,2,0,28FF000000000100,000000A5,20.0000,20.00℃\n"
              "2026-12-07T00:00:00.000Z,store-1,01,2,1,28FF000000000101,010000A5,,\"OPEN, \"\"x\"\"\"\n"
              "2026-12-07T00:00:00.000Z,store-1,01,2,2,,020000A5,22.0000,22.00℃\n"
              "2026-12-07T00:00:05.000Z,cold,7F,2,0,28FF000000007F00,000000A5,20.5000,20.50℃\n");
    EXPECT_EQ(history({"--alarms", "--csv"}),
              "time,link,module,channel,position,id,kind,state,value,threshold,text\n"
              "2026-12-07T00:00:06.000Z,store-1,01,2,0,28FF000000000100,high,raised,31.5000,30.0000,above 30\n"
              "2026-12-07T00:00:07.000Z,cold,-,,,,link_down,cleared,,,link back\n");
    EXPECT_EQ(history({"--module", "7f"}),
              "time                      link          module  ch  pos  id                     value  reading\n"
              "2026-12-07T00:00:05.000Z  cold          7F      2   0    28FF000000007F00     20.5000  20.50℃\n");
}

TEST_F(StoreTest, HistoryFiltersSelectTheirRows)
{
    ASSERT_EQ(store_open(db.c_str(), error, sizeof error), STORE_OK) << error;
    for (int at = 0; at < 40; at += 10) ASSERT_EQ(write(at < 20 ? "a" : "b", at < 30 ? 1 : 2, at), STORE_OK) << error;
    store_close();
    struct Row {
        std::vector<const char *> args;
        size_t lines;  // data lines after the header
    } rows[] = {
        {{}, 12},
        {{"--link", "a"}, 6},
        {{"--module", "02"}, 3},
        {{"--unit", "28ff000000000100"}, 3},  // IDs match whatever their case
        {{"--from", "2026-12-07T00:00:10Z"}, 9},
        {{"--to", "2026-12-07T00:00:10"}, 3},  // --to is exclusive
        {{"--from", "-3590s", "--to", "now"}, 9},
        {{"--from", "2026-12-08"}, 0},
        {{"--link", "b", "--module", "01"}, 3},
    };
    for (const Row &r : rows) {
        const std::string out = history(r.args);
        EXPECT_EQ((size_t)std::count(out.begin(), out.end(), '\n'), r.lines + 1) << out;
    }
}

TEST_F(StoreTest, HistoryArgumentFaultsAreOneLine)
{
    const struct {
        std::vector<const char *> args;
        const char *error;
    } rows[] = {
        {{"--unit", "28FF"}, "error: --unit '28FF': give the unit's ID as 16 hex digits"},
        {{"--module", "100"}, "error: --module '100': give the module address in hex, e.g. 01 or 7F"},
        {{"--from", "yesterday"}, "error: time 'yesterday': give 2026-12-07"},
        {{"--from", "-5x"}, "error: time '-5x'"},
        {{"--from", "2026-12-07T25:00"}, "error: time '2026-12-07T25:00'"},
        {{"--from", "now", "--to", "-1h"}, "error: --from must lie before --to"},
        {{"--bogus"}, "error: unknown argument '--bogus'"},
        {{"--to"}, "error: option --to needs a value"},
    };
    for (const auto &r : rows) {
        int rc = 0;
        const std::string out = history(r.args, &rc);
        EXPECT_EQ(rc, HISTORY_USAGE);
        EXPECT_EQ(out.rfind(r.error, 0), 0u) << out;
    }
    int rc = 0;
    EXPECT_EQ(history({}, &rc).rfind("error: cannot open the database", 0), 0u);
    EXPECT_EQ(rc, HISTORY_FILE);
    FILE *f = fopen(db.c_str(), "w");
    fputs("not a database at all, not even close to one", f);
    fclose(f);
    EXPECT_NE(history({}, &rc).find("is no database of vokcli monitor"), std::string::npos);
    EXPECT_EQ(rc, HISTORY_FILE);
}

TEST_F(StoreTest, ReadoutIsStoredWholeOrNotAtAll)
{
    ASSERT_EQ(store_open(db.c_str(), error, sizeof error), STORE_OK) << error;
    ASSERT_EQ(write("a", 1, 0), STORE_OK);
    // Two readings at one position: the second insert fails after the readout row went in.
    StoreReading u[2] = {};
    snprintf(u[0].text, sizeof u[0].text, "x");
    snprintf(u[1].text, sizeof u[1].text, "y");
    const StoreReadout bad{T0 + 1000, "a", 1, 0, READOUT_OK, 2, u};
    EXPECT_EQ(store_write_readout(&bad, error, sizeof error), STORE_FAILED);
    EXPECT_NE(std::string(error).find("while writing a readout"), std::string::npos) << error;
    ASSERT_EQ(write("a", 1, 2), STORE_OK) << error;  // the connection is usable afterwards
    store_close();
    EXPECT_EQ(count("SELECT count(*) FROM readout"), 2);
    EXPECT_EQ(count("SELECT count(*) FROM reading"), 6);
}

TEST_F(StoreTest, FullDiskStopsWithItsOwnResultAndKeepsWhatWasStored)
{
    ASSERT_EQ(store_open(db.c_str(), error, sizeof error), STORE_OK) << error;
    sqlite3_exec(store_handle(), "PRAGMA max_page_count = 12", nullptr, nullptr, nullptr);
    int rc = STORE_OK, stored = 0;
    for (int k = 0; k < 10000 && rc == STORE_OK; ++k)
        if ((rc = write("a", 1, k, 40)) == STORE_OK) stored++;
    EXPECT_EQ(rc, STORE_FULL);
    EXPECT_NE(std::string(error).find("the disk holding " + db + " is full"), std::string::npos) << error;
    EXPECT_GT(stored, 0);
    store_close();
    EXPECT_EQ(count("SELECT count(*) FROM readout"), stored);
    EXPECT_EQ(count("SELECT count(*) FROM reading"), stored * 40);
}

TEST_F(StoreTest, ReadOnlyDatabaseIsRefusedAtOpenAndAtWrite)
{
    ASSERT_EQ(store_open(db.c_str(), error, sizeof error), STORE_OK) << error;
    sqlite3_exec(store_handle(), "PRAGMA query_only = 1", nullptr, nullptr, nullptr);
    EXPECT_EQ(write("a", 1, 0), STORE_READ_ONLY);
    EXPECT_NE(std::string(error).find("is read-only"), std::string::npos) << error;
    store_close();
    // The file write-protected: root ignores modes, so the open runs as another user there.
    ASSERT_EQ(chmod(db.c_str(), 0444), 0);
    ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
    const pid_t child = fork();
    if (child == 0) {
        if (getuid() == 0 && setuid(65534) != 0) _exit(9);
        char e[STORE_ERROR_MAX];
        const int r = store_open(db.c_str(), e, sizeof e);
        _exit(r == STORE_READ_ONLY && strstr(e, "check the file, its directory and their permissions") ? 0 : 10 + r);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
}

TEST_F(StoreTest, RestartContinuesAndANewerSchemaIsRefused)
{
    ASSERT_EQ(store_open(db.c_str(), error, sizeof error), STORE_OK) << error;
    ASSERT_EQ(write("a", 1, 0), STORE_OK);
    store_close();
    ASSERT_EQ(store_open(db.c_str(), error, sizeof error), STORE_OK) << error;
    ASSERT_EQ(write("a", 1, 1), STORE_OK);
    sqlite3_exec(store_handle(), "UPDATE meta SET value = '2' WHERE key = 'schema_version'", nullptr, nullptr, nullptr);
    store_close();
    EXPECT_EQ(count("SELECT count(*) FROM readout"), 2);
    EXPECT_EQ(count("SELECT value FROM meta WHERE key = 'schema_version'"), 2);
    EXPECT_EQ(store_open(db.c_str(), error, sizeof error), STORE_FAILED);
    EXPECT_NE(std::string(error).find("has schema version 2, this vokcli knows 1"), std::string::npos) << error;
}

TEST_F(StoreTest, PruneRemovesOnlyOlderRows)
{
    ASSERT_EQ(store_open(db.c_str(), error, sizeof error), STORE_OK) << error;
    for (int at = 0; at < 5; ++at) ASSERT_EQ(write("a", 1, at), STORE_OK);
    const StoreAlarm a{T0 + 500, "a", 1, -1, -1, nullptr, "silent", 1, 0, 0, 0, "silent"};
    ASSERT_EQ(store_write_alarm(&a, error, sizeof error), STORE_OK);
    EXPECT_EQ(store_prune(T0 + 2000, error, sizeof error), 2 * 3 + 2 + 1);
    store_close();
    EXPECT_EQ(count("SELECT min(time_ms) - 1796601600000 FROM reading"), 2000);
    EXPECT_EQ(count("SELECT count(*) FROM readout"), 3);
    EXPECT_EQ(count("SELECT count(*) FROM alarm"), 0);
}

// A writer killed at random points leaves a sound file with only whole readouts in it.
TEST_F(StoreTest, KilledWriterLeavesWholeReadouts)
{
    for (int round = 0; round < 3; ++round) {
        int pipefd[2];
        ASSERT_EQ(pipe(pipefd), 0);
        const pid_t child = fork();
        if (child == 0) {
            close(pipefd[0]);
            char e[STORE_ERROR_MAX];
            if (store_open(db.c_str(), e, sizeof e) != STORE_OK) _exit(3);
            for (int k = 0;; ++k) {
                if (write("a", 1, k, 20) != STORE_OK) _exit(4);
                if (k == 5 && ::write(pipefd[1], "x", 1) != 1) _exit(5);
            }
        }
        close(pipefd[1]);
        char c;
        ASSERT_EQ(read(pipefd[0], &c, 1), 1);  // a few readouts are in; kill it mid-stream
        close(pipefd[0]);
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "writer ended by itself: " << status;
    }
    ASSERT_EQ(store_open(db.c_str(), error, sizeof error), STORE_OK) << error;
    store_close();
    EXPECT_GE(count("SELECT count(*) FROM readout"), 18);
    EXPECT_EQ(count("SELECT count(*) FROM readout r WHERE units != (SELECT count(*) FROM reading WHERE readout = r.id)"), 0);
    EXPECT_EQ(count("SELECT count(*) FROM pragma_integrity_check WHERE integrity_check != 'ok'"), 0);
}

}  // namespace
