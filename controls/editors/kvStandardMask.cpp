#include "kvStandardMask.h"

#include <classlib/list.h>
#include <classlib/string_utils.h>

#include <algorithm>

namespace {

bool isDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool isLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// One character mapped in the user's locale; kept when the mapping would change the length.
wchar_t mappedCase(wchar_t c, bool upper) {
    std::wstring_view one(&c, 1);
    std::wstring mapped = upper ? AnsiUpperCase(one) : AnsiLowerCase(one);
    return mapped.size() == 1 ? mapped[0] : c;
}

bool isTrailerFlag(wchar_t c) { return c == L'0' || c == L'1'; }

} // namespace

bool TkvStandardMaskManyItem::Check(wchar_t &character) const {
    wchar_t original = character;
    if (CaseControl == smcUpper)
        character = mappedCase(character, true);
    else if (CaseControl == smcLower)
        character = mappedCase(character, false);
    return Allows(original);
}

bool TkvStandardMaskAlphaItem::Allows(wchar_t character) const { return isLetter(character); }
bool TkvStandardMaskAlphaNumericItem::Allows(wchar_t character) const {
    return isLetter(character) || isDigit(character);
}
bool TkvStandardMaskNumericItem::Allows(wchar_t character) const { return isDigit(character); }
bool TkvStandardMaskNumericSymbolItem::Allows(wchar_t character) const {
    return isDigit(character) || character == L'+' || character == L'-';
}

void TkvStandardMask::Destroy() {
    Clear();
    inherited::Destroy();
}

void TkvStandardMask::Clear() {
    mask_.clear();
    leading_ = false;
    saveLiterals_ = true;
    blank_ = L'_';
    std::vector<TkvStandardMaskCustomItem *> items;
    items.swap(items_);
    for (TkvStandardMaskCustomItem *item : items)
        item->Free();
}

TkvStandardMaskCustomItem *TkvStandardMask::Items(int index) const {
    if (index < 0 || index >= ItemCount())
        RaiseListIndexError(index);
    return items_[static_cast<std::size_t>(index)];
}

void TkvStandardMask::SetMask(const std::wstring &mask) {
    Clear();
    mask_ = mask;
    std::wstring text = mask;
    if (!text.empty() && text[0] == L'!') {
        leading_ = true;
        text.erase(0, 1);
    }
    compile(text);
}

void TkvStandardMask::addLiteral(wchar_t literal) {
    items_.reserve(items_.size() + 1);
    items_.push_back(New<TkvStandardMaskLiteralItem>(literal));
}

template <class T> void TkvStandardMask::addInput(TkvStandardMaskCase caseControl, bool optional) {
    items_.reserve(items_.size() + 1);
    items_.push_back(New<T>(caseControl, optional));
}

void TkvStandardMask::compile(const std::wstring &text) {
    TkvStandardMaskCase caseControl = smcNone;
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        wchar_t c = text[i];
        switch (c) {
        case L'0': addInput<TkvStandardMaskNumericItem>(caseControl, false); break;
        case L'9': addInput<TkvStandardMaskNumericItem>(caseControl, true); break;
        case L'#': addInput<TkvStandardMaskNumericSymbolItem>(caseControl, true); break;
        case L'L': addInput<TkvStandardMaskAlphaItem>(caseControl, false); break;
        case L'l': addInput<TkvStandardMaskAlphaItem>(caseControl, true); break;
        case L'A': addInput<TkvStandardMaskAlphaNumericItem>(caseControl, false); break;
        case L'a': addInput<TkvStandardMaskAlphaNumericItem>(caseControl, true); break;
        case L'C': addInput<TkvStandardMaskASCIIItem>(caseControl, false); break;
        case L'c': addInput<TkvStandardMaskASCIIItem>(caseControl, true); break;
        case L'>': caseControl = smcUpper; break;
        case L'<':
            if (i + 1 < n && text[i + 1] == L'>') {
                caseControl = smcNone;
                ++i;
            } else {
                caseControl = smcLower;
            }
            break;
        case L'\\':
            if (i + 1 < n)
                addLiteral(text[++i]);
            break;
        case L'/': addLiteral(FormatSettings().DateSeparator); break;
        case L':': addLiteral(FormatSettings().TimeSeparator); break;
        case L';': {
            // The trailer counts only as the exact tail of the mask.
            const std::size_t rest = n - i - 1;
            if (rest == 1 && isTrailerFlag(text[i + 1])) {
                saveLiterals_ = text[i + 1] != L'0';
                return;
            }
            if (rest == 3 && isTrailerFlag(text[i + 1]) && text[i + 2] == L';') {
                saveLiterals_ = text[i + 1] != L'0';
                blank_ = text[i + 3];
                return;
            }
            addLiteral(c);
            break;
        }
        default: addLiteral(c); break;
        }
    }
}

std::wstring TkvStandardMask::GetEmptyString() const {
    std::wstring result;
    result.reserve(items_.size());
    for (const TkvStandardMaskCustomItem *item : items_) {
        if (auto *literal = dynamic_cast<const TkvStandardMaskLiteralItem *>(item)) {
            if (saveLiterals_)
                result += literal->Literal;
        } else {
            result += L' ';
        }
    }
    return result;
}

std::wstring TkvStandardMask::GetTemplate() const {
    std::wstring result;
    result.reserve(items_.size());
    for (const TkvStandardMaskCustomItem *item : items_) {
        auto *literal = dynamic_cast<const TkvStandardMaskLiteralItem *>(item);
        result += literal != nullptr ? literal->Literal : blank_;
    }
    return result;
}

void TkvStandardMask::FormatText(std::wstring &text, bool useConvertedCharacters, bool ignoreSaveLiterals) const {
    std::wstring result = GetTemplate();
    const std::size_t count = items_.size();
    std::size_t p = 0;
    for (wchar_t c : text) {
        for (std::size_t j = p; j < count; ++j) {
            const TkvStandardMaskCustomItem *item = items_[j];
            const bool literal = Is<TkvStandardMaskLiteralItem>(item);
            if (literal && !saveLiterals_ && !ignoreSaveLiterals)
                continue;
            wchar_t converted = c;
            if (item->Check(converted)) {
                result[j] = useConvertedCharacters ? converted : c;
                p = j + 1;
                break;
            }
            if (!literal && (c == blank_ || c == L' ')) {
                p = j + 1;
                break;
            }
        }
        if (p >= count)
            break; // nothing can take any further character
    }
    text.swap(result);
}

void TkvStandardMask::StripBlanks(std::wstring &text) const {
    std::wstring result;
    const std::size_t n = std::min(text.size(), items_.size());
    result.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (Is<TkvStandardMaskLiteralItem>(items_[i])) {
            if (saveLiterals_)
                result += text[i];
        } else {
            result += text[i] == blank_ ? L' ' : text[i];
        }
    }
    text.swap(result);
}

bool TkvStandardMask::IsComplete(const std::wstring &text) const {
    if (text.size() != items_.size())
        return false;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        wchar_t c = text[i];
        if (items_[i]->Check(c))
            continue;
        auto *input = dynamic_cast<const TkvStandardMaskManyItem *>(items_[i]);
        if (input != nullptr && input->Optional && (text[i] == blank_ || text[i] == L' '))
            continue;
        return false;
    }
    return true;
}
