// Counted unit start and end, and singletons that live from first use to unit end.
//
// Stands in for the initialisation and finalisation sections of the compiler's units. A unit
// names the units it needs; starting it starts them first, in the order given; only its first
// start runs its start step and only its last stop runs its stop step, after which it stops what
// it needs in reverse order. The program's main starts its units in dependency order and stops
// them in reverse (UnitScope). All on the one user-interface thread; nothing is locked.
#ifndef CLASSLIB_UNITS_H
#define CLASSLIB_UNITS_H

#include <array>
#include <cstddef>
#include <initializer_list>
#include <vector>

#include "object.h"

class TUnit {
public:
    using Step = void (*)();
    static constexpr std::size_t maxNeeds = 8;

    constexpr TUnit(const wchar_t *name, Step start, Step stop, std::initializer_list<TUnit *> needs = {})
        : name_(name), start_(start), stop_(stop) {
        if (needs.size() > maxNeeds)
            throw "a unit needs at most maxNeeds units"; // refused at compile time for constinit units
        for (TUnit *unit : needs)
            needs_[needCount_++] = unit;
    }
    TUnit(const TUnit &) = delete;
    TUnit &operator=(const TUnit &) = delete;

    // Raises what the start step raises, having undone the starts of what it needs; raises
    // EInvalidOperation when the unit is reached again while it starts (a cycle of needs).
    void Start();
    // An unbalanced stop does nothing. What the stop step raises is raised after the units it
    // needs were stopped.
    void Stop();
    bool IsStarted() const noexcept { return count_ > 0; }
    int StartCount() const noexcept { return count_; }
    const wchar_t *Name() const noexcept { return name_; }

private:
    void stopNeeds(std::size_t count) noexcept;

    const wchar_t *name_;
    Step start_;
    Step stop_;
    std::array<TUnit *, maxNeeds> needs_{};
    std::size_t needCount_ = 0;
    int count_ = 0;
    bool starting_ = false;
};

// Starts units in the order given and stops them in reverse when it goes.
class UnitScope {
public:
    UnitScope(std::initializer_list<TUnit *> units);
    ~UnitScope();
    UnitScope(const UnitScope &) = delete;
    UnitScope &operator=(const UnitScope &) = delete;

private:
    void stopAll() noexcept;

    std::vector<TUnit *> started_;
};

// A library-wide object made on first use (or at unit start) and freed at unit end.
template <class T> class TUnitSingleton {
public:
    constexpr TUnitSingleton() = default;
    TUnitSingleton(const TUnitSingleton &) = delete;
    TUnitSingleton &operator=(const TUnitSingleton &) = delete;

    T *Get() {
        if (instance_ == nullptr)
            instance_ = New<T>();
        return instance_;
    }
    T *Peek() const noexcept { return instance_; }
    void Release() { FreeAndNil(instance_); }

private:
    T *instance_ = nullptr;
};

#endif
