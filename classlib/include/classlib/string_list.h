// String lists: strings with an object beside each, lookup, sorting, text and files.
//
// Stands in for the compiler library's string list. Lookups compare ignoring case in the user's
// locale unless CaseSensitive is set; a sorted list keeps its order on Add and finds by binary
// search; CustomSort orders the list with a comparison of two indices (stable, and safe with a
// comparison that contradicts itself). Text splits lines at CR LF, LF or CR and joins them with
// CR LF after every line, the last included. Files and streams hold 8-bit text: in the ANSI code
// page, or byte for byte (each byte one character 0-255) where the bytes must survive unchanged.
// The object type is a template parameter: a pointer to an object, or a class reference.
#ifndef CLASSLIB_STRING_LIST_H
#define CLASSLIB_STRING_LIST_H

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "events.h"
#include "persistent.h"
#include "stream.h"

enum TDuplicates : std::uint8_t { dupIgnore, dupAccept, dupError };

enum class TTextEncoding : std::uint8_t { Ansi, Bytes };

namespace classlib_detail {
std::vector<std::wstring> splitLines(std::wstring_view text);
std::wstring joinLines(const std::vector<std::wstring_view> &lines);
int compareStrings(std::wstring_view a, std::wstring_view b, bool caseSensitive);
// The order of positions 0..count-1 that sorts them by compare, stable.
std::vector<int> stableOrder(int count, const std::function<int(int, int)> &compare);
std::wstring decodeText(const std::string &bytes, TTextEncoding encoding);
std::string encodeText(std::wstring_view text, TTextEncoding encoding);
std::string readStreamRest(TStream *stream);
std::string readFileBytes(const std::wstring &fileName);
void writeFileBytes(const std::wstring &fileName, const std::string &bytes);
[[noreturn]] void raiseStringListIndexError(int index);
[[noreturn]] void raiseSortedListError();
[[noreturn]] void raiseDuplicateString();
} // namespace classlib_detail

template <class O> class TStringListOf : public TPersistent {
    CL_CLASS_NAMED(TStringListOf, TPersistent, L"TStringList")

public:
    using TSortCompare = std::function<int(TStringListOf &list, int index1, int index2)>;

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

    void Create() {}

    int Count() const noexcept { return static_cast<int>(items_.size()); }
    const std::wstring &Strings(int index) const {
        check(index);
        return items_[index].string;
    }
    O Objects(int index) const {
        check(index);
        return items_[index].object;
    }
    // Replacing a string is refused on a sorted list (EStringListError).
    void SetString(int index, const std::wstring &text) {
        if (sorted_)
            classlib_detail::raiseSortedListError();
        check(index);
        Changing();
        items_[index].string = text;
        Changed();
    }
    void SetObject(int index, O object) {
        check(index);
        Changing();
        items_[index].object = object;
        Changed();
    }

    int Add(const std::wstring &text) { return AddObject(text, O{}); }
    // On a sorted list: the place that keeps the order; an equal string already there is kept
    // alone (dupIgnore, its index is the answer) or refused (dupError).
    int AddObject(const std::wstring &text, O object) {
        int index = Count();
        if (sorted_) {
            if (Find(text, index)) {
                if (duplicates_ == dupIgnore)
                    return index;
                if (duplicates_ == dupError)
                    classlib_detail::raiseDuplicateString();
            }
        }
        insertItem(index, text, object);
        return index;
    }
    void AddStrings(const TStringListOf &other) {
        BeginUpdate();
        try {
            for (const Item &item : other.snapshot())
                AddObject(item.string, item.object);
        } catch (...) {
            EndUpdate();
            throw;
        }
        EndUpdate();
    }
    // Inserting is refused on a sorted list (EStringListError); index may be Count.
    void Insert(int index, const std::wstring &text) { InsertObject(index, text, O{}); }
    void InsertObject(int index, const std::wstring &text, O object) {
        if (sorted_)
            classlib_detail::raiseSortedListError();
        if (index < 0 || index > Count())
            classlib_detail::raiseStringListIndexError(index);
        insertItem(index, text, object);
    }
    void Delete(int index) {
        check(index);
        Changing();
        items_.erase(items_.begin() + index);
        Changed();
    }
    void Clear() {
        if (items_.empty())
            return;
        Changing();
        items_.clear();
        Changed();
    }
    void Exchange(int index1, int index2) {
        check(index1);
        check(index2);
        Changing();
        std::swap(items_[index1], items_[index2]);
        Changed();
    }

    // The first string equal to the text as the list compares, or -1.
    int IndexOf(std::wstring_view text) const {
        if (sorted_) {
            int index;
            return Find(text, index) ? index : -1;
        }
        for (int i = 0; i < Count(); ++i)
            if (CompareStrings(items_[i].string, text) == 0)
                return i;
        return -1;
    }
    int IndexOfObject(O object) const noexcept {
        for (int i = 0; i < Count(); ++i)
            if (items_[i].object == object)
                return i;
        return -1;
    }
    // Binary search of a sorted list: the index of the first string not below the text, and
    // whether it equals the text.
    bool Find(std::wstring_view text, int &index) const {
        int low = 0;
        int high = Count();
        while (low < high) {
            int middle = low + (high - low) / 2;
            if (CompareStrings(items_[middle].string, text) < 0)
                low = middle + 1;
            else
                high = middle;
        }
        index = low;
        return low < Count() && CompareStrings(items_[low].string, text) == 0;
    }

    // Orders an unsorted list (a sorted one keeps its order); the list is left as it was when
    // the comparison raises.
    void CustomSort(const TSortCompare &compare) {
        if (sorted_ || Count() < 2)
            return;
        std::vector<int> order =
            classlib_detail::stableOrder(Count(), [&](int a, int b) { return compare(*this, a, b); });
        Changing();
        std::vector<Item> sortedItems;
        sortedItems.reserve(items_.size());
        for (int index : order)
            sortedItems.push_back(std::move(items_[index]));
        items_ = std::move(sortedItems);
        Changed();
    }
    void Sort() {
        CustomSort([](TStringListOf &list, int a, int b) {
            return list.CompareStrings(list.items_[a].string, list.items_[b].string);
        });
    }
    bool Sorted() const noexcept { return sorted_; }
    void SetSorted(bool value) {
        if (value == sorted_)
            return;
        if (value)
            Sort();
        sorted_ = value;
    }
    bool CaseSensitive() const noexcept { return caseSensitive_; }
    void SetCaseSensitive(bool value) {
        if (value == caseSensitive_)
            return;
        caseSensitive_ = value;
        if (sorted_) {
            sorted_ = false;
            SetSorted(true);
        }
    }
    TDuplicates Duplicates() const noexcept { return duplicates_; }
    void SetDuplicates(TDuplicates value) noexcept { duplicates_ = value; }

    // Change events wait for the last EndUpdate, which announces one change.
    void BeginUpdate() {
        if (updateCount_ == 0)
            Changing();
        ++updateCount_;
    }
    void EndUpdate() {
        if (updateCount_ > 0 && --updateCount_ == 0)
            Changed();
    }

    std::wstring Text() const {
        std::vector<std::wstring_view> lines;
        lines.reserve(items_.size());
        for (const Item &item : items_)
            lines.emplace_back(item.string);
        return classlib_detail::joinLines(lines);
    }
    void SetText(std::wstring_view text) {
        std::vector<std::wstring> lines = classlib_detail::splitLines(text);
        BeginUpdate();
        try {
            Clear();
            for (std::wstring &line : lines)
                Add(line);
        } catch (...) {
            EndUpdate();
            throw;
        }
        EndUpdate();
    }

    // Reads the stream from its position to its end.
    void LoadFromStream(TStream *stream, TTextEncoding encoding = TTextEncoding::Ansi) {
        SetText(classlib_detail::decodeText(classlib_detail::readStreamRest(stream), encoding));
    }
    void SaveToStream(TStream *stream, TTextEncoding encoding = TTextEncoding::Ansi) const {
        std::string bytes = classlib_detail::encodeText(Text(), encoding);
        stream->WriteBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    }
    void LoadFromFile(const std::wstring &fileName, TTextEncoding encoding = TTextEncoding::Ansi) {
        SetText(classlib_detail::decodeText(classlib_detail::readFileBytes(fileName), encoding));
    }
    // Replaces the file.
    void SaveToFile(const std::wstring &fileName, TTextEncoding encoding = TTextEncoding::Ansi) const {
        classlib_detail::writeFileBytes(fileName, classlib_detail::encodeText(Text(), encoding));
    }

    // Copies the strings and objects of another list of the same kind.
    void Assign(TPersistent *source) override {
        auto *other = dynamic_cast<TStringListOf *>(source);
        if (other == nullptr) {
            inherited::Assign(source);
            return;
        }
        if (other == this)
            return;
        std::vector<Item> copy = other->snapshot();
        BeginUpdate();
        try {
            Clear();
            for (const Item &item : copy)
                AddObject(item.string, item.object);
        } catch (...) {
            EndUpdate();
            throw;
        }
        EndUpdate();
    }

protected:
    virtual void Changing() {
        if (updateCount_ == 0 && OnChanging)
            OnChanging(this);
    }
    virtual void Changed() {
        if (updateCount_ == 0 && OnChange)
            OnChange(this);
    }
    virtual int CompareStrings(std::wstring_view a, std::wstring_view b) const {
        return classlib_detail::compareStrings(a, b, caseSensitive_);
    }

private:
    struct Item {
        std::wstring string;
        O object;
    };

    void check(int index) const {
        if (index < 0 || index >= Count())
            classlib_detail::raiseStringListIndexError(index);
    }
    void insertItem(int index, const std::wstring &text, O object) {
        Changing();
        items_.insert(items_.begin() + index, Item{text, object});
        Changed();
    }
    std::vector<Item> snapshot() const { return items_; }

    std::vector<Item> items_;
    bool sorted_ = false;
    bool caseSensitive_ = false;
    TDuplicates duplicates_ = dupIgnore;
    int updateCount_ = 0;
};

using TStringList = TStringListOf<TObject *>;

#endif
