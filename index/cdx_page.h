// cdx_page.h — encoding and decoding CDX pages (layout in cdx_format.h).
//
// A CdxKeyForm says how a tag's keys look in its pages: the key length, text or
// bytes (numeric and date keys), and whether the general collation's secondary
// bytes are squeezed. Decoding checks everything it reads — attributes, key
// count, bytes per entry, bit widths, duplicate and trailing counts, stored
// bytes against the 488-byte area, child positions — and reports a violation
// as false: the caller raises error 2112.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "index/cdx_format.h"
#include "index/vr6_indx.h"

namespace velorin::cdx_page {

struct CdxKeyForm {
  int32_t keyLength = 0;
  bool text = true;
  bool general = false;  // general-collation keys: secondary bytes squeezed in place
};

// The bytes a key occupies in a page (text as stored, without trailing blanks).
std::string StoredBytes(const TvrVariant& key);

// Bytes of the key area that the keys take under layout (entries and the stored
// bytes); more than 488 does not fit.
int32_t LeafBytes(const std::vector<VRobjIndexKeyData>& keys, const CdxKeyForm& form,
                  const cdx_format::LeafLayout& layout, bool squeeze);

// Writes a leaf page: attributes, siblings, the layout and the compressed keys;
// squeeze: general keys written in place. False (page untouched past the
// header) when the keys do not fit.
bool EncodeLeaf(const VRobjIndexKey& node, uint16_t attributes, const CdxKeyForm& form,
                const cdx_format::LeafLayout& layout, bool squeeze, uint8_t* page);
// Writes an interior page; false when the entries do not fit.
bool EncodeInterior(const VRobjIndexKey& node, uint16_t attributes, const CdxKeyForm& form, bool squeeze,
                    uint8_t* page);
// Decodes a page into node (Leaf, siblings, entries); false when it is damaged.
// Leaf entries carry the record as RecNo and Pointer; interior ones the stored
// record and the child position.
bool DecodePage(const uint8_t* page, const CdxKeyForm& form, VRobjIndexKey& node);

}  // namespace velorin::cdx_page
