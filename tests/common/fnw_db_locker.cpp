// Another program holding Fenwave's database: begins an immediate transaction on the file, says
// "locked", and holds the write lock for the given milliseconds or until its input closes; then
// commits and says "released".
//   fnw_db_locker <database> <hold-ms>

#include <sqlite3.h>

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: fnw_db_locker <database> <hold-ms>\n");
        return 2;
    }
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "fnw_db_locker: %s\n", db ? sqlite3_errmsg(db) : "cannot open");
        return 1;
    }
    sqlite3_busy_timeout(db, 5000);
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "fnw_db_locker: %s\n", sqlite3_errmsg(db));
        return 1;
    }
    std::printf("locked\n");
    std::fflush(stdout);

    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::atoi(argv[2]));
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count();
        if (left <= 0)
            break;
        pollfd input{STDIN_FILENO, POLLIN, 0};
        const int ready = poll(&input, 1, static_cast<int>(left));
        if (ready > 0) {
            char byte;
            if (read(STDIN_FILENO, &byte, 1) <= 0)
                break; // closed: release now
        }
    }
    const int committed = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    std::printf("released\n");
    std::fflush(stdout);
    return committed == SQLITE_OK ? 0 : 1;
}
