// A variable set for the length of a scope and given back at its end, also when an exception
// leaves the scope.
#pragma once

template <typename T>
class TkvScopedValue {
public:
    TkvScopedValue(T &target, T value) : target_(target), saved_(target) { target_ = value; }
    ~TkvScopedValue() { target_ = saved_; }
    TkvScopedValue(const TkvScopedValue &) = delete;
    TkvScopedValue &operator=(const TkvScopedValue &) = delete;

private:
    T &target_;
    T saved_;
};
