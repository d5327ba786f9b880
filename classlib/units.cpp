#include "classlib/units.h"

#include "classlib/exception_handler.h"
#include "classlib/exceptions.h"
#include "classlib_strings.h"

void TUnit::Start() {
    if (starting_)
        throw EInvalidOperation(FormatResString(SUnitCycle, {name_}));
    if (count_ > 0) {
        ++count_;
        return;
    }
    starting_ = true;
    std::size_t started = 0;
    try {
        for (; started < needCount_; ++started)
            needs_[started]->Start();
        if (start_ != nullptr)
            start_();
    } catch (...) {
        starting_ = false;
        stopNeeds(started);
        throw;
    }
    starting_ = false;
    count_ = 1;
}

void TUnit::Stop() {
    if (count_ == 0 || --count_ > 0)
        return;
    try {
        if (stop_ != nullptr)
            stop_();
    } catch (...) {
        stopNeeds(needCount_);
        throw;
    }
    stopNeeds(needCount_);
}

void TUnit::stopNeeds(std::size_t count) noexcept {
    while (count > 0) {
        try {
            needs_[--count]->Stop();
        } catch (...) {
            HandleException(nullptr);
        }
    }
}

UnitScope::UnitScope(std::initializer_list<TUnit *> units) {
    started_.reserve(units.size());
    try {
        for (TUnit *unit : units) {
            unit->Start();
            started_.push_back(unit);
        }
    } catch (...) {
        stopAll();
        throw;
    }
}

UnitScope::~UnitScope() { stopAll(); }

void UnitScope::stopAll() noexcept {
    while (!started_.empty()) {
        TUnit *unit = started_.back();
        started_.pop_back();
        try {
            unit->Stop();
        } catch (...) {
            HandleException(nullptr);
        }
    }
}
