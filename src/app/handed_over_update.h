// The elevated instance's use of the update list that the instance which
// asked for rights saved: a wish, checked against a list this instance
// trusts before anything of it is installed.
#pragma once

#include "list/download_list.h"

namespace mf {

// Takes over the hand-over `saved`. Unless the update came from the package
// inside this executable (`fromPackage`, whose list is then already the
// update list and the reference), checks the server again with the same
// lists and rules as any check. The update list then holds the reference's
// records and commands that `saved` also holds alike; what else `saved`
// held is logged as dropped. Status 3 with what is kept, so that the
// download phase fetches only what has no pending file yet. When the server
// cannot be reached nothing of `saved` is taken (status 2, said to the host
// and logged).
void TakeCheckedHandOver(const DownLoadList& saved, bool fromPackage);

}  // namespace mf
