#include "common/bench_util.h"

#include <algorithm>
#include <atomic>
#include <malloc.h>
#include <thread>
#include <fstream>
#include <limits>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quenta::bench {

double best_of_ms(int reps, const std::function<void()>& fn)
{
    double best = std::numeric_limits<double>::infinity();
    for (int k = 0; k < reps; ++k) {
        auto t0 = std::chrono::steady_clock::now();
        fn();
        auto t1 = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    return best;
}

static double status_field_mb(const char* field)
{
    std::ifstream in("/proc/self/status");
    std::string key;
    while (in >> key) {
        if (key == field) {
            double kb = 0;
            in >> kb;
            return kb / 1024.0;
        }
        in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
    return 0;
}

double rss_anon_mb() { return status_field_mb("RssAnon:"); }
double peak_rss_mb() { return status_field_mb("VmHWM:"); }

double added_anon_mb(const std::function<void()>& fn)
{
    malloc_trim(0);
    const double before = rss_anon_mb();
    std::atomic<bool> stop{false};
    std::atomic<double> peak{before};
    std::thread sampler([&] {
        while (!stop.load()) {
            const double now = rss_anon_mb();
            if (now > peak.load())
                peak = now;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    fn();
    stop = true;
    sampler.join();
    return peak.load() - before;
}

double child_peak_rss_mb(const std::function<bool()>& fn)
{
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0)
        ::_exit(fn() ? 0 : 1);
    int status = 0;
    rusage usage{};
    if (::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KB
}

} // namespace quenta::bench
