// The runtime's Java classes whose natives the utility library provides: log modules, the process
// and the timing classes.
#include "classlib.h"

namespace vm {

void defineUtilityClasses(Vm &vm) {
    define(vm, "melnor/vantrel/log/NativeLogModule", "java/lang/Object")
        .recordConstructor("(J[Ljava/lang/String;Ljava/nio/ByteBuffer;Ljava/nio/ByteBuffer;II)V",
                           {"handle", "names", "level", "sanity", "defaultLevel", "defaultSanity"})
        .native("initIDs", "()V", ACC_PUBLIC | ACC_STATIC)
        .native("getModuleNames0", "()[Ljava/lang/String;", ACC_PUBLIC | ACC_STATIC)
        .native("getModule0", "(Ljava/lang/String;)Lmelnor/vantrel/log/NativeLogModule;", ACC_PUBLIC | ACC_STATIC)
        .native("output", "(JILjava/lang/String;)V", ACC_PUBLIC | ACC_STATIC);
    define(vm, "melnor/vantrel/os/Process", "java/lang/Object").native("getpid", "()I", ACC_PUBLIC | ACC_STATIC);
    define(vm, "melnor/vantrel/os/Timing", "java/lang/Object")
        .native("init", "()J", ACC_PUBLIC | ACC_STATIC)
        .native("counterTime", "()J", ACC_PUBLIC | ACC_STATIC);
}

} // namespace vm
