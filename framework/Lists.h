#pragma once
// TList, TObjectList, TStringList.
#include "framework/Exceptions.h"
#include "framework/Object.h"

#include <memory>
#include <utility>
#include <vector>

namespace kq {

class TStream;

// Ordered list of borrowed pointers; every index is checked.
template <class T = void>
class TList : public TObject {
public:
    using iterator = typename std::vector<T*>::const_iterator;

    ~TList() override = default;

    int Count() const noexcept { return static_cast<int>(FItems.size()); }
    T* Items(int index) const { return FItems[checked(index)]; }
    void SetItems(int index, T* item) {
        T* old = std::exchange(FItems[checked(index)], item);
        if (old != item) Dropped(old);
    }
    T* First() const { return Items(0); }
    T* Last() const { return Items(Count() - 1); }

    int Add(T* item) {
        FItems.push_back(item);
        return Count() - 1;
    }
    // index may equal Count.
    void Insert(int index, T* item) {
        if (index != Count()) checked(index);
        FItems.insert(FItems.begin() + index, item);
    }
    void Delete(int index) {
        T* old = FItems[checked(index)];
        FItems.erase(FItems.begin() + index);
        Dropped(old);
    }
    // The index the item had, or -1.
    int Remove(T* item) {
        const int index = IndexOf(item);
        if (index >= 0) Delete(index);
        return index;
    }
    // Takes the item out without the list's clean-up; nullptr when absent.
    T* Extract(T* item) {
        const int index = IndexOf(item);
        if (index < 0) return nullptr;
        FItems.erase(FItems.begin() + index);
        return item;
    }
    int IndexOf(const T* item) const noexcept {
        for (std::size_t i = 0; i < FItems.size(); ++i)
            if (FItems[i] == item) return static_cast<int>(i);
        return -1;
    }
    void Exchange(int a, int b) { std::swap(FItems[checked(a)], FItems[checked(b)]); }
    void Move(int from, int to) {
        T* item = FItems[checked(from)];
        checked(to);
        FItems.erase(FItems.begin() + from);
        FItems.insert(FItems.begin() + to, item);
    }
    void Clear() {
        std::vector<T*> old;
        old.swap(FItems);
        for (T* item : old) Dropped(item);
    }

    iterator begin() const noexcept { return FItems.begin(); }
    iterator end() const noexcept { return FItems.end(); }

protected:
    // Called for each item that leaves the list, except through Extract.
    virtual void Dropped(T*) {}

    std::size_t checked(int index) const {
        if (index < 0 || index >= Count()) raise_list_index_error(index);
        return static_cast<std::size_t>(index);
    }

private:
    std::vector<T*> FItems;
};

// A list that frees its items while OwnsObjects is set (the default).
template <class T>
class TObjectList : public TList<T> {
public:
    explicit TObjectList(bool owns_objects = true) : OwnsObjects(owns_objects) {}
    ~TObjectList() override { this->Clear(); }

    using TList<T>::Add;
    int Add(std::unique_ptr<T> item) { return Add(item.release()); }

    bool OwnsObjects;

protected:
    void Dropped(T* item) override {
        if (OwnsObjects) delete item;
    }
};

enum TDuplicates { dupIgnore, dupAccept, dupError };

// Strings with an optional object each. Comparisons follow AnsiCompareText unless CaseSensitive, which
// compares code units.
// A sorted list keeps its order on Add and refuses Insert and SetStrings; Duplicates applies to sorted
// lists only.
class TStringList : public TObject {
public:
    TStringList() = default;
    ~TStringList() override;

    int Count() const noexcept { return static_cast<int>(FItems.size()); }
    const String& Strings(int index) const;
    void SetStrings(int index, String text);
    TObject* Objects(int index) const;
    void SetObjects(int index, TObject* object);

    // The index of the new (or, with dupIgnore, the existing) string. An object that is not stored stays
    // the caller's, also when the list owns its objects.
    int Add(String text) { return AddObject(std::move(text), nullptr); }
    int AddObject(String text, TObject* object);
    void Insert(int index, String text) { InsertObject(index, std::move(text), nullptr); }
    void InsertObject(int index, String text, TObject* object);
    void Delete(int index);
    void Clear();

    int IndexOf(StringView text) const;
    // Binary search of a sorted list: true when found; index is the match or the insertion point.
    bool Find(StringView text, int& index) const;

    // "name=value" lines.
    int IndexOfName(StringView name) const;
    String Names(int index) const;
    String ValueFromIndex(int index) const;
    String Values(StringView name) const;
    // An empty value removes the line.
    void SetValues(StringView name, StringView value);

    // Lines each ending in CRLF; reading splits at CR, LF or CRLF.
    String Text() const;
    void SetText(StringView text);
    // Items separated by commas; items with blanks, commas or quotes (and empty ones) in double quotes.
    String CommaText() const;
    void SetCommaText(StringView text);

    bool Sorted() const noexcept { return FSorted; }
    void SetSorted(bool value);
    bool CaseSensitive() const noexcept { return FCaseSensitive; }
    void SetCaseSensitive(bool value);
    TDuplicates Duplicates = dupIgnore;
    // Objects are freed with their line and with the list.
    bool OwnsObjects = false;

    void Sort();

    // UTF-8 (a UTF-8 or UTF-16LE byte-order mark is honoured on reading); written as UTF-8 without a mark.
    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream) const;
    void LoadFromFile(const String& file_name);
    void SaveToFile(const String& file_name) const;

private:
    struct item {
        String text;
        TObject* object;
    };

    int compare(StringView a, StringView b) const;
    std::size_t checked(int index) const;
    void release(TObject* object);

    std::vector<item> FItems;
    bool FSorted = false;
    bool FCaseSensitive = false;
};

} // namespace kq
