// The regular expressions of the mask language: what each pattern accepts, the compile errors
// with their exact texts, forced-character completion, and compiling generated and mutated input.
#include <gtest/gtest.h>

#include <classlib/string_utils.h>

#include <cstdint>
#include <string>
#include <vector>

#include "kvRegExpr.h"

namespace {

struct Compiled {
    TOwned<TkvRegExpr> expr{New<TkvRegExpr>()};
    explicit Compiled(const std::wstring &pattern, bool caseInsensitive = false) {
        expr->CaseInsensitive = caseInsensitive;
        expr->CompileText(pattern);
    }
    // The index of the first refused character, or -1.
    int feed(const std::wstring &text) {
        expr->Reset();
        for (std::size_t i = 0; i < text.size(); ++i)
            if (!expr->Next(text[i]))
                return static_cast<int>(i);
        return -1;
    }
};

// The texts of the errors Compile raised, or nothing when it compiled.
std::vector<std::wstring> compileErrors(const std::wstring &pattern) {
    TOwned<TkvRegExpr> expr(New<TkvRegExpr>());
    std::vector<std::wstring> texts;
    try {
        expr->CompileText(pattern);
    } catch (const EkvRegExprError &e) {
        EXPECT_EQ(e.Errors(), expr->Errors());
        for (int i = 0; i < e.Errors()->Count(); ++i)
            texts.push_back(e.Errors()->Items(i)->Text());
        EXPECT_FALSE(expr->Compiled());
    }
    return texts;
}

struct LanguageCase {
    const wchar_t *pattern;
    std::vector<const wchar_t *> final;    // accepted, ending in a final state
    std::vector<const wchar_t *> partial;  // accepted, not final
    std::vector<std::pair<const wchar_t *, int>> refused; // refused at that character
};

} // namespace

TEST(KvRegExprLanguage, AcceptsAndRefusesByTable) {
    const LanguageCase cases[] = {
        {L"abc", {L"abc"}, {L"", L"a", L"ab"}, {{L"abd", 2}, {L"abca", 3}}},
        {L"a|bc", {L"a", L"bc"}, {L"b"}, {{L"c", 0}, {L"ab", 1}}},
        {L"x{2,4}", {L"xx", L"xxx", L"xxxx"}, {L"x"}, {{L"xxxxx", 4}}},
        {L"x{2,}", {L"xx", L"xxxxxxx"}, {L"x"}, {{L"xy", 1}}},
        {L"x{3}", {L"xxx"}, {L"xx"}, {{L"xxxx", 3}}},
        {L"x{0,2}y", {L"y", L"xy", L"xxy"}, {L"xx"}, {{L"xxx", 2}}},
        {L"(ab)+", {L"ab", L"abab"}, {L"aba"}, {{L"abb", 2}}},
        {L"(a|b)c\\1", {L"aca", L"bcb", L"acb"}, {L"ac"}, {{L"acc", 2}}},
        {L"(ab){2}\\1", {L"ababab"}, {L"abab"}, {{L"ababb", 4}}},
        {L"[a-c]+", {L"abcab"}, {}, {{L"abd", 2}}},
        {L"[^0-9]", {L"a", L" "}, {}, {{L"5", 0}}},
        {L"[a-]", {L"a", L"-"}, {}, {{L"b", 0}}},
        {L"[a\\d_]", {L"a", L"7", L"_"}, {}, {{L"b", 0}}},
        {L"'a''b'", {L"a'b"}, {L"a'"}, {{L"ab", 1}}},
        {L"\\x41\\t", {L"A\t"}, {L"A"}, {{L"a", 0}}},
        {L"a b", {L"ab"}, {}, {{L"a ", 1}}},
        {L"\\w\\W\\s\\S", {L"_- x"}, {}, {{L"ab", 1}, {L"a-x", 2}}},
        {L"\\d\\D", {L"1x"}, {}, {{L"x", 0}, {L"12", 1}}},
        {L".*", {L"", L"any text"}, {}, {}},
        {L"a?b*", {L"", L"a", L"abbb", L"bb"}, {}, {{L"ba", 1}}},
        {L"a*?b", {L"b", L"aab"}, {L"aa"}, {{L"c", 0}}},
        // A group that can match nothing leaves what came before it complete.
        {L"a(b?)", {L"a", L"ab"}, {}, {{L"abb", 2}}},
        {L"(a?)", {L"", L"a"}, {}, {}},
        {L"(a(b(c)))d", {L"abcd"}, {L"abc"}, {{L"abd", 2}}},
        {L"\\+", {L"+"}, {}, {}},
        {L"\\z\\0", {L"z0"}, {L"z"}, {}},
    };
    for (const LanguageCase &c : cases) {
        SCOPED_TRACE(c.pattern);
        Compiled re(c.pattern);
        for (const wchar_t *text : c.final) {
            std::wstring t = text;
            EXPECT_EQ(re.feed(t), -1) << "final: " << testing::PrintToString(t);
            EXPECT_TRUE(re.expr->IsFinal()) << "final: " << testing::PrintToString(t);
        }
        for (const wchar_t *text : c.partial) {
            EXPECT_EQ(re.feed(text), -1) << "partial: " << testing::PrintToString(std::wstring(text));
            EXPECT_FALSE(re.expr->IsFinal()) << "partial: " << testing::PrintToString(std::wstring(text));
        }
        for (const auto &[text, at] : c.refused)
            EXPECT_EQ(re.feed(text), at) << "refused: " << testing::PrintToString(std::wstring(text));
    }
}

TEST(KvRegExprLanguage, SeparatorsFollowTheLocale) {
    wchar_t decimal = FormatSettings().DecimalSeparator;
    wchar_t date[8] = {}, time[8] = {};
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDATE, date, 8);
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, time, 8);
    Compiled re(L"\\d/\\d:\\d\\p\\d");
    std::wstring text = std::wstring(L"1") + date[0] + L"2" + time[0] + L"3" + decimal + L"4";
    EXPECT_EQ(re.feed(text), -1);
    EXPECT_TRUE(re.expr->IsFinal());
    Compiled set(L"[/:]");
    EXPECT_EQ(set.feed(std::wstring(1, date[0])), -1);
    EXPECT_EQ(set.feed(std::wstring(1, time[0])), -1);
}

TEST(KvRegExprLanguage, CaseInsensitiveSymbolsTakeTheExpressionsCase) {
    Compiled re(L"A[b]c", true);
    wchar_t taken = 0;
    ASSERT_TRUE(re.expr->Next(L'a', &taken));
    EXPECT_EQ(taken, L'A');
    ASSERT_TRUE(re.expr->Next(L'B', &taken));
    EXPECT_EQ(taken, L'b');
    EXPECT_EQ(re.expr->FeedText(L"C"), L"c");
    EXPECT_TRUE(re.expr->IsFinal());
    // Ranges and classes compare exactly.
    Compiled range(L"[a-c]", true);
    EXPECT_EQ(range.feed(L"B"), 0);
    Compiled exact(L"A");
    EXPECT_EQ(exact.feed(L"a"), 0);
}

TEST(KvRegExprLanguage, PrintsItsParseTree) {
    Compiled re(L"a(b|c)*");
    EXPECT_EQ(re.expr->PrintTree(), L"<Start_Alt>\r\n\r\nitem --> <Start_Block>\r\n"
                                    L"<Start_Alt>\r\n\r\nitem --> <Finish_Alt>\r\n"
                                    L"<Start_Alt>\r\n\r\nitem --> <Finish_Alt>\r\n"
                                    L"\r\n*<Finish_Block> --> <Finish_Alt>\r\n");
}

TEST(KvRegExprLanguage, StepsBackAndTellsStartAndFinal) {
    Compiled re(L"ab|ac");
    EXPECT_TRUE(re.expr->IsStart());
    EXPECT_FALSE(re.expr->Prev());
    EXPECT_EQ(re.expr->FeedText(L"axb"), L"ab");
    EXPECT_TRUE(re.expr->IsFinal());
    EXPECT_FALSE(re.expr->IsStart());
    EXPECT_TRUE(re.expr->Prev());
    EXPECT_FALSE(re.expr->IsFinal());
    EXPECT_TRUE(re.expr->Next(L'c'));
    EXPECT_TRUE(re.expr->IsFinal());
    EXPECT_TRUE(re.expr->Prev());
    EXPECT_TRUE(re.expr->Prev());
    EXPECT_TRUE(re.expr->IsStart());
    EXPECT_FALSE(re.expr->Prev());
}

TEST(KvRegExprErrors, EachErrorHasItsText) {
    using V = std::vector<std::wstring>;
    EXPECT_EQ(compileErrors(L"a|"), V{L"Line1, Char2: The alternative should not be empty"});
    EXPECT_EQ(compileErrors(L"|a"), V{L"Line1, Char1: The alternative should not be empty"});
    EXPECT_EQ(compileErrors(L"()"), V{L"Line1, Char2: The block should not be empty"});
    EXPECT_EQ(compileErrors(L"(a|)"), V{L"Line1, Char4: The block should not be empty"});
    EXPECT_EQ(compileErrors(L"(a"), V{L"Missing ')'"});
    EXPECT_EQ(compileErrors(L"a)"), V{L"Unnecessary ')'"});
    EXPECT_EQ(compileErrors(L"a**"), V{L"Line1, Char3: The '*' quantifier cannot be applied here"});
    EXPECT_EQ(compileErrors(L"a?+"), V{L"Line1, Char3: The '+' quantifier cannot be applied here"});
    EXPECT_EQ(compileErrors(L"a*?"), V{});
    EXPECT_EQ(compileErrors(L"x{3,1}"), V{L"Line1, Char2: Incorrect parameter quantifier"});
    EXPECT_EQ(compileErrors(L"x?{2}"), V{L"Line1, Char3: The parameter quantifier cannot be applied here"});
    EXPECT_EQ(compileErrors(L"{2}"), V{L"Line1, Char1: Incorrect parameter quantifier"});
    EXPECT_EQ(compileErrors(L"*"), V{L"Line1, Char1: Illegal quantifier '*'"});
    EXPECT_EQ(compileErrors(L"[z-a]"),
              V{L"Line1, Char4: The starting character of the subrange must be less than the finishing one"});
    EXPECT_EQ(compileErrors(L"[a-c-e]"), V{L"Line1, Char5: Illegal '-'"});
    EXPECT_EQ(compileErrors(L"[]"), V{L"Line1, Char2: Can't create empty enumeration"});
    EXPECT_EQ(compileErrors(L"\\x4"), V{L"Line1, Char3: Hexadecimal number expected"});
    EXPECT_EQ(compileErrors(L"\\x4g"), V{L"Line1, Char4: Hexadecimal number expected but 'g' found"});
    EXPECT_EQ(compileErrors(L"a{12"), V{L"Line1, Char4: Missing '}'"});
    EXPECT_EQ(compileErrors(L"'abc"), V{L"Line1, Char4: Missing ' ' '"});
    EXPECT_EQ(compileErrors(L"[abc"), V{L"Line1, Char4: Missing ']'"});
    EXPECT_EQ(compileErrors(L"a{1'}"), V{L"Line1, Char4: Illegal ' ' '"});
    EXPECT_EQ(compileErrors(L"\\ "), V{L"Line1, Char2: The space character is not allowed after '\\'"});
    EXPECT_EQ(compileErrors(L"\\1"), V{L"Line1, Char1: Too big reference number"});
    EXPECT_EQ(compileErrors(L"(a\\1)"), V{L"Line1, Char3: Too big reference number"});
    EXPECT_EQ(compileErrors(L"  \t"), V{L"The source stream is empty"});
    // Line ends count lines; the column starts again after LF.
    EXPECT_EQ(compileErrors(L"a\r\n{x}"), V{L"Line2, Char2: Illegal 'x'"});
    // Every error of the phase, in order.
    EXPECT_EQ(compileErrors(L"a{x}[b"), (V{L"Line1, Char3: Illegal 'x'", L"Line1, Char6: Missing ']'"}));
    EXPECT_EQ(compileErrors(L"x{0}"), V{L"Line1, Char2: Incorrect parameter quantifier"});
}

TEST(KvRegExprErrors, CountsAndNestingAreBounded) {
    using V = std::vector<std::wstring>;
    EXPECT_EQ(compileErrors(L"x{4294967296}"), V{L"Line1, Char2: Incorrect parameter quantifier"});
    EXPECT_EQ(compileErrors(L"x{1,99999999999999}"), V{L"Line1, Char2: Incorrect parameter quantifier"});
    EXPECT_EQ(compileErrors(L"x{99999999}"), V{L"Line1, Char2: The expression is too complex"});
    EXPECT_EQ(compileErrors(L"x{0,100000}"), V{L"Line1, Char2: The expression is too complex"});
    EXPECT_EQ(compileErrors(L"x{0,1000}"), V{L"Line1, Char2: The blocks are nested too deeply"});
    EXPECT_EQ(compileErrors(std::wstring(10, L'(') + L"x{0,200}" + std::wstring(10, L')') + L"{0,49}"),
              V{L"Line1, Char29: The blocks are nested too deeply"});
    EXPECT_EQ(compileErrors(std::wstring(300, L'(') + L"a" + std::wstring(300, L')')),
              V{L"Line1, Char257: The blocks are nested too deeply"});
    EXPECT_EQ(compileErrors(L"(((x{12}){12}){12}){12}"), V{L"Line1, Char20: The expression is too complex"});
    EXPECT_EQ(compileErrors(L"(ab{50})\\1{199}"), V{L"Line1, Char11: The expression is too complex"});
    // A run of optional items links each to all that follow: the links have a budget too.
    std::wstring optional;
    for (int i = 0; i < 1500; ++i)
        optional += L"a?";
    EXPECT_EQ(compileErrors(optional), V{L"The expression is too complex"});
    Compiled shorter(optional.substr(0, 300 * 2));
    EXPECT_EQ(shorter.feed(std::wstring(300, L'a')), -1);
    EXPECT_EQ(shorter.feed(std::wstring(301, L'a')), 300);
    // What fits is built: 200 optional levels, 5000 copies.
    Compiled deep(L"x{0,200}");
    EXPECT_EQ(deep.feed(std::wstring(200, L'x')), -1);
    EXPECT_EQ(deep.feed(std::wstring(201, L'x')), 200);
    Compiled wide(L"x{5000}");
    EXPECT_EQ(wide.feed(std::wstring(5000, L'x')), -1);
    EXPECT_TRUE(wide.expr->IsFinal());
}

TEST(KvRegExprErrors, UseBeforeCompilingAndTheCombinedMessage) {
    TOwned<TkvRegExpr> expr(New<TkvRegExpr>());
    auto expectNotCompiled = [](auto &&call) {
        try {
            call();
            ADD_FAILURE() << "no exception";
        } catch (const EkvRegExprError &) {
            ADD_FAILURE() << "the compile error class";
        } catch (const Exception &e) {
            EXPECT_EQ(e.Message(), L"Regular expression is not compiled");
        }
    };
    expectNotCompiled([&] { expr->Next(L'a'); });
    expectNotCompiled([&] { expr->Prev(); });
    expectNotCompiled([&] { expr->Reset(); });
    expectNotCompiled([&] { expr->IsFinal(); });
    expectNotCompiled([&] { expr->IsStart(); });
    expectNotCompiled([&] { expr->FeedText(L"a"); });
    EXPECT_EQ(expr->Source(), nullptr);

    try {
        expr->Compile(nullptr);
        ADD_FAILURE() << "compiled nothing";
    } catch (const EkvRegExprError &e) {
        EXPECT_EQ(RegExprErrorsMessage(*e.Errors()), L"Regular expression errors:\r\nThe source stream is not assigned");
    }
    try {
        expr->CompileText(L"a{x}[b");
        ADD_FAILURE() << "compiled a bad expression";
    } catch (const EkvRegExprError &e) {
        EXPECT_EQ(e.Message(), L"Regular expression errors:\r\nLine1, Char3: Illegal 'x'\r\nLine1, Char6: Missing ']'");
    }
    expectNotCompiled([&] { expr->IsFinal(); });
    // A later good compile starts over: the old errors are gone.
    expr->CompileText(L"ab");
    EXPECT_TRUE(expr->Compiled());
    EXPECT_EQ(expr->Errors()->Count(), 0);
    ASSERT_NE(expr->Source(), nullptr);
    EXPECT_EQ(expr->Source()->Size(), 2);
    expr->Clear();
    EXPECT_FALSE(expr->Compiled());
    expectNotCompiled([&] { expr->IsStart(); });
}

TEST(KvRegExprCompletion, ForcedCharactersAreAddedAndRemovedInOrder) {
    TOwned<TkvRegExpr> expr(New<TkvRegExpr>());
    std::wstring log;
    expr->OnSymbolAdd = [&](wchar_t c) { log += L'+'; log += c; };
    expr->OnSymbolDelete = [&] { log += L'-'; };
    expr->SetUpdateOn(true);
    expr->CompileText(L"'+'\\d");
    EXPECT_EQ(log, L"++"); // the forced '+' at once
    EXPECT_TRUE(expr->Next(L'1'));
    EXPECT_TRUE(expr->IsFinal());
    EXPECT_EQ(log, L"++");
    EXPECT_TRUE(expr->Prev()); // the digit goes; the '+' stays
    EXPECT_EQ(log, L"++");
    EXPECT_FALSE(expr->Prev()); // now the auto-completed '+' goes, and nothing is left
    EXPECT_EQ(log, L"++-");
    EXPECT_TRUE(expr->IsStart());

    // Typed characters that reach a forced literal pull it in; stepping back takes both.
    wchar_t time[8] = {};
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, time, 8);
    log.clear();
    expr->CompileText(L"\\d\\d:\\d\\d");
    EXPECT_EQ(log, L"");
    EXPECT_TRUE(expr->Next(L'1'));
    EXPECT_TRUE(expr->Next(L'2'));
    EXPECT_EQ(log, std::wstring(L"+") + time[0]);
    EXPECT_TRUE(expr->Prev());
    EXPECT_EQ(log, std::wstring(L"+") + time[0] + L"-");
    EXPECT_TRUE(expr->Next(L'3'));
    EXPECT_EQ(log, std::wstring(L"+") + time[0] + L"-+" + time[0]);

    // Switching completion on while compiled completes at once; alternatives stop it.
    log.clear();
    expr->SetUpdateOn(false);
    expr->CompileText(L"ab(c|d)");
    EXPECT_EQ(log, L"");
    expr->SetUpdateOn(true);
    EXPECT_EQ(log, L"+a+b");
    EXPECT_TRUE(expr->Next(L'd'));
    EXPECT_TRUE(expr->IsFinal());
}

// ---- robustness

namespace {

struct Lcg {
    std::uint32_t state;
    std::uint32_t next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
    std::uint32_t below(std::uint32_t n) { return next() % n; }
};

std::wstring generatedPattern(Lcg &rng) {
    static const wchar_t *const tokens[] = {
        L"a", L"b", L"x", L"0", L"(", L")", L"|", L"*", L"+", L"?", L"{", L"}", L",", L"2", L"9", L"[", L"]",
        L"^", L"-", L".", L"/", L":", L"\\d", L"\\w", L"\\s", L"\\D", L"\\1", L"\\2", L"\\x4", L"\\x41", L"'",
        L"''", L" ", L"\\", L"{0,", L"{2,3}", L"{1,}", L"{99999}", L"[a-z]", L"[^0-9]", L"(a|b)", L"\\p", L"\r\n",
        L"今天", L"\\ "};
    std::wstring pattern;
    std::uint32_t length = 1 + rng.below(24);
    for (std::uint32_t i = 0; i < length; ++i)
        pattern += tokens[rng.below(sizeof tokens / sizeof tokens[0])];
    return pattern;
}

std::string mutated(const std::string &seed, Lcg &rng) {
    std::string bytes = seed;
    std::uint32_t edits = 1 + rng.below(4);
    for (std::uint32_t i = 0; i < edits; ++i) {
        char byte = static_cast<char>(rng.below(256));
        std::size_t at = bytes.empty() ? 0 : rng.below(static_cast<std::uint32_t>(bytes.size()));
        switch (rng.below(3)) {
        case 0: bytes.insert(bytes.begin() + at, byte); break;
        case 1: if (!bytes.empty()) bytes.erase(at, 1); break;
        default: if (!bytes.empty()) bytes[at] = byte;
        }
    }
    return bytes;
}

// Compiles the bytes and, when they compile, drives the automaton a little; anything but the
// compile error class is a fault.
void exercise(const std::string &bytes, Lcg &rng, int &compiled) {
    TOwned<TkvRegExpr> expr(New<TkvRegExpr>());
    int added = 0;
    expr->OnSymbolAdd = [&](wchar_t) { ++added; };
    expr->SetUpdateOn(rng.below(2) == 0);
    expr->CaseInsensitive = rng.below(2) == 0;
    TOwned<TMemoryStream> stream(New<TMemoryStream>());
    stream->WriteBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    stream->SetPosition(0);
    try {
        expr->Compile(stream.get());
    } catch (const EkvRegExprError &e) {
        ASSERT_GT(e.Errors()->Count(), 0) << bytes;
        return;
    }
    ++compiled;
    static const wchar_t alphabet[] = L"abx0129 -/:.'AB\t";
    for (int i = 0; i < 24; ++i) {
        if (rng.below(4) == 0)
            expr->Prev();
        else
            expr->Next(alphabet[rng.below(sizeof alphabet / sizeof alphabet[0] - 1)]);
        expr->IsFinal();
        expr->IsStart();
    }
    expr->Reset();
    EXPECT_TRUE(expr->IsStart() || expr->UpdateOn());
    EXPECT_LE(added, 24 * TkvRegExpr::maxStates);
}

} // namespace

TEST(KvRegExprRobustness, GeneratedPatternsCompileOrFailWithErrors) {
    Lcg rng{20261209};
    int compiled = 0;
    for (int i = 0; i < 4000; ++i) {
        std::wstring pattern = generatedPattern(rng);
        SCOPED_TRACE(WideToUtf8(pattern));
        exercise(WideToUtf8(pattern), rng, compiled);
    }
    // The generator reaches both sides.
    EXPECT_GT(compiled, 100);
    EXPECT_LT(compiled, 3900);
}

TEST(KvRegExprRobustness, MutatedPatternsCompileOrFailWithErrors) {
    const char *const seeds[] = {
        "(\\d\\d\\d\\d/((0?[1-9]|1[012])|('Jan'|'Feb'))/([012]?[1-9]|[123]0|31))|('bom'|'eom')((\\+|-)\\d(\\d)?)?",
        "([01]?\\d|2[0-3]):[0-5]?\\d(:[0-5]?\\d)?", "'+'\\d{2,4}(\\p\\d\\d)?", "(a|b)c\\1[^x-z]*", "\\x41{0,3}.+",
        "\xE4\xBB\x8A\xE5\xA4\xA9|now"};
    Lcg rng{4242};
    int compiled = 0;
    for (int i = 0; i < 4000; ++i) {
        std::string bytes = mutated(seeds[rng.below(sizeof seeds / sizeof seeds[0])], rng);
        SCOPED_TRACE(bytes);
        exercise(bytes, rng, compiled);
    }
    EXPECT_GT(compiled, 100);
}
