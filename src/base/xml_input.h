// The bytes of an XML document as the Windows XML readers (DOM and SAX) get
// them. Two things about those readers under Wine decide this form:
//
// - At every end tag the reader works out a column number by scanning back
//   to the start of the line. A list written on one line (as the DOM saves
//   a document it loaded without white space, and as some vendors' tools
//   write their lists) then reads in time quadratic in its length: 10k
//   entries took 6 s, 20k 29 s. Lines are kept short by breaking them
//   inside tags, where white space is not content.
// - It refuses the encoding name "gb2312" while it reads "GBK", a superset
//   of it, correctly. Lists from Chinese vendors commonly declare gb2312.
#pragma once

#include <string>
#include <string_view>

namespace mf::xml {

// Lines longer than this (in characters) are broken at the next tag end.
inline constexpr std::size_t kReaderLineLimit = 512;

// The document as the readers should get it: an XML declaration naming
// "gb2312" (any case) names "GBK" instead, and a line break is put before
// the closing ">" (or "/>") of any tag that ends a line longer than
// kReaderLineLimit. Text, attribute values, comments, CDATA sections and
// processing instructions are never touched, so every reader sees the same
// elements, attributes and text. UTF-16 documents (either byte order, with or
// without a byte order mark) and ASCII-compatible ones (UTF-8, GBK, Big5
// ...) are handled; anything else is returned as it is.
// The bytes are taken over and given back as they are when nothing changes
// (the common case: a list in lines of ordinary length), without a copy.
std::string ReaderInput(std::string bytes);

// No element of the engine's documents has more than a few dozen
// attributes; the readers check each new attribute against the element's
// others, so one element with hundreds of thousands costs them many seconds
// before anything can refuse it.
inline constexpr std::size_t kMostAttributes = 1000;

// Whether some tag of the document holds more than `most` attributes
// (counted by their "=" outside quotes), found by a scan of the bytes that
// stops at the first such tag. The encodings are those of ReaderInput.
[[nodiscard]] bool HasTagWithTooManyAttributes(std::string_view bytes, std::size_t most = kMostAttributes);

}  // namespace mf::xml
