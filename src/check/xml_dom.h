// Small helpers over the Windows XML DOM for the list merge and the
// parameter package. The calling thread must have initialised COM.
#pragma once

#include <windows.h>
#include <msxml2.h>

#include <string>

#include "base/handles.h"

namespace mf::xml {

// A new DOMDocument (synchronous loading), or null.
ComPtr<IXMLDOMDocument> NewDocument();
// The document loaded from a file, or null when it cannot be loaded.
ComPtr<IXMLDOMDocument> LoadFile(const std::wstring& path);
// The document parsed from a text, or null.
ComPtr<IXMLDOMDocument> LoadText(const std::wstring& text);
bool SaveFile(IXMLDOMDocument* document, const std::wstring& path);

// The first child of the node with this exact name, or null.
ComPtr<IXMLDOMNode> FirstChildNamed(IXMLDOMNode* node, const std::wstring& name);
std::wstring NodeName(IXMLDOMNode* node);
std::wstring NodeText(IXMLDOMNode* node);
bool HasChildNodes(IXMLDOMNode* node);

// Empty when absent.
std::wstring GetAttribute(IXMLDOMElement* element, const std::wstring& name);
bool SetAttribute(IXMLDOMElement* element, const std::wstring& name, const std::wstring& value);

}  // namespace mf::xml
