// JNI: strings. Contents handed out are copies, lent until given back with the matching release.
#include <cstdlib>
#include <cstring>

#include "jni_support.h"

namespace vm {
namespace {

StringObject *stringOf(JniEntry &e, jstring str) {
    bool valid = true;
    Object *object = e.object(str, &valid);
    if (object == nullptr || object->kind != Kind::String) {
        if (valid)
            e.problem(object == nullptr ? "the string is null" : "a " + object->klass->dottedName() + " is not a String");
        return nullptr;
    }
    return static_cast<StringObject *>(object);
}

jstring JNICALL NewString(JNIEnv *env, const jchar *chars, jsize length) noexcept {
    JniEntry e(env, "NewString");
    if (!e.ok)
        return nullptr;
    if (length < 0 || (chars == nullptr && length > 0)) {
        e.problem("the characters are missing or their count is negative");
        return nullptr;
    }
    std::u16string text(reinterpret_cast<const char16_t *>(chars), reinterpret_cast<const char16_t *>(chars) + length);
    return static_cast<jstring>(e.local(newString(*e.vm, text)));
}

jstring JNICALL NewStringUTF(JNIEnv *env, const char *bytes) noexcept {
    JniEntry e(env, "NewStringUTF");
    if (!e.ok || bytes == nullptr)
        return nullptr;
    bool wellFormed = true;
    std::u16string text = decodeModifiedUtf8(bytes, &wellFormed);
    if (!wellFormed)
        e.problem("the text is not modified UTF-8: \"" + toDisplay(text) + "\"");
    return static_cast<jstring>(e.local(newString(*e.vm, text)));
}

jsize JNICALL GetStringLength(JNIEnv *env, jstring str) noexcept {
    JniEntry e(env, "GetStringLength");
    StringObject *string = e.ok ? stringOf(e, str) : nullptr;
    return string != nullptr ? static_cast<jsize>(string->chars.size()) : 0;
}

jsize JNICALL GetStringUTFLength(JNIEnv *env, jstring str) noexcept {
    JniEntry e(env, "GetStringUTFLength");
    StringObject *string = e.ok ? stringOf(e, str) : nullptr;
    return string != nullptr ? static_cast<jsize>(encodeModifiedUtf8(string->chars).size()) : 0;
}

namespace {

// A zero-terminated copy of count characters lent to native code until its release call;
// null (with OutOfMemoryError pending) when no memory is left.
template <class C> C *lendCopy(JniEntry &e, const C *data, size_t count, const char *what, StringObject *source) {
    auto *copy = static_cast<C *>(malloc((count + 1) * sizeof(C)));
    if (copy == nullptr) {
        throwNew(*e.thread, "java/lang/OutOfMemoryError", e.function);
        return nullptr;
    }
    memcpy(copy, data, count * sizeof(C));
    copy[count] = 0;
    lend(e, copy, what, source);
    return copy;
}

// Takes back a copy lent by the call named what; false (with the fault reported) for anything else.
bool takeBack(JniEntry &e, const void *chars, const char *what, jstring str) {
    if (!e.ok || loanOf(e, chars, what, e.object(str)) == nullptr)
        return false;
    std::lock_guard guard(e.vm->lock);
    e.vm->loans.erase(chars);
    free(const_cast<void *>(chars));
    return true;
}

} // namespace

const jchar *JNICALL GetStringChars(JNIEnv *env, jstring str, jboolean *isCopy) noexcept {
    JniEntry e(env, "GetStringChars");
    StringObject *string = e.ok ? stringOf(e, str) : nullptr;
    if (string == nullptr)
        return nullptr;
    jchar *copy = lendCopy(e, reinterpret_cast<const jchar *>(string->chars.data()), string->chars.size(),
                           "GetStringChars", string);
    if (copy == nullptr)
        return nullptr;
    if (isCopy != nullptr)
        *isCopy = JNI_TRUE;
    return copy;
}

void JNICALL ReleaseStringChars(JNIEnv *env, jstring str, const jchar *chars) noexcept {
    JniEntry e(env, "ReleaseStringChars", ExceptionSafe);
    takeBack(e, chars, "GetStringChars", str);
}

const char *JNICALL GetStringUTFChars(JNIEnv *env, jstring str, jboolean *isCopy) noexcept {
    JniEntry e(env, "GetStringUTFChars");
    StringObject *string = e.ok ? stringOf(e, str) : nullptr;
    if (string == nullptr)
        return nullptr;
    std::string text = encodeModifiedUtf8(string->chars);
    char *copy = lendCopy(e, text.data(), text.size(), "GetStringUTFChars", string);
    if (copy == nullptr)
        return nullptr;
    if (isCopy != nullptr)
        *isCopy = JNI_TRUE;
    return copy;
}

void JNICALL ReleaseStringUTFChars(JNIEnv *env, jstring str, const char *chars) noexcept {
    JniEntry e(env, "ReleaseStringUTFChars", ExceptionSafe);
    takeBack(e, chars, "GetStringUTFChars", str);
}

void JNICALL GetStringRegion(JNIEnv *env, jstring str, jsize start, jsize length, jchar *buffer) noexcept {
    JniEntry e(env, "GetStringRegion");
    StringObject *string = e.ok ? stringOf(e, str) : nullptr;
    if (string == nullptr)
        return;
    jsize size = static_cast<jsize>(string->chars.size());
    if (start < 0 || length < 0 || start > size - length) {
        throwNew(*e.thread, "java/lang/StringIndexOutOfBoundsException", std::to_string(start));
        return;
    }
    if (buffer == nullptr) {
        e.problem("the buffer is null");
        return;
    }
    memcpy(buffer, string->chars.data() + start, static_cast<size_t>(length) * sizeof(jchar));
}

void JNICALL GetStringUTFRegion(JNIEnv *env, jstring str, jsize start, jsize length, char *buffer) noexcept {
    JniEntry e(env, "GetStringUTFRegion");
    StringObject *string = e.ok ? stringOf(e, str) : nullptr;
    if (string == nullptr)
        return;
    jsize size = static_cast<jsize>(string->chars.size());
    if (start < 0 || length < 0 || start > size - length) {
        throwNew(*e.thread, "java/lang/StringIndexOutOfBoundsException", std::to_string(start));
        return;
    }
    if (buffer == nullptr) {
        e.problem("the buffer is null");
        return;
    }
    std::string text = encodeModifiedUtf8(string->chars.substr(start, length));
    memcpy(buffer, text.c_str(), text.size() + 1);
}

const jchar *JNICALL GetStringCritical(JNIEnv *env, jstring str, jboolean *isCopy) noexcept {
    JniEntry e(env, "GetStringCritical", CriticalSafe);
    StringObject *string = e.ok ? stringOf(e, str) : nullptr;
    if (string == nullptr)
        return nullptr;
    jchar *copy = lendCopy(e, reinterpret_cast<const jchar *>(string->chars.data()), string->chars.size(),
                           "GetStringCritical", string);
    if (copy == nullptr)
        return nullptr;
    std::lock_guard guard(e.vm->lock);
    ++e.thread->criticalDepth;
    if (isCopy != nullptr)
        *isCopy = JNI_TRUE;
    return copy;
}

void JNICALL ReleaseStringCritical(JNIEnv *env, jstring str, const jchar *chars) noexcept {
    JniEntry e(env, "ReleaseStringCritical", ExceptionSafe | CriticalSafe);
    if (!takeBack(e, chars, "GetStringCritical", str))
        return;
    std::lock_guard guard(e.vm->lock);
    if (e.thread->criticalDepth > 0)
        --e.thread->criticalDepth;
}

} // namespace

void fillStringFunctions(JNINativeInterface_ &t) {
    t.NewString = NewString;
    t.NewStringUTF = NewStringUTF;
    t.GetStringLength = GetStringLength;
    t.GetStringUTFLength = GetStringUTFLength;
    t.GetStringChars = GetStringChars;
    t.ReleaseStringChars = ReleaseStringChars;
    t.GetStringUTFChars = GetStringUTFChars;
    t.ReleaseStringUTFChars = ReleaseStringUTFChars;
    t.GetStringRegion = GetStringRegion;
    t.GetStringUTFRegion = GetStringUTFRegion;
    t.GetStringCritical = GetStringCritical;
    t.ReleaseStringCritical = ReleaseStringCritical;
}

} // namespace vm
