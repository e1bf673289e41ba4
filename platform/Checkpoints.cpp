#include "platform/Checkpoints.h"

#ifdef PELMARK_CHECKPOINTS
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace platform {

namespace {
struct Mark {
    const char* name;
    LARGE_INTEGER counter;
    FILETIME clock;
};
std::vector<Mark>& Marks() {
    static std::vector<Mark> marks;
    return marks;
}
bool written = false;
// The first mark is as early as static construction gets.
const bool moduleStart = (Checkpoint("module start"), true);

double Ms(const FILETIME& a, const FILETIME& b) {
    auto v = [](const FILETIME& f) { return (static_cast<long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime; };
    return static_cast<double>(v(b) - v(a)) / 10000.0;
}
}  // namespace

void Checkpoint(const char* name) {
    Mark m{name, {}, {}};
    QueryPerformanceCounter(&m.counter);
    GetSystemTimePreciseAsFileTime(&m.clock);
    Marks().push_back(m);
}

void WriteCheckpoints() {
    if (written || Marks().empty()) return;
    written = true;
    const char* path = std::getenv("PELMARK_CHECKPOINT_FILE");
    if (!path) return;
    FILE* f = std::fopen(path, "w");
    if (!f) return;
    // The process's creation time anchors the table: the first mark is the
    // clock's, the rest follow the performance counter from it.
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const Mark& first = Marks().front();
    const double start = Ms(created, first.clock);
    for (const Mark& m : Marks()) {
        const double ms = start + 1000.0 * static_cast<double>(m.counter.QuadPart - first.counter.QuadPart) /
                                      static_cast<double>(frequency.QuadPart);
        std::fprintf(f, "%.2f\t%s\n", ms, m.name);
    }
    std::fclose(f);
}

}  // namespace platform
#endif
