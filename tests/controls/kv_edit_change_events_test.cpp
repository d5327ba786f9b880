// The editor's change-events catcher: held back while locked, raised once by the last unlock,
// in the editor's order, and only when someone listens and the editor can take them.
#include <gtest/gtest.h>

#include <classlib/exceptions.h>

#include <stdexcept>
#include <string>

#include "kvEditChangeEvents.h"

namespace {

struct RecordingEditor : IkvEditChangeEventsTarget {
    bool IsLoadingOrDestroying() override { return loading; }
    bool HasChangeHandlers() override { return changeHandlers; }
    bool HasEditValueChangedHandlers() override { return valueHandlers; }
    void DoChange() override {
        log += "change;";
        if (throwOnChange)
            throw std::runtime_error("handler");
    }
    void DoEditValueChanged() override { log += "value;"; }

    bool loading = false;
    bool changeHandlers = true;
    bool valueHandlers = true;
    bool throwOnChange = false;
    std::string log;
};

TEST(KvEditChangeEvents, TheLastUnlockRaisesWhatIsPendingChangeFirst) {
    RecordingEditor editor;
    TOwned<TkvEditChangeEventsCatcher> catcher(New<TkvEditChangeEventsCatcher>(&editor));
    catcher->Lock();
    catcher->Lock();
    catcher->SetEditValueChangedPending();
    catcher->SetChangePending();
    catcher->Unlock();
    EXPECT_EQ(editor.log, "") << "still locked once";
    EXPECT_TRUE(catcher->IsLocked());
    catcher->Unlock();
    EXPECT_EQ(editor.log, "change;value;");
    EXPECT_FALSE(catcher->IsLocked());
    catcher->Unlock();
    EXPECT_EQ(catcher->LockCount(), 0) << "an unbalanced unlock does nothing";

    // A new bracket forgets what the last one left; nothing pending raises nothing.
    editor.log.clear();
    catcher->Lock();
    EXPECT_FALSE(catcher->ChangePending());
    catcher->Unlock();
    EXPECT_EQ(editor.log, "");
}

TEST(KvEditChangeEvents, NothingIsRaisedWithoutListenersInvokeOrAWorkingEditor) {
    RecordingEditor editor;
    TOwned<TkvEditChangeEventsCatcher> catcher(New<TkvEditChangeEventsCatcher>(&editor));
    auto bracket = [&](bool invoke) {
        catcher->Lock();
        catcher->SetChangePending();
        catcher->SetEditValueChangedPending();
        catcher->Unlock(invoke);
    };
    bracket(false);
    EXPECT_EQ(editor.log, "");
    editor.changeHandlers = false;
    bracket(true);
    EXPECT_EQ(editor.log, "value;");
    editor.log.clear();
    editor.changeHandlers = true;
    editor.loading = true;
    bracket(true);
    EXPECT_EQ(editor.log, "");
}

TEST(KvEditChangeEvents, AScopeLeftByAnExceptionUnlocksWithoutRaising) {
    RecordingEditor editor;
    TOwned<TkvEditChangeEventsCatcher> catcher(New<TkvEditChangeEventsCatcher>(&editor));
    try {
        TkvEditChangeEventsLock lock(catcher.get());
        catcher->SetChangePending();
        throw std::runtime_error("validation");
    } catch (const std::runtime_error &) {
    }
    EXPECT_FALSE(catcher->IsLocked());
    EXPECT_EQ(editor.log, "");
    {
        TkvEditChangeEventsLock lock(catcher.get());
        catcher->SetChangePending();
    }
    EXPECT_EQ(editor.log, "change;");
    // A handler that raises at the end of the scope: the exception goes on, the lock is gone.
    editor.throwOnChange = true;
    EXPECT_THROW(
        {
            TkvEditChangeEventsLock lock(catcher.get());
            catcher->SetChangePending();
        },
        std::runtime_error);
    EXPECT_FALSE(catcher->IsLocked());
}

// A scope that begins and ends inside a destructor run by an exception is left normally.
struct LockedWhileUnwinding {
    TkvEditChangeEventsCatcher *catcher;
    ~LockedWhileUnwinding() {
        TkvEditChangeEventsLock lock(catcher);
        catcher->SetChangePending();
    }
};

TEST(KvEditChangeEvents, AScopeInsideAnUnwindingDestructorStillRaises) {
    RecordingEditor editor;
    TOwned<TkvEditChangeEventsCatcher> catcher(New<TkvEditChangeEventsCatcher>(&editor));
    try {
        LockedWhileUnwinding cleanup{catcher.get()};
        throw std::runtime_error("elsewhere");
    } catch (const std::runtime_error &) {
    }
    EXPECT_EQ(editor.log, "change;");
    EXPECT_FALSE(catcher->IsLocked());
}

} // namespace
