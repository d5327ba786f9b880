// Tool interface: classes and methods, redefinition and retransformation.
#include <cstring>

#include "jvmti_support.h"

namespace vm {
namespace {

jvmtiError classList(JvmtiEntry &e, bool byLoader, Object *loader, jint *count, jclass **classes) {
    if (count == nullptr || classes == nullptr)
        return JVMTI_ERROR_NULL_POINTER;
    std::vector<Class *> found;
    {
        std::lock_guard guard(e.vm->lock);
        for (auto &[name, klass] : e.vm->classes)
            if (!byLoader || klass->loader == loader)
                found.push_back(klass);
    }
    jvmtiError error = e.allocate(found.size() * sizeof(jclass), reinterpret_cast<void **>(classes));
    if (error != JVMTI_ERROR_NONE)
        return error;
    for (size_t i = 0; i < found.size(); ++i)
        (*classes)[i] = static_cast<jclass>(e.local(found[i]));
    *count = static_cast<jint>(found.size());
    return JVMTI_ERROR_NONE;
}

jvmtiError JNICALL GetLoadedClasses(jvmtiEnv *env, jint *count, jclass **classes) noexcept {
    JvmtiEntry e(env, "GetLoadedClasses", LiveOnly | NeedsThread);
    return e.ok() ? classList(e, false, nullptr, count, classes) : e.error;
}

jvmtiError JNICALL GetClassLoaderClasses(jvmtiEnv *env, jobject loader, jint *count, jclass **classes) noexcept {
    JvmtiEntry e(env, "GetClassLoaderClasses", LiveOnly | NeedsThread);
    if (!e.ok())
        return e.error;
    bool valid = true;
    Object *object = resolve(*e.vm, *e.thread, loader, e.function, &valid);
    return valid ? classList(e, true, object, count, classes) : JVMTI_ERROR_ILLEGAL_ARGUMENT;
}

jvmtiError JNICALL GetClassSignature(jvmtiEnv *env, jclass cls, char **signature, char **generic) noexcept {
    JvmtiEntry e(env, "GetClassSignature", NeedsThread);
    if (!e.ok())
        return e.error;
    jvmtiError error;
    Class *klass = e.klass(cls, error);
    if (klass == nullptr)
        return error;
    if (generic != nullptr)
        *generic = nullptr;
    if (signature != nullptr)
        *signature = e.copyText(klass->signature(), error);
    return error;
}

jvmtiError JNICALL GetSourceFileName(jvmtiEnv *env, jclass cls, char **name) noexcept {
    JvmtiEntry e(env, "GetSourceFileName", NeedsThread);
    if (!e.ok())
        return e.error;
    if (!e.state->capabilities.can_get_source_file_name)
        return JVMTI_ERROR_MUST_POSSESS_CAPABILITY;
    if (name == nullptr)
        return JVMTI_ERROR_NULL_POINTER;
    jvmtiError error;
    Class *klass = e.klass(cls, error);
    if (klass == nullptr)
        return error;
    if (klass->sourceFile.empty())
        return JVMTI_ERROR_ABSENT_INFORMATION;
    *name = e.copyText(klass->sourceFile, error);
    return error;
}

jvmtiError JNICALL GetMethodName(jvmtiEnv *env, jmethodID id, char **name, char **signature, char **generic) noexcept {
    JvmtiEntry e(env, "GetMethodName");
    if (!e.ok())
        return e.error;
    jvmtiError error;
    Method *method = e.method(id, error);
    if (method == nullptr)
        return error;
    if (generic != nullptr)
        *generic = nullptr;
    if (name != nullptr)
        *name = e.copyText(method->name, error);
    if (signature != nullptr && error == JVMTI_ERROR_NONE)
        *signature = e.copyText(method->signature, error);
    return error;
}

jvmtiError JNICALL GetMethodDeclaringClass(jvmtiEnv *env, jmethodID id, jclass *cls) noexcept {
    JvmtiEntry e(env, "GetMethodDeclaringClass", NeedsThread);
    if (!e.ok())
        return e.error;
    if (cls == nullptr)
        return JVMTI_ERROR_NULL_POINTER;
    jvmtiError error;
    Method *method = e.method(id, error);
    if (method == nullptr)
        return error;
    *cls = static_cast<jclass>(e.local(method->owner));
    return JVMTI_ERROR_NONE;
}

jvmtiError JNICALL GetMethodModifiers(jvmtiEnv *env, jmethodID id, jint *modifiers) noexcept {
    JvmtiEntry e(env, "GetMethodModifiers");
    if (!e.ok())
        return e.error;
    if (modifiers == nullptr)
        return JVMTI_ERROR_NULL_POINTER;
    jvmtiError error;
    Method *method = e.method(id, error);
    if (method != nullptr)
        *modifiers = method->modifiers;
    return error;
}

jvmtiError JNICALL GetLineNumberTable(jvmtiEnv *env, jmethodID id, jint *count, jvmtiLineNumberEntry **table) noexcept {
    JvmtiEntry e(env, "GetLineNumberTable");
    if (!e.ok())
        return e.error;
    if (!e.state->capabilities.can_get_line_numbers)
        return JVMTI_ERROR_MUST_POSSESS_CAPABILITY;
    if (count == nullptr || table == nullptr)
        return JVMTI_ERROR_NULL_POINTER;
    jvmtiError error;
    Method *method = e.method(id, error);
    if (method == nullptr)
        return error;
    if (method->isNative())
        return JVMTI_ERROR_NATIVE_METHOD;
    std::vector<jvmtiLineNumberEntry> lines;
    {
        std::lock_guard guard(e.vm->lock);
        lines = method->lines;
    }
    if (lines.empty())
        return JVMTI_ERROR_ABSENT_INFORMATION;
    error = e.allocate(lines.size() * sizeof(jvmtiLineNumberEntry), reinterpret_cast<void **>(table));
    if (error != JVMTI_ERROR_NONE)
        return error;
    std::copy(lines.begin(), lines.end(), *table);
    *count = static_cast<jint>(lines.size());
    return JVMTI_ERROR_NONE;
}

bool looksLikeClassFile(const unsigned char *bytes, jint length) {
    return bytes != nullptr && length >= 8 && bytes[0] == 0xCA && bytes[1] == 0xFE && bytes[2] == 0xBA && bytes[3] == 0xBE;
}

jvmtiError JNICALL RedefineClasses(jvmtiEnv *env, jint count, const jvmtiClassDefinition *definitions) noexcept {
    JvmtiEntry e(env, "RedefineClasses", LiveOnly | NeedsThread);
    if (!e.ok())
        return e.error;
    if (!e.state->capabilities.can_redefine_classes)
        return JVMTI_ERROR_MUST_POSSESS_CAPABILITY;
    if (count < 0)
        return JVMTI_ERROR_ILLEGAL_ARGUMENT;
    if (definitions == nullptr && count > 0)
        return JVMTI_ERROR_NULL_POINTER;
    std::vector<Class *> classes;
    for (jint i = 0; i < count; ++i) {
        jvmtiError error;
        Class *klass = e.klass(definitions[i].klass, error);
        if (klass == nullptr)
            return error;
        if (klass->isArray())
            return JVMTI_ERROR_UNMODIFIABLE_CLASS;
        if (definitions[i].class_bytes == nullptr)
            return JVMTI_ERROR_NULL_POINTER;
        if (!looksLikeClassFile(definitions[i].class_bytes, definitions[i].class_byte_count))
            return JVMTI_ERROR_INVALID_CLASS_FORMAT;
        classes.push_back(klass);
    }
    for (jint i = 0; i < count; ++i) {
        std::vector<unsigned char> bytes(definitions[i].class_bytes,
                                         definitions[i].class_bytes + definitions[i].class_byte_count);
        bytes = postClassFileLoadHook(*e.vm, *e.thread, classes[i], classes[i]->loader, classes[i]->name,
                                      std::move(bytes), false);
        std::lock_guard guard(e.vm->lock);
        classes[i]->bytes = std::move(bytes);
    }
    return JVMTI_ERROR_NONE;
}

jvmtiError JNICALL RetransformClasses(jvmtiEnv *env, jint count, const jclass *list) noexcept {
    JvmtiEntry e(env, "RetransformClasses", LiveOnly | NeedsThread);
    if (!e.ok())
        return e.error;
    if (!e.state->capabilities.can_retransform_classes)
        return JVMTI_ERROR_MUST_POSSESS_CAPABILITY;
    if (count < 0)
        return JVMTI_ERROR_ILLEGAL_ARGUMENT;
    if (list == nullptr && count > 0)
        return JVMTI_ERROR_NULL_POINTER;
    std::vector<Class *> classes;
    for (jint i = 0; i < count; ++i) {
        jvmtiError error;
        Class *klass = e.klass(list[i], error);
        if (klass == nullptr)
            return error;
        if (klass->isArray())
            return JVMTI_ERROR_UNMODIFIABLE_CLASS;
        classes.push_back(klass);
    }
    for (Class *klass : classes) {
        std::vector<unsigned char> bytes;
        {
            std::lock_guard guard(e.vm->lock);
            bytes = klass->bytes;
        }
        bytes = postClassFileLoadHook(*e.vm, *e.thread, klass, klass->loader, klass->name, std::move(bytes), true);
        std::lock_guard guard(e.vm->lock);
        klass->bytes = std::move(bytes);
    }
    return JVMTI_ERROR_NONE;
}

} // namespace

void fillClassFunctions(jvmtiInterface_1_ &t) {
    t.GetLoadedClasses = GetLoadedClasses;
    t.GetClassLoaderClasses = GetClassLoaderClasses;
    t.GetClassSignature = GetClassSignature;
    t.GetSourceFileName = GetSourceFileName;
    t.GetMethodName = GetMethodName;
    t.GetMethodDeclaringClass = GetMethodDeclaringClass;
    t.GetMethodModifiers = GetMethodModifiers;
    t.GetLineNumberTable = GetLineNumberTable;
    t.RedefineClasses = RedefineClasses;
    t.RetransformClasses = RetransformClasses;
}

} // namespace vm
