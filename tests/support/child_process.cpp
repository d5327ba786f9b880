#include "child_process.h"

#include <windows.h>

#include <map>
#include <stdexcept>
#include <thread>

#include "test_paths.h"

namespace {

std::map<std::string, ScenarioFunction> &scenarios() {
    static std::map<std::string, ScenarioFunction> registry;
    return registry;
}

std::string quote(const std::string &argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos)
        return argument;
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"')
            quoted.append(backslashes * 2 + 1, '\\');
        else
            quoted.append(backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

void drain(HANDLE pipe, std::string &into) {
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0)
        into.append(buffer, got);
}

} // namespace

ScenarioRegistrar::ScenarioRegistrar(const char *name, ScenarioFunction function) {
    scenarios()[name] = function;
}

int runScenarioFromCommandLine(int argc, char **argv) {
    if (argc < 3 || std::string(argv[1]) != "--child")
        return -1;
    auto found = scenarios().find(argv[2]);
    if (found == scenarios().end())
        return 99;
    return found->second(argc - 3, argv + 3);
}

ChildResult runProgram(const std::string &program, const std::vector<std::string> &arguments) {
    std::string commandLine = quote(program);
    for (const std::string &argument : arguments)
        commandLine += " " + quote(argument);

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE outRead, outWrite, errRead, errWrite;
    if (!CreatePipe(&outRead, &outWrite, &inherit, 0) || !CreatePipe(&errRead, &errWrite, &inherit, 0))
        throw std::runtime_error("CreatePipe failed");
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION process{};
    std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back('\0');
    BOOL started = CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                  &startup, &process);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    if (!started) {
        CloseHandle(outRead);
        CloseHandle(errRead);
        throw std::runtime_error("CreateProcess failed for " + commandLine);
    }
    ChildResult result;
    std::thread errReader([&] { drain(errRead, result.err); });
    drain(outRead, result.out);
    errReader.join();
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    CloseHandle(outRead);
    CloseHandle(errRead);
    return result;
}

ChildResult runScenario(const std::string &scenario, const std::vector<std::string> &arguments) {
    std::vector<std::string> all{"--child", scenario};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return runProgram(thisProgramPath(), all);
}
