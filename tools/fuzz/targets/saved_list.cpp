// The saved hand-over list, read back from the user's temporary folder by
// the next engine (anybody may have put a file there). What it loads is
// written out again and must read back the same.
#include "fuzz_input.h"
#include "list/download_list.h"
#include "list/list_archive.h"

namespace {

bool SameRecords(const mf::DownLoadList& a, const mf::DownLoadList& b) {
    if (a.GetSize() != b.GetSize()) return false;
    for (int i = 0; i < a.GetSize(); ++i) {
        const mf::updatefileinfo& x = a.GetAt(i);
        const mf::updatefileinfo& y = b.GetAt(i);
        if (x.url != y.url || x.path != y.path || x.ver != y.ver || x.oper != y.oper || x.md5key != y.md5key)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    mf::ListArchive archive{std::string(mf::fuzz::Bytes(data, size))};
    mf::DownLoadList list;
    if (!list.Serialize(archive)) return 0;
    mf::ListArchive saved;
    list.Serialize(saved);
    mf::ListArchive again{std::string(saved.Bytes())};
    mf::DownLoadList reread;
    if (!reread.Serialize(again) || !SameRecords(list, reread) || reread.commands != list.commands)
        mf::fuzz::Broken("a loaded list does not read back as itself");
    return 0;
}
