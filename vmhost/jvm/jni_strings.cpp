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

const jchar *JNICALL GetStringChars(JNIEnv *env, jstring str, jboolean *isCopy) noexcept {
    JniEntry e(env, "GetStringChars");
    StringObject *string = e.ok ? stringOf(e, str) : nullptr;
    if (string == nullptr)
        return nullptr;
    auto *copy = static_cast<jchar *>(malloc((string->chars.size() + 1) * sizeof(jchar)));
    if (copy == nullptr) {
        throwNew(*e.thread, "java/lang/OutOfMemoryError", e.function);
        return nullptr;
    }
    memcpy(copy, string->chars.data(), string->chars.size() * sizeof(jchar));
    copy[string->chars.size()] = 0;
    lend(e, copy, "GetStringChars", string);
    if (isCopy != nullptr)
        *isCopy = JNI_TRUE;
    return copy;
}

void JNICALL ReleaseStringChars(JNIEnv *env, jstring str, const jchar *chars) noexcept {
    JniEntry e(env, "ReleaseStringChars", ExceptionSafe);
    if (!e.ok || loanOf(e, chars, "GetStringChars", e.object(str)) == nullptr)
        return;
    std::lock_guard guard(e.vm->lock);
    e.vm->loans.erase(chars);
    free(const_cast<void *>(static_cast<const void *>(chars)));
}

const char *JNICALL GetStringUTFChars(JNIEnv *env, jstring str, jboolean *isCopy) noexcept {
    JniEntry e(env, "GetStringUTFChars");
    StringObject *string = e.ok ? stringOf(e, str) : nullptr;
    if (string == nullptr)
        return nullptr;
    std::string text = encodeModifiedUtf8(string->chars);
    auto *copy = static_cast<char *>(malloc(text.size() + 1));
    if (copy == nullptr) {
        throwNew(*e.thread, "java/lang/OutOfMemoryError", e.function);
        return nullptr;
    }
    memcpy(copy, text.c_str(), text.size() + 1);
    lend(e, copy, "GetStringUTFChars", string);
    if (isCopy != nullptr)
        *isCopy = JNI_TRUE;
    return copy;
}

void JNICALL ReleaseStringUTFChars(JNIEnv *env, jstring str, const char *chars) noexcept {
    JniEntry e(env, "ReleaseStringUTFChars", ExceptionSafe);
    if (!e.ok || loanOf(e, chars, "GetStringUTFChars", e.object(str)) == nullptr)
        return;
    std::lock_guard guard(e.vm->lock);
    e.vm->loans.erase(chars);
    free(const_cast<void *>(static_cast<const void *>(chars)));
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
    auto *copy = static_cast<jchar *>(malloc((string->chars.size() + 1) * sizeof(jchar)));
    if (copy == nullptr) {
        throwNew(*e.thread, "java/lang/OutOfMemoryError", e.function);
        return nullptr;
    }
    memcpy(copy, string->chars.data(), string->chars.size() * sizeof(jchar));
    copy[string->chars.size()] = 0;
    lend(e, copy, "GetStringCritical", string);
    std::lock_guard guard(e.vm->lock);
    ++e.thread->criticalDepth;
    if (isCopy != nullptr)
        *isCopy = JNI_TRUE;
    return copy;
}

void JNICALL ReleaseStringCritical(JNIEnv *env, jstring str, const jchar *chars) noexcept {
    JniEntry e(env, "ReleaseStringCritical", ExceptionSafe | CriticalSafe);
    if (!e.ok || loanOf(e, chars, "GetStringCritical", e.object(str)) == nullptr)
        return;
    std::lock_guard guard(e.vm->lock);
    e.vm->loans.erase(chars);
    free(const_cast<void *>(static_cast<const void *>(chars)));
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
