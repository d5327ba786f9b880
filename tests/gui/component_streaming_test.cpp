// Forms written by the component writer and read back by the reader: controls, actions and
// references come back whole; an editor's properties reach it only once it is loaded; a
// repository item read inside its repository belongs to it; an editor writes its width and height
// by its own rules.
#include <gtest/gtest.h>

#include <windows.h>

#include <classlib/actnlist.h>
#include <classlib/class_registry.h>
#include <classlib/filer.h>
#include <classlib/stdctrls.h>
#include <classlib/string_utils.h>
#include <classlib/units.h>

#include <string>
#include <vector>

#include "forms_test_support.h"
#include "kvEditRepository.h"
#include "kvTextEdit.h"
#include "kvTextEditProperties.h"

namespace {

// Notes, for each run of PropertiesChanged, whether the component was being read and whether
// the read-only setting had arrived.
class TReadProbeEdit : public TkvTextEdit {
    CL_CLASS(TReadProbeEdit, TkvTextEdit)

public:
    struct Call {
        bool reading;
        bool readOnly;
    };
    std::vector<Call> calls;

protected:
    void PropertiesChanged(TObject *sender) override {
        calls.push_back(Call{ComponentState().Contains(csReading), Properties()->ReadOnly()});
        inherited::PropertiesChanged(sender);
    }
};

// A repository item of text editor settings.
class TTextRepositoryItem : public TkvEditRepositoryItem {
    CL_CLASS(TTextRepositoryItem, TkvEditRepositoryItem)

public:
    TClass GetPropertiesClass() override { return TkvTextEditProperties::ClassInfo(); }
};

class ComponentStreamingTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitForms();
        units_ = new UnitScope{&kvTextEditUnit};
        for (TClass cls : {TButton::ClassInfo(), TActionList::ClassInfo(), TAction::ClassInfo(),
                           TkvTextEdit::ClassInfo(), TReadProbeEdit::ClassInfo(), TkvEditRepository::ClassInfo(),
                           TTextRepositoryItem::ClassInfo()})
            RegisterNamedClass(cls);
    }
    void TearDown() override {
        for (TForm *form : forms_)
            form->Free();
        delete units_;
    }

    TForm *newForm(const std::wstring &name) {
        TForm *form = New<TForm>(nullptr);
        form->SetName(name);
        forms_.push_back(form);
        return form;
    }

    static std::wstring write(TComponent *root, TComponent *ancestor = nullptr) {
        TOwned<TMemoryStream> stream(New<TMemoryStream>());
        TOwned<TWriter> writer(New<TWriter>(stream.get()));
        writer->WriteDescendent(root, ancestor);
        return Utf8ToWide(std::string_view(reinterpret_cast<const char *>(stream->Memory()),
                                           static_cast<std::size_t>(stream->Size())));
    }

    static void read(const std::wstring &text, TComponent *root) {
        std::string bytes = WideToUtf8(text);
        TOwned<TMemoryStream> stream(New<TMemoryStream>());
        stream->WriteBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
        stream->SetPosition(0);
        TOwned<TReader> reader(New<TReader>(stream.get()));
        reader->ReadRootComponent(root);
    }

    // Whether the object's block holds a line "name = ..." of its own (not of a child).
    static bool writes(const std::wstring &text, const std::wstring &object, const std::wstring &name) {
        std::size_t at = text.find(L"object " + object + L":");
        if (at == std::wstring::npos)
            return false;
        std::size_t end = text.find(L"\n", at);
        int depth = 0;
        while (end != std::wstring::npos) {
            std::size_t next = text.find(L"\n", end + 1);
            std::wstring line = text.substr(end + 1, next == std::wstring::npos ? std::wstring::npos : next - end - 1);
            std::size_t first = line.find_first_not_of(L' ');
            if (first != std::wstring::npos) {
                line = line.substr(first);
                if (line.rfind(L"object ", 0) == 0)
                    ++depth;
                else if (line.rfind(L"end", 0) == 0 && line.size() <= 4 && depth-- == 0)
                    return false;
                else if (depth == 0 && line.rfind(name + L" = ", 0) == 0)
                    return true;
            }
            end = next;
        }
        return false;
    }

private:
    UnitScope *units_ = nullptr;
    std::vector<TForm *> forms_;
};

TEST_F(ComponentStreamingTest, AFormComesBackWithItsControlsActionsAndReferences) {
    TForm *form = newForm(L"Settings");
    form->SetCaption(L"设置 'one'\r\nline");
    TActionList *list = New<TActionList>(form);
    list->SetName(L"Actions");
    TAction *action = New<TAction>(form);
    action->SetName(L"RunAction");
    action->SetActionList(list);
    action->SetCaption(L"Run");
    action->SetEnabled(false);
    TButton *button = New<TButton>(form);
    button->SetName(L"RunButton");
    button->SetParent(form);
    button->SetBounds(12, 34, 56, 25);
    button->SetBiDiMode(bdRightToLeft);
    button->SetAction(action);
    const std::wstring text = write(form);

    TForm *copy = newForm(L"");
    read(text, copy);
    EXPECT_EQ(copy->Name(), L"Settings");
    EXPECT_EQ(copy->Caption(), L"设置 'one'\r\nline");
    auto *readList = dynamic_cast<TActionList *>(copy->FindComponent(L"Actions"));
    auto *readAction = dynamic_cast<TAction *>(copy->FindComponent(L"RunAction"));
    auto *readButton = dynamic_cast<TButton *>(copy->FindComponent(L"RunButton"));
    ASSERT_NE(readList, nullptr);
    ASSERT_NE(readAction, nullptr);
    ASSERT_NE(readButton, nullptr);
    EXPECT_EQ(readAction->ActionList(), readList);
    EXPECT_EQ(readAction->Caption(), L"Run");
    EXPECT_FALSE(readAction->Enabled());
    EXPECT_EQ(readButton->Parent(), copy);
    EXPECT_EQ(readButton->Left(), 12);
    EXPECT_EQ(readButton->Top(), 34);
    EXPECT_EQ(readButton->Width(), 56);
    EXPECT_EQ(readButton->Height(), 25);
    EXPECT_EQ(readButton->BiDiMode(), bdRightToLeft);
    EXPECT_EQ(readButton->Action(), readAction);
    EXPECT_EQ(readButton->Caption(), L"Run");
    EXPECT_FALSE(readButton->Enabled());
    // Everything read was loaded.
    for (TComponent *component : {static_cast<TComponent *>(copy), static_cast<TComponent *>(readList),
                                  static_cast<TComponent *>(readAction), static_cast<TComponent *>(readButton)})
        EXPECT_FALSE(component->ComponentState().Contains(csLoading)) << component->Name();
    // A stream naming a class nobody registered is refused.
    EXPECT_THROW(read(L"object F: TForm\r\n  object X: TNoSuchClass\r\n  end\r\nend\r\n", newForm(L"")), EReadError);
}

TEST_F(ComponentStreamingTest, AnEditorsPropertiesReachItOnlyOnceItIsLoaded) {
    TForm *form = newForm(L"Form");
    TReadProbeEdit *edit = New<TReadProbeEdit>(form);
    edit->SetName(L"Edit");
    edit->SetParent(form);
    edit->Properties()->SetReadOnly(true);
    const std::wstring text = write(form);
    ASSERT_TRUE(writes(text, L"Edit", L"Properties.ReadOnly")) << text;

    TForm *copy = newForm(L"");
    read(text, copy);
    auto *readEdit = dynamic_cast<TReadProbeEdit *>(copy->FindComponent(L"Edit"));
    ASSERT_NE(readEdit, nullptr);
    EXPECT_TRUE(readEdit->Properties()->ReadOnly());
    for (const TReadProbeEdit::Call &call : readEdit->calls)
        EXPECT_FALSE(call.reading && call.readOnly) << "a setting read reached the editor while it was read";
    ASSERT_FALSE(readEdit->calls.empty());
    EXPECT_FALSE(readEdit->calls.back().reading);
    EXPECT_TRUE(readEdit->calls.back().readOnly);
    // After loading, a change of its properties reaches the editor again.
    const std::size_t before = readEdit->calls.size();
    readEdit->Properties()->SetAutoSelect(false);
    EXPECT_EQ(readEdit->calls.size(), before + 1);
}

TEST_F(ComponentStreamingTest, ARepositoryItemReadInsideItsRepositoryBelongsToIt) {
    TForm *form = newForm(L"Form");
    TkvEditRepository *repository = New<TkvEditRepository>(form);
    repository->SetName(L"Repository");
    TkvEditRepositoryItem *item = repository->CreateItem(TTextRepositoryItem::ClassInfo());
    item->SetName(L"Item");
    item->Properties()->SetReadOnly(true);
    TkvTextEdit *edit = New<TkvTextEdit>(form);
    edit->SetName(L"Edit");
    edit->SetParent(form);
    edit->SetRepositoryItem(item);
    const std::wstring text = write(form);

    TForm *copy = newForm(L"");
    read(text, copy);
    auto *readRepository = dynamic_cast<TkvEditRepository *>(copy->FindComponent(L"Repository"));
    auto *readItem = dynamic_cast<TkvEditRepositoryItem *>(copy->FindComponent(L"Item"));
    auto *readEdit = dynamic_cast<TkvTextEdit *>(copy->FindComponent(L"Edit"));
    ASSERT_NE(readRepository, nullptr);
    ASSERT_NE(readItem, nullptr);
    ASSERT_NE(readEdit, nullptr);
    EXPECT_EQ(readItem->Repository(), readRepository);
    ASSERT_EQ(readRepository->Count(), 1);
    EXPECT_EQ(readRepository->Items(0), readItem);
    EXPECT_TRUE(readItem->Properties()->ReadOnly());
    EXPECT_EQ(readEdit->RepositoryItem(), readItem);
    EXPECT_TRUE(readEdit->ActiveProperties()->ReadOnly());
}

TEST_F(ComponentStreamingTest, AnEditorWritesItsWidthAndHeightByItsOwnRules) {
    struct Case {
        bool autoSize;
        int buttonsLayout;
        bool height;
        bool width;
    };
    // Height unless auto-sized; Width unless auto-sized with an auto width (buttons layout 2).
    const Case cases[] = {
        {true, 0, false, true},
        {false, 0, true, true},
        {true, 2, false, false},
        {false, 2, true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "auto size " << c.autoSize << ", buttons layout " << c.buttonsLayout);
        TForm *form = newForm(L"Form");
        TkvTextEdit *edit = New<TkvTextEdit>(form);
        edit->SetName(L"Edit");
        edit->SetParent(form);
        edit->Properties()->SetButtonsLayout(static_cast<std::uint8_t>(c.buttonsLayout));
        edit->SetAutoSize(c.autoSize);
        edit->SetBounds(5, 6, 150, 40);
        const std::wstring text = write(form);
        EXPECT_EQ(writes(text, L"Edit", L"Height"), c.height) << text;
        EXPECT_EQ(writes(text, L"Edit", L"Width"), c.width) << text;
        if (!c.autoSize) {
            TForm *copy = newForm(L"");
            read(text, copy);
            auto *readEdit = dynamic_cast<TkvTextEdit *>(copy->FindComponent(L"Edit"));
            ASSERT_NE(readEdit, nullptr);
            EXPECT_EQ(readEdit->Height(), edit->Height());
            EXPECT_EQ(readEdit->Width(), edit->Width());
        }
    }
    // Neither is written when it equals the ancestor's.
    TForm *ancestor = newForm(L"Form");
    TForm *form = newForm(L"Form");
    for (TForm *f : {ancestor, form}) {
        TkvTextEdit *edit = New<TkvTextEdit>(f);
        edit->SetName(L"Edit");
        edit->SetParent(f);
        edit->SetAutoSize(false);
        edit->SetBounds(5, 6, 150, 40);
    }
    const std::wstring text = write(form, ancestor);
    EXPECT_FALSE(writes(text, L"Edit", L"Height")) << text;
    EXPECT_FALSE(writes(text, L"Edit", L"Width")) << text;
}

} // namespace
