// Units start and stop by counters, with the units they need around them.
#include <gtest/gtest.h>

#include <classlib/exception_handler.h>
#include <classlib/exceptions.h>
#include <classlib/units.h>

#include <string>
#include <vector>

namespace {

std::vector<std::wstring> steps;
bool failStart = false;
bool failStop = false;

void baseStart() { steps.push_back(L"base start"); }
void baseStop() { steps.push_back(L"base stop"); }
void otherStart() { steps.push_back(L"other start"); }
void otherStop() { steps.push_back(L"other stop"); }
void topStart() {
    if (failStart)
        throw EInvalidOperation(L"top cannot start");
    steps.push_back(L"top start");
}
void topStop() {
    steps.push_back(L"top stop");
    if (failStop)
        throw EInvalidOperation(L"top cannot stop");
}

constinit TUnit baseUnit{L"base", baseStart, baseStop};
constinit TUnit otherUnit{L"other", otherStart, otherStop, {&baseUnit}};
constinit TUnit topUnit{L"top", topStart, topStop, {&baseUnit, &otherUnit}};

extern TUnit cycleA;
extern TUnit cycleB;
constinit TUnit cycleA{L"cycleA", nullptr, nullptr, {&cycleB}};
constinit TUnit cycleB{L"cycleB", nullptr, nullptr, {&cycleA}};

int liveThings = 0;

class TThing : public TObject {
    CL_CLASS(TThing, TObject)

public:
    TThing() { ++liveThings; }
    ~TThing() override { --liveThings; }
};

class Units : public testing::Test {
protected:
    void SetUp() override {
        steps.clear();
        failStart = failStop = false;
    }
    void TearDown() override {
        EXPECT_FALSE(baseUnit.IsStarted());
        EXPECT_FALSE(otherUnit.IsStarted());
        EXPECT_FALSE(topUnit.IsStarted());
    }
};

} // namespace

TEST_F(Units, AUnitStartedTwiceAndStoppedOnceIsStillUp) {
    baseUnit.Start();
    baseUnit.Start();
    baseUnit.Stop();
    EXPECT_TRUE(baseUnit.IsStarted());
    EXPECT_EQ(steps, (std::vector<std::wstring>{L"base start"}));
    baseUnit.Stop();
    EXPECT_FALSE(baseUnit.IsStarted());
    EXPECT_EQ(steps, (std::vector<std::wstring>{L"base start", L"base stop"}));
}

TEST_F(Units, NeedsStartFirstAndStopLast) {
    topUnit.Start();
    EXPECT_EQ(steps, (std::vector<std::wstring>{L"base start", L"other start", L"top start"}));
    EXPECT_EQ(baseUnit.StartCount(), 2);
    steps.clear();
    topUnit.Stop();
    EXPECT_EQ(steps, (std::vector<std::wstring>{L"top stop", L"other stop", L"base stop"}));
}

TEST_F(Units, AFailedStartUndoesTheStartsOfItsNeeds) {
    failStart = true;
    EXPECT_THROW(topUnit.Start(), EInvalidOperation);
    EXPECT_EQ(steps, (std::vector<std::wstring>{L"base start", L"other start", L"other stop", L"base stop"}));
    failStart = false;
    topUnit.Start();
    EXPECT_TRUE(topUnit.IsStarted());
    topUnit.Stop();
}

TEST_F(Units, AFailedStopStillStopsItsNeeds) {
    topUnit.Start();
    failStop = true;
    EXPECT_THROW(topUnit.Stop(), EInvalidOperation);
    EXPECT_FALSE(baseUnit.IsStarted());
}

TEST_F(Units, AnUnbalancedStopDoesNothing) {
    baseUnit.Stop();
    EXPECT_TRUE(steps.empty());
    EXPECT_EQ(baseUnit.StartCount(), 0);
}

TEST_F(Units, ACycleOfNeedsIsRefused) {
    EXPECT_THROW(cycleA.Start(), EInvalidOperation);
    EXPECT_FALSE(cycleA.IsStarted());
    EXPECT_FALSE(cycleB.IsStarted());
    cycleB.Stop();
}

TEST_F(Units, AScopeStopsItsUnitsInReverse) {
    {
        UnitScope scope{&otherUnit, &topUnit};
        EXPECT_TRUE(topUnit.IsStarted());
    }
    EXPECT_EQ(steps, (std::vector<std::wstring>{L"base start", L"other start", L"top start", L"top stop",
                                                L"other stop", L"base stop"}));
}

TEST_F(Units, AScopeHandsAStopFailureToTheHandler) {
    std::vector<std::wstring> handled;
    TExceptionEvent previous =
        SetExceptionHandler([&](TObject *, const Exception &e) { handled.push_back(e.Message()); });
    {
        UnitScope scope{&topUnit};
        failStop = true;
    }
    SetExceptionHandler(previous);
    EXPECT_EQ(handled, (std::vector<std::wstring>{L"top cannot stop"}));
}

TEST_F(Units, SingletonsLiveFromFirstUseToRelease) {
    TUnitSingleton<TThing> thing;
    EXPECT_EQ(thing.Peek(), nullptr);
    TThing *first = thing.Get();
    EXPECT_EQ(thing.Get(), first);
    EXPECT_EQ(liveThings, 1);
    thing.Release();
    EXPECT_EQ(thing.Peek(), nullptr);
    EXPECT_EQ(liveThings, 0);
    thing.Release();
}
