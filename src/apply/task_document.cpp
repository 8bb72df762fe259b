#include "apply/task_document.h"

#include <psapi.h>

#include <algorithm>

#include "apply/install_rules.h"
#include "apply/run_file.h"
#include "apply/shortcut.h"
#include "apply/task_rules.h"
#include "base/com_text.h"
#include "base/files.h"
#include "base/strings.h"
#include "base/xml_dom.h"
#include "engine/process_state.h"

namespace mf {

namespace {

// IXMLDOMDocument2, which the import libraries of the cross compiler lack.
constexpr IID kDomDocument2Interface = {0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

// Task documents are small; anything larger is not one.
constexpr DWORD kMaxDocumentBytes = 16 * 1024 * 1024;

bool ReadDocumentBytes(const std::wstring& path, std::string& bytes) {
    const UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > kMaxDocumentBytes) return false;
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    return bytes.empty() ||
           (::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
            read == bytes.size());
}

// The closing of programs that a "kill" task asks for: every process whose
// first module's path holds the path (ignoring case) is asked to end
// session-style; a process whose top-level window agrees is told to close
// and, when it has not ended within 5 seconds, terminated. A window that
// refuses or does not answer within 100 ms is left alone.
std::wstring FirstModulePath(DWORD processId) {
    const UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    if (!process) return {};
    HMODULE module = nullptr;
    DWORD needed = 0;
    if (!::EnumProcessModules(process.get(), &module, sizeof module, &needed) || module == nullptr) return {};
    wchar_t path[MAX_PATH * 2] = {};
    const DWORD n = ::GetModuleFileNameExW(process.get(), module, path, MAX_PATH * 2);
    return std::wstring(path, n);
}

struct WindowSearch {
    DWORD processId = 0;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectProcessWindow(HWND window, LPARAM parameter) noexcept {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId) search->windows.push_back(window);
    return search->windows.size() < 1024;
}

void CloseProgramsAt(const std::wstring& path) {
    const std::wstring wanted = ToLower(path);
    std::vector<DWORD> ids(4096);
    DWORD bytes = 0;
    if (!::EnumProcesses(ids.data(), static_cast<DWORD>(ids.size() * sizeof(DWORD)), &bytes)) return;
    ids.resize(bytes / sizeof(DWORD));
    const HWND ownWindow = Process().mainWindow;
    for (const DWORD id : ids) {
        if (id == 0 || !Contains(ToLower(FirstModulePath(id)), wanted)) continue;
        WindowSearch search{id, {}};
        ::EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&search));
        for (const HWND window : search.windows) {
            if (::GetParent(window) != nullptr || window == ownWindow || !::IsWindow(window)) continue;
            DWORD_PTR answer = 0;
            if (!::SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 100, &answer) ||
                answer == 0)
                continue;
            ::PostMessageW(window, WM_CLOSE, 0, 0);
            ::PostMessageW(window, WM_QUIT, 0, 0);
            const UniqueHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, id));
            if (process && ::WaitForSingleObject(process.get(), 5000) == WAIT_TIMEOUT)
                ::TerminateProcess(process.get(), 0);
        }
    }
}

std::wstring Attribute(IXMLDOMElement* element, const wchar_t* name) { return xml::GetAttribute(element, name); }

// A path attribute: macros expanded, a relative path taken in the
// installation folder; empty stays empty.
std::wstring PathAttribute(IXMLDOMElement* element, const wchar_t* name) {
    const std::wstring value = Attribute(element, name);
    return value.empty() ? value : Process().paths.Resolve(value);
}

void Report(const TaskContext& context, const std::wstring& text) {
    ShowAndLogWith(context.owner, context.value, text);
}

// A label translated on its own, followed by the bracketed arguments.
std::wstring LabelLine(const wchar_t* label, const std::wstring& arguments) {
    return Translate(label) + L"[" + arguments + L"]";
}

// Runs one task; false when the element's children are to be skipped.
bool RunTask(TaskKind kind, IXMLDOMNode* node, IXMLDOMElement* element, TaskContext& context) {
    switch (kind) {
        case TaskKind::None: return true;
        case TaskKind::Run:
            RunFileIn(context, Attribute(element, L"file"), Attribute(element, L"workpath"),
                      Attribute(element, L"param"), IsTrueText(Attribute(element, L"waitclose")));
            return true;
        case TaskKind::Rename: {
            const std::wstring source = PathAttribute(element, L"source");
            const std::wstring target = PathAttribute(element, L"target");
            if (source.empty() || target.empty()) return false;
            ::MoveFileW(source.c_str(), target.c_str());
            Report(context, Translate(L"Move file:") + L"[" + source + L"->" + target + L"]");
            return true;
        }
        case TaskKind::Kill: {
            const std::wstring file = PathAttribute(element, L"file");
            if (file.empty()) return true;
            CloseProgramsAt(file);
            Report(context, LabelLine(L"Kill process", file));
            return true;
        }
        case TaskKind::Path: {
            std::wstring name = Attribute(element, L"name");
            if (name.empty()) name = xml::NodeText(node);
            const std::wstring folder = ReduceBackslashes(Process().paths.Resolve(name));
            Report(context, LabelLine(L"Create directory", folder));
            CreateFolderTree(folder);
            return true;
        }
        case TaskKind::Delete: {
            const std::wstring file = PathAttribute(element, L"file");
            const std::wstring folder = PathAttribute(element, L"path");
            if (!file.empty()) {
                Report(context, LabelLine(L"Remove file", file));
                DeleteFileForce(file);
            }
            if (!folder.empty()) {
                Report(context, LabelLine(L"Remove path", folder));
                RemoveTree(folder);
            }
            return true;
        }
        case TaskKind::Shortcut: {
            const std::wstring file = PathAttribute(element, L"file");
            const std::wstring link = PathAttribute(element, L"shortcut");
            if (file.empty() || link.empty()) return true;
            CreateShortcut(file, FolderOf(file), link, PathAttribute(element, L"shortcuticon"),
                           static_cast<int>(ParseLong(Attribute(element, L"iconindex"))));
            Report(context, TranslateFormat(L"Create shortcut[%s]...", link));
            return true;
        }
        case TaskKind::Ini: {
            const std::wstring file = PathAttribute(element, L"file");
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
    }
    return true;
}

}  // namespace

ComPtr<IXMLDOMDocument> LoadTaskDocument(const std::wstring& path) {
    std::string bytes;
    if (!ReadDocumentBytes(path, bytes) || DeclaresDocumentType(bytes)) return nullptr;
    const ComPtr<IXMLDOMDocument> document = xml::NewDocument();
    if (!document) return nullptr;
    // The parser's own refusal where it has one; the byte test above holds
    // where it does not.
    ComPtr<IXMLDOMDocument2> withProperties;
    if (SUCCEEDED(document->QueryInterface(kDomDocument2Interface,
                                            reinterpret_cast<void**>(withProperties.GetAddressOf())))) {
        VARIANT prohibit;
        ::VariantInit(&prohibit);
        prohibit.vt = VT_BOOL;
        prohibit.boolVal = VARIANT_TRUE;
        const Bstr name(L"ProhibitDTD");
        withProperties->setProperty(name.get(), prohibit);  // a plain VT_BOOL owns nothing
    }
    document->put_validateOnParse(VARIANT_FALSE);
    const OwnedVariant source(path);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (FAILED(document->load(source.get(), &loaded)) || loaded != VARIANT_TRUE) return nullptr;
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
