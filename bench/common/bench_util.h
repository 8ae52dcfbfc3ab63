#pragma once
// Small measuring helpers shared by the benchmarks. Register each figure-producing function with
// ->Iterations(1) and time inside it with best_of_ms, so that references measured in the same run
// see the same machine state.
#include <chrono>
#include <cstdint>
#include <functional>

namespace quenta::bench {

// Runs fn `reps` times and returns the fastest run in milliseconds.
double best_of_ms(int reps, const std::function<void()>& fn);

// Resident anonymous memory of this process (RssAnon of /proc/self/status), in MB.
double rss_anon_mb();

// Peak resident set size of this process (VmHWM), in MB.
double peak_rss_mb();

// Runs fn and returns how far the resident anonymous memory rose above its level at the start,
// sampled every 2 ms, in MB; the allocator gives back what it can before the start.
double added_anon_mb(const std::function<void()>& fn);

// Runs fn in a forked child process and returns the child's peak resident set size in MB, or
// -1 when fn returns false or the child does not finish. What this process holds when it forks
// counts as well, so call it before a benchmark builds anything large.
double child_peak_rss_mb(const std::function<bool()>& fn);

// The values of a large system file like the samples', in [0, 1000) and the same on every run:
// for testing::write_system, which asks for them row by row.
inline auto sample_like()
{
    return [s = std::uint64_t(88172645463325252ULL)](int, int) mutable {
        s = s * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<float>(s >> 40) * (1000.0f / 16777216.0f);
    };
}

// Keeps the optimiser from dropping a computed value.
template <class T> inline void keep(const T& value) { asm volatile("" : : "g"(&value) : "memory"); }

} // namespace quenta::bench
