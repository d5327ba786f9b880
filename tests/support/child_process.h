// Runs programs, this test program among them, as child processes and collects what they print.
#ifndef TEST_SUPPORT_CHILD_PROCESS_H
#define TEST_SUPPORT_CHILD_PROCESS_H

#include <string>
#include <vector>

struct ChildResult {
    unsigned long exitCode = 0;
    std::string out;
    std::string err;
};

// Runs a scenario registered with CHILD_SCENARIO in a new process of this test program.
ChildResult runScenario(const std::string &scenario, const std::vector<std::string> &arguments = {});
// Runs a program; arguments are quoted as needed.
ChildResult runProgram(const std::string &program, const std::vector<std::string> &arguments = {});

using ScenarioFunction = int (*)(int argc, char **argv);

struct ScenarioRegistrar {
    ScenarioRegistrar(const char *name, ScenarioFunction function);
};

// A scenario runs in a child process started by runScenario; its result is the exit code.
#define CHILD_SCENARIO(name)                                                                       \
    static int name##_scenario(int argc, char **argv);                                            \
    static ScenarioRegistrar name##_registrar(#name, name##_scenario);                            \
    static int name##_scenario([[maybe_unused]] int argc, [[maybe_unused]] char **argv)

// Runs the scenario named on the command line, if any; returns -1 when there is none.
int runScenarioFromCommandLine(int argc, char **argv);

// The exit code of a process that ended by abort().
constexpr unsigned long abortExitCode = 3;

#endif
