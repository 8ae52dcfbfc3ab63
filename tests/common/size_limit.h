#pragma once
// Runs a piece of a test in a child process whose files cannot grow beyond a limit, as on a
// disk that is full: a write past the limit fails (EFBIG) instead of ending the process.
#include <csignal>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quenta::testing {

// The text that `body` returns in the child, or what went wrong with the child.
inline std::string with_file_size_limit(rlim_t limit, const std::function<std::string()>& body)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return "no pipe";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit r{limit, limit};
        std::string out = ::setrlimit(RLIMIT_FSIZE, &r) == 0 ? body() : "no limit";
        for (std::size_t done = 0; done < out.size();) {
            const ssize_t n = ::write(fds[1], out.data() + done, out.size() - done);
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string out;
    char buf[4096];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;)
        out.append(buf, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? out : "the child failed: " + out;
}

} // namespace quenta::testing
