#include "kvRegExpr.h"

#include <windows.h>

#include <classlib/list.h>
#include <classlib/resource_strings.h>
#include <classlib/string_utils.h>

#include <algorithm>
#include <cstdint>

namespace {

constexpr TResourceString SRegExprNotCompiled{L"Regular expression is not compiled"};
constexpr TResourceString SRegExprStreamNotAssigned{L"The source stream is not assigned"};
constexpr TResourceString SRegExprEmptySourceStream{L"The source stream is empty"};
constexpr TResourceString SRegExprMissing{L"Missing '%s'"};
constexpr TResourceString SRegExprUnnecessary{L"Unnecessary '%s'"};
constexpr TResourceString SRegExprIllegal{L"Illegal '%s'"};
constexpr TResourceString SRegExprIllegalSpace{L"The space character is not allowed after '\\'"};
constexpr TResourceString SRegExprHexExpected{L"Hexadecimal number expected"};
constexpr TResourceString SRegExprHexExpectedFound{L"Hexadecimal number expected but '%s' found"};
constexpr TResourceString SRegExprEmptyAlternative{L"The alternative should not be empty"};
constexpr TResourceString SRegExprEmptyBlock{L"The block should not be empty"};
constexpr TResourceString SRegExprTooBigReference{L"Too big reference number"};
constexpr TResourceString SRegExprSubrangeOrder{
    L"The starting character of the subrange must be less than the finishing one"};
constexpr TResourceString SRegExprEmptyEnumeration{L"Can't create empty enumeration"};
constexpr TResourceString SRegExprIllegalQuantifier{L"Illegal quantifier '%s'"};
constexpr TResourceString SRegExprIncorrectParameterQuantifier{L"Incorrect parameter quantifier"};
constexpr TResourceString SRegExprCantApplyStar{L"The '*' quantifier cannot be applied here"};
constexpr TResourceString SRegExprCantApplyPlus{L"The '+' quantifier cannot be applied here"};
constexpr TResourceString SRegExprCantApplyParameter{L"The parameter quantifier cannot be applied here"};
constexpr TResourceString SRegExprIllegalInteger{L"Illegal integer value"};
constexpr TResourceString SRegExprTooComplex{L"The expression is too complex"};
constexpr TResourceString SRegExprTooDeep{L"The blocks are nested too deeply"};
constexpr TResourceString SRegExprErrorsTitle{L"Regular expression errors:"};

bool isSpace(wchar_t c) { return c == L' ' || c == L'\0' || c == L'\t' || c == L'\n' || c == L'\f' || c == L'\r'; }
bool isDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool isIdLetter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'_' || isDigit(c);
}
int hexValue(wchar_t c) {
    if (isDigit(c))
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

wchar_t upper(wchar_t c) {
    wchar_t buffer[1] = {c};
    CharUpperBuffW(buffer, 1);
    return buffer[0];
}

wchar_t localeChar(LCTYPE type, wchar_t fallback) {
    wchar_t buffer[8] = {};
    return GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 8) > 1 ? buffer[0] : fallback;
}

wchar_t dateSeparator() { return localeChar(LOCALE_SDATE, L'/'); }
wchar_t timeSeparator() { return localeChar(LOCALE_STIME, L':'); }

} // namespace

// ---- errors

void TkvRegExprError::Create(int line, int column, std::wstring message) {
    line_ = line;
    column_ = column;
    message_ = std::move(message);
}

std::wstring TkvRegExprError::Text() const {
    std::wstring text;
    if (line_ > 0) {
        text = L"Line" + std::to_wstring(line_);
        if (column_ > 0)
            text += L", Char" + std::to_wstring(column_);
        text += L": ";
    }
    return text + message_;
}

void TkvRegExprErrors::Add(int line, int column, std::wstring message) {
    items_.push_back(New<TkvRegExprError>(line, column, std::move(message)));
}

void TkvRegExprErrors::Clear() {
    for (TkvRegExprError *item : items_)
        item->Free();
    items_.clear();
}

TkvRegExprError *TkvRegExprErrors::Items(int index) const {
    if (index < 0 || index >= Count())
        RaiseListIndexError(index);
    return items_[index];
}

void TkvRegExprErrors::Destroy() {
    Clear();
    inherited::Destroy();
}

std::wstring RegExprErrorsMessage(const TkvRegExprErrors &errors) {
    std::wstring text = LoadResString(SRegExprErrorsTitle);
    for (int i = 0; i < errors.Count(); ++i)
        text += L"\r\n" + errors.Items(i)->Text();
    return text;
}

namespace kvregexpr {

enum TkvLexemKind {
    lkLiteral,
    lkSpecial,
    lkAny,
    lkDateSeparator,
    lkTimeSeparator,
    lkClass,    // text: d D w W s S
    lkBackRef,  // text: the digit
    lkInteger,  // text: the digits
};

struct TkvLexem {
    int column;
    int kind;
    int line;
    std::wstring text;
};

// ---- character tests

class TkvRegExprItem {
public:
    virtual ~TkvRegExprItem() = default;
    // A case-insensitive symbol may replace the character by its own.
    virtual bool Match(wchar_t &c, bool caseInsensitive) const = 0;
    virtual std::unique_ptr<TkvRegExprItem> Clone() const = 0;
    // The one character the test stands for, when it stands for exactly one.
    virtual bool Forced(wchar_t &) const { return false; }
};

class TkvRegExprSymbol : public TkvRegExprItem {
public:
    explicit TkvRegExprSymbol(wchar_t symbol) : symbol_(symbol) {}
    bool Match(wchar_t &c, bool caseInsensitive) const override {
        if (c == symbol_)
            return true;
        if (caseInsensitive && upper(c) == upper(symbol_)) {
            c = symbol_;
            return true;
        }
        return false;
    }
    std::unique_ptr<TkvRegExprItem> Clone() const override { return std::make_unique<TkvRegExprSymbol>(symbol_); }
    bool Forced(wchar_t &c) const override {
        c = symbol_;
        return true;
    }

private:
    wchar_t symbol_;
};

class TkvRegExprTimeSeparator : public TkvRegExprItem {
public:
    bool Match(wchar_t &c, bool) const override { return c == timeSeparator(); }
    std::unique_ptr<TkvRegExprItem> Clone() const override { return std::make_unique<TkvRegExprTimeSeparator>(); }
    bool Forced(wchar_t &c) const override {
        c = timeSeparator();
        return true;
    }
};

class TkvRegExprDateSeparator : public TkvRegExprItem {
public:
    bool Match(wchar_t &c, bool) const override { return c == dateSeparator(); }
    std::unique_ptr<TkvRegExprItem> Clone() const override { return std::make_unique<TkvRegExprDateSeparator>(); }
    bool Forced(wchar_t &c) const override {
        c = dateSeparator();
        return true;
    }
};

class TkvRegExprSubrange : public TkvRegExprItem {
public:
    TkvRegExprSubrange(wchar_t first, wchar_t last) : first_(first), last_(last) {}
    bool Match(wchar_t &c, bool) const override { return c >= first_ && c <= last_; }
    std::unique_ptr<TkvRegExprItem> Clone() const override {
        return std::make_unique<TkvRegExprSubrange>(first_, last_);
    }

private:
    wchar_t first_, last_;
};

class TkvRegExprEnumeration : public TkvRegExprItem {
public:
    explicit TkvRegExprEnumeration(bool negation) : negation_(negation) {}
    bool Match(wchar_t &c, bool caseInsensitive) const override {
        wchar_t candidate = c;
        bool result = Test(candidate, caseInsensitive) != negation_;
        if (result && !negation_)
            c = candidate;
        return result;
    }
    bool Negation() const noexcept { return negation_; }

protected:
    virtual bool Test(wchar_t &c, bool caseInsensitive) const = 0;

private:
    bool negation_;
};

class TkvRegExprUserEnumeration : public TkvRegExprEnumeration {
public:
    using TkvRegExprEnumeration::TkvRegExprEnumeration;
    void Add(std::unique_ptr<TkvRegExprItem> item) { items_.push_back(std::move(item)); }
    bool Empty() const noexcept { return items_.empty(); }
    std::unique_ptr<TkvRegExprItem> Clone() const override {
        auto copy = std::make_unique<TkvRegExprUserEnumeration>(Negation());
        for (const auto &item : items_)
            copy->Add(item->Clone());
        return copy;
    }

protected:
    bool Test(wchar_t &c, bool caseInsensitive) const override {
        for (const auto &item : items_)
            if (item->Match(c, caseInsensitive))
                return true;
        return false;
    }

private:
    std::vector<std::unique_ptr<TkvRegExprItem>> items_;
};

template <bool (*Is)(wchar_t)> class TkvRegExprClass : public TkvRegExprEnumeration {
public:
    using TkvRegExprEnumeration::TkvRegExprEnumeration;
    std::unique_ptr<TkvRegExprItem> Clone() const override { return std::make_unique<TkvRegExprClass>(Negation()); }

protected:
    bool Test(wchar_t &c, bool) const override { return Is(c); }
};

using TkvRegExprDigit = TkvRegExprClass<isDigit>;
using TkvRegExprIdLetter = TkvRegExprClass<isIdLetter>;
using TkvRegExprSpace = TkvRegExprClass<isSpace>;

class TkvRegExprAll : public TkvRegExprItem {
public:
    bool Match(wchar_t &, bool) const override { return true; }
    std::unique_ptr<TkvRegExprItem> Clone() const override { return std::make_unique<TkvRegExprAll>(); }
};

// ---- states

class TkvRegExprState {
public:
    virtual ~TkvRegExprState() = default;
    virtual bool IsBlock() const noexcept = 0;
    std::vector<TkvRegExprState *> successors; // not owned
    unsigned mark = 0;                         // the pass that last reached it
};

class TkvRegExprSimpleState : public TkvRegExprState {
public:
    explicit TkvRegExprSimpleState(std::unique_ptr<TkvRegExprItem> item) : item(std::move(item)) {}
    bool IsBlock() const noexcept override { return false; }
    std::unique_ptr<TkvRegExprItem> item; // none for the start state
    bool final = false;
};

class TkvRegExprBlockState : public TkvRegExprState {
public:
    bool IsBlock() const noexcept override { return true; }
};

// ---- quantifiers and the parse tree

enum TkvRegExprQuantifier { rqOnce, rqQuestion, rqStar, rqPlus };

bool canBeMissing(TkvRegExprQuantifier q) { return q == rqQuestion || q == rqStar; }
bool canRepeat(TkvRegExprQuantifier q) { return q == rqStar || q == rqPlus; }
const wchar_t *printQuantifier(TkvRegExprQuantifier q) {
    switch (q) {
    case rqQuestion: return L"?";
    case rqStar: return L"*";
    case rqPlus: return L"+";
    default: return L"";
    }
}

class TkvRegExprParserAlt;

class TkvRegExprParserItem {
public:
    virtual ~TkvRegExprParserItem() = default;
    virtual bool CanBeEmpty() const = 0;
    virtual std::unique_ptr<TkvRegExprParserItem> Clone() const = 0;
    virtual void Print(std::wstring &out) const = 0;
    virtual void SetFinal() = 0;
    virtual TkvRegExprState *Entry() const = 0;
    virtual TkvRegExprState *Exit() const = 0;
    virtual int StateCount() const = 0;
    bool CanBeMissing() const { return canBeMissing(quantifier); }

    TkvRegExprQuantifier quantifier = rqOnce;
    int height = 0; // groups nested inside, this one included
};

using ItemPtr = std::unique_ptr<TkvRegExprParserItem>;

class TkvRegExprParserAlt {
public:
    std::vector<ItemPtr> items;
    bool AllMissing() const {
        return std::all_of(items.begin(), items.end(), [](const ItemPtr &i) { return i->CanBeMissing(); });
    }
    bool CanBeEmpty() const {
        return std::all_of(items.begin(), items.end(), [](const ItemPtr &i) { return i->CanBeEmpty(); });
    }
    void Print(std::wstring &out) const {
        out += L"<Start_Alt>\r\n";
        for (const auto &item : items)
            item->Print(out);
        out += L"<Finish_Alt>\r\n";
    }
    // The last item, and before it each item while everything after it can match nothing.
    void SetFinal() {
        for (std::size_t i = items.size(); i-- > 0;) {
            items[i]->SetFinal();
            if (!items[i]->CanBeEmpty())
                break;
        }
    }
};

class TkvRegExprParserAlts {
public:
    std::vector<std::unique_ptr<TkvRegExprParserAlt>> alts;
};

class TkvRegExprParserSimpleItem : public TkvRegExprParserItem {
public:
    explicit TkvRegExprParserSimpleItem(std::unique_ptr<TkvRegExprItem> item)
        : state(std::make_unique<TkvRegExprSimpleState>(std::move(item))) {}
    bool CanBeEmpty() const override { return CanBeMissing(); }
    ItemPtr Clone() const override {
        auto copy = std::make_unique<TkvRegExprParserSimpleItem>(state->item->Clone());
        copy->quantifier = quantifier;
        return copy;
    }
    void Print(std::wstring &out) const override {
        out += L"\r\n";
        out += printQuantifier(quantifier);
        out += L"item --> ";
    }
    void SetFinal() override { state->final = true; }
    TkvRegExprState *Entry() const override { return state.get(); }
    TkvRegExprState *Exit() const override { return state.get(); }
    int StateCount() const override { return 1; }

    std::unique_ptr<TkvRegExprSimpleState> state;
};

class TkvRegExprParserBlockItem : public TkvRegExprParserItem {
public:
    bool CanBeEmpty() const override {
        return CanBeMissing() ||
               std::any_of(alts.begin(), alts.end(), [](const auto &alt) { return alt->CanBeEmpty(); });
    }
    ItemPtr Clone() const override {
        auto copy = std::make_unique<TkvRegExprParserBlockItem>();
        copy->quantifier = quantifier;
        copy->height = height;
        copy->states = states;
        for (const auto &alt : alts) {
            auto altCopy = std::make_unique<TkvRegExprParserAlt>();
            for (const auto &item : alt->items)
                altCopy->items.push_back(item->Clone());
            copy->alts.push_back(std::move(altCopy));
        }
        return copy;
    }
    void Print(std::wstring &out) const override {
        out += L"<Start_Block>\r\n";
        for (const auto &alt : alts)
            alt->Print(out);
        out += L"\r\n";
        out += printQuantifier(quantifier);
        out += L"<Finish_Block> --> ";
    }
    void SetFinal() override {
        for (const auto &alt : alts)
            alt->SetFinal();
    }
    TkvRegExprState *Entry() const override { return entry.get(); }
    TkvRegExprState *Exit() const override { return exit.get(); }
    int StateCount() const override { return states; }
    // Height and size from the alternatives, once they are complete.
    void Measure() {
        height = 1;
        states = 0;
        for (const auto &alt : alts)
            for (const auto &item : alt->items) {
                height = std::max(height, item->height + 1);
                states += item->StateCount();
            }
    }

    std::vector<std::unique_ptr<TkvRegExprParserAlt>> alts;
    std::unique_ptr<TkvRegExprBlockState> exit = std::make_unique<TkvRegExprBlockState>();
    std::unique_ptr<TkvRegExprBlockState> entry = std::make_unique<TkvRegExprBlockState>();
    bool open = true;
    int states = 0;
};

// ---- building the automaton

// Links successors; a run of optional items links each to all that follow, so the links are
// counted against a budget of their own.
struct TkvRegExprLinker {
    std::size_t links = 0;
    bool exceeded = false;

    void link(TkvRegExprState *from, TkvRegExprState *to) {
        if (++links > TkvRegExpr::maxLinks) {
            exceeded = true;
            return;
        }
        from->successors.push_back(to);
    }

    // The entries of the items from `from` up to and including the first that cannot be missing;
    // true when every item from there on can be missing.
    bool linkLeading(const std::vector<ItemPtr> &items, std::size_t from, TkvRegExprState *state) {
        for (std::size_t j = from; j < items.size() && !exceeded; ++j) {
            link(state, items[j]->Entry());
            if (!items[j]->CanBeMissing())
                return false;
        }
        return true;
    }

    void buildBlock(TkvRegExprParserBlockItem &block) {
        for (const auto &alt : block.alts) {
            if (linkLeading(alt->items, 0, block.entry.get()))
                link(block.entry.get(), block.exit.get());
            buildAlt(*alt, block.exit.get());
        }
    }

    void buildAlt(TkvRegExprParserAlt &alt, TkvRegExprState *blockExit) {
        auto &items = alt.items;
        for (std::size_t i = 0; i < items.size() && !exceeded; ++i) {
            TkvRegExprParserItem &item = *items[i];
            if (auto *block = dynamic_cast<TkvRegExprParserBlockItem *>(&item))
                buildBlock(*block);
            bool restMissing = linkLeading(items, i + 1, item.Exit());
            if (canRepeat(item.quantifier))
                link(item.Exit(), item.Entry());
            if (restMissing && blockExit != nullptr)
                link(item.Exit(), blockExit);
        }
    }
};

} // namespace kvregexpr

using namespace kvregexpr;

// ---- the parser

struct TkvRegExprParser {
    TkvRegExprParser(TkvRegExpr &owner, const std::vector<TkvLexem> &lexems) : owner(owner), lexems(lexems) {}

    TkvRegExpr &owner;
    const std::vector<TkvLexem> &lexems;
    std::size_t index = 0;
    std::vector<TkvRegExprParserBlockItem *> blocks; // in the order of their opening
    int states = 0;
    bool stopped = false; // a limit was passed: the rest is not read
    // Groups replaced by their counted copies stay alive: a back-reference may still copy them.
    std::vector<ItemPtr> replaced;

    bool atEnd() const { return stopped || index >= lexems.size(); }
    const TkvLexem &cur() const { return lexems[index]; }
    bool isSpecial(wchar_t c) const { return !atEnd() && cur().kind == lkSpecial && cur().text[0] == c; }
    void error(const TkvLexem &at, std::wstring message) { owner.error(at.line, at.column, std::move(message)); }
    void errorHere(std::wstring message) {
        if (index < lexems.size())
            error(cur(), std::move(message));
        else if (!lexems.empty())
            error(lexems.back(), std::move(message));
        else
            owner.error(0, 0, std::move(message));
    }
    // Past a limit the parse stops; the error names where it was passed.
    void limit(const TResourceString &message) {
        if (!stopped)
            errorHere(LoadResString(message));
        stopped = true;
    }
    void limit(const TkvLexem &at, const TResourceString &message) {
        if (!stopped)
            error(at, LoadResString(message));
        stopped = true;
    }

    // Every new character test passes here: past the budget the parse stops.
    bool reserve(std::int64_t count) {
        if (count > TkvRegExpr::maxStates - states) {
            limit(SRegExprTooComplex);
            return false;
        }
        states += static_cast<int>(count);
        return true;
    }

    ItemPtr simple(std::unique_ptr<TkvRegExprItem> item) {
        if (!reserve(1))
            return nullptr;
        return std::make_unique<TkvRegExprParserSimpleItem>(std::move(item));
    }

    ItemPtr clone(const TkvRegExprParserItem &item) {
        if (!reserve(item.StateCount()))
            return nullptr;
        return item.Clone();
    }

    // A block of one alternative holding the items, carrying the quantifier.
    std::unique_ptr<TkvRegExprParserBlockItem> wrap(std::vector<ItemPtr> items, TkvRegExprQuantifier q) {
        auto block = std::make_unique<TkvRegExprParserBlockItem>();
        block->open = false;
        auto alt = std::make_unique<TkvRegExprParserAlt>();
        alt->items = std::move(items);
        block->alts.push_back(std::move(alt));
        block->quantifier = q;
        block->Measure();
        return block;
    }

    void setQuantifier(ItemPtr &item, TkvRegExprQuantifier q) {
        if (item->quantifier == rqOnce) {
            item->quantifier = q;
            return;
        }
        if (item->height + 1 > TkvRegExpr::maxNesting) {
            limit(SRegExprTooDeep);
            return;
        }
        std::vector<ItemPtr> inner;
        inner.push_back(std::move(item));
        item = wrap(std::move(inner), q);
    }

    void parseTop(TkvRegExprParserAlts &tree) {
        parseAlternatives(tree.alts, nullptr, 0);
        while (!atEnd()) {
            // Only a ')' of the top level stops the alternatives early.
            error(cur(), FormatResString(SRegExprIllegal, {cur().text}));
            ++index;
            if (!atEnd())
                parseAlternatives(tree.alts, nullptr, 0);
        }
    }

    // Alternatives up to the ')' of the block (not consumed) or the end.
    void parseAlternatives(std::vector<std::unique_ptr<TkvRegExprParserAlt>> &alts,
                           TkvRegExprParserBlockItem *block, int depth) {
        for (;;) {
            auto alt = std::make_unique<TkvRegExprParserAlt>();
            std::size_t first = index;
            if (block != nullptr && isSpecial(L')')) {
                errorHere(LoadResString(SRegExprEmptyBlock));
            } else if (isSpecial(L'|') || (block == nullptr && atEnd() && !stopped)) {
                errorHere(LoadResString(SRegExprEmptyAlternative));
            }
            while (!atEnd() && !isSpecial(L'|') && !isSpecial(L')'))
                parseItem(*alt, depth);
            if (index != first || !alt->items.empty())
                alts.push_back(std::move(alt));
            if (!isSpecial(L'|'))
                return;
            ++index;
            if (block == nullptr && atEnd() && !stopped) {
                error(lexems[index - 1], LoadResString(SRegExprEmptyAlternative));
                return;
            }
        }
    }

    void parseItem(TkvRegExprParserAlt &alt, int depth) {
        const TkvLexem &lexem = cur();
        ++index;
        ItemPtr item;
        switch (lexem.kind) {
        case lkLiteral: item = simple(std::make_unique<TkvRegExprSymbol>(lexem.text[0])); break;
        case lkAny: item = simple(std::make_unique<TkvRegExprAll>()); break;
        case lkDateSeparator: item = simple(std::make_unique<TkvRegExprDateSeparator>()); break;
        case lkTimeSeparator: item = simple(std::make_unique<TkvRegExprTimeSeparator>()); break;
        case lkClass: item = simple(classItem(lexem.text[0])); break;
        case lkInteger: error(lexem, LoadResString(SRegExprIllegalInteger)); break;
        case lkBackRef: {
            std::size_t n = static_cast<std::size_t>(lexem.text[0] - L'0');
            if (n > blocks.size() || blocks[n - 1]->open)
                error(lexem, LoadResString(SRegExprTooBigReference));
            else
                item = clone(*blocks[n - 1]);
            break;
        }
        default: {
            wchar_t c = lexem.text[0];
            if (c == L'(')
                item = parseBlock(depth);
            else if (c == L'[')
                item = parseSet();
            else if (c == L'*' || c == L'+' || c == L'?')
                error(lexem, FormatResString(SRegExprIllegalQuantifier, {lexem.text}));
            else if (c == L'{') {
                error(lexem, LoadResString(SRegExprIncorrectParameterQuantifier));
                skipCount();
            } else
                error(lexem, FormatResString(SRegExprIllegal, {lexem.text}));
        }
        }
        if (item == nullptr)
            return;
        while (!atEnd() && item != nullptr) {
            const TkvLexem &q = cur();
            if (isSpecial(L'*') || isSpecial(L'+')) {
                ++index;
                if (item->CanBeEmpty())
                    error(q, LoadResString(q.text[0] == L'*' ? SRegExprCantApplyStar : SRegExprCantApplyPlus));
                else
                    setQuantifier(item, q.text[0] == L'*' ? rqStar : rqPlus);
            } else if (isSpecial(L'?')) {
                ++index;
                setQuantifier(item, rqQuestion);
            } else if (isSpecial(L'{')) {
                ++index;
                applyCount(item, q);
            } else {
                break;
            }
        }
        if (item != nullptr && !stopped)
            alt.items.push_back(std::move(item));
    }

    static std::unique_ptr<TkvRegExprItem> classItem(wchar_t c) {
        switch (c) {
        case L'd': return std::make_unique<TkvRegExprDigit>(false);
        case L'D': return std::make_unique<TkvRegExprDigit>(true);
        case L'w': return std::make_unique<TkvRegExprIdLetter>(false);
        case L'W': return std::make_unique<TkvRegExprIdLetter>(true);
        case L's': return std::make_unique<TkvRegExprSpace>(false);
        default: return std::make_unique<TkvRegExprSpace>(true);
        }
    }

    ItemPtr parseBlock(int depth) {
        if (depth + 1 > TkvRegExpr::maxNesting) {
            --index;
            limit(SRegExprTooDeep);
            return nullptr;
        }
        auto block = std::make_unique<TkvRegExprParserBlockItem>();
        blocks.push_back(block.get());
        parseAlternatives(block->alts, block.get(), depth + 1);
        if (stopped)
            return nullptr; // the block list still points at it: nothing reads it any more
        if (isSpecial(L')'))
            ++index;
        else
            owner.error(0, 0, FormatResString(SRegExprMissing, {L")"}));
        block->open = false;
        block->Measure();
        if (block->height > TkvRegExpr::maxNesting) {
            limit(SRegExprTooDeep);
            return nullptr;
        }
        return block;
    }

    ItemPtr parseSet() {
        bool negated = false;
        if (isSpecial(L'^')) {
            negated = true;
            ++index;
        }
        auto set = std::make_unique<TkvRegExprUserEnumeration>(negated);
        std::size_t firstInside = index;
        const TkvLexem *previousLiteral = nullptr; // a literal a range may start from
        bool afterRange = false;
        while (!atEnd() && !isSpecial(L']')) {
            const TkvLexem &lexem = cur();
            ++index;
            switch (lexem.kind) {
            case lkLiteral:
                if (previousLiteral != nullptr)
                    set->Add(std::make_unique<TkvRegExprSymbol>(previousLiteral->text[0]));
                previousLiteral = &lexem;
                afterRange = false;
                continue;
            case lkDateSeparator: flush(*set, previousLiteral); set->Add(std::make_unique<TkvRegExprDateSeparator>()); break;
            case lkTimeSeparator: flush(*set, previousLiteral); set->Add(std::make_unique<TkvRegExprTimeSeparator>()); break;
            case lkClass: flush(*set, previousLiteral); set->Add(classItem(lexem.text[0])); break;
            case lkSpecial:
                if (lexem.text[0] == L'-' && previousLiteral != nullptr && !afterRange && !atEnd() &&
                    cur().kind == lkLiteral) {
                    wchar_t first = previousLiteral->text[0], last = cur().text[0];
                    if (first < last)
                        set->Add(std::make_unique<TkvRegExprSubrange>(first, last));
                    else
                        error(cur(), LoadResString(SRegExprSubrangeOrder));
                    ++index;
                    previousLiteral = nullptr;
                    afterRange = true;
                    continue;
                }
                flush(*set, previousLiteral);
                error(lexem, FormatResString(SRegExprIllegal, {lexem.text}));
                continue; // a '-' right after a range stays "after a range"
            default:
                flush(*set, previousLiteral);
                error(lexem, FormatResString(SRegExprIllegal, {L"\\" + lexem.text}));
                break;
            }
            afterRange = false;
        }
        flush(*set, previousLiteral);
        const TkvLexem *close = atEnd() ? nullptr : &cur();
        if (close != nullptr)
            ++index;
        if (set->Empty()) {
            if (index - (close != nullptr ? 1 : 0) != firstInside)
                return nullptr; // what was inside was wrong, and said so
            if (close != nullptr)
                error(*close, LoadResString(SRegExprEmptyEnumeration));
            else
                errorHere(LoadResString(SRegExprEmptyEnumeration));
            return nullptr;
        }
        return simple(std::move(set));
    }

    static void flush(TkvRegExprUserEnumeration &set, const TkvLexem *&literal) {
        if (literal != nullptr)
            set.Add(std::make_unique<TkvRegExprSymbol>(literal->text[0]));
        literal = nullptr;
    }

    void skipCount() {
        while (!atEnd() && !isSpecial(L'}'))
            ++index;
        if (!atEnd())
            ++index;
    }

    // After '{': "n}", "n,}" or "n,m}"; counts beyond 32 bits are incorrect.
    bool readCount(std::int64_t &n, std::int64_t &m) {
        auto integer = [&](std::int64_t &value) {
            if (atEnd() || cur().kind != lkInteger)
                return false;
            std::int32_t parsed = 0;
            bool ok = TryStrToInt(cur().text, parsed);
            ++index;
            value = parsed;
            return ok;
        };
        if (!integer(n))
            return false;
        m = n;
        if (isSpecial(L',')) {
            ++index;
            m = -1;
            if (!atEnd() && cur().kind == lkInteger && !integer(m))
                return false;
        }
        if (!isSpecial(L'}'))
            return false;
        ++index;
        return m < 0 || m >= n;
    }

    void applyCount(ItemPtr &item, const TkvLexem &at) {
        std::size_t start = index;
        std::int64_t n = 0, m = 0;
        if (!readCount(n, m) || (n == 0 && m == 0)) {
            error(at, LoadResString(SRegExprIncorrectParameterQuantifier));
            index = start;
            skipCount();
            return;
        }
        bool unbounded = m < 0;
        // Repeating what can match nothing without bound would never end.
        if (item->CanBeMissing() || (unbounded && item->CanBeEmpty())) {
            error(at, LoadResString(SRegExprCantApplyParameter));
            return;
        }
        std::int64_t optional = unbounded ? 0 : m - n;
        std::int64_t copies = n + (unbounded ? 1 : optional);
        if (copies * item->StateCount() > TkvRegExpr::maxStates - states + item->StateCount()) {
            limit(at, SRegExprTooComplex);
            return;
        }
        if (item->height + 1 + (optional > 1 ? optional - 1 : 0) + (optional > 0 ? 1 : 0) > TkvRegExpr::maxNesting) {
            limit(at, SRegExprTooDeep);
            return;
        }
        states -= item->StateCount(); // the original makes way for its copies
        std::vector<ItemPtr> items;
        for (std::int64_t i = 0; i < n; ++i)
            items.push_back(clone(*item));
        if (unbounded) {
            ItemPtr tail = clone(*item);
            setQuantifier(tail, rqStar);
            items.push_back(std::move(tail));
        } else if (optional > 0) {
            // x{2,4}: x x (x (x)?)?, built from the innermost level out.
            ItemPtr inner = clone(*item);
            setQuantifier(inner, rqQuestion);
            for (std::int64_t level = 2; level <= optional && !stopped; ++level) {
                std::vector<ItemPtr> pair;
                pair.push_back(clone(*item));
                pair.push_back(std::move(inner));
                inner = wrap(std::move(pair), rqQuestion);
            }
            items.push_back(std::move(inner));
        }
        replaced.push_back(std::move(item));
        if (stopped)
            return;
        item = wrap(std::move(items), rqOnce);
        if (item->height > TkvRegExpr::maxNesting)
            limit(at, SRegExprTooDeep);
    }
};

// ---- the compiler

void TkvRegExpr::Create() {
    errors_ = New<TkvRegExprErrors>();
    lexems_ = new std::vector<TkvLexem>();
}

void TkvRegExpr::Destroy() {
    releaseTree();
    delete lexems_;
    lexems_ = nullptr;
    FreeAndNil(errors_);
    FreeAndNil(source_);
    inherited::Destroy();
}

void TkvRegExpr::releaseTree() {
    delete tree_;
    tree_ = nullptr;
    delete start_;
    start_ = nullptr;
    current_.clear();
    history_.clear();
}

int TkvRegExpr::LexemCount() const noexcept { return static_cast<int>(lexems_->size()); }

void TkvRegExpr::Clear() {
    FreeAndNil(source_);
    errors_->Clear();
    lexems_->clear();
    releaseTree();
    text_.clear();
    pos_ = 0;
    line_ = 1;
    column_ = 0;
    compiled_ = false;
}

void TkvRegExpr::error(int line, int column, std::wstring message) { errors_->Add(line, column, std::move(message)); }

void TkvRegExpr::raiseErrors() {
    releaseTree();
    throw EkvRegExprError(RegExprErrorsMessage(*errors_), errors_);
}

void TkvRegExpr::loadSource(TStream *source) {
    if (source == nullptr) {
        error(0, 0, LoadResString(SRegExprStreamNotAssigned));
        raiseErrors();
    }
    source_ = New<TMemoryStream>();
    source_->CopyFrom(source, 0);
    std::string bytes(reinterpret_cast<const char *>(source_->Memory()), static_cast<std::size_t>(source_->Size()));
    text_ = Utf8ToWide(bytes);
}

void TkvRegExpr::Compile(TStream *source) {
    if (!firstCompile_)
        Clear();
    firstCompile_ = false;
    loadSource(source);
    if (std::all_of(text_.begin(), text_.end(), isSpace)) {
        error(0, 0, LoadResString(SRegExprEmptySourceStream));
        raiseErrors();
    }
    lex();
    if (errors_->Count() > 0)
        raiseErrors();
    parse();
    if (errors_->Count() > 0)
        raiseErrors();
    build(); // raises when the links pass their budget
    compiled_ = true;
    if (updateOn_)
        autoComplete();
}

void TkvRegExpr::CompileText(const std::wstring &expression) {
    TOwned<TMemoryStream> stream(New<TMemoryStream>());
    std::string bytes = WideToUtf8(expression);
    stream->WriteBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    stream->SetPosition(0);
    Compile(stream.get());
}

// ---- the lexer

wchar_t TkvRegExpr::read() {
    wchar_t c = text_[pos_++];
    ++column_;
    if (c == L'\r')
        ++line_;
    if (c == L'\n')
        column_ = 0;
    return c;
}

void TkvRegExpr::addLexem(int kind, std::wstring text, int line, int column) {
    lexems_->push_back(TkvLexem{column, kind, line, std::move(text)});
}

void TkvRegExpr::lex() {
    int opened = 0, closed = 0;
    while (!atEnd()) {
        wchar_t c = read();
        if (isSpace(c))
            continue;
        int line = line_, column = column_;
        switch (c) {
        case L'\'': lexQuoted(line, column); break;
        case L'(': ++opened; addLexem(lkSpecial, L"(", line, column); break;
        case L')': ++closed; addLexem(lkSpecial, L")", line, column); break;
        case L'*': case L'+': case L'?': case L'|': addLexem(lkSpecial, std::wstring(1, c), line, column); break;
        case L'.': addLexem(lkAny, L".", line, column); break;
        case L'/': addLexem(lkDateSeparator, L"/", line, column); break;
        case L':': addLexem(lkTimeSeparator, L":", line, column); break;
        case L'[': addLexem(lkSpecial, L"[", line, column); lexSet(); break;
        case L'{': addLexem(lkSpecial, L"{", line, column); lexCount(); break;
        case L'\\': lexEscape(line, column); break;
        default: addLexem(lkLiteral, std::wstring(1, c), line, column);
        }
    }
    if (opened > closed)
        error(0, 0, FormatResString(SRegExprMissing, {L")"}));
    else if (closed > opened)
        error(0, 0, FormatResString(SRegExprUnnecessary, {L")"}));
}

void TkvRegExpr::lexQuoted(int line, int column) {
    for (;;) {
        if (atEnd()) {
            error(line_, column_, FormatResString(SRegExprMissing, {L" ' "}));
            return;
        }
        wchar_t c = read();
        if (c == L'\'') {
            if (peek() != L'\'' || atEnd())
                return;
            read();
        }
        addLexem(lkLiteral, std::wstring(1, c), line, column);
    }
}

void TkvRegExpr::lexEscape(int line, int column) {
    if (atEnd()) {
        addLexem(lkLiteral, L"\\", line, column);
        return;
    }
    wchar_t c = read();
    if (c >= L'1' && c <= L'9') {
        addLexem(lkBackRef, std::wstring(1, c), line, column);
        return;
    }
    if (isSpace(c) && c != L'\0') {
        error(line_, column_, LoadResString(SRegExprIllegalSpace));
        return;
    }
    wchar_t literal = c;
    switch (c) {
    case L'd': case L'D': case L'w': case L'W': case L's': case L'S':
        addLexem(lkClass, std::wstring(1, c), line, column);
        return;
    case L'a': literal = 7; break;
    case L'e': literal = 27; break;
    case L'f': literal = L'\f'; break;
    case L'n': literal = L'\n'; break;
    case L'r': literal = L'\r'; break;
    case L't': literal = L'\t'; break;
    case L'p': literal = FormatSettings().DecimalSeparator; break;
    case L'x': {
        int code = 0;
        for (int i = 0; i < 2; ++i) {
            if (atEnd()) {
                error(line_, column_, LoadResString(SRegExprHexExpected));
                return;
            }
            wchar_t digit = read();
            if (hexValue(digit) < 0) {
                error(line_, column_, FormatResString(SRegExprHexExpectedFound, {std::wstring(1, digit)}));
                return;
            }
            code = code * 16 + hexValue(digit);
        }
        literal = static_cast<wchar_t>(code);
        break;
    }
    default: break;
    }
    addLexem(lkLiteral, std::wstring(1, literal), line, column);
}

void TkvRegExpr::lexSet() {
    if (!atEnd() && peek() == L']') {
        read();
        addLexem(lkSpecial, L"]", line_, column_);
        return;
    }
    if (!atEnd() && peek() == L'^') {
        read();
        addLexem(lkSpecial, L"^", line_, column_);
    }
    for (;;) {
        if (atEnd()) {
            error(line_, column_, FormatResString(SRegExprMissing, {L"]"}));
            return;
        }
        wchar_t c = read();
        int line = line_, column = column_;
        switch (c) {
        case L'\'': lexQuoted(line, column); break;
        case L'\\': lexEscape(line, column); break;
        case L'/': addLexem(lkDateSeparator, L"/", line, column); break;
        case L':': addLexem(lkTimeSeparator, L":", line, column); break;
        case L']': addLexem(lkSpecial, L"]", line, column); return;
        case L'-': {
            std::size_t ahead = pos_;
            while (ahead < text_.size() && isSpace(text_[ahead]))
                ++ahead;
            bool closes = ahead < text_.size() && text_[ahead] == L']';
            addLexem(closes ? lkLiteral : lkSpecial, L"-", line, column);
            break;
        }
        default: addLexem(lkLiteral, std::wstring(1, c), line, column);
        }
    }
}

void TkvRegExpr::lexCount() {
    for (;;) {
        if (atEnd()) {
            error(line_, column_, FormatResString(SRegExprMissing, {L"}"}));
            return;
        }
        wchar_t c = read();
        int line = line_, column = column_;
        if (isDigit(c)) {
            std::wstring digits(1, c);
            // Digits past what any count can be only make the number bigger.
            while (!atEnd() && isDigit(peek())) {
                wchar_t d = read();
                if (digits.size() < 12)
                    digits += d;
            }
            addLexem(lkInteger, digits, line, column);
        } else if (c == L',') {
            addLexem(lkSpecial, L",", line, column);
        } else if (c == L'}') {
            addLexem(lkSpecial, L"}", line, column);
            return;
        } else if (c == L'\'') {
            error(line, column, FormatResString(SRegExprIllegal, {L" ' "}));
        } else {
            error(line, column, FormatResString(SRegExprIllegal, {std::wstring(1, c)}));
        }
    }
}

// ---- parse and build

void TkvRegExpr::parse() {
    auto tree = std::make_unique<TkvRegExprParserAlts>();
    TkvRegExprParser parser(*this, *lexems_);
    parser.parseTop(*tree);
    tree_ = tree.release();
}

void TkvRegExpr::build() {
    start_ = new TkvRegExprSimpleState(nullptr);
    bool startFinal = false;
    TkvRegExprLinker linker;
    for (const auto &alt : tree_->alts) {
        linker.linkLeading(alt->items, 0, start_);
        linker.buildAlt(*alt, nullptr);
        alt->SetFinal();
        if (alt->CanBeEmpty())
            startFinal = true;
    }
    if (linker.exceeded) {
        error(0, 0, LoadResString(SRegExprTooComplex));
        raiseErrors();
    }
    static_cast<TkvRegExprSimpleState *>(start_)->final = startFinal;
    current_ = {start_};
    history_.clear();
}

// ---- running

void TkvRegExpr::checkCompiled() const {
    if (!compiled_)
        throw Exception(LoadResString(SRegExprNotCompiled));
}

// Walks the successors of a set through block states, in the order a recursive walk would take,
// and hands each simple state reached to `take` once.
template <class Take> static void walkSuccessors(const std::vector<TkvRegExprState *> &from, unsigned pass, Take take) {
    std::vector<TkvRegExprState *> stack;
    for (auto it = from.rbegin(); it != from.rend(); ++it)
        for (auto s = (*it)->successors.rbegin(); s != (*it)->successors.rend(); ++s)
            stack.push_back(*s);
    while (!stack.empty()) {
        TkvRegExprState *state = stack.back();
        stack.pop_back();
        if (state->mark == pass)
            continue;
        state->mark = pass;
        if (state->IsBlock()) {
            for (auto s = state->successors.rbegin(); s != state->successors.rend(); ++s)
                stack.push_back(*s);
        } else {
            take(static_cast<TkvRegExprSimpleState *>(state));
        }
    }
}

TkvRegExpr::StateSet TkvRegExpr::step(const StateSet &from, wchar_t &character) {
    StateSet result;
    wchar_t taken = character;
    bool replaced = false;
    walkSuccessors(from, ++epoch_, [&](TkvRegExprSimpleState *state) {
        wchar_t c = character;
        if (state->item != nullptr && state->item->Match(c, CaseInsensitive)) {
            result.push_back(state);
            if (!replaced && c != character) {
                taken = c;
                replaced = true;
            }
        }
    });
    character = taken;
    return result;
}

TkvRegExpr::StateSet TkvRegExpr::expand(const StateSet &from) {
    StateSet result;
    walkSuccessors(from, ++epoch_, [&](TkvRegExprSimpleState *state) { result.push_back(state); });
    return result;
}

bool TkvRegExpr::forces(const StateSet &set, wchar_t &character) const {
    if (set.empty())
        return false;
    wchar_t forced = 0;
    for (std::size_t i = 0; i < set.size(); ++i) {
        if (set[i]->IsBlock())
            return false;
        auto *state = static_cast<TkvRegExprSimpleState *>(set[i]);
        wchar_t c = 0;
        if (state->item == nullptr || !state->item->Forced(c))
            return false;
        if (i > 0 && c != forced)
            return false;
        forced = c;
    }
    character = forced;
    return true;
}

bool TkvRegExpr::holdsFinal(const StateSet &set) const {
    return std::any_of(set.begin(), set.end(), [](TkvRegExprState *s) {
        return !s->IsBlock() && static_cast<TkvRegExprSimpleState *>(s)->final;
    });
}

bool TkvRegExpr::Next(wchar_t character, wchar_t *accepted) {
    checkCompiled();
    StateSet next = step(current_, character);
    if (next.empty())
        return false;
    history_.push_back(std::move(current_));
    current_ = std::move(next);
    if (accepted != nullptr)
        *accepted = character;
    if (updateOn_)
        autoComplete();
    return true;
}

std::wstring TkvRegExpr::FeedText(const std::wstring &text) {
    checkCompiled();
    std::wstring result;
    for (wchar_t c : text) {
        StateSet next = step(current_, c);
        if (next.empty())
            continue;
        history_.push_back(std::move(current_));
        current_ = std::move(next);
        result += c;
    }
    return result;
}

void TkvRegExpr::autoComplete() {
    // A forced step never returns to a set it came from without a choice; the bound is a guard.
    for (int steps = 0; steps <= maxStates && !holdsFinal(current_); ++steps) {
        StateSet next = expand(current_);
        wchar_t c = 0;
        if (!forces(next, c))
            return;
        if (OnSymbolAdd)
            OnSymbolAdd(c);
        history_.push_back(std::move(current_));
        current_ = std::move(next);
    }
}

void TkvRegExpr::removeAutoCompleted() {
    wchar_t c = 0;
    while (forces(current_, c)) {
        if (history_.empty()) {
            history_.push_back(StateSet()); // the next step back answers false
            return;
        }
        StateSet previous = std::move(history_.back());
        history_.pop_back();
        wchar_t unused = 0;
        if (previous.empty() || !forces(expand(previous), unused) || holdsFinal(previous)) {
            history_.push_back(std::move(previous));
            return;
        }
        if (OnSymbolDelete)
            OnSymbolDelete();
        current_ = std::move(previous);
    }
}

bool TkvRegExpr::Prev() {
    checkCompiled();
    if (updateOn_)
        removeAutoCompleted();
    if (history_.empty())
        return false;
    StateSet previous = std::move(history_.back());
    history_.pop_back();
    if (previous.empty())
        return false;
    current_ = std::move(previous);
    return true;
}

void TkvRegExpr::Reset() {
    checkCompiled();
    history_.clear();
    current_ = {start_};
}

bool TkvRegExpr::IsFinal() const {
    checkCompiled();
    return holdsFinal(current_);
}

bool TkvRegExpr::IsStart() const {
    checkCompiled();
    return !current_.empty() && current_.front() == start_;
}

void TkvRegExpr::SetUpdateOn(bool value) {
    if (value == updateOn_)
        return;
    updateOn_ = value;
    if (updateOn_ && compiled_)
        autoComplete();
}

std::wstring TkvRegExpr::PrintTree() const {
    std::wstring out;
    if (tree_ != nullptr)
        for (const auto &alt : tree_->alts)
            alt->Print(out);
    return out;
}
