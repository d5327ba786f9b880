// Objects are created, then initialised through overridable steps, and torn down whole.
#include <gtest/gtest.h>

#include <classlib/exceptions.h>
#include <classlib/object.h>

#include <string>
#include <vector>

namespace {

std::vector<std::wstring> journal;
int liveShapes = 0;

class TShape : public TObject {
    CL_CLASS(TShape, TObject)

public:
    TShape() { ++liveShapes; }
    ~TShape() override { --liveShapes; }

    virtual void Create(int size) {
        size_ = size;
        corners_ = CornerCount();
        journal.push_back(L"TShape.Create");
    }
    virtual int CornerCount() const { return 0; }
    int Corners() const { return corners_; }
    int Size() const { return size_; }

protected:
    void Destroy() override {
        journal.push_back(L"TShape.Destroy " + std::wstring(ClassName()) + L" " + std::to_wstring(CornerCount()));
        inherited::Destroy();
    }

private:
    int size_ = 0;
    int corners_ = -1;
};

class TSquare : public TShape {
    CL_CLASS(TSquare, TShape)

public:
    void Create(int size) override {
        inherited::Create(size);
        journal.push_back(L"TSquare.Create");
    }
    int CornerCount() const override { return 4; }

protected:
    void Destroy() override {
        journal.push_back(L"TSquare.Destroy");
        inherited::Destroy();
    }
};

class TBrokenSquare : public TSquare {
    CL_CLASS(TBrokenSquare, TSquare)

public:
    void Create(int size) override {
        inherited::Create(size);
        throw EConvertError(L"no room");
    }
};

class TFailingTeardown : public TShape {
    CL_CLASS(TFailingTeardown, TShape)

protected:
    void Destroy() override {
        inherited::Destroy();
        throw EInvalidOperation(L"teardown");
    }
};

class TAbstractShape : public TShape {
    CL_CLASS(TAbstractShape, TShape)

public:
    virtual int Area() const = 0;
};

struct ICorners : IInterface {
    virtual int Count() const = 0;
};

class TTriangle : public TShape, public ICorners {
    CL_CLASS(TTriangle, TShape)

public:
    int Count() const override { return 3; }
};

class ObjectModel : public testing::Test {
protected:
    void SetUp() override {
        journal.clear();
        liveShapes = 0;
    }
    void TearDown() override { EXPECT_EQ(liveShapes, 0); }
};

} // namespace

TEST_F(ObjectModel, VirtualCallsDuringInitialisationReachTheOverride) {
    TSquare *square = New<TSquare>(3);
    EXPECT_EQ(square->Corners(), 4);
    EXPECT_EQ(square->Size(), 3);
    EXPECT_EQ(journal, (std::vector<std::wstring>{L"TShape.Create", L"TSquare.Create"}));
    square->Free();
}

TEST_F(ObjectModel, TeardownRunsDerivedFirstWhileTheObjectIsWhole) {
    TSquare *square = New<TSquare>(1);
    journal.clear();
    square->Free();
    EXPECT_EQ(journal, (std::vector<std::wstring>{L"TSquare.Destroy", L"TShape.Destroy TSquare 4"}));
}

TEST_F(ObjectModel, AFailedInitialiserTearsDownAndDeletes) {
    EXPECT_THROW(New<TBrokenSquare>(2), EConvertError);
    EXPECT_EQ(journal, (std::vector<std::wstring>{L"TShape.Create", L"TSquare.Create", L"TSquare.Destroy",
                                                  L"TShape.Destroy TBrokenSquare 4"}));
}

TEST_F(ObjectModel, ATeardownThatRaisesStillDeletes) {
    TFailingTeardown *shape = New<TFailingTeardown>(1);
    EXPECT_THROW(shape->Free(), EInvalidOperation);
}

TEST_F(ObjectModel, ClassReferencesCreateDescendantsThroughTheVirtualInitialiser) {
    TClass cls = TSquare::ClassInfo();
    TShape *shape = NewOf<TShape>(cls, 5);
    EXPECT_TRUE(Is<TSquare>(shape));
    EXPECT_EQ(shape->Corners(), 4);
    EXPECT_EQ(shape->Size(), 5);
    EXPECT_STREQ(shape->ClassName(), L"TSquare");
    EXPECT_EQ(shape->ClassType(), cls);
    shape->Free();

    EXPECT_THROW(NewOf<TSquare>(TShape::ClassInfo(), 1), EInvalidCast);
    EXPECT_THROW(NewOf<TShape>(nullptr, 1), EInvalidCast);
    EXPECT_THROW(NewOf<TShape>(TAbstractShape::ClassInfo(), 1), EInvalidOperation);
}

TEST_F(ObjectModel, IsAndAsCheckTheClass) {
    TShape *plain = New<TShape>(1);
    TShape *square = New<TSquare>(1);
    EXPECT_TRUE(Is<TShape>(square));
    EXPECT_FALSE(Is<TSquare>(plain));
    EXPECT_FALSE(Is<TSquare>(static_cast<TShape *>(nullptr)));
    EXPECT_EQ(As<TSquare>(square), square);
    EXPECT_EQ(As<TSquare>(static_cast<TShape *>(nullptr)), nullptr);
    EXPECT_THROW(As<TSquare>(plain), EInvalidCast);
    plain->Free();
    square->Free();
}

TEST_F(ObjectModel, InterfacesAreFoundOnTheObjects) {
    TShape *triangle = New<TTriangle>(1);
    TShape *square = New<TSquare>(1);
    ICorners *corners = Supports<ICorners>(triangle);
    ASSERT_NE(corners, nullptr);
    EXPECT_EQ(corners->Count(), 3);
    EXPECT_EQ(Supports<ICorners>(square), nullptr);
    EXPECT_EQ(Supports<TShape>(corners), triangle);
    triangle->Free();
    square->Free();
}

namespace {
TShape *watched = nullptr;
bool referenceClearedBeforeTeardown = false;

class TWatchedShape : public TShape {
    CL_CLASS(TWatchedShape, TShape)

protected:
    void Destroy() override {
        referenceClearedBeforeTeardown = watched == nullptr;
        inherited::Destroy();
    }
};
} // namespace

TEST_F(ObjectModel, FreeAndNilClearsTheReferenceBeforeTheTeardown) {
    watched = New<TWatchedShape>(1);
    FreeAndNil(watched);
    EXPECT_EQ(watched, nullptr);
    EXPECT_TRUE(referenceClearedBeforeTeardown);
    Free(nullptr);
    FreeAndNil(watched);
}
