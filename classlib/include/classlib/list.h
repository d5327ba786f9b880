// Lists of items, usually pointers to objects the list does not own.
//
// Stands in for the compiler library's pointer list: indices are checked (EListError), Remove
// takes out the first occurrence, and the list is a value, not an object with an owner.
#ifndef CLASSLIB_LIST_H
#define CLASSLIB_LIST_H

#include <vector>

[[noreturn]] void RaiseListIndexError(int index);

template <class T> class TList {
public:
    int Count() const noexcept { return static_cast<int>(items_.size()); }
    bool Empty() const noexcept { return items_.empty(); }

    const T &Get(int index) const {
        check(index, Count());
        return items_[index];
    }
    void Put(int index, const T &item) {
        check(index, Count());
        items_[index] = item;
    }
    const T &operator[](int index) const { return Get(index); }
    const T &First() const { return Get(0); }
    const T &Last() const { return Get(Count() - 1); }

    int Add(const T &item) {
        items_.push_back(item);
        return Count() - 1;
    }
    // Index may be Count, which appends.
    void Insert(int index, const T &item) {
        check(index, Count() + 1);
        items_.insert(items_.begin() + index, item);
    }
    void Delete(int index) {
        check(index, Count());
        items_.erase(items_.begin() + index);
    }
    // The index the item had, or -1.
    int Remove(const T &item) {
        int index = IndexOf(item);
        if (index >= 0)
            items_.erase(items_.begin() + index);
        return index;
    }
    int IndexOf(const T &item) const noexcept {
        for (int i = 0; i < Count(); ++i)
            if (items_[i] == item)
                return i;
        return -1;
    }
    void Exchange(int index1, int index2) {
        check(index1, Count());
        check(index2, Count());
        std::swap(items_[index1], items_[index2]);
    }
    void Move(int current, int target) {
        check(current, Count());
        check(target, Count());
        T item = items_[current];
        items_.erase(items_.begin() + current);
        items_.insert(items_.begin() + target, item);
    }
    void Clear() noexcept { items_.clear(); }

    auto begin() const noexcept { return items_.begin(); }
    auto end() const noexcept { return items_.end(); }

private:
    static void check(int index, int limit) {
        if (index < 0 || index >= limit)
            RaiseListIndexError(index);
    }

    std::vector<T> items_;
};

#endif
