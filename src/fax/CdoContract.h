#pragma once

// The members of MAPI.Session and the objects it hands out that kalmosend's directory
// connector calls, by DISPID: kalmosend calls them, kalmofax serves them over a company
// directory. Every result is a VT_VARIANT.

#include <QtGlobal>

namespace cdo {
inline constexpr int kSessionAddressLists = 4; // get -> address-lists collection
inline constexpr int kSessionLogoff = 118;     // method
inline constexpr int kSessionLogon = 119;      // method ([profile])
inline constexpr int kCollectionCount = 9;     // get -> count (address lists, entries)
inline constexpr int kCollectionItem = 21;     // get (name or index | property tag) -> item
inline constexpr int kListEntries = 3;         // get -> entries collection
inline constexpr int kEntriesGetFirst = 109;   // method -> entry, null when there is none
inline constexpr int kEntriesGetNext = 111;    // method -> entry, null at the end
inline constexpr int kEntryName = 23;          // get -> display name
inline constexpr int kEntryFields = 12;        // get -> fields collection
inline constexpr int kFieldValue = 43;         // get -> the field's text

// MAPI property tags (PT_STRING8) of the three fax numbers.
inline constexpr qint32 kPrimaryFax = 0x3A23001E;
inline constexpr qint32 kBusinessFax = 0x3A24001E;
inline constexpr qint32 kHomeFax = 0x3A25001E;
} // namespace cdo
