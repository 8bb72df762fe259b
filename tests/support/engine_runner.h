// Runs the real engine: a copy of mirefold.exe branded with a test
// configuration, started as its own process under Wine.
#pragma once

#include <chrono>
#include <string>

#include "support/test_support.h"

namespace mf::test {

// Brands bin\mirefold.exe with the configuration text into `exePath`.
// Returns false (with the tool's exit code in the failure message) when the
// branding tool fails.
bool BrandEngine(const std::string& configText, const std::wstring& exePath);

// The working folder the engine picks for a product name (the \vdzq\ form).
std::wstring ProductFolder(const std::wstring& name);

struct EngineRun {
    long long exitCode = -1;
    std::string log;  // the product folder's inst.log, when the test's config logs there
};

// Starts the engine with the arguments and waits for it to end.
EngineRun RunEngine(const std::wstring& exePath, const std::wstring& arguments, const std::wstring& productName,
                    std::chrono::milliseconds timeout = std::chrono::seconds(60));

}  // namespace mf::test
