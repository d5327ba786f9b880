// Native libraries and agents, loaded as the VM loads them, and natives found by their JNI names.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "vm.h"

namespace vm {
namespace {

std::string fileName(const std::string &path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// An export under its plain name or as the compiler decorates a __stdcall function.
void *findExport(HMODULE module, const std::string &name, int argumentBytes) {
    std::string bytes = "@" + std::to_string(argumentBytes);
    for (const std::string &candidate : {name, "_" + name + bytes, name + bytes})
        if (FARPROC found = GetProcAddress(module, candidate.c_str()))
            return reinterpret_cast<void *>(found);
    return nullptr;
}

// A library that failed to load takes the natives it registered with it.
void forgetNatives(Vm &vm, HMODULE module) {
    std::lock_guard guard(vm.lock);
    for (auto &[name, klass] : vm.classes) {
        for (auto &method : klass->methods) {
            HMODULE owner = nullptr;
            if (method->native != nullptr &&
                GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   static_cast<LPCSTR>(method->native), &owner) &&
                owner == module) {
                method->native = nullptr;
                method->registered = false;
            }
        }
    }
}

bool supportedVersion(jint version) {
    switch (version) {
    case JNI_VERSION_1_2: case JNI_VERSION_1_4: case JNI_VERSION_1_6: case JNI_VERSION_1_8:
    case JNI_VERSION_9: case JNI_VERSION_10:
        return true;
    default:
        return false;
    }
}

std::string hex(jint value) {
    char text[16];
    snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(value));
    return text;
}

} // namespace

jint loadLibrary(Vm &vm, JavaThread &thread, const std::string &path) {
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr) {
        throwNew(thread, "java/lang/UnsatisfiedLinkError", "Can't load library: " + path);
        return -1;
    }
    {
        std::lock_guard guard(vm.lock);
        for (const Library &library : vm.libraries) {
            if (library.module == module) {
                FreeLibrary(module);
                return 0;
            }
        }
    }
    if (void *onLoad = findExport(module, "JNI_OnLoad", 8)) {
        std::string what = "JNI_OnLoad of " + fileName(path);
        jint version;
        {
            Activity activity(thread, what);
            version = callStdcall(onLoad, {reinterpret_cast<std::uintptr_t>(&vm.javaVm), 0}, 'I', what).i;
        }
        if (thread.pendingException != nullptr) {
            forgetNatives(vm, module);
            FreeLibrary(module);
            return -1;
        }
        if (!supportedVersion(version)) {
            forgetNatives(vm, module);
            FreeLibrary(module);
            throwNew(thread, "java/lang/UnsatisfiedLinkError",
                     "unsupported JNI version " + hex(version) + " required by " + path);
            return -1;
        }
    }
    std::lock_guard guard(vm.lock);
    vm.libraries.push_back(Library{path, module, false});
    return 0;
}

jint loadAgent(Vm &vm, JavaThread &thread, const std::string &path, const char *options) {
    if (vm.phase != JVMTI_PHASE_ONLOAD) {
        report("agent " + path + " was loaded after the VM's start-up phase");
        return JNI_ERR;
    }
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr) {
        report("could not load agent library " + path + " (error " + std::to_string(GetLastError()) + ")");
        return JNI_ERR;
    }
    void *onLoad = findExport(module, "Agent_OnLoad", 12);
    if (onLoad == nullptr) {
        FreeLibrary(module);
        report("agent library " + path + " has no Agent_OnLoad");
        return JNI_ERR;
    }
    // The agent may keep the option text: it lives as long as the VM.
    char *text = nullptr;
    if (options != nullptr) {
        text = new char[strlen(options) + 1];
        strcpy(text, options);
        vm.releases.push_back([text] { delete[] text; });
    }
    {
        std::lock_guard guard(vm.lock);
        vm.libraries.push_back(Library{path, module, true});
    }
    std::string what = "Agent_OnLoad of " + fileName(path);
    Activity activity(thread, what);
    return callStdcall(onLoad,
                       {reinterpret_cast<std::uintptr_t>(&vm.javaVm), reinterpret_cast<std::uintptr_t>(text), 0}, 'I',
                       what)
        .i;
}

void *findNative(Vm &vm, Method &method) {
    std::vector<Library> libraries;
    {
        std::lock_guard guard(vm.lock);
        if (method.native != nullptr)
            return method.native;
        libraries = vm.libraries;
    }
    for (const std::string &name : {jniShortName(method), jniLongName(method)}) {
        for (const Library &library : libraries) {
            if (void *found = findExport(library.module, name, method.argumentBytes)) {
                std::lock_guard guard(vm.lock);
                method.native = found;
                method.registered = false;
                return found;
            }
        }
    }
    return nullptr;
}

void unloadLibraries(Vm &vm, JavaThread &thread) {
    std::vector<Library> libraries;
    {
        std::lock_guard guard(vm.lock);
        libraries = vm.libraries;
    }
    for (auto library = libraries.rbegin(); library != libraries.rend(); ++library) {
        const char *entry = library->agent ? "Agent_OnUnload" : "JNI_OnUnload";
        void *onUnload = findExport(library->module, entry, library->agent ? 4 : 8);
        if (onUnload == nullptr)
            continue;
        std::string what = std::string(entry) + " of " + fileName(library->path);
        Activity activity(thread, what);
        std::vector<std::uint32_t> words{reinterpret_cast<std::uintptr_t>(&vm.javaVm)};
        if (!library->agent)
            words.push_back(0);
        callStdcall(onUnload, words, 'V', what);
        if (Object *pending = takeException(thread))
            report(what + " left an exception pending: " + describe(pending));
    }
}

void freeLibraries(Vm &vm) {
    for (auto library = vm.libraries.rbegin(); library != vm.libraries.rend(); ++library)
        FreeLibrary(library->module);
    vm.libraries.clear();
}

} // namespace vm
