// The java.lang, java.nio and reflection classes the natives and the VM use.
#include "classlib.h"

namespace vm {

void defineLangClasses(Vm &vm) {
    // Object and Class come first; every class object is an instance of Class.
    vm.objectClass = define(vm, "java/lang/Object", nullptr).klass;
    vm.classClass = define(vm, "java/lang/Class", "java/lang/Object", ACC_PUBLIC | 0x10).klass;
    vm.objectClass->klass = vm.classClass;
    vm.classClass->klass = vm.classClass;

    Body nothing = [](Call &) { return jvalue{}; };
    ClassBuilder{vm, vm.objectClass}
        .method("<init>", "()V", nothing)
        .method("getClass", "()Ljava/lang/Class;", [](Call &call) { return objectValue(call.self->klass); });
    ClassBuilder{vm, vm.classClass}.method("getName", "()Ljava/lang/String;", [&vm](Call &call) {
        return objectValue(newStringUtf(vm, static_cast<Class *>(call.self)->dottedName()));
    });
    defineInterface(vm, "java/lang/Cloneable");
    defineInterface(vm, "java/io/Serializable");
    vm.stringClass = define(vm, "java/lang/String", "java/lang/Object", ACC_PUBLIC | 0x10)
                         .implements("java/io/Serializable")
                         .method("length", "()I",
                                 [](Call &call) {
                                     return intValue(static_cast<jint>(static_cast<StringObject *>(call.self)->chars.size()));
                                 })
                         .klass;

    vm.threadClass =
        define(vm, "java/lang/Thread", "java/lang/Object")
            .field("name", "Ljava/lang/String;")
            .field("tid", "J")
            .field("priority", "I")
            .field("daemon", "Z")
            .method("<init>", "(Ljava/lang/String;)V",
                    [&vm](Call &call) {
                        initThreadObject(vm, call.self, "", false);
                        setObjectField(vm, call.self, "name", call.object(0));
                        return jvalue{};
                    })
            .method("<init>", "()V",
                    [&vm](Call &call) {
                        initThreadObject(vm, call.self, "", false);
                        return jvalue{};
                    })
            .method("getName", "()Ljava/lang/String;",
                    [&vm](Call &call) { return objectValue(getObjectField(vm, call.self, "name")); })
            .method("getId", "()J", [&vm](Call &call) { return getField(vm, call.self, "tid"); })
            .staticMethod("currentThread", "()Ljava/lang/Thread;",
                          [](Call &call) { return objectValue(call.thread.threadObject); })
            .klass;

    vm.throwableClass = define(vm, "java/lang/Throwable", "java/lang/Object")
                            .implements("java/io/Serializable")
                            .field("detailMessage", "Ljava/lang/String;")
                            .method("<init>", "()V", nothing)
                            .method("<init>", "(Ljava/lang/String;)V",
                                    [&vm](Call &call) {
                                        setObjectField(vm, call.self, "detailMessage", call.object(0));
                                        return jvalue{};
                                    })
                            .method("getMessage", "()Ljava/lang/String;",
                                    [&vm](Call &call) {
                                        return objectValue(getObjectField(vm, call.self, "detailMessage"));
                                    })
                            .klass;
    const char *throwables[][2] = {
        {"java/lang/Exception", "java/lang/Throwable"},
        {"java/lang/Error", "java/lang/Throwable"},
        {"java/lang/RuntimeException", "java/lang/Exception"},
        {"java/lang/ReflectiveOperationException", "java/lang/Exception"},
        {"java/lang/InstantiationException", "java/lang/ReflectiveOperationException"},
        {"java/lang/IllegalArgumentException", "java/lang/RuntimeException"},
        {"java/lang/IllegalStateException", "java/lang/RuntimeException"},
        {"java/lang/NullPointerException", "java/lang/RuntimeException"},
        {"java/lang/ClassCastException", "java/lang/RuntimeException"},
        {"java/lang/ArrayStoreException", "java/lang/RuntimeException"},
        {"java/lang/NegativeArraySizeException", "java/lang/RuntimeException"},
        {"java/lang/IndexOutOfBoundsException", "java/lang/RuntimeException"},
        {"java/lang/ArrayIndexOutOfBoundsException", "java/lang/IndexOutOfBoundsException"},
        {"java/lang/StringIndexOutOfBoundsException", "java/lang/IndexOutOfBoundsException"},
        {"java/lang/LinkageError", "java/lang/Error"},
        {"java/lang/NoClassDefFoundError", "java/lang/LinkageError"},
        {"java/lang/UnsatisfiedLinkError", "java/lang/LinkageError"},
        {"java/lang/ClassFormatError", "java/lang/LinkageError"},
        {"java/lang/IncompatibleClassChangeError", "java/lang/LinkageError"},
        {"java/lang/NoSuchMethodError", "java/lang/IncompatibleClassChangeError"},
        {"java/lang/NoSuchFieldError", "java/lang/IncompatibleClassChangeError"},
        {"java/lang/AbstractMethodError", "java/lang/IncompatibleClassChangeError"},
        {"java/lang/VirtualMachineError", "java/lang/Error"},
        {"java/lang/OutOfMemoryError", "java/lang/VirtualMachineError"},
    };
    for (auto &pair : throwables)
        defineThrowable(vm, pair[0], pair[1]);

    define(vm, "java/lang/Number", "java/lang/Object", ACC_PUBLIC | ACC_ABSTRACT).method("<init>", "()V", nothing);
    define(vm, "java/lang/Integer", "java/lang/Number").recordConstructor("(I)V", {"value"});
    define(vm, "java/lang/Long", "java/lang/Number").recordConstructor("(J)V", {"value"});
    define(vm, "java/lang/Double", "java/lang/Number").recordConstructor("(D)V", {"value"});
    define(vm, "java/lang/Boolean", "java/lang/Object").recordConstructor("(Z)V", {"value"});

    define(vm, "java/lang/ClassLoader", "java/lang/Object").method("<init>", "()V", nothing);
    define(vm, "java/lang/System", "java/lang/Object")
        .staticMethod("load", "(Ljava/lang/String;)V", [&vm](Call &call) {
            loadLibrary(vm, call.thread, stringUtf(call.object(0)));
            return jvalue{};
        });

    define(vm, "java/nio/Buffer", "java/lang/Object", ACC_PUBLIC | ACC_ABSTRACT);
    define(vm, "java/nio/ByteBuffer", "java/nio/Buffer", ACC_PUBLIC | ACC_ABSTRACT);
    vm.bufferClass = define(vm, "java/nio/DirectByteBuffer", "java/nio/ByteBuffer", 0x10)
                         .method("capacity", "()I",
                                 [](Call &call) {
                                     return intValue(static_cast<jint>(static_cast<BufferObject *>(call.self)->capacity));
                                 })
                         .klass;

    define(vm, "java/lang/reflect/AccessibleObject", "java/lang/Object");
    define(vm, "java/lang/reflect/Executable", "java/lang/reflect/AccessibleObject", ACC_PUBLIC | ACC_ABSTRACT);
    vm.methodClass = define(vm, "java/lang/reflect/Method", "java/lang/reflect/Executable", ACC_PUBLIC | 0x10).klass;
    vm.constructorClass =
        define(vm, "java/lang/reflect/Constructor", "java/lang/reflect/Executable", ACC_PUBLIC | 0x10).klass;
}

} // namespace vm
