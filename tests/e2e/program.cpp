#include "tests/e2e/program.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

extern char** environ;

static std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string Flavor() {
    std::string flavor = Variable("CODESHIFT_FLAVOR");
    return flavor.empty() ? "native" : flavor;
}

int RunProgram(const std::vector<std::string>& arguments, const std::string& folder) {
    std::vector<std::string> command;
    std::string launcher = Variable("CODESHIFT_LAUNCHER");
    if (!launcher.empty()) {
        command.push_back(launcher);
    }
    command.push_back(Variable("CODESHIFT_PROGRAM"));
    command.insert(command.end(), arguments.begin(), arguments.end());

    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "DISPLAY=", 8) != 0 && std::strncmp(*e, "WAYLAND_DISPLAY=", 16) != 0 &&
            std::strncmp(*e, "CODESHIFT_SHELL_TRACE=", 22) != 0) {
            environment.push_back(*e);
        }
    }
    environment.push_back("CODESHIFT_SHELL_TRACE=" + folder + "/shell.trace");

    std::vector<char*> argv;
    for (std::string& a : command) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : environment) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);

    // posix_spawn has no portable way to set the child's folder, so the child is forked.
    pid_t child = fork();
    if (child < 0) {
        return -1;
    }
    if (child == 0) {
        if (chdir(folder.c_str()) != 0) {
            _exit(126);
        }
        execve(argv[0], argv.data(), envp.data());
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
