// The natives of the runtime's Java log-module class: the module names, a module's object over
// its level words, and one line written for a module.
#include <windows.h>

#include <jni.h>
#include <stdlib.h>
#include <string.h>

#include "log_internal.h"
#include "osal/mspace.h"

using namespace sarnik;

namespace {

const char *const constructorSignature = "(J[Ljava/lang/String;Ljava/nio/ByteBuffer;Ljava/nio/ByteBuffer;II)V";

enum : LONG { idsNone = 0, idsMaking = 1, idsReady = 2 };

// Made once by initIDs and kept for the life of the library.
constinit volatile LONG idsState = idsNone;
constinit jclass moduleClass = nullptr;
constinit jclass stringClass = nullptr;
constinit jmethodID moduleConstructor = nullptr;

bool idsReadyNow() { return InterlockedCompareExchange(&idsState, idsReady, idsReady) == idsReady; }

// A module that keeps no level or sanity word of its own still gets a buffer to read: a word of
// its own here, starting at the owner's default; storing into it changes nothing the module does.
struct SpareWords {
    const LogModule *module;
    int level;
    int sanity;
    SpareWords *next;
};

constinit RwLock sparesLock = 0;
constinit SpareWords *spares = nullptr;

SpareWords *sparesOf(const LogModule *module, const Logger *owner) {
    rwWriteLock(&sparesLock);
    SpareWords *found = spares;
    while (found != nullptr && found->module != module)
        found = found->next;
    if (found == nullptr) {
        found = static_cast<SpareWords *>(gsMalloc(sizeof(SpareWords)));
        if (found != nullptr) {
            *found = {module, owner->defaultLevel, owner->defaultSanity, spares};
            spares = found;
        }
    }
    rwWriteUnlock(&sparesLock);
    return found;
}

void throwUnlessPending(JNIEnv *env, const char *className, const char *message) {
    if (env->ExceptionCheck())
        return;
    jclass cls = env->FindClass(className);
    if (cls == nullptr)
        return;
    env->ThrowNew(cls, message);
    env->DeleteLocalRef(cls);
}

int byName(const void *a, const void *b) {
    const char *first = *static_cast<const char *const *>(a);
    const char *second = *static_cast<const char *const *>(b);
    return strcmp(first != nullptr ? first : "", second != nullptr ? second : "");
}

jobject wordBuffer(JNIEnv *env, int *word) {
    jobject buffer = env->NewDirectByteBuffer(word, sizeof(int));
    if (buffer == nullptr)
        throwUnlessPending(env, "java/lang/OutOfMemoryError", "direct buffer");
    return buffer;
}

jobjectArray moduleNames(JNIEnv *env, const LogModule *module) {
    const bool aliased = module->alias != nullptr && module->alias[0] != '\0';
    jobjectArray names = env->NewObjectArray(aliased ? 2 : 1, stringClass, nullptr);
    const char *texts[2] = {module->name != nullptr ? module->name : "", module->alias};
    for (int i = 0; names != nullptr && i < (aliased ? 2 : 1); ++i) {
        jstring text = env->NewStringUTF(texts[i]);
        if (text == nullptr)
            return nullptr;
        env->SetObjectArrayElement(names, i, text);
        env->DeleteLocalRef(text);
    }
    return names;
}

// Java hands back the handle it was given; anything else names no module.
LogModule *registeredModule(jlong handle) {
    auto *module = reinterpret_cast<LogModule *>(static_cast<uintptr_t>(handle));
    if (static_cast<jlong>(reinterpret_cast<uintptr_t>(module)) != handle)
        return nullptr;
    rwReadLock(logListLock());
    const bool known = logIsRegisteredModule(module);
    rwReadUnlock(logListLock());
    return known ? module : nullptr;
}

} // namespace

extern "C" {

JNIEXPORT void JNICALL Java_melnor_vantrel_log_NativeLogModule_initIDs(JNIEnv *env, jclass cls) {
    // Once made, the ids stay: a second call must not pull them from under a running call.
    if (InterlockedCompareExchange(&idsState, idsMaking, idsNone) != idsNone)
        return;
    jclass module = static_cast<jclass>(env->NewGlobalRef(cls));
    jclass string = nullptr;
    jmethodID constructor = nullptr;
    if (module != nullptr) {
        if (jclass local = env->FindClass("java/lang/String")) {
            string = static_cast<jclass>(env->NewGlobalRef(local));
            env->DeleteLocalRef(local);
        }
    }
    if (string != nullptr)
        constructor = env->GetMethodID(cls, "<init>", constructorSignature);
    if (constructor == nullptr) {
        if (string != nullptr)
            env->DeleteGlobalRef(string);
        if (module != nullptr)
            env->DeleteGlobalRef(module);
        InterlockedExchange(&idsState, idsNone);
        return;
    }
    moduleClass = module;
    stringClass = string;
    moduleConstructor = constructor;
    InterlockedExchange(&idsState, idsReady);
}

JNIEXPORT jobjectArray JNICALL Java_melnor_vantrel_log_NativeLogModule_getModuleNames0(JNIEnv *env, jclass) {
    rwReadLock(logListLock());
    const size_t room = static_cast<size_t>(logTotalModules());
    auto *names = static_cast<const char **>(gsMalloc((room != 0 ? room : 1) * sizeof(const char *)));
    size_t count = 0;
    for (Logger *l = logFirstLogger(); names != nullptr && l != nullptr; l = l->next)
        for (int i = 0; i < l->moduleCount && count < room; ++i)
            names[count++] = l->modules[i].name;
    rwReadUnlock(logListLock());
    if (names == nullptr) {
        throwUnlessPending(env, "java/lang/OutOfMemoryError", "module names");
        return nullptr;
    }
    // Loggers are never removed: the names outlive the lock.
    qsort(names, count, sizeof(const char *), byName);
    jclass element = idsReadyNow() ? stringClass : env->FindClass("java/lang/String");
    jobjectArray array =
        element != nullptr ? env->NewObjectArray(static_cast<jsize>(count), element, nullptr) : nullptr;
    for (size_t i = 0; array != nullptr && i < count; ++i) {
        jstring name = env->NewStringUTF(names[i] != nullptr ? names[i] : "");
        if (name == nullptr)
            break;
        env->SetObjectArrayElement(array, static_cast<jsize>(i), name);
        env->DeleteLocalRef(name);
    }
    if (element != nullptr && element != stringClass)
        env->DeleteLocalRef(element);
    gsFree(names);
    return array;
}

JNIEXPORT jobject JNICALL Java_melnor_vantrel_log_NativeLogModule_getModule0(JNIEnv *env, jclass, jstring name) {
    if (!idsReadyNow())
        return nullptr;
    if (name == nullptr) {
        throwUnlessPending(env, "java/lang/NullPointerException", "");
        return nullptr;
    }
    const char *text = env->GetStringUTFChars(name, nullptr);
    if (text == nullptr)
        return nullptr;
    Logger *owner = nullptr;
    int index = 0;
    rwReadLock(logListLock());
    LogModule *module = logFindModule(text, &owner, &index);
    rwReadUnlock(logListLock());
    env->ReleaseStringUTFChars(name, text);
    if (module == nullptr) {
        throwUnlessPending(env, "java/lang/IllegalArgumentException", "no such logmodule");
        return nullptr;
    }
    int *level = module->level;
    int *sanity = module->sanity;
    if (level == nullptr || sanity == nullptr) {
        SpareWords *spare = sparesOf(module, owner);
        if (spare == nullptr) {
            throwUnlessPending(env, "java/lang/OutOfMemoryError", "log module");
            return nullptr;
        }
        level = level != nullptr ? level : &spare->level;
        sanity = sanity != nullptr ? sanity : &spare->sanity;
    }
    jobjectArray names = moduleNames(env, module);
    if (names == nullptr || env->ExceptionCheck())
        return nullptr;
    jobject levelBuffer = wordBuffer(env, level);
    if (levelBuffer == nullptr)
        return nullptr;
    jobject sanityBuffer = wordBuffer(env, sanity);
    if (sanityBuffer == nullptr)
        return nullptr;
    return env->NewObject(moduleClass, moduleConstructor, static_cast<jlong>(reinterpret_cast<uintptr_t>(module)),
                          names, levelBuffer, sanityBuffer, static_cast<jint>(owner->defaultLevel),
                          static_cast<jint>(owner->defaultSanity));
}

JNIEXPORT void JNICALL Java_melnor_vantrel_log_NativeLogModule_output(JNIEnv *env, jclass, jlong handle, jint level,
                                                                       jstring text) {
    if (!idsReadyNow())
        return;
    if (text == nullptr) {
        throwUnlessPending(env, "java/lang/NullPointerException", "");
        return;
    }
    LogModule *module = registeredModule(handle);
    if (module == nullptr) {
        throwUnlessPending(env, "java/lang/IllegalArgumentException", "no such logmodule");
        return;
    }
    const char *chars = env->GetStringUTFChars(text, nullptr);
    if (chars == nullptr)
        return;
    logWriteLine(module, module->owner, module->decorations, level, chars, nullptr);
    env->ReleaseStringUTFChars(text, chars);
}

} // extern "C"
