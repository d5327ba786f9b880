// The JNI functions: strings, arrays, fields, objects, exceptions, references and threads.
#include <atomic>
#include <thread>

#include <windows.h>

#include "vm_session.h"

namespace {

using Jni = VmTest;

std::string utf(JNIEnv *env, jstring text) {
    const char *chars = env->GetStringUTFChars(text, nullptr);
    std::string copy = chars != nullptr ? chars : "(null)";
    env->ReleaseStringUTFChars(text, chars);
    return copy;
}

// Whether the pending exception is a className; clears it.
bool threw(JNIEnv *env, const char *className) {
    jthrowable thrown = env->ExceptionOccurred();
    env->ExceptionClear();
    return thrown != nullptr && env->IsInstanceOf(thrown, env->FindClass(className));
}

jthrowable takeException(JNIEnv *env) {
    jthrowable thrown = env->ExceptionOccurred();
    env->ExceptionClear();
    return thrown;
}

TEST_F(Jni, ModifiedUtf8RoundTrips) {
    // U+0000 as C0 80; U+1F600 as two encoded surrogates.
    const char text[] = "a\xc0\x80z\xed\xa0\xbd\xed\xb8\x80";
    jstring string = env()->NewStringUTF(text);
    EXPECT_EQ(env()->GetStringLength(string), 5);
    jchar chars[5];
    env()->GetStringRegion(string, 0, 5, chars);
    EXPECT_EQ(chars[1], 0);
    EXPECT_EQ(chars[3], 0xD83D);
    EXPECT_EQ(chars[4], 0xDE00);
    EXPECT_EQ(utf(env(), string), text);
    EXPECT_EQ(env()->GetStringUTFLength(string), static_cast<jsize>(sizeof text - 1));
    char region[8];
    env()->GetStringUTFRegion(string, 2, 1, region);
    EXPECT_STREQ(region, "z");
    env()->GetStringRegion(string, 4, 2, chars);
    EXPECT_TRUE(threw(env(), "java/lang/StringIndexOutOfBoundsException"));
    EXPECT_EQ(takeProblems(), "");
}

TEST_F(Jni, MalformedTextIsReported) {
    jstring string = env()->NewStringUTF("bad \xff byte");
    EXPECT_EQ(env()->GetStringLength(string), 10);
    EXPECT_EQ(takeProblems(), "NewStringUTF: the text is not modified UTF-8: \"bad \\u00ff byte\"\n");
}

TEST_F(Jni, PrimitiveArraysAndTheirReleaseModes) {
    jintArray array = env()->NewIntArray(3);
    jint values[] = {1, 2, 3};
    env()->SetIntArrayRegion(array, 0, 3, values);
    jint *elements = env()->GetIntArrayElements(array, nullptr);
    elements[0] = 10;
    env()->ReleaseIntArrayElements(array, elements, JNI_COMMIT);
    elements[1] = 20;
    env()->ReleaseIntArrayElements(array, elements, JNI_ABORT);
    env()->GetIntArrayRegion(array, 0, 3, values);
    EXPECT_EQ(values[0], 10);
    EXPECT_EQ(values[1], 2);
    env()->GetIntArrayRegion(array, 2, 2, values);
    EXPECT_TRUE(threw(env(), "java/lang/ArrayIndexOutOfBoundsException"));
    env()->NewLongArray(-1);
    EXPECT_TRUE(threw(env(), "java/lang/NegativeArraySizeException"));
    env()->GetLongArrayElements(reinterpret_cast<jlongArray>(array), nullptr);
    EXPECT_EQ(takeProblems(), "GetLongArrayElements: a [I is not an array of J\n");
}

TEST_F(Jni, ArraysBeyondTheHeapThrowOutOfMemoryError) {
    EXPECT_EQ(env()->NewLongArray(0x20000001), nullptr); // 4 GiB and 8 bytes: more than 32 bits can count
    EXPECT_TRUE(threw(env(), "java/lang/OutOfMemoryError"));
    EXPECT_EQ(env()->NewByteArray(0x7FFFFFFF), nullptr);
    EXPECT_TRUE(threw(env(), "java/lang/OutOfMemoryError"));
    jclass string = env()->FindClass("java/lang/String");
    EXPECT_EQ(env()->NewObjectArray(0x7FFFFFFF, string, nullptr), nullptr);
    EXPECT_TRUE(threw(env(), "java/lang/OutOfMemoryError"));
    jbyteArray small = env()->NewByteArray(4);
    env()->GetByteArrayRegion(small, 0, 4, nullptr);
    env()->GetStringRegion(env()->NewStringUTF("abc"), 0, 2, nullptr);
    EXPECT_EQ(takeProblems(), "GetByteArrayRegion: the buffer is null\nGetStringRegion: the buffer is null\n");
}

TEST_F(Jni, ObjectArraysCheckWhatTheyStore) {
    jclass string = env()->FindClass("java/lang/String");
    jobjectArray array = env()->NewObjectArray(2, string, env()->NewStringUTF("x"));
    EXPECT_EQ(utf(env(), static_cast<jstring>(env()->GetObjectArrayElement(array, 1))), "x");
    env()->SetObjectArrayElement(array, 0, env()->FindClass("java/lang/Object"));
    EXPECT_TRUE(threw(env(), "java/lang/ArrayStoreException"));
    jclass objects = env()->FindClass("[Ljava/lang/Object;");
    EXPECT_TRUE(env()->IsInstanceOf(array, objects));
    EXPECT_TRUE(env()->IsAssignableFrom(env()->GetObjectClass(array), env()->FindClass("java/io/Serializable")));
    EXPECT_FALSE(env()->IsAssignableFrom(objects, env()->GetObjectClass(array)));
}

TEST_F(Jni, FieldsOfObjectsAndClasses) {
    jclass point = session->defineClass("vmtest/Point");
    vmhostAddField(env(), point, "x", "I", 0);
    vmhostAddField(env(), point, "label", "Ljava/lang/String;", 0);
    vmhostAddField(env(), point, "count", "J", 0x8);
    session->addMethod(point, "<init>", "()V", 1, [](JNIEnv *, jobject, const jvalue *) { return jvalue{}; });
    jobject object = env()->NewObject(point, env()->GetMethodID(point, "<init>", "()V"));
    jfieldID x = env()->GetFieldID(point, "x", "I");
    jfieldID label = env()->GetFieldID(point, "label", "Ljava/lang/String;");
    jfieldID count = env()->GetStaticFieldID(point, "count", "J");
    env()->SetIntField(object, x, -7);
    env()->SetObjectField(object, label, env()->NewStringUTF("here"));
    env()->SetStaticLongField(point, count, 1LL << 40);
    EXPECT_EQ(env()->GetIntField(object, x), -7);
    EXPECT_EQ(utf(env(), static_cast<jstring>(env()->GetObjectField(object, label))), "here");
    EXPECT_EQ(env()->GetStaticLongField(point, count), 1LL << 40);
    EXPECT_EQ(env()->GetFieldID(point, "y", "I"), nullptr);
    EXPECT_TRUE(threw(env(), "java/lang/NoSuchFieldError"));
    EXPECT_EQ(takeProblems(), "");
    env()->SetObjectField(object, label, point);
    env()->GetLongField(object, x);
    EXPECT_EQ(takeProblems(), "SetObjectField: a java.lang.Class cannot be stored in vmtest.Point.label of type "
                              "Ljava/lang/String;\n"
                              "GetLongField: vmtest.Point.x has the type I\n");
}

TEST_F(Jni, ConstructorsMethodsAndVirtualDispatch) {
    jclass integer = env()->FindClass("java/lang/Integer");
    jobject boxed = env()->NewObject(integer, env()->GetMethodID(integer, "<init>", "(I)V"), 42);
    EXPECT_EQ(env()->GetIntField(boxed, env()->GetFieldID(integer, "value", "I")), 42);

    jclass base = session->defineClass("vmtest/Base");
    jclass derived = session->defineClass("vmtest/Derived", "vmtest/Base");
    session->addMethod(base, "<init>", "()V", 1, [](JNIEnv *, jobject, const jvalue *) { return jvalue{}; });
    session->addMethod(derived, "<init>", "()V", 1, [](JNIEnv *, jobject, const jvalue *) { return jvalue{}; });
    session->addMethod(base, "name", "()I", 1, [](JNIEnv *, jobject, const jvalue *) { return jvalue{}; });
    session->addMethod(derived, "name", "()I", 1, [](JNIEnv *, jobject, const jvalue *) {
        jvalue v{};
        v.i = 2;
        return v;
    });
    jobject object = env()->NewObject(derived, env()->GetMethodID(derived, "<init>", "()V"));
    jmethodID name = env()->GetMethodID(base, "name", "()I");
    EXPECT_EQ(env()->CallIntMethod(object, name), 2);
    EXPECT_EQ(env()->CallNonvirtualIntMethod(object, base, name), 0);
    EXPECT_TRUE(env()->IsSameObject(env()->GetSuperclass(derived), base));

    jobject reflected = env()->ToReflectedMethod(base, name, JNI_FALSE);
    EXPECT_TRUE(env()->IsInstanceOf(reflected, env()->FindClass("java/lang/reflect/AccessibleObject")));
    EXPECT_EQ(env()->GetMethodID(base, "absent", "()V"), nullptr);
    EXPECT_TRUE(threw(env(), "java/lang/NoSuchMethodError"));
}

TEST_F(Jni, ExceptionsCarryTheirMessage) {
    EXPECT_EQ(env()->ThrowNew(env()->FindClass("java/lang/IllegalArgumentException"), "bad value"), 0);
    jthrowable thrown = takeException(env());
    jclass throwable = env()->FindClass("java/lang/Throwable");
    jmethodID getMessage = env()->GetMethodID(throwable, "getMessage", "()Ljava/lang/String;");
    EXPECT_EQ(utf(env(), static_cast<jstring>(env()->CallObjectMethod(thrown, getMessage))), "bad value");
    EXPECT_EQ(env()->Throw(thrown), 0);
    EXPECT_TRUE(env()->ExceptionCheck());
    env()->ExceptionDescribe();
    EXPECT_FALSE(env()->ExceptionCheck());
    EXPECT_EQ(env()->ThrowNew(env()->FindClass("java/lang/String"), "no"), JNI_ERR);
    EXPECT_EQ(takeProblems(), "ThrowNew: java.lang.String is not a Throwable\n");
}

TEST_F(Jni, ReferencesOfEveryKind) {
    jstring local = env()->NewStringUTF("x");
    jobject global = env()->NewGlobalRef(local);
    jweak weak = env()->NewWeakGlobalRef(local);
    EXPECT_TRUE(env()->IsSameObject(weak, global));
    env()->DeleteGlobalRef(weak);
    EXPECT_EQ(takeProblems(), "DeleteGlobalRef: the reference is a weak global reference, not a global one\n");
    env()->DeleteWeakGlobalRef(weak);
    env()->DeleteGlobalRef(global);
    env()->DeleteGlobalRef(global);
    EXPECT_EQ(takeProblems(), "DeleteGlobalRef: use of a deleted or invalid reference\n");

    unsigned char memory[16];
    jobject buffer = env()->NewDirectByteBuffer(memory, sizeof memory);
    EXPECT_EQ(env()->GetDirectBufferAddress(buffer), memory);
    EXPECT_EQ(env()->GetDirectBufferCapacity(buffer), 16);
    EXPECT_EQ(env()->GetDirectBufferCapacity(local), -1);
    EXPECT_TRUE(env()->IsInstanceOf(buffer, env()->FindClass("java/nio/ByteBuffer")));
}

TEST_F(Jni, ThreadsAttachWithTheirOwnEnvAndDetach) {
    JavaVM *vm = session->vm();
    JNIEnv *mine = env();
    jint before = 0;
    jint attached = 0;
    JNIEnv *theirs = nullptr;
    std::string name;
    std::thread other([&] {
        void *none = nullptr;
        before = vm->GetEnv(&none, JNI_VERSION_1_4);
        JavaVMAttachArgs args{JNI_VERSION_1_4, const_cast<char *>("worker"), nullptr};
        attached = vm->AttachCurrentThread(reinterpret_cast<void **>(&theirs), &args);
        jclass threadClass = theirs->FindClass("java/lang/Thread");
        jobject current = theirs->CallStaticObjectMethod(
            threadClass, theirs->GetStaticMethodID(threadClass, "currentThread", "()Ljava/lang/Thread;"));
        name = utf(theirs, static_cast<jstring>(theirs->CallObjectMethod(
                               current, theirs->GetMethodID(threadClass, "getName", "()Ljava/lang/String;"))));
        vm->DetachCurrentThread();
    });
    other.join();
    EXPECT_EQ(before, JNI_EDETACHED);
    EXPECT_EQ(attached, JNI_OK);
    EXPECT_NE(theirs, mine);
    EXPECT_EQ(name, "worker");
    theirs->GetVersion();
    EXPECT_EQ(takeProblems(), "GetVersion: the JNIEnv of thread \"worker\" was used after the thread detached\n");
}

TEST_F(Jni, ADetachFromInsideJavaCodeIsRefused) {
    jclass holder = session->defineClass("vmtest/Holder");
    JavaVM *vm = session->vm();
    jint result = 0;
    session->addMethod(holder, "detach", "()V", 0x8, [&](JNIEnv *, jobject, const jvalue *) {
        result = vm->DetachCurrentThread();
        return jvalue{};
    });
    env()->CallStaticVoidMethod(holder, env()->GetStaticMethodID(holder, "detach", "()V"));
    EXPECT_EQ(result, JNI_ERR);
    EXPECT_EQ(takeProblems(), "DetachCurrentThread: thread \"main\" detached while running Java code "
                              "(vmtest.Holder.detach()V)\n");
}

TEST(VmExit, AThreadStillAttachedKeepsTheVmInMemoryForIt) {
    takeProblems();
    VmSession session;
    JavaVM *vm = session.vm();
    std::atomic<int> step{0};
    std::thread other([&] {
        JNIEnv *theirs = nullptr;
        vm->AttachCurrentThread(reinterpret_cast<void **>(&theirs), nullptr);
        step = 1;
        while (step != 2)
            Sleep(1);
        theirs->GetVersion();
        vm->DetachCurrentThread();
    });
    while (step != 1)
        Sleep(1);
    EXPECT_EQ(session.destroy(), JNI_ERR);
    step = 2;
    other.join();
    EXPECT_EQ(takeProblems(), "thread \"Thread-2\" was still attached when the VM exited\n"
                              "GetVersion was called while no VM runs\n"
                              "the JavaVM was used while no VM runs\n");
}

} // namespace
