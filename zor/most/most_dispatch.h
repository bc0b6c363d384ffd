// Creating MOST interface elements while reading: which child element holds
// an interface or an element, and which class a given element creates.
#pragma once

#include <type_traits>

#include "zor/model/item.h"

class TQXMLNode;

namespace ZOR_RAM {

class TZOR_RAM;
class TMOSTFktInterface;
class TMOSTFktIfField;

// The first child of element named, in this order, MOSTFktIf_Enumeration,
// _Number, _BitField, _String, _Record, _Array, _Stream, _StreamCase; null
// when there is none or element is null.
ZOR_API TQXMLNode* FindInterfaceElement(const TQXMLNode* element);

// A new element object of the class the element's name selects (one of the
// eight above), attached to ram and appended to the database list of its
// class. The owner (an interface, a record field or an array) becomes the
// matching back-reference. The fields are not read. Null for a null element
// or database, or any other name.
ZOR_API TMOSTFktIfField* CreateInterfaceElement(TItemData* owner, TZOR_RAM* ram, const TQXMLNode* element);

// The child "MOSTFktInterface" of element, or null.
ZOR_API TQXMLNode* FindFktInterface(const TQXMLNode* element);

// A new interface appended to ram's MOSTFktInterfaces, its parameter set when
// owner is a TMOSTFktParam. Null for a null element or database, or when the
// element is not named "MOSTFktInterface".
ZOR_API TMOSTFktInterface* CreateFktInterface(TItemData* owner, TZOR_RAM* ram, const TQXMLNode* element);

// Empties an owner's child list before it is read again: destroys the items
// from the last to the first (each leaves its database list) and clears the
// list. Children that themselves own items first let go of them, so no
// grandchild is left pointing at a destroyed owner.
template <class T>
void DestroyOwnedItems(TZORList<T>& list) {
  for (int i = list.Count() - 1; i >= 0; --i) {
    T* item = list[i];
    if (!item) continue;
    if constexpr (requires { item->DetachChildren(); }) item->DetachChildren();
    delete item;
  }
  list.Clear();
}

}  // namespace ZOR_RAM
