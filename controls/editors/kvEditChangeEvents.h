// kvEditChangeEvents: holds an editor's change events back while it works on its value.
//
// While locked, a change or an edit-value change is only remembered; the last unlock that asks
// for it raises what was remembered, the change first, and only when someone listens and the
// editor is neither loading nor going away.
#ifndef KV_EDIT_CHANGE_EVENTS_H
#define KV_EDIT_CHANGE_EVENTS_H

#include <classlib/object.h>

#include <cstdint>
#include <exception>

// What the catcher needs of its editor.
class IkvEditChangeEventsTarget {
public:
    virtual bool IsLoadingOrDestroying() = 0;
    virtual bool HasChangeHandlers() = 0;
    virtual bool HasEditValueChangedHandlers() = 0;
    virtual void DoChange() = 0;
    virtual void DoEditValueChanged() = 0;

protected:
    ~IkvEditChangeEventsTarget() = default;
};

class TkvEditChangeEventsCatcher : public TObject {
    CL_CLASS(TkvEditChangeEventsCatcher, TObject)

public:
    void Create(IkvEditChangeEventsTarget *editor) {
        inherited::Create();
        editor_ = editor;
    }

    // The first lock forgets what an earlier bracket left pending.
    void Lock();
    // Unbalanced unlocks do nothing. The last one raises what is pending when invoke is set.
    void Unlock(bool invoke = true);
    bool IsLocked() const noexcept { return lockCount_ > 0; }
    std::int32_t LockCount() const noexcept { return lockCount_; }
    bool ChangePending() const noexcept { return changePending_; }
    bool EditValueChangedPending() const noexcept { return editValueChangedPending_; }
    void SetChangePending() noexcept { changePending_ = true; }
    void SetEditValueChangedPending() noexcept { editValueChangedPending_ = true; }

private:
    IkvEditChangeEventsTarget *editor_ = nullptr;
    std::int32_t lockCount_ = 0;
    bool changePending_ = false;
    bool editValueChangedPending_ = false;
};

// Holds the catcher locked for a scope; the end of the scope raises what is pending. A scope
// left by an exception only unlocks, so that the exception goes on.
class TkvEditChangeEventsLock {
public:
    explicit TkvEditChangeEventsLock(TkvEditChangeEventsCatcher *catcher)
        : catcher_(catcher), exceptions_(std::uncaught_exceptions()) {
        catcher_->Lock();
    }
    ~TkvEditChangeEventsLock() noexcept(false);
    TkvEditChangeEventsLock(const TkvEditChangeEventsLock &) = delete;
    TkvEditChangeEventsLock &operator=(const TkvEditChangeEventsLock &) = delete;

private:
    TkvEditChangeEventsCatcher *catcher_;
    // Exceptions already in flight when the scope began (a lock inside a destructor run by one).
    int exceptions_;
};

#endif
