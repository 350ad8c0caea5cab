#ifndef QUILLET_TESTS_CHILDPROCESS_H
#define QUILLET_TESTS_CHILDPROCESS_H

#include <functional>
#include <sys/wait.h>
#include <unistd.h>

// Runs body in a forked child, which starts with this process's state (the
// log's once-per-run state included, as long as this process never logged).
// Returns the child's exit code (the body's result), or -1 if it did not exit.
inline int runInChild(const std::function<int()>& body)
{
    const pid_t pid = fork();
    if (pid == 0)
        _exit(body());
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

#endif
