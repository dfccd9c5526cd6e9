// Runs a whole program as a child process and waits for it, for the benchmarks that time
// programs from the outside.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace bench {

// Starts argv in folder (empty: this process's) with extra environment, its output thrown
// away; its process id, 0 when it could not start.
inline pid_t spawnProgram(std::vector<std::string> argv,
                          const std::vector<std::string>& extraEnvironment = {},
                          const std::string& folder = {}) {
    std::vector<std::string> environment(extraEnvironment);
    for (char** e = environ; *e != nullptr; ++e) environment.emplace_back(*e);
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    std::vector<char*> envs;
    for (std::string& e : environment) envs.push_back(e.data());
    envs.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envs.data());
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : 0;
}

// Runs argv as spawnProgram starts it and waits for it: its exit status, -1 when it could not
// run or died.
inline int runProgram(const std::vector<std::string>& argv,
                      const std::vector<std::string>& extraEnvironment = {},
                      const std::string& folder = {}) {
    const pid_t pid = spawnProgram(argv, extraEnvironment, folder);
    if (pid == 0) return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace bench
