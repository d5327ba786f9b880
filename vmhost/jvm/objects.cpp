// Classes, members, strings and arrays of the VM's object model.
#include <algorithm>

#include "vm.h"

namespace vm {
namespace {

// Length of the field descriptor starting at `at`, or 0 when there is none.
size_t descriptorLength(const std::string &text, size_t at) {
    size_t i = at;
    while (i < text.size() && text[i] == '[')
        ++i;
    if (i - at > 255 || i >= text.size())
        return 0;
    switch (text[i]) {
    case 'Z': case 'B': case 'C': case 'S': case 'I': case 'J': case 'F': case 'D':
        return i + 1 - at;
    case 'L': {
        size_t end = text.find(';', i);
        if (end == std::string::npos || end == i + 1 || text[end - 1] == '/')
            return 0;
        for (size_t k = i + 1; k < end; ++k)
            if (text[k] == '.' || text[k] == '[' || (text[k] == '/' && (k == i + 1 || text[k - 1] == '/')))
                return 0;
        return end + 1 - at;
    }
    default:
        return 0;
    }
}

} // namespace

std::string Class::dottedName() const {
    std::string out = name;
    std::replace(out.begin(), out.end(), '/', '.');
    return out;
}

std::string Class::signature() const { return isArray() ? name : "L" + name + ";"; }

std::string Method::displayName() const { return owner->dottedName() + "." + name + signature; }

bool isFieldDescriptor(const std::string &descriptor) {
    return !descriptor.empty() && descriptorLength(descriptor, 0) == descriptor.size();
}

bool parseMethodSignature(const std::string &signature, std::vector<std::string> &parameters, std::string &result) {
    parameters.clear();
    if (signature.empty() || signature[0] != '(')
        return false;
    size_t i = 1;
    while (i < signature.size() && signature[i] != ')') {
        size_t n = descriptorLength(signature, i);
        if (n == 0)
            return false;
        parameters.push_back(signature.substr(i, n));
        i += n;
    }
    if (i >= signature.size())
        return false;
    result = signature.substr(i + 1);
    return result == "V" || isFieldDescriptor(result);
}

Class *defineClass(Vm &vm, const std::string &name, const std::string &superName, jint modifiers) {
    std::lock_guard guard(vm.lock);
    if (vm.classes.count(name) != 0)
        return nullptr;
    Class *super = nullptr;
    if (!superName.empty()) {
        super = findClass(vm, superName);
        if (super == nullptr || super->isInterface())
            return nullptr;
    }
    Class *klass = allocate<Class>(vm, vm.classClass);
    klass->kind = Kind::Class;
    klass->name = name;
    klass->super = super;
    klass->modifiers = modifiers;
    // A class of the VM's own has no class file; the tool interface sees a minimal one.
    klass->bytes = {0xCA, 0xFE, 0xBA, 0xBE, 0x00, 0x00, 0x00, 0x34};
    vm.classes[name] = klass;
    return klass;
}

Class *findClass(Vm &vm, const std::string &name) {
    std::lock_guard guard(vm.lock);
    auto found = vm.classes.find(name);
    if (found != vm.classes.end())
        return found->second;
    if (name.size() < 2 || name[0] != '[' || !isFieldDescriptor(name))
        return nullptr;
    // Array classes come into being when first named.
    std::string componentDescriptor = name.substr(1);
    Class *component = nullptr;
    if (componentDescriptor[0] == 'L') {
        component = findClass(vm, componentDescriptor.substr(1, componentDescriptor.size() - 2));
        if (component == nullptr)
            return nullptr;
    } else if (componentDescriptor[0] == '[') {
        component = findClass(vm, componentDescriptor);
        if (component == nullptr)
            return nullptr;
    }
    Class *klass = allocate<Class>(vm, vm.classClass);
    klass->kind = Kind::Class;
    klass->name = name;
    klass->super = vm.objectClass;
    klass->component = component;
    klass->modifiers = ACC_PUBLIC | ACC_ABSTRACT | 0x10;
    klass->loader = component != nullptr ? component->loader : nullptr;
    vm.classes[name] = klass;
    return klass;
}

Field *addField(Vm &vm, Class *klass, const std::string &name, const std::string &signature, jint modifiers) {
    if (!isFieldDescriptor(signature) || name.empty())
        return nullptr;
    std::lock_guard guard(vm.lock);
    for (auto &field : klass->fields)
        if (field->name == name && field->signature == signature)
            return nullptr;
    auto field = std::make_unique<Field>();
    field->owner = klass;
    field->name = name;
    field->signature = signature;
    field->modifiers = modifiers;
    Field *raw = field.get();
    klass->fields.push_back(std::move(field));
    vm.fieldIds.insert(raw);
    return raw;
}

Method *addMethod(Vm &vm, Class *klass, const std::string &name, const std::string &signature, jint modifiers,
                  Body body) {
    auto method = std::make_unique<Method>();
    if (name.empty() || !parseMethodSignature(signature, method->parameters, method->result))
        return nullptr;
    std::lock_guard guard(vm.lock);
    for (auto &existing : klass->methods)
        if (existing->name == name && existing->signature == signature)
            return nullptr;
    method->owner = klass;
    method->name = name;
    method->signature = signature;
    method->modifiers = modifiers;
    method->body = std::move(body);
    method->argumentBytes = 8;
    for (const std::string &parameter : method->parameters)
        method->argumentBytes += parameter == "J" || parameter == "D" ? 8 : 4;
    Method *raw = method.get();
    klass->methods.push_back(std::move(method));
    vm.methodIds.insert(raw);
    return raw;
}

Method *findMethod(Class *klass, const std::string &name, const std::string &signature, bool isStatic) {
    for (Class *c = klass; c != nullptr; c = c->super) {
        for (auto &method : c->methods)
            if (method->name == name && method->signature == signature && method->isStatic() == isStatic)
                return method.get();
        if (name == "<init>" || name == "<clinit>")
            break;
    }
    if (!isStatic && name[0] != '<') {
        for (Class *c = klass; c != nullptr; c = c->super)
            for (Class *i : c->interfaces)
                if (Method *found = findMethod(i, name, signature, false))
                    return found;
    }
    return nullptr;
}

Field *findField(Class *klass, const std::string &name, const std::string &signature, bool isStatic) {
    for (Class *c = klass; c != nullptr; c = c->super)
        for (auto &field : c->fields)
            if (field->name == name && field->signature == signature && field->isStatic() == isStatic)
                return field.get();
    return nullptr;
}

Method *findOverride(Class *klass, Method *method) {
    if (method->isStatic() || method->name[0] == '<')
        return method;
    for (Class *c = klass; c != nullptr && c != method->owner; c = c->super)
        for (auto &candidate : c->methods)
            if (candidate->name == method->name && candidate->signature == method->signature && !candidate->isStatic())
                return candidate.get();
    return method;
}

bool isAssignable(const Class *from, const Class *to) {
    if (from == nullptr || to == nullptr)
        return false;
    if (from == to || to->name == "java/lang/Object")
        return true;
    if (from->isArray()) {
        if (!to->isArray())
            return to->name == "java/lang/Cloneable" || to->name == "java/io/Serializable";
        if (from->component == nullptr || to->component == nullptr)
            return from->name == to->name;
        return isAssignable(from->component, to->component);
    }
    for (const Class *c = from; c != nullptr; c = c->super) {
        if (c == to)
            return true;
        for (const Class *i : c->interfaces)
            if (isAssignable(i, to))
                return true;
    }
    return false;
}

bool isInstance(const Object *object, const Class *klass) { return object != nullptr && isAssignable(object->klass, klass); }

bool fitsDescriptor(Vm &vm, const Object *object, const std::string &descriptor) {
    if (object == nullptr)
        return true;
    std::string name = descriptor[0] == 'L' ? descriptor.substr(1, descriptor.size() - 2) : descriptor;
    Class *klass = findClass(vm, name);
    // A class the VM does not know cannot have instances either.
    return klass != nullptr && isAssignable(object->klass, klass);
}

StringObject *newString(Vm &vm, const std::u16string &chars) {
    StringObject *string = allocate<StringObject>(vm, vm.stringClass);
    string->kind = Kind::String;
    string->chars = chars;
    return string;
}

StringObject *newStringUtf(Vm &vm, const std::string &modifiedUtf8) {
    return newString(vm, decodeModifiedUtf8(modifiedUtf8.c_str()));
}

std::string stringUtf(const Object *string) {
    if (string == nullptr || string->kind != Kind::String)
        return "null";
    return encodeModifiedUtf8(static_cast<const StringObject *>(string)->chars);
}

size_t elementSize(char type) {
    switch (type) {
    case 'Z': case 'B': return 1;
    case 'C': case 'S': return 2;
    case 'I': case 'F': return 4;
    case 'J': case 'D': return 8;
    default: return 0;
    }
}

ArrayObject *newArray(Vm &vm, const std::string &arrayClassName, jsize length) {
    Class *klass = findClass(vm, arrayClassName);
    if (klass == nullptr || !klass->isArray() || length < 0)
        return nullptr;
    char type = arrayClassName[1];
    bool references = type == 'L' || type == '[';
    size_t size = references ? sizeof(Object *) : elementSize(type);
    if (static_cast<size_t>(length) > maxArrayBytes / size)
        return nullptr;
    auto array = std::make_unique<ArrayObject>();
    array->klass = klass;
    array->kind = Kind::Array;
    array->length = length;
    array->elementType = references ? 'L' : type;
    try {
        if (references)
            array->refs.assign(length, nullptr);
        else
            array->bytes.assign(static_cast<size_t>(length) * size, 0);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
    ArrayObject *raw = array.get();
    std::lock_guard guard(vm.lock);
    vm.heap.push_back(std::move(array));
    return raw;
}

jvalue fieldValue(Vm &vm, Object *object, const Field *field) {
    std::lock_guard guard(vm.lock);
    if (field->isStatic())
        return field->staticValue;
    auto found = object->fields.find(field);
    return found == object->fields.end() ? jvalue{} : found->second;
}

void setFieldValue(Vm &vm, Object *object, const Field *field, jvalue value) {
    std::lock_guard guard(vm.lock);
    if (field->isStatic())
        const_cast<Field *>(field)->staticValue = value;
    else
        object->fields[field] = value;
}

namespace {

const Field *fieldByName(Object *object, const char *name) {
    for (Class *c = object->klass; c != nullptr; c = c->super)
        for (auto &field : c->fields)
            if (field->name == name && !field->isStatic())
                return field.get();
    return nullptr;
}

} // namespace

jvalue getField(Vm &vm, Object *object, const char *name) {
    const Field *field = object != nullptr ? fieldByName(object, name) : nullptr;
    return field != nullptr ? fieldValue(vm, object, field) : jvalue{};
}

void setField(Vm &vm, Object *object, const char *name, jvalue value) {
    if (const Field *field = object != nullptr ? fieldByName(object, name) : nullptr)
        setFieldValue(vm, object, field, value);
}

Object *getObjectField(Vm &vm, Object *object, const char *name) {
    return reinterpret_cast<Object *>(getField(vm, object, name).l);
}

void setObjectField(Vm &vm, Object *object, const char *name, Object *value) {
    setField(vm, object, name, objectValue(value));
}

std::string describe(const Object *object) {
    if (object == nullptr)
        return "null";
    std::string text = object->klass->dottedName();
    Vm *vm = currentVm();
    if (vm != nullptr && isInstance(object, vm->throwableClass)) {
        Object *message = getObjectField(*vm, const_cast<Object *>(object), "detailMessage");
        if (message != nullptr)
            text += ": " + stringUtf(message);
    }
    return text;
}

} // namespace vm
