#include "apply/task_document.h"

#include <algorithm>

#include "apply/close_program.h"
#include "apply/install_rules.h"
#include "apply/run_file.h"
#include "apply/shortcut.h"
#include "apply/task_rules.h"
#include "base/com_text.h"
#include "base/files.h"
#include "base/path_text.h"
#include "base/strings.h"
#include "base/xml_dom.h"
#include "engine/process_state.h"

namespace mf {

namespace {

// Task documents are small; anything larger is not one.
constexpr ULONGLONG kMaxDocumentBytes = 16 * 1024 * 1024;

ULONGLONG FileSizeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::wstring Attribute(IXMLDOMElement* element, const wchar_t* name) { return xml::GetAttribute(element, name); }

void Report(const TaskContext& context, const std::wstring& text) {
    ShowAndLogWith(context.owner, context.value, text);
}

// A label translated on its own, followed by the bracketed arguments.
std::wstring LabelLine(const wchar_t* label, const std::wstring& arguments) {
    return Translate(label) + L"[" + arguments + L"]";
}

// A step on one path, after the line that says so; nothing for a path not
// given (or refused).
void ReportedStep(const TaskContext& context, const wchar_t* label, const std::wstring& path,
                  bool (*step)(const std::wstring&)) {
    if (path.empty()) return;
    Report(context, LabelLine(label, path));
    (void)step(path);
}

// A path of the document: macros expanded, a relative path taken in the
// installation folder. A relative path that climbs out of that folder, or a
// name with a ":" that makes no absolute path, is refused: the line says so
// and the result is empty, as for a path not given.
std::wstring ResolveTaskPath(const TaskContext& context, const std::wstring& value) {
    if (value.empty()) return value;
    std::wstring path = Process().paths.ResolveInside(value);
    if (path.empty()) Report(context, LabelLine(L"Path refused", value));
    return path;
}

std::wstring PathAttribute(const TaskContext& context, IXMLDOMElement* element, const wchar_t* name) {
    return ResolveTaskPath(context, Attribute(element, name));
}

// The tasks, one function each. Each returns false when the element's
// children are to be skipped.

bool RunRunTask(IXMLDOMElement* element, TaskContext& context) {
    const std::wstring file = Attribute(element, L"file");
    if (file.empty()) return true;
    const std::wstring path = ResolveTaskPath(context, file);
    if (path.empty()) return true;
    RunFileIn(context, path, Attribute(element, L"workpath"), Attribute(element, L"param"),
              IsTrueText(Attribute(element, L"waitclose")));
    return true;
}

bool RunRenameTask(IXMLDOMElement* element, TaskContext& context) {
    const std::wstring source = PathAttribute(context, element, L"source");
    const std::wstring target = PathAttribute(context, element, L"target");
    if (source.empty() || target.empty()) return false;
    ::MoveFileW(source.c_str(), target.c_str());
    Report(context, Translate(L"Move file:") + L"[" + source + L"->" + target + L"]");
    return true;
}

bool RunKillTask(IXMLDOMElement* element, TaskContext& context) {
    const std::wstring file = PathAttribute(context, element, L"file");
    if (file.empty()) return true;
    CloseProgramByPath(file);
    Report(context, LabelLine(L"Kill process", file));
    return true;
}

bool RunPathTask(IXMLDOMNode* node, IXMLDOMElement* element, TaskContext& context) {
    std::wstring name = Attribute(element, L"name");
    if (name.empty()) name = xml::NodeText(node);
    ReportedStep(context, L"Create directory", ReduceBackslashes(ResolveTaskPath(context, name)), CreateFolderTree);
    return true;
}

bool RunDeleteTask(IXMLDOMElement* element, TaskContext& context) {
    const std::wstring file = PathAttribute(context, element, L"file");
    const std::wstring folder = PathAttribute(context, element, L"path");
    ReportedStep(context, L"Remove file", file, DeleteFileForce);
    ReportedStep(context, L"Remove path", folder, RemoveTree);
    return true;
}

bool RunShortcutTask(IXMLDOMElement* element, TaskContext& context) {
    const std::wstring file = PathAttribute(context, element, L"file");
    const std::wstring link = PathAttribute(context, element, L"shortcut");
    if (file.empty() || link.empty()) return true;
    CreateShortcut(file, FolderOf(file), link, PathAttribute(context, element, L"shortcuticon"),
                   static_cast<int>(ParseLong(Attribute(element, L"iconindex"))));
    Report(context, TranslateFormat(L"Create shortcut[%s]...", link));
    return true;
}

bool RunIniTask(IXMLDOMElement* element, TaskContext& context) {
    const std::wstring file = PathAttribute(context, element, L"file");
    if (file.empty() && !Attribute(element, L"file").empty()) return true;
    const std::wstring section = Attribute(element, L"app");
    const std::wstring key = Attribute(element, L"key");
    const std::wstring value = Attribute(element, L"value");
    // The key is never null here: a null key would clear the whole
    // section.
    if (!value.empty()) {
        ::WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), file.c_str());
        Report(context, TranslateFormat(L"Write ini[%s][%s][%s]", LastComponent(file), key, value));
    } else {
        ::WritePrivateProfileStringW(section.c_str(), key.c_str(), nullptr, file.c_str());
        Report(context, TranslateFormat(L"Empty ini[%s][%s]", LastComponent(file), key));
    }
    return true;
}

// Runs one task; false when the element's children are to be skipped.
bool RunTask(TaskKind kind, IXMLDOMNode* node, IXMLDOMElement* element, TaskContext& context) {
    switch (kind) {
        case TaskKind::None: return true;
        case TaskKind::Run: return RunRunTask(element, context);
        case TaskKind::Rename: return RunRenameTask(element, context);
        case TaskKind::Kill: return RunKillTask(element, context);
        case TaskKind::Path: return RunPathTask(node, element, context);
        case TaskKind::Delete: return RunDeleteTask(element, context);
        case TaskKind::Shortcut: return RunShortcutTask(element, context);
        case TaskKind::Ini: return RunIniTask(element, context);
    }
    return true;
}

}  // namespace

ComPtr<IXMLDOMDocument> LoadTaskDocument(const std::wstring& path) {
    if (FileSizeOf(path) > kMaxDocumentBytes) return nullptr;
    const ComPtr<IXMLDOMDocument> document = xml::LoadFile(path);
    if (!document) return nullptr;
    ComPtr<IXMLDOMDocumentType> type;
    if (SUCCEEDED(document->get_doctype(type.GetAddressOf())) && type) return nullptr;
    return document;
}

void RunTaskElement(IXMLDOMNode* element, TaskContext& context) {
    std::vector<ComPtr<IXMLDOMNode>> pending{ComPtr<IXMLDOMNode>(element)};
    while (!pending.empty()) {
        const ComPtr<IXMLDOMNode> node = std::move(pending.back());
        pending.pop_back();
        if (!node || !xml::IsElement(node.Get())) continue;
        ComPtr<IXMLDOMElement> asElement;
        if (FAILED(node->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void**>(asElement.GetAddressOf()))))
            continue;
        if (!RunTask(TaskKindOf(xml::NodeName(node.Get())), node.Get(), asElement.Get(), context)) continue;
        std::vector<ComPtr<IXMLDOMNode>> children = xml::ChildNodes(node.Get());
        for (auto it = children.rbegin(); it != children.rend(); ++it) pending.push_back(std::move(*it));
    }
}

bool RunTaskDocumentIn(const std::wstring& path, TaskContext& context) {
    const std::wstring key = ToLower(path);
    if (std::find(context.openDocuments.begin(), context.openDocuments.end(), key) != context.openDocuments.end()) {
        WriteLog(TranslateFormat(L"Task document already running[%s]", path));
        return false;
    }
    const ComInit com;
    const ComPtr<IXMLDOMDocument> document = LoadTaskDocument(path);
    if (!document) return false;
    ComPtr<IXMLDOMElement> root;
    if (FAILED(document->get_documentElement(root.GetAddressOf())) || !root) return false;
    ComPtr<IXMLDOMNode> rootNode;
    if (FAILED(root->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void**>(rootNode.GetAddressOf())))) return false;
    context.openDocuments.push_back(key);
    RunTaskElement(rootNode.Get(), context);
    context.openDocuments.pop_back();
    return true;
}

bool RunTaskDocument(const std::wstring& path, HWND owner, LPARAM value, bool wait) {
    TaskContext context;
    context.owner = owner;
    context.value = value;
    context.wait = wait;
    return RunTaskDocumentIn(Process().paths.Resolve(path), context);
}

}  // namespace mf
