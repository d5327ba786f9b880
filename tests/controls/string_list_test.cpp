// String lists: line ends, lookups, sorting, change events, files; and plain lists.
#include <gtest/gtest.h>

#include <windows.h>

#include <classlib/exceptions.h>
#include <classlib/list.h>
#include <classlib/string_list.h>
#include <classlib/string_utils.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "test_paths.h"

namespace {

std::vector<std::wstring> linesOf(const TStringList *list) {
    std::vector<std::wstring> lines;
    for (int i = 0; i < list->Count(); ++i)
        lines.push_back(list->Strings(i));
    return lines;
}

std::wstring widePath(const std::string &path) { return CodePageToWide(path, CP_ACP); }

class TItem : public TObject {
    CL_CLASS(TItem, TObject)
};

struct StringLists : testing::Test {
    TOwned<TStringList> list{New<TStringList>()};
};

} // namespace

TEST_F(StringLists, TextSplitsAtEveryKindOfLineEnd) {
    list->SetText(L"one\r\ntwo\nthree\rfour");
    EXPECT_EQ(linesOf(list.get()), (std::vector<std::wstring>{L"one", L"two", L"three", L"four"}));
    list->SetText(L"a\r\n\r\nb\n");
    EXPECT_EQ(linesOf(list.get()), (std::vector<std::wstring>{L"a", L"", L"b"}));
    list->SetText(L"\n\r");
    EXPECT_EQ(linesOf(list.get()), (std::vector<std::wstring>{L"", L""}));
    list->SetText(L"x\r\r\ny\r");
    EXPECT_EQ(linesOf(list.get()), (std::vector<std::wstring>{L"x", L"", L"y"}));
    list->SetText(std::wstring(L"nul\0inside", 10));
    EXPECT_EQ(list->Strings(0).size(), 10u);
    list->SetText(L"");
    EXPECT_EQ(list->Count(), 0);
}

TEST_F(StringLists, TextEndsEveryLineWithCrLf) {
    list->SetText(L"a\n\nb");
    EXPECT_EQ(list->Text(), L"a\r\n\r\nb\r\n");
    list->Clear();
    EXPECT_EQ(list->Text(), L"");
}

TEST_F(StringLists, RandomTextSurvivesARoundTrip) {
    std::mt19937 random(20261208);
    const wchar_t alphabet[] = {L'a', L'\r', L'\n', L'\x4e2d', L' '};
    for (int round = 0; round < 300; ++round) {
        std::wstring text;
        int length = static_cast<int>(random() % 40);
        for (int i = 0; i < length; ++i)
            text += alphabet[random() % 5];
        list->SetText(text);
        std::vector<std::wstring> first = linesOf(list.get());
        int ends = 0;
        for (std::size_t i = 0; i < text.size(); ++i)
            if (text[i] == L'\n' || (text[i] == L'\r' && (i + 1 == text.size() || text[i + 1] != L'\n')))
                ++ends;
        bool tail = !text.empty() && text.back() != L'\r' && text.back() != L'\n';
        ASSERT_EQ(list->Count(), ends + (tail ? 1 : 0)) << round;
        for (const std::wstring &line : first)
            ASSERT_EQ(line.find_first_of(L"\r\n"), std::wstring::npos);
        list->SetText(list->Text());
        ASSERT_EQ(linesOf(list.get()), first) << round;
    }
}

TEST_F(StringLists, LookupsIgnoreCaseUnlessCaseSensitive) {
    list->Add(L"Alpha");
    list->Add(L"程序设置");
    list->Add(L"Ärger");
    EXPECT_EQ(list->IndexOf(L"ALPHA"), 0);
    EXPECT_EQ(list->IndexOf(L"程序设置"), 1);
    EXPECT_EQ(list->IndexOf(L"äRGER"), 2);
    EXPECT_EQ(list->IndexOf(L"Alph"), -1);
    list->SetCaseSensitive(true);
    EXPECT_EQ(list->IndexOf(L"ALPHA"), -1);
    EXPECT_EQ(list->IndexOf(L"Alpha"), 0);
}

TEST_F(StringLists, ObjectsStayBesideTheirStrings) {
    TItem *b = New<TItem>();
    TItem *a = New<TItem>();
    list->AddObject(L"b", b);
    list->AddObject(L"a", a);
    list->Add(L"c");
    EXPECT_EQ(list->IndexOfObject(a), 1);
    EXPECT_EQ(list->Objects(2), nullptr);
    list->Sort();
    EXPECT_EQ(linesOf(list.get()), (std::vector<std::wstring>{L"a", L"b", L"c"}));
    EXPECT_EQ(list->Objects(0), a);
    EXPECT_EQ(list->Objects(1), b);
    EXPECT_EQ(list->IndexOfObject(nullptr), 2);
    a->Free();
    b->Free();
}

TEST_F(StringLists, ASortedListKeepsItsOrderAndItsDuplicatePolicy) {
    list->SetText(L"pear\napple\nFig");
    list->SetSorted(true);
    EXPECT_EQ(linesOf(list.get()), (std::vector<std::wstring>{L"apple", L"Fig", L"pear"}));
    EXPECT_EQ(list->Add(L"banana"), 1);
    EXPECT_EQ(list->Add(L"PEAR"), 3);
    EXPECT_EQ(list->Count(), 4);
    EXPECT_EQ(list->IndexOf(L"fig"), 2);
    list->SetDuplicates(dupAccept);
    EXPECT_EQ(list->Add(L"FIG"), 2);
    EXPECT_EQ(list->Count(), 5);
    list->SetDuplicates(dupError);
    EXPECT_THROW(list->Add(L"apple"), EStringListError);
    EXPECT_THROW(list->Insert(0, L"zz"), EStringListError);
    EXPECT_THROW(list->SetString(0, L"zz"), EStringListError);
}

TEST_F(StringLists, BadIndicesAreRefused) {
    list->Add(L"only");
    try {
        list->Strings(5);
        FAIL() << "read past the end";
    } catch (const EStringListError &e) {
        EXPECT_EQ(e.Message(), L"List index out of bounds (5)");
    }
    EXPECT_THROW(list->Strings(-1), EStringListError);
    EXPECT_THROW(list->Delete(1), EStringListError);
    EXPECT_THROW(list->Insert(2, L"x"), EStringListError);
    EXPECT_THROW(list->Exchange(0, 1), EStringListError);
    list->Insert(1, L"appended");
    EXPECT_EQ(list->Strings(1), L"appended");
}

TEST_F(StringLists, CustomSortIsStable) {
    list->SetText(L"b1\na1\nb2\na2\nb3");
    list->CustomSort([](TStringList &l, int i, int j) { return int(l.Strings(i)[0]) - int(l.Strings(j)[0]); });
    EXPECT_EQ(linesOf(list.get()), (std::vector<std::wstring>{L"a1", L"a2", L"b1", L"b2", L"b3"}));
}

TEST_F(StringLists, CustomSortSurvivesAComparisonThatContradictsItself) {
    std::vector<std::wstring> lines;
    for (int i = 0; i < 200; ++i)
        lines.push_back(std::to_wstring(i));
    for (const std::wstring &line : lines)
        list->Add(line);
    std::mt19937 random(7);
    list->CustomSort([&](TStringList &, int, int) { return static_cast<int>(random() % 3) - 1; });
    std::vector<std::wstring> sorted = linesOf(list.get());
    std::sort(sorted.begin(), sorted.end());
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(sorted, lines);
}

TEST_F(StringLists, ACustomSortThatRaisesLeavesTheListAlone) {
    list->SetText(L"c\nb\na");
    EXPECT_THROW(list->CustomSort([](TStringList &, int, int) -> int { throw EConvertError(L"no order"); }),
                 EConvertError);
    EXPECT_EQ(linesOf(list.get()), (std::vector<std::wstring>{L"c", L"b", L"a"}));
}

TEST_F(StringLists, ChangesAreAnnouncedOncePerUpdate) {
    int changing = 0;
    int changed = 0;
    list->OnChanging = [&](TObject *sender) {
        EXPECT_EQ(sender, list.get());
        ++changing;
    };
    list->OnChange = [&](TObject *) { ++changed; };
    list->Add(L"a");
    EXPECT_EQ(changing, 1);
    EXPECT_EQ(changed, 1);
    list->SetText(L"x\ny\nz");
    EXPECT_EQ(changed, 2);
    list->BeginUpdate();
    list->Add(L"p");
    list->Delete(0);
    list->BeginUpdate();
    list->EndUpdate();
    EXPECT_EQ(changed, 2);
    list->EndUpdate();
    EXPECT_EQ(changing, 3);
    EXPECT_EQ(changed, 3);
    list->EndUpdate();
    EXPECT_EQ(changed, 3);
}

TEST_F(StringLists, AssignCopiesStringsAndObjects) {
    TItem *item = New<TItem>();
    TOwned<TStringList> other(New<TStringList>());
    other->AddObject(L"first", item);
    other->Add(L"second");
    list->Add(L"old");
    list->Assign(other.get());
    EXPECT_EQ(linesOf(list.get()), (std::vector<std::wstring>{L"first", L"second"}));
    EXPECT_EQ(list->Objects(0), item);
    list->Assign(list.get());
    EXPECT_EQ(list->Count(), 2);
    TOwned<TPersistent> unrelated(New<TPersistent>());
    try {
        list->Assign(unrelated.get());
        FAIL() << "assigned";
    } catch (const EConvertError &e) {
        EXPECT_EQ(e.Message(), L"Cannot assign a TPersistent to a TStringList");
    }
    item->Free();
}

TEST_F(StringLists, FilesSaveCrLfAfterEveryLineAndLoadAllThreeLineEnds) {
    TempDir folder;
    std::string path = folder.file("lines.ini");
    writeTextFile(path, "-Xms64m\r\n-Xmx512m\nsecond\rlast");
    list->LoadFromFile(widePath(path));
    EXPECT_EQ(linesOf(list.get()), (std::vector<std::wstring>{L"-Xms64m", L"-Xmx512m", L"second", L"last"}));
    list->SaveToFile(widePath(path));
    EXPECT_EQ(readTextFile(path), "-Xms64m\r\n-Xmx512m\r\nsecond\r\nlast\r\n");
    list->Clear();
    list->SaveToFile(widePath(path));
    EXPECT_EQ(readTextFile(path), "");
}

TEST_F(StringLists, ByteTextSurvivesUnchanged) {
    TempDir folder;
    std::string path = folder.file("bytes.txt");
    std::string bytes;
    for (int c = 0; c < 256; ++c)
        if (c != '\r' && c != '\n')
            bytes += static_cast<char>(c);
    bytes += "\r\n\xd6\xd0\xce\xc4\r\n";
    writeTextFile(path, bytes);
    list->LoadFromFile(widePath(path), TTextEncoding::Bytes);
    EXPECT_EQ(list->Count(), 2);
    list->SaveToFile(widePath(path), TTextEncoding::Bytes);
    EXPECT_EQ(readTextFile(path), bytes);
}

TEST_F(StringLists, FileFailuresNameTheFile) {
    TempDir folder;
    std::wstring missing = widePath(folder.file("missing.ini"));
    try {
        list->LoadFromFile(missing);
        FAIL() << "loaded a missing file";
    } catch (const EFOpenError &e) {
        EXPECT_NE(e.Message().find(missing), std::wstring::npos) << e.what();
    }
    std::wstring held = widePath(folder.file("held.ini"));
    HANDLE holder = CreateFileW(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    list->Add(L"x");
    EXPECT_THROW(list->SaveToFile(held), EFCreateError);
    CloseHandle(holder);
}

TEST(Lists, CheckIndicesAndRemoveTheFirstOccurrence) {
    TList<int> list;
    list.Add(5);
    list.Add(7);
    list.Add(5);
    EXPECT_EQ(list.Remove(5), 0);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Remove(9), -1);
    list.Insert(2, 1);
    EXPECT_EQ(list.Last(), 1);
    list.Move(2, 0);
    list.Exchange(1, 2);
    EXPECT_EQ(std::vector<int>(list.begin(), list.end()), (std::vector<int>{1, 5, 7}));
    try {
        list.Get(3);
        FAIL() << "read past the end";
    } catch (const EListError &e) {
        EXPECT_EQ(e.Message(), L"List index out of bounds (3)");
    }
    EXPECT_THROW(list.Insert(4, 0), EListError);
    EXPECT_THROW(list.Delete(-1), EListError);
    list.Clear();
    EXPECT_THROW(list.First(), EListError);
}
