#include "vexil_test.h"

#include <cstring>
#include <vector>

jvalue jint_(jint value) {
    jvalue v{};
    v.i = value;
    return v;
}

jvalue jbool_(bool value) {
    jvalue v{};
    v.z = value ? JNI_TRUE : JNI_FALSE;
    return v;
}

jvalue jlong_(jlong value) {
    jvalue v{};
    v.j = value;
    return v;
}

void VexilTest::TearDown() {
    if (jvm != nullptr)
        destroyJvm();
    VmTest::TearDown();
}

void VexilTest::load(bool standard, bool extension) {
    vmhostSetManagementTables(session->vm(), standard, extension);
    ASSERT_TRUE(session->loadLibrary("vexil.dll")) << thrown();
    // What the load keeps lives until the unload: later checks look at what came after.
    vmhostMarkBaseline(session->vm());
}

jobject VexilTest::newObject(const char *className) {
    jclass cls = env()->FindClass(className);
    if (cls == nullptr)
        return nullptr;
    jobject object = env()->NewObject(cls, env()->GetMethodID(cls, "<init>", "()V"));
    env()->DeleteLocalRef(cls);
    return object;
}

jclass VexilTest::jvmSubclass(const char *name) {
    jclass cls = session->defineClass(name, "zun/vexil/JVMImpl");
    session->addMethod(cls, "<init>", "()V", 0x1, [](JNIEnv *e, jobject self, const jvalue *) {
        jclass threadClass = e->FindClass("java/lang/Thread");
        jobject thread = e->NewObject(threadClass, e->GetMethodID(threadClass, "<init>", "(Ljava/lang/String;)V"),
                                      e->NewStringUTF("Management Event Thread"));
        jclass base = e->FindClass("zun/vexil/JVMImpl");
        e->SetObjectField(self, e->GetFieldID(base, "eventThread", "Ljava/lang/Thread;"), thread);
        return jvalue{};
    });
    return cls;
}

jobject VexilTest::startJvm(const char *className) {
    jobject made = newObject(className);
    callVoid(made, "init", "()V");
    std::string failure = thrown();
    EXPECT_EQ(failure, "");
    if (failure.empty())
        jvm = made;
    return made;
}

void VexilTest::destroyJvm() {
    callVoid(jvm, "destroy", "()V");
    EXPECT_EQ(thrown(), "");
    jvm = nullptr;
}

jobject VexilTest::component(const char *className) {
    jobject object = newObject(className);
    jclass cls = env()->GetObjectClass(object);
    env()->SetObjectField(object, env()->GetFieldID(cls, "jvm", "Lzun/vexil/JVMImpl;"), jvm);
    env()->DeleteLocalRef(cls);
    return object;
}

namespace {

jmethodID methodOf(JNIEnv *env, jobject object, const char *name, const char *signature) {
    jclass cls = env->GetObjectClass(object);
    jmethodID method = env->GetMethodID(cls, name, signature);
    env->DeleteLocalRef(cls);
    return method;
}

} // namespace

#define VEXIL_CALL(Type, Kind)                                                                                   \
    Type VexilTest::call##Kind(jobject object, const char *name, const char *signature,                          \
                               std::initializer_list<jvalue> args) {                                             \
        std::vector<jvalue> values(args);                                                                        \
        return env()->Call##Kind##MethodA(object, methodOf(env(), object, name, signature), values.data());     \
    }
VEXIL_CALL(jlong, Long)
VEXIL_CALL(jint, Int)
VEXIL_CALL(jdouble, Double)
VEXIL_CALL(jobject, Object)
VEXIL_CALL(void, Void)
#undef VEXIL_CALL

bool VexilTest::callBool(jobject object, const char *name, const char *signature, std::initializer_list<jvalue> args) {
    std::vector<jvalue> values(args);
    return env()->CallBooleanMethodA(object, methodOf(env(), object, name, signature), values.data()) != JNI_FALSE;
}

jobject VexilTest::callStatic(const char *className, const char *name, const char *signature,
                              std::initializer_list<jvalue> args) {
    std::vector<jvalue> values(args);
    jclass cls = env()->FindClass(className);
    jmethodID method = env()->GetStaticMethodID(cls, name, signature);
    jobject result = nullptr;
    if (signature[strlen(signature) - 1] == 'V')
        env()->CallStaticVoidMethodA(cls, method, values.data());
    else
        result = env()->CallStaticObjectMethodA(cls, method, values.data());
    env()->DeleteLocalRef(cls);
    return result;
}

std::string VexilTest::text(jobject string) {
    if (string == nullptr)
        return "null";
    const char *chars = env()->GetStringUTFChars(static_cast<jstring>(string), nullptr);
    std::string copy = chars;
    env()->ReleaseStringUTFChars(static_cast<jstring>(string), chars);
    return copy;
}

std::string VexilTest::thrown() {
    jthrowable pending = env()->ExceptionOccurred();
    if (pending == nullptr)
        return "";
    env()->ExceptionClear();
    jclass cls = env()->GetObjectClass(pending);
    jclass classClass = env()->FindClass("java/lang/Class");
    jobject name = env()->CallObjectMethod(cls, env()->GetMethodID(classClass, "getName", "()Ljava/lang/String;"));
    jclass throwable = env()->FindClass("java/lang/Throwable");
    jobject message = env()->GetObjectField(pending, env()->GetFieldID(throwable, "detailMessage", "Ljava/lang/String;"));
    std::string result = text(name) + ": " + text(message);
    for (jobject ref : {static_cast<jobject>(pending), static_cast<jobject>(cls), static_cast<jobject>(classClass), name,
                        static_cast<jobject>(throwable), message})
        env()->DeleteLocalRef(ref);
    return result;
}

jobject VexilTest::field(jobject object, const char *name, const char *signature) {
    jclass cls = env()->GetObjectClass(object);
    jobject value = env()->GetObjectField(object, env()->GetFieldID(cls, name, signature));
    env()->DeleteLocalRef(cls);
    return value;
}

jlong VexilTest::longField(jobject object, const char *name) {
    jclass cls = env()->GetObjectClass(object);
    jlong value = env()->GetLongField(object, env()->GetFieldID(cls, name, "J"));
    env()->DeleteLocalRef(cls);
    return value;
}

jint VexilTest::intField(jobject object, const char *name) {
    jclass cls = env()->GetObjectClass(object);
    jint value = env()->GetIntField(object, env()->GetFieldID(cls, name, "I"));
    env()->DeleteLocalRef(cls);
    return value;
}

bool VexilTest::boolField(jobject object, const char *name) {
    jclass cls = env()->GetObjectClass(object);
    jboolean value = env()->GetBooleanField(object, env()->GetFieldID(cls, name, "Z"));
    env()->DeleteLocalRef(cls);
    return value != JNI_FALSE;
}
