// Method invocation: played bodies directly, natives through a typed call whose argument words
// come from the method's signature, checked afterwards for a callee that popped another amount
// of stack than the signature gives (a prototype that does not match its registration).
#include <cstring>

#include "vm.h"

// Argument words are 32 bits: the types a native receives must be as wide as they are here.
static_assert(sizeof(void *) == 4 && sizeof(jint) == 4 && sizeof(jlong) == 8 && sizeof(jfloat) == 4 &&
              sizeof(jdouble) == 8 && sizeof(jbyte) == 1 && static_cast<jbyte>(-1) < 0);

namespace vm {

struct NativeResult {
    std::uint32_t eax;
    std::uint32_t edx;
    double x87;
};

} // namespace vm

// int vmhostInvokeStdcall(function, words, count, result, x87): copies the words onto a 16-byte
// aligned stack, calls, stores eax, edx and (x87 non-zero: float or double result) st(0), and
// answers how many bytes the callee popped beyond (positive) or short of (negative) the words.
extern "C" int vmhostInvokeStdcall(const void *function, const std::uint32_t *words, std::uint32_t count,
                                   vm::NativeResult *result, int x87);
asm(R"(
    .text
    .globl _vmhostInvokeStdcall
    .def _vmhostInvokeStdcall; .scl 2; .type 32; .endef
_vmhostInvokeStdcall:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl 16(%ebp), %ecx
    movl 12(%ebp), %esi
    movl %esp, %edi
    leal (,%ecx,4), %eax
    subl %eax, %esp
    andl $-16, %esp
    movl %esp, %ebx
    addl %eax, %ebx
    xorl %edx, %edx
1:  cmpl %ecx, %edx
    jae 2f
    movl (%esi,%edx,4), %eax
    movl %eax, (%esp,%edx,4)
    incl %edx
    jmp 1b
2:  call *8(%ebp)
    movl 20(%ebp), %ecx
    movl %eax, (%ecx)
    movl %edx, 4(%ecx)
    movl 24(%ebp), %eax
    testl %eax, %eax
    jz 4f
    fstpl 8(%ecx)
4:  movl %esp, %eax
    subl %ebx, %eax
    movl %edi, %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");

namespace vm {

jvalue objectValue(Object *object) {
    jvalue value{};
    value.l = reinterpret_cast<jobject>(object);
    return value;
}

jvalue callStdcall(const void *function, const std::vector<std::uint32_t> &words, char resultKind,
                   const std::string &what) {
    NativeResult raw{};
    int x87 = resultKind == 'F' ? 1 : resultKind == 'D' ? 2 : 0;
    int imbalance = vmhostInvokeStdcall(function, words.data(), static_cast<std::uint32_t>(words.size()), &raw, x87);
    if (imbalance != 0) {
        int expected = static_cast<int>(words.size() * 4);
        report(what + " took " + std::to_string(expected + imbalance) + " bytes of arguments off the stack instead of " +
               std::to_string(expected) + ": its C prototype or calling convention does not match");
    }
    jvalue value{};
    switch (resultKind) {
    case 'J':
        value.j = static_cast<jlong>((static_cast<std::uint64_t>(raw.edx) << 32) | raw.eax);
        break;
    case 'F': {
        float f = static_cast<float>(raw.x87);
        memcpy(&value.f, &f, sizeof f);
        break;
    }
    case 'D':
        value.d = raw.x87;
        break;
    case 'V':
        break;
    default:
        value.i = static_cast<jint>(raw.eax);
        break;
    }
    return value;
}

namespace {

std::string hex4(unsigned value) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (int shift = 12; shift >= 0; shift -= 4)
        out += digits[(value >> shift) & 0xF];
    return out;
}

std::string mangle(const std::string &text) {
    std::string out;
    for (char16_t c : decodeModifiedUtf8(text.c_str())) {
        if (c == '/')
            out += '_';
        else if (c == '_')
            out += "_1";
        else if (c == ';')
            out += "_2";
        else if (c == '[')
            out += "_3";
        else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
            out += static_cast<char>(c);
        else
            out += "_0" + hex4(c);
    }
    return out;
}

jvalue invokeNative(Vm &vm, JavaThread &thread, Method &method, Object *self, const jvalue *args) {
    void *function = findNative(vm, method);
    if (function == nullptr) {
        throwNew(thread, "java/lang/UnsatisfiedLinkError", method.displayName());
        return jvalue{};
    }
    size_t depth;
    int criticalDepth;
    {
        std::lock_guard guard(vm.lock);
        depth = thread.localFrames.size();
        criticalDepth = thread.criticalDepth;
    }
    pushLocalFrame(vm, thread, &method);
    std::vector<std::uint32_t> words;
    words.push_back(reinterpret_cast<std::uintptr_t>(&thread.jni.env));
    Object *receiver = method.isStatic() ? method.owner : self;
    words.push_back(reinterpret_cast<std::uintptr_t>(newRef(vm, thread, receiver, RefKind::Local)));
    for (size_t i = 0; i < method.parameters.size(); ++i) {
        const jvalue &arg = args[i];
        switch (method.parameters[i][0]) {
        case 'Z': words.push_back(arg.z); break;
        case 'B': words.push_back(static_cast<std::uint32_t>(static_cast<jint>(arg.b))); break;
        case 'C': words.push_back(arg.c); break;
        case 'S': words.push_back(static_cast<std::uint32_t>(static_cast<jint>(arg.s))); break;
        case 'I': words.push_back(static_cast<std::uint32_t>(arg.i)); break;
        case 'F': {
            std::uint32_t bits;
            memcpy(&bits, &arg.f, sizeof bits);
            words.push_back(bits);
            break;
        }
        case 'J':
        case 'D': {
            std::uint64_t bits;
            memcpy(&bits, &arg.j, sizeof bits);
            words.push_back(static_cast<std::uint32_t>(bits));
            words.push_back(static_cast<std::uint32_t>(bits >> 32));
            break;
        }
        default:
            words.push_back(reinterpret_cast<std::uintptr_t>(
                newRef(vm, thread, reinterpret_cast<Object *>(arg.l), RefKind::Local)));
            break;
        }
    }
    char resultKind = method.result[0];
    char callKind = resultKind == 'J' || resultKind == 'F' || resultKind == 'D' || resultKind == 'V' ? resultKind : 'I';
    std::string what = "native " + method.displayName();
    jvalue raw = callStdcall(function, words, callKind, what);

    jvalue result{};
    switch (resultKind) {
    case 'Z': result.z = static_cast<jboolean>(raw.i & 0xFF); break;
    case 'B': result.b = static_cast<jbyte>(raw.i & 0xFF); break;
    case 'C': result.c = static_cast<jchar>(raw.i & 0xFFFF); break;
    case 'S': result.s = static_cast<jshort>(raw.i & 0xFFFF); break;
    case 'L':
    case '[': {
        Object *object = resolve(vm, thread, raw.l, what.c_str());
        if (!fitsDescriptor(vm, object, method.result))
            report(what + " returned a " + object->klass->dottedName());
        result = objectValue(object);
        break;
    }
    default: result = raw; break;
    }

    std::lock_guard guard(vm.lock);
    if (thread.criticalDepth > criticalDepth) {
        report(what + " returned inside a critical region (GetPrimitiveArrayCritical or GetStringCritical without "
                      "its release)");
        thread.criticalDepth = criticalDepth;
    }
    if (thread.localFrames.size() > depth + 1)
        report(what + " returned without popping " + std::to_string(thread.localFrames.size() - depth - 1) +
               " local frame(s) (PushLocalFrame without PopLocalFrame)");
    while (thread.localFrames.size() > depth)
        popLocalFrame(vm, thread);
    return result;
}

} // namespace

std::string jniShortName(const Method &method) {
    return "Java_" + mangle(method.owner->name) + "_" + mangle(method.name);
}

std::string jniLongName(const Method &method) {
    std::string parameters = method.signature.substr(1, method.signature.find(')') - 1);
    return jniShortName(method) + "__" + mangle(parameters);
}

jvalue invoke(JavaThread &thread, Method *method, Object *self, const jvalue *args) {
    Vm &vm = *currentVm();
    {
        std::lock_guard guard(vm.lock);
        thread.frames.push_back(Frame{method, method->isNative() ? -1 : 0});
    }
    jvalue result{};
    if (method->isNative()) {
        result = invokeNative(vm, thread, *method, self, args);
    } else if (method->body) {
        Call call{thread, *method, self, args};
        result = method->body(call);
    } else {
        throwNew(thread, "java/lang/AbstractMethodError", method->displayName());
    }
    std::lock_guard guard(vm.lock);
    thread.frames.pop_back();
    thread.lastResult = result;
    if (thread.pendingException != nullptr)
        result = jvalue{};
    return result;
}

jvalue callMethod(JavaThread &thread, Object *self, const char *name, const char *signature,
                  std::initializer_list<jvalue> args) {
    Method *method = self != nullptr ? findMethod(self->klass, name, signature, false) : nullptr;
    if (method == nullptr) {
        throwNew(thread, self == nullptr ? "java/lang/NullPointerException" : "java/lang/NoSuchMethodError",
                 std::string(name) + signature);
        return jvalue{};
    }
    return invoke(thread, findOverride(self->klass, method), self, args.begin());
}

jvalue callStatic(JavaThread &thread, const char *className, const char *name, const char *signature,
                  std::initializer_list<jvalue> args) {
    Class *klass = findClass(*currentVm(), className);
    Method *method = klass != nullptr ? findMethod(klass, name, signature, true) : nullptr;
    if (method == nullptr) {
        throwNew(thread, "java/lang/NoSuchMethodError", std::string(className) + "." + name + signature);
        return jvalue{};
    }
    return invoke(thread, method, nullptr, args.begin());
}

Object *newObject(JavaThread &thread, const char *className, const char *signature, std::initializer_list<jvalue> args) {
    Vm &vm = *currentVm();
    Class *klass = findClass(vm, className);
    Method *constructor = klass != nullptr ? findMethod(klass, "<init>", signature, false) : nullptr;
    if (constructor == nullptr) {
        report(std::string("the VM has no constructor ") + className + "." + signature);
        return nullptr;
    }
    Object *object = allocate<Object>(vm, klass);
    invoke(thread, constructor, object, args.begin());
    return object;
}

} // namespace vm
