// Creating MOST interface elements while reading: which child element holds
// an interface or an element, and which class a given element creates.
#pragma once

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

}  // namespace ZOR_RAM
