#include "app/handed_over_update.h"

#include "app/flows.h"
#include "apply/download_phase.h"
#include "base/strings.h"
#include "engine/process_state.h"
#include "engine/status.h"
#include "list/handed_over_list.h"

namespace mf {

namespace {

void Tell(const std::wstring& text) {
    ProcessState& state = Process();
    if (state.run.hostWindow != nullptr) state.notifications.SendStatusText(state.run.hostWindow, text);
    WriteLog(text);
}

}  // namespace

void TakeCheckedHandOver(const DownLoadList& saved, bool fromPackage) {
    DownLoadList& list = Process().updateList;
    if (!fromPackage) {
        // The package's pending files were written by this instance; the
        // others by the instance that asked for rights.
        DistrustPendingFiles();
        RunWholeCheckWindowless();
        if (list.Status() != UpdateStatus::CheckRemoteOk) {
            Tell(
                L"The update server cannot be reached to check the handed-over update list: nothing of the "
                L"handed-over update is installed.");
            return;
        }
    }
    const int found = list.GetSize();
    for (const std::wstring& line : KeepHandedOverRecords(list, saved))
        WriteLog(L"Not in the checked update list, dropped from the handed-over one: " + line);
    if (list.GetSize() == found) return;
    ShowAndLog(nullptr, TranslateFormat(L"Found %d files need to update...", list.GetSize()));
    SetStatus(UpdateStatus::CheckRemoteOk);
}

}  // namespace mf
