// Look-and-feel objects without windows: inheritance along masters and the root, change notices
// and their listeners, controllers on the root, the painter choice, and the order in which a
// system-colour change reaches the palette notifiers.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <classlib/units.h>

#include "kvLookAndFeels.h"
#include "system_colors.h"
#include "theme.h"

namespace {

class LookAndFeelTest : public ::testing::Test {
protected:
    void SetUp() override {
        units_ = new UnitScope{&kvLookAndFeelsUnit};
        root = GetRootLookAndFeel();
        ASSERT_NE(root, nullptr);
    }
    void TearDown() override {
        delete units_;
        units_ = nullptr;
    }
    TOwned<TkvLookAndFeel> make() { return TOwned<TkvLookAndFeel>(New<TkvLookAndFeel>(static_cast<TPersistent *>(nullptr))); }

    TkvLookAndFeel *root = nullptr;

private:
    UnitScope *units_ = nullptr;
};

// Records what it is told, and may act on the sender while being told.
struct Recorder : IkvLookAndFeelListener {
    std::string name;
    std::vector<std::string> *log;
    std::function<void()> onChange;
    explicit Recorder(std::string n, std::vector<std::string> *l) : name(std::move(n)), log(l) {}
    TObject *GetListenerObject() override { return nullptr; }
    void LookAndFeelChanged(TkvLookAndFeel *, TkvLookAndFeelValues values) override {
        log->push_back(name + (values.Contains(lfvKind) ? " kind" : "") + (values.Contains(lfvNativeStyle) ? " native" : ""));
        if (onChange)
            onChange();
    }
    void LookAndFeelDestroying(TkvLookAndFeel *) override { log->push_back(name + " destroying"); }
};

TEST_F(LookAndFeelTest, UnassignedValuesFollowTheRoot) {
    auto laf = make();
    EXPECT_EQ(laf->Kind(), root->Kind());
    EXPECT_EQ(laf->Kind(), lfUltraFlat);
    std::vector<TkvLookAndFeelValues> fired;
    laf->OnChanged = [&](TkvLookAndFeel *, TkvLookAndFeelValues values) { fired.push_back(values); };
    root->SetKind(lfOffice11);
    EXPECT_EQ(laf->Kind(), lfOffice11);
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_TRUE(fired[0] == TkvLookAndFeelValues{lfvKind});

    // Its own value stops the root's from passing.
    laf->SetKind(lfFlat);
    EXPECT_TRUE(laf->IsKindStored());
    root->SetKind(lfStandard);
    EXPECT_EQ(laf->Kind(), lfFlat);
    EXPECT_EQ(fired.size(), 2u);
    root->SetNativeStyle(true);
    EXPECT_TRUE(laf->NativeStyle());
    EXPECT_TRUE(fired.back() == TkvLookAndFeelValues{lfvNativeStyle});

    // A value equal to the inherited one is assigned, and nothing fires.
    auto other = make();
    size_t before = fired.size();
    int otherFired = 0;
    other->OnChanged = [&](TkvLookAndFeel *, TkvLookAndFeelValues) { ++otherFired; };
    other->SetKind(lfStandard);
    EXPECT_TRUE(other->AssignedValues().Contains(lfvKind));
    EXPECT_EQ(otherFired, 0);
    EXPECT_EQ(fired.size(), before);
    // Unassigning takes the inherited value again.
    laf->SetAssignedValues(TkvLookAndFeelValues{});
    EXPECT_EQ(laf->Kind(), lfStandard);
}

TEST_F(LookAndFeelTest, MastersPassOnAndChainsThatReachThemselvesAreRefused) {
    auto a = make();
    auto b = make();
    auto c = make();
    b->SetMasterLookAndFeel(a.get());
    c->SetMasterLookAndFeel(b.get());
    a->SetKind(lfFlat);
    EXPECT_EQ(b->Kind(), lfFlat);
    EXPECT_EQ(c->Kind(), lfFlat);
    a->SetMasterLookAndFeel(c.get()); // c follows b follows a
    EXPECT_EQ(a->MasterLookAndFeel(), nullptr);
    a->SetMasterLookAndFeel(b.get());
    EXPECT_EQ(a->MasterLookAndFeel(), nullptr);
    a->SetMasterLookAndFeel(a.get());
    EXPECT_EQ(a->MasterLookAndFeel(), nullptr);
    root->SetMasterLookAndFeel(a.get());
    EXPECT_EQ(root->MasterLookAndFeel(), nullptr);
    // Still consistent: a change of a reaches the chain once and ends.
    a->SetKind(lfOffice11);
    EXPECT_EQ(c->Kind(), lfOffice11);
    // Assign takes over the source's master, never one that leads back.
    auto d = make();
    d->Assign(c.get());
    EXPECT_EQ(d->MasterLookAndFeel(), b.get());
    b->Assign(c.get());
    EXPECT_EQ(b->MasterLookAndFeel(), a.get());
}

TEST_F(LookAndFeelTest, DestroyingAMasterFallsBackToTheRoot) {
    auto master = make();
    auto follower = make();
    follower->SetMasterLookAndFeel(master.get());
    master->SetKind(lfFlat);
    root->SetKind(lfStandard);
    EXPECT_EQ(follower->Kind(), lfFlat);
    master.reset();
    EXPECT_EQ(follower->MasterLookAndFeel(), nullptr);
    EXPECT_EQ(follower->Kind(), lfStandard);
    root->SetKind(lfOffice11);
    EXPECT_EQ(follower->Kind(), lfOffice11);
}

TEST_F(LookAndFeelTest, ListenersAreToldInOrderOnceEachWhateverTheyDo) {
    auto laf = make();
    std::vector<std::string> log;
    Recorder first("first", &log), second("second", &log), third("third", &log), late("late", &log);
    laf->AddChangeListener(&first);
    laf->AddChangeListener(&second);
    laf->AddChangeListener(&second);
    laf->AddChangeListener(&third);
    EXPECT_EQ(laf->ListenerCount(), 3);
    // The first removes itself, the second adds one and removes the third.
    first.onChange = [&] { laf->RemoveChangeListener(&first); };
    second.onChange = [&] {
        laf->AddChangeListener(&late);
        laf->RemoveChangeListener(&third);
    };
    laf->SetKind(lfFlat);
    EXPECT_EQ(log, (std::vector<std::string>{"first kind", "second kind"}));
    log.clear();
    second.onChange = nullptr;
    laf->SetKind(lfStandard);
    EXPECT_EQ(log, (std::vector<std::string>{"second kind", "late kind"}));
    log.clear();
    laf.reset();
    EXPECT_EQ(log, (std::vector<std::string>{"second destroying", "late destroying"}));
}

TEST_F(LookAndFeelTest, ControllersOnlyOnTheRootAndTheLastOneClearsIt) {
    TOwned<TkvLookAndFeelController> one(New<TkvLookAndFeelController>(nullptr));
    TOwned<TkvLookAndFeelController> two(New<TkvLookAndFeelController>(nullptr));
    EXPECT_EQ(LookAndFeelControllerCount(), 2);
    auto other = make();
    other->AddChangeListener(one.get());
    EXPECT_EQ(other->ListenerCount(), 0);
    one->SetKind(lfOffice11);
    two->SetNativeStyle(true);
    EXPECT_EQ(root->Kind(), lfOffice11);
    EXPECT_TRUE((root->AssignedValues() == TkvLookAndFeelValues{lfvKind, lfvNativeStyle}));
    one.reset();
    EXPECT_EQ(LookAndFeelControllerCount(), 1);
    EXPECT_TRUE((root->AssignedValues() == TkvLookAndFeelValues{lfvKind, lfvNativeStyle}));
    two.reset();
    EXPECT_EQ(LookAndFeelControllerCount(), 0);
    EXPECT_TRUE(root->AssignedValues().Empty());
    EXPECT_EQ(root->Kind(), lfUltraFlat);
    EXPECT_EQ(other->Kind(), lfUltraFlat);
}

TEST_F(LookAndFeelTest, PainterOfTheKindWithoutTheNativeStyle) {
    auto laf = make();
    const TkvLookAndFeelKind kinds[] = {lfFlat, lfStandard, lfUltraFlat, lfOffice11};
    const TkvPainterClass painters[] = {PainterOf<TkvFlatLookAndFeelPainter>(), PainterOf<TkvStandardLookAndFeelPainter>(),
                                        PainterOf<TkvUltraFlatLookAndFeelPainter>(),
                                        PainterOf<TkvOffice11LookAndFeelPainter>()};
    for (int i = 0; i < 4; ++i) {
        laf->SetKind(kinds[i]);
        EXPECT_EQ(laf->GetPainter(), painters[i]);
        EXPECT_EQ(laf->GetPainterClass(totButton), painters[i]);
        EXPECT_EQ(laf->GetPainter()->GetPainterStyle(), i == 0 ? 0 : i == 1 ? 1 : i == 2 ? 2 : 4);
    }
}

// The units start after the fixture set the theme, so that no theme handle of before is cached.
class LookAndFeelThemeOnTest : public ThemeOnTest {
protected:
    void SetUp() override {
        ThemeOnTest::SetUp();
        units_ = std::make_unique<UnitScope>(std::initializer_list<TUnit *>{&kvLookAndFeelsUnit});
    }
    void TearDown() override {
        units_.reset();
        ThemeOnTest::TearDown();
    }

private:
    std::unique_ptr<UnitScope> units_;
};

TEST_F(LookAndFeelThemeOnTest, NativeStyleChoosesTheThemedPainter) {
    TOwned<TkvLookAndFeel> laf(New<TkvLookAndFeel>(static_cast<TPersistent *>(nullptr)));
    laf->SetKind(lfFlat);
    laf->SetNativeStyle(true);
    ASSERT_TRUE(IsThemeAvailable(totButton));
    EXPECT_EQ(laf->GetPainterClass(totButton), PainterOf<TkvWinXPLookAndFeelPainter>());
    EXPECT_EQ(laf->GetPainter(), PainterOf<TkvWinXPLookAndFeelPainter>());
    laf->SetNativeStyle(false);
    EXPECT_EQ(laf->GetPainter(), PainterOf<TkvFlatLookAndFeelPainter>());
}

// The units start after the fixture set the theme, so that no theme handle of before is cached.
class LookAndFeelThemeOffTest : public ThemeOffTest {
protected:
    void SetUp() override {
        ThemeOffTest::SetUp();
        units_ = std::make_unique<UnitScope>(std::initializer_list<TUnit *>{&kvLookAndFeelsUnit});
    }
    void TearDown() override {
        units_.reset();
        ThemeOffTest::TearDown();
    }

private:
    std::unique_ptr<UnitScope> units_;
};

TEST_F(LookAndFeelThemeOffTest, NativeStyleWithoutThemesIsTheKindsPainter) {
    TOwned<TkvLookAndFeel> laf(New<TkvLookAndFeel>(static_cast<TPersistent *>(nullptr)));
    laf->SetKind(lfOffice11);
    laf->SetNativeStyle(true);
    EXPECT_EQ(laf->GetPainterClass(totButton), PainterOf<TkvOffice11LookAndFeelPainter>());
    EXPECT_EQ(laf->GetPainter(), PainterOf<TkvOffice11LookAndFeelPainter>());
}

// Records the order in which notifiers hear of a colour change.
class OrderedNotifier : public TkvSystemPaletteChangedNotifier {
    CL_CLASS(OrderedNotifier, TkvSystemPaletteChangedNotifier)

public:
    std::string Name;
    std::vector<std::string> *Log = nullptr;
    std::function<void()> Then;

    void DoChanged() override {
        Log->push_back(Name);
        if (Then)
            Then();
    }
};

class PaletteChangeTest : public FixedSysColorsTest {
protected:
    void SetUp() override {
        FixedSysColorsTest::SetUp();
        units_ = new UnitScope{&kvLookAndFeelsUnit};
    }
    void TearDown() override {
        delete units_;
        units_ = nullptr;
        FixedSysColorsTest::TearDown();
    }

private:
    UnitScope *units_ = nullptr;
};

TEST_F(PaletteChangeTest, PrimaryNotifiersFirstThenTheOthersOnceEach) {
    std::vector<std::string> log;
    auto make = [&](const char *name, bool primary) {
        OrderedNotifier *n = New<OrderedNotifier>(primary);
        n->Name = name;
        n->Log = &log;
        return n;
    };
    OrderedNotifier *ordinary1 = make("ordinary1", false);
    OrderedNotifier *primary1 = make("primary1", true);
    OrderedNotifier *ordinary2 = make("ordinary2", false);
    OrderedNotifier *doomed = make("doomed", false);
    OrderedNotifier *primary2 = make("primary2", true);
    // The last ordinary one is told first and frees one that would come after it.
    OrderedNotifier *ordinary3 = make("ordinary3", false);
    ordinary3->Then = [&] { FreeAndNil(doomed); };
    // A look-and-feel hears of it too, after the painters' notifier.
    TOwned<TkvLookAndFeel> laf(New<TkvLookAndFeel>(static_cast<TPersistent *>(nullptr)));
    int lafChanges = 0;
    laf->OnChanged = [&](TkvLookAndFeel *, TkvLookAndFeelValues values) {
        EXPECT_TRUE(values == TkvLookAndFeelValues{lfvNativeStyle});
        log.push_back("look and feel");
        ++lafChanges;
    };
    {
        ScopedSysColors changed({{COLOR_BTNFACE, RGB(10, 200, 30)}});
        ASSERT_TRUE(changed.applied());
    }
    // The change and the restore, each delivered in the same order. The look-and-feel hears of
    // it twice: from its own notifier, and from the root's (the first registered, so told last),
    // which passes it on to its followers.
    std::vector<std::string> round = {"primary2",  "primary1",  "look and feel", "ordinary3",
                                      "ordinary2", "ordinary1", "look and feel"};
    std::vector<std::string> both = round;
    both.insert(both.end(), round.begin(), round.end());
    EXPECT_EQ(log, both);
    EXPECT_EQ(doomed, nullptr);
    EXPECT_EQ(lafChanges, 4);
    for (OrderedNotifier *n : {ordinary1, primary1, ordinary2, primary2, ordinary3})
        n->Free();
}

} // namespace
