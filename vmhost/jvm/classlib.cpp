#include "classlib.h"

#include <cstdio>

namespace vm {

ClassBuilder define(Vm &vm, const char *name, const char *superName, jint modifiers) {
    Class *klass = defineClass(vm, name, superName != nullptr ? superName : "", modifiers);
    if (klass == nullptr)
        report(std::string("the VM could not define its class ") + name);
    return ClassBuilder{vm, klass};
}

ClassBuilder defineInterface(Vm &vm, const char *name) {
    return define(vm, name, "java/lang/Object", ACC_PUBLIC | ACC_INTERFACE | ACC_ABSTRACT);
}

void defineThrowable(Vm &vm, const char *name, const char *superName) {
    Body noMessage = [](Call &) { return jvalue{}; };
    Body withMessage = [&vm](Call &call) {
        setObjectField(vm, call.self, "detailMessage", call.object(0));
        return jvalue{};
    };
    define(vm, name, superName).method("<init>", "()V", noMessage).method("<init>", "(Ljava/lang/String;)V", withMessage);
}

ClassBuilder &ClassBuilder::field(const char *name, const char *signature, jint modifiers) {
    if (addField(vm, klass, name, signature, modifiers) == nullptr)
        report(std::string("the VM could not add the field ") + name + " " + signature);
    return *this;
}

ClassBuilder &ClassBuilder::method(const char *name, const char *signature, Body body, jint modifiers) {
    if (addMethod(vm, klass, name, signature, modifiers, std::move(body)) == nullptr)
        report(std::string("the VM could not add the method ") + name + signature);
    return *this;
}

ClassBuilder &ClassBuilder::staticMethod(const char *name, const char *signature, Body body) {
    return method(name, signature, std::move(body), ACC_PUBLIC | ACC_STATIC);
}

ClassBuilder &ClassBuilder::native(const char *name, const char *signature, jint modifiers) {
    return method(name, signature, nullptr, modifiers | ACC_NATIVE);
}

ClassBuilder &ClassBuilder::implements(const char *interfaceName) {
    Class *found = findClass(vm, interfaceName);
    if (found == nullptr || !found->isInterface())
        report(std::string("the VM has no interface ") + interfaceName);
    else
        klass->interfaces.push_back(found);
    return *this;
}

ClassBuilder &ClassBuilder::recordConstructor(const char *signature, std::initializer_list<const char *> fields) {
    std::vector<std::string> parameters;
    std::string result;
    parseMethodSignature(signature, parameters, result);
    std::vector<const Field *> targets;
    size_t i = 0;
    for (const char *name : fields) {
        field(name, parameters.at(i++).c_str());
        targets.push_back(klass->fields.back().get());
    }
    Vm *machine = &vm;
    return method("<init>", signature, [machine, targets](Call &call) {
        for (size_t k = 0; k < targets.size(); ++k)
            setFieldValue(*machine, call.self, targets[k], call.args[k]);
        return jvalue{};
    });
}

ClassBuilder &ClassBuilder::logged(const char *name, const char *signature) {
    return method(name, signature, [](Call &call) {
        logCall(call);
        return jvalue{};
    });
}

std::string render(const std::string &type, jvalue value) {
    char text[64];
    switch (type[0]) {
    case 'Z': return value.z ? "true" : "false";
    case 'B': return std::to_string(value.b);
    case 'C': return std::to_string(value.c);
    case 'S': return std::to_string(value.s);
    case 'I': return std::to_string(value.i);
    case 'J': return std::to_string(value.j);
    case 'F':
        snprintf(text, sizeof text, "%g", static_cast<double>(value.f));
        return text;
    case 'D':
        snprintf(text, sizeof text, "%g", value.d);
        return text;
    default: break;
    }
    auto *object = reinterpret_cast<Object *>(value.l);
    if (object == nullptr)
        return "null";
    switch (object->kind) {
    case Kind::String: return stringUtf(object);
    case Kind::Class: return static_cast<Class *>(object)->dottedName();
    case Kind::Array: {
        auto *array = static_cast<ArrayObject *>(object);
        if (array->elementType != 'L')
            return array->klass->name + "(" + std::to_string(array->length) + ")";
        std::string out = "[";
        for (jsize i = 0; i < array->length; ++i)
            out += (i > 0 ? ", " : "") + render("L", objectValue(array->refs[i]));
        return out + "]";
    }
    case Kind::Reflected: return static_cast<ReflectedObject *>(object)->method->displayName();
    default: return object->klass->dottedName();
    }
}

std::string callText(Call &call) {
    std::string text = call.method.owner->dottedName() + "." + call.method.name + "(";
    for (size_t i = 0; i < call.method.parameters.size(); ++i)
        text += (i > 0 ? ", " : "") + render(call.method.parameters[i], call.args[i]);
    return text + ")";
}

void logCall(Call &call) { callLog(callText(call)); }

} // namespace vm
