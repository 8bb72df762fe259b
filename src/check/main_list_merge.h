// The engine-wide main list merged into the product list: its leaf entries
// are appended to the product list after the macros "{zqdir}" and
// "{agentName}" are filled in and, for agent files, the version key is
// taken from the server's digest service.
#pragma once

#include <windows.h>
#include <msxml2.h>

#include <functional>
#include <string>

namespace mf {

struct MainListMacros {
    std::wstring zqdir = L"temp";      // APPLICATION/zqdir
    std::wstring agentName = L"vd";    // APPLICATION/AgentName
    std::wstring digestServiceUrl;     // UPDATEINFO/FileMd5HandleUrl
};

// The macros of the current configuration.
MainListMacros ConfiguredMainListMacros();

// Fetches a URL and returns the reply text (empty when nothing came back).
using DigestFetch = std::function<std::wstring(const std::wstring& url)>;

// The digest service request for a file path.
std::wstring DigestRequestUrl(const std::wstring& serviceUrl, const std::wstring& path);

// The version key for a digest reply: the reply when it is 32 characters
// and not all zeros, else a fresh random key, so that the file counts as
// changed until the service knows it.
std::wstring EntryKeyFromDigestReply(const std::wstring& reply);

// Fills the macros of one main-list element and, for agent files, its key.
void PrepareMainListEntry(IXMLDOMElement* element, const MainListMacros& macros, const DigestFetch& fetch);

// Appends the leaf entries of the main list M to the product list P and
// saves P. 1 on success, 0 when a list does not load or has no "update"
// root. Initialises COM for the calling thread.
int MergeMainList(const std::wstring& productList, const std::wstring& mainList);
int MergeMainListWith(const std::wstring& productList, const std::wstring& mainList, const MainListMacros& macros,
                      const DigestFetch& fetch);

}  // namespace mf
