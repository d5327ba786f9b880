// The JNI function table: every slot this VM does not implement traps, naming the slot.
#include <cstdlib>
#include <utility>

#include "jni_support.h"
#include "slot_names.h"

namespace vm {
namespace {

#define CHECK_SLOT(name)                                                                                   \
    static_assert(offsetof(JNINativeInterface_, name) == slotIndex(jniSlotNames, #name) * sizeof(void *), \
                  "JNI slot " #name " is out of place");
JNI_SLOTS(CHECK_SLOT)
#undef CHECK_SLOT
static_assert(sizeof(JNINativeInterface_) == sizeof(jniSlotNames) / sizeof(jniSlotNames[0]) * sizeof(void *));

template <size_t N> void JNICALL trap() {
    report(std::string("JNI function ") + jniSlotNames[N] + " is not implemented by this VM");
    abort();
}

template <size_t... I> void fillTraps(void **slots, std::index_sequence<I...>) {
    ((slots[I] = isReserved(jniSlotNames[I]) ? nullptr : reinterpret_cast<void *>(&trap<I>)), ...);
}

JNINativeInterface_ build() {
    JNINativeInterface_ table{};
    constexpr size_t count = sizeof(jniSlotNames) / sizeof(jniSlotNames[0]);
    fillTraps(reinterpret_cast<void **>(&table), std::make_index_sequence<count>());
    fillClassFunctions(table);
    fillReferenceFunctions(table);
    fillCallFunctions(table);
    fillFieldFunctions(table);
    fillStringFunctions(table);
    fillArrayFunctions(table);
    return table;
}

} // namespace

const JNINativeInterface_ *jniTable() {
    static const JNINativeInterface_ table = build();
    return &table;
}

} // namespace vm
