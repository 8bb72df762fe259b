#include "base/winsock_init.h"

#include "app/update_app.h"

#include <objbase.h>

#include <exception>

#include "app/flows.h"
#include "app/handed_over_update.h"
#include "apply/download_phase.h"
#include "apply/run_file.h"
#include "base/files.h"
#include "base/handles.h"
#include "base/path_text.h"
#include "base/resources.h"
#include "base/strings.h"
#include "check/background_refresh.h"
#include "engine/command_line.h"
#include "engine/elevation.h"
#include "engine/message_box.h"
#include "engine/privileges.h"
#include "engine/status.h"
#include "net/internet.h"

namespace mf {

namespace {

constexpr int kDefaultConfigResource = 179;

// The embedded default configuration, as stored (ANSI bytes).
std::string EmbeddedConfigBytes(HINSTANCE instance) {
    return std::string(ResourceBytes(instance, RT_RCDATA, kDefaultConfigResource));
}

}  // namespace

UpdateApp::UpdateApp(HINSTANCE instance, ProcessState& state) : instance_(instance), state_(state) {
    // Status events start their programs through the engine's run-file
    // operation, so that they too may name a task document.
    state_.runFile = [](const std::wstring& path, const std::wstring& parameters, bool wait) {
        return RunFile(path, parameters, wait);
    };
}
UpdateApp::~UpdateApp() = default;

std::wstring WorkFolderFor(const std::wstring& windowsFolder, const std::wstring& folderName, bool productSet) {
    const std::wstring root = windowsFolder.substr(0, 3);
    std::wstring folder = root + L"Tarnwick" + (productSet ? L"\\vdBook\\" : L"\\vdzq\\") + folderName + L"\\";
    return ReduceBackslashes(std::move(folder));
}

void UpdateApp::PrepareWorkFolder() {
    const std::string bytes = EmbeddedConfigBytes(instance_);
    state_.config.SetEmbedded(Widen(bytes));

    const std::wstring name = state_.config.ReadEmbedded(L"APPLICATION", L"Name");
    std::wstring folderName = name;
    bool productSet = false;

    const CompanionFiles companions = CompanionFiles::ForExecutableFolder(ExecutableFolder());
    if (companions.HasSet() || companions.HasKc()) {
        folderName = companions.Read(L"QuorvilSetId") + L"\\ZQ_" + name;
        productSet = true;
    }

    const std::wstring folder = WorkFolderFor(WindowsFolder(), folderName, productSet);
    if (!FolderExists(folder)) CreateFolderTree(folder);
    state_.workFolder.Set(folder);
    WriteWholeFile(ReduceBackslashes(folder + L"\\mirefold.ini"), bytes);
}

void UpdateApp::WriteBrowserEmulation() {
    UniqueRegKey ie;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Internet Explorer", 0, KEY_READ, ie.put()) !=
        ERROR_SUCCESS)
        return;
    wchar_t version[33] = {};
    DWORD size = 64;
    DWORD type = 0;
    if (::RegQueryValueExW(ie.get(), L"Version", nullptr, &type, reinterpret_cast<BYTE*>(version), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return;
    version[32] = 0;
    if (!Contains(version, L".")) return;
    const DWORD emulation = static_cast<DWORD>(ParseLong(version)) * 1000;

    const wchar_t* path =
        L"SOFTWARE\\Microsoft\\Internet Explorer\\MAIN\\FeatureControl\\FEATURE_BROWSER_EMULATION";
    UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_WRITE, key.put()) != ERROR_SUCCESS &&
        ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr) !=
            ERROR_SUCCESS)
        return;
    const std::wstring valueName = BaseNameOf(ExecutablePath()) + L".exe";
    ::RegSetValueExW(key.get(), valueName.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&emulation),
                     sizeof emulation);
}

void UpdateApp::RunStartupPrograms() {
    const std::wstring program = ReadConfig(L"UpdateEvent", L"UpdateStartup");
    if (!program.empty()) RunFile(program, L"", false);
    const std::wstring waited = ReadConfig(L"UpdateEventWaitClose", L"UpdateStartup");
    if (!waited.empty()) RunFile(waited, L"", true);
}

void UpdateApp::SelectLanguage() {
    std::wstring file = ReadConfig(L"Mirefold", L"Langage");
    if (file.empty()) file = ReadConfig(L"Mirefold", L"Language");
    file = ToLower(file);
    if (file == L"mirefoldcn.lan") {
        state_.language.LoadResource(instance_, language_resource::kSimplifiedChinese);
    } else if (file == L"mirefoldbig.lan") {
        state_.language.LoadResource(instance_, language_resource::kTraditionalChinese);
    } else if (!file.empty()) {
        const std::wstring path = ReduceBackslashes(state_.workFolder.Get() + L"\\" + file);
        if (FileExists(path)) state_.language.LoadFile(path);
    }
    const std::wstring own =
        ReduceBackslashes(state_.workFolder.Get() + L"\\" + state_.run.executableBaseName + L".lan");
    if (FileExists(own)) state_.language.LoadFile(own);
}

CommandLine UpdateApp::ReadCommandLine() const {
    const std::wstring ownPath = state_.workFolder.Get() + L"\\" + state_.run.executableBaseName + L".exe";
    return ParseCommandLine(::GetCommandLineW(), ownPath, ReadConfig(L"Mirefold", L"Mode"),
                            [](std::uintptr_t h) { return ::IsWindow(reinterpret_cast<HWND>(h)) != FALSE; });
}

StartResult UpdateApp::InitInstance() {
    state_.config.SetAccessDeniedHandler(PromptElevationForConfig);
    PrepareWorkFolder();
    ReadMachineIdentifier();

    state_.run.executableBaseName = BaseNameOf(ExecutablePath());
    // A present main program is started only on a plain start (as from a
    // shortcut). A caller that names a mode on the command line (a host's
    // "silence", a script's "checkforupdates") asks for that mode: skipping
    // it would never update an installed product again, and a host that is
    // itself the main program would get a second copy of itself. The
    // elevated relaunch carries on the run that asked for it.
    const CommandLine line = ReadCommandLine();
    const std::wstring mainProgram = state_.paths.MainProgramPath();
    if (!line.modeOnCommandLine && !line.elevatedRelaunch && !mainProgram.empty() && FileExists(mainProgram)) {
        SetStatus(UpdateStatus::End);
        LaunchMainProgramWithDotNetCheck(true);
        CheckTimeBookkeeping();
        return StartResult::Continue;
    }
    if (!TakeProductGuard()) return StartResult::Stop;

    EnableDebugPrivilege();
    WriteBrowserEmulation();
    com_.emplace(COINIT_APARTMENTTHREADED);
    winsock_ = std::make_unique<WinsockInit>();

    const PackageOutcome package = RunEmbeddedPackage();
    RunStartupPrograms();
    state_.run.connectTryCount = static_cast<int>(ParseLong(ReadConfigOr(L"Mirefold", L"ConnectTryCount", L"3")));
    LoadCachedParameterPackage();
    state_.paths.PurgeOldFiles();
    SelectLanguage();

    state_.run.commandLine = line.stored;
    state_.run.elevatedRelaunch = line.elevatedRelaunch;
    if (!line.dotnetVersion.empty()) {
        ShowDotNetPrompt(nullptr, line.dotnetVersion);
        return StartResult::Stop;
    }
    state_.run.hostWindow = reinterpret_cast<HWND>(line.hostWindow);
    RunMode mode = line.runMode;
    state_.run.SetMode(mode);
    WriteLog(Format(L"Run mode [%s], host window [%u]", line.mode, static_cast<unsigned>(line.hostWindow)));
    if (!ConfiguredProxyUsable()) ReportError(nullptr, Translate(L"The proxy set error!"));

    if (state_.run.hostWindow != nullptr) {
        state_.notifications.Register(state_.run.hostWindow);
        state_.notifications.SetHostWindow(state_.run.hostWindow);
    }
    // What start-up found to report waits until the mode and the host window
    // are known: a run that nobody watches must not stop at a box.
    if (package == PackageOutcome::Damaged) ReportDamagedPackage();
    CheckDotNetRequirement();
    const bool fromPackage = package == PackageOutcome::TakenOver;
    if (fromPackage) {
        AnnounceEmbeddedRelease();
    } else {
        SetStatus(UpdateStatus::None);
    }

    if (state_.run.elevatedRelaunch) {
        // The instance that asked for rights saved the list it was working
        // on; what of it a trusted list holds alike is the update.
        DownLoadList saved;
        if (LoadSavedUpdateListForElevatedRun(line.handOverDigest, saved)) TakeCheckedHandOver(saved, fromPackage);
        if (mode == RunMode::AppEnter || mode == RunMode::AppEnterNoPrompt) mode = RunMode::Launcher;
    }
    return Dispatch(mode);
}

bool UpdateApp::TakeProductGuard() {
    const std::wstring folder = state_.workFolder.Get();
    switch (guard_.Acquire(folder)) {
        case ProductGuard::Result::Held: return true;
        case ProductGuard::Result::Unguarded:
            WriteLog(L"Cannot tell whether another engine runs for " + folder + L"; going on.");
            return true;
        case ProductGuard::Result::Busy: break;
    }
    WriteLog(Format(L"Another engine is running for %s; this one ends without doing anything (exit code %d).", folder,
                    kExitProductBusy));
    exitCode_ = kExitProductBusy;
    return false;
}

StartResult UpdateApp::Dispatch(RunMode mode) {
    switch (mode) {
        case RunMode::DownParam0:
        case RunMode::DownParam1: return StartResult::Stop;
        case RunMode::CheckForUpdates: return CheckForUpdatesFlow();
        case RunMode::ShowWhenUpdate:
            RunUpdateCheckWindowless();
            if (state_.updateList.GetSize() > 0 && state_.updateList.Status() == UpdateStatus::CheckRemoteOk) {
                RunLauncherWindow();
                SetStatus(UpdateStatus::End);
            }
            return state_.updateList.GetSize() > 0 ? StartResult::Continue : StartResult::Stop;
        case RunMode::TryIcon: ShowUpdateCenter(); return StartResult::Stop;
        case RunMode::Silence: return SilentFlow();
        case RunMode::AppEnter:
        case RunMode::AppEnterNoPrompt: return AppEnterFlow(mode);
        case RunMode::Uninstall:
            // The list it read is what it removed, not files to update.
            exitCode_ = Uninstall() == UninstallOutcome::Incomplete ? kExitUninstallIncomplete : 0;
            EmptyTempFiles(state_);
            return StartResult::Stop;
        case RunMode::EmptyTemp: EmptyTempFiles(state_); return StartResult::Stop;
        case RunMode::Launcher:
        case RunMode::MostSimple: break;
    }
    RunLauncherWindow();
    SetStatus(UpdateStatus::End);
    return StartResult::Stop;
}

void UpdateApp::EmptyTempFiles(ProcessState& state) {
    // Whatever stands at these names goes, a folder an earlier fault left
    // there too.
    for (const std::wstring& file : state.paths.ListCacheFiles()) RemoveAnyEntry(file);
    // A link planted in the download folder would keep it, and fail every
    // later update of the product.
    (void)ClearDownloadFolderLinks(state.paths.ListCacheBase());
    RemoveTree(state.paths.ListCacheBase());
}

int UpdateApp::ExitCode() {
    if (exitCode_) return *exitCode_;
    return ComputeExitCode(state_.updateList.GetSize(), state_.announcedVersion, ReadConfig(L"APPLICATION", L"Ver"));
}

int UpdateApp::Run() {
    // The windows ran their own loops inside start-up; the loop here runs
    // only while a main window is still open, and not at all once the user
    // chose to exit.
    if (state_.skipLoop == 0) {
        MSG msg;
        while (state_.mainWindow != nullptr && ::IsWindow(state_.mainWindow) &&
               ::GetMessageW(&msg, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    return ExitCode();
}

int UpdateApp::ExitInstance() {
    state_.notifications.ReleaseAll();
    com_.reset();
    const int code = ExitCode();
    state_.config.ClearCache();
    return code;
}

namespace {

int EndUnexpectedly(const std::wstring& what) noexcept {
    try {
        WriteLog(Format(L"The engine stopped on an unexpected error: %s (exit code %d)", what, kExitUnexpectedFailure));
    } catch (...) {
    }
    try {
        SetStatus(UpdateStatus::End);
        Process().notifications.ReleaseAll();
    } catch (...) {
    }
    return kExitUnexpectedFailure;
}

}  // namespace

int RunGuarded(const std::function<int()>& run) noexcept {
    try {
        return run();
    } catch (const std::exception& error) {
        std::wstring what;
        try {
            what = Widen(error.what());
        } catch (...) {
        }
        return EndUnexpectedly(what);
    } catch (...) {
        return EndUnexpectedly(L"(not a standard exception)");
    }
}

int RunUpdateApp(HINSTANCE instance) {
    return RunGuarded([instance] {
        ProcessState& state = Process();
        UpdateApp app(instance, state);
        if (app.InitInstance() == StartResult::Continue) (void)app.Run();
        return app.ExitInstance();
    });
}

}  // namespace mf
