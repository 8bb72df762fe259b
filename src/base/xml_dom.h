// Small helpers over the Windows XML DOM for the list merge and the
// parameter package. The calling thread must have initialised COM.
#pragma once

#include <windows.h>
#include <msxml2.h>

#include <string>
#include <vector>

#include "base/handles.h"

namespace mf::xml {

// A new DOMDocument (synchronous loading), or null.
ComPtr<IXMLDOMDocument> NewDocument();
// The document loaded from a file, or null when it cannot be loaded.
ComPtr<IXMLDOMDocument> LoadFile(const std::wstring& path);
// The document parsed from a text, or null.
ComPtr<IXMLDOMDocument> LoadText(const std::wstring& text);
bool SaveFile(IXMLDOMDocument* document, const std::wstring& path);

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
