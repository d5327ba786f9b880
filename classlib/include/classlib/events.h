// Events as callables.
//
// Stands in for the compiler's method pointers ("procedure of object"): an event is a
// std::function, unassigned when empty; callers test it before calling, as the control library
// tests an event for being assigned. Bind makes one from an object and one of its methods.
#ifndef CLASSLIB_EVENTS_H
#define CLASSLIB_EVENTS_H

#include <functional>
#include <utility>

class TObject;

template <class Signature> using TEvent = std::function<Signature>;

using TNotifyEvent = TEvent<void(TObject *sender)>;

template <class T, class R, class... A> std::function<R(A...)> Bind(T *object, R (T::*method)(A...)) {
    return [object, method](A... args) -> R { return (object->*method)(std::forward<A>(args)...); };
}

#endif
