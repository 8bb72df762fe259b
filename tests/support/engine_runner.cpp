#include "support/engine_runner.h"

#include <gtest/gtest.h>

#include "app/update_app.h"
#include "base/files.h"
#include "base/strings.h"
#include "support/test_servers.h"

namespace mf::test {

bool BrandEngine(const std::string& configText, const std::wstring& exePath) {
    TempFolder scratch;
    const std::wstring ini = scratch / L"brand.ini";
    if (!WriteFileBytes(ini, configText)) return false;
    const std::wstring line = L"\"" + BuildPath(L"bin\\mirefold-brand.exe") + L"\" \"" +
                              BuildPath(L"bin\\mirefold.exe") + L"\" \"" + ini + L"\" \"" + exePath + L"\"";
    return RunAndWait(line) == 0;
}

bool BrandEngine(const EngineIni& config, const std::wstring& exePath) {
    return BrandEngine(config.Text(), exePath);
}

ProductSite::ProductSite(const std::wstring& area)
    : name_(L"E2E_" + Widen(::testing::UnitTest::GetInstance()->current_test_info()->name())), site_(area, name_) {
    RemoveTree(Folder());
}

ProductSite::~ProductSite() { RemoveTree(Folder()); }

std::wstring ProductSite::Root() const { return site_.Path(); }

bool ProductSite::Publish(const std::wstring& file, const std::string& bytes) const {
    return site_.Publish(file, bytes);
}

std::string ProductSite::Url(const std::wstring& file, std::wstring_view location) const {
    return Narrow(site_.Url(file, location));
}

std::string ProductSite::UnreachableUrl(const std::wstring& file) const {
    return Narrow(L"http://127.0.0.1:9/" + name_ + L"/" + Replaced(file, L"\\", L"/"));
}

std::wstring ProductFolder(const std::wstring& name) {
    wchar_t windows[MAX_PATH + 1] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    return WorkFolderFor(windows, name, false);
}

EngineRun RunEngine(const std::wstring& exePath, const std::wstring& arguments, const std::wstring& productName,
                    std::chrono::milliseconds timeout) {
    EngineRun run;
    run.exitCode = RunAndWait(L"\"" + exePath + L"\" " + arguments, timeout);
    run.log = ReadFileBytes(ProductFolder(productName) + L"inst.log");
    return run;
}

}  // namespace mf::test
