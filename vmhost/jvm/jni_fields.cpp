// JNI: instance and static fields, checked against the field's type and owner.
#include "jni_support.h"

namespace vm {
namespace {

// The field and the object holding it (null for a static field), or false (reported).
bool access(JniEntry &e, jobject holder, jfieldID id, bool isStatic, char letter, Field *&field, Object *&object) {
    if (!e.ok)
        return false;
    field = e.field(id);
    if (field == nullptr)
        return false;
    char type = field->signature[0] == '[' ? 'L' : field->signature[0];
    if (type != letter)
        e.problem(field->owner->dottedName() + "." + field->name + " has the type " + field->signature);
    if (field->isStatic() != isStatic) {
        e.problem(field->owner->dottedName() + "." + field->name + (field->isStatic() ? " is static" : " is not static"));
        return false;
    }
    object = nullptr;
    if (isStatic) {
        Class *klass = e.klass(static_cast<jclass>(holder));
        if (klass != nullptr && !isAssignable(klass, field->owner))
            e.problem(field->owner->dottedName() + "." + field->name + " is not a field of " + klass->dottedName());
        return true;
    }
    object = e.object(holder);
    if (object == nullptr) {
        e.problem("the object is null");
        return false;
    }
    if (!isInstance(object, field->owner)) {
        e.problem("a " + object->klass->dottedName() + " has no field " + field->owner->dottedName() + "." + field->name);
        return false;
    }
    return true;
}

jvalue getCore(JNIEnv *env, const char *function, jobject holder, jfieldID id, bool isStatic, char letter) {
    JniEntry e(env, function);
    Field *field;
    Object *object;
    if (!access(e, holder, id, isStatic, letter, field, object))
        return jvalue{};
    jvalue value = fieldValue(*e.vm, object, field);
    if (letter == 'L')
        value.l = e.local(reinterpret_cast<Object *>(value.l));
    return value;
}

void setCore(JNIEnv *env, const char *function, jobject holder, jfieldID id, bool isStatic, char letter, jvalue value) {
    JniEntry e(env, function);
    Field *field;
    Object *object;
    if (!access(e, holder, id, isStatic, letter, field, object))
        return;
    if (letter == 'L') {
        Object *target = e.object(value.l);
        if (!fitsDescriptor(*e.vm, target, field->signature)) {
            e.problem("a " + target->klass->dottedName() + " cannot be stored in " + field->owner->dottedName() + "." +
                      field->name + " of type " + field->signature);
            return;
        }
        value = objectValue(target);
    }
    setFieldValue(*e.vm, object, field, value);
}

#define FIELD_FAMILY(Name, Type, letter, member)                                                           \
    Type JNICALL Get##Name##Field(JNIEnv *env, jobject obj, jfieldID id) noexcept {                       \
        return static_cast<Type>(getCore(env, "Get" #Name "Field", obj, id, false, letter).member);        \
    }                                                                                                      \
    Type JNICALL GetStatic##Name##Field(JNIEnv *env, jclass cls, jfieldID id) noexcept {                  \
        return static_cast<Type>(getCore(env, "GetStatic" #Name "Field", cls, id, true, letter).member);   \
    }                                                                                                      \
    void JNICALL Set##Name##Field(JNIEnv *env, jobject obj, jfieldID id, Type value) noexcept {           \
        jvalue v{};                                                                                        \
        v.member = value;                                                                                  \
        setCore(env, "Set" #Name "Field", obj, id, false, letter, v);                                      \
    }                                                                                                      \
    void JNICALL SetStatic##Name##Field(JNIEnv *env, jclass cls, jfieldID id, Type value) noexcept {      \
        jvalue v{};                                                                                        \
        v.member = value;                                                                                  \
        setCore(env, "SetStatic" #Name "Field", cls, id, true, letter, v);                                 \
    }

JNI_VALUE_TYPES(FIELD_FAMILY)

} // namespace

void fillFieldFunctions(JNINativeInterface_ &t) {
#define FILL_FIELDS(Name, Type, letter, member)    \
    t.Get##Name##Field = Get##Name##Field;             \
    t.GetStatic##Name##Field = GetStatic##Name##Field; \
    t.Set##Name##Field = Set##Name##Field;             \
    t.SetStatic##Name##Field = SetStatic##Name##Field;
    JNI_VALUE_TYPES(FILL_FIELDS)
}

} // namespace vm
