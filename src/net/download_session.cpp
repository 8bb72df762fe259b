#include "net/download_session.h"

#include "base/text_format.h"
#include "net/internet.h"
#include "net/part_transfer.h"

namespace mf {

DownloadSession::DownloadSession() : root_(OpenInternet(Format(L"down%d", NextPartAgentNumber()))) {}

}  // namespace mf
