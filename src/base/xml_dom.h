// Small helpers over the Windows XML DOM for the update lists, the list
// merge, the parameter package and task documents. The calling thread must
// have initialised COM.
//
// Every document the engine reads comes from elsewhere (the update server,
// the temporary folder), and none has any use for a DTD: a document that
// declares a document type is not loaded at all, and external entities are
// never fetched.
#pragma once

#include <windows.h>
#include <msxml2.h>

#include <string>
#include <string_view>
#include <vector>

#include "base/handles.h"

namespace mf::xml {

// Whether a document's prolog holds a document type declaration
// ("<!DOCTYPE"): the bytes of a document in any encoding the readers
// accept (UTF-8 and other ASCII-compatible ones, UTF-16 either way round),
// or a text already decoded.
bool DeclaresDocumentType(std::string_view bytes);
bool DeclaresDocumentType(std::wstring_view text);

// A new DOMDocument (synchronous loading, no DTD, no external entities),
// or null.
ComPtr<IXMLDOMDocument> NewDocument();
// The document loaded from a file, from its bytes, or parsed from a text;
// null when it cannot be loaded or declares a document type.
// The bytes go to the parser in the form of ReaderInput (base/xml_input.h).
ComPtr<IXMLDOMDocument> LoadFile(const std::wstring& path);
// For a document that is saved back: the white space between elements is
// kept, so that the saved file keeps its lines. (Without it the DOM writes
// the whole document on one line.)
ComPtr<IXMLDOMDocument> LoadFileKeepingLayout(const std::wstring& path);
ComPtr<IXMLDOMDocument> LoadBytes(std::string_view bytes, bool keepLayout = false);
ComPtr<IXMLDOMDocument> LoadText(const std::wstring& text);
bool SaveFile(IXMLDOMDocument* document, const std::wstring& path);
// Appends a line break (a text node) to the node's children, so that what is
// appended after it starts a line of its own in the saved document.
bool AppendLineBreak(IXMLDOMDocument* document, IXMLDOMNode* parent);

// Every helper that takes `error` stores there the first failure of the DOM
// (when it is not null and holds no failure yet), so that a caller can tell
// an absent node from a document that could not be read.

// The document as a node (for walking from the top), or null.
ComPtr<IXMLDOMNode> AsNode(IXMLDOMDocument* document);
// The first child of the node with this exact name, or null.
ComPtr<IXMLDOMNode> FirstChildNamed(IXMLDOMNode* node, const std::wstring& name, HRESULT* error = nullptr);
// The children in order, taken at once, so that moving them does not
// disturb the walk.
std::vector<ComPtr<IXMLDOMNode>> ChildNodes(IXMLDOMNode* node, HRESULT* error = nullptr);
std::wstring NodeName(IXMLDOMNode* node, HRESULT* error = nullptr);
std::wstring NodeText(IXMLDOMNode* node, HRESULT* error = nullptr);
bool IsElement(IXMLDOMNode* node);
bool HasChildNodes(IXMLDOMNode* node);

// Empty when absent.
std::wstring GetAttribute(IXMLDOMElement* element, const std::wstring& name);
bool SetAttribute(IXMLDOMElement* element, const std::wstring& name, const std::wstring& value);

}  // namespace mf::xml
