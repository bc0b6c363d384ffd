// The items an item owns and the items it refers to, as the file holds them:
// reading, writing, resolving and replacing a child list, and writing and
// resolving a reference. Each family's ReadXml, WriteXml and ResolveLinks is
// a list of its fields over these and the value readers and writers of
// xml_values.h.
//
// A child list is an owner's list of the items it owns; each child is also
// registered in its class's database list (which owns it). A reference is a
// child element holding another item's "ZORId"; it is kept in the item's
// SourceNode while loading and turned into a link in the resolution pass.
#pragma once

#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_set>
#include <vector>

#include "zor/model/item.h"
#include "zor/model/ram.h"
#include "zor/model/xml_values.h"

namespace ZOR_RAM {

// Destroys the items of an owner's child list, last first, and empties the
// list. The list is emptied before the first item goes, so no destructor meets
// its item still listed there; an item listed twice goes once. A child that
// owns items itself (DetachChildren) first lets go of them, so that no
// grandchild keeps pointing at a destroyed owner.
template <class T>
void DestroyChildren(TZORList<T>& children) {
  if (children.IsEmpty()) return;
  std::vector<T*> items(children.begin(), children.end());
  children.Clear();
  std::unordered_set<T*> gone;
  for (auto it = items.rbegin(); it != items.rend(); ++it) {
    T* item = *it;
    if (!item || !gone.insert(item).second) continue;
    if constexpr (requires { item->DetachChildren(); }) item->DetachChildren();
    delete item;  // leaves its database list
  }
}

// Reads one new child per element of the child `container` of element (each
// must be named itemName): the item is made in the database list home,
// appended to children, given its owner through backRef (a member pointer
// such as &TIfc::Node; none when null) and read. Without a database no child
// can be made: the first child element fails the read. True on failure.
template <class T, class Owner, class BackRef = std::nullptr_t>
bool AppendChildren(Owner& owner, const TQXMLNode* element, std::string_view container, std::string_view itemName,
                    TZORList<T>& children, TZORList<T> TZOR_RAM::*home, BackRef backRef = nullptr) {
  TZOR_RAM* ram = owner.Ram;
  return ReadListIn(element, container, itemName, [&](TQXMLNode* child) {
    if (!ram) return true;
    T* item = ram->NewItem(ram->*home);
    children.Add(item);
    if constexpr (!std::is_null_pointer_v<BackRef>) item->*backRef = &owner;
    return item->ReadXml(child);
  });
}

// AppendChildren after the old children were destroyed.
template <class T, class Owner, class BackRef = std::nullptr_t>
bool ReadChildren(Owner& owner, const TQXMLNode* element, std::string_view container, std::string_view itemName,
                  TZORList<T>& children, TZORList<T> TZOR_RAM::*home, BackRef backRef = nullptr) {
  DestroyChildren(children);
  return AppendChildren(owner, element, container, itemName, children, home, backRef);
}

// The container's tag pair with each child's element between; written also
// when the list is empty. Null entries write nothing. True on failure.
template <class T>
bool WriteChildren(std::string_view container, const TZORList<T>& children) {
  if (WriteTag(container)) return true;
  for (T* child : children)
    if (child && child->WriteXml(/*withElement=*/true)) return true;
  return WriteTag(container, /*closing=*/true);
}

// Resolves every item of the list, by index, so that an item that changes the
// list while it resolves never leaves the walk on a stale position.
template <class T>
void ResolveChildren(const TZORList<T>& children) {
  for (int i = 0; i < children.Count(); ++i)
    if (T* child = children[i]) child->ResolveLinks();
}

// A reference line "<name>identifier</name>", written only when item is set.
// WriteRef keeps the identifier as stored (markup escaped); WriteEscapedRef
// escapes it as a text field. True on failure.
bool WriteRef(std::string_view name, TItemData* item);
bool WriteEscapedRef(std::string_view name, TItemData* item);

// "<container>", a WriteRef line named itemName per entry, "</container>";
// written also when the list is empty.
bool WriteRefList(std::string_view container, std::string_view itemName, const TList& items);

// What a reference with an empty identifier does: no item has one, but a
// search passes (and so names) every item of the list.
enum class TEmptyRef { Searched, Skipped };

// The identifier in the reference child `name` of the item's source element,
// unescaped as "ZORId" itself is read. False when the item was not read from
// a file, has no database or has no such child.
bool SourceRefId(const TItemData& item, std::string_view name, std::string& id);

// Links target, while it is null, to the first item carrying the identifier
// of the reference child `name`, searching the database lists homes in order.
template <class T, class... Homes>
void ResolveRef(TItemData& item, std::string_view name, T*& target, TEmptyRef empty, Homes... homes) {
  std::string id;
  if (target || !SourceRefId(item, name, id) || (id.empty() && empty == TEmptyRef::Skipped)) return;
  TZOR_RAM& ram = *item.Ram;
  ((target = target ? target : (ram.*homes).FindById(id)), ...);
}

// Replaces refs with the items of the database list home that the reference
// children of `container` (each named itemName) name; identifiers naming
// nothing are left out. Nothing happens for an item not read from a file or
// outside a database. True when a wrong child was found (it is reported; the
// list keeps the items before it).
bool ResolveRefListIn(TItemData& item, std::string_view container, std::string_view itemName, TList& refs,
                      TList& home, TEmptyRef empty);
template <class T>
bool ResolveRefList(TItemData& item, std::string_view container, std::string_view itemName, TZORList<T>& refs,
                    TZORList<T> TZOR_RAM::*home, TEmptyRef empty) {
  return item.Ram && item.SourceNode && ResolveRefListIn(item, container, itemName, refs, item.Ram->*home, empty);
}

}  // namespace ZOR_RAM
