// JNI: arrays and direct byte buffers. Elements handed out are copies, lent until the release,
// whose mode decides whether they are copied back.
#include <cstdlib>
#include <cstring>

#include "jni_support.h"

namespace vm {
namespace {

ArrayObject *arrayOf(JniEntry &e, jarray ref, char type) {
    bool valid = true;
    Object *object = e.object(ref, &valid);
    if (object == nullptr || object->kind != Kind::Array) {
        if (valid)
            e.problem(object == nullptr ? "the array is null" : "a " + object->klass->dottedName() + " is not an array");
        return nullptr;
    }
    auto *array = static_cast<ArrayObject *>(object);
    if (type != 0 && array->elementType != type) {
        e.problem("a " + array->klass->name + " is not an array of " + std::string(1, type));
        return nullptr;
    }
    return array;
}

bool inBounds(JniEntry &e, ArrayObject *array, jsize start, jsize length) {
    if (start < 0 || length < 0 || start > array->length - length) {
        throwNew(*e.thread, "java/lang/ArrayIndexOutOfBoundsException",
                 "Array region " + std::to_string(start) + ".." + std::to_string(static_cast<jlong>(start) + length) +
                     " out of bounds for length " + std::to_string(array->length));
        return false;
    }
    return true;
}

jsize JNICALL GetArrayLength(JNIEnv *env, jarray ref) noexcept {
    JniEntry e(env, "GetArrayLength");
    ArrayObject *array = e.ok ? arrayOf(e, ref, 0) : nullptr;
    return array != nullptr ? array->length : 0;
}

jobjectArray JNICALL NewObjectArray(JNIEnv *env, jsize length, jclass elementClass, jobject initial) noexcept {
    JniEntry e(env, "NewObjectArray");
    Class *klass = e.ok ? e.klass(elementClass) : nullptr;
    if (klass == nullptr)
        return nullptr;
    if (length < 0) {
        throwNew(*e.thread, "java/lang/NegativeArraySizeException", std::to_string(length));
        return nullptr;
    }
    Object *value = e.object(initial);
    if (value != nullptr && !isInstance(value, klass)) {
        throwNew(*e.thread, "java/lang/ArrayStoreException", value->klass->dottedName());
        return nullptr;
    }
    jint failure = 0;
    ArrayObject *array = callFails(*e.vm, e.function, failure) ? nullptr : newArray(*e.vm, "[" + klass->signature(), length);
    if (array == nullptr) {
        throwNew(*e.thread, "java/lang/OutOfMemoryError", "Java heap space");
        return nullptr;
    }
    std::fill(array->refs.begin(), array->refs.end(), value);
    return static_cast<jobjectArray>(e.local(array));
}

jobject JNICALL GetObjectArrayElement(JNIEnv *env, jobjectArray ref, jsize index) noexcept {
    JniEntry e(env, "GetObjectArrayElement");
    ArrayObject *array = e.ok ? arrayOf(e, ref, 'L') : nullptr;
    if (array == nullptr || !inBounds(e, array, index, 1))
        return nullptr;
    Object *value;
    {
        std::lock_guard guard(e.vm->lock);
        value = array->refs[index];
    }
    return e.local(value);
}

void JNICALL SetObjectArrayElement(JNIEnv *env, jobjectArray ref, jsize index, jobject obj) noexcept {
    JniEntry e(env, "SetObjectArrayElement");
    ArrayObject *array = e.ok ? arrayOf(e, ref, 'L') : nullptr;
    if (array == nullptr || !inBounds(e, array, index, 1))
        return;
    Object *value = e.object(obj);
    if (value != nullptr && !isInstance(value, array->klass->component)) {
        throwNew(*e.thread, "java/lang/ArrayStoreException", value->klass->dottedName());
        return;
    }
    std::lock_guard guard(e.vm->lock);
    array->refs[index] = value;
}

jarray newPrimitiveArray(JNIEnv *env, const char *function, char type, jsize length) {
    JniEntry e(env, function);
    if (!e.ok)
        return nullptr;
    if (length < 0) {
        throwNew(*e.thread, "java/lang/NegativeArraySizeException", std::to_string(length));
        return nullptr;
    }
    ArrayObject *array = newArray(*e.vm, std::string("[") + type, length);
    if (array == nullptr) {
        throwNew(*e.thread, "java/lang/OutOfMemoryError", "Java heap space");
        return nullptr;
    }
    return static_cast<jarray>(e.local(array));
}

void *getElements(JNIEnv *env, const char *function, jarray ref, char type, jboolean *isCopy, bool critical) {
    JniEntry e(env, function, critical ? static_cast<unsigned>(CriticalSafe) : 0u);
    ArrayObject *array = e.ok ? arrayOf(e, ref, type) : nullptr;
    if (array == nullptr)
        return nullptr;
    if (array->elementType == 'L') {
        e.problem("the array is not an array of a primitive type");
        return nullptr;
    }
    auto *copy = static_cast<unsigned char *>(malloc(std::max<size_t>(array->bytes.size(), 1)));
    if (copy == nullptr) {
        throwNew(*e.thread, "java/lang/OutOfMemoryError", function);
        return nullptr;
    }
    {
        std::lock_guard guard(e.vm->lock);
        memcpy(copy, array->bytes.data(), array->bytes.size());
        if (critical)
            ++e.thread->criticalDepth;
    }
    lend(e, copy, function, array);
    if (isCopy != nullptr)
        *isCopy = JNI_TRUE;
    return copy;
}

void releaseElements(JNIEnv *env, const char *function, const char *lender, jarray ref, void *elements, jint mode,
                     bool critical) {
    JniEntry e(env, function, critical ? ExceptionSafe | CriticalSafe : ExceptionSafe);
    if (!e.ok)
        return;
    Object *source = e.object(ref);
    if (loanOf(e, elements, lender, source) == nullptr)
        return;
    ArrayObject *array = source != nullptr && source->kind == Kind::Array ? static_cast<ArrayObject *>(source) : nullptr;
    if (mode != 0 && mode != JNI_COMMIT && mode != JNI_ABORT)
        e.problem("the mode " + std::to_string(mode) + " is none of 0, JNI_COMMIT and JNI_ABORT");
    std::lock_guard guard(e.vm->lock);
    if (mode != JNI_ABORT && array != nullptr)
        memcpy(array->bytes.data(), elements, array->bytes.size());
    if (mode != JNI_COMMIT) {
        e.vm->loans.erase(elements);
        free(elements);
        if (critical && e.thread->criticalDepth > 0)
            --e.thread->criticalDepth;
    }
}

void getRegion(JNIEnv *env, const char *function, jarray ref, char type, jsize start, jsize length, void *buffer) {
    JniEntry e(env, function);
    ArrayObject *array = e.ok ? arrayOf(e, ref, type) : nullptr;
    if (array == nullptr || !inBounds(e, array, start, length))
        return;
    if (buffer == nullptr && length > 0) {
        e.problem("the buffer is null");
        return;
    }
    size_t size = elementSize(type);
    std::lock_guard guard(e.vm->lock);
    memcpy(buffer, array->bytes.data() + start * size, length * size);
}

void setRegion(JNIEnv *env, const char *function, jarray ref, char type, jsize start, jsize length, const void *buffer) {
    JniEntry e(env, function);
    ArrayObject *array = e.ok ? arrayOf(e, ref, type) : nullptr;
    if (array == nullptr || !inBounds(e, array, start, length))
        return;
    if (buffer == nullptr && length > 0) {
        e.problem("the buffer is null");
        return;
    }
    size_t size = elementSize(type);
    std::lock_guard guard(e.vm->lock);
    memcpy(array->bytes.data() + start * size, buffer, length * size);
}

#define ARRAY_FAMILY(Name, Type, letter)                                                                         \
    Type##Array JNICALL New##Name##Array(JNIEnv *env, jsize length) noexcept {                                  \
        return static_cast<Type##Array>(newPrimitiveArray(env, "New" #Name "Array", letter, length));            \
    }                                                                                                            \
    Type *JNICALL Get##Name##ArrayElements(JNIEnv *env, Type##Array array, jboolean *isCopy) noexcept {         \
        return static_cast<Type *>(getElements(env, "Get" #Name "ArrayElements", array, letter, isCopy, false)); \
    }                                                                                                            \
    void JNICALL Release##Name##ArrayElements(JNIEnv *env, Type##Array array, Type *elements, jint mode) noexcept { \
        releaseElements(env, "Release" #Name "ArrayElements", "Get" #Name "ArrayElements", array, elements, mode,  \
                        false);                                                                                  \
    }                                                                                                            \
    void JNICALL Get##Name##ArrayRegion(JNIEnv *env, Type##Array array, jsize start, jsize length,               \
                                        Type *buffer) noexcept {                                                 \
        getRegion(env, "Get" #Name "ArrayRegion", array, letter, start, length, buffer);                         \
    }                                                                                                            \
    void JNICALL Set##Name##ArrayRegion(JNIEnv *env, Type##Array array, jsize start, jsize length,               \
                                        const Type *buffer) noexcept {                                           \
        setRegion(env, "Set" #Name "ArrayRegion", array, letter, start, length, buffer);                         \
    }

#define ARRAY_TYPES(X)         \
    X(Boolean, jboolean, 'Z')  \
    X(Byte, jbyte, 'B')        \
    X(Char, jchar, 'C')        \
    X(Short, jshort, 'S')      \
    X(Int, jint, 'I')          \
    X(Long, jlong, 'J')        \
    X(Float, jfloat, 'F')      \
    X(Double, jdouble, 'D')

ARRAY_TYPES(ARRAY_FAMILY)

void *JNICALL GetPrimitiveArrayCritical(JNIEnv *env, jarray array, jboolean *isCopy) noexcept {
    return getElements(env, "GetPrimitiveArrayCritical", array, 0, isCopy, true);
}

void JNICALL ReleasePrimitiveArrayCritical(JNIEnv *env, jarray array, void *elements, jint mode) noexcept {
    releaseElements(env, "ReleasePrimitiveArrayCritical", "GetPrimitiveArrayCritical", array, elements, mode, true);
}

jobject JNICALL NewDirectByteBuffer(JNIEnv *env, void *address, jlong capacity) noexcept {
    JniEntry e(env, "NewDirectByteBuffer");
    if (!e.ok)
        return nullptr;
    if (capacity < 0 || (address == nullptr && capacity > 0)) {
        e.problem("the address is null or the capacity negative");
        return nullptr;
    }
    BufferObject *buffer = allocate<BufferObject>(*e.vm, e.vm->bufferClass);
    buffer->kind = Kind::Buffer;
    buffer->address = address;
    buffer->capacity = capacity;
    return e.local(buffer);
}

void *JNICALL GetDirectBufferAddress(JNIEnv *env, jobject buf) noexcept {
    JniEntry e(env, "GetDirectBufferAddress");
    Object *object = e.ok ? e.object(buf) : nullptr;
    return object != nullptr && object->kind == Kind::Buffer ? static_cast<BufferObject *>(object)->address : nullptr;
}

jlong JNICALL GetDirectBufferCapacity(JNIEnv *env, jobject buf) noexcept {
    JniEntry e(env, "GetDirectBufferCapacity");
    Object *object = e.ok ? e.object(buf) : nullptr;
    return object != nullptr && object->kind == Kind::Buffer ? static_cast<BufferObject *>(object)->capacity : -1;
}

} // namespace

void fillArrayFunctions(JNINativeInterface_ &t) {
    t.GetArrayLength = GetArrayLength;
    t.NewObjectArray = NewObjectArray;
    t.GetObjectArrayElement = GetObjectArrayElement;
    t.SetObjectArrayElement = SetObjectArrayElement;
#define FILL_ARRAYS(Name, Type, letter)                          \
    t.New##Name##Array = New##Name##Array;                       \
    t.Get##Name##ArrayElements = Get##Name##ArrayElements;         \
    t.Release##Name##ArrayElements = Release##Name##ArrayElements; \
    t.Get##Name##ArrayRegion = Get##Name##ArrayRegion;             \
    t.Set##Name##ArrayRegion = Set##Name##ArrayRegion;
    ARRAY_TYPES(FILL_ARRAYS)
    t.GetPrimitiveArrayCritical = GetPrimitiveArrayCritical;
    t.ReleasePrimitiveArrayCritical = ReleasePrimitiveArrayCritical;
    t.NewDirectByteBuffer = NewDirectByteBuffer;
    t.GetDirectBufferAddress = GetDirectBufferAddress;
    t.GetDirectBufferCapacity = GetDirectBufferCapacity;
}

} // namespace vm
