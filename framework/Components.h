#pragma once
// TPersistent, TComponent (owners and notification), TCollection.
#include "framework/Exceptions.h"
#include "framework/Object.h"
#include "framework/Sets.h"
#include "framework/Strings.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace kq {

class property_table;

// A component name that is not an identifier or clashes with another of the same owner.
class EComponentError : public Exception {
public:
    using Exception::Exception;
};

// Identifiers of component text and component names: an ASCII letter or '_', then letters, digits, '_'.
bool is_valid_ident(StringView text) noexcept;

// --- Persistent objects

class TPersistent : public TObject {
public:
    // Copies source into this object; a class that does not know source asks source to copy itself
    // (AssignTo), and when neither knows the other EConvertError is raised.
    virtual void Assign(const TPersistent* source);

    // The published properties of the dynamic class (see Properties.h).
    virtual const property_table& PublishedProperties() const;

    // The object that holds this one in a settings tree or collection; nullptr at the top.
    virtual TPersistent* GetOwner() const;

protected:
    virtual void AssignTo(TPersistent* dest) const;
    [[noreturn]] void AssignError(const TPersistent* source) const;
};

// --- Components

enum class TOperation : std::uint8_t { opInsert, opRemove };

enum class TComponentStateFlag : std::uint8_t { csLoading, csReading, csWriting, csDestroying, csDesigning };
using TComponentState = enum_set<TComponentStateFlag>;

// A component belongs to its Owner, which frees it; a component without owner belongs to whoever
// created it. Freeing an owner frees what it owns, newest first.
class TComponent : public TPersistent {
public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;

    TComponent* Owner() const noexcept { return FOwner; }
    int ComponentCount() const noexcept { return static_cast<int>(FComponents.size()); }
    TComponent* Components(int index) const;
    // Position in the owner's list, -1 without owner.
    int ComponentIndex() const noexcept;

    const String& Name() const noexcept { return FName; }
    virtual void SetName(const String& new_name);
    std::intptr_t Tag() const noexcept { return FTag; }
    void SetTag(std::intptr_t value) noexcept { FTag = value; }

    TComponentState ComponentState() const noexcept { return FComponentState; }
    // For the component reader and design tools; csDestroying is the destructor's alone.
    void SetComponentState(TComponentState value) noexcept;

    // An owned component by name, without regard to case; nullptr for an empty or unknown name.
    TComponent* FindComponent(StringView name) const noexcept;

    // Takes ownership of component (which must have no owner).
    void InsertComponent(TComponent* component);
    // Gives up ownership: component then belongs to the caller.
    void RemoveComponent(TComponent* component);
    void DestroyComponents() noexcept;

    // component is told (Notification with opRemove) when this component goes away. Not needed
    // between components of one owner: the owner tells all its components.
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component) noexcept;

    // Told when component is inserted into or removed from this component's owner tree, or when a
    // component that this one asked FreeNotification of goes away. An override clears its references
    // to component and then calls this base, which passes the news on to the owned components.
    virtual void Notification(TComponent* component, TOperation operation);

    // Called after the component text has been read completely; the base ends the loading state.
    virtual void Loaded();

    // The components written nested inside this one when root is written as component text: the
    // base gives the root's owned components; visual containers give their children instead.
    virtual void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root);
    // The component this one is nested in when read (containers of the visual half); none here.
    virtual TComponent* GetParentComponent() const;
    virtual void SetParentComponent(TComponent* value);

    TPersistent* GetOwner() const override;
    const property_table& PublishedProperties() const override;

protected:
    // Marks this component and what it owns as being destroyed. The base destructor does it; a
    // descendant whose own destructor must already see the flag calls it first.
    void Destroying() noexcept;

private:
    void ValidateRename(const TComponent* component, StringView cur_name, StringView new_name) const;
    void Detach(TComponent* component) noexcept;

    TComponent* FOwner = nullptr;
    std::vector<TComponent*> FComponents; // owned; freed newest first
    std::vector<TComponent*> FFreeNotifies;
    String FName;
    std::intptr_t FTag = 0;
    TComponentState FComponentState;
};

// --- Collections

class TCollection;

enum class TCollectionNotification : std::uint8_t { cnAdded, cnExtracting, cnDeleting };

// An item lives in exactly one collection, which owns it; create items through the collection.
class TCollectionItem : public TPersistent {
public:
    TCollection* Collection() const noexcept { return FCollection; }
    // Moves the item to the end of value (not nullptr), which then owns it.
    virtual void SetCollection(TCollection* value);

    int Index() const noexcept;
    // Moves the item within its collection.
    virtual void SetIndex(int value);
    // Unique within the collection for its lifetime; a moved item takes a new one.
    int ID() const noexcept { return FID; }

    TPersistent* GetOwner() const override;

protected:
    // Reports a change of this item (or of all items) to the collection unless it is updating.
    void Changed(bool all_items);

private:
    friend class TCollection;
    TCollection* FCollection = nullptr;
    int FID = 0;
};

class TCollection : public TPersistent {
public:
    using item_factory = std::unique_ptr<TCollectionItem> (*)();
    template <class T>
    static std::unique_ptr<TCollectionItem> item_class() {
        return std::make_unique<T>();
    }

    explicit TCollection(item_factory factory, TPersistent* owner = nullptr);
    ~TCollection() override;

    int Count() const noexcept { return static_cast<int>(FItems.size()); }
    TCollectionItem* Items(int index) const;
    // Copies value into the item at index.
    virtual void SetItem(int index, const TCollectionItem* value);

    TCollectionItem* Add();
    TCollectionItem* Insert(int index);
    void Delete(int index);
    void Clear();
    TCollectionItem* FindItemID(int id) const noexcept;

    // Nested; the one Update(nullptr) comes when the outermost EndUpdate returns the count to zero.
    void BeginUpdate() noexcept { ++FUpdateCount; }
    void EndUpdate();
    int UpdateCount() const noexcept { return FUpdateCount; }

    // From another collection: replaces the items by copies of the source's, made with the item's
    // Assign; when one cannot be copied, nothing changes.
    void Assign(const TPersistent* source) override;
    TPersistent* GetOwner() const override;

protected:
    // After a change; item is nullptr when more than one item may have changed.
    virtual void Update(TCollectionItem* item);
    // After an item was added, before one is taken out (extracting) or freed (deleting).
    virtual void Notify(TCollectionItem* item, TCollectionNotification action);
    void Changed();

private:
    friend class TCollectionItem;
    class update_scope;
    void Adopt(std::unique_ptr<TCollectionItem> item);
    std::unique_ptr<TCollectionItem> Extract(int index, TCollectionNotification action);
    void CheckIndex(int index) const;

    item_factory FItemClass;
    TPersistent* FOwner;
    std::vector<std::unique_ptr<TCollectionItem>> FItems;
    int FUpdateCount = 0;
    int FNextID = 0;
};

} // namespace kq
