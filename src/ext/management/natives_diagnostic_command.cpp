// zun/vexil/DiagnosticCommandImpl: running diagnostic commands and describing them.
#include <initializer_list>

#include "java_support.h"
#include "management_data.h"
#include "native_caches.h"

using namespace vexil;

namespace {

// The boxes and the Parameter class, cached once per load.
struct ParameterClasses {
    bool ready;
    jclass integerClass, doubleClass, longClass, booleanClass, parameterClass;
    jmethodID integerInit, doubleInit, longInit, booleanInit, parameterInit;
};

constinit ParameterClasses cache{};

jclass cachedClass(JNIEnv *env, const char *name, const char *signature, jmethodID &constructor) {
    jclass local = env->FindClass(name);
    if (local == nullptr)
        return nullptr;
    constructor = env->GetMethodID(local, "<init>", signature);
    auto global = constructor != nullptr ? static_cast<jclass>(env->NewGlobalRef(local)) : nullptr;
    env->DeleteLocalRef(local);
    return global;
}

bool cacheParameterClasses(JNIEnv *env) {
    if (cache.ready)
        return true;
    ParameterClasses made{};
    made.integerClass = cachedClass(env, "java/lang/Integer", "(I)V", made.integerInit);
    made.doubleClass = cachedClass(env, "java/lang/Double", "(D)V", made.doubleInit);
    made.longClass = cachedClass(env, "java/lang/Long", "(J)V", made.longInit);
    made.booleanClass = cachedClass(env, "java/lang/Boolean", "(Z)V", made.booleanInit);
    made.parameterClass = cachedClass(env, "com/zun/jvm/DiagnosticCommand$Parameter",
                                      "(Ljava/lang/String;Ljava/lang/String;IZLjava/lang/Object;)V", made.parameterInit);
    made.ready = made.integerClass != nullptr && made.doubleClass != nullptr && made.longClass != nullptr &&
                 made.booleanClass != nullptr && made.parameterClass != nullptr;
    cache = made;
    if (!made.ready)
        releaseParameterClasses(env);
    return made.ready;
}

// The default value boxed by its type letter; false for a letter of no known type.
bool boxedDefault(JNIEnv *env, const VmCommandParameter &parameter, jobject &value) {
    switch (parameter.type) {
    case 'D': value = env->NewObject(cache.doubleClass, cache.doubleInit, parameter.value.d); return true;
    case 'I': value = env->NewObject(cache.integerClass, cache.integerInit, parameter.value.i); return true;
    case 'J': value = env->NewObject(cache.longClass, cache.longInit, parameter.value.j); return true;
    case 'L': value = parameter.value.l != nullptr ? env->NewLocalRef(parameter.value.l) : nullptr; return true;
    case 'Z': value = env->NewObject(cache.booleanClass, cache.booleanInit, parameter.value.z); return true;
    default: return false;
    }
}

// The command's modified UTF-8 form, released with its string.
struct CommandText {
    CommandText(JNIEnv *env, jstring command) : env(env), command(command) {
        text = env->GetStringUTFChars(command, nullptr);
    }
    ~CommandText() {
        if (text != nullptr)
            env->ReleaseStringUTFChars(command, text);
    }
    JNIEnv *env;
    jstring command;
    const char *text;
};

} // namespace

namespace vexil {

void releaseParameterClasses(JNIEnv *env) {
    for (jclass *cls : {&cache.integerClass, &cache.doubleClass, &cache.longClass, &cache.booleanClass,
                        &cache.parameterClass}) {
        if (*cls != nullptr)
            env->DeleteGlobalRef(*cls);
        *cls = nullptr;
    }
    cache.ready = false;
}

} // namespace vexil

extern "C" JNIEXPORT void JNICALL Java_zun_vexil_DiagnosticCommandImpl_execute(JNIEnv *env, jobject, jstring command,
                                                                              jint flag) {
    if (!requireExt(env))
        return;
    if (command == nullptr)
        return throwByName(env, "java/lang/NullPointerException", "null command");
    CommandText text(env, command);
    if (text.text == nullptr)
        return;
    if (binding.ext->executeCommand(env, text.text, flag) < 0)
        throwNotAvailable(env, text.text);
}

extern "C" JNIEXPORT jobjectArray JNICALL Java_zun_vexil_DiagnosticCommandImpl_getAvailableCommandNames(JNIEnv *env,
                                                                                                       jobject) {
    if (binding.ext == nullptr)
        return env->NewObjectArray(0, binding.stringClass, nullptr);
    ManagementData data(env, 250);
    if (!data.get()) {
        throwNotAvailable(env, "could not acquire commands");
        return nullptr;
    }
    return stringArray(env, data.count(), data.records<char *>());
}

extern "C" JNIEXPORT jstring JNICALL Java_zun_vexil_DiagnosticCommandImpl_getDescription(JNIEnv *env, jobject,
                                                                                        jstring command) {
    if (command == nullptr) {
        throwByName(env, "java/lang/NullPointerException", "null command");
        return nullptr;
    }
    if (binding.ext == nullptr)
        return nullptr;
    CommandText text(env, command);
    if (text.text == nullptr)
        return nullptr;
    ManagementData data(env, 251);
    if (!data.get(nullptr, text.text)) {
        throwNotAvailable(env, "could not get parameters");
        return nullptr;
    }
    return newString(env, data.text());
}

extern "C" JNIEXPORT jobjectArray JNICALL Java_zun_vexil_DiagnosticCommandImpl_getParameters0(JNIEnv *env, jobject,
                                                                                             jstring command) {
    if (command == nullptr) {
        throwByName(env, "java/lang/NullPointerException", "null command");
        return nullptr;
    }
    if (binding.ext == nullptr || !cacheParameterClasses(env))
        return nullptr;
    CommandText text(env, command);
    if (text.text == nullptr)
        return nullptr;
    ManagementData data(env, 252);
    if (!data.get(nullptr, text.text)) {
        throwNotAvailable(env, "could not get paramters");
        return nullptr;
    }
    jobjectArray result = env->NewObjectArray(data.count(), cache.parameterClass, nullptr);
    const auto *records = data.records<VmCommandParameter>();
    for (jint i = 0; result != nullptr && i < data.count(); ++i) {
        jobject value = nullptr;
        if (!boxedDefault(env, records[i], value)) {
            throwByName(env, "java/lang/IllegalArgumentException", "bad paramter type");
            env->DeleteLocalRef(result);
            return nullptr;
        }
        jstring name = newString(env, records[i].name);
        jstring description = newString(env, records[i].description);
        jobject parameter = env->ExceptionCheck()
                                ? nullptr
                                : env->NewObject(cache.parameterClass, cache.parameterInit, name, description,
                                                 static_cast<jint>(records[i].type), records[i].required, value);
        if (parameter == nullptr) {
            env->DeleteLocalRef(result);
            result = nullptr;
        } else {
            env->SetObjectArrayElement(result, i, parameter);
        }
        env->DeleteLocalRef(parameter);
        env->DeleteLocalRef(description);
        env->DeleteLocalRef(name);
        env->DeleteLocalRef(value);
    }
    return result;
}
