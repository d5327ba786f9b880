// kvStandardMask: the standard edit mask, compiled into one item per character position.
//
// The language: 0 digit, 9 optional digit, # optional digit or sign, L/l letter, A/a letter or
// digit, C/c any character (upper case required, lower case optional); > upper case, < lower
// case, <> no case conversion for the items that follow; \x the literal x; / and : the locale's
// date and time separators; a trailer ";0" or ";1" (literals left out of or kept in the value),
// optionally followed by ";" and the blank character, at the very end only; a leading "!" is
// taken off. Every other character stands for itself.
#ifndef KV_STANDARD_MASK_H
#define KV_STANDARD_MASK_H

#include <classlib/object.h>

#include <string>
#include <vector>

class TkvStandardMaskCustomItem : public TObject {
    CL_CLASS(TkvStandardMaskCustomItem, TObject)
public:
    // Whether the character may stand at this position; may change its case in place.
    virtual bool Check(wchar_t &character) const = 0;
};

class TkvStandardMaskLiteralItem : public TkvStandardMaskCustomItem {
    CL_CLASS(TkvStandardMaskLiteralItem, TkvStandardMaskCustomItem)
public:
    void Create(wchar_t literal) { Literal = literal; }
    bool Check(wchar_t &character) const override { return character == Literal; }
    wchar_t Literal = L'\0';
};

// Case control of the input items.
enum TkvStandardMaskCase : int { smcUpper = 0, smcLower = 1, smcNone = 2 };

class TkvStandardMaskManyItem : public TkvStandardMaskCustomItem {
    CL_CLASS(TkvStandardMaskManyItem, TkvStandardMaskCustomItem)
public:
    void Create(TkvStandardMaskCase caseControl, bool optional) {
        CaseControl = caseControl;
        Optional = optional;
    }
    // Converts the case first, then tests the character as it came in.
    bool Check(wchar_t &character) const final;
    TkvStandardMaskCase CaseControl = smcNone;
    bool Optional = false;

protected:
    virtual bool Allows(wchar_t character) const = 0;
};

class TkvStandardMaskAlphaItem : public TkvStandardMaskManyItem {
    CL_CLASS(TkvStandardMaskAlphaItem, TkvStandardMaskManyItem)
protected:
    bool Allows(wchar_t character) const override;
};

class TkvStandardMaskAlphaNumericItem : public TkvStandardMaskManyItem {
    CL_CLASS(TkvStandardMaskAlphaNumericItem, TkvStandardMaskManyItem)
protected:
    bool Allows(wchar_t character) const override;
};

class TkvStandardMaskASCIIItem : public TkvStandardMaskManyItem {
    CL_CLASS(TkvStandardMaskASCIIItem, TkvStandardMaskManyItem)
protected:
    bool Allows(wchar_t) const override { return true; }
};

class TkvStandardMaskNumericItem : public TkvStandardMaskManyItem {
    CL_CLASS(TkvStandardMaskNumericItem, TkvStandardMaskManyItem)
protected:
    bool Allows(wchar_t character) const override;
};

// Always optional.
class TkvStandardMaskNumericSymbolItem : public TkvStandardMaskManyItem {
    CL_CLASS(TkvStandardMaskNumericSymbolItem, TkvStandardMaskManyItem)
protected:
    bool Allows(wchar_t character) const override;
};

class TkvStandardMask : public TObject {
    CL_CLASS(TkvStandardMask, TObject)
public:
    void SetMask(const std::wstring &mask);
    void Clear();

    int ItemCount() const noexcept { return static_cast<int>(items_.size()); }
    TkvStandardMaskCustomItem *Items(int index) const; // EListError out of range
    // The item at a position, or null outside the mask.
    TkvStandardMaskCustomItem *ItemAt(int index) const noexcept {
        return index >= 0 && index < ItemCount() ? items_[static_cast<std::size_t>(index)] : nullptr;
    }
    bool IsLiteralAt(int index) const noexcept { return Is<TkvStandardMaskLiteralItem>(ItemAt(index)); }
    bool IsInputAt(int index) const noexcept { return Is<TkvStandardMaskManyItem>(ItemAt(index)); }

    const std::wstring &Mask() const noexcept { return mask_; }
    wchar_t Blank() const noexcept { return blank_; }
    bool Leading() const noexcept { return leading_; }
    bool SaveLiteralCharacters() const noexcept { return saveLiterals_; }

    // A space for every input position; literals only when they are kept in the value.
    std::wstring GetEmptyString() const;
    // The literals, and the blank character at every input position.
    std::wstring GetTemplate() const;
    // Fits a typed or stored text into the template: literals land on their positions, invalid
    // characters are dropped, blanks and spaces keep their place. The result has one character
    // per item.
    void FormatText(std::wstring &text, bool useConvertedCharacters, bool ignoreSaveLiterals) const;
    // The value form: blanks become spaces, literals stay only when they are kept.
    void StripBlanks(std::wstring &text) const;
    bool IsComplete(const std::wstring &text) const;

protected:
    void Destroy() override;

private:
    void compile(const std::wstring &text);
    void addLiteral(wchar_t literal);
    template <class T> void addInput(TkvStandardMaskCase caseControl, bool optional);

    std::vector<TkvStandardMaskCustomItem *> items_;
    std::wstring mask_;
    wchar_t blank_ = L'_';
    bool leading_ = false;
    bool saveLiterals_ = true;
};

#endif
