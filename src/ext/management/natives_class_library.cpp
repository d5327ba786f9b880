// zun/vexil/ClassLibraryImpl: loaded classes, redefinition and the class events.
#include <cstdlib>
#include <cstring>

#include "java_support.h"
#include "management_context.h"
#include "vm_binding.h"

using namespace vexil;

namespace {

// The class list as a Class array; the entries are local references, deleted here.
jobjectArray classArray(JNIEnv *env, jvmtiEnv *jvmti, jint count, jclass *classes) {
    jobjectArray result = newObjectArray(env, binding.classClass, count, reinterpret_cast<jobject *>(classes));
    for (jint i = 0; i < count; ++i)
        env->DeleteLocalRef(classes[i]);
    jvmti->Deallocate(reinterpret_cast<unsigned char *>(classes));
    if (result == nullptr)
        throwOutOfMemory(env, "getAllClasses0");
    return result;
}

// "L" + the name with '.' replaced by '/' + ";".
char *signatureOf(const char *name) {
    size_t length = strlen(name);
    auto *signature = static_cast<char *>(malloc(length + 3));
    if (signature == nullptr)
        return nullptr;
    signature[0] = 'L';
    for (size_t i = 0; i < length; ++i)
        signature[i + 1] = name[i] == '.' ? '/' : name[i];
    signature[length + 1] = ';';
    signature[length + 2] = '\0';
    return signature;
}

// Keeps the classes whose signature is `wanted`; the others' references are deleted.
jint keepBySignature(JNIEnv *env, jvmtiEnv *jvmti, jint count, jclass *classes, const char *wanted) {
    jint kept = 0;
    for (jint i = 0; i < count; ++i) {
        char *signature = nullptr;
        bool match = jvmti->GetClassSignature(classes[i], &signature, nullptr) == JVMTI_ERROR_NONE &&
                     signature != nullptr && strcmp(signature, wanted) == 0;
        jvmti->Deallocate(reinterpret_cast<unsigned char *>(signature));
        if (match)
            classes[kept++] = classes[i];
        else
            env->DeleteLocalRef(classes[i]);
    }
    return kept;
}

} // namespace

extern "C" JNIEXPORT jobjectArray JNICALL Java_zun_vexil_ClassLibraryImpl_getAllClasses0__Ljava_lang_String_2(
    JNIEnv *env, jobject self, jstring name) {
    ManagementContext *context = contextOfOwner(env, self);
    if (context == nullptr)
        return nullptr;
    jvmtiEnv *jvmti = context->jvmti;
    jint count = 0;
    jclass *classes = nullptr;
    if (jvmti->GetLoadedClasses(&count, &classes) != JVMTI_ERROR_NONE) {
        throwOutOfMemory(env, "getAllClasses0");
        return nullptr;
    }
    if (name != nullptr) {
        const char *text = env->GetStringUTFChars(name, nullptr);
        char *wanted = text != nullptr ? signatureOf(text) : nullptr;
        if (text != nullptr)
            env->ReleaseStringUTFChars(name, text);
        if (wanted == nullptr) {
            for (jint i = 0; i < count; ++i)
                env->DeleteLocalRef(classes[i]);
            jvmti->Deallocate(reinterpret_cast<unsigned char *>(classes));
            throwOutOfMemory(env, "getAllClasses0");
            return nullptr;
        }
        count = keepBySignature(env, jvmti, count, classes, wanted);
        free(wanted);
    }
    return classArray(env, jvmti, count, classes);
}

extern "C" JNIEXPORT jobjectArray JNICALL Java_zun_vexil_ClassLibraryImpl_getAllClasses0__Ljava_lang_ClassLoader_2(
    JNIEnv *env, jobject self, jobject loader) {
    ManagementContext *context = contextOfOwner(env, self);
    if (context == nullptr)
        return nullptr;
    jint count = 0;
    jclass *classes = nullptr;
    if (context->jvmti->GetClassLoaderClasses(loader, &count, &classes) != JVMTI_ERROR_NONE) {
        throwOutOfMemory(env, "getAllClasses0");
        return nullptr;
    }
    return classArray(env, context->jvmti, count, classes);
}

extern "C" JNIEXPORT void JNICALL Java_zun_vexil_ClassLibraryImpl_redefineClass(JNIEnv *env, jobject self, jclass cls,
                                                                               jbyteArray bytes, jint offset,
                                                                               jint length) {
    if (cls == nullptr)
        return throwByName(env, "java/lang/NullPointerException",
                           "ClassLibrary#redefineClass(...) - You cannot redefine null");
    if (bytes == nullptr)
        return throwByName(env, "java/lang/NullPointerException",
                           "ClassLibrary#redefineClass(...) - You cannot redefine with a null byte-array");
    if (length < 1)
        return throwByName(env, "java/lang/ArrayIndexOutOfBoundsException",
                           "ClassLibrary#redefineClass(...) - length is less than or equal to zero");
    ManagementContext *context = contextOfOwner(env, self);
    if (context == nullptr)
        return;
    auto *copy = static_cast<unsigned char *>(malloc(static_cast<size_t>(length)));
    if (copy == nullptr)
        return throwOutOfMemory(env, "redefineClass");
    // An offset or length outside the array leaves ArrayIndexOutOfBoundsException pending.
    env->GetByteArrayRegion(bytes, offset, length, reinterpret_cast<jbyte *>(copy));
    if (env->ExceptionCheck()) {
        free(copy);
        return;
    }
    jvmtiClassDefinition definition{cls, length, copy};
    jvmtiError error = context->jvmti->RedefineClasses(1, &definition);
    free(copy);
    if (error == JVMTI_ERROR_NONE)
        return;
    char *errorName = nullptr;
    context->jvmti->GetErrorName(error, &errorName);
    throwByName(env, "java/lang/ClassFormatError", errorName != nullptr ? errorName : "");
    context->jvmti->Deallocate(reinterpret_cast<unsigned char *>(errorName));
}

extern "C" JNIEXPORT void JNICALL Java_zun_vexil_ClassLibraryImpl_setPreprocessing(JNIEnv *env, jobject self,
                                                                                  jboolean on) {
    switchEvent(env, self, on != JNI_FALSE, JVMTI_EVENT_CLASS_FILE_LOAD_HOOK);
}

extern "C" JNIEXPORT void JNICALL Java_zun_vexil_ClassLibraryImpl_addedFirstListener(JNIEnv *env, jobject self) {
    switchEvent(env, self, true, JVMTI_EVENT_CLASS_LOAD);
}

extern "C" JNIEXPORT void JNICALL Java_zun_vexil_ClassLibraryImpl_removedLastListener(JNIEnv *env, jobject self) {
    switchEvent(env, self, false, JVMTI_EVENT_CLASS_LOAD);
}
