// The tool-interface function table: every slot this VM does not implement traps, naming it.
#include <cstdlib>
#include <utility>

#include "jvmti_support.h"
#include "slot_names.h"

namespace vm {
namespace {

#define CHECK_SLOT(name)                                                                                   \
    static_assert(offsetof(jvmtiInterface_1_, name) == slotIndex(jvmtiSlotNames, #name) * sizeof(void *), \
                  "JVMTI slot " #name " is out of place");
JVMTI_SLOTS(CHECK_SLOT)
#undef CHECK_SLOT
static_assert(sizeof(jvmtiInterface_1_) == sizeof(jvmtiSlotNames) / sizeof(jvmtiSlotNames[0]) * sizeof(void *));

template <size_t N> void JNICALL trap() {
    report(std::string("tool-interface function ") + jvmtiSlotNames[N] + " is not implemented by this VM");
    abort();
}

template <size_t... I> void fillTraps(void **slots, std::index_sequence<I...>) {
    ((slots[I] = isReserved(jvmtiSlotNames[I]) ? nullptr : reinterpret_cast<void *>(&trap<I>)), ...);
}

jvmtiInterface_1_ build() {
    jvmtiInterface_1_ table{};
    constexpr size_t count = sizeof(jvmtiSlotNames) / sizeof(jvmtiSlotNames[0]);
    fillTraps(reinterpret_cast<void **>(&table), std::make_index_sequence<count>());
    fillEnvironmentFunctions(table);
    fillMonitorFunctions(table);
    fillThreadFunctions(table);
    fillClassFunctions(table);
    return table;
}

} // namespace

const jvmtiInterface_1_ *jvmtiTable() {
    static const jvmtiInterface_1_ table = build();
    return &table;
}

} // namespace vm
