// A private Xvfb server for a test process: started with -displayfd, which picks a free display
// number and writes it once the server accepts connections.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

struct XvfbServer {
    pid_t pid = -1;
    std::string display; // ":N", empty when Xvfb could not be started

    // `screen` as Xvfb's -screen takes it, e.g. "1024x768x24"; `disabled` an extension to
    // leave out, or null. Waits at most 20 s.
    void start(const char *screen, const char *disabled = nullptr) {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid = fork();
        if (pid == 0) {
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            const int quiet = open("/dev/null", O_WRONLY);
            if (quiet >= 0) dup2(quiet, 2);
            // -noreset: no reset, with its moment of refused connections, when clients leave.
            if (disabled)
                execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen,
                       "-nolisten", "tcp", "-noreset", "-extension", disabled,
                       static_cast<char *>(nullptr));
            else
                execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen,
                       "-nolisten", "tcp", "-noreset", static_cast<char *>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        pollfd p = {fds[0], POLLIN, 0};
        char c;
        while (pid > 0 && poll(&p, 1, 20000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (!number.empty()) display = ":" + number;
    }

    void stop() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        pid = -1;
        display.clear();
    }
};
