// kvRegExpr: the regular expressions of the mask language, compiled into a nondeterministic
// automaton that is fed one typed character at a time.
//
// The automaton can step back, tells whether the text so far is complete (a final state) or still
// at its start, and can fill in the characters the expression forces (literals and separators)
// and take them away again. Compilation collects every error of a phase with its line and column
// and raises them together as one EkvRegExprError.
//
// The language: literals, 'quoted text', ( ) groups, | alternatives, * + ? and {n} {n,} {n,m}
// counts, [ ] sets with ranges and ^ negation, . any character, / and : the locale's date and
// time separators, \1..\9 copies of an earlier group, \d \D \w \W \s \S classes, \a \e \f \n \r
// \t \p (the decimal separator) and \xHH escapes. Spaces outside quotes, sets and counts are
// skipped. A count of zero repetitions ({0} or {0,0}) is refused as an incorrect parameter
// quantifier: there would be nothing left to match. {0,m} means zero to m repetitions.
//
// The source stream holds the expression in UTF-8; columns count characters.
#ifndef KV_REG_EXPR_H
#define KV_REG_EXPR_H

#include <classlib/events.h>
#include <classlib/exceptions.h>
#include <classlib/object.h>
#include <classlib/stream.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class TkvRegExprError : public TObject {
    CL_CLASS(TkvRegExprError, TObject)
public:
    void Create(int line, int column, std::wstring message);
    int Line() const noexcept { return line_; }
    int Column() const noexcept { return column_; }
    const std::wstring &Message() const noexcept { return message_; }
    // "Line3, Char4: message"; the position parts only where they are above 0.
    std::wstring Text() const;

private:
    int line_ = 0;
    int column_ = 0;
    std::wstring message_;
};

class TkvRegExprErrors : public TObject {
    CL_CLASS(TkvRegExprErrors, TObject)
public:
    void Add(int line, int column, std::wstring message);
    void Clear();
    int Count() const noexcept { return static_cast<int>(items_.size()); }
    TkvRegExprError *Items(int index) const; // EListError out of range

protected:
    void Destroy() override;

private:
    std::vector<TkvRegExprError *> items_;
};

// Raised by Compile; refers to the compiler's error list, which lives as long as the compiler.
class EkvRegExprError : public Exception {
public:
    EkvRegExprError(std::wstring message, TkvRegExprErrors *errors) : Exception(std::move(message)), errors_(errors) {}
    TkvRegExprErrors *Errors() const noexcept { return errors_; }

private:
    TkvRegExprErrors *errors_;
};

// "Regular expression errors:" and each error's text on a line of its own.
std::wstring RegExprErrorsMessage(const TkvRegExprErrors &errors);

namespace kvregexpr {
class TkvRegExprState;
class TkvRegExprParserItem;
class TkvRegExprParserAlts;
struct TkvLexem;
} // namespace kvregexpr

class TkvRegExpr : public TObject {
    CL_CLASS(TkvRegExpr, TObject)
public:
    // The work one expression may cause is bounded: at most this many character tests...
    static constexpr int maxStates = 10000;
    // ...groups (written or made by counts) nested at most this deep...
    static constexpr int maxNesting = 256;
    // ...and at most this many links between states.
    static constexpr std::size_t maxLinks = 1000000;

    void Create();

    // Raises EkvRegExprError with the errors of the phase that found them.
    void Compile(TStream *source);
    // The text as a UTF-8 stream, compiled.
    void CompileText(const std::wstring &expression);
    bool Compiled() const noexcept { return compiled_; }

    // Feeds one character; false when the expression refuses it. A case-insensitive symbol
    // gives the character the expression's case: `accepted` receives what was taken.
    bool Next(wchar_t character, wchar_t *accepted = nullptr);
    // Each character straight to the automaton (no completion); the accepted ones in order.
    std::wstring FeedText(const std::wstring &text);
    bool Prev();
    void Reset();
    bool IsFinal() const;
    bool IsStart() const;
    void Clear();

    // The compiled source, or null.
    TStream *Source() const noexcept { return compiled_ ? source_ : nullptr; }
    TkvRegExprErrors *Errors() const noexcept { return errors_; }
    int LexemCount() const noexcept;

    bool UpdateOn() const noexcept { return updateOn_; }
    void SetUpdateOn(bool value);
    bool CaseInsensitive = false;

    TEvent<void(wchar_t character)> OnSymbolAdd;
    TEvent<void()> OnSymbolDelete;

    // The parse tree as text, for diagnostics.
    std::wstring PrintTree() const;

protected:
    void Destroy() override;

private:
    using StateSet = std::vector<kvregexpr::TkvRegExprState *>;

    void checkCompiled() const;
    [[noreturn]] void raiseErrors();
    void loadSource(TStream *source);
    void lex();
    void parse();
    void build();
    void autoComplete();
    void removeAutoCompleted();
    StateSet step(const StateSet &from, wchar_t &character);
    StateSet expand(const StateSet &from);
    bool forces(const StateSet &set, wchar_t &character) const;
    bool holdsFinal(const StateSet &set) const;
    void releaseTree();

    // Reading the source.
    bool atEnd() const noexcept { return pos_ >= text_.size(); }
    wchar_t peek() const noexcept { return atEnd() ? L'\0' : text_[pos_]; }
    wchar_t read();
    void error(int line, int column, std::wstring message);
    void addLexem(int kind, std::wstring text, int line, int column);
    void lexQuoted(int line, int column);
    void lexEscape(int line, int column);
    void lexSet();
    void lexCount();

    TMemoryStream *source_ = nullptr;
    TkvRegExprErrors *errors_ = nullptr;
    std::vector<kvregexpr::TkvLexem> *lexems_ = nullptr;
    std::wstring text_;
    std::size_t pos_ = 0;
    int line_ = 1;
    int column_ = 0;
    bool firstCompile_ = true;
    bool compiled_ = false;
    bool updateOn_ = false;

    // The automaton.
    kvregexpr::TkvRegExprParserAlts *tree_ = nullptr;
    kvregexpr::TkvRegExprState *start_ = nullptr;
    StateSet current_;
    std::vector<StateSet> history_;
    unsigned epoch_ = 0;

    friend struct TkvRegExprParser;
};

#endif
