// JNI references: a handle is an index into the VM's reference table and a generation byte, so
// that a deleted reference is recognised when it comes back. Freed slots are reused only after
// thousands of others, which keeps stale handles detectable.
#include <algorithm>

#include "vm.h"

namespace vm {
namespace {

constexpr size_t reuseAfter = 4096;
constexpr std::uint32_t maxIndex = 0xFFFFFF;

jobject encode(std::uint32_t index, unsigned char generation) {
    return reinterpret_cast<jobject>(static_cast<uintptr_t>(index) << 8 | generation);
}

const char *kindName(RefKind kind) {
    switch (kind) {
    case RefKind::Local: return "local";
    case RefKind::Global: return "global";
    case RefKind::Weak: return "weak global";
    default: return "deleted";
    }
}

// The entry of a handle, or null (reported) when the handle is not a live reference.
RefEntry *entryOf(Vm &vm, jobject ref, const char *function) {
    auto value = reinterpret_cast<uintptr_t>(ref);
    std::uint32_t index = static_cast<std::uint32_t>(value >> 8);
    if (index == 0 || index >= vm.refs.size() || vm.refs[index].kind == RefKind::Free ||
        vm.refs[index].generation != static_cast<unsigned char>(value & 0xFF)) {
        report(std::string(function) + ": use of a deleted or invalid reference");
        return nullptr;
    }
    return &vm.refs[index];
}

} // namespace

jobject newRef(Vm &vm, JavaThread &thread, Object *object, RefKind kind) {
    if (object == nullptr)
        return nullptr;
    std::lock_guard guard(vm.lock);
    if (kind == RefKind::Local && thread.localFrames.empty()) {
        report("a local reference was made on thread \"" + thread.name + "\", which has no local frame");
        return nullptr;
    }
    std::uint32_t index;
    if (vm.freeRefs.size() > reuseAfter) {
        index = vm.freeRefs.front();
        vm.freeRefs.pop_front();
    } else {
        if (vm.refs.size() > maxIndex) {
            report("the reference table is full");
            return nullptr;
        }
        index = static_cast<std::uint32_t>(vm.refs.size());
        vm.refs.emplace_back();
    }
    RefEntry &entry = vm.refs[index];
    entry.object = object;
    entry.kind = kind;
    entry.owner = kind == RefKind::Local ? &thread : nullptr;
    entry.serial = ++vm.serial;
    entry.origin = kind == RefKind::Local ? std::string() : where(thread);
    if (kind == RefKind::Local)
        thread.localFrames.back().refs.push_back(index);
    return encode(index, entry.generation);
}

Object *resolve(Vm &vm, JavaThread &thread, jobject ref, const char *function, bool *valid) {
    if (valid != nullptr)
        *valid = true;
    if (ref == nullptr)
        return nullptr;
    std::lock_guard guard(vm.lock);
    RefEntry *entry = entryOf(vm, ref, function);
    if (entry == nullptr) {
        if (valid != nullptr)
            *valid = false;
        return nullptr;
    }
    if (entry->kind == RefKind::Local && entry->owner != &thread)
        report(std::string(function) + ": a local reference of thread \"" + entry->owner->name +
               "\" was used on thread \"" + thread.name + "\"");
    return entry->object;
}

bool deleteRef(Vm &vm, JavaThread &thread, jobject ref, RefKind kind, const char *function) {
    if (ref == nullptr)
        return true;
    std::lock_guard guard(vm.lock);
    RefEntry *entry = entryOf(vm, ref, function);
    if (entry == nullptr)
        return false;
    if (entry->kind != kind) {
        report(std::string(function) + ": the reference is a " + kindName(entry->kind) + " reference, not a " +
               kindName(kind) + " one");
        return false;
    }
    std::uint32_t index = static_cast<std::uint32_t>(reinterpret_cast<uintptr_t>(ref) >> 8);
    if (kind == RefKind::Local) {
        if (entry->owner != &thread) {
            report(std::string(function) + ": a local reference of thread \"" + entry->owner->name +
                   "\" was deleted on thread \"" + thread.name + "\"");
            return false;
        }
        for (auto frame = thread.localFrames.rbegin(); frame != thread.localFrames.rend(); ++frame) {
            auto found = std::find(frame->refs.begin(), frame->refs.end(), index);
            if (found != frame->refs.end()) {
                frame->refs.erase(found);
                break;
            }
        }
    }
    entry->object = nullptr;
    entry->kind = RefKind::Free;
    entry->owner = nullptr;
    entry->origin.clear();
    ++entry->generation;
    vm.freeRefs.push_back(index);
    return true;
}

void pushLocalFrame(Vm &vm, JavaThread &thread, Method *native) {
    std::lock_guard guard(vm.lock);
    thread.localFrames.emplace_back();
    thread.localFrames.back().native = native;
}

void popLocalFrame(Vm &vm, JavaThread &thread) {
    std::lock_guard guard(vm.lock);
    if (thread.localFrames.empty())
        return;
    for (std::uint32_t index : thread.localFrames.back().refs) {
        RefEntry &entry = vm.refs[index];
        entry.object = nullptr;
        entry.kind = RefKind::Free;
        entry.owner = nullptr;
        ++entry.generation;
        vm.freeRefs.push_back(index);
    }
    thread.localFrames.pop_back();
}

} // namespace vm
