// Upgrade task documents: any XML document whose elements named "run",
// "ren"/"rename", "kill", "path", "del", "shortcut" and "ini" are tasks. The
// elements are examined in document order (an element, then its children,
// depth first), the document element included; any other element is only a
// container. Names compare exactly. Every task shows and logs its line and
// goes on whatever became of its file operation.
#pragma once

#include <windows.h>
#include <msxml2.h>

#include <string>
#include <vector>

#include "base/handles.h"

namespace mf {

struct TaskContext {
    HWND owner = nullptr;  // receives the status texts
    LPARAM value = 0;      // sent with every status text
    bool wait = false;     // the wait flag of the run that opened the document
    // Documents being run, outermost first (lower-cased): a document that
    // runs itself, directly or through another, is not opened again, where
    // it would otherwise recurse until the stack runs out.
    std::vector<std::wstring> openDocuments;
};

// Loads the document and runs its tasks. False when it could not be read
// (then no task ran).
bool RunTaskDocument(const std::wstring& path, HWND owner, LPARAM value, bool wait);
bool RunTaskDocumentIn(const std::wstring& path, TaskContext& context);

// Runs the element's task, if it is one, and then those below it. The
// walk keeps its own stack, so a deeply nested document cannot exhaust the
// thread's.
void RunTaskElement(IXMLDOMNode* element, TaskContext& context);

// The document, or null when it cannot be read, is not well-formed, has no
// document element or declares a document type. External entities are
// never fetched. The calling thread must have initialised COM.
ComPtr<IXMLDOMDocument> LoadTaskDocument(const std::wstring& path);

}  // namespace mf
