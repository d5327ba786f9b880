// The end-of-test checks: what was made since the baseline and not given back.
#include "vm.h"

namespace vm {

void markBaseline(Vm &vm) {
    std::lock_guard guard(vm.lock);
    vm.baseline = vm.serial;
}

jint checkSinceBaseline(Vm &vm) {
    std::vector<std::string> found;
    {
        std::lock_guard guard(vm.lock);
        for (const RefEntry &entry : vm.refs) {
            if (entry.serial <= vm.baseline || (entry.kind != RefKind::Global && entry.kind != RefKind::Weak))
                continue;
            found.push_back(std::string(entry.kind == RefKind::Global ? "global" : "weak global") + " reference to a " +
                            entry.object->klass->dottedName() + " made in " + entry.origin + " was never deleted");
        }
        for (const auto &[pointer, loan] : vm.loans) {
            if (loan.serial <= vm.baseline)
                continue;
            std::string source = loan.source != nullptr ? " of a " + loan.source->klass->dottedName() : "";
            if (loan.what == "JVMTI memory")
                found.push_back("tool-interface memory (" + std::to_string(loan.size) + " bytes) from " + loan.origin +
                                " was never deallocated");
            else if (loan.what == "management data")
                found.push_back("management data of attribute " + std::to_string(loan.attribute) + " got in " + loan.origin +
                                " was never freed");
            else
                found.push_back(loan.what + source + " in " + loan.origin + " was never released");
        }
        for (const auto &state : vm.jvmtiEnvs)
            if (state->serial > vm.baseline && !state->disposed)
                found.push_back("tool-interface environment got in " + state->origin + " was never disposed");
        for (const auto &[id, monitor] : vm.rawMonitors)
            if (monitor->serial > vm.baseline && !monitor->destroyed)
                found.push_back("raw monitor \"" + monitor->name + "\" created in " + monitor->origin +
                                " was never destroyed");
        vm.baseline = vm.serial;
    }
    for (const std::string &problem : found)
        report(problem);
    return static_cast<jint>(found.size());
}

} // namespace vm

extern "C" void vmhostMarkBaseline(JavaVM *javaVm) noexcept {
    if (vm::Vm *vm = vm::vmOf(javaVm))
        vm::markBaseline(*vm);
}

extern "C" jint vmhostCheck(JavaVM *javaVm) noexcept {
    vm::Vm *vm = vm::vmOf(javaVm);
    return vm != nullptr ? vm::checkSinceBaseline(*vm) : 0;
}
